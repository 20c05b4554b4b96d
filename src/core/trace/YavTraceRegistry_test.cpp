#include "core/trace/YavTraceRegistry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/msg/yav_msg_table.h"
#include "core/msg/yav_status.h"
#include "core/trace/YavSvcLog.h"
#include "core/trace/yav_trace_test_aids.h"

namespace {

// The registry is process-wide: every test leaves it empty, and the
// plug-in handle's debug levels as they were, with no route callback.
class YavTraceRegistryTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(0, registry().initialize());
        registry().shutdown();
        for (unsigned s = 0; s < kr_svc_subcomp_count(m_handle); ++s) {
            m_levels.push_back(kr_svc_debug_level(m_handle, s));
        }
    }
    void TearDown() override {
        registry().shutdown();
        kr_svc_set_route_callback(nullptr, nullptr);
        for (unsigned s = 0; s < m_levels.size(); ++s)
            kr_svc_set_debug_level(m_handle, s, m_levels[s]);
    }
    static YavTraceRegistry& registry() { return YavTraceRegistry::instance(); }
    static YavTrace* named(uint32_t nameCode) {
        return registry().get(kr_msg_get_default_msg(nameCode));
    }

    kr_svc_handle_t m_handle = yav_svc_plugin_handle();
    std::vector<unsigned> m_levels;
};

TEST_F(YavTraceRegistryTest, KeepsOneTracePerExactName) {
    YavRecordingLog log;
    YavTrace* http = registry().add("tessaro.http", 2, &log);
    YavTrace* proxy = registry().add("tessaro.proxy-if", 4, nullptr);
    ASSERT_TRUE(http != nullptr && proxy != nullptr);
    EXPECT_EQ(http, registry().get("tessaro.http"));
    EXPECT_EQ(proxy, registry().get("tessaro.proxy-if"));
    EXPECT_EQ(&log, http->getLog());
    EXPECT_FALSE(http->ownsLog());
    for (const char* other : {"tessaro", "tessaro.http.x", "TESSARO.HTTP", "", "tessaro.prox"}) {
        EXPECT_EQ(nullptr, registry().get(other)) << other;
    }
    EXPECT_EQ(nullptr, registry().add(nullptr, 1, nullptr));
    EXPECT_EQ(http, registry().add("tessaro.http", 9, nullptr));  // the first one, unchanged
    EXPECT_EQ(2, http->getLevel());
    EXPECT_EQ(2u, registry().count());

    EXPECT_EQ(0, registry().setLevel("tessaro.http", 7));
    EXPECT_EQ(YAV_S_NOT_AVAILABLE, registry().setLevel("tessaro.none", 7));
    EXPECT_EQ(7, http->getLevel());
    EXPECT_EQ(4, proxy->getLevel());
    registry().setLevel(5);
    EXPECT_EQ(5, http->getLevel());
    EXPECT_EQ(5, proxy->getLevel());

    EXPECT_EQ(0, registry().remove("tessaro.http"));
    EXPECT_EQ(YAV_S_NOT_AVAILABLE, registry().remove("tessaro.http"));
    EXPECT_EQ(nullptr, registry().get("tessaro.http"));
    EXPECT_EQ(proxy, registry().get("tessaro.proxy-if"));

    int destroyed = 0;  // shutdown deletes the traces and the logs they own
    proxy->setLog(new YavRecordingLog(&destroyed), true);
    YavRecordingLog borrowed(&destroyed);
    registry().add("borrowing", 1, &borrowed);
    YavTrace::shutdown();
    EXPECT_EQ(0u, registry().count());
    EXPECT_EQ(1, destroyed);
}

