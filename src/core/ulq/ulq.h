// The code-set and locale layer: the ulq_ functions through which libyav
// handles text whose meaning depends on a code set or a locale.  A small
// layer of our own over glibc locales (newlocale, *_l functions) and iconv.
//
// A code set (ulq_cs_t) is an opaque handle made from a code-set name
// ("UTF8" for UTF-8; any iconv name otherwise); a locale (ulq_loc_t) one made
// from a locale name.  Handles are immutable once made and may be used from
// any thread; a handle made by ulq_cs_new or ulq_loc_new belongs to its
// maker, who frees it once no thread uses it.  A null code set means the
// default code set (ulq_get_def_cs), a null locale the current locale.
// No function here splits a multi-byte character: a character that does
// not fit whole is left out.  No function reads past the length or the
// terminator it is given.
//
// UTF-8 and US-ASCII are coded by our own strict code (no overlong forms,
// no encoded surrogates, nothing above U+10FFFF); other code sets through
// iconv.  Stateful code sets (ISO-2022-*, UTF-7) are coded one character
// at a time from the initial state.  Code sets in which a zero byte is not
// the character U+0000 (UTF-16, UCS-4, ...) are refused by ulq_cs_new.
//
// UCS-2 text is a sequence of 16-bit units (ulq_wchar_t); characters above
// U+FFFF have no UCS-2 form and fail the conversion.
#ifndef YAV_CORE_ULQ_ULQ_H
#define YAV_CORE_ULQ_ULQ_H

#include <cstddef>
#include <cwchar>

#include "core/sundry/yav_base.h"

typedef struct ulq_cs_s* ulq_cs_t;
typedef struct ulq_loc_s* ulq_loc_t;
typedef unsigned short ulq_wchar_t;

// ---- handles and settings --------------------------------------------------
// Null when the name is unknown or memory ran out.  "UTF8" and "UTF-8"
// (in any case) name UTF-8.
YAV_EXPORT ulq_cs_t ulq_cs_new(const char* name);
// Frees a handle of ulq_cs_new (null and the process-wide handles are
// ignored).  REQUIRES: no thread uses cs any more.
YAV_EXPORT void ulq_cs_free(ulq_cs_t cs);
// The name the handle was made from.
YAV_EXPORT const char* ulq_cs_name(ulq_cs_t cs);
// Most bytes one character of cs takes (1 for single-byte code sets, 4 for
// UTF-8, MB_LEN_MAX for other multi-byte code sets).
YAV_EXPORT int ulq_mb_cur_max(ulq_cs_t cs);
// 1 when cs is UTF-8, else 0.
YAV_EXPORT int ulq_cs_is_utf8(ulq_cs_t cs);
// Default code set of the layer (the local code page until set; null sets
// it back).  Returns 0.  REQUIRES: cs outlives its use as the default
// (ulq_cs_free of the default handle resets the default).
YAV_EXPORT int ulq_set_def_cs(ulq_cs_t cs);
YAV_EXPORT ulq_cs_t ulq_get_def_cs();
// Name of the operating system's current code set; 0 or -1 when it does not fit.
YAV_EXPORT int ulq_os_cs_name(char* buffer, size_t size);

// Null when the system has no such locale or memory ran out ("" is the
// locale the environment names).  ulq_loc_free ignores null and the
// process-wide handle.  REQUIRES: no thread uses loc any more.
YAV_EXPORT ulq_loc_t ulq_loc_new(const char* name);
YAV_EXPORT void ulq_loc_free(ulq_loc_t loc);
// Normalised locale name ("en_US.UTF-8" -> "en_US"), language ("en") and the
// operating system's current language (the LC_MESSAGES locale name); 0 on
// success, -1 when it does not fit.
YAV_EXPORT int ulq_canonical_loc(const char* name, char* buffer, size_t size);
YAV_EXPORT int ulq_canonical_lang(const char* name, char* buffer, size_t size);
YAV_EXPORT int ulq_os_lang_name(char* buffer, size_t size);

// The layer's data directory (as set; else the ULQDIR environment
// variable; else "") and the catalog search path (NLSPATH, else "").
// ulq_set_dir returns 0, or -1 for a null dir or when memory ran out;
// earlier values stay readable.
YAV_EXPORT int ulq_set_dir(const char* dir);
YAV_EXPORT const char* ulq_get_dir();
YAV_EXPORT const char* ulq_get_nlspath();

// Process-wide handles: the local code page of the current locale, UTF-8,
// and the current locale.  Made on first use; never freed.  After the
// program changes its locale (setlocale), the local code page and the
// current locale are the new locale's; handles given out before stay
// valid.  Never null (ulq_current_loc: only when memory ran out at first
// use).  A program that never called setlocale runs in the "C" locale,
// whose code set is ASCII.
YAV_EXPORT ulq_cs_t ulq_local_cs();
YAV_EXPORT ulq_cs_t ulq_utf8_cs();
YAV_EXPORT ulq_loc_t ulq_current_loc();

// ---- conversions -----------------------------------------------------------
// Between a code set and UTF-8.  Return the output length in bytes (no
// terminator is written), or -1 for an invalid or incomplete source
// sequence, or when dst is too small (nothing partial is reported).
YAV_EXPORT long ulq_to_utf8(ulq_cs_t cs, const char* src, size_t srcLen, char* dst, size_t dstSize);
YAV_EXPORT long ulq_from_utf8(ulq_cs_t cs, const char* src, size_t srcLen, char* dst,
                              size_t dstSize);

