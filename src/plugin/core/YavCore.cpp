#include "plugin/core/YavCore.h"

#include <string.h>

#include <new>

#include "core/buffers/YavStringIterT.h"
#include "core/file/yav_stanza.h"
#include "core/hash/YavComparators.h"
#include "core/list/YavList.h"
#include "core/list/YavSet.h"
#include "core/msg/kr_msg.h"
#include "core/msg/yav_status.h"
#include "core/svc/yavmsg_init.h"
#include "core/system/yav_assert.h"
#include "core/system/yav_paths.h"
#include "core/trace/YavTraceRegistry.h"
#include "core/ulq/ulq.h"
#include "msg/plugin/YavConfigAnswerFactory.h"
#include "msg/plugin/YavConfigAnswerUnmarshaller.h"
#include "msg/plugin/YavURCVersionAnswerFactory.h"
#include "msg/plugin/YavURCVersionAnswerUnmarshaller.h"
#include "msg/plugin/YavWebReqQuestionMarshaller.h"
#include "msg/plugin/YavWebRspQuestion.h"
#include "msg/plugin/YavWebTransAnswerFactory.h"
#include "msg/plugin/YavWebTransAnswerIter.h"
#include "msg/plugin/YavWebTransAnswerUnmarshaller.h"
#include "proxyif/framework/YavErrorMessage.h"
#include "proxyif/framework/YavProxyIFLog.h"
#include "urc/plugin/YavUnprotResourceCacheClient.h"

const char YavCore::kConfigFileName[] = "tessaro.conf";

