// Aids for the end-to-end tests: the reference authorization server
// tessaro-authzd run as a child process under a private key file with a
// policy written into a temporary directory, the plug-in's own
// "tessaro.conf" beside it, and requests built on the recording views with
// their outcome told in one short text.
//
// YavE2EServer owns the temporary directory, the key file (YavIpcTestKey)
// and the child.  The destructor stops the child with SIGTERM (it removes
// its objects itself) and then removes whatever is left under the key, so
// a failing test leaves nothing behind.
//
// Test code only; one thread drives a YavE2EServer.  Not copyable.
#ifndef TESTS_YAV_E2E_TEST_AIDS_H
#define TESTS_YAV_E2E_TEST_AIDS_H

#include <signal.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "authzd/yav_authzd_test_aids.h"
#include "plugin/core/YavCore.h"
#include "plugin/core/yav_view_test_aids.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"
#include "server/yav_test_server_process.h"

#ifndef YAV_AUTHZD_PROGRAM
#error "YAV_AUTHZD_PROGRAM names the tessaro-authzd program"
#endif

// The policy of the end-to-end tests.  Host "shop" (branch /shop, so the
// URI /a names the object /shop/a) needs r for every method but POST (rw);
// host "open-host" is unprotected and listed first.  `open`
// is the body of the [open /shop] stanza.  alice may read and write all of
// /shop, bob nothing (so he is forbidden where he is known).  Passwords:
// "pw-alice", "pw-bob".
inline std::string yav_e2e_policy(const std::string& open) {
    return "[authzd]\n"
           "realm = E2E\n"
           "user-header = X-User\n"
           "cache = yes\n"
           "cache-poll-interval = 3600\n"
           "[vhost open-host]\n"
           "flags = http unprotected\n"
           "[vhost shop]\n"
           "branch = /shop\n"
           "flags = http https\n"
           "default = r\n"
           "POST = rw\n"
           "[open /shop]\n" +
           open +
           "[acl /shop]\n"
           "user alice = rw\n"
           "[users]\n"
           "alice = $5$saltA$YFlBXGP.cVv5qVYMr7BclEezvZsdwEtMEQr31rjAYd6\n"
           "bob = $5$saltB$PnGdjv0FmGOnZ0mfot6bH/TJiE9X7rrZmMPStcGHjz5\n"
           "[post-sizes]\n"
           "shop:/form = 512\n";
}

// Open resources of the default policy: /shop/pub is open, its "closed"
// subtree closed again, and "closed/reopened" open once more; /shop/img is
// open for reading only.
inline std::string yav_e2e_open_resources() {
    return "/shop/pub = *\n"
           "/shop/pub/closed = [none]\n"
           "/shop/pub/closed/reopened = *\n"
           "/shop/img = r\n";
}

// Reaches the core's configuration refresh, which the core otherwise runs
// only when the server asks for a retry or the cache loses its data.
class YavCoreTestPeer {
  public:
    static yav_status_t prepareForRetry(YavCore& core) { return core.prepareForRetry(); }
};

class YavE2EServer {
  public:
    YavE2EServer() : m_dir("e2e") {}
    ~YavE2EServer() {
        m_process.stop();
        m_key.removeAll();
    }
    YavE2EServer(const YavE2EServer&) = delete;
    YavE2EServer& operator=(const YavE2EServer&) = delete;

    // Empty when the directory and key file are usable, else why not.
    std::string setUpError() const {
        if (!m_dir.ok()) return "no temporary directory";
        return m_key.ok() ? std::string() : m_key.error();
    }
    const char* keyPath() const { return m_key.path(); }
    YavIpcTestKey& key() { return m_key; }
    std::string dir() const { return m_dir.path(); }
    YavTestProcess& process() { return m_process; }

