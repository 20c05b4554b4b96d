// YavReqCookieSet: the cookies of one Cookie request header, with its
// optional $Version.
//
// A set made from header text parses it on first use into one YavReqCookie
// per cookie.  Cookies are kept in a list; cookies of one name are kept from
// the most specific path to the least, with at most one cookie per name and
// path.  After any change the header value is rebuilt from the cookies.
//
// Memory: the set never copies text.  The header text, and the text that a
// cookie handed over without adopt refers to, must outlive the set (the set
// keeps references to it; a cookie's private copies die with the cookie).
// The first cookie lives in an entry embedded in the set, so a set of one
// cookie allocates nothing; further entries come from the allocator given
// at construction (null = process heap).  A cookie handed over with adopt
// belongs to the set from then on (it must have been made with
// `new (allocator)`, see YavAllocatedObject) and is deleted by it.
//
// Threads: a set belongs to one thread at a time.  Not copyable.
#ifndef YAV_CORE_HTTP_YAVCOOKIESET_H
#define YAV_CORE_HTTP_YAVCOOKIESET_H

#include <cstdint>

#include "core/buffers/YavString.h"
#include "core/http/YavCookie.h"
#include "core/memory/YavAllocator.h"
#include "core/sundry/yav_base.h"

// YavCookieNameIterator: the cookies of one name in the entry list of a
// cookie set, in list order.  Valid until the set changes; the name's text
// must outlive the iterator.  Copyable; one thread at a time, as its set.
template <class Entry, class Cookie>
class YavCookieNameIterator {
  public:
    YavCookieNameIterator(Entry* entry, const YavStringRef& name) : m_entry(entry), m_name(name) {}
    bool atEnd() const { return m_entry == nullptr; }
    // REQUIRES: !atEnd().
    Cookie* getCookie() const { return m_entry->m_cookie; }
    // Moves to the next cookie of the same name.
    void next() {
        if (m_entry == nullptr) return;
        // Bounded by the list length.
        do {
            m_entry = m_entry->m_next;
        } while (m_entry != nullptr && !m_entry->m_cookie->nameIs(m_name));
    }

  private:
    Entry* m_entry;
    YavStringRef m_name;
};

class YAV_EXPORT YavReqCookieSet {
  public:
    enum : unsigned char {
        yav_req_cookie_set_has_version = 0x80,
        yav_req_cookie_set_header_text_present = 0x40,
        yav_req_cookie_set_parsed = 0x20,
    };
    static const char* const CookieHeader;
    static const int CookieHeaderLen = 6;
    static const char* const Version;
    static const int VersionLen = 8;

    struct YavReqCookieEntry : public YavAllocatedObject {
        YavReqCookieEntry() : m_next(nullptr), m_cookie(nullptr) {}
        YavReqCookieEntry* m_next;
        YavReqCookie m_embedded;
        // m_embedded, or a handed-over cookie owned by the entry; null when
        // the entry is free.
        YavReqCookie* m_cookie;
    };

    using NameIterator = YavCookieNameIterator<YavReqCookieEntry, YavReqCookie>;

    explicit YavReqCookieSet(YavAllocator* allocator = nullptr);
    // Header text present; parsed on first use.
    YavReqCookieSet(const YavStringRefT<char>& headerText, YavAllocator* allocator);
    virtual ~YavReqCookieSet();
    YAV_DISALLOW_COPY(YavReqCookieSet);

    yav_status_t setFromHeaderValue(const YavStringRefT<char>& text);
    yav_status_t parseString();

    yav_status_t getVersion(int* version);
    // -1 removes the version.
    yav_status_t setVersion(int version);
    yav_status_t getLen(int* length);
    // REQUIRES: buffer holds at least getLen() + 1 bytes.
    yav_status_t getHeaderValue(char* buffer);

