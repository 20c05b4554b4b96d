// Request cookie sets: lazy parsing of a Cookie header, path-ordered
// insertion, removal and header rebuilding.
#include "core/http/YavCookieSet.h"

#include <cstring>
#include <new>

#include "core/buffers/YavBufferCursor.h"
#include "core/http/YavHTTPParser.h"
#include "core/msg/yav_status.h"

const char* const YavReqCookieSet::CookieHeader = "Cookie";
const char* const YavReqCookieSet::Version = "$Version";

namespace {

// The path of cookie, empty when it has none.
yav_status_t yav_cookie_path_of(YavCookie* cookie, YavNCPStringRef* path) {
    yav_status_t st = cookie->getPath(path);
    if (st == YAV_S_NOT_AVAILABLE) {
        path->clear();
        return 0;
    }
    return st;
}

bool yav_same_bytes(const YavStringRefT<char>& a, const YavStringRefT<char>& b) {
    int n = a.getLength();
    return n == b.getLength() && (n == 0 || memcmp(a.getData(), b.getData(), n) == 0);
}

// True when prefix is a proper prefix of text.
bool yav_proper_prefix(const YavStringRefT<char>& prefix, const YavStringRefT<char>& text) {
    int n = prefix.getLength();
    return n < text.getLength() && (n == 0 || memcmp(prefix.getData(), text.getData(), n) == 0);
}

// Copies the parts of from into to through its setters (references only).
yav_status_t yav_copy_parts(YavCookie* from, YavCookie* to) {
    YavStringRef name;
    yav_status_t st = from->getName(&name);
    if (st != 0) return st;
    st = to->setName(name);
    if (st != 0) return st;
    YavNCPStringRef part;
    st = from->getValue(&part);
    if (st == 0) st = to->setValue(part);
    if (st != 0 && st != YAV_S_NOT_AVAILABLE) return st;
    st = from->getPath(&part);
    if (st == 0) st = to->setPath(part);
    if (st != 0 && st != YAV_S_NOT_AVAILABLE) return st;
    st = from->getDomain(&part);
    if (st == 0) st = to->setDomain(part);
    if (st != 0 && st != YAV_S_NOT_AVAILABLE) return st;
    return 0;
}

// to takes the value, the path (withPath only) and the domain of from, each
// when present; with adopt, to then copies them (they may point into from's
// own copies) and from is deleted, also on failure.
yav_status_t yav_take_parts(YavCookie* from, YavCookie* to, bool withPath, bool adopt) {
    YavNCPStringRef part;
    yav_status_t st = from->getValue(&part);
    if (st == 0) st = to->setValue(part);
    if (st == YAV_S_NOT_AVAILABLE) st = 0;
    if (st == 0 && withPath) {
        st = from->getPath(&part);
        if (st == 0) st = to->setPath(part);
        if (st == YAV_S_NOT_AVAILABLE) st = 0;
    }
    if (st == 0) {
        st = from->getDomain(&part);
        if (st == 0) st = to->setDomain(part);
        if (st == YAV_S_NOT_AVAILABLE) st = 0;
    }
    if (adopt && st == 0) st = to->takeOwnership();
    if (adopt) delete from;
    return st;
}

// Where a cookie of name and path goes in a list: into *merge (same name
// and path), or after the link *at points into.  Same-name cookies form a
// chain of ever shorter paths; the new one goes before the first whose path
// is a proper prefix of its own, after those it is a proper prefix of.
template <class Entry>
yav_status_t yav_find_place(Entry** first, const YavStringRef& name, const YavNCPStringRef& path,
                            Entry** merge, Entry*** at) {
    *merge = nullptr;
    Entry** link = first;
    Entry** after = nullptr;  // link following the last same-name entry passed
    while (*link != nullptr) {
        Entry* e = *link;
        if (e->m_cookie->nameIs(name)) {
            YavNCPStringRef otherPath;
            yav_status_t st = yav_cookie_path_of(e->m_cookie, &otherPath);
            if (st != 0) return st;
            if (yav_same_bytes(otherPath, path)) {
                *merge = e;
                return 0;
            }
            if (yav_proper_prefix(otherPath, path)) {
                *at = link;
                return 0;
            }
            if (!yav_proper_prefix(path, otherPath)) return YAV_S_COOKIE_BAD_PATH;
            after = &e->m_next;
        }
        link = &e->m_next;
    }
    *at = after != nullptr ? after : link;
    return 0;
}

// Unlinks and frees (through freeEntry) the first entry of name and path,
// or every entry of name when path is null.
template <class Entry, class FreeEntry>
yav_status_t yav_remove_entries(Entry** first, const YavStringRef& name,
                                const YavStringRefT<char>* path, FreeEntry freeEntry,
                                bool* removed) {
    *removed = false;
    Entry** link = first;
    // Bounded by the list length: every pass unlinks or steps over an entry.
    while (*link != nullptr) {
        Entry* e = *link;
        bool match = e->m_cookie->nameIs(name);
        if (match && path != nullptr) {
            YavNCPStringRef otherPath;
            yav_status_t st = yav_cookie_path_of(e->m_cookie, &otherPath);
            if (st != 0) return st;
            match = yav_same_bytes(otherPath, *path);
        }
        if (!match) {
            link = &e->m_next;
            continue;
        }
        *link = e->m_next;
        freeEntry(e);
        *removed = true;
        if (path != nullptr) break;
    }
    return 0;
}

// The link that points at the first entry of name (at the list's end when
// there is none).
template <class Entry>
Entry** yav_find_name(Entry** first, const YavStringRef& name) {
    Entry** link = first;
    while (*link != nullptr) {
        if ((*link)->m_cookie->nameIs(name)) break;
        link = &(*link)->m_next;
    }
    return link;
}

// The cookie of the entry at *link takes the value, path and domain of
// cookie (each when present); then the entry is moved to its place in the
// path order, dropping any other entry of name with its new path.
template <class Entry, class FreeEntry>
yav_status_t yav_replace_by_name(Entry** first, Entry** link, YavCookie* cookie, bool adopt,
                                 FreeEntry freeEntry) {
    Entry* target = *link;
    yav_status_t st = yav_take_parts(cookie, target->m_cookie, true, adopt);
    if (st != 0) return st;

    // The caller's name may have belonged to the cookie just deleted.
    YavStringRef name;
    st = target->m_cookie->getName(&name);
    if (st != 0) return st;
    *link = target->m_next;
    target->m_next = nullptr;
    YavNCPStringRef path;
    st = yav_cookie_path_of(target->m_cookie, &path);
    YavStringRefT<char> rawPath(path);
    bool removed = false;
    if (st == 0) st = yav_remove_entries(first, name, &rawPath, freeEntry, &removed);
    Entry* merge = nullptr;
    Entry** at = nullptr;
    if (st == 0) st = yav_find_place(first, name, path, &merge, &at);
    if (st != 0 || merge != nullptr) {
        // The path fits nowhere in the order: the cookie stays first of its
        // name, where the replaced one was.
        at = link;
    }
    target->m_next = *at;
    *at = target;
    return 0;
}

// Unlinks and frees (through freeEntry) every entry of the list.
template <class Entry, class FreeEntry>
void yav_free_entries(Entry** first, FreeEntry freeEntry) {
    // Bounded by the list length; each pass unlinks one entry.
    while (*first != nullptr) {
        Entry* e = *first;
        *first = e->m_next;
        freeEntry(e);
    }
}

}  // namespace

