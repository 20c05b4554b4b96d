#include "msg/plugin/YavConfigAnswerUnmarshaller.h"

#include <climits>
#include <new>
#include <optional>

#include "core/msg/kr_msg.h"
#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"
#include "core/trace/YavLog.h"
#include "msg/core/YavProxyIFMsgNameInt.h"
#include "msg/core/YavProxyIFMsgNameValue.h"
#include "msg/core/YavProxyIFMsgString.h"
#include "msg/plugin/YavConfigAnswerContext.h"
#include "msg/plugin/YavConfigQuestion.h"
#include "plugin/core/YavActionGroupList.h"
#include "plugin/core/YavPermMap.h"
#include "plugin/core/YavPluginVirtualHost.h"
#include "plugin/core/YavPluginVirtualHostList.h"
#include "proxyif/ipc/YavSharedMemIterator.h"

YavClassAllocator YavConfigAnswerUnmarshaller::m_allocator(YAV_N_CONFIG_RSP_PARSER, 36);

const char YavConfigAnswerUnmarshaller::kDefaultPermsName[] = "<default>";

namespace {

const char kComponent[] = "Tessaro";

// The write lock of one table, taken by the first command for it and held
// until the whole answer has been read.
template <class Value>
using YavTableLock = std::optional<typename YavProtectedHashTable<YavString, Value>::Lock>;

// Writes the text of status to log as one error line.
void logStatus(YavLog* log, int line, yav_status_t status) {
    if (log == nullptr) return;
    char text[512];
    uint32_t textStatus = 0;
    kr_error_inq_text(status, text, sizeof text, &textStatus);
    log->log(yav_log_error, __FILE__, line, kComponent, YavLCPStringRef(text));
}

// Logs the invalid-command message for id and returns YAV_S_INVALID_COMMAND.
yav_status_t refuseCommand(YavLog* log, int line, int id) {
    if (log != nullptr) {
        log->logLCP(yav_log_error, __FILE__, line, kComponent, YAV_S_INVALID_COMMAND_CODE,
                    static_cast<unsigned>(id));
    }
    return YAV_S_INVALID_COMMAND;
}

// On the first entry for table: takes its write lock into *lock, empties it
// and gives it `buckets` fresh buckets.  Then adds a copy of the pair.
template <class Value>
yav_status_t addTableEntry(YavProtectedHashTable<YavString, Value>* table, int buckets,
                           YavTableLock<Value>* lock, const YavProxyIFMsgNameInt& pair) {
    using Protected = YavProtectedHashTable<YavString, Value>;
    if (!lock->has_value()) {
        if (buckets <= 0) return YAV_S_INVALID_PARAMETER;
        lock->emplace(*table, Protected::yav_lock_write);
        typename Protected::Table& t = (*lock)->writableTable();
        // A table that does not own its entries would lose them here.
        if (!t.ownsKeys() || !t.ownsValues()) return YAV_S_INVALID_PARAMETER;
        yav_status_t status = t.initialize(static_cast<uint32_t>(buckets));
        if (status != 0) return status;
    }
    typename Protected::Table& t = (*lock)->writableTable();
    YavString* key = new (std::nothrow) YavString(pair.getName());
    Value* value = new (std::nothrow) Value(static_cast<Value>(pair.getValue()));
    yav_status_t status = YAV_S_NO_MEMORY;
    if (key != nullptr && key->ok() && value != nullptr) status = t.add(key, value);
    if (status != 0) {
        delete key;
        delete value;
    }
    return status;
}

// A heap reference that owns a copy of text: the reference's own private
// terminated copy (freed by its destructor) becomes the text it refers to,
// so the permission map's method names outlive the worker buffer.
YavStringRef* newOwnedRef(const YavStringRef& text) {
    int length = text.getLength();
    YavStringRef* ref = new (std::nothrow) YavStringRef(text.getData(), length);
    if (ref == nullptr) return nullptr;
    if (length == 0) {
        ref->clear();
        return ref;
    }
    const char* copy = ref->getTerminated();
    if (copy == nullptr || copy == text.getData()) {
        delete ref;
        return nullptr;
    }
    ref->setTerminated(copy, length);
    return ref;
}

// A new action-group list parsed from text; its status in *status.
YavActionGroupList* newActionGroupList(const YavStringRef& text, yav_status_t* status) {
    YavActionGroupList* list = new (std::nothrow) YavActionGroupList();
    if (list == nullptr) {
        *status = YAV_S_NO_MEMORY;
        return nullptr;
    }
    *status = list->initialize(text);
    if (*status != 0) {
        delete list;
        return nullptr;
    }
    return list;
}

}  // namespace

