#include "core/memory/yav_alloc.h"

#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"

namespace {

struct Deleter {
    void operator()(yav_allocator* a) const {
        yav_allocator_gc(a);
        EXPECT_EQ(0u, yav_allocator_delete(a));
    }
};
using Allocator = std::unique_ptr<yav_allocator, Deleter>;

Allocator make(uint32_t flags, size_t blockSize, unsigned initialBlocks,
               const char* name = nullptr) {
    yav_allocator* a = nullptr;
    yav_status_t status = 1;
    EXPECT_EQ(0u, yav_allocator_new(flags, YAV_N_GENERAL_ALLOCATOR, name, blockSize, initialBlocks,
                                    &a, &status));
    EXPECT_EQ(0u, status);
    return Allocator(a);
}

TEST(YavAllocTest, NonGrowableFailsWhenEmptyAndReusesTheLastFreedBlock) {
    Allocator a = make(0, 24, 2);
    void* p1 = yav_alloc(a.get());
    void* p2 = yav_alloc(a.get());
    ASSERT_NE(nullptr, p1);
    ASSERT_NE(nullptr, p2);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(p2) % 16);  // user areas stay 16-byte aligned
    EXPECT_EQ(nullptr, yav_alloc(a.get()));
    EXPECT_EQ(nullptr, yav_alloc_var(a.get(), 25));  // larger than the fixed block size
    EXPECT_EQ(2u, a->n_blocks);
    EXPECT_EQ(0u, a->n_free);
    yav_free(a.get(), p1);
    EXPECT_EQ(1u, a->n_free);
    EXPECT_EQ(p1, yav_alloc(a.get()));
    yav_free(a.get(), p2);
    yav_free(a.get(), p1);
}

TEST(YavAllocTest, GcReturnsEveryOutstandingBlock) {
    Allocator a = make(YAV_ALLOC_VARIABLE | YAV_ALLOC_GROWABLE, 32, 3);
    std::vector<void*> blocks;
    for (size_t size : {10, 32, 100, 7, 64}) blocks.push_back(yav_alloc_var(a.get(), size));
    yav_free(a.get(), blocks[1]);
    yav_allocator_gc(a.get());
    EXPECT_EQ(a->n_blocks, a->n_free);
    EXPECT_TRUE(yav_alloc_QIsEmpty(&a->alloc_list));
    EXPECT_EQ(13u, a->n_blocks);  // a growable allocator adds ten blocks when empty
    // Every block is usable again.
    for (unsigned i = 0; i < a->n_blocks; ++i) EXPECT_NE(nullptr, yav_alloc_var(a.get(), 16));
}

TEST(YavAllocTest, StrictDeleteRefusesWhileABlockIsOutstanding) {
    yav_allocator* a = nullptr;
    ASSERT_EQ(0u, yav_allocator_new(YAV_ALLOC_STRICT_DELETE, YAV_N_GENERAL_ALLOCATOR, nullptr, 16,
                                    2, &a, nullptr));
    void* p = yav_alloc(a);
    EXPECT_EQ(YAV_S_ALLOC_OUTSTANDING, yav_allocator_delete(a));
    // Still usable.
    void* q = yav_alloc(a);
    ASSERT_NE(nullptr, q);
    yav_free(a, q);
    yav_free(a, p);
    EXPECT_EQ(2u, a->n_free);
    EXPECT_EQ(0u, yav_allocator_delete(a));
}

TEST(YavAllocTest, VariableBlocksGrowToTheRequestAndKeepContentOnRealloc) {
    Allocator a = make(YAV_ALLOC_VARIABLE, 16, 2);
    char* p = static_cast<char*>(yav_alloc_var(a.get(), 100));
    ASSERT_NE(nullptr, p);
    auto* h = reinterpret_cast<yav_alloc_var_header*>(p - YAV_ALLOC_HEADER_SIZE);
    EXPECT_EQ(100u, h->size);
    EXPECT_EQ(a.get(), h->allocator);
    for (int i = 0; i < 100; ++i) p[i] = static_cast<char>(i);
    EXPECT_EQ(p, yav_realloc_var(a.get(), p, 60));  // large enough already
    char* q = static_cast<char*>(yav_realloc_var(a.get(), p, 5000));
    ASSERT_NE(nullptr, q);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(static_cast<char>(i), q[i]) << i;
    memset(q, 1, 5000);
    EXPECT_EQ(1u, a->n_free);
    EXPECT_EQ(nullptr, yav_realloc_var(a.get(), q, 0));  // frees
    EXPECT_EQ(2u, a->n_free);

    const char text[] = "duplicated";
    char* copy = static_cast<char*>(yav_alloc_dup(a.get(), text, sizeof text));
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ(text, copy);
    EXPECT_EQ(nullptr, yav_alloc_dup(a.get(), text, 0));
}