YavReqCookieSet::YavReqCookieSet(YavAllocator* allocator)
    : m_flags(0),
      m_headerText(nullptr, 0, allocator),
      m_version(0),
      m_allocator(allocator),
      m_first(nullptr) {}

YavReqCookieSet::YavReqCookieSet(const YavStringRefT<char>& headerText, YavAllocator* allocator)
    : YavReqCookieSet(allocator) {
    m_headerText.set(headerText.getData(), headerText.getLength());
    m_flags = yav_req_cookie_set_header_text_present;
}

YavReqCookieSet::~YavReqCookieSet() { delCookies(); }

void YavReqCookieSet::freeEntry(YavReqCookieEntry* entry) {
    if (entry->m_cookie != &entry->m_embedded) delete entry->m_cookie;
    entry->m_cookie = nullptr;
    entry->m_next = nullptr;
    if (entry != &m_embeddedEntry) delete entry;
}

void YavReqCookieSet::delCookies() {
    yav_free_entries(&m_first, [this](YavReqCookieEntry* e) { freeEntry(e); });
}

void YavReqCookieSet::clear() {
    delCookies();
    m_flags = 0;
    m_version = 0;
}

yav_status_t YavReqCookieSet::setFromHeaderValue(const YavStringRefT<char>& text) {
    clear();
    m_headerText.set(text.getData(), text.getLength());
    m_flags |= yav_req_cookie_set_header_text_present;
    return parseString();
}

