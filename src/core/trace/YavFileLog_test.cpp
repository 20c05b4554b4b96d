#include "core/trace/YavFileLog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/msg/yav_status.h"
#include "core/system/yav_test_tempdir.h"

namespace {

// time, then component, severity, file, line, pid, tid, text
const std::regex kLine(
    "[0-9]{4}-[0-9]{2}-[0-9]{2}-[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}[+-][0-9]{2}:[0-9]{2} "
    "(\\S+) (.{7}) (\\S+) ([0-9]+) +[0-9]+ +[0-9]+ ([^\n]*)");

class YavFileLogTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_dir.ok()) << m_dir.error(); }
    std::string path(const std::string& name) const { return m_dir.path(name); }
    // The file's lines as their regular-expression matches.
    std::vector<std::smatch> lines(const std::string& name) {
        std::ifstream in(path(name), std::ios::binary);
        m_text = std::string(std::istreambuf_iterator<char>(in), {});
        EXPECT_TRUE(m_text.empty() || m_text.back() == '\n') << "the file ends inside a line";
        std::vector<std::smatch> result;
        for (auto it = std::sregex_iterator(m_text.begin(), m_text.end(), kLine);
             it != std::sregex_iterator(); ++it) {
            result.push_back(*it);
        }
        return result;
    }

    YavTestTempDir m_dir{"yav_filelog_"};
    std::string m_text;
};

TEST_F(YavFileLogTest, AppendsFormattedLinesOnlyWhileOpen) {
    YavFileLog closed;
    closed.log(yav_log_info, "f", 1, "c", YavStringRef("nowhere"));  // dropped quietly
    EXPECT_FALSE(closed.isOpen());
    EXPECT_FALSE(YavFileLog(path("no/such/dir.log").c_str()).isOpen());
    {
        YavFileLog log(path("a.log").c_str());
        ASSERT_TRUE(log.isOpen());
        log.log(yav_log_error, "src/x.cpp", 17, "tessaro.http", YavStringRef("first line"));
        EXPECT_EQ(YAV_S_NO_SUCH_RESOURCE, log.open(path("no/such/dir.log").c_str()));
        EXPECT_EQ(YAV_S_INVALID_VALUE, log.open(YavLCPStringRef("a\0b", 3)));
        log.log(yav_log_info, "f", 2, "c", YavStringRef("still a"));  // a failed open keeps a
        ASSERT_EQ(0, log.open(path("b.log").c_str()));
        log.log(yav_log_info, "f", 3, "c", YavStringRef("now b"));
        log.close();
        log.log(yav_log_info, "f", 4, "c", YavStringRef("dropped"));
    }
    // An existing file is appended to; the name may be local text with a
    // length.
    std::string name = path("a.log") + "-not-part-of-the-name";
    YavFileLog again(YavLCPStringRef(name.data(), static_cast<int>(path("a.log").size())));
    again.log(yav_log_trace_0 + 2, "y.cpp", 5, "c", YavStringRef("third line"));

    std::vector<std::smatch> a = lines("a.log");
    ASSERT_EQ(3u, a.size()) << m_text;
    const std::vector<std::string> first = {"tessaro.http", "ERROR  ", "src/x.cpp", "17",
                                            "first line"};
    for (size_t k = 0; k < first.size(); ++k) EXPECT_EQ(first[k], a[0][k + 1].str());
    EXPECT_EQ("still a", a[1][5].str());
    EXPECT_EQ("TRACE 2", a[2][2].str());
    EXPECT_EQ("third line", a[2][5].str());
    std::vector<std::smatch> b = lines("b.log");
    ASSERT_EQ(1u, b.size()) << m_text;
    EXPECT_EQ("now b", b[0][5].str());
}

TEST_F(YavFileLogTest, ManyThreadsWriteWholeLines) {
    const int kThreads = 8, kLines = 300;
    YavFileLog log(path("shared.log").c_str());
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            std::string filler(700 + t * 50, static_cast<char>('a' + t));  // a torn line shows
            for (int i = 0; i < kLines; ++i) {
                std::string text = std::to_string(t) + ":" + std::to_string(i) + ":" + filler;
                log.log(yav_log_info, "mt.cpp", i, "mt", YavStringRef(text.c_str()));
            }
        });
    }
    // Reopening the file while the writers run loses no line.
    for (int k = 0; k < 20; ++k) ASSERT_EQ(0, log.open(path("shared.log").c_str()));
    for (std::thread& t : threads) t.join();

    std::vector<std::smatch> all = lines("shared.log");
    ASSERT_EQ(static_cast<size_t>(kThreads * kLines), all.size());
    EXPECT_EQ(static_cast<size_t>(std::count(m_text.begin(), m_text.end(), '\n')), all.size());
    std::set<std::string> seen;
    for (const std::smatch& m : all) {
        std::string text = m[5].str();
        int t = std::stoi(text);
        EXPECT_EQ(std::string(700 + t * 50, static_cast<char>('a' + t)),
                  text.substr(text.rfind(':') + 1));
        seen.insert(text.substr(0, text.rfind(':')));
    }
    EXPECT_EQ(static_cast<size_t>(kThreads * kLines), seen.size());
}

}  // namespace
