// Internal pieces of the install-directory table, exposed for the tests:
// how the localized HTML directory (YAV_HTML_LANG_DIR) is chosen.  Not part
// of the exported interface.  Stateless apart from the file system; any
// thread may call them.
#ifndef YAV_CORE_SYSTEM_YAV_PATHS_INTERNAL_H
#define YAV_CORE_SYSTEM_YAV_PATHS_INTERNAL_H

#include <cstddef>

// Longest canonical locale name tried as a subdirectory, in bytes.
constexpr size_t YAV_PATHS_LOCALE_MAX = 32;

// The locale name that selects the localized HTML directory: lcAll, else
// lcMessages (null and empty values are ignored), else the operating
// system's language name (written into buffer), else "C".  The result is
// one of the arguments, buffer, or a static string.
// REQUIRES: buffer holds size > 0 bytes.
const char* yav_paths_locale_name(const char* lcAll, const char* lcMessages, char* buffer,
                                  size_t size);

// Writes into out the localized subdirectory of base for locale, followed
// by "/": the first existing directory among the canonical locale name,
// its first two characters, the canonical language name and "C".  A
// candidate that is empty, contains "/", is "." or "..", or does not fit
// in out is skipped.  When no candidate exists, out is base itself (with a
// "/" added when base lacks one).  Returns the length written.
// REQUIRES: base and locale are not null; out holds size bytes, at least
// strlen(base) + 2.
size_t yav_paths_localized_dir(const char* base, const char* locale, char* out, size_t size);

#endif  // YAV_CORE_SYSTEM_YAV_PATHS_INTERNAL_H
