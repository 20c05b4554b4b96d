// YavBufferCursor: a read position over a run of bytes, for lexers and
// parsers that must never read past the end of their input.
//
// The cursor keeps a current position with the count of bytes remaining
// there, and a mark: a saved position with its own remaining count.  A
// parser marks before a tentative read and resets on failure:
//
//     cursor.mark();
//     if (!tryReadSomething(cursor)) cursor.reset();  // back to the mark
//
// Contract:
// - peek(i) and get() read only inside the remaining bytes and answer -1
//   beyond them; find(), startsWith() and scanRun() look only at remaining
//   bytes.  Nothing here reads outside [start, start + length).
// - advance(n) moves by n bytes.  REQUIRES: 0 <= n <= getRemaining();
//   going past the end is an internal inconsistency and fails the assertion
//   "m_remaining >= 0".  skip(n) is the checked form for untrusted counts.
// - mark() saves the current position; reset() returns to the last mark
//   (the start when mark() was never called).  Neither moves the mark when
//   resetting, so reset() can be called several times.
//
// The cursor does not own the bytes; they must outlive it.  A cursor made
// over const bytes is read-only (getWritableCurrent() returns null); one
// over a writable YavBuffer or setWritable() bytes lets a parser rewrite its
// input in place.  Copyable (a copy is an independent position over the
// same bytes).  A cursor belongs to one thread at a time.
#ifndef YAV_CORE_BUFFERS_YAVBUFFERCURSOR_H
#define YAV_CORE_BUFFERS_YAVBUFFERCURSOR_H

#include <cstdint>

#include "core/buffers/YavBuffer.h"
#include "core/sundry/yav_base.h"

class YAV_EXPORT YavBufferCursor {
  public:
    // Over no bytes: at the end at once.
    YavBufferCursor();
    // Over len bytes at data, read-only.  REQUIRES: len >= 0.
    YavBufferCursor(const void* data, int len);
    // Over a buffer's bytes; writable when the buffer is.
    explicit YavBufferCursor(YavBuffer& buffer);
    explicit YavBufferCursor(const YavBuffer& buffer);

    // Start again over other bytes, with the mark at their start.
    void set(const void* data, int len);
    void setWritable(void* data, int len);

    const unsigned char* getCurrent() const { return m_current; }
    const char* getCurrentText() const { return reinterpret_cast<const char*>(m_current); }
    // Null for a read-only cursor.
    unsigned char* getWritableCurrent() const {
        return m_writable ? const_cast<unsigned char*>(m_current) : nullptr;
    }
    int getRemaining() const { return m_remaining; }
    bool atEnd() const { return m_remaining == 0; }
    // Bytes between the start and the current position.
    int getOffset() const { return static_cast<int>(m_current - m_start); }

    // The byte offset bytes ahead (0..255), or -1 when offset is negative
    // or not below getRemaining().
    int peek(int offset = 0) const {
        return offset >= 0 && offset < m_remaining ? m_current[offset] : -1;
    }
    // The current byte, advancing past it; -1 (no move) at the end.
    int get() {
        if (m_remaining == 0) return -1;
        int c = *m_current;
        advance(1);
        return c;
    }

    // REQUIRES: 0 <= n <= getRemaining() (see above).
    void advance(int n);
    // Advances n bytes when that many remain; else false and no move.
    bool skip(int n);

    void mark() {
        m_mark = m_current;
        m_markRemaining = m_remaining;
    }
    void reset() {
        m_current = m_mark;
        m_remaining = m_markRemaining;
    }
    const unsigned char* getMark() const { return m_mark; }
    int getMarkRemaining() const { return m_markRemaining; }
    // Bytes advanced since the mark.
    int getSinceMark() const { return m_markRemaining - m_remaining; }

    // True when the remaining bytes begin with the n bytes at bytes.
    bool startsWith(const void* bytes, int n) const;
    // Offset of the first byte c among the remaining bytes, or -1.
    int find(unsigned char c) const;
    // Length of the run of remaining bytes whose entry in table is 0; the
    // run ends at the first byte whose entry is non-zero (table has 256
    // entries indexed by the unsigned byte).
    int scanRun(const uint32_t* table) const;

  private:
    // The position and mark, in the order parsers think of them.
    const unsigned char* m_mark;
    int32_t m_markRemaining;
    const unsigned char* m_current;
    int32_t m_remaining;
    const unsigned char* m_start;
    bool m_writable;
};

#endif  // YAV_CORE_BUFFERS_YAVBUFFERCURSOR_H
