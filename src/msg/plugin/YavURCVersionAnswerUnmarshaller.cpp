#include "msg/plugin/YavURCVersionAnswerUnmarshaller.h"

#include <climits>
#include <cstring>
#include <new>

#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"
#include "core/trace/YavLog.h"
#include "msg/core/YavProxyIFMsgBuffer.h"
#include "msg/core/YavProxyIFMsgNameValue.h"
#include "plugin/core/YavActionGroupList.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "urc/plugin/YavEpochVersion.h"
#include "urc/plugin/YavUnprotResourceCache.h"

YavClassAllocator YavURCVersionAnswerUnmarshaller::m_allocator(YAV_N_URC, 8);

namespace {

const char kLogComponent[] = "Tessaro";

// A received string is used only when it carries its terminator (the empty
// string of length 0 needs none): text that was cut short is refused
// rather than guessed at.
bool terminated(const YavStringRef& text) { return text.isTerminated() || text.getLength() == 0; }

// A new YavString holding a copy of text, or null.
YavString* copyName(const YavStringRef& text) {
    YavString* copy = new (std::nothrow) YavString(text);
    if (copy != nullptr && !copy->ok()) {
        delete copy;
        copy = nullptr;
    }
    return copy;
}

// The value of an entry on which every action is granted.
bool grantsAll(const YavStringRef& value) {
    return value.getLength() == 1 && value.getData()[0] == '*';
}

}  // namespace

yav_status_t YavURCVersionAnswerUnmarshaller::create(YavURCVersionAnswerUnmarshaller** out) {
    YAV_ASSERT(out != nullptr);
    *out = m_allocator.make<YavURCVersionAnswerUnmarshaller>();
    return *out != nullptr ? 0 : YAV_S_NO_MEMORY;
}

void YavURCVersionAnswerUnmarshaller::deleteMe() { m_allocator.destroy(this); }

yav_status_t YavURCVersionAnswerUnmarshaller::marshal(YavSharedMemAllocator& /*a*/) {
    return YAV_S_NOT_SUPPORTED;
}

yav_status_t YavURCVersionAnswerUnmarshaller::unmarshal(YavSharedMemIterator& it, void* context) {
    YAV_ASSERT(context != nullptr);
    YavURCVersionAnswerData* data = static_cast<YavURCVersionAnswerData*>(context);
    YavUnprotResourceCache* cache = data->m_cache;
    YAV_ASSERT(cache != nullptr);

    m_iterator = &it;
    // The version is copied out of the worker buffer at once, so the bytes
    // installed are the bytes checked.
    unsigned char version[YavEpochVersion::kSize];
    YavProxyIFMsgBuffer received;
    yav_status_t status = getVersion(received);
    YavURCDatabase* db = nullptr;
    if (status == 0) {
        memcpy(version, received.get().getData(), sizeof version);
        status = getDB(&db);
    }
    m_iterator = nullptr;
    if (status != 0) {
        if (data->m_logger != nullptr) {
            data->m_logger->logLCP(yav_log_error, __FILE__, __LINE__, kLogComponent, status);
        }
        return status;
    }
    // An answer without a database says that the cache's copy is current.
    if (db == nullptr) return 0;

    status = cache->writeLock();
    if (status != 0) {
        delete db;
        return status;
    }
    cache->setVersion(version);
    cache->setDB(db);
    return cache->unlock();
}

yav_status_t YavURCVersionAnswerUnmarshaller::readElement(YavProxyIFMsgData& value) {
    unsigned len = 0;
    void* data = nullptr;
    yav_status_t status = m_iterator->getNextElement(&len, &data);
    if (status != 0) return status;
    if (len > static_cast<unsigned>(INT_MAX)) return YAV_S_UNMARSHAL_FAILED;
    const int consumed =
        value.unmarshal(static_cast<const unsigned char*>(data), static_cast<int>(len));
    // Every element holds exactly one value: bytes left over mean that the
    // element is not the value the answer's structure calls for here.
    if (consumed < 0 || static_cast<unsigned>(consumed) != len) return YAV_S_UNMARSHAL_FAILED;
    return 0;
}

