#include "authzd/YavAuthzPolicy.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/file/yav_stanza.h"
#include "core/msg/yav_status.h"

bool yav_authz_valid_action_set(const std::string& text) {
    bool inName = false;
    for (char c : text) {
        if (c == '[') {
            if (inName) return false;
            inName = true;
        } else if (c == ']') {
            if (!inName) return false;
            inName = false;
        }
    }
    return !inName;
}

namespace {

bool parseUnsigned(const char* text, unsigned long max, unsigned long* out) {
    if (text == nullptr || *text < '0' || *text > '9') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long value = strtoul(text, &end, 0);
    if (errno != 0 || *end != '\0' || value > max) return false;
    *out = value;
    return true;
}

// Flag words of a [vhost] stanza, or a number.
bool parseVHostFlags(const char* text, uint32_t* out) {
    unsigned long number = 0;
    if (parseUnsigned(text, 0xFFFFFFFFul, &number)) {
        *out = static_cast<uint32_t>(number);
        return true;
    }
    static const struct {
        const char* word;
        uint32_t bit;
    } kWords[] = {{"case-insensitive", YAV_AUTHZ_VH_CASE_INSENSITIVE},
                  {"win32", YAV_AUTHZ_VH_WIN32},
                  {"https", YAV_AUTHZ_VH_HTTPS},
                  {"http", YAV_AUTHZ_VH_HTTP},
                  {"unprotected", YAV_AUTHZ_VH_UNPROTECTED}};
    uint32_t flags = 0;
    const char* p = text;
    bool any = false;
    while (*p != '\0') {
        while (*p == ' ' || *p == '\t' || *p == ',') ++p;
        if (*p == '\0') break;
        const char* start = p;
        while (*p != '\0' && *p != ' ' && *p != '\t' && *p != ',') ++p;
        size_t len = static_cast<size_t>(p - start);
        bool known = false;
        for (const auto& w : kWords) {
            if (strlen(w.word) == len && strncmp(w.word, start, len) == 0) {
                flags |= w.bit;
                known = true;
            }
        }
        if (!known) return false;
        any = true;
    }
    if (!any) return false;
    *out = flags;
    return true;
}

// Splits text at blanks.
std::vector<std::string> words(const char* text) {
    std::vector<std::string> out;
    const char* p = text;
    while (*p != '\0') {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == '\0') break;
        const char* start = p;
        while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
        out.emplace_back(start, static_cast<size_t>(p - start));
    }
    return out;
}

bool startsWith(const char* text, const char* prefix) {
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

}  // namespace

// Walks the file with the stanza library and fills the policy; keeps the
// raw text to turn the library's offsets into line numbers for messages.
class YavAuthzPolicy::Loader {
  public:
    Loader(YavAuthzPolicy* policy, const char* path, std::string* error)
        : m_policy(policy), m_path(path), m_error(error) {}

    yav_status_t run() {
        if (!readText()) return fail(0, YAV_S_STZ_READ_FAILED, "cannot read the file");
        yav_status_t st = 0;
        m_handle = yavStzFileOpen(m_path, YAV_STZ_READ, &st);
        if (m_handle == nullptr) {
            return fail(0, st != 0 ? st : YAV_S_STZ_OPEN_FAILED, "cannot open the file");
        }
        st = walk();
        yavStzFileClose(m_handle);
        m_handle = nullptr;
        return st;
    }

  private:
    yav_status_t walk() {
        if (!entriesBeforeFirstStanzaOk()) return m_status;
        if (yavStzMoveFirstStanza(m_handle) == 0) return syntaxFault();
        while (m_handle->stanzaName != nullptr) {
            std::string stanza = m_handle->stanzaName;
            int headLine = lineAt(m_handle->stanzaOffset > 0 ? m_handle->stanzaOffset - 1 : 0);
            yav_status_t st = beginStanza(stanza, headLine);
            if (st != 0) return st;
            if (yavStzMoveFirstEntry(m_handle) == 0 && m_handle->status != 0) return syntaxFault();
            while (m_handle->entryName != nullptr) {
                int line = lineAt(m_handle->lineOffset);
                const char* value = m_handle->value != nullptr ? m_handle->value : "";
                st = entry(stanza, m_handle->entryName, value, line);
                if (st != 0) return st;
                if (yavStzMoveNextEntry(m_handle) == 0) return syntaxFault();
            }
            st = endStanza(headLine);
            if (st != 0) return st;
            if (yavStzMoveNextStanza(m_handle) == 0) return syntaxFault();
        }
        return 0;
    }

