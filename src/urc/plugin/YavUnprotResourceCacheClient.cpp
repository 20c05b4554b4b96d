#include "urc/plugin/YavUnprotResourceCacheClient.h"

#include <cstring>

#include "core/http/YavHTTP.h"
#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"
#include "core/threads/YavTime.h"
#include "core/threads/yavthread.h"
#include "msg/plugin/YavURCVersionAnswerData.h"
#include "msg/plugin/YavURCVersionQuestion.h"
#include "plugin/core/YavPluginVirtualHostKey.h"
#include "proxyif/framework/YavErrorMessage.h"
#include "urc/plugin/YavURCPrefixHashes.h"
#include "urc/plugin/yav_obj_get_parent.h"

namespace {

const char kLogComponent[] = "Tessaro";

// The process's cached clock: asked on every look-up, so it must not enter
// the kernel.
time_t processClock(void*) { return YavTime::process().time(); }

}  // namespace

YavUnprotResourceCacheClient::YavUnprotResourceCacheClient(YavPluginVirtualHostList* vhosts,
                                                           YavLog* logger,
                                                           YavProxyIFDispatcher* dispatcher,
                                                           YavAllocator* indexAllocator)
    : m_vhosts(vhosts),
      m_logger(logger),
      m_dispatcher(dispatcher),
      m_cache(indexAllocator),
      m_clock(&processClock) {
    YAV_ASSERT(vhosts != nullptr);
}

YavUnprotResourceCacheClient::~YavUnprotResourceCacheClient() {
    shutdown();
    pthread_rwlock_destroy(&m_lock);
}

void YavUnprotResourceCacheClient::setClock(Clock clock, void* arg) {
    YAV_ASSERT(clock != nullptr);
    m_clock = clock;
    m_clockArg = arg;
}

yav_status_t YavUnprotResourceCacheClient::initialize(bool enabled, long pollInterval) {
    yav_status_t status = setConfigParams(enabled, pollInterval);
    if (status != 0) return status;
    status = updateCache(nullptr);
    if (status != 0) {
        shutdown();
        return status;
    }
    return 0;
}

yav_status_t YavUnprotResourceCacheClient::shutdown() { return setConfigParams(false, -1); }

yav_status_t YavUnprotResourceCacheClient::setConfigParams(bool enabled, long pollInterval) {
    yav_status_t status = urcClientWLock();
    if (status != 0) return status;
    m_enabled = enabled;
    m_pollInterval = pollInterval;
    m_lastPoll = -1;
    return urcClientUnlock();
}

bool YavUnprotResourceCacheClient::isEnabled() {
    urcClientRLock();
    bool enabled = m_enabled;
    urcClientUnlock();
    return enabled;
}

long YavUnprotResourceCacheClient::getPollInterval() {
    urcClientRLock();
    long interval = m_pollInterval;
    urcClientUnlock();
    return interval;
}

time_t YavUnprotResourceCacheClient::getLastPoll() {
    urcClientRLock();
    time_t lastPoll = m_lastPoll;
    urcClientUnlock();
    return lastPoll;
}

namespace {

// True when a "/"-separated segment of name is "." or "..".
bool hasDotSegment(const YavString& name) {
    const char* p = name.getData();
    const char* end = p + name.getLength();
    while (p < end) {
        const char* slash = static_cast<const char*>(memchr(p, '/', end - p));
        const char* segEnd = slash != nullptr ? slash : end;
        const long n = segEnd - p;
        if ((n == 1 && p[0] == '.') || (n == 2 && p[0] == '.' && p[1] == '.')) return true;
        p = segEnd + 1;
    }
    return false;
}

}  // namespace

