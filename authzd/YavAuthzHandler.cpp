#include "authzd/YavAuthzHandler.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "core/buffers/YavBuffer.h"
#include "core/buffers/YavString.h"
#include "core/html/YavHTML.h"
#include "core/http/YavHTTP.h"
#include "core/msg/yav_status.h"
#include "msg/core/YavProxyIFMsgBuffer.h"
#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/YavProxyIFMsgNameValue.h"
#include "msg/core/YavProxyIFMsgString.h"
#include "msg/core/YavProxyIFMsgStringList.h"
#include "proxyif/framework/YavProxyIFMessage.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "server/YavConfigAnswerWriter.h"
#include "server/YavURCVersionAnswerWriter.h"
#include "server/YavWebReqQuestionReader.h"
#include "server/YavWebTransAnswerWriter.h"

namespace {

YavStringRef toRef(const std::string& s) {
    return YavStringRef(s.c_str(), static_cast<int>(s.size()));
}

std::string str(const YavStringRef& r) {
    return std::string(r.getData(), static_cast<size_t>(r.getLength()));
}

// A fresh 16-byte epoch identifier: random bytes, or the time and process
// when no random source can be read.
void newEpochBytes(unsigned char* id) {
    bool filled = false;
    int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        filled = read(fd, id, 16) == 16;
        close(fd);
    }
    if (!filled) {
        struct timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        int64_t parts[2] = {static_cast<int64_t>(now.tv_sec) ^ getpid(),
                            static_cast<int64_t>(now.tv_nsec)};
        memcpy(id, parts, 16);
    }
}

void setCounter(YavEpochVersion* v, int32_t counter) {
    unsigned char bytes[YavEpochVersion::kSize];
    v->get(bytes);
    memcpy(bytes + 16, &counter, sizeof counter);
    v->set(bytes);
}

// The page sent with 401 and 403; the object name is escaped.
yav_status_t page(int code, const char* title, const std::string& object, std::string* out) {
    YavString escaped;
    yav_status_t st = YavHTML::escape(toRef(object), escaped);
    if (st != 0) return st;
    *out = "<html><head><title>" + std::to_string(code) + " " + title +
           "</title></head><body><h1>" + title + "</h1><p>" +
           std::string(escaped.getData(), static_cast<size_t>(escaped.getLength())) +
           "</p></body></html>\n";
    return 0;
}

yav_status_t addString(YavWebTransAnswerWriter& w, yav_proxy_rsp_cmds_e cmd,
                       const std::string& text) {
    YavProxyIFMsgString v;
    v.set(toRef(text));
    return w.add(cmd, v);
}

yav_status_t addNameValue(YavWebTransAnswerWriter& w, yav_proxy_rsp_cmds_e cmd,
                          const std::string& name, const std::string& value) {
    YavProxyIFMsgNameValue v;
    v.set(toRef(name), toRef(value));
    return w.add(cmd, v);
}

yav_status_t addInt(YavWebTransAnswerWriter& w, yav_proxy_rsp_cmds_e cmd, int value) {
    YavProxyIFMsgInt v(value);
    return w.add(cmd, v);
}

yav_status_t addBytes(YavWebTransAnswerWriter& w, yav_proxy_rsp_cmds_e cmd, const void* data,
                      int len) {
    YavBuffer b;
    b.refer(data, len);
    YavProxyIFMsgBuffer v;
    v.set(b);
    return w.add(cmd, v);
}

}  // namespace

YavAuthzHandler::YavAuthzHandler() {
    int rc = pthread_rwlock_init(&m_lock, nullptr);
    YAV_ASSERT(rc == 0);
}

YavAuthzHandler::~YavAuthzHandler() {
    delete m_policy;
    pthread_rwlock_destroy(&m_lock);
}

yav_status_t YavAuthzHandler::load(const char* path, std::string* error) {
    YAV_ASSERT(m_policy == nullptr);
    m_path = path;
    YavAuthzPolicy* policy = new (std::nothrow) YavAuthzPolicy;
    if (policy == nullptr) return YAV_S_NO_MEMORY;
    yav_status_t st = policy->load(path, error);
    if (st != 0) {
        delete policy;
        return st;
    }
    unsigned char bytes[YavEpochVersion::kSize] = {};
    newEpochBytes(bytes);
    m_version.set(bytes);
    setCounter(&m_version, 1);
    m_policy = policy;
    return 0;
}

