#include "core/hash/YavComparators.h"

#include <cstring>
#include <cwchar>

#include "core/ulq/ulq.h"

// constexpr makes every instance constant-initialised: it exists before any
// dynamic initialiser of the library runs.
constexpr YavStringComparator yav_strcmp{};
constexpr YavICaseStringComparator yav_icase_strcmp{};
constexpr YavLCPICaseStringComparator yav_lcp_icase_strcmp{};
constexpr YavWStringComparator yav_wcscmp{};
constexpr YavWICaseStringComparator yav_icase_wcscmp{};
constexpr YavSysWStringComparator yav_sys_wcscmp{};
constexpr YavBinaryComparator yav_memcmp{};

// Every comparator answers 0 for n == 0 before calling a C function: those
// are declared to take non-null pointers even when they would read nothing.

int YavStringComparator::compare(const char* a, const char* b, size_t n) const {
    if (n == 0) return 0;
    return strncmp(a, b, n);
}

const YavStringComparator& YavStringComparator::instance() { return yav_strcmp; }

int YavICaseStringComparator::compare(const char* a, const char* b, size_t n) const {
    if (n == 0) return 0;
    return ulq_strnicmp(ulq_utf8_cs(), ulq_current_loc(), a, b, n);
}

const YavICaseStringComparator& YavICaseStringComparator::instance() { return yav_icase_strcmp; }

int YavLCPICaseStringComparator::compare(const char* a, const char* b, size_t n) const {
    if (n == 0) return 0;
    return ulq_strnicmp(ulq_local_cs(), ulq_current_loc(), a, b, n);
}

const YavLCPICaseStringComparator& YavLCPICaseStringComparator::instance() {
    return yav_lcp_icase_strcmp;
}

int YavWStringComparator::compare(const unsigned short* a, const unsigned short* b,
                                  size_t n) const {
    if (n == 0) return 0;
    return ulq_wcsncmp(a, b, n);
}

const YavWStringComparator& YavWStringComparator::instance() { return yav_wcscmp; }

int YavWICaseStringComparator::compare(const unsigned short* a, const unsigned short* b,
                                       size_t n) const {
    if (n == 0) return 0;
    return ulq_wcsnicmp(ulq_current_loc(), a, b, n);
}

const YavWICaseStringComparator& YavWICaseStringComparator::instance() { return yav_icase_wcscmp; }

int YavSysWStringComparator::compare(const wchar_t* a, const wchar_t* b, size_t n) const {
    if (n == 0) return 0;
    return wcsncmp(a, b, n);
}

const YavSysWStringComparator& YavSysWStringComparator::instance() { return yav_sys_wcscmp; }

int YavBinaryComparator::compare(const unsigned char* a, const unsigned char* b, size_t n) const {
    if (n == 0) return 0;
    return memcmp(a, b, n);
}

const YavBinaryComparator& YavBinaryComparator::instance() { return yav_memcmp; }