    // Writes name into the directory; false when it cannot be written.
    bool write(const std::string& name, const std::string& text) {
        return !yav_authz_write_file(m_dir, name, text).empty();
    }
    // Writes the policy and starts the server on it; true once it is ready.
    bool start(const std::string& policy) { return write("policy.conf", policy) && startAgain(); }
    // Starts the server on the policy written last (after a kill, say).
    bool startAgain() {
        return m_process.start(YAV_AUTHZD_PROGRAM,
                               {"--policy", m_dir.path("policy.conf"), "--key", m_key.path(),
                                "--workers", "4", "--mode-file", m_dir.path("mode")}) &&
               m_process.waitForLine("ready");
    }
    // Switches the server's answers ("normal", "error CODE", "malformed
    // KIND", "delay MS"); true once the server reports the switch.
    bool setMode(const std::string& mode) { return sendMode(mode, "mode " + mode); }
    // Hands the server the mode line; true once it prints reply.
    bool sendMode(const std::string& line, const std::string& reply) {
        if (!write("mode.new", line + "\n")) return false;
        if (rename(m_dir.path("mode.new").c_str(), m_dir.path("mode").c_str()) != 0) return false;
        return m_process.waitForLine(reply);
    }
    // Replaces the policy and has the server reload it; true once it
    // reports the new cache version counter.
    bool reload(const std::string& policy, int counter) {
        return write("policy.conf", policy) && m_process.sendSignal(SIGHUP) &&
               m_process.waitForLine("reloaded " + std::to_string(counter));
    }
    // Stops the server with SIGTERM; true when it exited with 0 and no
    // object is left under the key.
    bool stopClean() {
        int status = m_process.stop();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
        const char ids[] = {'w', 'p', 'q', 'x'};
        for (char id : ids) {
            if (!YavIpcTestKey::keyFree(m_key.key(id))) return false;
        }
        return true;
    }

  private:
    YavIpcTestKey m_key{"e2ekey"};
    YavTestTempDir m_dir;
    YavTestProcess m_process;
};

// Presets x for one request: method and uri on virtual host vhost (no ID
// at all when vhost is null), with the Authorization header auth unless it
// is empty.  security is what getSecurity reports.
inline void yav_e2e_prepare(YavTestExchange& x, const char* vhost, const std::string& method,
                            const std::string& uri, const std::string& auth, int security = 0) {
    if (vhost != nullptr) x.server->presets.set("getVHostID", 0, vhost);
    std::string http = method + " " + uri + " HTTP/1.1\r\n";
    if (vhost != nullptr) http += std::string("Host: ") + vhost + "\r\n";
    if (!auth.empty()) http += "Authorization: " + auth + "\r\n";
    http += "\r\n";
    x.request.presets.set("getSecurity", 0, "", security);
    x.request.presets.set("getURI", 0, uri);
    x.request.presets.set("getMethod", 0, method);
    x.request.presets.set("getHTTPBuffer", 0, http);
    x.request.presets.set("getClientIP", 0, "10.1.2.3");
}

// What handleReq made of x (status is its return):
//   "cache"          yav_continue_uninteresting (decided without the server)
//   "continue <u>"   yav_continue with the user header X-User = <u> ("-": none)
//   "send <code>"    yav_send_rsp_to_client with the response code
//   "default <code>" yav_send_default_rsp_to_client with the response code
//   "status <hex>"   handleReq failed;  "result <n>" any other result.
inline std::string yav_e2e_outcome(YavTestExchange& x, yav_status_t status) {
    char hex[32];
    if (status != 0) {
        snprintf(hex, sizeof hex, "status %#x", status);
        return hex;
    }
    const YavTestPreset* code = x.response.presets.find("getCode");
    std::string codeText = code != nullptr ? std::to_string(code->number) : "-";
    const std::string* user = x.request.headers.find("X-User");
    switch (x.trans.getResult()) {
        case yav_continue_uninteresting:
            return "cache";
        case yav_continue:
            return "continue " + (user != nullptr ? *user : std::string("-"));
        case yav_send_rsp_to_client:
            return "send " + codeText;
        case yav_send_default_rsp_to_client:
            return "default " + codeText;
        default:
            return "result " + std::to_string(static_cast<int>(x.trans.getResult()));
    }
}

#endif  // TESTS_YAV_E2E_TEST_AIDS_H
