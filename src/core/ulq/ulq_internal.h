// Inside of the code-set layer: the records behind ulq_cs_t and ulq_loc_t
// and the scoped accessor through which every ulq_ function decodes and
// encodes characters.  Used only by the files of core/ulq.
//
// A code set is coded one of four ways:
//   - UTF-8 and US-ASCII by our own code (no locks, no iconv);
//   - a single-byte code set through two tables built once with iconv when
//     the handle is made (no locks afterwards);
//   - any other (multi-byte) code set through two iconv descriptors kept
//     by the handle.  An iconv descriptor carries conversion state and is
//     not thread-safe, so m_mutex guards both descriptors; YavCodeSetScope
//     holds it for the whole of one ulq_ call.
// Handles are immutable once made apart from the iconv descriptors' state.
#ifndef YAV_CORE_ULQ_ULQ_INTERNAL_H
#define YAV_CORE_ULQ_ULQ_INTERNAL_H

#include <iconv.h>
#include <locale.h>
#include <pthread.h>

#include <cstddef>
#include <cstdint>

#include "core/sundry/yav_base.h"
#include "core/ulq/ulq.h"

// Results of YavCodeSetScope::decode besides a length.
constexpr int YAV_ULQ_INVALID = -1;
constexpr int YAV_ULQ_INCOMPLETE = -2;

// Longest code-set name a handle keeps (terminator included).
constexpr size_t YAV_ULQ_NAME_MAX = 64;

enum yav_ulq_kind {
    yav_ulq_kind_utf8,
    yav_ulq_kind_ascii,
    yav_ulq_kind_table,
    yav_ulq_kind_iconv,
};

struct ulq_cs_s {
    char m_name[YAV_ULQ_NAME_MAX];
    yav_ulq_kind m_kind;
    // Bytes 0x00-0x7F, where a character starts, are always that character.
    bool m_asciiCompatible;
    // Made by the layer itself (ulq_local_cs, ulq_utf8_cs): ulq_cs_free
    // leaves it alone.
    bool m_permanent;
    // Most bytes one character takes.
    int m_maxLength;
    // Table kind: the character of every byte, -1 for a byte that is none.
    int32_t m_byteToWide[256];
    // Table kind: (character, byte) pairs sorted by character.
    struct WideByte {
        uint32_t wide;
        unsigned char byte;
    } m_wideToByte[256];
    int m_wideToByteCount;
    // Iconv kind: code set -> wchar_t and back.  Guarded by m_mutex.
    iconv_t m_toWide;
    iconv_t m_fromWide;
    pthread_mutex_t m_mutex;
    bool m_mutexMade;
    // Next permanent handle of the same family (process-wide lists).
    ulq_cs_s* m_next;
};

struct ulq_loc_s {
    // Owned; freed with the handle unless the handle is permanent.
    locale_t m_locale;
    char* m_name;
    bool m_permanent;
    ulq_loc_s* m_next;
};

// Resolves a code-set argument (null = the layer's default code set) and
// gives access to its coding for the lifetime of the scope, holding the
// handle's lock when the code set needs one.  Not copyable; one thread.
class YavCodeSetScope {
  public:
    explicit YavCodeSetScope(ulq_cs_t cs);
    ~YavCodeSetScope();
    YAV_DISALLOW_COPY(YavCodeSetScope);

    ulq_cs_t cs() const { return m_cs; }
    bool asciiCompatible() const { return m_cs->m_asciiCompatible; }

    // Decodes the character at s from at most n bytes: its length (>= 1)
    // with the value in *wc, YAV_ULQ_INVALID or YAV_ULQ_INCOMPLETE (also for
    // n == 0).  A zero byte is U+0000 of length 1.
    int decode(const char* s, size_t n, uint32_t* wc);
    // Encodes wc into out (room for MB_LEN_MAX bytes): the length, or -1
    // when wc has no form in the code set.
    int encode(uint32_t wc, char* out);

  private:
    ulq_cs_t m_cs;
    bool m_locked;
};

// Resolves a locale argument (null = the current locale); may give null
// when memory ran out, which yav_ulq_lower accepts.
ulq_loc_t yav_ulq_resolve_loc(ulq_loc_t loc);
// towlower_l under loc, or towlower under the global locale when loc is
// null.
uint32_t yav_ulq_lower(ulq_loc_t loc, uint32_t wc);

#endif  // YAV_CORE_ULQ_ULQ_INTERNAL_H
