// HTML escaping and unescaping of the four entities.
#include "core/html/YavHTML.h"

#include <string.h>

#include "core/msg/yav_status.h"

const YavStringRef yav_html_amp("&amp;", 5);
const YavStringRef yav_html_gt("&gt;", 4);
const YavStringRef yav_html_lt("&lt;", 4);
const YavStringRef yav_html_quot("&quot;", 6);

namespace {

// The entity that replaces c, or null when c is copied as it is.
const YavStringRef* entityFor(char c) {
    switch (c) {
        case '"':
            return &yav_html_quot;
        case '&':
            return &yav_html_amp;
        case '<':
            return &yav_html_lt;
        case '>':
            return &yav_html_gt;
        default:
            return nullptr;
    }
}

// Entities in the order unescape tries them, with the character each stands for.
struct Entity {
    const YavStringRef* text;
    char c;
};
const Entity kEntities[] = {
    {&yav_html_amp, '&'}, {&yav_html_gt, '>'}, {&yav_html_lt, '<'}, {&yav_html_quot, '"'}};

// Room for the input and a terminator beyond what out holds; most inputs need
// no more than that, so the appends below rarely reallocate.
bool reserveFor(YavString& out, int n) {
    int64_t want = static_cast<int64_t>(out.getLength()) + n;
    if (want > YAV_STRING_MAX_LENGTH) return false;
    return out.reserve(static_cast<int>(want));
}

}  // namespace

bool YavHTML::tainted(const YavStringRef& text) {
    const char* s = text.getData();
    for (int i = 0, n = text.getLength(); i < n; ++i) {
        if (s[i] == '<' || s[i] == '>' || s[i] == '"') return true;
    }
    return false;
}

yav_status_t YavHTML::escape(const YavStringRef& text, YavString& out) {
    const char* s = text.getData();
    int n = text.getLength();
    if (!reserveFor(out, n)) return YAV_S_NO_MEMORY;
    // Runs of plain bytes are appended at once, each special byte as its entity.
    int start = 0;
    for (int i = 0; i < n; ++i) {
        const YavStringRef* entity = entityFor(s[i]);
        if (entity == nullptr) continue;
        if (!out.append(s + start, i - start)) return YAV_S_NO_MEMORY;
        if (!out.append(*entity)) return YAV_S_NO_MEMORY;
        start = i + 1;
    }
    if (!out.append(s + start, n - start)) return YAV_S_NO_MEMORY;
    return 0;
}

yav_status_t YavHTML::unescape(const YavStringRef& text, YavString& out) {
    const char* s = text.getData();
    int n = text.getLength();
    if (!reserveFor(out, n)) return YAV_S_NO_MEMORY;
    int start = 0;
    int i = 0;
    while (i < n) {
        if (s[i] != '&') {
            ++i;
            continue;
        }
        if (!out.append(s + start, i - start)) return YAV_S_NO_MEMORY;
        char c = '&';
        int skip = 1;
        for (const Entity& entity : kEntities) {
            int length = entity.text->getLength();
            if (length <= n - i &&
                memcmp(s + i, entity.text->getData(), static_cast<size_t>(length)) == 0) {
                c = entity.c;
                skip = length;
                break;
            }
        }
        if (!out.append(c)) return YAV_S_NO_MEMORY;
        i += skip;
        start = i;
    }
    if (!out.append(s + start, n - start)) return YAV_S_NO_MEMORY;
    return 0;
}
