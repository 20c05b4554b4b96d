// YavBuffer: a run of bytes that the buffer either owns or refers to.
//
// set() and append() copy the bytes into a block that the buffer owns,
// allocated through its allocator (null = process heap) and freed by the
// destructor; they return 0 or YAV_S_NO_MEMORY (the buffer is then left as
// it was).  refer() and referWritable() only point at the caller's bytes,
// which must outlive the buffer's use of them (that is how messages and
// parsers hand out bytes without copying); takeOwnership() turns such a
// buffer into an owned copy.  A buffer that refers to bytes given as const
// is read-only: getWritableData() returns null for it.
//
// compare() orders byte-wise over the common length, then the shorter is
// the lesser; hash() is that of YavBinaryHasher.
//
// Not copyable (use set(const YavBuffer&)).  A buffer belongs to one thread
// at a time.
#ifndef YAV_CORE_BUFFERS_YAVBUFFER_H
#define YAV_CORE_BUFFERS_YAVBUFFER_H

#include <cstdint>

#include "core/buffers/YavStringRefT.h"
#include "core/buffers/YavStringT.h"
#include "core/memory/YavAllocator.h"
#include "core/sundry/yav_base.h"

class YAV_EXPORT YavBuffer {
  public:
    explicit YavBuffer(YavAllocator* allocator = nullptr);
    ~YavBuffer();
    YAV_DISALLOW_COPY(YavBuffer);

    // Owned copies.  data may point into this buffer.  A negative len is
    // YAV_S_INVALID_VALUE.  REQUIRES: data != nullptr || len == 0.
    yav_status_t set(const void* data, int len);
    // The bytes of a zero-terminated text, without the terminator.
    yav_status_t set(const char* text);
    yav_status_t set(const YavBuffer& other);
    // The units of a text as bytes (length * sizeof(CharT)).
    template <class CharT, class Enc>
    yav_status_t set(const YavStringRefT<CharT, Enc>& text) {
        return setUnits(text.getData(), text.getLength(), sizeof(CharT));
    }
    template <class CharT, class Enc>
    yav_status_t set(const YavStringT<CharT, Enc>& text) {
        return setUnits(text.getData(), text.getLength(), sizeof(CharT));
    }
    // Adds len bytes to the end; the result is owned.
    yav_status_t append(const void* data, int len);

    // Points at len bytes of the caller's without copying them; read-only.
    void refer(const void* data, int len);
    // The same for bytes the holder may write (e.g. parsers that rewrite
    // their input in place).
    void referWritable(void* data, int len);
    // Replaces a reference by an owned copy; nothing to do when owned.
    yav_status_t takeOwnership();

    // Length 0; an owned block is kept for reuse.
    void clear();

    // Never null (an empty buffer gives a valid pointer to nothing).
    const unsigned char* getData() const { return m_data; }
    // Null for a read-only reference or an empty buffer without storage.
    unsigned char* getWritableData();
    int getLen() const { return m_len; }
    bool isEmpty() const { return m_len == 0; }
    bool isOwned() const { return m_data == m_block; }
    YavAllocator* getAllocator() const { return m_allocator; }

    // -1, 0 or 1.
    int compare(const YavBuffer& other) const;
    bool equals(const YavBuffer& other) const;
    uint32_t hash() const;

  private:
    yav_status_t setUnits(const void* data, int count, size_t unitSize);
    void release();

    const unsigned char* m_data;  // m_block, the caller's bytes, or an empty text
    int m_len;
    unsigned char* m_block;  // owned storage, or null
    int m_capacity;          // bytes of m_block
    YavAllocator* m_allocator;
    bool m_writable;  // m_data may be written through
};

#endif  // YAV_CORE_BUFFERS_YAVBUFFER_H