bool YavURCVersionAnswerUnmarshaller::nextBranchDBExists() const {
    return m_iterator->hasMoreElements();
}

yav_status_t YavURCVersionAnswerUnmarshaller::getVersion(YavProxyIFMsgBuffer& version) {
    yav_status_t status = readElement(version);
    if (status != 0) return status;
    if (version.get().getLen() != YavEpochVersion::kSize) return YAV_S_UNMARSHAL_FAILED;
    return 0;
}

yav_status_t YavURCVersionAnswerUnmarshaller::getBranchName(YavProxyIFMsgString& name) {
    yav_status_t status = readElement(name);
    if (status != 0) return status;
    return terminated(name.get()) ? 0 : YAV_S_UNMARSHAL_FAILED;
}

yav_status_t YavURCVersionAnswerUnmarshaller::getBDBSize(YavProxyIFMsgInt& size) {
    return readElement(size);
}

yav_status_t YavURCVersionAnswerUnmarshaller::getDB(YavURCDatabase** db) {
    *db = nullptr;
    if (!nextBranchDBExists()) return 0;

    YavURCDatabase* table = new (std::nothrow) YavURCDatabase(nullptr, true, true);
    if (table == nullptr) return YAV_S_NO_MEMORY;
    yav_status_t status = table->initialize(YavUnprotResourceCache::kDatabaseBuckets);
    // Each round consumes at least one element and the iterator only moves
    // forward, so the loop ends with the chain.
    while (status == 0 && nextBranchDBExists()) status = getBranchDB(table);
    if (status != 0) {
        delete table;
        return status;
    }
    *db = table;
    return 0;
}

yav_status_t YavURCVersionAnswerUnmarshaller::getBranchDB(YavURCDatabase* db) {
    YavProxyIFMsgString name;
    yav_status_t status = getBranchName(name);
    if (status != 0) return status;
    YavProxyIFMsgInt count;
    status = getBDBSize(count);
    if (status != 0) return status;
    if (count.get() < 0) return YAV_S_UNMARSHAL_FAILED;

    YavString* branchName = copyName(name.get());
    if (branchName == nullptr) return YAV_S_NO_MEMORY;
    YavURCBranchDB* branch = new (std::nothrow) YavURCBranchDB(nullptr, true, true);
    if (branch == nullptr) {
        delete branchName;
        return YAV_S_NO_MEMORY;
    }
    status = branch->initialize(YavUnprotResourceCache::kBranchBuckets);
    // A count larger than the entries present ends at the first missing
    // element, so a lying count cannot make this loop run on.
    for (int i = 0; status == 0 && i < count.get(); ++i) status = getNextBDBEntry(branch);
    if (status == 0) status = db->add(branchName, branch);
    if (status != 0) {
        delete branch;
        delete branchName;
    }
    return status;
}

yav_status_t YavURCVersionAnswerUnmarshaller::getNextBDBEntry(YavURCBranchDB* branch) {
    YavProxyIFMsgNameValue pair;
    yav_status_t status = readElement(pair);
    if (status != 0) return status;
    if (!terminated(pair.getName()) || !terminated(pair.getValue())) {
        return YAV_S_UNMARSHAL_FAILED;
    }

    YavString* objectName = copyName(pair.getName());
    if (objectName == nullptr) return YAV_S_NO_MEMORY;

    YavUnprotResourceCacheBranchDBEntry* entry = nullptr;
    if (grantsAll(pair.getValue())) {
        entry = new (std::nothrow) YavUnprotResourceCacheBranchDBEntry();
    } else {
        YavActionGroupList* perms = new (std::nothrow) YavActionGroupList();
        if (perms == nullptr) {
            delete objectName;
            return YAV_S_NO_MEMORY;
        }
        status = perms->initialize(pair.getValue());
        if (status != 0) {
            delete perms;
            delete objectName;
            return status;
        }
        entry = new (std::nothrow) YavUnprotResourceCacheBranchDBEntry(perms);
        if (entry == nullptr) delete perms;
    }
    if (entry == nullptr) {
        delete objectName;
        return YAV_S_NO_MEMORY;
    }
    status = branch->add(objectName, entry);
    if (status != 0) {
        delete entry;
        delete objectName;
    }
    return status;
}
