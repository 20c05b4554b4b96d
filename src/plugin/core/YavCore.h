// YavCore: the one object through which a web-server module drives the
// plug-in.  The module makes one YavCore per server process, calls
// initialize once, then handleReq for every request and handleRsp for every
// response the authorization server wants to see, and finally shutdown and
// the destructor.
//
// For a request the core decides, in this order: is the request's virtual
// host unprotected as a whole (the request goes through untouched); can the
// unprotected-resource cache decide it locally; otherwise the request is sent
// to the authorization server, whose answer's commands change the request and
// response views while the answer is read.  When the server cannot be
// reached, or answers with an error, the response gets status 503 and the
// result yav_send_default_rsp_to_client; such failures never reach the module
// as a status.
//
// Configuration.  The constructor reads the virtual hosts of the local stanza
// file "tessaro.conf" (stanza "krweb-plugins": entries
// "unprotected-virtual-host" and "virtual-host" name hosts; a stanza per host
// may hold "case-sensitive", "windows-file-system", "protocols" and "id"),
// so unprotected hosts pass even before initialize.  initialize fetches four
// pieces of configuration from the authorization server (minimum POST sizes,
// flag words, virtual hosts with their permission maps, cache settings); the
// server's hosts replace the list.  Whenever the server asks for a retry (or
// the cache reports that its data is gone) the configuration is fetched again
// and the local hosts are appended behind the server's; a local host that is
// already in the list unchanged (same ID and flags, no branch) is not
// appended twice, so a refresh whose host question fails does not grow the
// list.
//
// Retries are bounded.  Each of the three retry loops (the cache step and the
// server step of handleReq, and handleRsp) refreshes the configuration at
// most kMaxRetries times for one request.  When the cache still cannot decide
// the request goes to the authorization server as a protected one; when the
// server still asks for a retry the request is answered as for an unreachable
// server (503, yav_send_default_rsp_to_client, one log line through the
// transaction), so a web-server thread never spins on a server that keeps
// asking.
//
// Memory: the core owns its dispatcher, both configuration tables, the
// virtual-host list and the cache client.  The log given to initialize
// belongs to the module and must outlive the core (the authorization-server
// interface's trace channel keeps writing through it until destruction).  Transactions and their
// views belong to the module.  While constructed, the core holds a reference
// on the class allocators of the three answer readers (web transaction,
// configuration and cache version answers).
//
// Threads: handleReq, handleRsp, getMinPostData, getConfigFlags and
// postProcess may run on any number of web-server threads at once.  The
// virtual-host list, each of the two tables and the cache client are guarded
// by their own read-write locks; a configuration refresh on one thread runs
// under those locks while other threads handle requests.  Construction,
// initialize, shutdown and destruction are called by the module while no
// request is in progress.  Not copyable; not meant to be derived from.
#ifndef YAV_PLUGIN_CORE_YAVCORE_H
#define YAV_PLUGIN_CORE_YAVCORE_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "core/trace/YavLog.h"
#include "msg/plugin/YavConfigAnswerContext.h"
#include "msg/plugin/YavConfigQuestion.h"
#include "plugin/core/YavPluginVirtualHostList.h"
#include "plugin/core/YavTransaction.h"
#include "proxyif/framework/YavProxyIFDispatcher.h"

class YavUnprotResourceCacheClient;
class YavProxyIFMessage;

class YAV_EXPORT YavCore {
  public:
    // Configuration refreshes one request may cause in each retry loop.
    static constexpr int kMaxRetries = 5;
    // Name of the local stanza file in the configuration directory.
    static const char kConfigFileName[];

    // Starts the message catalogs (yavmsg_init(programName, 0)) and the
    // trace registry, takes the answer readers' allocator references and
    // reads the local virtual hosts from "tessaro.conf" in configDir (null:
    // the installed configuration directory, yav_get_path(YAV_CFG_DIR)).
    // A file that cannot be read leaves the list as far as it was filled;
    // construction itself cannot fail (a failed allocator reference is
    // taken again by initialize).
    // programName: the path of the running program (its base name becomes
    // the serviceability program name); may be null.
    explicit YavCore(const char* programName, const char* configDir = nullptr);
    // Deletes the cache client and shuts the dispatcher down (as shutdown
    // would, when the module has not called it), releases the allocator
    // references and the trace registry, and destroys the list and the
    // tables.  REQUIRES: no request in progress.
    virtual ~YavCore();
    YAV_DISALLOW_COPY(YavCore);