    yav_status_t beginStanza(const std::string& stanza, int line) {
        m_kind = kNone;
        if (stanza == "authzd") {
            m_kind = kServer;
        } else if (startsWith(stanza.c_str(), "vhost ")) {
            std::string id = stanza.substr(6);
            if (id.empty()) return fail(line, YAV_S_CFG_INVALID_VALUE, "virtual host without ID");
            if (m_policy->findVHost(id) != nullptr) {
                return fail(line, YAV_S_CFG_INVALID_VALUE, "virtual host defined twice: " + id);
            }
            m_policy->vhosts.emplace_back();
            m_policy->vhosts.back().id = id;
            m_kind = kVHost;
        } else if (startsWith(stanza.c_str(), "open ")) {
            m_branch = stanza.substr(5);
            if (m_branch.empty() || m_branch[0] != '/') {
                return fail(line, YAV_S_CFG_INVALID_VALUE, "open branch must start with '/'");
            }
            bool seen = false;
            for (const auto& b : m_policy->openBranches) seen = seen || b == m_branch;
            if (!seen) m_policy->openBranches.push_back(m_branch);
            m_kind = kOpen;
        } else if (startsWith(stanza.c_str(), "acl ")) {
            std::string object = stanza.substr(4);
            if (object.empty() || object[0] != '/') {
                return fail(line, YAV_S_CFG_INVALID_VALUE, "protected object must start with '/'");
            }
            if (m_policy->findAcl(object) != nullptr) {
                return fail(line, YAV_S_CFG_INVALID_VALUE, "access list defined twice: " + object);
            }
            m_policy->acls.emplace_back();
            m_policy->acls.back().object = object;
            m_policy->m_aclIndex.emplace(object, m_policy->acls.size() - 1);
            m_kind = kAcl;
        } else if (stanza == "users") {
            m_kind = kUsers;
        } else if (stanza == "groups") {
            m_kind = kGroups;
        } else if (stanza == "post-sizes") {
            m_kind = kPostSizes;
        } else if (stanza == "config-flags") {
            m_kind = kConfigFlags;
        } else {
            return fail(line, YAV_S_CFG_UNRECOGNIZED_ENTRY, "unknown stanza [" + stanza + "]");
        }
        return 0;
    }

    yav_status_t endStanza(int line) {
        if (m_kind == kVHost) {
            const YavAuthzVHost& vh = m_policy->vhosts.back();
            if (vh.branch.empty() && (vh.flags & YAV_AUTHZ_VH_UNPROTECTED) == 0) {
                return fail(line, YAV_S_CFG_ENTRY_MISSING,
                            "protected virtual host " + vh.id + " has no branch");
            }
            if ((vh.flags & (YAV_AUTHZ_VH_HTTP | YAV_AUTHZ_VH_HTTPS)) == 0) {
                return fail(line, YAV_S_CFG_ENTRY_MISSING,
                            "virtual host " + vh.id + " serves neither http nor https");
            }
        }
        return 0;
    }

    yav_status_t entry(const std::string& stanza, const char* name, const char* value, int line) {
        (void)stanza;
        switch (m_kind) {
            case kServer:
                return serverEntry(name, value, line);
            case kVHost:
                return vhostEntry(name, value, line);
            case kOpen: {
                if (name[0] != '/') return badValue(line, name, "object must start with '/'");
                if (strcmp(value, "*") != 0 && !actionSet(value, line)) return m_status;
                YavAuthzOpenEntry e;
                e.branch = m_branch;
                e.object = name;
                e.actions = value;
                m_policy->open.push_back(e);
                m_policy->m_openIndex.emplace(openKey(e.branch, e.object),
                                              m_policy->open.size() - 1);
                return 0;
            }
            case kAcl: {
                YavAuthzAclEntry e;
                if (startsWith(name, "user ")) {
                    e.name = name + 5;
                } else if (startsWith(name, "group ")) {
                    e.isGroup = true;
                    e.name = name + 6;
                } else {
                    return badValue(line, name, "expected \"user <name>\" or \"group <name>\"");
                }
                while (!e.name.empty() && (e.name[0] == ' ' || e.name[0] == '\t')) {
                    e.name.erase(0, 1);
                }
                if (e.name.empty()) return badValue(line, name, "no user or group name");
                if (!actionSet(value, line)) return m_status;
                e.actions = value;
                m_policy->acls.back().entries.push_back(e);
                return 0;
            }
            case kUsers: {
                // A crypt(3) hash is at least a salt and a digest; "!" or
                // other short texts would never match any password.
                if (strlen(value) < 13) return badValue(line, name, "password hash too short");
                if (m_policy->findUser(name) != nullptr) {
                    return badValue(line, name, "user defined twice");
                }
                m_policy->users.push_back(YavAuthzUser{name, value});
                return 0;
            }
            case kGroups: {
                YavAuthzGroup g;
                g.name = name;
                g.members = words(value);
                m_policy->groups.push_back(g);
                return 0;
            }
            case kPostSizes:
            case kConfigFlags: {
                unsigned long number = 0;
                if (!parseUnsigned(value, m_kind == kPostSizes ? 0x7FFFFFFFul : 0xFFFFFFFFul,
                                   &number)) {
                    return badValue(line, name, "not a number in range");
                }
                YavAuthzNamedInt n;
                n.name = name;
                n.value = static_cast<uint32_t>(number);
                (m_kind == kPostSizes ? m_policy->postSizes : m_policy->configFlags).push_back(n);
                return 0;
            }
            case kNone:
                break;
        }
        return badValue(line, name, "entry outside a known stanza");
    }

