// YavHTML: makes text safe to place in a generated HTML page, and reverses
// that for the four entities it writes.
//
// Stateless: every member is static and any thread may call it.  The output
// string belongs to the caller; the functions only append to it, using the
// string's own allocator.  Not instantiable.
#ifndef YAV_CORE_HTML_YAVHTML_H
#define YAV_CORE_HTML_YAVHTML_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"

// The four entities escape writes (built by static initialisers).
extern YAV_EXPORT const YavStringRef yav_html_amp;   // "&amp;"
extern YAV_EXPORT const YavStringRef yav_html_gt;    // "&gt;"
extern YAV_EXPORT const YavStringRef yav_html_lt;    // "&lt;"
extern YAV_EXPORT const YavStringRef yav_html_quot;  // "&quot;"

class YAV_EXPORT YavHTML {
  public:
    // True when text holds '<', '>' or '"', the characters that can open
    // markup or end an attribute value.  '&' and '\'' alone are not tainted.
    static bool tainted(const YavStringRef& text);

    // Appends text to out with '"', '&', '<' and '>' replaced by their
    // entities; every other byte is copied.  YAV_S_NO_MEMORY when out cannot
    // grow (out then keeps what was appended so far).
    static yav_status_t escape(const YavStringRef& text, YavString& out);

    // Appends text to out with the four entities above (exact, case-sensitive,
    // semicolon included) replaced by their characters; everything else,
    // numeric references included, is copied.  YAV_S_NO_MEMORY when out
    // cannot grow.
    static yav_status_t unescape(const YavStringRef& text, YavString& out);

  private:
    YavHTML() = delete;
};

#endif  // YAV_CORE_HTML_YAVHTML_H
