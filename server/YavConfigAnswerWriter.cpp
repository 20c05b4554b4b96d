#include "server/YavConfigAnswerWriter.h"

#include <cstring>

#include "core/msg/yav_status.h"
#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/YavProxyIFMsgNameInt.h"
#include "msg/core/YavProxyIFMsgNameValue.h"
#include "msg/core/YavProxyIFMsgString.h"
#include "msg/plugin/YavConfigQuestion.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"

namespace {

// The identifiers of the commands, equal to the request types.
enum { kPostURI = 0, kConfigFlag = 1, kCacheSettings = 2, kVirtualHosts = 3 };

const char kDefaultPermsName[] = "<default>";

}  // namespace

yav_status_t YavConfigAnswerWriter::readQuestion(YavSharedMemIterator& it, int* requestType) {
    YavConfigQuestion question;
    yav_status_t status = question.unmarshal(it, nullptr);
    if (status != 0) return status;
    // A question is one element; anything behind it is not a question.
    if (it.hasMoreElements()) return YAV_S_UNMARSHAL_FAILED;
    *requestType = question.getRequestType();
    return 0;
}

yav_status_t YavConfigAnswerWriter::writeElement(const YavProxyIFMsgData* const* values, int n) {
    int64_t total = 0;
    for (int i = 0; i < n; ++i) {
        int size = values[i]->marshal(nullptr, 0);
        if (size < 0) return YAV_S_INVALID_PARAMETER;
        total += size;
    }
    if (total > INT32_MAX) return YAV_S_INVALID_PARAMETER;
    void* data = nullptr;
    yav_status_t status = m_alloc.allocate(static_cast<unsigned>(total), &data);
    if (status != 0) return status;
    unsigned char* at = static_cast<unsigned char*>(data);
    int left = static_cast<int>(total);
    for (int i = 0; i < n; ++i) {
        int written = values[i]->marshal(at, left);
        at += written;
        left -= written;
    }
    return 0;
}

yav_status_t YavConfigAnswerWriter::writeIntElement(int value) {
    YavProxyIFMsgInt v(value);
    const YavProxyIFMsgData* values[] = {&v};
    return writeElement(values, 1);
}

yav_status_t YavConfigAnswerWriter::writeStringElement(const char* text) {
    YavProxyIFMsgString s;
    s.set(YavStringRef(text));
    const YavProxyIFMsgData* values[] = {&s};
    return writeElement(values, 1);
}

yav_status_t YavConfigAnswerWriter::writeNameValueElement(const char* name, const char* value) {
    YavProxyIFMsgNameValue pair;
    pair.set(YavStringRef(name), YavStringRef(value));
    const YavProxyIFMsgData* values[] = {&pair};
    return writeElement(values, 1);
}

yav_status_t YavConfigAnswerWriter::writeCount(int numCmds) { return writeIntElement(numCmds); }

yav_status_t YavConfigAnswerWriter::writePostURI(const char* key, int minPostData) {
    YavProxyIFMsgInt id(kPostURI);
    YavProxyIFMsgNameInt pair;
    pair.set(YavStringRef(key), minPostData);
    const YavProxyIFMsgData* values[] = {&id, &pair};
    return writeElement(values, 2);
}

yav_status_t YavConfigAnswerWriter::writeConfigFlag(const char* name, uint32_t flags) {
    YavProxyIFMsgInt id(kConfigFlag);
    YavProxyIFMsgNameInt pair;
    pair.set(YavStringRef(name), static_cast<int>(flags));
    const YavProxyIFMsgData* values[] = {&id, &pair};
    return writeElement(values, 2);
}

yav_status_t YavConfigAnswerWriter::writeCacheSettings(int enabled, int pollInterval) {
    YavProxyIFMsgInt id(kCacheSettings);
    YavProxyIFMsgInt flag(enabled);
    const YavProxyIFMsgData* values[] = {&id, &flag};
    yav_status_t status = writeElement(values, 2);
    if (status == 0 && enabled != 0) status = writeIntElement(pollInterval);
    return status;
}

yav_status_t YavConfigAnswerWriter::writeVHostCount(int count) {
    YavProxyIFMsgInt id(kVirtualHosts);
    YavProxyIFMsgInt n(count);
    const YavProxyIFMsgData* values[] = {&id, &n};
    return writeElement(values, 2);
}

yav_status_t YavConfigAnswerWriter::writeVHost(const YavConfigVHost& host) {
    if (host.numMethods < 0) return YAV_S_INVALID_PARAMETER;
    yav_status_t status = writeStringElement(host.id);
    if (status == 0) status = writeStringElement(host.branch);
    if (status == 0) status = writeIntElement(static_cast<int>(host.flags));
    if (status == 0) status = writeIntElement(host.numMethods + 1);
    if (status == 0) status = writeNameValueElement(kDefaultPermsName, host.defaultPerms);
    for (int i = 0; i < host.numMethods && status == 0; ++i) {
        status = writeNameValueElement(host.methods[i].method, host.methods[i].actions);
    }
    return status;
}

yav_status_t YavConfigAnswerWriter::writeAnswer(int requestType, const YavConfigAnswerData& data) {
    yav_status_t status = 0;
    switch (requestType) {
        case kPostURI:
            if (data.numPostURIs < 0) return YAV_S_INVALID_PARAMETER;
            status = writeCount(data.numPostURIs);
            for (int i = 0; i < data.numPostURIs && status == 0; ++i) {
                status =
                    writePostURI(data.postURIs[i].name, static_cast<int>(data.postURIs[i].value));
            }
            return status;
        case kConfigFlag:
            if (data.numConfigFlags < 0) return YAV_S_INVALID_PARAMETER;
            status = writeCount(data.numConfigFlags);
            for (int i = 0; i < data.numConfigFlags && status == 0; ++i) {
                status = writeConfigFlag(data.configFlags[i].name, data.configFlags[i].value);
            }
            return status;
        case kCacheSettings:
            status = writeCount(1);
            if (status == 0)
                status = writeCacheSettings(data.cacheEnabled ? 1 : 0, data.cachePollInterval);
            return status;
        case kVirtualHosts:
            if (data.numVHosts < 0) return YAV_S_INVALID_PARAMETER;
            status = writeCount(1);
            if (status == 0) status = writeVHostCount(data.numVHosts);
            for (int i = 0; i < data.numVHosts && status == 0; ++i) {
                status = writeVHost(data.vhosts[i]);
            }
            return status;
        default:
            return YAV_S_INVALID_PARAMETER;
    }
}

yav_status_t YavConfigAnswerHandler::handle(int /*worker*/, int questionType,
                                            YavSharedMemIterator& question,
                                            YavSharedMemAllocator& answer, int* answerType) {
    if (questionType != YavConfigAnswerWriter::kQuestionType) return YAV_S_INVALID_PARAMETER;
    int requestType = 0;
    yav_status_t status = YavConfigAnswerWriter::readQuestion(question, &requestType);
    if (status != 0) return status;
    YavConfigAnswerWriter writer(answer);
    status = writer.writeAnswer(requestType, *m_data);
    if (status != 0) return status;
    *answerType = YavConfigAnswerWriter::kAnswerType;
    return 0;
}