TEST_F(YavTraceRegistryTest, ServiceabilityDebugLevelsSteerTheTracesOfTheSameName) {
    kr_svc_set_debug_level(m_handle, yav_svc_http_parser, 3);
    kr_svc_set_debug_level(m_handle, yav_svc_proxy_if, 0);
    YavRecordingLog own;  // a trace made before the binding keeps its log
    YavTrace* proxy = registry().add(kr_msg_get_default_msg(YAV_T_PROXY_IF), 8, &own);
    ASSERT_EQ(0, registry().registerSvc(m_handle));

    unsigned namedCount = 0;
    for (unsigned s = 0; s < kr_svc_subcomp_count(m_handle); ++s) {
        uint32_t code = kr_svc_subcomp_name_code(m_handle, s);
        if (code == 0) continue;
        ++namedCount;
        YavTrace* trace = named(code);
        ASSERT_NE(nullptr, trace) << s;
        EXPECT_EQ(static_cast<int>(kr_svc_debug_level(m_handle, s)), trace->getLevel()) << s;
        if (trace == proxy) continue;
        YavSvcLog* log = dynamic_cast<YavSvcLog*>(trace->getLog());
        ASSERT_NE(nullptr, log) << s;
        EXPECT_TRUE(trace->ownsLog());
        EXPECT_EQ(s, log->getSubcomponent());
    }
    EXPECT_EQ(namedCount, registry().count());
    EXPECT_EQ(&own, proxy->getLog());

    YavTrace* http = named(YAV_T_HTTP);
    ASSERT_NE(nullptr, http);
    EXPECT_EQ(3, http->getLevel());
    kr_svc_set_debug_level(m_handle, yav_svc_http_parser, 7);
    kr_svc_set_debug_level(m_handle, yav_svc_proxy_if, 2);
    EXPECT_EQ(7, http->getLevel());
    EXPECT_EQ(2, proxy->getLevel());

    ASSERT_EQ(0, registry().registerSvc(m_handle));  // again: nothing new
    EXPECT_EQ(namedCount, registry().count());
    EXPECT_EQ(http, named(YAV_T_HTTP));
    registry().shutdown();
    kr_svc_set_debug_level(m_handle, yav_svc_http_parser, 1);  // no trace left: no harm
}

struct SvcRecord {
    uint32_t level;
    std::string subcomponent, file;
    int line;
    std::string text;
};

void record_debug(const kr_svc_route_record* r, void* records) {
    if (r->isDebug) {
        static_cast<std::vector<SvcRecord>*>(records)->push_back(
            {r->flags, r->subcomponent, r->file, r->line, r->text});
    }
}

TEST_F(YavTraceRegistryTest, BoundTracesWriteDebugRecordsOfTheirSubcomponent) {
    std::vector<SvcRecord> records;
    kr_svc_set_route_callback(&record_debug, &records);
    const char* subcomponent = yav_svc_plugin_subcomps[yav_svc_http_parser].name;
    uint32_t status = 1;
    kr_svc_debug_routing((std::string("pic:") + subcomponent + ".5:TRACETEST:here").c_str(),
                         &status);
    ASSERT_EQ(0u, status);
    ASSERT_EQ(0, registry().registerSvc(m_handle));
    YavTrace* http = named(YAV_T_HTTP);
    ASSERT_NE(nullptr, http);
    YavTrace::setThreadIP("10.0.0.1");
    http->trace(5, "h.cpp", 77, YavStringRef("parsed"));
    http->trace(6, "h.cpp", 78, YavStringRef("too detailed"));
    http->ftrace(2, "h.cpp", 79, "%d headers", 3);
    YavTrace::setThreadIP(nullptr);

    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(5u, records[0].level);
    EXPECT_EQ(subcomponent, records[0].subcomponent);
    EXPECT_EQ("h.cpp", records[0].file);
    EXPECT_EQ(77, records[0].line);
    EXPECT_EQ("[10.0.0.1] parsed", records[0].text);
    EXPECT_EQ(2u, records[1].level);
    EXPECT_EQ("[10.0.0.1] 3 headers", records[1].text);

    // Other severities go as level 1; trace levels above 9 as 9.
    const std::vector<std::pair<int, unsigned>> levels = {{yav_log_info, 1},
                                                          {yav_log_error, 1},
                                                          {yav_log_trace_0, 0},
                                                          {yav_log_trace_9, 9},
                                                          {100, 9}};
    for (const auto& l : levels) EXPECT_EQ(l.second, YavSvcLog::debugLevel(l.first)) << l.first;
}

}  // namespace