YavConfigAnswerUnmarshaller::YavConfigAnswerUnmarshaller() : m_iterator(nullptr) {}

void YavConfigAnswerUnmarshaller::deleteMe() { m_allocator.destroy(this); }

yav_status_t YavConfigAnswerUnmarshaller::marshal(YavSharedMemAllocator& /*a*/) {
    return YAV_S_NOT_SUPPORTED;
}

yav_status_t YavConfigAnswerUnmarshaller::nextCommand(bool* found) {
    *found = false;
    m_data.clear();
    if (m_iterator == nullptr || !m_iterator->hasMoreElements()) return 0;
    unsigned len = 0;
    void* data = nullptr;
    yav_status_t status = m_iterator->getNextElement(&len, &data);
    if (status != 0) return status;
    if (len > INT_MAX) return YAV_S_UNMARSHAL_FAILED;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    int used = m_configID.unmarshal(bytes, static_cast<int>(len));
    if (used < 0) return YAV_S_UNMARSHAL_FAILED;
    m_data.refer(bytes + used, static_cast<int>(len) - used);
    *found = true;
    return 0;
}

bool YavConfigAnswerUnmarshaller::next() {
    bool found = false;
    return nextCommand(&found) == 0 && found;
}

yav_status_t YavConfigAnswerUnmarshaller::getConfigData(YavProxyIFMsgData* p) {
    return p->unmarshal(m_data.getData(), m_data.getLen()) < 0 ? YAV_S_UNMARSHAL_FAILED : 0;
}

yav_status_t YavConfigAnswerUnmarshaller::getMoreData(YavProxyIFMsgData* p) {
    m_data.clear();
    if (m_iterator == nullptr || !m_iterator->hasMoreElements()) return YAV_S_NO_MEMORY;
    unsigned len = 0;
    void* data = nullptr;
    yav_status_t status = m_iterator->getNextElement(&len, &data);
    if (status != 0) return status;
    if (len > INT_MAX) return YAV_S_UNMARSHAL_FAILED;
    m_data.refer(data, static_cast<int>(len));
    return getConfigData(p);
}

yav_status_t YavConfigAnswerUnmarshaller::unmarshal(YavSharedMemIterator& iter, void* context) {
    if (context == nullptr) return YAV_S_INVALID_PARAMETER;
    YavConfigAnswerContext* ctx = static_cast<YavConfigAnswerContext*>(context);
    m_iterator = &iter;

    // Element 1: the command count.
    yav_status_t status = YAV_S_UNMARSHAL_FAILED;
    if (iter.hasMoreElements()) {
        unsigned len = 0;
        void* data = nullptr;
        status = iter.getNextElement(&len, &data);
        if (status == 0 && (len > INT_MAX || m_numCmds.unmarshal(static_cast<unsigned char*>(data),
                                                                 static_cast<int>(len)) < 0)) {
            status = YAV_S_UNMARSHAL_FAILED;
        }
    }
    if (status != 0) {
        logStatus(ctx->log, __LINE__, status);
        return status;
    }

    // Declared before the commands so that both locks are released on every
    // way out of this function.
    YavTableLock<int> postURILock;
    YavTableLock<unsigned int> flagLock;
    for (;;) {
        bool found = false;
        status = nextCommand(&found);
        if (status != 0 || !found) break;
        int id = m_configID.get();
        switch (id) {
            case YavConfigQuestion::yav_config_post_uris:
            case YavConfigQuestion::yav_config_flags: {
                YavProxyIFMsgNameInt pair;
                status = getConfigData(&pair);
                if (status != 0) break;
                if (id == YavConfigQuestion::yav_config_post_uris) {
                    if (ctx->postURIs == nullptr) return refuseCommand(ctx->log, __LINE__, id);
                    status =
                        addTableEntry(ctx->postURIs, ctx->postURITableSize, &postURILock, pair);
                } else {
                    if (ctx->configFlags == nullptr) return refuseCommand(ctx->log, __LINE__, id);
                    status =
                        addTableEntry(ctx->configFlags, ctx->configFlagTableSize, &flagLock, pair);
                }
                break;
            }
            case YavConfigQuestion::yav_config_urc: {
                YavProxyIFMsgInt enabled;
                status = getConfigData(&enabled);
                if (status != 0) break;
                ctx->cacheEnabled = enabled.get() != 0;
                if (!ctx->cacheEnabled) {
                    ctx->cachePollInterval = -1;
                    break;
                }
                YavProxyIFMsgInt interval;
                status = getMoreData(&interval);
                if (status == 0) ctx->cachePollInterval = interval.get();
                break;
            }
            case YavConfigQuestion::yav_config_virtual_hosts:
                if (ctx->vhosts == nullptr) return refuseCommand(ctx->log, __LINE__, id);
                status = getVHostListData(ctx->vhosts);
                break;
            default:
                return refuseCommand(ctx->log, __LINE__, id);
        }
        if (status != 0) break;
    }
    if (status != 0) logStatus(ctx->log, __LINE__, status);
    return status;
}

