// Test aids of the stanza-file tests: a fixture with a fresh temporary
// directory, whole-file helpers, and capture of the messages logged by the
// calling thread.  Test-only and header-only.
#ifndef YAV_CORE_FILE_YAV_STANZA_TEST_AIDS_H
#define YAV_CORE_FILE_YAV_STANZA_TEST_AIDS_H

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "core/file/yav_stanza.h"
#include "core/svc/kr_svc.h"
#include "core/svc/kr_svc_test_aids.h"
#include "core/system/yav_test_tempdir.h"

namespace stz_test {

using svc_test::readFile;

inline bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

// Collects the texts of the messages this thread logs while it lives.
class LogCapture {
  public:
    LogCapture() {
        kr_svc_msgsave_clear();
        kr_svc_msgsave_start();
    }
    ~LogCapture() {
        kr_svc_msgsave_stop();
        kr_svc_msgsave_clear();
    }
    std::string text() const { return svc_test::savedMessages(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
};

// Closes a handle at the end of a scope.
struct HandleCloser {
    void operator()(yavStanzaFile* handle) const { yavStzFileClose(handle); }
};

// The (stanza, entry, value) items a walk over every stanza and entry
// visits; a null value shows as "(null)", a stanza without entries as one
// item with entry "(none)".
inline std::vector<std::string> walk(yavStanzaFile* handle) {
    std::vector<std::string> items;
    if (!yavStzMoveFirstStanza(handle)) return {"move failed"};
    while (handle->stanzaName != nullptr) {
        std::string stanza = handle->stanzaName;
        if (handle->entryName == nullptr) items.push_back(stanza + "|(none)");
        while (handle->entryName != nullptr) {
            items.push_back(stanza + "|" + handle->entryName + "|" +
                            (handle->value != nullptr ? handle->value : "(null)"));
            if (!yavStzMoveNextEntry(handle)) return {"entry move failed"};
        }
        if (!yavStzMoveNextStanza(handle)) return {"stanza move failed"};
    }
    return items;
}

class StanzaTest : public ::testing::Test {
  protected:
    StanzaTest() : m_dir("stanza") {}

    void SetUp() override {
        ASSERT_TRUE(m_dir.ok()) << m_dir.error();
        // Expected failures are logged; keep them off the test output.
        uint32_t status = 0;
        kr_svc_routing("*:DISCARD:-", &status);
    }

    // Writes text to a file of the temporary directory; its path.
    std::string file(const std::string& text, const std::string& name = "test.conf") {
        std::string path = m_dir.path(name);
        EXPECT_TRUE(writeFile(path, text)) << path;
        return path;
    }

    // Opens path; fails the test (and returns null) when that fails.
    yavStanzaFile* open(const std::string& path, int flags) {
        yav_status_t status = 1;
        yavStanzaFile* handle = yavStzFileOpen(path.c_str(), flags, &status);
        EXPECT_NE(nullptr, handle) << path << " status " << std::hex << status;
        EXPECT_EQ(0u, status);
        return handle;
    }

    YavTestTempDir m_dir;
};

}  // namespace stz_test

#endif  // YAV_CORE_FILE_YAV_STANZA_TEST_AIDS_H