    yav_status_t setCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                           const YavStringRefT<char>* path, const YavStringRefT<char>* domain);
    yav_status_t setCookie(const YavStringRefT<char>& text);
    // Adds cookie by name and path order, or merges its value and domain
    // into the cookie of the same name and path; YAV_S_COOKIE_BAD_PATH when
    // its path conflicts with that of a cookie of the same name.  With adopt
    // the set owns cookie from now on, also on failure.
    yav_status_t setCookie(YavReqCookie* cookie, bool adopt);
    yav_status_t setCookieByName(const YavStringRef& name, const YavStringRefT<char>& value,
                                 const YavStringRefT<char>* path,
                                 const YavStringRefT<char>* domain);
    yav_status_t setCookieByName(const YavStringRefT<char>& text);
    // The first cookie of that name takes the value, path and domain of
    // cookie; other cookies of the name with the resulting path are removed
    // and the cookie moves to its place in the path order.
    yav_status_t setCookieByName(YavReqCookie* cookie, bool adopt);

    // Does not parse an unparsed header.
    NameIterator beginName(const YavStringRef& name);
    // The first cookie of that name and path, or every one of that name when
    // path is null.  Parses an unparsed header first.
    yav_status_t removeCookie(const YavStringRef& name, const YavStringRefT<char>* path);
    void delCookies();
    void clear();

    unsigned char getFlags() const { return m_flags; }

  private:
    yav_status_t parseIfNeeded();
    // setCookie without parsing first (used while parsing).
    yav_status_t insertCookie(YavReqCookie* cookie, bool adopt);
    // Takes the embedded entry when free, else allocates one; its cookie is
    // cookie (adopt) or a copy of its parts.
    yav_status_t makeEntry(YavReqCookie* cookie, bool adopt, YavReqCookieEntry** entry);
    void freeEntry(YavReqCookieEntry* entry);

    unsigned char m_flags;
    YavNCPStringRef m_headerText;
    int32_t m_version;
    YavAllocator* m_allocator;
    YavReqCookieEntry* m_first;
    YavReqCookieEntry m_embeddedEntry;
};

// YavRespCookieSet: the cookies of one or more Set-Cookie header values of
// a response, kept in the same name and path order as YavReqCookieSet.
//
// Memory: the set never copies text.  The header text, and the text that a
// cookie handed over without adopt refers to, must outlive the set.  Every entry
// and every cookie the set makes comes from the allocator given at
// construction (null = process heap); a cookie handed over with adopt must
// have been made with `new (allocator)` and belongs to the set from then on.
//
// Threads: a set belongs to one thread at a time.  Not copyable.
class YAV_EXPORT YavRespCookieSet {
  public:
    enum : unsigned char {
        yav_resp_cookie_set_from_header_value = 0x80,
        yav_resp_cookie_set_parsed = 0x40,
    };
    static const char* const SetCookieHeader;
    static const int SetCookieHeaderLen = 10;

    struct YavRespCookieEntry : public YavAllocatedObject {
        YavRespCookieEntry* m_next = nullptr;
        YavRespCookie* m_cookie = nullptr;  // owned by the entry
    };

    using NameIterator = YavCookieNameIterator<YavRespCookieEntry, YavRespCookie>;

    explicit YavRespCookieSet(YavAllocator* allocator = nullptr);
    virtual ~YavRespCookieSet();
    YAV_DISALLOW_COPY(YavRespCookieSet);

    // Replaces the cookies by those of text.
    yav_status_t setFromHeaderValue(const YavStringRefT<char>& text);
    // Adds the cookies of another Set-Cookie value to those held.
    yav_status_t addFromHeaderValue(const YavStringRefT<char>& text);
    // Cookies separated by ',' or ';' up to the end or a line terminator;
    // YAV_S_COOKIE_BAD_DELIMITER where a cookie is followed by anything
    // else.  Cookies added before a failure stay.
    yav_status_t parseString(const YavStringRefT<char>& text);

    // secure: all ones = not given; version -1 = not given.
    yav_status_t setCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                           const YavStringRefT<char>* path, const YavStringRefT<char>* domain,
                           const YavStringRefT<char>* comment, const YavStringRefT<char>* maxAge,
                           uint32_t secure, int version);
    yav_status_t setCookie(const YavStringRefT<char>& text);
    // As YavReqCookieSet::setCookie.  Without adopt only the name, value,
    // path and domain of cookie are carried over.
    yav_status_t setCookie(YavRespCookie* cookie, bool adopt);
    yav_status_t setCookieByName(const YavStringRef& name, const YavStringRefT<char>& value,
                                 const YavStringRefT<char>* path, const YavStringRefT<char>* domain,
                                 const YavStringRefT<char>* comment,
                                 const YavStringRefT<char>* maxAge, uint32_t secure, int version);
    yav_status_t setCookieByName(const YavStringRefT<char>& text);
    yav_status_t setCookieByName(YavRespCookie* cookie, bool adopt);

    NameIterator beginName(const YavStringRef& name);
    yav_status_t removeCookie(const YavStringRef& name, const YavStringRefT<char>* path);
    void delCookies();
    void clear();

    unsigned char getFlags() const { return m_flags; }

  private:
    void freeEntry(YavRespCookieEntry* entry);

    unsigned char m_flags;
    YavNCPStringRef m_headerText;
    YavAllocator* m_allocator;
    YavRespCookieEntry* m_first;
};

#endif  // YAV_CORE_HTTP_YAVCOOKIESET_H
