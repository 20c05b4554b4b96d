// Helpers shared by the tests of the code-set layer and the converters.
#ifndef YAV_CORE_ULQ_ULQ_TEST_AIDS_H
#define YAV_CORE_ULQ_ULQ_TEST_AIDS_H

#include <gtest/gtest.h>
#include <locale.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/ulq/ulq.h"

// A copy of some bytes in a heap block of exactly their size, without a
// terminator, so that AddressSanitizer reports any read past them.
class ExactBytes {
  public:
    explicit ExactBytes(const std::string& bytes) : m_data(new char[bytes.size() + !bytes.size()]) {
        memcpy(m_data.get(), bytes.data(), bytes.size());
        m_size = bytes.size();
    }
    const char* data() const { return m_data.get(); }
    size_t size() const { return m_size; }

  private:
    std::unique_ptr<char[]> m_data;
    size_t m_size;
};

// A handle made by ulq_cs_new, freed at the end of the scope.
class CodeSet {
  public:
    explicit CodeSet(const char* name) : m_cs(ulq_cs_new(name)) {}
    ~CodeSet() { ulq_cs_free(m_cs); }
    CodeSet(const CodeSet&) = delete;
    CodeSet& operator=(const CodeSet&) = delete;
    ulq_cs_t get() const { return m_cs; }

  private:
    ulq_cs_t m_cs;
};

// Runs each test in the C.UTF-8 locale and restores the previous one.
class CUtf8Locale : public ::testing::Test {
  protected:
    void SetUp() override {
        m_saved = setlocale(LC_ALL, nullptr);
        ASSERT_NE(setlocale(LC_ALL, "C.UTF-8"), nullptr) << "the C.UTF-8 locale is missing";
    }
    void TearDown() override { setlocale(LC_ALL, m_saved.c_str()); }

  private:
    std::string m_saved;
};

#endif  // YAV_CORE_ULQ_ULQ_TEST_AIDS_H
