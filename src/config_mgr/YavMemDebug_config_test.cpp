// YavMemDebug::initialize reads the "debug" stanza through a configuration
// manager; checked through the flags it then gives allocators.
#include <gtest/gtest.h>

#include <string>

#include "config_mgr/YavConfigMgr.h"
#include "config_mgr/yav_config_test_aids.h"
#include "core/memory/YavMemDebug.h"
#include "core/memory/yav_alloc.h"
#include "core/msg/yav_status.h"

namespace {

class YavMemDebugConfigTest : public config_test::ConfigTest {
  protected:
    void SetUp() override {
        ConfigTest::SetUp();
        YavMemDebug::reset();
    }
    void TearDown() override {
        YavMemDebug::reset();
        EXPECT_EQ(0u, yav_allocator_set_stats_period(YAV_ALLOC_DEFAULT_STATS_PERIOD));
        ConfigTest::TearDown();
    }

    yav_status_t initializeWith(const std::string& content) {
        std::string file = writeFile("tessaro.conf", content);
        EXPECT_EQ(0u, m_mgr.initialize(file.c_str()));
        return YavMemDebug::initialize(m_mgr);
    }

    YavConfigMgr m_mgr;
};

TEST_F(YavMemDebugConfigTest, ListedAllocatorsAreDebuggedOrExcluded) {
    ASSERT_EQ(0u, initializeWith("[debug]\n"
                                 "memory-on = plugin.if.disp, plugin.core.rsp-parser\n"
                                 "memory-off = plugin.if.disp.shmem-iterator\n"
                                 "memory-stats = yes\n"
                                 "memory-stats-period = 600\n"));
    EXPECT_EQ(YAV_ALLOC_PAGE_PROTECT, YavMemDebug::flags(YAV_N_SHMEM_ALLOCATOR));
    EXPECT_EQ(YAV_ALLOC_PAGE_PROTECT, YavMemDebug::flags(YAV_N_ERROR_MESSAGE));
    EXPECT_EQ(YAV_ALLOC_PAGE_PROTECT, YavMemDebug::flags(YAV_N_RSP_PARSER));
    EXPECT_EQ(0u, YavMemDebug::flags(YAV_N_SHMEM_ITERATOR));
    // Not listed: statistics, which the stanza enables for all.
    EXPECT_TRUE(YavMemDebug::statsEnabled());
    EXPECT_EQ(YAV_ALLOC_STATS, YavMemDebug::flags(YAV_N_CONFIG_RSP_PARSER));
    EXPECT_TRUE(logged(YAV_S_CFG_UNRECOGNIZED_ENTRY_TEXT).empty());

    YavConfigSchema* schema = nullptr;
    ASSERT_EQ(0u, m_mgr.findSchema(0, &schema));
    EXPECT_STREQ("YavMemDebug", schema->getName().getData());
    EXPECT_EQ(0u, schema->getValidateStatus());
}

TEST_F(YavMemDebugConfigTest, StatisticsDefaultToOffAndUnknownEntriesAreWarned) {
    YavMemDebug::setStatsEnabled(true);
    ASSERT_EQ(0u, initializeWith("[debug]\n"
                                 "memory-on = plugin.core\n"
                                 "memory-everything = yes\n"));
    EXPECT_FALSE(YavMemDebug::statsEnabled());
    EXPECT_EQ(YAV_ALLOC_PAGE_PROTECT, YavMemDebug::flags(YAV_N_CONFIG_RSP_PARSER));
    EXPECT_EQ(0u, YavMemDebug::flags(YAV_N_SHMEM_ALLOCATOR));
    auto warnings = logged(YAV_S_CFG_UNRECOGNIZED_ENTRY_TEXT);
    ASSERT_EQ(1u, warnings.size());
    EXPECT_NE(std::string::npos, warnings[0].text.find("memory-everything = yes"));
    YavConfigSchema* schema = nullptr;
    ASSERT_EQ(0u, m_mgr.findSchema(0, &schema));
    EXPECT_EQ(YAV_S_CFG_UNRECOGNIZED_ENTRY, schema->getValidateStatus());
}

TEST_F(YavMemDebugConfigTest, InvalidSettingsAreRefused) {
    // A boolean is lower case only: the stanza is refused at that entry,
    // after the lists were loaded but before anything was applied.
    EXPECT_EQ(YAV_S_CFG_INVALID_VALUE, initializeWith("[debug]\n"
                                                      "memory-on = plugin.core\n"
                                                      "memory-stats = Yes\n"));
    EXPECT_EQ(1u, logged(YAV_S_CFG_INVALID_VALUE_TEXT).size());
    EXPECT_EQ(0u, YavMemDebug::flags(YAV_N_RSP_PARSER));
    // The period goes to the statistics reporter, which refuses one that is
    // not positive.
    ASSERT_EQ(0u, m_mgr.shutdown());
    EXPECT_EQ(YAV_S_INVALID_VALUE, initializeWith("[debug]\nmemory-stats-period = 0\n"));
}

TEST_F(YavMemDebugConfigTest, MissingStanzaChangesNothingButStatistics) {
    const char* names[] = {"plugin.core"};
    ASSERT_EQ(0u, YavMemDebug::setDebugNames(names, 1));
    YavMemDebug::setStatsEnabled(true);
    ASSERT_EQ(0u, initializeWith("[other]\nx = 1\n"));
    EXPECT_EQ(YAV_ALLOC_PAGE_PROTECT, YavMemDebug::flags(YAV_N_RSP_PARSER));
    EXPECT_FALSE(YavMemDebug::statsEnabled());
}

}  // namespace
