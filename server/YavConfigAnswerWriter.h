// YavConfigAnswerWriter: the authorization server's side of the
// configuration exchange -- reading a configuration question and writing
// configuration answers as element chains through a YavSharedMemAllocator.
//
// Answer forms (each value in the host's byte order; see
// src/msg/plugin/YavConfigAnswerUnmarshaller.h for the reader):
//   count element          one int: the number of commands that follow;
//   POST URI (id 0)        one element: id, name/int pair (key, minimum size);
//   configuration flag (1) one element: id, name/int pair (name, flag word);
//   cache settings (2)     one element: id, enabled flag; when enabled, a
//                          second element holding the poll interval;
//   virtual hosts (3)      one element: id, host count; then per host the
//                          elements ID, branch, flags, map size M, the pair
//                          ("<default>", action set) and M - 1 method pairs.
// writeAnswer writes the whole answer for one request type from a
// YavConfigAnswerData description; the single-command writers let a caller (or a
// test) build any answer, also a wrong one.
//
// YavConfigAnswerHandler: a YavWorkerHandler that answers configuration
// questions from a fixed YavConfigAnswerData (any other question with
// YAV_S_INVALID_PARAMETER, which the worker server turns into an error
// message).
//
// Memory: the writer writes into the allocator's region and owns nothing;
// YavConfigAnswerData and everything it points to belong to the caller and must
// outlive the writer or handler that uses them.  Texts are zero-terminated
// UTF-8.
//
// Threads: a writer belongs to one thread.  The handler only reads its
// data, so worker threads may use it at once.  Not copyable.
#ifndef YAV_SERVER_YAVCONFIGANSWERWRITER_H
#define YAV_SERVER_YAVCONFIGANSWERWRITER_H

#include <cstdint>

#include "core/sundry/yav_base.h"
#include "server/YavWorkerServer.h"

class YavProxyIFMsgData;
class YavSharedMemAllocator;
class YavSharedMemIterator;

// A name and an integer: a POST-URI key and its minimum size, or a flag
// name and its flag word.
struct YavConfigNameInt {
    const char* name;
    uint32_t value;
};

// A method and the action set it needs.
struct YavConfigMethodPerms {
    const char* method;
    const char* actions;
};

// A virtual host as the server reports it.
struct YavConfigVHost {
    const char* id;
    const char* branch;
    uint32_t flags;
    const char* defaultPerms;             // action set of the "<default>" pair
    const YavConfigMethodPerms* methods;  // numMethods entries (may be null when 0)
    int numMethods;
};

// Everything the server delivers, by request type.
struct YavConfigAnswerData {
    const YavConfigNameInt* postURIs = nullptr;  // request type 0
    int numPostURIs = 0;
    const YavConfigNameInt* configFlags = nullptr;  // request type 1
    int numConfigFlags = 0;
    bool cacheEnabled = false;  // request type 2
    int cachePollInterval = 0;
    const YavConfigVHost* vhosts = nullptr;  // request type 3
    int numVHosts = 0;
};

class YavConfigAnswerWriter {
  public:
    // The message types of the exchange.
    static constexpr int kQuestionType = 2;
    static constexpr int kAnswerType = 4;

    // Writes through a.  REQUIRES: a initialized; a outlives the writer.
    explicit YavConfigAnswerWriter(YavSharedMemAllocator& a) : m_alloc(a) {}
    YAV_DISALLOW_COPY(YavConfigAnswerWriter);

    // Reads a configuration question: exactly one element of 4 bytes.
    // 0 with *requestType set; YAV_S_UNMARSHAL_FAILED (or the iterator's
    // status) when the question is not of that form.
    static yav_status_t readQuestion(YavSharedMemIterator& it, int* requestType);

    // The whole answer to request type requestType (0 to 3) from data.
    // YAV_S_INVALID_PARAMETER for another request type or a negative
    // count in data; the allocator's status when the region is too small.
    yav_status_t writeAnswer(int requestType, const YavConfigAnswerData& data);

    // Single elements and commands; each returns 0 or the allocator's
    // status (YAV_S_NO_MEMORY when the region is full).
    yav_status_t writeCount(int numCmds);
    yav_status_t writePostURI(const char* key, int minPostData);
    yav_status_t writeConfigFlag(const char* name, uint32_t flags);
    // The enabled flag as given (0 = disabled); the poll interval element
    // follows only when enabled is non-zero.
    yav_status_t writeCacheSettings(int enabled, int pollInterval);
    // The identifier-3 element announcing count hosts.
    yav_status_t writeVHostCount(int count);
    // The elements of one host (after writeVHostCount).
    yav_status_t writeVHost(const YavConfigVHost& host);
    // An element holding one int / one string / one name-value pair;
    // building blocks for the above and for answers made by hand.
    yav_status_t writeIntElement(int value);
    yav_status_t writeStringElement(const char* text);
    yav_status_t writeNameValueElement(const char* name, const char* value);

  private:
    // One element holding values[0..n) one after the other.
    yav_status_t writeElement(const YavProxyIFMsgData* const* values, int n);

    YavSharedMemAllocator& m_alloc;
};

class YavConfigAnswerHandler : public YavWorkerHandler {
  public:
    // REQUIRES: data outlives the handler.
    explicit YavConfigAnswerHandler(const YavConfigAnswerData* data) : m_data(data) {}
    yav_status_t handle(int worker, int questionType, YavSharedMemIterator& question,
                        YavSharedMemAllocator& answer, int* answerType) override;

  private:
    const YavConfigAnswerData* m_data;
};

#endif  // YAV_SERVER_YAVCONFIGANSWERWRITER_H
