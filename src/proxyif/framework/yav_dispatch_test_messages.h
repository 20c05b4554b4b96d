// Test messages for the dispatcher: a question made of raw elements and an
// answer that reads each element as a run of name/value pairs and keeps
// copies of them; and a count of the blocks a class allocator has handed
// out.  Test code only (the messages allocate freely).
#ifndef YAV_PROXYIF_FRAMEWORK_YAV_DISPATCH_TEST_MESSAGES_H
#define YAV_PROXYIF_FRAMEWORK_YAV_DISPATCH_TEST_MESSAGES_H

#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/memory/YavClassAllocator.h"
#include "core/msg/yav_status.h"
#include "msg/core/YavProxyIFMsgNameValue.h"
#include "proxyif/framework/YavProxyIFMessage.h"
#include "proxyif/framework/YavProxyIFMsgFactory.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"

// Blocks of a class allocator that are handed out and not given back
// (0 when the allocator does not exist).
inline long yav_class_allocator_outstanding(const YavClassAllocator& a) {
    if (!a.isAcquired()) return 0;
    yav_allocator* raw = a.allocator()->allocator();
    pthread_mutex_lock(&raw->mutex);
    long outstanding = static_cast<long>(raw->n_blocks) - static_cast<long>(raw->n_free);
    pthread_mutex_unlock(&raw->mutex);
    return outstanding;
}

typedef std::vector<std::pair<std::string, std::string>> YavTestPairs;

// The wire bytes of a run of name/value pairs.
inline std::string yav_test_pairs_bytes(const YavTestPairs& pairs) {
    std::string bytes;
    for (const auto& p : pairs) {
        YavProxyIFMsgNameValue nv;
        nv.set(YavStringRef(p.first.c_str(), static_cast<int>(p.first.size())),
               YavStringRef(p.second.c_str(), static_cast<int>(p.second.size())));
        std::vector<int> block(static_cast<size_t>(nv.marshal(nullptr, 0)) / sizeof(int));
        int n = nv.marshal(reinterpret_cast<unsigned char*>(block.data()),
                           static_cast<int>(block.size() * sizeof(int)));
        bytes.append(reinterpret_cast<const char*>(block.data()), static_cast<size_t>(n));
    }
    return bytes;
}

// A question whose elements are given as raw bytes.
class YavTestQuestion : public YavProxyIFMessage {
  public:
    explicit YavTestQuestion(int type = yav_msg_web_req_question) : m_type(type) {}
    void addElement(const std::string& bytes) { m_elements.push_back(bytes); }
    void addPairs(const YavTestPairs& pairs) { addElement(yav_test_pairs_bytes(pairs)); }

    yav_status_t unmarshal(YavSharedMemIterator&, void*) override {
        return YAV_S_INVALID_PARAMETER;
    }
    yav_status_t marshal(YavSharedMemAllocator& a) override {
        for (const std::string& e : m_elements) {
            void* data = nullptr;
            yav_status_t status = a.allocate(static_cast<unsigned>(e.size()), &data);
            if (status != 0) return status;
            if (!e.empty()) memcpy(data, e.data(), e.size());
        }
        return 0;
    }
    int getType() const override { return m_type; }

  private:
    int m_type;
    std::vector<std::string> m_elements;
};

// An answer: every element is a run of name/value pairs, copied out.
class YavTestAnswer : public YavProxyIFMessage {
  public:
    explicit YavTestAnswer(int type) : m_type(type) {}

    yav_status_t unmarshal(YavSharedMemIterator& it, void* context) override {
        m_context = context;
        while (it.hasMoreElements()) {
            unsigned len = 0;
            void* data = nullptr;
            yav_status_t status = it.getNextElement(&len, &data);
            if (status != 0) return status;
            if (len > INT_MAX) return YAV_S_UNMARSHAL_FAILED;
            const unsigned char* bytes = static_cast<const unsigned char*>(data);
            YavTestPairs pairs;
            int offset = 0;
            while (offset < static_cast<int>(len)) {
                YavProxyIFMsgNameValue nv;
                int used = nv.unmarshal(bytes + offset, static_cast<int>(len) - offset);
                if (used < 0) return YAV_S_UNMARSHAL_FAILED;
                pairs.emplace_back(std::string(nv.getName().getData(), nv.getName().getLength()),
                                   std::string(nv.getValue().getData(), nv.getValue().getLength()));
                offset += used;
            }
            m_elements.push_back(pairs);
        }
        return 0;
    }
    yav_status_t marshal(YavSharedMemAllocator&) override { return YAV_S_INVALID_PARAMETER; }
    int getType() const override { return m_type; }

    const std::vector<YavTestPairs>& elements() const { return m_elements; }
    void* context() const { return m_context; }

  private:
    int m_type;
    void* m_context = nullptr;
    std::vector<YavTestPairs> m_elements;
};

class YavTestAnswerFactory : public YavProxyIFMsgFactory {
  public:
    explicit YavTestAnswerFactory(int type) : m_type(type) {}
    int getType() const override { return m_type; }
    yav_status_t createMsg(YavProxyIFMessage** out) override {
        *out = new (std::nothrow) YavTestAnswer(m_type);
        return *out != nullptr ? 0 : YAV_S_NO_MEMORY;
    }

  private:
    int m_type;
};

#endif  // YAV_PROXYIF_FRAMEWORK_YAV_DISPATCH_TEST_MESSAGES_H