yav_status_t YavReqCookieSet::parseIfNeeded() {
    if ((m_flags & yav_req_cookie_set_header_text_present) != 0 &&
        (m_flags & yav_req_cookie_set_parsed) == 0) {
        return parseString();
    }
    return 0;
}

yav_status_t YavReqCookieSet::parseString() {
    if ((m_flags & yav_req_cookie_set_header_text_present) == 0) return YAV_S_NOT_AVAILABLE;
    if ((m_flags & yav_req_cookie_set_parsed) != 0) return 0;
    YavBufferCursor cursor(m_headerText.getData(), m_headerText.getLength());
    YavCookie::skipSpace(cursor);
    YavBufferCursor start = cursor;
    YavStringRef token;
    yav_status_t st = YavHTTPParser::parseToken(cursor, token);
    if (st == 0 && YavCookie::wordIs(token, Version, VersionLen)) {
        YavCookie::skipSpace(cursor);
        bool ok = false;
        if (cursor.peek() == '=') {
            cursor.advance(1);
            cursor.mark();
            YavStringRef value;
            ok = YavHTTPParser::parseCookieValue(cursor, value) == 0 &&
                 YavCookie::parseVersion(value, &m_version);
        }
        if (ok) {
            m_flags |= yav_req_cookie_set_has_version;
        } else {
            m_version = 0;
            m_flags &= static_cast<unsigned char>(~yav_req_cookie_set_has_version);
        }
        YavCookie::skipSpace(cursor);
        if (cursor.atEnd() || YavHTTPParser::wasteTerminator(cursor)) {
            m_flags |= yav_req_cookie_set_parsed;
            return 0;
        }
        if (cursor.peek() != ';' && cursor.peek() != ',') return YAV_S_COOKIE_BAD_DELIMITER;
        cursor.advance(1);
        YavCookie::skipSpace(cursor);
    } else if (st == 0) {
        cursor = start;
    } else if (st == YAV_S_NOT_AVAILABLE) {
        if (cursor.getRemaining() >= 2) {
            cursor.advance(1);
            YavCookie::skipSpace(cursor);
        }
    } else {
        return st;
    }
    // Each pass consumes at least one byte or ends the loop.
    while (!cursor.atEnd()) {
        YavReqCookie cookie;
        cookie.set(YavStringRefT<char>(cursor.getCurrentText(), cursor.getRemaining()));
        st = cookie.parseString(cursor);
        if (st == 0) {
            st = insertCookie(&cookie, false);
            if (st != 0) return st;
            YavCookie::skipSpace(cursor);
            if (YavHTTPParser::wasteTerminator(cursor)) break;
        } else if (st == YAV_S_NOT_AVAILABLE) {
            if (cursor.getRemaining() < 2) break;
            cursor.advance(1);
        } else {
            return st;
        }
    }
    // The insertions cleared the header-text flag: from now on the header is
    // written from the cookies.
    m_flags |= yav_req_cookie_set_parsed;
    return 0;
}

yav_status_t YavReqCookieSet::getVersion(int* version) {
    yav_status_t st = parseIfNeeded();
    if (st != 0) return st;
    if ((m_flags & yav_req_cookie_set_has_version) == 0) return YAV_S_NOT_AVAILABLE;
    *version = m_version;
    return 0;
}

yav_status_t YavReqCookieSet::setVersion(int version) {
    yav_status_t st = parseIfNeeded();
    if (st != 0) return st;
    if (YavCookie::updateVersion(version, &m_version, &m_flags, yav_req_cookie_set_has_version)) {
        m_flags &= static_cast<unsigned char>(~yav_req_cookie_set_header_text_present);
    }
    return 0;
}

