// YavURCVersionAnswerUnmarshaller: reads a URC version answer (type
// yav_msg_urc_version_answer) and installs what it carries into the cache
// named by the dispatch context (YavURCVersionAnswerData).
//
// Wire form, one primitive per element, each element exactly as long as
// its value's encoding:
//     YavProxyIFMsgBuffer      the server's version, 20 bytes
//     then per branch database:
//       YavProxyIFMsgString    branch name
//       YavProxyIFMsgInt       number N of entries (0 or more)
//       N x YavProxyIFMsgNameValue
//                              object name, and "*" (every action granted)
//                              or an action set (the granted actions)
// An answer that ends after the version carries no database: the cache
// keeps its database and its version.
//
// The new database is built completely before the cache's write lock is
// taken; the database and its version are then swapped in together, so
// readers see the old pair or the new one.  The answer comes from another
// process and is not trusted: an element that is missing, does not hold
// exactly one value of the expected kind, a version that is not 20 bytes, a
// string without its terminator, a negative entry count or an invalid
// action set fails the whole answer with a status and a log line, and the
// cache stays exactly as it was.
//
// Memory: objects come from the class's caching allocator m_allocator
// (name YAV_N_URC, acquired by the plug-in core) through the factory and
// go back with deleteMe().  During unmarshal the object points at the
// caller's iterator; it keeps nothing afterwards.  The database it builds
// copies every name and action set out of the worker buffer.
//
// Threads: one thread at a time (the thread that sent the question);
// create() may be used from any thread while m_allocator is acquired.  Not
// copyable.
#ifndef YAV_MSG_PLUGIN_YAVURCVERSIONANSWERUNMARSHALLER_H
#define YAV_MSG_PLUGIN_YAVURCVERSIONANSWERUNMARSHALLER_H

#include "core/memory/YavClassAllocator.h"
#include "msg/core/YavProxyIFMsgData.h"
#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/YavProxyIFMsgString.h"
#include "msg/plugin/YavURCVersionAnswerData.h"
#include "proxyif/framework/YavProxyIFMessage.h"
#include "urc/plugin/YavUnprotResourceCacheBranchDBEntry.h"

class YavProxyIFMsgBuffer;

class YAV_EXPORT YavURCVersionAnswerUnmarshaller : public YavProxyIFMessage {
  public:
    YavURCVersionAnswerUnmarshaller() = default;
    ~YavURCVersionAnswerUnmarshaller() override = default;

    // Makes an object in m_allocator; *out is null on failure.
    // 0 or YAV_S_NO_MEMORY.  REQUIRES: m_allocator acquired (asserted).
    static yav_status_t create(YavURCVersionAnswerUnmarshaller** out);
    // Gives an object made by create() back to m_allocator.
    void deleteMe() override;

    // context is a YavURCVersionAnswerData whose cache is set (asserted).
    // 0 when the answer was read (and its database, if any, installed);
    // otherwise the first failure (the iterator's status, YAV_S_NO_MEMORY,
    // YAV_S_UNMARSHAL_FAILED, YAV_S_URC_INVALID_ACTION_SET), logged through
    // the context's log, with the cache unchanged.
    yav_status_t unmarshal(YavSharedMemIterator& it, void* context) override;
    // Answers are only read by the plug-in: YAV_S_NOT_SUPPORTED.
    yav_status_t marshal(YavSharedMemAllocator& a) override;
    int getType() const override { return yav_msg_urc_version_answer; }

    // The caching allocator of the class (name YAV_N_URC, block size 8).
    static YavClassAllocator m_allocator;

  private:
    // Reads the version element into version (20 bytes, referring into the
    // worker buffer).
    yav_status_t getVersion(YavProxyIFMsgBuffer& version);
    // Builds the database from the remaining elements; *db null when there
    // are none.  On failure nothing is left allocated and *db is null.
    yav_status_t getDB(YavURCDatabase** db);
    // Reads one branch (name, count, entries) and adds it to db.
    yav_status_t getBranchDB(YavURCDatabase* db);
    // Reads one entry and adds it to branch.
    yav_status_t getNextBDBEntry(YavURCBranchDB* branch);
    yav_status_t getBranchName(YavProxyIFMsgString& name);
    yav_status_t getBDBSize(YavProxyIFMsgInt& size);
    bool nextBranchDBExists() const;

    // Reads the next element and decodes value from it; the value must take
    // the whole element.
    yav_status_t readElement(YavProxyIFMsgData& value);

    YavSharedMemIterator* m_iterator = nullptr;
};

#endif  // YAV_MSG_PLUGIN_YAVURCVERSIONANSWERUNMARSHALLER_H
