#include "core/buffers/yav_format_string.h"

#include <cwchar>

#include "core/ulq/ulq.h"

namespace {

// Character index of wc in the terminated keys text, or -1.
int keyIndex(ulq_cs_t cs, const char* keys, wchar_t wc) {
    if (wc == 0) return -1;  // ulq_strchr would find the terminator
    const char* hit = ulq_strchr(cs, keys, wc);
    if (hit == nullptr) return -1;
    int index = 0;
    for (const char* p = keys; p < hit; ++index) {
        int length = ulq_mblen(cs, p, static_cast<size_t>(hit - p));
        p += length > 0 ? length : 1;
    }
    return index;
}

template <class Enc>
bool format(ulq_cs_t cs, const YavStringRefT<char, Enc>& tmpl, const YavStringRefT<char, Enc>& keys,
            const YavStringRefT<char, Enc>* values, YavStringT<char, Enc>& out) {
    const char* keyText = keys.getTerminated();
    if (keyText == nullptr) return false;
    const char* text = tmpl.getData();
    int length = tmpl.getLength();
    out.clear();
    if (!out.reserve(length)) return false;
    // Text between placeholders is copied in runs.
    int runStart = 0;
    int i = 0;
    while (i + 1 < length) {
        if (text[i] != '%') {
            ++i;
            continue;
        }
        if (!out.append(text + runStart, i - runStart)) return false;
        const char* x = text + i + 1;
        wchar_t wc = 0;
        int xLength = ulq_mbtowc(cs, &wc, x, static_cast<size_t>(length - i - 1));
        int index = -1;
        if (xLength > 0) {
            index = keyIndex(cs, keyText, wc);
        } else {
            xLength = 1;
        }
        bool appended = index >= 0 ? out.append(values[index]) : out.append(x, xLength);
        if (!appended) return false;
        i += 1 + xLength;
        runStart = i;
    }
    return out.append(text + runStart, length - runStart);
}

}  // namespace

bool yav_format_string(const YavStringRef& tmpl, const YavStringRef& keys,
                       const YavStringRef* values, YavString& out) {
    return format(ulq_utf8_cs(), tmpl, keys, values, out);
}

bool yav_format_lcp_string(const YavLCPStringRef& tmpl, const YavLCPStringRef& keys,
                           const YavLCPStringRef* values, YavLCPString& out) {
    return format(ulq_local_cs(), tmpl, keys, values, out);
}