yav_status_t YavReqCookieSet::getLen(int* length) {
    yav_status_t st = parseIfNeeded();
    if (st != 0) return st;
    int total = 0;
    if ((m_flags & yav_req_cookie_set_has_version) != 0) {
        total = YavCookie::decimalDigits(static_cast<uint32_t>(m_version)) + 9;
    }
    for (YavReqCookieEntry* e = m_first; e != nullptr; e = e->m_next) {
        int n = 0;
        st = e->m_cookie->getLen(&n);
        if (st != 0) return st;
        total += n + (total > 0 ? 2 : 0);
    }
    *length = total;
    return 0;
}

yav_status_t YavReqCookieSet::getHeaderValue(char* buffer) {
    yav_status_t st = parseIfNeeded();
    if (st != 0) return st;
    char* p = buffer;
    *p = 0;
    if ((m_flags & yav_req_cookie_set_has_version) != 0) {
        memcpy(p, Version, VersionLen);
        p += VersionLen;
        *p++ = '=';
        p = YavCookie::putDecimal(p, static_cast<uint32_t>(m_version));
        *p = 0;
    }
    for (YavReqCookieEntry* e = m_first; e != nullptr; e = e->m_next) {
        int n = 0;
        st = e->m_cookie->getLen(&n);
        if (st != 0) return st;
        if (p != buffer) {
            *p++ = ';';
            *p++ = ' ';
        }
        st = e->m_cookie->get(p);
        if (st != 0) return st;
        p += n;
    }
    *p = 0;
    return 0;
}

yav_status_t YavReqCookieSet::makeEntry(YavReqCookie* cookie, bool adopt,
                                        YavReqCookieEntry** entry) {
    YavReqCookieEntry* e = &m_embeddedEntry;
    if (e->m_cookie != nullptr) {
        e = new (m_allocator) YavReqCookieEntry();
        if (e == nullptr) return YAV_S_NO_MEMORY;
    } else {
        // A fresh embedded cookie: the previous one may hold stale parts.
        e->m_embedded.~YavReqCookie();
        ::new (static_cast<void*>(&e->m_embedded)) YavReqCookie();
    }
    e->m_next = nullptr;
    if (adopt) {
        e->m_cookie = cookie;
    } else {
        yav_status_t st = yav_copy_parts(cookie, &e->m_embedded);
        if (st != 0) {
            if (e != &m_embeddedEntry) delete e;
            return st;
        }
        e->m_cookie = &e->m_embedded;
    }
    *entry = e;
    return 0;
}

yav_status_t YavReqCookieSet::setCookie(YavReqCookie* cookie, bool adopt) {
    yav_status_t st = parseIfNeeded();
    if (st != 0) {
        if (adopt) delete cookie;
        return st;
    }
    return insertCookie(cookie, adopt);
}

yav_status_t YavReqCookieSet::insertCookie(YavReqCookie* cookie, bool adopt) {
    YavStringRef name;
    YavNCPStringRef path;
    yav_status_t st = cookie->getName(&name);
    if (st == 0) st = yav_cookie_path_of(cookie, &path);
    YavReqCookieEntry* merge = nullptr;
    YavReqCookieEntry** at = nullptr;
    if (st == 0) st = yav_find_place(&m_first, name, path, &merge, &at);
    if (st == 0 && merge != nullptr) {
        st = yav_take_parts(cookie, merge->m_cookie, false, adopt);
    } else if (st == 0) {
        YavReqCookieEntry* e = nullptr;
        st = makeEntry(cookie, adopt, &e);
        if (st == 0) {
            e->m_next = *at;
            *at = e;
        }
    }
    if (st != 0) {
        if (adopt && merge == nullptr) delete cookie;
        return st;
    }
    m_flags &= static_cast<unsigned char>(~yav_req_cookie_set_header_text_present);
    return 0;
}

yav_status_t YavReqCookieSet::setCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                                        const YavStringRefT<char>* path,
                                        const YavStringRefT<char>* domain) {
    yav_status_t st = parseIfNeeded();
    if (st != 0) return st;
    YavReqCookie cookie(name, value, path, domain);
    return setCookie(&cookie, false);
}

yav_status_t YavReqCookieSet::setCookie(const YavStringRefT<char>& text) {
    yav_status_t st = parseIfNeeded();
    if (st != 0) return st;
    YavReqCookie cookie(text);
    return setCookie(&cookie, false);
}

