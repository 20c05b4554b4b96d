// The element chain: YavSharedMemAllocator writes it, YavSharedMemIterator
// reads it, in real System V segments and in an exactly sized heap block
// (so that AddressSanitizer sees any read past the end).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "proxyif/ipc/YavSysVSharedMem.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"

namespace {

constexpr unsigned kSegmentSize = 4096;

class YavSharedMemChainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_key.ok()) << m_key.error();
        ASSERT_EQ(0u, m_seg.create(m_key.path(), 'w', kSegmentSize));
    }
    void TearDown() override {
        if (m_seg.getBase() != nullptr) {
            EXPECT_EQ(0u, m_seg.detach());
            EXPECT_EQ(0u, m_seg.destroy());
        }
    }

    unsigned char* at(unsigned offset) {
        return static_cast<unsigned char*>(m_seg.getBase()) + offset;
    }
    static uint32_t word(const unsigned char* p) {
        uint32_t v;
        memcpy(&v, p, sizeof v);
        return v;
    }

    YavIpcTestKey m_key;
    YavSysVSharedMem m_seg;
};

// Writes an element header by hand.
void putHeader(unsigned char* base, unsigned offset, uint32_t len, uint32_t next) {
    memcpy(base + offset, &len, 4);
    memcpy(base + offset + 4, &next, 4);
}

struct Delivered {
    unsigned len;
    const unsigned char* data;
};

// Drains an iterator; a bounded number of calls proves that it ends.
yav_status_t drain(YavSharedMemIterator& it, std::vector<Delivered>& out, int maxCalls = 10000) {
    for (int i = 0; i < maxCalls && it.hasMoreElements(); ++i) {
        unsigned len = 0;
        void* data = nullptr;
        yav_status_t status = it.getNextElement(&len, &data);
        if (status != 0) return status;
        out.push_back({len, static_cast<const unsigned char*>(data)});
    }
    return it.hasMoreElements() ? YAV_S_IPC_INTERNAL : 0;
}

