// YavConfigAnswerUnmarshaller: reads a configuration answer straight into
// the core's configuration (the destinations of a YavConfigAnswerContext).
//
// Answer layout (a chain of elements):
//   element 1: YavProxyIFMsgInt, the command count (getNumCmds);
//   then commands, each starting a new element with its identifier
//   (YavProxyIFMsgInt) followed in the same element by its first value:
//     0  YavProxyIFMsgNameInt: a POST-URI key and its minimum POST size;
//     1  YavProxyIFMsgNameInt: a flag name and its flag word;
//     2  YavProxyIFMsgInt: cache enabled (non-zero); only when enabled the
//        next element holds a YavProxyIFMsgInt, the poll interval (s);
//     3  YavProxyIFMsgInt: the host count N; then per host the elements
//        ID (string), branch (string), flags (int), permission-map size M
//        (int, at least 1), the pair ("<default>", action set) and M - 1
//        pairs (method name, action set), each pair a
//        YavProxyIFMsgNameValue.
//
// Replacement.  The first identifier-0 command takes the POST-URI table's
// write lock, empties the table and gives it the context's bucket count;
// the lock is held until unmarshal returns, so request threads never see a
// half-built table.  Identifier 1 does the same with the flag table.  An
// identifier-3 command empties the host list and appends the received hosts
// under the list's write lock, held for that command.  Everything put into
// the tables and hosts is a copy: nothing refers into the worker buffer
// after unmarshal returns.
//
// Bad answers are refused, never followed past their elements: a value that
// does not fit its element, a missing element, a negative host count, a
// permission-map size below 1 or a first pair not named "<default>" give
// YAV_S_UNMARSHAL_FAILED (a missing further element YAV_S_NO_MEMORY, the
// way the peer reports it); an unknown identifier, or data for a
// destination the context does not name, gives YAV_S_INVALID_COMMAND after
// the message YAV_S_INVALID_COMMAND_CODE; each failure writes one error
// line to the context's log.  The tables and the list then hold what was
// read before the failure, and every lock is released.
//
// Memory: readers made by YavConfigAnswerFactory live in the class's
// caching allocator m_allocator (name YAV_N_CONFIG_RSP_PARSER, initial
// block size 36; acquired by the core) and are released with deleteMe().
// The iterator and the command bytes (m_data) are the dispatcher's worker
// buffer, not owned.
//
// Threads: a reader belongs to one thread; the destinations are shared with
// request threads through their locks.  An answer that mixes identifiers
// takes the host list's lock while holding a table's, so readers must not
// ask for a table's lock while they hold the list's.  Not copyable.
#ifndef YAV_MSG_PLUGIN_YAVCONFIGANSWERUNMARSHALLER_H
#define YAV_MSG_PLUGIN_YAVCONFIGANSWERUNMARSHALLER_H

#include "core/buffers/YavBuffer.h"
#include "core/memory/YavClassAllocator.h"
#include "msg/core/YavProxyIFMsgData.h"
#include "msg/plugin/YavConfigAnswerBase.h"

class YavPluginVirtualHost;
class YavPluginVirtualHostList;
struct YavConfigAnswerContext;

class YAV_EXPORT YavConfigAnswerUnmarshaller : public YavConfigAnswerBase {
  public:
    // The name every permission map's first pair carries.
    static const char kDefaultPermsName[];

    YavConfigAnswerUnmarshaller();
    ~YavConfigAnswerUnmarshaller() override = default;

    // Destroys the reader and gives its block back to m_allocator.
    // REQUIRES: made by YavConfigAnswerFactory.
    void deleteMe() override;
    // Reads the whole answer into the destinations of context, a
    // YavConfigAnswerContext (see the header comment).  0 when every
    // command was read; YAV_S_INVALID_PARAMETER for a null context, a table
    // that does not own its entries or a bucket count below 1.
    yav_status_t unmarshal(YavSharedMemIterator& iter, void* context) override;
    // YAV_S_NOT_SUPPORTED: only the server writes configuration answers.
    yav_status_t marshal(YavSharedMemAllocator& a) override;

    // Takes the next element as a command: reads its identifier and points
    // the command's data at the rest of the element.  False at the end of
    // the answer or when the element cannot be read (nextCommand tells the
    // two apart).  REQUIRES: unmarshal has given the reader its iterator.
    bool next();
    // As next(): 0 with *found true (a command) or false (the end), or the
    // iterator's status / YAV_S_UNMARSHAL_FAILED for an element too short
    // for an identifier.
    yav_status_t nextCommand(bool* found);
    int getConfigID() const { return m_configID.get(); }
    // Reads p from the current command's data.  0, or
    // YAV_S_UNMARSHAL_FAILED when p does not fit.
    yav_status_t getConfigData(YavProxyIFMsgData* p);
    // Takes the next element whole as the command's data and reads p from
    // it.  0, YAV_S_NO_MEMORY when there is no further element, the
    // iterator's status, or YAV_S_UNMARSHAL_FAILED when p does not fit.
    yav_status_t getMoreData(YavProxyIFMsgData* p);

    // Identifier 3: reads N from the command's data, then under the list's
    // write lock deletes every host and appends N hosts (getVHostData).
    // The status of the lock, of the first failing host, or 0.
    // REQUIRES: vHostList not null (assertion "vHostList").
    yav_status_t getVHostListData(YavPluginVirtualHostList* vHostList);
    // Reads one host (ID, branch, flags, permission map) and appends it;
    // on failure the host is destroyed and the list unchanged.
    yav_status_t getVHostData(YavPluginVirtualHostList* vHostList);
    // Reads a permission map and gives it to host; on failure the map and
    // its lists are destroyed and host unchanged.
    yav_status_t getVHostPermMapData(YavPluginVirtualHost* host);

    // The caching allocator of the class.
    static YavClassAllocator m_allocator;

  private:
    YavSharedMemIterator* m_iterator;
    YavProxyIFMsgInt m_configID;
    YavBuffer m_data;  // the current command's bytes, in the worker buffer
};

#endif  // YAV_MSG_PLUGIN_YAVCONFIGANSWERUNMARSHALLER_H