yav_status_t YavConfigAnswerUnmarshaller::getVHostListData(YavPluginVirtualHostList* vHostList) {
    YAV_ASSERT(vHostList);
    YavProxyIFMsgInt count;
    yav_status_t status = getConfigData(&count);
    if (status != 0) return status;
    // The server is trusted for a count of at least 0; a negative one is
    // refused before the list is touched.
    int nEntries = count.get();
    if (nEntries < 0) return YAV_S_UNMARSHAL_FAILED;

    status = vHostList->writeLock();
    if (status != 0) return status;
    vHostList->delEntries();
    for (int i = 0; i < nEntries && status == 0; ++i) status = getVHostData(vHostList);
    yav_status_t unlockStatus = vHostList->unlock();
    return status != 0 ? status : unlockStatus;
}

yav_status_t YavConfigAnswerUnmarshaller::getVHostData(YavPluginVirtualHostList* vHostList) {
    YavPluginVirtualHost* host = new (std::nothrow) YavPluginVirtualHost();
    if (host == nullptr) return YAV_S_NO_MEMORY;
    YavProxyIFMsgString id;
    YavProxyIFMsgString branch;
    YavProxyIFMsgInt flags;
    yav_status_t status = getMoreData(&id);
    if (status == 0) status = host->setID(id.get());
    if (status == 0) status = getMoreData(&branch);
    if (status == 0) status = host->setBranch(branch.get());
    if (status == 0) status = getMoreData(&flags);
    if (status == 0) host->setFlags(static_cast<uint32_t>(flags.get()));
    if (status == 0) status = getVHostPermMapData(host);
    if (status == 0) status = vHostList->append(host);
    if (status != 0) delete host;
    return status;
}

yav_status_t YavConfigAnswerUnmarshaller::getVHostPermMapData(YavPluginVirtualHost* host) {
    YavPermMap* map = new (std::nothrow) YavPermMap();
    if (map == nullptr) return YAV_S_NO_MEMORY;
    yav_status_t status = map->initialize();

    YavProxyIFMsgInt size;
    if (status == 0) status = getMoreData(&size);
    // The server is trusted for a size of at least 1 (the default pair);
    // anything else is refused.
    int mapSize = size.get();
    if (status == 0 && mapSize <= 0) status = YAV_S_UNMARSHAL_FAILED;

    YavProxyIFMsgNameValue pair;
    if (status == 0) status = getMoreData(&pair);
    if (status == 0 &&
        !pair.getName().equals(YavStringRef(kDefaultPermsName, sizeof(kDefaultPermsName) - 1))) {
        status = YAV_S_UNMARSHAL_FAILED;
    }
    if (status == 0) {
        YavActionGroupList* perms = newActionGroupList(pair.getValue(), &status);
        if (status == 0) status = map->setDefaultPerms(perms);
    }

    for (int i = 1; i < mapSize && status == 0; ++i) {
        status = getMoreData(&pair);
        if (status != 0) break;
        YavActionGroupList* perms = newActionGroupList(pair.getValue(), &status);
        if (status != 0) break;
        YavStringRef* method = newOwnedRef(pair.getName());
        if (method == nullptr) {
            delete perms;
            status = YAV_S_NO_MEMORY;
            break;
        }
        status = map->setPerms(method, perms);
        if (status != 0) {
            delete method;
            delete perms;
        }
    }

    if (status == 0) return host->setPermMap(map);
    map->shutdown();
    delete map;
    return status;
}
