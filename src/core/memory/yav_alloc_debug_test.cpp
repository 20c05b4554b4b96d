// Misuse that the debugging aids of yav_allocator turn into a stopped
// process.  The allocator reports on standard output; the death tests send it
// to standard error, where GoogleTest looks.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "core/memory/yav_alloc.h"
#include "core/msg/yav_status.h"

namespace {

yav_allocator* make(uint32_t flags, size_t blockSize, unsigned initialBlocks,
                    const unsigned char* pattern = nullptr, size_t patternLen = 0) {
    yav_allocator* a = nullptr;
    EXPECT_EQ(0u, yav_allocator_new_with_pattern(flags, YAV_N_GENERAL_ALLOCATOR, nullptr, blockSize,
                                                 initialBlocks, pattern, patternLen, &a, nullptr));
    return a;
}

void release(yav_allocator* a) {
    yav_allocator_gc(a);
    EXPECT_EQ(0u, yav_allocator_delete(a));
}

void stdout_to_stderr() {
    fflush(stdout);
    dup2(STDERR_FILENO, STDOUT_FILENO);
}

// A death test's child is a new process (the threadsafe style re-runs the
// test), so addresses differ from the parent's: match any pointer.
const char kPointer[] = "0x[0-9a-f]+";

class YavAllocDeathTest : public testing::Test {
  protected:
    // The statistics reporter and guard threads may be running.
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(YavAllocDeathTest, WriteOneBytePastABlockIsCaughtAtTheNextCheck) {
    const unsigned char custom[] = {'A', 'B', 'C', 'D'};
    const struct {
        const unsigned char* pattern;
        size_t length;
        unsigned char harmless;  // the pattern's own first byte
        unsigned char harmful;
    } cases[] = {{nullptr, 0, 0x60, 'A'}, {custom, sizeof custom, 'A', 0x60}};
    for (const auto& c : cases) {
        yav_allocator* a = make(YAV_ALLOC_GUARDS | YAV_ALLOC_GROWABLE, 24, 2, c.pattern, c.length);
        unsigned char* p = static_cast<unsigned char*>(yav_alloc(a));
        p[24] = c.harmless;
        yav_allocator_check_guards(a);
        yav_allocator_gc(a);
        p = static_cast<unsigned char*>(yav_alloc(a));
        const std::string expected =
            std::string("^Guard bytes after block ") + kPointer +
            " \\(24 bytes\\) overwritten for allocator general\\.allocator\n";
        EXPECT_DEATH((stdout_to_stderr(), p[24] = c.harmful, yav_alloc(a)), expected);
        EXPECT_DEATH((stdout_to_stderr(), p[24] = c.harmful, yav_allocator_gc(a)), expected);
        EXPECT_DEATH((stdout_to_stderr(), p[24] = c.harmful, yav_allocator_check_guards(a)),
                     expected);
        release(a);
    }
}

// Corrupts the guard after p's 16 bytes and waits for the checker, which runs
// every millisecond, with a generous bound.
void corrupt_and_wait_for_checker(yav_allocator* a, char* p) {
    stdout_to_stderr();
    p[16] = 0;
    struct timespec period = {0, 1000000};
    yav_alloc_set_guard_checker_period(a, &period);
    for (int i = 0; i < 10000; ++i) usleep(1000);
    exit(0);
}

TEST_F(YavAllocDeathTest, GuardThreadFindsCorruptionOnItsOwn) {
    yav_allocator* a = make(YAV_ALLOC_GUARD_THREAD | YAV_ALLOC_VARIABLE, 16, 1);
    char* p = static_cast<char*>(yav_alloc_var(a, 16));
    EXPECT_EXIT(corrupt_and_wait_for_checker(a, p), testing::KilledBySignal(SIGABRT),
                "^Guard bytes after block ");
    struct timespec bad = {0, 0};
    EXPECT_EQ(YAV_S_INVALID_VALUE, yav_alloc_set_guard_checker_period(a, &bad));
    release(a);
}

TEST_F(YavAllocDeathTest, DoubleAndForeignFreesAreReportedWithDebugOn) {
    yav_allocator* a = make(YAV_ALLOC_STATS | YAV_ALLOC_VARIABLE, 32, 2);
    yav_allocator* other = make(0, 32, 1);
    void* mine = yav_alloc_var(a, 8);
    void* freed = yav_alloc_var(a, 8);
    yav_free(a, freed);
    void* foreign = yav_alloc(other);
    EXPECT_DEATH(
        (stdout_to_stderr(), yav_free(a, freed)),
        std::string("^Double free of ") + kPointer + " for allocator general\\.allocator\n");
    EXPECT_DEATH((stdout_to_stderr(), yav_free(a, foreign)),
                 std::string("^Freeing memory of wrong type ") + kPointer +
                     " for allocator general\\.allocator\n");
    EXPECT_DEATH((stdout_to_stderr(), yav_realloc_var(a, freed, 100)), "^Double free of ");
    // Without debugging the header still names the allocator.
    EXPECT_DEATH(yav_free(other, mine), "Assertion failed at .*: allocator == h->allocator\n");
    yav_free(a, mine);
    yav_free(other, foreign);
    release(a);
    release(other);
}

TEST_F(YavAllocDeathTest, GcStopsWhenTheCountsDisagreeWithTheLists) {
    // Without debugging a double free goes unnoticed but leaves n_free too
    // high; garbage collection then finds blocks left on the allocated list.
    yav_allocator* a = make(0, 16, 2);
    void* p = yav_alloc(a);
    ASSERT_NE(nullptr, yav_alloc(a));
    yav_free(a, p);
    yav_free(a, p);
    EXPECT_DEATH(yav_allocator_gc(a),
                 "Assertion failed at .*: yav_alloc_QIsEmpty\\(&allocator->alloc_list\\)\n");
    a->n_free = 1;  // undo the miscount so that the blocks can be released
    release(a);
}

TEST_F(YavAllocDeathTest, PageProtectedBlocksFaultWhenFreeOrOverrun) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    yav_allocator* a = make(YAV_ALLOC_PAGE_PROTECT | YAV_ALLOC_VARIABLE, page, 2);
    char* p = static_cast<char*>(yav_alloc_var(a, page));
    memset(p, 1, page);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(p) % page);
    // Growing moves the content to another block and protects the old one.
    char* q = static_cast<char*>(yav_realloc_var(a, p, 2 * page));
    ASSERT_NE(nullptr, q);
    ASSERT_NE(p, q);
    EXPECT_EQ(1, q[page - 1]);
    memset(q, 2, 2 * page);
    EXPECT_EXIT((signal(SIGSEGV, SIG_DFL), p[0] = 3), testing::KilledBySignal(SIGSEGV), "");
    EXPECT_EXIT((signal(SIGSEGV, SIG_DFL), q[2 * page] = 3), testing::KilledBySignal(SIGSEGV), "");
    yav_free(a, q);
    EXPECT_EXIT((signal(SIGSEGV, SIG_DFL), q[0] = 3), testing::KilledBySignal(SIGSEGV), "");
    release(a);
}

}  // namespace