    yav_status_t serverEntry(const char* name, const char* value, int line) {
        if (strcmp(name, "realm") == 0) {
            if (*value == '\0' || strchr(value, '"') != nullptr) {
                return badValue(line, name, "realm must be non-empty without '\"'");
            }
            m_policy->realm = value;
        } else if (strcmp(name, "user-header") == 0) {
            if (*value == '\0' || strpbrk(value, " \t:") != nullptr) {
                return badValue(line, name, "not a header name");
            }
            m_policy->userHeader = value;
        } else if (strcmp(name, "cache") == 0) {
            if (strcmp(value, "yes") == 0) {
                m_policy->cacheEnabled = true;
            } else if (strcmp(value, "no") == 0) {
                m_policy->cacheEnabled = false;
            } else {
                return badValue(line, name, "expected yes or no");
            }
        } else if (strcmp(name, "cache-poll-interval") == 0) {
            unsigned long number = 0;
            if (!parseUnsigned(value, 86400, &number) || number == 0) {
                return badValue(line, name, "expected 1 to 86400 seconds");
            }
            m_policy->cachePollInterval = static_cast<int>(number);
        } else {
            return badValue(line, name, "unknown entry");
        }
        return 0;
    }

    yav_status_t vhostEntry(const char* name, const char* value, int line) {
        YavAuthzVHost& vh = m_policy->vhosts.back();
        if (strcmp(name, "branch") == 0) {
            if (value[0] != '/') return badValue(line, name, "branch must start with '/'");
            vh.branch = value;
        } else if (strcmp(name, "flags") == 0) {
            if (!parseVHostFlags(value, &vh.flags)) return badValue(line, name, "unknown flag");
        } else if (strcmp(name, "default") == 0) {
            if (!actionSet(value, line)) return m_status;
            vh.defaultPerms = value;
        } else {
            for (const char* p = name; *p != '\0'; ++p) {
                if (*p < 'A' || *p > 'Z') {
                    return badValue(line, name, "unknown entry (methods are upper case)");
                }
            }
            if (!actionSet(value, line)) return m_status;
            vh.methods.push_back(name);
            vh.methodPerms.push_back(value);
        }
        return 0;
    }

    bool actionSet(const char* value, int line) {
        if (yav_authz_valid_action_set(value)) return true;
        fail(line, YAV_S_CFG_INVALID_VALUE, std::string("invalid action set: ") + value);
        return false;
    }

    yav_status_t badValue(int line, const char* name, const char* why) {
        return fail(line, YAV_S_CFG_INVALID_VALUE, std::string(name) + ": " + why);
    }

    // The stanza library skips entries before the first head; they are
    // refused here instead of silently ignored.
    bool entriesBeforeFirstStanzaOk() {
        int line = 1;
        size_t pos = 0;
        while (pos < m_text.size()) {
            size_t end = m_text.find('\n', pos);
            if (end == std::string::npos) end = m_text.size();
            size_t p = pos;
            while (p < end && (m_text[p] == ' ' || m_text[p] == '\t')) ++p;
            if (p < end && m_text[p] == '[') return true;
            if (p < end && m_text[p] != '#' && m_text[p] != '\r') {
                fail(line, YAV_S_CFG_INVALID_VALUE, "entry before the first stanza");
                return false;
            }
            pos = end + 1;
            ++line;
        }
        return true;
    }

    // The library refused a line: find the first line it would refuse (a
    // head without "]" or an entry without "=") to name it.
    yav_status_t syntaxFault() {
        yav_status_t st = m_handle->status != 0 ? m_handle->status : YAV_S_STZ_READ_FAILED;
        int line = 1;
        size_t pos = 0;
        while (pos < m_text.size()) {
            size_t end = m_text.find('\n', pos);
            if (end == std::string::npos) end = m_text.size();
            std::string l = m_text.substr(pos, end - pos);
            size_t p = l.find_first_not_of(" \t\r");
            if (p != std::string::npos && l[p] != '#') {
                if (l[p] == '[' && l.find(']', p) == std::string::npos) {
                    return fail(line, st, "stanza head without ']'");
                }
                if (l[p] != '[' && l.find('=') == std::string::npos) {
                    return fail(line, st, "entry without '='");
                }
            }
            pos = end + 1;
            ++line;
        }
        return fail(lineAt(m_handle->lineOffset), st, "the line cannot be read");
    }