TEST(YavAllocTest, NullAllocatorUsesTheHeapWithAHeader) {
    char* p = static_cast<char*>(yav_alloc_var(nullptr, 10));
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(p) % 16);
    auto* h = reinterpret_cast<yav_alloc_var_header*>(p - YAV_ALLOC_HEADER_SIZE);
    EXPECT_EQ(10u, h->size);
    EXPECT_EQ(nullptr, h->allocator);
    memcpy(p, "0123456789", 10);
    p = static_cast<char*>(yav_realloc_var(nullptr, p, 1000));
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0, memcmp(p, "0123456789", 10));
    yav_free(nullptr, p);
    EXPECT_EQ(nullptr, yav_alloc_var(nullptr, SIZE_MAX - 8));  // size overflow
}

TEST(YavAllocTest, NameBecomesATraceComponentName) {
    const struct {
        const char* name;
        const char* component;
    } cases[] = {
        {"a b", "a-b"},         {"\xE9", "xE9"},     {"general.allocator", "general-allocator"},
        {"x_y", "x_y"},         {"tab\tq", "tab-q"}, {"%s%n", "-s-n"},
        {"\x01\x7f", "x01x7F"}, {"Az09", "Az09"},    {"", ""},
    };
    for (const auto& c : cases) {
        Allocator a = make(0, 8, 0, c.name);
        ASSERT_NE(nullptr, a->component_name) << c.name;
        EXPECT_STREQ(c.component, a->component_name) << c.name;
    }
    Allocator unnamed = make(0, 8, 0);
    EXPECT_EQ(nullptr, unnamed->component_name);
    EXPECT_STREQ("general.allocator", yav_allocator_name(unnamed.get()));
    unnamed->name_code = 0;  // a code without text
    EXPECT_STREQ("<unknown>", yav_allocator_name(unnamed.get()));
}

TEST(YavAllocTest, DebugFlagsImplyAndExcludeEachOther) {
    const struct {
        uint32_t given;
        uint32_t effective;
    } cases[] = {
        {YAV_ALLOC_GUARD_THREAD | YAV_ALLOC_UNLOCKED, YAV_ALLOC_GUARD_THREAD | YAV_ALLOC_GUARDS},
        {YAV_ALLOC_CUSTOM_PATTERN, YAV_ALLOC_CUSTOM_PATTERN | YAV_ALLOC_GUARDS},
        {YAV_ALLOC_PAGE_PROTECT | YAV_ALLOC_GUARDS | YAV_ALLOC_CUSTOM_PATTERN,
         YAV_ALLOC_PAGE_PROTECT},
        {YAV_ALLOC_UNLOCKED | YAV_ALLOC_VARIABLE, YAV_ALLOC_UNLOCKED | YAV_ALLOC_VARIABLE},
    };
    for (const auto& c : cases) {
        Allocator a = make(c.given, 8, 1);
        EXPECT_EQ(c.effective, a->flags) << std::hex << c.given;
        EXPECT_EQ((c.effective & YAV_ALLOC_GUARDS) ? 16u : 0u, a->end_pattern_len);
    }
    // A page-protected variable allocator that cannot grow keeps a spare block.
    EXPECT_EQ(3u, make(YAV_ALLOC_PAGE_PROTECT | YAV_ALLOC_VARIABLE, 8, 2)->n_blocks);
    EXPECT_EQ(
        2u, make(YAV_ALLOC_PAGE_PROTECT | YAV_ALLOC_VARIABLE | YAV_ALLOC_GROWABLE, 8, 2)->n_blocks);
}