namespace {

// The component name of the core's start-up log lines.
const char kLogComponent[] = "Tessaro";
// The general stanza of the local file and its entries.
const char kPluginStanza[] = "krweb-plugins";
const char kUnprotectedHostEntry[] = "unprotected-virtual-host";
const char kHostEntry[] = "virtual-host";
// Status code texts written into log lines.
const size_t kStatusTextSize = 256;
// The HTTP status of a request the authorization server could not decide.
const int kServiceUnavailable = 503;

// The three answer readers' class allocators, in the order they are taken.
YavClassAllocator* const kReaderAllocators[3] = {
    &YavWebTransAnswerUnmarshaller::m_allocator,
    &YavConfigAnswerUnmarshaller::m_allocator,
    &YavURCVersionAnswerUnmarshaller::m_allocator,
};

typedef YavSet<YavString> YavNameSet;

// The local-code-page text of code, for log lines.
void statusText(yav_status_t code, char* buffer, size_t size) {
    uint32_t status = 0;
    kr_error_inq_text(code, buffer, size, &status);
    if (status != 0 && size > 0) buffer[0] = '\0';
}

bool equalsIgnoringCase(const char* value, const char* word) {
    return ulq_stricmp(ulq_local_cs(), ulq_current_loc(), value, word) == 0;
}

// Applies a yes/true/no/false value to *setting; other values leave it.
void readBoolean(const char* value, bool* setting) {
    if (value == nullptr) return;
    if (equalsIgnoringCase(value, "yes") || equalsIgnoringCase(value, "true")) {
        *setting = true;
    } else if (equalsIgnoringCase(value, "no") || equalsIgnoringCase(value, "false")) {
        *setting = false;
    }
}

// The value of entry in stanza, or null when either is absent (or the entry
// has no value).  The value lives until the next move on file.
const char* entryValue(yavStanzaFile* file, const char* stanza, const char* entry) {
    if (!yavStzMoveStanza(file, stanza)) return nullptr;
    if (!yavStzMoveEntryInStanza(file, entry)) return nullptr;
    return file->value;
}

bool tokenIs(const YavStringRef& token, const char* word) {
    size_t length = strlen(word);
    return static_cast<size_t>(token.getLength()) == length &&
           yav_icase_strcmp.compare(token.getData(), word, length) == 0;
}

// Sets *http and *https from a comma-separated protocol list.
void readProtocols(const char* value, bool* http, bool* https) {
    YavStringRef list(value);
    YavStringIterT<char, YavUTF8Enc> tokens(list);
    YavStringRef token;
    while (tokens.next(token, ",", yav_iter_skip_spaces)) {
        // Blanks before the next comma are not part of the word.
        int length = token.getLength();
        while (length > 0 &&
               (token.getData()[length - 1] == ' ' || token.getData()[length - 1] == '\t')) {
            --length;
        }
        YavStringRef word(token.getData(), length);
        if (tokenIs(word, "http")) {
            *http = true;
        } else if (tokenIs(word, "https")) {
            *https = true;
        } else if (tokenIs(word, "both")) {
            *http = true;
            *https = true;
        }
    }
}

// Builds the host called name from the general stanza and its own stanza.
// 0 with *host set (the caller owns it), or YAV_S_NO_MEMORY.
yav_status_t readVHost(yavStanzaFile* file, const YavString& name, bool unprotected,
                       YavPluginVirtualHost** host) {
    *host = nullptr;
    bool caseSensitive = true;
    bool windowsFileSystem = false;
    bool http = false;
    bool https = false;
    YavString id;
    if (!id.set(name)) return YAV_S_NO_MEMORY;

    // The host's own stanza overrides the general one.
    const char* stanzas[2] = {kPluginStanza, name.getData()};
    for (const char* stanza : stanzas) {
        readBoolean(entryValue(file, stanza, "case-sensitive"), &caseSensitive);
        readBoolean(entryValue(file, stanza, "windows-file-system"), &windowsFileSystem);
    }
    const char* protocols = entryValue(file, name.getData(), "protocols");
    if (protocols != nullptr) readProtocols(protocols, &http, &https);
    const char* newID = entryValue(file, name.getData(), "id");
    if (newID != nullptr && !id.set(newID)) return YAV_S_NO_MEMORY;

    uint32_t flags = 0;
    if (!caseSensitive) flags |= yav_vhost_case_insensitive;
    if (windowsFileSystem) flags |= yav_vhost_win32_filesystem;
    if (http) flags |= yav_vhost_unsecure;
    if (https) flags |= yav_vhost_secure;
    if (unprotected) flags |= yav_vhost_unprotected;

    YavPluginVirtualHost* made = new (std::nothrow) YavPluginVirtualHost();
    if (made == nullptr) return YAV_S_NO_MEMORY;
    yav_status_t status = made->setID(id);
    if (status != 0) {
        delete made;
        return status;
    }
    made->setFlags(flags);
    *host = made;
    return 0;
}

// Adds a copy of value (the empty text for null) to names.
yav_status_t addName(YavNameSet* names, const char* value) {
    YavString* name = new (std::nothrow) YavString();
    if (name == nullptr) return YAV_S_NO_MEMORY;
    if (!name->set(value != nullptr ? value : "")) {
        delete name;
        return YAV_S_NO_MEMORY;
    }
    yav_status_t status = names->add(name);
    if (status != 0) delete name;
    return status;
}

// True when list holds a host with host's ID and flags and no branch: a
// local host appended by an earlier load.
bool holdsLocalCopy(const YavPluginVirtualHostList& list, const YavPluginVirtualHost& host) {
    for (const YavPluginVirtualHost* present : list) {
        if (present->getFlags() == host.getFlags() && present->getBranch().isEmpty() &&
            present->getID().getLength() == host.getID().getLength() &&
            memcmp(present->getID().getData(), host.getID().getData(),
                   static_cast<size_t>(host.getID().getLength())) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

YavCore::YavCore(const char* programName, const char* configDir)
    : m_log(nullptr),
      m_urcClient(nullptr),
      m_initialized(false),
      m_started(false),
      m_allocatorHeld{false, false, false},
      m_configDir(nullptr) {
    yavmsg_init(programName, 0);
    // A registry that cannot prepare its per-thread data still serves;
    // traces then fall back to their defaults.
    (void)YavTraceRegistry::instance().initialize();
    // A reference that cannot be had now is taken again by initialize.
    (void)acquireAllocators();

    const char* dir = configDir != nullptr ? configDir : yav_get_path(YAV_CFG_DIR);
    size_t length = strlen(dir);
    m_configDir = new (std::nothrow) char[length + 1];
    if (m_configDir != nullptr) memcpy(m_configDir, dir, length + 1);
    // Unreadable local hosts leave the list as far as it was filled.
    (void)loadVHosts();
}

YavCore::~YavCore() {
    // A module that skipped shutdown still gets the client and the
    // dispatcher closed, before the traces they write through are gone.
    delete m_urcClient;
    m_urcClient = nullptr;
    m_dispatcher.shutdown();
    for (int i = 0; i < 3; ++i) {
        if (m_allocatorHeld[i]) kReaderAllocators[i]->release();
        m_allocatorHeld[i] = false;
    }
    // The interface's trace channel keeps a pointer to its registry entry.
    YavProxyIFLog::forget();
    YavTraceRegistry::instance().shutdown();
    m_vhosts.delEntries();
    m_postURIs.delEntries();
    m_configFlags.delEntries();
    delete[] m_configDir;
}

yav_status_t YavCore::acquireAllocators() {
    for (int i = 0; i < 3; ++i) {
        if (m_allocatorHeld[i]) continue;
        yav_status_t status = kReaderAllocators[i]->acquire();
        if (status != 0) return status;
        m_allocatorHeld[i] = true;
    }
    return 0;
}

void YavCore::unwindInitialize() {
    m_postURIs.delEntries();
    m_dispatcher.shutdown();
    delete m_urcClient;
    m_urcClient = nullptr;
    m_log = nullptr;
    m_started = false;
}

yav_status_t YavCore::initialize(const char* serverId, YavLog* log) {
    if (m_started) return YAV_S_ALREADY_INITIALIZED;
    yav_status_t status = acquireAllocators();
    if (status != 0) return status;

    m_log = log;
    m_started = true;
    status = m_dispatcher.initialize(log, serverId);
    if (status != 0) {
        m_log = nullptr;
        m_started = false;
        return status;
    }

    YavProxyIFMsgFactory* factories[3] = {
        new (std::nothrow) YavWebTransAnswerFactory(),
        new (std::nothrow) YavConfigAnswerFactory(),
        new (std::nothrow) YavURCVersionAnswerFactory(),
    };
    for (int i = 0; i < 3; ++i) {
        status = factories[i] == nullptr ? YAV_S_NO_MEMORY
                                         : m_dispatcher.registerProxyMsgFactory(factories[i]);
        if (status != 0) {
            // The registered ones belong to the dispatcher, which deletes
            // them when it shuts down; the rest are still ours.
            for (int j = i; j < 3; ++j) delete factories[j];
            m_dispatcher.shutdown();
            m_log = nullptr;
            m_started = false;
            return status;
        }
    }

    status = retrievePostURIs();
    if (status == 0) status = retrieveConfigFlags();
    if (status == 0) status = retrieveVirtualHostInfo();
    if (status != 0) {
        unwindInitialize();
        return status;
    }

    m_urcClient = new (std::nothrow) YavUnprotResourceCacheClient(&m_vhosts, m_log, &m_dispatcher);
    if (m_urcClient == nullptr) {
        unwindInitialize();
        return YAV_S_NO_MEMORY;
    }
    status = retrieveURCConfig();
    if (status != 0) {
        unwindInitialize();
        return status;
    }
    m_initialized = true;
    return 0;
}

yav_status_t YavCore::shutdown() {
    delete m_urcClient;
    m_urcClient = nullptr;
    m_dispatcher.shutdown();
    m_postURIs.delEntries();
    m_log = nullptr;
    m_started = false;
    m_initialized = false;
    return 0;
}

// One configuration question.  A dispatch failure is returned unchanged; a
// retry request gives YAV_S_NOT_AVAILABLE and a missing answer
// YAV_S_NO_MEMORY.  A configuration answer has stored its data through the
// context (0); an error answer is logged and gives 0 as well, so that a
// refusal by the server does not fail the caller.  An answer of another type
// is refused by the dispatcher (YAV_S_IPC_NO_FACTORY); the check below only
// keeps the casts safe should another factory ever answer this question.
yav_status_t YavCore::retrieveConfig(YavConfigQuestion::yav_config_req_msg_type_e type,
                                     YavConfigAnswerContext* context) {
    YavConfigQuestion question(type);
    YavProxyIFMessage* answer = nullptr;
    bool retry = false;
    context->log = m_log;
    yav_status_t status = m_dispatcher.dispatch(question, &answer, context, &retry);
    if (status != 0) {
        if (answer != nullptr) answer->deleteMe();
        return status;
    }
    if (retry || answer == nullptr) {
        if (answer != nullptr) answer->deleteMe();
        return retry ? YAV_S_NOT_AVAILABLE : YAV_S_NO_MEMORY;
    }
    int answerType = answer->getType();
    if (answerType == yav_msg_error) {
        if (m_log != nullptr) {
            m_log->logLCP(yav_log_error, __FILE__, __LINE__, kLogComponent,
                          static_cast<YavErrorMessage*>(answer)->getCode());
        }
    } else if (answerType != yav_msg_config_answer) {
        if (m_log != nullptr) {
            m_log->logLCP(yav_log_error, __FILE__, __LINE__, kLogComponent,
                          YAV_S_UNKNOWN_MESSAGE_TYPE, answerType);
        }
    } else if (type == YavConfigQuestion::yav_config_urc) {
        answer->deleteMe();
        YAV_ASSERT(m_urcClient != nullptr);
        return m_urcClient->initialize(context->cacheEnabled, context->cachePollInterval);
    }
    answer->deleteMe();
    return 0;
}

yav_status_t YavCore::retrievePostURIs() {
    YavConfigAnswerContext context;
    context.postURIs = &m_postURIs;
    context.postURITableSize = YavConfigAnswerContext::kDefaultTableSize;
    return retrieveConfig(YavConfigQuestion::yav_config_post_uris, &context);
}

yav_status_t YavCore::retrieveConfigFlags() {
    YavConfigAnswerContext context;
    context.configFlags = &m_configFlags;
    context.configFlagTableSize = YavConfigAnswerContext::kDefaultTableSize;
    return retrieveConfig(YavConfigQuestion::yav_config_flags, &context);
}

yav_status_t YavCore::retrieveVirtualHostInfo() {
    YavConfigAnswerContext context;
    context.vhosts = &m_vhosts;
    return retrieveConfig(YavConfigQuestion::yav_config_virtual_hosts, &context);
}

yav_status_t YavCore::retrieveURCConfig() {
    if (m_urcClient == nullptr) return YAV_S_NOT_INITIALIZED;
    YavConfigAnswerContext context;
    return retrieveConfig(YavConfigQuestion::yav_config_urc, &context);
}

yav_status_t YavCore::prepareForRetry() {
    // Each refresh is worth trying even when an earlier one failed: the
    // local hosts must come back behind whatever the server's answer left.
    (void)retrievePostURIs();
    (void)retrieveConfigFlags();
    (void)retrieveVirtualHostInfo();
    (void)retrieveURCConfig();
    return loadVHosts();
}

yav_status_t YavCore::loadVHosts() {
    if (m_configDir == nullptr) return YAV_S_NO_MEMORY;
    YavString path;
    size_t dirLength = strlen(m_configDir);
    bool built = path.set(m_configDir);
    if (built && dirLength > 0 && m_configDir[dirLength - 1] != '/') built = path.append('/');
    if (built) built = path.append(kConfigFileName);
    if (!built) return YAV_S_NO_MEMORY;

    yav_status_t status = 0;
    yavStanzaFile* file = yavStzFileOpen(path.getData(), YAV_STZ_READ, &status);
    if (file == nullptr) return status != 0 ? status : YAV_S_NO_MEMORY;
    if (!yavStzMoveStanza(file, kPluginStanza)) {
        status = file->status;
        yavStzFileClose(file);
        return status;
    }

    // The names first: reading a host moves the file's cursor.  A line in
    // error ends the walk; the hosts named before it are still read.
    YavNameSet unprotectedNames(nullptr, true);
    YavNameSet names(nullptr, true);
    while (status == 0 && file->entryName != nullptr) {
        if (strcmp(file->entryName, kUnprotectedHostEntry) == 0) {
            status = addName(&unprotectedNames, file->value);
        } else if (strcmp(file->entryName, kHostEntry) == 0) {
            status = addName(&names, file->value);
        }
        if (status == 0 && !yavStzMoveNextEntry(file)) status = file->status;
    }

    // The hosts are built before the list is locked, so look-ups wait only
    // for the appends.
    YavList<YavPluginVirtualHost> hosts(nullptr, true);
    const YavNameSet* sets[2] = {&unprotectedNames, &names};
    yav_status_t hostStatus = status == YAV_S_NO_MEMORY ? status : 0;
    for (int s = 0; s < 2 && hostStatus == 0; ++s) {
        for (const YavString* name : *sets[s]) {
            YavPluginVirtualHost* host = nullptr;
            hostStatus = readVHost(file, *name, s == 0, &host);
            if (hostStatus == 0) {
                hostStatus = hosts.append(host);
                if (hostStatus != 0) delete host;
            }
            if (hostStatus == 0) hostStatus = file->status;
            if (hostStatus != 0) break;
        }
    }
    if (status == 0) status = hostStatus;
    yavStzFileClose(file);

    if (!hosts.isEmpty()) {
        int lockStatus = m_vhosts.writeLock();
        if (lockStatus != 0) return YAV_S_NOT_AVAILABLE;
        while (!hosts.isEmpty()) {
            YavPluginVirtualHost* host = hosts.getHead();
            hosts.remove(hosts.begin());
            // Skip copies a refresh without a new host list left behind.
            if (holdsLocalCopy(m_vhosts, *host)) {
                delete host;
                continue;
            }
            yav_status_t appended = m_vhosts.append(host);
            if (appended != 0) {
                delete host;
                if (status == 0) status = appended;
            }
        }
        m_vhosts.unlock();
    }
    return status;
}

bool YavCore::isUnprotectedHost(YavTransaction* trans) {
    YavRequest* request = trans->getRequest();
    YavServer* server = request->getServer();
    if (server == nullptr) return false;
    YavStringRef id;
    if (server->getVHostID(&id) != 0) return false;
    // A request whose security cannot be read is not let through unseen.
    int security = 0;
    if (request->getSecurity(&security) != 0) return false;
    YavPluginVirtualHostKey key;
    key.initialize(id, security > 0);
    if (m_vhosts.readLock() != 0) return false;
    const YavPluginVirtualHost* host = m_vhosts.findValue(key);
    bool unprotected = host != nullptr && host->isUnprotected();
    m_vhosts.unlock();
    return unprotected;
}

bool YavCore::cacheSaysUnprotected(YavTransaction* trans) {
    YAV_ASSERT(m_urcClient != nullptr);
    for (int refreshes = 0;; ++refreshes) {
        YavUnprotResourceCacheClient::YavURCDecision decision =
            YavUnprotResourceCacheClient::yav_urc_decision_protected;
        yav_status_t status = m_urcClient->lookupCache(*trans->getRequest(), &decision);
        if (status == 0)
            return decision == YavUnprotResourceCacheClient::yav_urc_decision_unprotected;
        // The cache's data is gone: refresh and look again, a bounded number
        // of times; then the authorization server decides.
        if (status != YAV_S_NOT_AVAILABLE || refreshes >= kMaxRetries) return false;
        (void)prepareForRetry();
    }
}

yav_status_t YavCore::handleReq(YavTransaction* trans) {
    YAV_ASSERT(trans != nullptr && trans->hasRequest() && trans->hasResponse());
    if (isUnprotectedHost(trans)) return trans->setResult(yav_continue_uninteresting);
    if (!m_initialized) return YAV_S_NOT_INITIALIZED;
    if (cacheSaysUnprotected(trans)) return trans->setResult(yav_continue_uninteresting);

    for (int refreshes = 0;; ++refreshes) {
        trans->setRetry(false);
        YavWebReqQuestionMarshaller question(trans);
        YavProxyIFMessage* answer = nullptr;
        bool retry = false;
        yav_status_t status = m_dispatcher.dispatch(question, &answer, trans, &retry);
        if (!retry && !trans->shouldRetry()) return handleWebDispatch(trans, answer, status);
        // An answer that asked for the retry has done its part.
        if (answer != nullptr) answer->deleteMe();
        if (refreshes >= kMaxRetries) {
            // The server keeps asking: answer as for an unreachable one.
            trans->setRetry(false);
            return handleWebDispatch(trans, nullptr, status != 0 ? status : YAV_S_NOT_AVAILABLE);
        }
        (void)prepareForRetry();
        yav_status_t result = trans->prepareForRetry();
        if (result != 0) return result;
    }
}

yav_status_t YavCore::handleRsp(YavTransaction* trans) {
    YAV_ASSERT(trans != nullptr && trans->hasRequest() && trans->hasResponse());
    YavRequest* request = trans->getRequest();
    YavResponse* response = trans->getResponse();
    YavWebRspQuestion question;

    YavBuffer raw;
    yav_status_t status = response->getHTTPBuffer(&raw);
    if (status != 0) return status;
    question.setHTTPBuffer(raw);
    YavServer* server = request->getServer();
    if (server == nullptr) return YAV_S_NOT_AVAILABLE;
    YavStringRef vhostID;
    status = server->getVHostID(&vhostID);
    if (status != 0) return status;
    question.setVHostID(vhostID);
    question.setSessionID(response->getSessionID());
    int security = 0;
    status = request->getSecurity(&security);
    if (status != 0) return status;
    question.setIsSecure(security);

    for (int refreshes = 0;; ++refreshes) {
        YavProxyIFMessage* answer = nullptr;
        bool retry = false;
        status = m_dispatcher.dispatch(question, &answer, trans, &retry);
        if (!retry) {
            (void)handleWebDispatch(trans, answer, status);
            return 0;
        }
        if (answer != nullptr) answer->deleteMe();
        if (refreshes >= kMaxRetries) {
            (void)handleWebDispatch(trans, nullptr, status != 0 ? status : YAV_S_NOT_AVAILABLE);
            return 0;
        }
        (void)prepareForRetry();
    }
}

yav_status_t YavCore::postProcess(YavTransaction*) { return YAV_S_NOT_SUPPORTED; }

void YavCore::sendUnavailable(YavTransaction* trans) {
    yav_status_t status = trans->getResponse()->setCode(kServiceUnavailable);
    if (status != 0) trans->logMessage(yav_log_level_error, static_cast<int>(status));
    trans->setResult(yav_send_default_rsp_to_client);
}

yav_status_t YavCore::handleWebDispatch(YavTransaction* trans, YavProxyIFMessage* answer,
                                        int dispatchStatus) {
    char text[kStatusTextSize];
    yav_status_t status = 0;
    bool webAnswer = false;
    if (dispatchStatus != 0) {
        if (answer != nullptr) answer->deleteMe();
        statusText(static_cast<yav_status_t>(dispatchStatus), text, sizeof text);
        trans->logMessage(yav_log_level_error, static_cast<int>(YAV_S_DISPATCH_FAILED), text,
                          dispatchStatus);
        sendUnavailable(trans);
    } else if (answer != nullptr) {
        int answerType = answer->getType();
        if (answerType == yav_msg_web_trans_answer) {
            webAnswer = true;
            trans->setResult(static_cast<YavWebTransAnswerIter*>(answer)->getRspCode());
        } else if (answerType == yav_msg_error) {
            yav_status_t code = static_cast<YavErrorMessage*>(answer)->getCode();
            statusText(code, text, sizeof text);
            trans->logMessage(yav_log_level_error, static_cast<int>(YAV_S_SERVER_ERROR), text,
                              code);
            sendUnavailable(trans);
        } else {
            trans->logMessage(yav_log_level_error, static_cast<int>(YAV_S_UNKNOWN_MESSAGE_TYPE),
                              answerType);
            sendUnavailable(trans);
        }
        answer->deleteMe();
    } else {
        status = YAV_S_NO_MEMORY;
    }

    if (!webAnswer) {
        YavResponse* response = trans->getResponse();
        // A view that does not offer finishing needs none.
        yav_status_t finished[2] = {response->finalizeHeader(), response->finalizeBody()};
        for (yav_status_t f : finished) {
            if (f != 0 && f != YAV_S_NOT_SUPPORTED) {
                trans->logMessage(yav_log_level_error, static_cast<int>(f));
            }
        }
    }

    const YavEpochVersion* version = trans->getURCVersion();
    if (version != nullptr && m_urcClient != nullptr) {
        yav_status_t updated = m_urcClient->updateCache(version);
        if (updated == YAV_S_NOT_AVAILABLE) {
            (void)prepareForRetry();
        } else if (updated != 0) {
            trans->logMessage(yav_log_level_error, static_cast<int>(updated));
        }
    }
    return status;
}

yav_status_t YavCore::getMinPostData(const YavStringRef& first, const YavStringRef& second,
                                     int* minPostData) {
    YAV_ASSERT(minPostData != nullptr);
    YavString key;
    if (!key.set(first) || !key.append(':') || !key.append(second)) return YAV_S_NO_MEMORY;
    return m_postURIs.lookup(key, minPostData) ? 0 : YAV_S_NOT_AVAILABLE;
}

unsigned int YavCore::getConfigFlags(const YavStringRef& name) {
    YavString key;
    if (!key.set(name)) return 0;
    unsigned int flags = 0;
    return m_configFlags.lookup(key, &flags) ? flags : 0;
}
