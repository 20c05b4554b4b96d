// Helpers shared by the tests of the string and buffer types.
#ifndef YAV_CORE_BUFFERS_YAV_STRING_TEST_AIDS_H
#define YAV_CORE_BUFFERS_YAV_STRING_TEST_AIDS_H

#include <gtest/gtest.h>
#include <locale.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/memory/YavAllocator.h"

// A heap allocator that refuses on demand and counts what it hands out.
class YavRefusingAllocator : public YavAllocator {
  public:
    // Allocations succeed while this is false.
    bool m_refuse = false;
    int m_allocations = 0;
    int m_outstanding = 0;
    size_t m_lastSize = 0;

  protected:
    void* do_allocate(size_t size) override {
        if (m_refuse) return nullptr;
        ++m_allocations;
        ++m_outstanding;
        m_lastSize = size;
        return malloc(size);
    }
    void do_deallocate(void* ptr) override {
        --m_outstanding;
        free(ptr);
    }
};

// A copy of some units in a heap block of exactly their size, with no
// terminator, so that AddressSanitizer reports any read past them.
template <class CharT>
class ExactUnits {
  public:
    ExactUnits(const CharT* units, size_t count)
        : m_data(new CharT[count == 0 ? 1 : count]), m_count(count) {
        memcpy(m_data.get(), units, count * sizeof(CharT));
    }
    const CharT* data() const { return m_data.get(); }
    int size() const { return static_cast<int>(m_count); }

  private:
    std::unique_ptr<CharT[]> m_data;
    size_t m_count;
};

inline ExactUnits<char> exactChars(const std::string& text) {
    return ExactUnits<char>(text.data(), text.size());
}

// Runs each test in the C.UTF-8 locale (where case mapping covers Unicode)
// and restores the previous locale after it.
class YavUtf8LocaleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_saved = setlocale(LC_ALL, nullptr);
        ASSERT_NE(setlocale(LC_ALL, "C.UTF-8"), nullptr);
    }
    void TearDown() override { setlocale(LC_ALL, m_saved.c_str()); }

  private:
    std::string m_saved;
};

#endif  // YAV_CORE_BUFFERS_YAV_STRING_TEST_AIDS_H