TEST(YavAllocTest, StatisticsFollowAKnownSequence) {
    Allocator a = make(YAV_ALLOC_VARIABLE | YAV_ALLOC_GROWABLE | YAV_ALLOC_STATS, 64, 2);
    void* big = yav_alloc_var(a.get(), 100);  // first block grows to 100
    EXPECT_NE(nullptr, yav_alloc_var(a.get(), 10));
    yav_free(a.get(), big);
    void* again = yav_alloc_var(a.get(), 3);  // takes the 100-byte block back
    EXPECT_EQ(big, again);
    void* grown = yav_alloc_var(a.get(), 20);  // makes 10 more blocks of 64
    ASSERT_NE(nullptr, grown);
    yav_allocator_gc(a.get());

    yav_alloc_stats s;
    yav_allocator_get_stats(a.get(), &s);
    EXPECT_EQ(64, s.min_block_size);
    EXPECT_EQ(100, s.max_block_size);
    EXPECT_EQ(4, s.blocks_allocated);
    EXPECT_EQ(100 + 64 + 100 + 64, s.bytes_allocated);
    EXPECT_EQ(1, s.blocks_freed);
    EXPECT_EQ(100, s.bytes_freed);
    EXPECT_EQ(3, s.blocks_gced);
    EXPECT_EQ(64 + 100 + 64, s.bytes_gced);
    EXPECT_EQ(0, s.blocks_outstanding);
    EXPECT_EQ(0, s.bytes_outstanding);
    EXPECT_EQ(12, s.blocks_available);
    EXPECT_EQ(100 + 11 * 64, s.bytes_available);
    EXPECT_EQ(3, s.peak_blocks_outstanding);
    EXPECT_EQ(228, s.peak_bytes_outstanding);
}

TEST(YavAllocTest, ReporterWritesTwelveLabelledLinesPerAllocator) {
    Allocator named = make(YAV_ALLOC_STATS | YAV_ALLOC_NAMED_STATS, 48, 1, "my pool");
    Allocator plain = make(YAV_ALLOC_STATS, 16, 2);
    yav_free(named.get(), yav_alloc(named.get()));
    kr_svc_set_debug_level(yav_svc_plugin_handle(), yav_svc_memory, 1);
    testing::internal::CaptureStderr();
    yav_allocator_report_stats();
    std::string out = testing::internal::GetCapturedStderr();
    kr_svc_set_debug_level(yav_svc_plugin_handle(), yav_svc_memory, 0);

    for (const char* line : {"general.allocator.my-pool: min block size:     48\n",
                             "general.allocator.my-pool: blocks allocated:   1\n",
                             "general.allocator.my-pool: bytes freed:        48\n",
                             "general.allocator: blocks available:   2\n",
                             "general.allocator: bytes outstanding:  0\n"}) {
        EXPECT_NE(std::string::npos, out.find(line)) << line << "\nin\n" << out;
    }
    size_t named_lines = 0;
    for (size_t at = out.find("my-pool: "); at != std::string::npos;
         at = out.find("my-pool: ", at + 1)) {
        ++named_lines;
    }
    EXPECT_EQ(12u, named_lines);
    EXPECT_EQ(YAV_S_INVALID_VALUE, yav_allocator_set_stats_period(0));
    EXPECT_EQ(0u, yav_allocator_set_stats_period(YAV_ALLOC_DEFAULT_STATS_PERIOD));
}

TEST(YavAllocTest, LockedAllocatorSurvivesEightThreads) {
    for (uint32_t flags : {YAV_ALLOC_GROWABLE, YAV_ALLOC_GROWABLE | YAV_ALLOC_VARIABLE |
                                                   YAV_ALLOC_GUARDS | YAV_ALLOC_STATS}) {
        Allocator a = make(flags, 64, 4);
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&a, flags, t] {
                void* kept[8] = {};
                for (int i = 0; i < 2000; ++i) {
                    size_t size = 1 + (i * 7 + t) % 64;
                    void*& slot = kept[i % 8];
                    yav_free(a.get(), slot);
                    slot = yav_alloc_var(a.get(), size);
                    ASSERT_NE(nullptr, slot);
                    memset(slot, t, size);
                    if (flags & YAV_ALLOC_VARIABLE) {
                        slot = yav_realloc_var(a.get(), slot, size * 2);
                        ASSERT_NE(nullptr, slot);
                        ASSERT_EQ(static_cast<char>(t), static_cast<char*>(slot)[size - 1]);
                    }
                }
                for (void* p : kept) yav_free(a.get(), p);
            });
        }
        for (auto& th : threads) th.join();
        EXPECT_EQ(a->n_blocks, a->n_free);
        EXPECT_TRUE(yav_alloc_QIsEmpty(&a->alloc_list));
    }
}

}  // namespace