    // Attaches to the authorization server named by serverId (its key file,
    // passed to YavProxyIFDispatcher::initialize), registers the answer
    // factories, fetches the POST sizes, the flags, the virtual hosts and
    // the cache settings, and creates the cache client.  0;
    // YAV_S_ALREADY_INITIALIZED when already initialized (nothing changes);
    // otherwise the first failure, with the core left as constructed
    // (dispatcher shut down, POST table empty, no cache client).  Error
    // answers of the server to a configuration question are logged through
    // log and do not fail initialize.  log may be null (nothing is logged).
    // REQUIRES: no request in progress.
    yav_status_t initialize(const char* serverId, YavLog* log);
    // Deletes the cache client, shuts the dispatcher down and empties the
    // POST table (flags and virtual hosts stay).  Returns 0.  initialize may
    // be called again afterwards.  REQUIRES: no request in progress.
    yav_status_t shutdown();
    bool isInitialized() const { return m_initialized; }

    // Decides one request; the outcome is the transaction's result plus what
    // the answer's commands did to the views.  0 (also when the server could
    // not be reached: see above); YAV_S_NOT_INITIALIZED for a protected
    // request before initialize; the status of the module's
    // YavTransaction::prepareForRetry when that fails.
    // REQUIRES: trans has its request and response views (asserted).
    yav_status_t handleReq(YavTransaction* trans);
    // Sends the response of trans to the authorization server and applies
    // its answer.  The first failing status of the views that describe the
    // response (raw response, virtual-host ID, security); otherwise 0.
    // REQUIRES: as handleReq.
    yav_status_t handleRsp(YavTransaction* trans);
    // Always YAV_S_NOT_SUPPORTED.
    yav_status_t postProcess(YavTransaction* trans);

    // The minimum POST size stored under "<first>:<second>": 0 with
    // *minPostData set, or YAV_S_NOT_AVAILABLE (*minPostData untouched);
    // YAV_S_NO_MEMORY when the key cannot be built.
    // REQUIRES: minPostData not null.
    yav_status_t getMinPostData(const YavStringRef& first, const YavStringRef& second,
                                int* minPostData);
    // The flag word stored under name; 0 for a name the server did not send.
    unsigned int getConfigFlags(const YavStringRef& name);

    // The virtual hosts; hold the list's read lock while reading them.
    YavPluginVirtualHostList& getVirtualHosts() { return m_vhosts; }
    // The road to the authorization server (for modules that send their
    // own questions).
    YavProxyIFDispatcher& getDispatcher() { return m_dispatcher; }

  private:
    friend class YavCoreTestPeer;

    // Takes each answer reader's allocator reference not held yet.  0 or the
    // first failure.
    yav_status_t acquireAllocators();
    // Leaves the core as constructed after a failed initialize.
    void unwindInitialize();

    // The four configuration questions; each stores what the answer carries
    // through a YavConfigAnswerContext.
    yav_status_t retrievePostURIs();
    yav_status_t retrieveConfigFlags();
    yav_status_t retrieveVirtualHostInfo();
    yav_status_t retrieveURCConfig();
    // Asks question type with context; see the definition for the results.
    yav_status_t retrieveConfig(YavConfigQuestion::yav_config_req_msg_type_e type,
                                YavConfigAnswerContext* context);

    // Appends the local virtual hosts of the stanza file.  0 or the file's
    // status.
    yav_status_t loadVHosts();
    // Refreshes the whole configuration; returns loadVHosts' status.
    yav_status_t prepareForRetry();

    // Turns the outcome of a dispatch into the transaction's result; releases
    // answer.
    yav_status_t handleWebDispatch(YavTransaction* trans, YavProxyIFMessage* answer,
                                   int dispatchStatus);
    // Status 503 and yav_send_default_rsp_to_client.
    void sendUnavailable(YavTransaction* trans);
    // Looks the request's virtual host up; true when it is unprotected.
    bool isUnprotectedHost(YavTransaction* trans);
    // The cache step of handleReq: true when the cache decided that the
    // request needs no authorization.
    bool cacheSaysUnprotected(YavTransaction* trans);

    YavLog* m_log;
    YavProxyIFDispatcher m_dispatcher;
    YavPostURITable m_postURIs;
    YavConfigFlagTable m_configFlags;
    YavPluginVirtualHostList m_vhosts;
    YavUnprotResourceCacheClient* m_urcClient;
    bool m_initialized;
    // True from the start of initialize to shutdown (the "already
    // initialized" mark, also when the log given is null).
    bool m_started;
    // Which of the three reader allocators this core holds a reference on.
    bool m_allocatorHeld[3];
    // The configuration directory (owned, terminated); null when it could
    // not be copied.
    char* m_configDir;
};

#endif  // YAV_PLUGIN_CORE_YAVCORE_H