yav_status_t YavReqCookieSet::setCookieByName(const YavStringRef& name,
                                              const YavStringRefT<char>& value,
                                              const YavStringRefT<char>* path,
                                              const YavStringRefT<char>* domain) {
    yav_status_t st = parseIfNeeded();
    if (st != 0) return st;
    YavReqCookie cookie(name, value, path, domain);
    return setCookieByName(&cookie, false);
}

yav_status_t YavReqCookieSet::setCookieByName(const YavStringRefT<char>& text) {
    yav_status_t st = parseIfNeeded();
    if (st != 0) return st;
    YavReqCookie cookie(text);
    return setCookieByName(&cookie, false);
}

yav_status_t YavReqCookieSet::setCookieByName(YavReqCookie* cookie, bool adopt) {
    YavStringRef name;
    yav_status_t st = parseIfNeeded();
    if (st == 0) st = cookie->getName(&name);
    if (st != 0) {
        if (adopt) delete cookie;
        return st;
    }
    YavReqCookieEntry** link = yav_find_name(&m_first, name);
    if (*link == nullptr) return insertCookie(cookie, adopt);
    st = yav_replace_by_name(&m_first, link, cookie, adopt,
                             [this](YavReqCookieEntry* e) { freeEntry(e); });
    if (st != 0) return st;
    m_flags &= static_cast<unsigned char>(~yav_req_cookie_set_header_text_present);
    return 0;
}

YavReqCookieSet::NameIterator YavReqCookieSet::beginName(const YavStringRef& name) {
    return NameIterator(*yav_find_name(&m_first, name), name);
}

yav_status_t YavReqCookieSet::removeCookie(const YavStringRef& name,
                                           const YavStringRefT<char>* path) {
    yav_status_t st = parseIfNeeded();
    if (st != 0) return st;
    bool removed = false;
    st = yav_remove_entries(
        &m_first, name, path, [this](YavReqCookieEntry* e) { freeEntry(e); }, &removed);
    if (removed) m_flags &= static_cast<unsigned char>(~yav_req_cookie_set_header_text_present);
    return st;
}

// ---- response cookie sets ----

const char* const YavRespCookieSet::SetCookieHeader = "Set-Cookie";

YavRespCookieSet::YavRespCookieSet(YavAllocator* allocator)
    : m_flags(0), m_headerText(nullptr, 0, allocator), m_allocator(allocator), m_first(nullptr) {}

YavRespCookieSet::~YavRespCookieSet() { delCookies(); }

void YavRespCookieSet::freeEntry(YavRespCookieEntry* entry) {
    delete entry->m_cookie;
    delete entry;
}

void YavRespCookieSet::delCookies() {
    yav_free_entries(&m_first, [this](YavRespCookieEntry* e) { freeEntry(e); });
}

void YavRespCookieSet::clear() {
    delCookies();
    m_flags = 0;
}

yav_status_t YavRespCookieSet::setFromHeaderValue(const YavStringRefT<char>& text) {
    clear();
    m_headerText.set(text.getData(), text.getLength());
    m_flags |= yav_resp_cookie_set_from_header_value;
    return parseString(text);
}

yav_status_t YavRespCookieSet::addFromHeaderValue(const YavStringRefT<char>& text) {
    m_flags &= static_cast<unsigned char>(~yav_resp_cookie_set_from_header_value);
    return parseString(text);
}

yav_status_t YavRespCookieSet::parseString(const YavStringRefT<char>& text) {
    if ((m_flags & (yav_resp_cookie_set_from_header_value | yav_resp_cookie_set_parsed)) ==
        (yav_resp_cookie_set_from_header_value | yav_resp_cookie_set_parsed)) {
        return 0;
    }
    YavBufferCursor cursor(text.getData(), text.getLength());
    // Each pass consumes a cookie name (at least one byte) or fails.
    for (;;) {
        YavRespCookie cookie(m_allocator);
        cookie.set(YavStringRefT<char>(cursor.getCurrentText(), cursor.getRemaining()));
        yav_status_t st = cookie.parseString(cursor);
        if (st != 0) return st;
        st = setCookie(&cookie, false);
        if (st != 0) return st;
        YavCookie::skipSpace(cursor);
        if (cursor.atEnd() || YavHTTPParser::wasteTerminator(cursor)) break;
        if (cursor.peek() != ',' && cursor.peek() != ';') return YAV_S_COOKIE_BAD_DELIMITER;
        cursor.advance(1);
        YavCookie::skipSpace(cursor);
    }
    if ((m_flags & yav_resp_cookie_set_from_header_value) != 0) {
        m_flags |= yav_resp_cookie_set_parsed;
    }
    return 0;
}

