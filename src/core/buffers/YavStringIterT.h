// YavStringIterT: splits a text into tokens at delimiter units, like strtok
// but without touching the text.
//
// next() skips delimiters, then yields the run up to the next delimiter (or
// the end) and moves past that delimiter.  Empty tokens are never yielded:
// adjacent delimiters, and delimiters at the start or end, are skipped.
// Delimiters are single units (a zero-terminated list), so for UTF-8 and
// most local code pages only ASCII delimiters are meaningful.
//
// Flags of next():
//   yav_iter_skip_spaces: spaces and tabs at the start of a token are not
//     part of it (a token of spaces only is skipped like an empty one);
//   yav_iter_quotes: a run between double quotes (quotes included) belongs
//     to the token even when it holds delimiters; an unclosed quote runs to
//     the end of the text.
//
// The tokens are references into the iterated text, which must outlive
// them; they carry the text reference's allocator, comparator and hasher.
// Copyable; an iterator belongs to one thread at a time.
#ifndef YAV_CORE_BUFFERS_YAVSTRINGITERT_H
#define YAV_CORE_BUFFERS_YAVSTRINGITERT_H

#include "core/buffers/YavStringRefT.h"
#include "core/system/yav_assert.h"

enum yav_iter_flags {
    yav_iter_skip_spaces = 0x1,
    yav_iter_quotes = 0x2,
};

template <class CharT, class Enc = YavRawEnc>
class YavStringIterT {
  public:
    typedef YavStringRefT<CharT, Enc> Ref;

    explicit YavStringIterT(const Ref& text) : m_text(text), m_position(0) {}

    // The next non-empty token in out; false (out unchanged) when none is
    // left.  REQUIRES: delimiters != nullptr.
    bool next(Ref& out, const CharT* delimiters, int flags = 0) {
        YAV_ASSERT(delimiters != nullptr);
        const CharT* data = m_text.getData();
        int length = m_text.getLength();
        while (m_position < length) {
            int start = m_position;
            while (start < length && isDelimiter(data[start], delimiters)) ++start;
            if ((flags & yav_iter_skip_spaces) != 0) {
                while (start < length && (data[start] == ' ' || data[start] == '\t')) ++start;
            }
            int end = start;
            bool quoted = false;
            while (end < length) {
                CharT c = data[end];
                if ((flags & yav_iter_quotes) != 0 && c == '"') {
                    quoted = !quoted;
                } else if (!quoted && isDelimiter(c, delimiters)) {
                    break;
                }
                ++end;
            }
            // Past the delimiter that ended the token (if any).
            m_position = end < length ? end + 1 : end;
            if (end > start) {
                out = m_text.substr(start, end - start);
                return true;
            }
        }
        return false;
    }

    // The text after the last token yielded (what next() would look at).
    Ref rest() const { return m_text.substr(m_position); }

    // Starts again at the beginning of the text.
    void restart() { m_position = 0; }

  private:
    static bool isDelimiter(CharT c, const CharT* delimiters) {
        for (const CharT* d = delimiters; *d != 0; ++d) {
            if (*d == c) return true;
        }
        return false;
    }

    Ref m_text;
    int m_position;  // units of m_text already consumed
};

#endif  // YAV_CORE_BUFFERS_YAVSTRINGITERT_H