TEST_F(YavSharedMemChainTest, AllocatesExactlyTheRoomAndRefusesOneByteMore) {
    struct Case {
        unsigned start, size, first;  // first: an element written before, or ~0u
    };
    const std::vector<Case> cases = {
        {0, 8, ~0u}, {0, 13, ~0u}, {64, 100, ~0u}, {16, 64, 5}, {0, 40, 24}, {4, 37, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("start " + std::to_string(c.start) + " size " + std::to_string(c.size));
        YavSharedMemAllocator a;
        ASSERT_EQ(0u, a.initialize(m_seg, c.start, c.size));
        void* data = nullptr;
        unsigned used = 0;
        unsigned firstHeader = c.start;
        if (c.first != ~0u) {
            ASSERT_EQ(0u, a.allocate(c.first, &data));
            used = 8 + c.first + YavSharedMemAllocator::pad(c.first);
        }
        const unsigned room = c.size - used - 8;
        const unsigned before = a.getCurrent();
        void* untouched = &data;
        data = untouched;
        EXPECT_EQ(YAV_S_NO_MEMORY, a.allocate(room + 1, &data));
        EXPECT_EQ(untouched, data);
        EXPECT_EQ(before, a.getCurrent());
        if (c.first != ~0u) {
            EXPECT_EQ(YavSharedMemAllocator::kEndMark, word(at(firstHeader + 4)))
                << "a refused element must not be linked";
        }
        ASSERT_EQ(0u, a.allocate(room, &data));
        EXPECT_EQ(at(before + 8), data);
        EXPECT_EQ(room, word(at(before)));
        EXPECT_EQ(YAV_S_NO_MEMORY, a.allocate(0, &data)) << "the region is full";
    }
}

TEST_F(YavSharedMemChainTest, RegionBelowEightBytesRefusesEveryAllocation) {
    for (unsigned size = 0; size < 8; ++size) {
        YavSharedMemAllocator a;
        ASSERT_EQ(0u, a.initialize(m_seg, 32, size));
        void* data = nullptr;
        EXPECT_EQ(YAV_S_NO_MEMORY, a.allocate(0, &data)) << size;
        EXPECT_EQ(32u, a.getCurrent());
    }
}

TEST_F(YavSharedMemChainTest, ElementsAdvanceByHeaderLengthAndPadding) {
    const std::vector<std::pair<unsigned, unsigned>> cases = {
        {0, 8}, {1, 12}, {2, 12}, {3, 12}, {4, 12}, {5, 16}, {8, 16}, {9, 20}, {600, 608},
    };
    for (const auto& c : cases) {
        YavSharedMemAllocator a;
        ASSERT_EQ(0u, a.initialize(m_seg, 100, 1000));
        void* data = nullptr;
        ASSERT_EQ(0u, a.allocate(c.first, &data));
        EXPECT_EQ(100u + c.second, a.getCurrent()) << "length " << c.first;
    }
}

TEST_F(YavSharedMemChainTest, LinksEachElementToTheNextAndMarksTheLast) {
    YavSharedMemAllocator a;
    ASSERT_EQ(0u, a.initialize(m_seg, 256, 512));
    const unsigned lens[] = {5, 0, 12};
    for (unsigned len : lens) {
        void* data = nullptr;
        ASSERT_EQ(0u, a.allocate(len, &data));
        memset(data, 0xAB, len);
    }
    EXPECT_EQ(5u, word(at(256)));
    EXPECT_EQ(256u + 16, word(at(260)));
    EXPECT_EQ(0u, word(at(272)));
    EXPECT_EQ(272u + 8, word(at(276)));
    EXPECT_EQ(12u, word(at(280)));
    EXPECT_EQ(YavSharedMemAllocator::kEndMark, word(at(284)));
    EXPECT_EQ(300u, a.getCurrent());
}

TEST_F(YavSharedMemChainTest, IteratorFromAllocatorDeliversExactlyWhatWasWritten) {
    YavSharedMemAllocator a;
    ASSERT_EQ(0u, a.initialize(m_seg, 64, 1024));
    const std::vector<std::string> texts = {"first", "", "the third element"};
    std::vector<void*> areas;
    for (const std::string& t : texts) {
        void* data = nullptr;
        ASSERT_EQ(0u, a.allocate(static_cast<unsigned>(t.size()), &data));
        memcpy(data, t.data(), t.size());
        areas.push_back(data);
    }
    YavSharedMemIterator it;
    ASSERT_EQ(0u, it.initialize(&a));
    EXPECT_EQ(64u, it.getStart());
    EXPECT_EQ(a.getCurrent() - 64, it.getSize());
    std::vector<Delivered> got;
    ASSERT_EQ(0u, drain(it, got));
    ASSERT_EQ(texts.size(), got.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(areas[i], got[i].data);
        EXPECT_EQ(texts[i], std::string(reinterpret_cast<const char*>(got[i].data), got[i].len));
    }
    unsigned len = 0;
    void* data = nullptr;
    EXPECT_FALSE(it.hasMoreElements());
    EXPECT_EQ(YAV_S_IPC_NO_MORE_SEGMENTS, it.getNextElement(&len, &data));
}

TEST_F(YavSharedMemChainTest, EmptyRegionsHoldNoElement) {
    YavSharedMemAllocator a;
    ASSERT_EQ(0u, a.initialize(m_seg, 8, 100));
    YavSharedMemIterator fromAllocator;
    ASSERT_EQ(0u, fromAllocator.initialize(&a));
    YavSharedMemIterator sizeZero;
    ASSERT_EQ(0u, sizeZero.initialize(m_seg, 8, 0));
    YavSharedMemIterator sizeSeven;
    putHeader(at(0), 8, 0, YavSharedMemAllocator::kEndMark);
    ASSERT_EQ(0u, sizeSeven.initialize(m_seg, 8, 7));
    for (YavSharedMemIterator* it : {&fromAllocator, &sizeZero, &sizeSeven}) {
        unsigned len = 0;
        void* data = nullptr;
        EXPECT_FALSE(it->hasMoreElements());
        EXPECT_EQ(YAV_S_IPC_NO_MORE_SEGMENTS, it->getNextElement(&len, &data));
    }
}

TEST_F(YavSharedMemChainTest, ChainEndsAtEndMarkOrAtElementThatFillsTheRegion) {
    // A padded last element inside a larger region ends at its end mark.
    YavSharedMemAllocator a;
    ASSERT_EQ(0u, a.initialize(m_seg, 0, 200));
    void* data = nullptr;
    ASSERT_EQ(0u, a.allocate(4, &data));
    ASSERT_EQ(0u, a.allocate(5, &data));
    YavSharedMemIterator padded;
    ASSERT_EQ(0u, padded.initialize(m_seg, 0, 200));
    std::vector<Delivered> got;
    ASSERT_EQ(0u, drain(padded, got));
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ(5u, got[1].len);

    // An element that exactly fills the region is the last whatever its
    // next offset says.
    putHeader(at(0), 1000, 12, 1000);
    YavSharedMemIterator filling;
    ASSERT_EQ(0u, filling.initialize(m_seg, 1000, 20));
    got.clear();
    ASSERT_EQ(0u, drain(filling, got));
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(12u, got[0].len);
    EXPECT_EQ(0u, filling.getCurrentOffset());

    // Same from an allocator whose element fills the region with an
    // unpadded length: the padding lies outside the region.
    YavSharedMemAllocator b;
    ASSERT_EQ(0u, b.initialize(m_seg, 2000, 13));
    ASSERT_EQ(0u, b.allocate(5, &data));
    memcpy(data, "abcde", 5);
    YavSharedMemIterator fromB;
    ASSERT_EQ(0u, fromB.initialize(&b));
    EXPECT_EQ(13u, fromB.getSize());
    got.clear();
    ASSERT_EQ(0u, drain(fromB, got));
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(0, memcmp(got[0].data, "abcde", 5));
}

TEST_F(YavSharedMemChainTest, ResetStartsTheChainAgain) {
    YavSharedMemAllocator a;
    ASSERT_EQ(0u, a.initialize(m_seg, 40, 64));
    void* data = nullptr;
    ASSERT_EQ(0u, a.allocate(20, &data));
    a.reset();
    YavSharedMemIterator empty;
    ASSERT_EQ(0u, empty.initialize(&a));
    EXPECT_FALSE(empty.hasMoreElements());
    ASSERT_EQ(0u, a.allocate(48, &data)) << "the whole room is free again";
    EXPECT_EQ(at(48), data);
}

TEST_F(YavSharedMemChainTest, RegionOutsideTheSegmentIsRefused) {
    const std::vector<std::pair<unsigned, unsigned>> cases = {
        {kSegmentSize, 1}, {kSegmentSize - 8, 9}, {0xFFFFFFF0u, 0x20}, {0, 0xFFFFFFFFu}};
    for (const auto& c : cases) {
        YavSharedMemAllocator a;
        EXPECT_EQ(YAV_S_INVALID_PARAMETER, a.initialize(m_seg, c.first, c.second));
        void* data = nullptr;
        EXPECT_EQ(YAV_S_INVALID_PARAMETER, a.allocate(0, &data));
        YavSharedMemIterator it;
        EXPECT_EQ(YAV_S_INVALID_PARAMETER, it.initialize(m_seg, c.first, c.second));
        EXPECT_FALSE(it.hasMoreElements());
    }
    YavSharedMemAllocator whole;
    EXPECT_EQ(0u, whole.initialize(m_seg, 0, kSegmentSize));
}

// A hand-written chain in a region and how many elements come out before
// the iterator refuses it.
struct BadChain {
    const char* name;
    unsigned size;  // region size
    // Writes the chain at offset 0 of the region.
    void (*write)(unsigned char* region, unsigned start);
    unsigned delivered;
};

void lengthPastRegion(unsigned char* r, unsigned s) { putHeader(r, 0, 57, s + 64); }
void hugeLength(unsigned char* r, unsigned) { putHeader(r, 0, 0xFFFFFFFFu, 0xFFFFFFFFu); }
void lengthPastRegionSecond(unsigned char* r, unsigned s) {
    putHeader(r, 0, 4, s + 12);
    putHeader(r, 12, 0xFFFFFFF8u, 0xFFFFFFFFu);
}
void nextPastSegment(unsigned char* r, unsigned) { putHeader(r, 0, 4, 0x7FFFFFF0u); }
void nextAtRegionEnd(unsigned char* r, unsigned s) { putHeader(r, 0, 4, s + 64); }
void headerWouldNotFit(unsigned char* r, unsigned s) { putHeader(r, 0, 4, s + 60); }
void nextToItself(unsigned char* r, unsigned s) { putHeader(r, 0, 4, s); }
void nextBeforeRegion(unsigned char* r, unsigned s) { putHeader(r, 0, 4, s - 16); }
void twoElementLoop(unsigned char* r, unsigned s) {
    putHeader(r, 0, 4, s + 12);
    putHeader(r, 12, 4, s);
}
void unalignedNext(unsigned char* r, unsigned s) { putHeader(r, 0, 4, s + 13); }
void nextInsideData(unsigned char* r, unsigned s) {
    putHeader(r, 0, 16, s + 12);
    putHeader(r, 12, 0, 0xFFFFFFFFu);
}

const std::vector<BadChain>& badChains() {
    static const std::vector<BadChain> chains = {
        {"length past region", 64, lengthPastRegion, 0},
        {"length 0xFFFFFFFF", 64, hugeLength, 0},
        {"second length past region", 64, lengthPastRegionSecond, 1},
        {"next far past the segment", 64, nextPastSegment, 1},
        {"next at the region end", 64, nextAtRegionEnd, 1},
        {"next leaves no room for a header", 64, headerWouldNotFit, 1},
        {"next names itself", 64, nextToItself, 1},
        {"next before the region", 64, nextBeforeRegion, 1},
        {"two elements naming each other", 64, twoElementLoop, 2},
        {"unaligned next", 64, unalignedNext, 1},
        {"next inside the element's data", 64, nextInsideData, 1},
    };
    return chains;
}

void expectRefused(YavSharedMemIterator& it, const BadChain& c, const unsigned char* region) {
    SCOPED_TRACE(c.name);
    std::vector<Delivered> got;
    EXPECT_EQ(YAV_S_IPC_NO_MORE_SEGMENTS, drain(it, got));
    EXPECT_EQ(c.delivered, got.size());
    for (const Delivered& d : got) {
        EXPECT_GE(d.data, region + 8);
        EXPECT_LE(d.data + d.len, region + c.size);
    }
    EXPECT_FALSE(it.hasMoreElements()) << "a refused chain must end";
    unsigned len;
    void* data;
    EXPECT_EQ(YAV_S_IPC_NO_MORE_SEGMENTS, it.getNextElement(&len, &data));
}

TEST_F(YavSharedMemChainTest, MalformedChainsInASegmentEndWithoutLeavingTheRegion) {
    const unsigned start = 128;
    for (const BadChain& c : badChains()) {
        memset(at(0), 0, kSegmentSize);
        c.write(at(start), start);
        YavSharedMemIterator it;
        ASSERT_EQ(0u, it.initialize(m_seg, start, c.size));
        expectRefused(it, c, at(start));
    }
}

TEST(YavSharedMemChainHeapTest, MalformedChainsInAnExactBlockEndWithoutReadingPastIt) {
    for (const BadChain& c : badChains()) {
        // The region is the whole block; a start of 16 leaves room for
        // "next before the region" inside the block.
        const unsigned start = 16;
        YavHeapSharedMem seg(start + c.size);
        ASSERT_TRUE(seg.ok());
        c.write(seg.bytes() + start, start);
        YavSharedMemIterator it;
        ASSERT_EQ(0u, it.initialize(seg, start, c.size));
        expectRefused(it, c, seg.bytes() + start);
    }
}

TEST(YavSharedMemChainHeapTest, RandomRegionsNeverLeadOutsideAndAlwaysEnd) {
    std::mt19937 random(20261205);
    for (int round = 0; round < 2000; ++round) {
        const unsigned size = random() % 96;
        YavHeapSharedMem seg(size);
        ASSERT_TRUE(seg.ok());
        for (unsigned i = 0; i < size; ++i) seg.bytes()[i] = static_cast<unsigned char>(random());
        // Small lengths and in-region offsets make long chains likely.
        for (unsigned i = 0; i + 8 <= size; i += 4) {
            if (random() % 2 != 0) {
                putHeader(seg.bytes(), i, random() % 16, (random() % (size + 8)) & ~1u);
            }
        }
        YavSharedMemIterator it;
        ASSERT_EQ(0u, it.initialize(seg, 0, size));
        std::vector<Delivered> got;
        yav_status_t status = drain(it, got, static_cast<int>(size / 8 + 2));
        ASSERT_NE(YAV_S_IPC_INTERNAL, status) << "the chain did not end, round " << round;
        for (const Delivered& d : got) {
            ASSERT_LE(d.data + d.len, seg.bytes() + size);
        }
    }
}

TEST_F(YavSharedMemChainTest, CopyRawHandsTheRegionToAnotherSegment) {
    YavSharedMemAllocator a;
    ASSERT_EQ(0u, a.initialize(m_seg, 96, 400));
    const char* texts[] = {"alpha", "bravo charlie", "d"};
    for (const char* t : texts) {
        void* data = nullptr;
        ASSERT_EQ(0u, a.allocate(static_cast<unsigned>(strlen(t)), &data));
        memcpy(data, t, strlen(t));
    }
    YavSharedMemIterator it;
    ASSERT_EQ(0u, it.initialize(&a));

    int len = -1, offset = -1;
    ASSERT_EQ(0u, it.copyRaw(nullptr, &len, &offset));
    EXPECT_EQ(static_cast<int>(a.getCurrent()), len);
    EXPECT_EQ(96, offset);

    YavHeapSharedMem copy(static_cast<unsigned>(len));
    ASSERT_TRUE(copy.ok());
    ASSERT_EQ(0u, it.copyRaw(&copy, &len, &offset));
    EXPECT_EQ(0, memcmp(copy.bytes(), at(0), static_cast<size_t>(len)));

    // The copy is a chain of its own: the next offsets are segment offsets.
    YavSharedMemIterator again;
    ASSERT_EQ(0u, again.initialize(copy, static_cast<unsigned>(offset),
                                   static_cast<unsigned>(len - offset)));
    std::vector<Delivered> got;
    ASSERT_EQ(0u, drain(again, got));
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ("bravo charlie", std::string(reinterpret_cast<const char*>(got[1].data), got[1].len));

    YavHeapSharedMem tooSmall(static_cast<unsigned>(len - 1));
    ASSERT_TRUE(tooSmall.ok());
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, it.copyRaw(&tooSmall, &len, &offset));
    YavSharedMemIterator unset;
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, unset.copyRaw(nullptr, &len, &offset));
}

TEST_F(YavSharedMemChainTest, PooledObjectsComeFromTheClassAllocators) {
    ASSERT_EQ(0u, YavSharedMemAllocator::m_allocator.acquire());
    ASSERT_EQ(0u, YavSharedMemIterator::m_allocator.acquire());
    YavSharedMemAllocator* a = nullptr;
    YavSharedMemIterator* it = nullptr;
    ASSERT_EQ(0u, YavSharedMemAllocator::create(&a));
    ASSERT_EQ(0u, YavSharedMemIterator::create(&it));
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, it);
    ASSERT_EQ(0u, a->initialize(m_seg, 0, 64));
    void* data = nullptr;
    ASSERT_EQ(0u, a->allocate(3, &data));
    ASSERT_EQ(0u, it->initialize(a));
    std::vector<Delivered> got;
    EXPECT_EQ(0u, drain(*it, got));
    EXPECT_EQ(1u, got.size());
    it->deleteMe();
    a->deleteMe();
    YavSharedMemIterator::m_allocator.release();
    YavSharedMemAllocator::m_allocator.release();
    EXPECT_FALSE(YavSharedMemAllocator::m_allocator.isAcquired());
}

}  // namespace