yav_status_t YavRespCookieSet::setCookie(YavRespCookie* cookie, bool adopt) {
    YavStringRef name;
    YavNCPStringRef path;
    yav_status_t st = cookie->getName(&name);
    if (st == 0) st = yav_cookie_path_of(cookie, &path);
    YavRespCookieEntry* merge = nullptr;
    YavRespCookieEntry** at = nullptr;
    if (st == 0) st = yav_find_place(&m_first, name, path, &merge, &at);
    if (st == 0 && merge != nullptr) return yav_take_parts(cookie, merge->m_cookie, false, adopt);
    YavRespCookieEntry* e = nullptr;
    if (st == 0) {
        e = new (m_allocator) YavRespCookieEntry();
        if (e == nullptr) st = YAV_S_NO_MEMORY;
    }
    if (st == 0) {
        if (adopt) {
            e->m_cookie = cookie;
        } else {
            e->m_cookie = new (m_allocator) YavRespCookie(m_allocator);
            if (e->m_cookie == nullptr) {
                st = YAV_S_NO_MEMORY;
            } else {
                st = yav_copy_parts(cookie, e->m_cookie);
            }
        }
    }
    if (st != 0) {
        if (e != nullptr) {
            if (e->m_cookie != cookie) delete e->m_cookie;
            delete e;
        }
        if (adopt) delete cookie;
        return st;
    }
    e->m_next = *at;
    *at = e;
    return 0;
}

yav_status_t YavRespCookieSet::setCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                                         const YavStringRefT<char>* path,
                                         const YavStringRefT<char>* domain,
                                         const YavStringRefT<char>* comment,
                                         const YavStringRefT<char>* maxAge, uint32_t secure,
                                         int version) {
    YavRespCookie cookie(name, value, path, domain, comment, maxAge, secure, version, m_allocator);
    return setCookie(&cookie, false);
}

yav_status_t YavRespCookieSet::setCookie(const YavStringRefT<char>& text) {
    YavRespCookie cookie(text, m_allocator);
    return setCookie(&cookie, false);
}

yav_status_t YavRespCookieSet::setCookieByName(YavRespCookie* cookie, bool adopt) {
    YavStringRef name;
    yav_status_t st = cookie->getName(&name);
    if (st != 0) {
        if (adopt) delete cookie;
        return st;
    }
    YavRespCookieEntry** link = yav_find_name(&m_first, name);
    if (*link == nullptr) return setCookie(cookie, adopt);
    return yav_replace_by_name(&m_first, link, cookie, adopt,
                               [this](YavRespCookieEntry* e) { freeEntry(e); });
}

yav_status_t YavRespCookieSet::setCookieByName(
    const YavStringRef& name, const YavStringRefT<char>& value, const YavStringRefT<char>* path,
    const YavStringRefT<char>* domain, const YavStringRefT<char>* comment,
    const YavStringRefT<char>* maxAge, uint32_t secure, int version) {
    YavRespCookie cookie(name, value, path, domain, comment, maxAge, secure, version, m_allocator);
    return setCookieByName(&cookie, false);
}

yav_status_t YavRespCookieSet::setCookieByName(const YavStringRefT<char>& text) {
    YavRespCookie cookie(text, m_allocator);
    return setCookieByName(&cookie, false);
}

YavRespCookieSet::NameIterator YavRespCookieSet::beginName(const YavStringRef& name) {
    return NameIterator(*yav_find_name(&m_first, name), name);
}

yav_status_t YavRespCookieSet::removeCookie(const YavStringRef& name,
                                            const YavStringRefT<char>* path) {
    bool removed = false;
    return yav_remove_entries(
        &m_first, name, path, [this](YavRespCookieEntry* e) { freeEntry(e); }, &removed);
}
