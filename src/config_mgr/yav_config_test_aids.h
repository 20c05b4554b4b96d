// Shared helpers of the configuration tests: a fixture that owns a fresh
// temporary directory for configuration files, and routes the error and
// warning messages of the serviceability log to a list the test reads.
#ifndef YAV_CONFIG_MGR_YAV_CONFIG_TEST_AIDS_H
#define YAV_CONFIG_MGR_YAV_CONFIG_TEST_AIDS_H

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/svc/kr_svc.h"
#include "core/svc/kr_svc_internal.h"
#include "core/system/yav_test_tempdir.h"

namespace config_test {

struct LoggedMessage {
    uint32_t code;
    uint32_t severity;
    std::string text;
};

class ConfigTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.ok()) << m_dir.error();
        kr_svc_test_reset();
        kr_svc_set_route_callback(&ConfigTest::remember, &m_logged);
        uint32_t status = 1;
        kr_svc_routing("ERROR:CONFIGTEST:sink", &status);
        ASSERT_EQ(0u, status);
        kr_svc_routing("WARNING:CONFIGTEST:sink", &status);
        ASSERT_EQ(0u, status);
    }

    void TearDown() override {
        kr_svc_set_route_callback(nullptr, nullptr);
        kr_svc_test_reset();
    }

    // Writes a file in the test's directory and returns its path.
    std::string writeFile(const std::string& name, const std::string& content) {
        std::string path = m_dir.path(name);
        std::ofstream out(path, std::ios::binary);
        out << content;
        out.close();
        EXPECT_TRUE(out.good()) << path;
        return path;
    }

    std::string path(const std::string& name) const { return m_dir.path(name); }

    // The messages logged with this code so far.
    std::vector<LoggedMessage> logged(uint32_t code) const {
        std::vector<LoggedMessage> out;
        for (const LoggedMessage& m : m_logged) {
            if (m.code == code) out.push_back(m);
        }
        return out;
    }
    const std::vector<LoggedMessage>& allLogged() const { return m_logged; }

    // What fn writes to a FILE*.
    template <class Fn>
    static std::string capture(Fn fn) {
        char* data = nullptr;
        size_t size = 0;
        FILE* f = open_memstream(&data, &size);
        fn(f);
        fclose(f);
        std::string text(data, size);
        free(data);
        return text;
    }

    YavTestTempDir m_dir{"yav_config_test."};

  private:
    static void remember(const kr_svc_route_record* record, void* arg) {
        if (record->isDebug) return;
        static_cast<std::vector<LoggedMessage>*>(arg)->push_back(
            {record->code, record->flags, record->text});
    }

    std::vector<LoggedMessage> m_logged;
};

}  // namespace config_test

#endif  // YAV_CONFIG_MGR_YAV_CONFIG_TEST_AIDS_H
