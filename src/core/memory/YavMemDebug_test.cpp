#include "core/memory/YavMemDebug.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/memory/yav_alloc.h"
#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"

namespace {

class YavMemDebugTest : public testing::Test {
  protected:
    void TearDown() override { YavMemDebug::reset(); }

    void configure(std::vector<const char*> debugged, std::vector<const char*> excluded,
                   bool stats) {
        ASSERT_EQ(0u, YavMemDebug::setDebugNames(debugged.data(), debugged.size()));
        ASSERT_EQ(0u, YavMemDebug::setExcludedNames(excluded.data(), excluded.size()));
        YavMemDebug::setStatsEnabled(stats);
    }
};

TEST_F(YavMemDebugTest, NearestListedNameOnThePathDecides) {
    const uint32_t page = YAV_ALLOC_PAGE_PROTECT;
    const uint32_t stats = YAV_ALLOC_STATS;
    const struct {
        std::vector<const char*> debugged;
        std::vector<const char*> excluded;
        bool stats;
        yav_status_t nameCode;
        uint32_t expected;
    } cases[] = {
        // plugin.if.disp.shmem-allocator: its parents are listed.
        {{"plugin.if"}, {}, false, YAV_N_SHMEM_ALLOCATOR, page},
        {{"plugin"}, {"plugin.if.disp"}, true, YAV_N_SHMEM_ALLOCATOR, 0},
        {{"plugin.if.disp"}, {"plugin"}, false, YAV_N_SHMEM_ALLOCATOR, page},
        {{"plugin.if.disp.shmem-allocator"},
         {"plugin.if.disp.shmem-allocator"},
         true,
         YAV_N_SHMEM_ALLOCATOR,
         0},
        // Only whole path components match.
        {{"plugin.i", "plugin.if.disp.shmem"}, {}, false, YAV_N_SHMEM_ALLOCATOR, 0},
        {{"plugin.i"}, {}, true, YAV_N_SHMEM_ALLOCATOR, stats},
        // plugin.urc is outside plugin.if.
        {{"plugin.if"}, {}, true, YAV_N_URC, stats},
        {{"plugin.if"}, {}, false, YAV_N_URC, 0},
        // A code without text has no name to look up.
        {{""}, {}, true, 0, stats},
        {{""}, {}, false, 0, 0},
    };
    for (const auto& c : cases) {
        configure(c.debugged, c.excluded, c.stats);
        EXPECT_EQ(c.expected, YavMemDebug::flags(c.nameCode))
            << std::hex << c.nameCode << " first debugged " << c.debugged[0];
    }
}

TEST_F(YavMemDebugTest, DebuggedNameIsLoggedAndResetClearsEverything) {
    configure({"general"}, {"plugin"}, true);
    kr_svc_set_debug_level(yav_svc_plugin_handle(), yav_svc_memory, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(YAV_ALLOC_PAGE_PROTECT, YavMemDebug::flags(YAV_N_GENERAL_ALLOCATOR));
    std::string out = testing::internal::GetCapturedStderr();
    kr_svc_set_debug_level(yav_svc_plugin_handle(), yav_svc_memory, 0);
    EXPECT_NE(std::string::npos, out.find(": general.allocator\n")) << out;

    YavMemDebug::reset();
    EXPECT_FALSE(YavMemDebug::statsEnabled());
    EXPECT_EQ(0u, YavMemDebug::flags(YAV_N_GENERAL_ALLOCATOR));
    EXPECT_EQ(0u, YavMemDebug::flags(YAV_N_URC));
    EXPECT_EQ(YAV_S_INVALID_VALUE, YavMemDebug::setStatsPeriod(-1));
}

}  // namespace