// Resumable conversions between a code set and UCS-2: advance *src, *dst and
// decrease the remaining sizes (bytes for multi-byte text, units for UCS-2)
// past every character converted.  Return 0 when the whole source was
// converted, -1 otherwise with errno E2BIG (destination full), EILSEQ
// (invalid sequence or a character with no form in the target) or EINVAL
// (incomplete sequence at the end of the source).
YAV_EXPORT int ulq_to_ucs2_r(ulq_cs_t cs, const char** src, size_t* srcLeft, ulq_wchar_t** dst,
                             size_t* dstLeft);
YAV_EXPORT int ulq_from_ucs2_r(ulq_cs_t cs, const ulq_wchar_t** src, size_t* srcLeft, char** dst,
                               size_t* dstLeft);
// Whole conversion of len units; the output length or -1.
YAV_EXPORT long ulq_from_ucs2(ulq_cs_t cs, const ulq_wchar_t* src, size_t len, char* dst,
                              size_t dstSize);

// Length of the character at s (at most n bytes): 0 for a zero byte, -1 for
// an invalid or incomplete sequence; 0 for a null s (no shift states).
YAV_EXPORT int ulq_mblen(ulq_cs_t cs, const char* s, size_t n);
// Decodes one character; returns its length as ulq_mblen does.
YAV_EXPORT int ulq_mbtowc(ulq_cs_t cs, wchar_t* wc, const char* s, size_t n);
// Encodes wc into buffer (room for MB_LEN_MAX bytes); the length, or -1 when
// the character has no form in the code set.  L'\0' gives one zero byte.
YAV_EXPORT int ulq_wctomb(ulq_cs_t cs, char* buffer, wchar_t wc);
// Zero-terminated conversions with at most n output units, as mbstowcs and
// wcstombs: the count written (terminator not counted, written when there
// is room; a character that does not fit whole ends the output); with a null
// dst the count needed; (size_t)-1 on an invalid sequence.
YAV_EXPORT size_t ulq_mbstowcs(ulq_cs_t cs, wchar_t* dst, const char* src, size_t n);
YAV_EXPORT size_t ulq_wcstombs(ulq_cs_t cs, char* dst, const wchar_t* src, size_t n);

// ---- code-set-aware string functions ---------------------------------------
// As their C counterparts, but stepping over whole characters of cs: a
// character is found only where a character starts.  A byte that does not
// decode is stepped over alone and matches no character.
YAV_EXPORT const char* ulq_strchr(ulq_cs_t cs, const char* s, wchar_t c);
YAV_EXPORT const char* ulq_strrchr(ulq_cs_t cs, const char* s, wchar_t c);
YAV_EXPORT const char* ulq_strstr(ulq_cs_t cs, const char* s, const char* find);
YAV_EXPORT size_t ulq_strcspn(ulq_cs_t cs, const char* s, const char* set);
// Copies/appends at most n bytes without splitting a character, always
// terminating dst (dst has room for n + 1 bytes, strncat: for strlen(dst) + n + 1).
YAV_EXPORT char* ulq_strncpy(ulq_cs_t cs, char* dst, const char* src, size_t n);
YAV_EXPORT char* ulq_strncat(ulq_cs_t cs, char* dst, const char* src, size_t n);
// Lower-cases s in place by the current locale's rules; characters whose
// lower-case form is longer are left unchanged, shorter ones shorten the
// text.  Bytes below 0x80 of an ASCII-based code set are lowered by the
// ASCII rule (A-Z only) in every locale, as the case-insensitive hashers
// do, so that texts that compare equal hash equal.
YAV_EXPORT char* ulq_strlower(ulq_cs_t cs, char* s);
// Case-insensitive comparison of at most n bytes of each text by loc's
// rules (<0, 0, >0).  Characters are decoded and lowered (bytes below 0x80
// as in ulq_strlower, others with towlower_l) and the lowered values
// compared; a byte that does not decode (invalid, or a character cut by n)
// compares by its byte value, above every character.  A text that ends
// (terminator) before the other is the lesser; reaching n ends the
// comparison as equal.  Never reads past n bytes or a terminator.
YAV_EXPORT int ulq_strnicmp(ulq_cs_t cs, ulq_loc_t loc, const char* a, const char* b, size_t n);
YAV_EXPORT int ulq_stricmp(ulq_cs_t cs, ulq_loc_t loc, const char* a, const char* b);

// UCS-2 string functions (units compared as unsigned values; the
// case-insensitive form lowers each unit with towlower_l of loc).
YAV_EXPORT size_t ulq_wcslen(const ulq_wchar_t* s);
YAV_EXPORT const ulq_wchar_t* ulq_wcschr(const ulq_wchar_t* s, ulq_wchar_t c);
YAV_EXPORT int ulq_wcsncmp(const ulq_wchar_t* a, const ulq_wchar_t* b, size_t n);
YAV_EXPORT int ulq_wcsnicmp(ulq_loc_t loc, const ulq_wchar_t* a, const ulq_wchar_t* b, size_t n);
YAV_EXPORT wchar_t ulq_towlower(ulq_loc_t loc, wchar_t wc);
// iswspace under the current locale.
YAV_EXPORT int ulq_iswspace(wchar_t wc);

#endif  // YAV_CORE_ULQ_ULQ_H