yav_status_t YavAuthzHandler::reload(std::string* error) {
    YavAuthzPolicy* policy = new (std::nothrow) YavAuthzPolicy;
    if (policy == nullptr) return YAV_S_NO_MEMORY;
    yav_status_t st = policy->load(m_path.c_str(), error);
    if (st != 0) {
        delete policy;
        return st;
    }
    int rc = pthread_rwlock_wrlock(&m_lock);
    YAV_ASSERT(rc == 0);
    YavAuthzPolicy* old = m_policy;
    m_policy = policy;
    setCounter(&m_version, m_version.getCounter() + 1);
    rc = pthread_rwlock_unlock(&m_lock);
    YAV_ASSERT(rc == 0);
    delete old;
    return 0;
}

YavEpochVersion YavAuthzHandler::getVersion() {
    int rc = pthread_rwlock_rdlock(&m_lock);
    YAV_ASSERT(rc == 0);
    YavEpochVersion v = m_version;
    rc = pthread_rwlock_unlock(&m_lock);
    YAV_ASSERT(rc == 0);
    return v;
}

yav_status_t YavAuthzHandler::handle(int, int questionType, YavSharedMemIterator& question,
                                     YavSharedMemAllocator& answer, int* answerType) {
    int rc = pthread_rwlock_rdlock(&m_lock);
    YAV_ASSERT(rc == 0);
    const YavAuthzPolicy* policy = m_policy;
    YavEpochVersion version = m_version;
    yav_status_t st = YAV_S_INVALID_PARAMETER;
    if (policy == nullptr) {
        st = YAV_S_NOT_AVAILABLE;
    } else if (questionType == yav_msg_web_req_question) {
        *answerType = YavWebTransAnswerWriter::getType();
        st = answerWebRequest(question, answer, *policy, version);
    } else if (questionType == yav_msg_web_rsp_question) {
        // The response needs no change: go on.
        *answerType = YavWebTransAnswerWriter::getType();
        YavWebTransAnswerWriter w(answer);
        st = w.begin(yav_continue, 0);
        if (st == 0) st = w.finish();
    } else if (questionType == yav_msg_config_question) {
        int requestType = 0;
        st = YavConfigAnswerWriter::readQuestion(question, &requestType);
        if (st == 0) {
            *answerType = YavConfigAnswerWriter::kAnswerType;
            YavConfigAnswerWriter w(answer);
            st = w.writeAnswer(requestType, policy->configData());
        }
    } else if (questionType == yav_msg_urc_version_question) {
        *answerType = YavURCVersionAnswerWriter::getType();
        st = answerVersion(question, answer, *policy, version);
    }
    rc = pthread_rwlock_unlock(&m_lock);
    YAV_ASSERT(rc == 0);
    return st;
}

yav_status_t YavAuthzHandler::answerWebRequest(YavSharedMemIterator& question,
                                               YavSharedMemAllocator& answer,
                                               const YavAuthzPolicy& policy,
                                               const YavEpochVersion& version) {
    YavWebReqQuestionData data;
    yav_status_t st = YavWebReqQuestionReader::read(question, &data);
    if (st != 0) return st;
    YavAuthzRequest request;
    YavStringRef vhost;
    if (data.server.getVHostID(vhost) == 0) request.vhostID = str(vhost);
    request.method = str(data.methodText);
    if (request.method.empty() && data.method != yav_http_method_unknown) {
        YavStringRef name;
        YavHTTP::getMethodName(data.method, name);
        request.method = str(name);
    }
    request.uri = str(data.uri);
    if (request.uri.empty()) {
        std::string target = str(data.target);
        request.uri = target.substr(0, target.find('?'));
    }
    YavStringRef auth;
    if (YavWebReqQuestionReader::findHeader(data, YavStringRef("Authorization"), &auth) == 0) {
        request.authorization = str(auth);
    }
    YavAuthzResult result;
    st = yav_authz_decide(policy, request, &result);
    if (st != 0) return st;
    return writeDecision(answer, policy, result, version);
}