yav_status_t YavUnprotResourceCacheClient::lookupCache(YavRequest& request,
                                                       YavURCDecision* decision) {
    YAV_ASSERT(decision != nullptr);
    *decision = yav_urc_decision_protected;

    yav_status_t status = urcClientRLock();
    if (status != 0) return status;
    if (!m_enabled) return urcClientUnlock();
    if (checkPollTimer()) {
        status = urcClientUnlock();
        if (status != 0) return status;
        status = updateCache(nullptr);
        if (status != 0) return status;
        status = urcClientRLock();
        if (status != 0) return status;
        // The exchange may have disabled the cache (the server could not
        // send it).
        if (!m_enabled) return urcClientUnlock();
    }
    status = urcClientUnlock();
    if (status != 0) return status;

    int security = 0;
    status = request.getSecurity(&security);
    if (status != 0) return status;
    YavServer* server = request.getServer();
    if (server == nullptr) return YAV_S_NOT_AVAILABLE;
    YavStringRef vhostID;
    status = server->getVHostID(&vhostID);
    if (status != 0) return status;
    YavPluginVirtualHostKey key;
    status = key.initialize(vhostID, security > 0);
    if (status != 0) return status;

    // The host's branch and permission map must not change while the
    // decision is made: the list's read lock is held up to the end.
    status = m_vhosts->readLock();
    if (status != 0) return status;
    const YavPluginVirtualHost* host = m_vhosts->findValue(key);
    if (host == nullptr) return m_vhosts->unlock();

    // One cache read lock covers the size check and the walk: the database
    // cannot be swapped between them, and the lock is paid for once.
    status = m_cache.readLock();
    if (status != 0) {
        m_vhosts->unlock();
        return status;
    }
    int entries = m_cache.size(&host->getBranch());
    if (entries < 1) {
        // An empty branch database decides nothing; a missing one means the
        // server's data did not reach us, which is worth a line in the log.
        status = m_cache.unlock();
        m_vhosts->unlock();
        if (status == 0 && entries < 0) logError(YAV_S_URC_NO_DATABASE);
        return status;
    }

    // Names up to 255 bytes stay in the string's inline buffer.
    YavString name;
    status = buildObjectName(request, *host, name);
    if (status == 0 && hasDotSegment(name)) {
        // The path is not normalised: "/pub/../admin" would be decided by
        // the open "/pub" while the web server serves "/admin".  Such a
        // request is left to the authorization server.
        *decision = yav_urc_decision_protected;
    } else if (status == 0) {
        YavStringRef method;
        status = request.getMethod(&method);
        if (status == 0) status = doCacheLookup(name, method, *host, decision);
    }
    yav_status_t cacheUnlockStatus = m_cache.unlock();
    yav_status_t unlockStatus = m_vhosts->unlock();
    if (status != 0) {
        *decision = yav_urc_decision_protected;
        return status;
    }
    if (cacheUnlockStatus != 0) {
        *decision = yav_urc_decision_protected;
        return cacheUnlockStatus;
    }
    return unlockStatus;
}

yav_status_t YavUnprotResourceCacheClient::buildObjectName(YavRequest& request,
                                                           const YavPluginVirtualHost& host,
                                                           YavString& name) {
    if (!name.set(host.getBranch())) return YAV_S_NO_MEMORY;
    // A request without a URI is a request for the branch itself.
    YavStringRef uri;
    if (request.getURI(&uri) != 0) uri = YavStringRef();
    yav_status_t status =
        YavHTTP::processURI(!host.isCaseInsensitive(), host.isWin32Filesystem(), uri, name);
    if (status != 0) return status;
    int length = name.getLength();
    // "/" alone is the root and keeps its separator.
    if (length > 1 && name.getData()[length - 1] == '/') name.setLength(length - 1);
    // A host without a branch and a request without a path name nothing;
    // such a request is left to the authorization server.
    if (name.isEmpty()) return YAV_S_NOT_AVAILABLE;
    return 0;
}

yav_status_t YavUnprotResourceCacheClient::doCacheLookup(YavString& name,
                                                         const YavStringRef& method,
                                                         const YavPluginVirtualHost& host,
                                                         YavURCDecision* decision) {
    *decision = yav_urc_decision_protected;
    void* context = nullptr;
    yav_status_t status = m_cache.lookupStart(&host.getBranch(), &context);
    if (status != 0) return status;
    // Every ancestor is a prefix of name: their hashes come from one pass.
    const YavURCPrefixHashes hashes(name);
    // The nearest listed ancestor decides, whichever way: a listed object
    // below an open directory can close it again, and the reverse.
    const YavUnprotResourceCacheBranchDBEntry* entry = nullptr;
    for (;;) {
        status = m_cache.lookupDB(context, &name, hashes.hashOf(name), &entry);
        if (status != 0) return status;
        if (entry != nullptr) break;
        if (!yav_obj_get_parent(name)) return 0;
    }
    if (entry->getPermType() == yav_urc_perm_type_all) {
        *decision = yav_urc_decision_unprotected;
        return 0;
    }
    // A host without a permission map cannot say what the method needs.
    const YavPermMap* permMap = host.getPermMap();
    const YavActionGroupList* required = permMap != nullptr ? permMap->getPerms(method) : nullptr;
    if (required != nullptr) {
        status = evalPermSet(entry->getPerms(), required, decision);
        if (status != 0) {
            *decision = yav_urc_decision_protected;
            return status;
        }
    }
    return 0;
}

