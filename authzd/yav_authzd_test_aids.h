// Test aids for the authorization server's tests: a policy file written
// into a fresh temporary directory, and Basic credentials.  Test code only;
// one thread.
#ifndef AUTHZD_YAV_AUTHZD_TEST_AIDS_H
#define AUTHZD_YAV_AUTHZD_TEST_AIDS_H

#include <cstdio>
#include <string>

#include "core/encoders/yav_base64.h"
#include "core/system/yav_test_tempdir.h"

// A policy used by several tests.  Password of alice and bob: "pw-alice",
// "pw-bob" (SHA-256 crypt hashes made with openssl passwd -5).
inline const char* yav_authz_test_policy() {
    return "[authzd]\n"
           "realm = Test Realm\n"
           "user-header = X-User\n"
           "cache-poll-interval = 30\n"
           "\n"
           "[vhost www]\n"
           "branch = /web\n"
           "flags = http https\n"
           "default = r\n"
           "POST = rw\n"
           "\n"
           "[vhost open-host]\n"
           "flags = http unprotected\n"
           "\n"
           "[open /web]\n"
           "/web/pub = *\n"
           "/web/pub/closed = [none]\n"
           "/web/img = r\n"
           "\n"
           "[acl /web]\n"
           "group staff = r\n"
           "\n"
           "[acl /web/admin]\n"
           "user alice = rw\n"
           "\n"
           "[users]\n"
           "alice = $5$saltA$YFlBXGP.cVv5qVYMr7BclEezvZsdwEtMEQr31rjAYd6\n"
           "bob = $5$saltB$PnGdjv0FmGOnZ0mfot6bH/TJiE9X7rrZmMPStcGHjz5\n"
           "\n"
           "[groups]\n"
           "staff = bob alice\n"
           "\n"
           "[post-sizes]\n"
           "/web/upload = 512\n"
           "\n"
           "[config-flags]\n"
           "strict = 0x3\n";
}

// Writes text to dir/name; the path, or "" when it cannot be written.
inline std::string yav_authz_write_file(YavTestTempDir& dir, const std::string& name,
                                        const std::string& text) {
    std::string path = dir.path(name);
    FILE* f = fopen(path.c_str(), "w");
    if (f == nullptr) return "";
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = fclose(f) == 0 && ok;
    return ok ? path : "";
}

// "Basic <base64 of user:password>".
inline std::string yav_authz_basic(const std::string& user, const std::string& password) {
    std::string plain = user + ":" + password;
    std::string out(yav_base64_encoded_size(plain.size()), '\0');
    yav_base64_std_encode(reinterpret_cast<const unsigned char*>(plain.data()), plain.size(),
                          &out[0], out.size());
    out.resize(out.find('\0') == std::string::npos ? out.size() : out.find('\0'));
    return "Basic " + out;
}

#endif  // AUTHZD_YAV_AUTHZD_TEST_AIDS_H