yav_status_t YavAuthzHandler::writeDecision(YavSharedMemAllocator& answer,
                                            const YavAuthzPolicy& policy,
                                            const YavAuthzResult& result,
                                            const YavEpochVersion& version) {
    YavWebTransAnswerWriter w(answer);
    yav_status_t st = 0;
    switch (result.verdict) {
        case yav_authz_open:
            st = w.begin(yav_continue, 2);
            if (st == 0)
                st = addNameValue(w, yav_req_set_header, policy.userHeader, "unauthenticated");
            break;
        case yav_authz_allowed: {
            st = w.begin(yav_continue, 3);
            if (st == 0) st = addNameValue(w, yav_req_set_header, policy.userHeader, result.user);
            if (st == 0) {
                YavProxyIFMsgStringList list;
                std::string method = "basic";
                st = list.add(toRef(result.user));
                if (st == 0) st = list.add(toRef(method));
                if (st == 0) st = list.add(toRef(result.objectName));
                if (st == 0) st = w.add(yav_req_set_web_log_user, list);
            }
            break;
        }
        case yav_authz_unauthenticated:
        case yav_authz_forbidden: {
            bool challenge = result.verdict == yav_authz_unauthenticated;
            int code = challenge ? 401 : 403;
            std::string body;
            st = page(code, challenge ? "Authorization Required" : "Forbidden", result.objectName,
                      &body);
            if (st == 0) st = w.begin(yav_send_rsp_to_client, challenge ? 5 : 4);
            if (st == 0) st = addInt(w, yav_rsp_set_response_code, code);
            if (st == 0 && challenge) {
                st = addNameValue(w, yav_rsp_set_header, "WWW-Authenticate",
                                  "Basic realm=\"" + policy.realm + "\"");
            }
            if (st == 0) st = addString(w, yav_rsp_set_content_type, "text/html");
            if (st == 0) {
                st = addBytes(w, yav_rsp_set_body, body.data(), static_cast<int>(body.size()));
            }
            break;
        }
    }
    if (st == 0) st = addBytes(w, yav_rsp_urc_version, version.bytes(), YavEpochVersion::kSize);
    if (st == 0) st = w.finish();
    return st;
}

yav_status_t YavAuthzHandler::answerVersion(YavSharedMemIterator& question,
                                            YavSharedMemAllocator& answer,
                                            const YavAuthzPolicy& policy,
                                            const YavEpochVersion& version) {
    unsigned len = 0;
    void* data = nullptr;
    yav_status_t st = question.getNextElement(&len, &data);
    if (st != 0) return st;
    YavProxyIFMsgBuffer held;
    if (len > 0x7FFFFFFFu ||
        held.unmarshal(static_cast<const unsigned char*>(data), static_cast<int>(len)) !=
            static_cast<int>(len) ||
        held.get().getLen() != YavEpochVersion::kSize || question.hasMoreElements()) {
        return YAV_S_UNMARSHAL_FAILED;
    }
    YavEpochVersion theirs;
    theirs.set(static_cast<const unsigned char*>(held.get().getData()));
    YavURCVersionAnswerWriter w(answer);
    st = w.writeVersion(version);
    if (st != 0 || theirs == version) return st != 0 ? st : w.finish();
    for (const std::string& branch : policy.openBranches) {
        int n = 0;
        for (const YavAuthzOpenEntry& e : policy.open) {
            if (e.branch == branch) ++n;
        }
        st = w.beginBranch(toRef(branch), n);
        for (size_t i = 0; st == 0 && i < policy.open.size(); ++i) {
            const YavAuthzOpenEntry& e = policy.open[i];
            if (e.branch != branch) continue;
            st = e.actions == "*" ? w.writeAllEntry(toRef(e.object))
                                  : w.writeEntry(toRef(e.object), toRef(e.actions));
        }
        if (st != 0) return st;
    }
    return w.finish();
}