yav_status_t YavUnprotResourceCacheClient::evalPermSet(const YavActionGroupList* granted,
                                                       const YavActionGroupList* required,
                                                       YavURCDecision* decision) {
    YAV_ASSERT(granted != nullptr && required != nullptr && decision != nullptr);
    *decision = granted->resolveActionGroupList(*required) ? yav_urc_decision_unprotected
                                                           : yav_urc_decision_protected;
    return 0;
}

bool YavUnprotResourceCacheClient::checkPollTimer() {
    time_t now = m_clock(m_clockArg);
    if (now < 0 || m_lastPoll < 0) return true;
    // Due when last poll + interval is earlier than now; written as a
    // difference so that a huge interval cannot overflow.
    return static_cast<long>(now - m_lastPoll) > m_pollInterval;
}

void YavUnprotResourceCacheClient::resetPollTimer() {
    time_t now = m_clock(m_clockArg);
    if (now >= 0) m_lastPoll = now;
}

yav_status_t YavUnprotResourceCacheClient::updateCache(const YavEpochVersion* version) {
    yav_status_t status = urcClientWLock();
    if (status != 0) return status;
    if (!m_enabled) return urcClientUnlock();
    resetPollTimer();
    status = urcClientUnlock();
    if (status != 0) return status;

    if (version != nullptr) {
        status = m_cache.readLock();
        if (status != 0) return status;
        bool current = m_cache.getVersion().equals(*version);
        status = m_cache.unlock();
        if (status != 0) return status;
        if (current) return 0;
    }
    return retrieveCache();
}

yav_status_t YavUnprotResourceCacheClient::retrieveCache() {
    if (m_dispatcher == nullptr) return YAV_S_NOT_AVAILABLE;
    YavURCVersionQuestion question;
    yav_status_t status = m_cache.readLock();
    if (status != 0) return status;
    question.setVersion(&m_cache.getVersion());
    status = m_cache.unlock();
    if (status != 0) return status;

    // The answer's reader installs the new database while it reads.
    YavURCVersionAnswerData data = {&m_cache, m_logger};
    YavProxyIFMessage* answer = nullptr;
    bool retry = false;
    status = m_dispatcher->dispatch(question, &answer, &data, &retry);
    if (status != 0 || retry || answer == nullptr) {
        if (answer != nullptr) answer->deleteMe();
        if (status != 0) return status;
        return retry ? YAV_S_NOT_AVAILABLE : YAV_S_NO_MEMORY;
    }

    switch (answer->getType()) {
        case yav_msg_urc_version_answer:
            break;
        case yav_msg_error: {
            yav_status_t code = static_cast<YavErrorMessage*>(answer)->getCode();
            logError(code);
            // The server could not find shared memory for the database: it
            // will not be able to send it next time either, so the cache
            // stays off until the configuration is refreshed.
            if (code == YAV_S_NO_MEMORY) {
                logError(YAV_S_URC_NO_SHMEM);
                setConfigParams(false, -1);
            }
            break;
        }
        default:
            if (m_logger != nullptr) {
                m_logger->logLCP(yav_log_error, __FILE__, __LINE__, kLogComponent,
                                 YAV_S_UNKNOWN_MESSAGE_TYPE, answer->getType());
            }
            break;
    }
    answer->deleteMe();
    return 0;
}

void YavUnprotResourceCacheClient::logError(yav_status_t code) {
    if (m_logger != nullptr)
        m_logger->logLCP(yav_log_error, __FILE__, __LINE__, kLogComponent, code);
}

yav_status_t YavUnprotResourceCacheClient::urcClientRLock() {
    return static_cast<yav_status_t>(yavthread_rwlock_rdlock(&m_lock));
}

yav_status_t YavUnprotResourceCacheClient::urcClientWLock() {
    return static_cast<yav_status_t>(yavthread_rwlock_wrlock(&m_lock));
}

yav_status_t YavUnprotResourceCacheClient::urcClientUnlock() {
    return static_cast<yav_status_t>(yavthread_rwlock_unlock(&m_lock));
}
