// YavUnprotResourceCacheClient: the request-time side of the
// unprotected-resource cache.  For a request it finds the virtual host,
// builds the object name from the host's branch and the normalised URI,
// finds the nearest listed ancestor of that name in the cache's branch
// database and compares what that entry grants with what the request's
// method needs on the host.  It also keeps the cache current: a poll timer
// started at each refresh, and version exchanges with the authorization
// server (YavURCVersionQuestion / YavURCVersionAnswerUnmarshaller).
//
// Any doubt (cache disabled, unknown host, missing branch, no permissions
// for the method, an error) gives yav_urc_decision_protected: the request
// is then sent to the authorization server as usual.
//
// Memory: the client owns its cache (a member).  The virtual-host list, the
// log and the dispatcher are the caller's and must outlive the client; the
// log may be null (nothing is then logged).
//
// Threads and locks: every public method may be called from any thread.
// m_lock (the client lock) guards m_enabled, m_pollInterval and m_lastPoll
// and is never held together with another lock.  The virtual-host list's
// read lock is held across one decision; the cache's read lock is taken
// inside it, once, from the size check of the host's branch to the end of
// the walk (order: virtual-host list, then cache).  The clock is set before the
// client is shared between threads.  Not copyable.
#ifndef YAV_URC_PLUGIN_YAVUNPROTRESOURCECACHECLIENT_H
#define YAV_URC_PLUGIN_YAVUNPROTRESOURCECACHECLIENT_H

#include <pthread.h>
#include <time.h>

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "core/trace/YavLog.h"
#include "plugin/core/YavActionGroupList.h"
#include "plugin/core/YavPluginVirtualHost.h"
#include "plugin/core/YavPluginVirtualHostList.h"
#include "plugin/core/YavRequest.h"
#include "proxyif/framework/YavProxyIFDispatcher.h"
#include "urc/plugin/YavEpochVersion.h"
#include "urc/plugin/YavUnprotResourceCache.h"

class YAV_EXPORT YavUnprotResourceCacheClient {
  public:
    // The outcome of a look-up.
    enum YavURCDecision {
        yav_urc_decision_unprotected = 0,  // no authorization needed
        yav_urc_decision_protected = 1,    // ask the authorization server
    };

    // The source of the current time in seconds since the epoch; a negative
    // value means the time is unknown.  arg is the value given to setClock.
    typedef time_t (*Clock)(void* arg);

    // Disabled, poll interval -1, never polled; the clock is the process's
    // cached clock (YavTime::process()).  A null dispatcher makes every
    // exchange fail with YAV_S_NOT_AVAILABLE.
    // The cache's look-up indexes come from indexAllocator (null = process
    // heap; tests and benchmarks give one that refuses, to take the cache's
    // path through its tables).
    // REQUIRES: vhosts not null (asserted).
    YavUnprotResourceCacheClient(YavPluginVirtualHostList* vhosts, YavLog* logger,
                                 YavProxyIFDispatcher* dispatcher,
                                 YavAllocator* indexAllocator = nullptr);
    // shutdown().
    ~YavUnprotResourceCacheClient();
    YAV_DISALLOW_COPY(YavUnprotResourceCacheClient);

    // Replaces the clock (tests inject one so that no test has to wait).
    // REQUIRES: clock not null; no other thread uses the client yet.
    void setClock(Clock clock, void* arg);

    // setConfigParams(enabled, pollInterval), then the first fetch
    // (updateCache(null)).  When the fetch fails the client is shut down and
    // the fetch's status returned.
    yav_status_t initialize(bool enabled, long pollInterval);
    // setConfigParams(false, -1).  Returns its status.
    yav_status_t shutdown();
    // Under the client write lock: stores both values and forgets the last
    // poll (the next look-up of an enabled client polls first).
    yav_status_t setConfigParams(bool enabled, long pollInterval);

    // The decision for request into *decision: yav_urc_decision_unprotected
    // only when the nearest listed ancestor of the request's object grants
    // every action its method needs.  0, or the first failure (of a
    // refresh, of the request's views -- YAV_S_NOT_AVAILABLE without a
    // server view -- or of the object name); on failure *decision is
    // yav_urc_decision_protected.  A path with a "." or ".." segment is
    // never decided here (protected, status 0): its ancestors are not the
    // object the web server will serve.
    // REQUIRES: decision not null (asserted).
    yav_status_t lookupCache(YavRequest& request, YavURCDecision* decision);

    // Brings the cache up to date: with a null version, fetches whatever is
    // current; otherwise only when the cache is not at *version already.
    // Nothing happens while disabled.  0 or the failure of the exchange:
    // the dispatcher's status, YAV_S_NOT_AVAILABLE when the dispatcher asks
    // for a retry (or there is none), YAV_S_NO_MEMORY when no answer came.
    // An error answer is logged and gives 0; when it carries
    // YAV_S_NO_MEMORY (the server had no shared memory for the database)
    // the cache is disabled until setConfigParams enables it again.
    yav_status_t updateCache(const YavEpochVersion* version);

    // The cache (tests and the plug-in core read its version).
    YavUnprotResourceCache& getCache() { return m_cache; }
    bool isEnabled();
    long getPollInterval();
    time_t getLastPoll();

    // The object name of request on host into name: the host's branch
    // followed by the normalised URI path, one trailing "/" removed.
    // 0 or the failure of the normalisation (YAV_S_ACCESS_DENIED,
    // YAV_S_NO_MEMORY); YAV_S_NOT_AVAILABLE when that leaves no name at
    // all (no branch and no path).
    static yav_status_t buildObjectName(YavRequest& request, const YavPluginVirtualHost& host,
                                        YavString& name);
    // decision 0 when granted covers required, else 1.  Returns 0.
    // REQUIRES: all arguments not null (asserted).
    static yav_status_t evalPermSet(const YavActionGroupList* granted,
                                    const YavActionGroupList* required, YavURCDecision* decision);

  private:
    // True when a poll is due.  REQUIRES: the client lock held.
    bool checkPollTimer();
    // Last poll = now.  REQUIRES: the client write lock held.
    void resetPollTimer();
    // One version exchange with the authorization server.
    yav_status_t retrieveCache();
    // Walks name and its ancestors in host's branch database; the first
    // listed one decides.  name is shortened on the way.
    // REQUIRES: the virtual-host list's read lock and the cache's read lock
    // held (in that order).
    yav_status_t doCacheLookup(YavString& name, const YavStringRef& method,
                               const YavPluginVirtualHost& host, YavURCDecision* decision);

    yav_status_t urcClientRLock();
    yav_status_t urcClientWLock();
    yav_status_t urcClientUnlock();

    // Logs the local-code-page text of code as an error, when there is a log.
    void logError(yav_status_t code);

    pthread_rwlock_t m_lock = PTHREAD_RWLOCK_INITIALIZER;
    bool m_enabled = false;              // guarded by m_lock
    long m_pollInterval = -1;            // guarded by m_lock; seconds
    time_t m_lastPoll = -1;              // guarded by m_lock; -1: never
    YavPluginVirtualHostList* m_vhosts;  // not owned
    YavLog* m_logger;                    // not owned; may be null
    YavProxyIFDispatcher* m_dispatcher;  // not owned
    YavUnprotResourceCache m_cache;
    Clock m_clock;
    void* m_clockArg = nullptr;
};

#endif  // YAV_URC_PLUGIN_YAVUNPROTRESOURCECACHECLIENT_H
