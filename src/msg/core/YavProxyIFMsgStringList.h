// YavProxyIFMsgStringList: a list of strings as a message value.  Encoded as
// the count N (u32) followed by N strings, each exactly as
// YavProxyIFMsgString encodes one.
//
// The first kInlineEntries entries live inside the object; an add() that
// finds the list full grows it by kGrowth entries into an array from the
// list's allocator (null = process heap); unmarshal grows it at once to the
// received count.  A read cursor walks the entries (get, restart).
//
// Memory: entries are references: add() does not copy the text and
// unmarshal refers to the caller's bytes; the referenced text must outlive
// the list's use of it.  The entry array is owned and freed by the
// destructor.  Not copyable; one thread at a time.
#ifndef YAV_MSG_CORE_YAVPROXYIFMSGSTRINGLIST_H
#define YAV_MSG_CORE_YAVPROXYIFMSGSTRINGLIST_H

#include "core/memory/YavAllocator.h"
#include "msg/core/YavProxyIFMsgData.h"

class YAV_EXPORT YavProxyIFMsgStringList : public YavProxyIFMsgData {
  public:
    static const int kInlineEntries = 5;
    static const int kGrowth = 10;

    // Room for capacity entries: the inline entries when capacity is at most
    // kInlineEntries, else an array from allocator (when that cannot be
    // allocated the list starts with the inline entries and grows later).
    explicit YavProxyIFMsgStringList(int capacity = kInlineEntries,
                                     YavAllocator* allocator = nullptr);
    ~YavProxyIFMsgStringList() override;

    int marshal(unsigned char* buffer, int size) const override;
    // Replaces the entries with the received ones; the cursor is 0 after it.
    int unmarshal(const unsigned char* buffer, int size) override;
    // "[i] <entry URI-encoded to ASCII> " for each entry from index 0.
    yav_status_t createString(YavString* out) const override;

    // Appends a reference to text.  0, or YAV_S_NO_MEMORY when the list
    // cannot grow (it is then unchanged).
    yav_status_t add(const YavStringRef& text);
    // The entry at the cursor, which then moves on; null after the last.
    YavStringRef* get();
    // Sets the cursor to index (clamped to the entry count); returns the
    // previous cursor.
    unsigned restart(unsigned index);
    unsigned entries() const { return m_count; }
    unsigned capacity() const { return m_capacity; }

  private:
    // Moves the entries to an array of capacity entries.  False when it
    // cannot be allocated (nothing changes then).
    bool grow(unsigned capacity);
    void clearEntries();

    YavStringRef m_inline[kInlineEntries];
    YavStringRef* m_entries;  // m_inline or an owned array
    unsigned m_count;
    unsigned m_capacity;
    unsigned m_cursor;
    YavAllocator* m_allocator;
};

#endif  // YAV_MSG_CORE_YAVPROXYIFMSGSTRINGLIST_H
