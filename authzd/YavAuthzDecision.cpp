#include "authzd/YavAuthzDecision.h"

#include <crypt.h>

#include <cstring>
#include <new>

#include "core/buffers/YavString.h"
#include "core/encoders/yav_base64.h"
#include "core/http/YavHTTP.h"
#include "core/msg/yav_status.h"
#include "plugin/core/YavActionGroupList.h"

bool yav_authz_check_password(const std::string& password, const std::string& hash) {
    if (hash.empty()) return false;
    // crypt_data is large (tens of kilobytes): keep it off the worker's stack.
    crypt_data* data = new (std::nothrow) crypt_data;
    if (data == nullptr) return false;
    memset(data, 0, sizeof *data);
    const char* out = crypt_r(password.c_str(), hash.c_str(), data);
    bool match = false;
    if (out != nullptr && out[0] != '*') {
        size_t n = strlen(out);
        if (n == hash.size()) {
            // Compare every byte so the time does not tell where they differ.
            unsigned char diff = 0;
            for (size_t i = 0; i < n; ++i) {
                diff |= static_cast<unsigned char>(out[i] ^ hash[i]);
            }
            match = diff == 0;
        }
    }
    delete data;
    return match;
}

bool yav_authz_parse_basic(const std::string& header, std::string* user, std::string* password) {
    size_t p = 0;
    while (p < header.size() && header[p] == ' ') ++p;
    if (header.size() - p < 6 || strncasecmp(header.c_str() + p, "basic ", 6) != 0) return false;
    p += 6;
    while (p < header.size() && header[p] == ' ') ++p;
    std::string encoded = header.substr(p);
    while (!encoded.empty() && (encoded.back() == ' ' || encoded.back() == '\r')) {
        encoded.pop_back();
    }
    if (encoded.empty() || encoded.size() > 4096) return false;
    std::string decoded(yav_base64_decoded_max(encoded.size()), '\0');
    size_t len = 0;
    yav_base64_std_decode(encoded.data(), encoded.size(),
                          reinterpret_cast<unsigned char*>(&decoded[0]), &len);
    decoded.resize(len);
    size_t colon = decoded.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    if (decoded.find('\0') != std::string::npos) return false;
    *user = decoded.substr(0, colon);
    *password = decoded.substr(colon + 1);
    return true;
}

bool yav_authz_parent(std::string* name) {
    if (name->size() <= 1 || (*name)[0] != '/') return false;
    size_t i = name->size() - 2;
    while (i > 0 && (*name)[i] != '/') --i;
    name->resize(i == 0 ? 1 : i);
    return true;
}

yav_status_t yav_authz_covers(const std::string& granted, const std::string& required,
                              bool* covers) {
    *covers = false;
    YavActionGroupList g;
    YavActionGroupList r;
    yav_status_t st = g.initialize(YavStringRef(granted.c_str(), static_cast<int>(granted.size())));
    if (st != 0) return st;
    st = r.initialize(YavStringRef(required.c_str(), static_cast<int>(required.size())));
    if (st != 0) return st;
    *covers = g.resolveActionGroupList(r);
    return 0;
}

namespace {

bool hasDotSegment(const std::string& name) {
    size_t pos = 0;
    while (pos < name.size()) {
        size_t end = name.find('/', pos);
        if (end == std::string::npos) end = name.size();
        std::string seg = name.substr(pos, end - pos);
        if (seg == "." || seg == "..") return true;
        pos = end + 1;
    }
    return false;
}

yav_status_t buildObjectName(const YavAuthzVHost& host, const std::string& uri, std::string* name) {
    YavString out;
    if (!out.set(host.branch.c_str(), static_cast<int>(host.branch.size()))) {
        return YAV_S_NO_MEMORY;
    }
    yav_status_t st = YavHTTP::processURI(
        (host.flags & YAV_AUTHZ_VH_CASE_INSENSITIVE) == 0, (host.flags & YAV_AUTHZ_VH_WIN32) != 0,
        YavStringRef(uri.c_str(), static_cast<int>(uri.size())), out);
    if (st != 0) return st;
    name->assign(out.getData(), static_cast<size_t>(out.getLength()));
    if (name->size() > 1 && name->back() == '/') name->pop_back();
    if (name->empty()) *name = "/";
    return 0;
}

const std::string& requiredActions(const YavAuthzVHost& host, const std::string& method) {
    for (size_t i = 0; i < host.methods.size(); ++i) {
        if (host.methods[i] == method) return host.methodPerms[i];
    }
    return host.defaultPerms;
}

}  // namespace

yav_status_t yav_authz_decide(const YavAuthzPolicy& policy, const YavAuthzRequest& request,
                              YavAuthzResult* out) {
    *out = YavAuthzResult();
    const YavAuthzVHost* host = policy.findVHost(request.vhostID);
    if (host == nullptr) return 0;
    if ((host->flags & YAV_AUTHZ_VH_UNPROTECTED) != 0) {
        out->verdict = yav_authz_open;
        return 0;
    }
    yav_status_t st = buildObjectName(*host, request.uri, &out->objectName);
    if (st == YAV_S_NO_MEMORY) return st;
    // A path the normaliser refuses (short-name aliases) is refused here too.
    if (st != 0 || hasDotSegment(out->objectName)) return 0;
    const std::string& required = requiredActions(*host, request.method);

    std::string name = out->objectName;
    do {
        const YavAuthzOpenEntry* entry = policy.findOpen(host->branch, name);
        if (entry == nullptr) continue;
        bool covers = entry->actions == "*";
        if (!covers) {
            st = yav_authz_covers(entry->actions, required, &covers);
            if (st == YAV_S_NO_MEMORY) return st;
        }
        if (covers) {
            out->verdict = yav_authz_open;
            return 0;
        }
        break;
    } while (yav_authz_parent(&name));

    std::string user;
    std::string password;
    const YavAuthzUser* known = nullptr;
    if (yav_authz_parse_basic(request.authorization, &user, &password)) {
        known = policy.findUser(user);
    }
    if (known == nullptr || !yav_authz_check_password(password, known->hash)) {
        out->verdict = yav_authz_unauthenticated;
        return 0;
    }
    out->user = user;

    name = out->objectName;
    const YavAuthzAcl* acl = nullptr;
    do {
        acl = policy.findAcl(name);
    } while (acl == nullptr && yav_authz_parent(&name));
    out->verdict = yav_authz_forbidden;
    if (acl == nullptr) return 0;

    // The union of the granted sets: each starts with an explicit
    // "[primary]" so that its leading actions do not join the previous
    // set's last group.
    std::string granted;
    bool any = false;
    for (const YavAuthzAclEntry& e : acl->entries) {
        bool applies = e.isGroup ? policy.isMember(e.name, user) : e.name == user;
        if (!applies) continue;
        granted += "[primary]";
        granted += e.actions;
        any = true;
    }
    if (!any) return 0;
    bool covers = false;
    st = yav_authz_covers(granted, required, &covers);
    if (st == YAV_S_NO_MEMORY) return st;
    if (covers) out->verdict = yav_authz_allowed;
    return 0;
}