    bool readText() {
        FILE* f = fopen(m_path, "r");
        if (f == nullptr) return false;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) m_text.append(buf, n);
        bool ok = ferror(f) == 0;
        fclose(f);
        return ok;
    }

    int lineAt(long offset) const {
        if (offset < 0) offset = 0;
        size_t end = static_cast<size_t>(offset) < m_text.size() ? static_cast<size_t>(offset)
                                                                 : m_text.size();
        int line = 1;
        for (size_t i = 0; i < end; ++i) {
            if (m_text[i] == '\n') ++line;
        }
        return line;
    }

    yav_status_t fail(int line, yav_status_t st, const std::string& why) {
        *m_error = std::string(m_path) + ":" + std::to_string(line) + ": " + why;
        m_status = st;
        return st;
    }

    enum Kind { kNone, kServer, kVHost, kOpen, kAcl, kUsers, kGroups, kPostSizes, kConfigFlags };

    YavAuthzPolicy* m_policy;
    const char* m_path;
    std::string* m_error;
    std::string m_text;
    yavStanzaFile* m_handle = nullptr;
    Kind m_kind = kNone;
    std::string m_branch;
    yav_status_t m_status = 0;
};

yav_status_t YavAuthzPolicy::load(const char* path, std::string* error) {
    Loader loader(this, path, error);
    yav_status_t st = loader.run();
    if (st != 0) return st;
    buildConfigData();
    return 0;
}

void YavAuthzPolicy::buildConfigData() {
    for (const auto& p : postSizes) m_postURIs.push_back({p.name.c_str(), p.value});
    for (const auto& f : configFlags) m_flags.push_back({f.name.c_str(), f.value});
    m_methodPerms.resize(vhosts.size());
    for (size_t i = 0; i < vhosts.size(); ++i) {
        const YavAuthzVHost& vh = vhosts[i];
        for (size_t m = 0; m < vh.methods.size(); ++m) {
            m_methodPerms[i].push_back({vh.methods[m].c_str(), vh.methodPerms[m].c_str()});
        }
        YavConfigVHost c;
        c.id = vh.id.c_str();
        c.branch = vh.branch.c_str();
        c.flags = vh.flags;
        c.defaultPerms = vh.defaultPerms.c_str();
        c.methods = m_methodPerms[i].empty() ? nullptr : m_methodPerms[i].data();
        c.numMethods = static_cast<int>(m_methodPerms[i].size());
        m_vhosts.push_back(c);
    }
    m_config.postURIs = m_postURIs.empty() ? nullptr : m_postURIs.data();
    m_config.numPostURIs = static_cast<int>(m_postURIs.size());
    m_config.configFlags = m_flags.empty() ? nullptr : m_flags.data();
    m_config.numConfigFlags = static_cast<int>(m_flags.size());
    m_config.cacheEnabled = cacheEnabled;
    m_config.cachePollInterval = cachePollInterval;
    m_config.vhosts = m_vhosts.empty() ? nullptr : m_vhosts.data();
    m_config.numVHosts = static_cast<int>(m_vhosts.size());
}

const YavAuthzVHost* YavAuthzPolicy::findVHost(const std::string& id) const {
    for (const auto& v : vhosts) {
        if (v.id == id) return &v;
    }
    return nullptr;
}

const YavAuthzAcl* YavAuthzPolicy::findAcl(const std::string& object) const {
    auto it = m_aclIndex.find(object);
    return it == m_aclIndex.end() ? nullptr : &acls[it->second];
}

const YavAuthzUser* YavAuthzPolicy::findUser(const std::string& name) const {
    for (const auto& u : users) {
        if (u.name == name) return &u;
    }
    return nullptr;
}

std::string YavAuthzPolicy::openKey(const std::string& branch, const std::string& object) {
    std::string key;
    key.reserve(branch.size() + 1 + object.size());
    key.append(branch).push_back('\0');
    key.append(object);
    return key;
}

const YavAuthzOpenEntry* YavAuthzPolicy::findOpen(const std::string& branch,
                                                  const std::string& object) const {
    auto it = m_openIndex.find(openKey(branch, object));
    return it == m_openIndex.end() ? nullptr : &open[it->second];
}

bool YavAuthzPolicy::isMember(const std::string& group, const std::string& user) const {
    for (const auto& g : groups) {
        if (g.name != group) continue;
        for (const auto& m : g.members) {
            if (m == user) return true;
        }
    }
    return false;
}
