// Cookies of Cookie and Set-Cookie headers: parsing on demand, exact
// reproduction of unchanged text, formatting from parts.
#include "core/http/YavCookie.h"

#include <cstring>

#include "core/http/YavHTTPParser.h"
#include "core/msg/yav_status.h"

const char* const YavReqCookie::Path = "$Path";
const char* const YavReqCookie::Domain = "$Domain";
const char* const YavReqCookie::Version = "$Version";

const char* const YavRespCookie::Comment = "Comment";
const char* const YavRespCookie::Domain = "Domain";
const char* const YavRespCookie::Path = "Path";
const char* const YavRespCookie::Version = "Version";
const char* const YavRespCookie::MaxAge = "Max-Age";
const char* const YavRespCookie::Expires = "Expires";
const char* const YavRespCookie::Secure = "Secure";

bool YavCookie::wordIs(const YavStringRef& token, const char* word, int wordLen) {
    if (token.getLength() != wordLen) return false;
    const char* data = token.getData();
    for (int i = 0; i < wordLen; ++i) {
        char a = data[i];
        char b = word[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

// Marks first: white space that is not there makes wasteWhiteSpace go back
// to the mark, which must be the current position.
void YavCookie::skipSpace(YavBufferCursor& cursor) {
    cursor.mark();
    YavHTTPParser::wasteWhiteSpace(cursor);
    cursor.mark();
}

bool YavCookie::parseVersion(const YavStringRef& text, int32_t* version) {
    int n = text.getLength();
    if (n == 0) return false;
    int64_t v = 0;
    for (int i = 0; i < n; ++i) {
        char c = text.getData()[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > INT32_MAX) return false;
    }
    *version = static_cast<int32_t>(v);
    return true;
}

int YavCookie::decimalDigits(uint32_t v) {
    int n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

char* YavCookie::putDecimal(char* p, uint32_t v) {
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0) *p++ = digits[--n];
    return p;
}

bool YavCookie::updateVersion(int version, int32_t* stored, unsigned char* flags,
                              unsigned char flag) {
    bool had = (*flags & flag) != 0;
    if (version == -1) {
        if (!had) return false;
        *flags &= static_cast<unsigned char>(~flag);
    } else {
        if (had && *stored == version) return false;
        *stored = version;
        *flags |= flag;
    }
    return true;
}

namespace {

// After an '=' has been seen: consumes it and the value.  YAV_S_NOT_AVAILABLE
// when no value follows.
yav_status_t yav_cookie_value_after_equals(YavBufferCursor& cursor, YavStringRef& value) {
    cursor.advance(1);
    cursor.mark();
    YavCookie::skipSpace(cursor);
    return YavHTTPParser::parseCookieValue(cursor, value);
}

// Bounded writer of the formatted forms; the caller sized the buffer with
// the matching length function.
struct YavCookieWriter {
    char* p;
    void put(const char* s, int n) {
        if (n > 0) memcpy(p, s, static_cast<size_t>(n));
        p += n;
    }
    void put(const YavStringRefT<char>& s) { put(s.getData(), s.getLength()); }
    void pair(const char* word, int wordLen, const YavStringRefT<char>& v) {
        put("; ", 2);
        put(word, wordLen);
        put("=", 1);
        put(v);
    }
    void number(uint32_t v) { p = YavCookie::putDecimal(p, v); }
};

}  // namespace

YavCookie::YavCookie(YavAllocator* allocator)
    : m_flags(0),
      m_text(nullptr, 0, allocator),
      m_name(nullptr, 0, allocator),
      m_value(nullptr, 0, allocator),
      m_path(nullptr, 0, allocator),
      m_domain(nullptr, 0, allocator),
      m_textLen(0),
      m_allocator(allocator),
      m_ownedChain(nullptr) {}

YavCookie::YavCookie(const YavStringRefT<char>& text, YavAllocator* allocator)
    : YavCookie(allocator) {
    initFromText(text);
}

YavCookie::YavCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                     const YavStringRefT<char>* path, const YavStringRefT<char>* domain,
                     YavAllocator* allocator)
    : YavCookie(allocator) {
    initFromParts(name, value, path, domain);
}

void YavCookie::initFromText(const YavStringRefT<char>& text) {
    m_text.set(text.getData(), text.getLength());
    m_flags = yav_cookie_made_from_text;
}

void YavCookie::initFromParts(const YavStringRef& name, const YavStringRefT<char>& value,
                              const YavStringRefT<char>* path, const YavStringRefT<char>* domain) {
    m_flags = yav_cookie_made_from_parts | yav_cookie_has_name | yav_cookie_has_value;
    m_name.set(name.getData(), name.getLength());
    m_value.set(value.getData(), value.getLength());
    if (path != nullptr && !path->isEmpty()) {
        m_path.set(path->getData(), path->getLength());
        m_flags |= yav_cookie_has_path;
    }
    if (domain != nullptr && !domain->isEmpty()) {
        m_domain.set(domain->getData(), domain->getLength());
        m_flags |= yav_cookie_has_domain;
    }
}

YavCookie::~YavCookie() {
    // Bounded by the number of copies made.
    while (m_ownedChain != nullptr) {
        void* next = *static_cast<void**>(m_ownedChain);
        YavAllocator::deallocate(m_allocator, m_ownedChain);
        m_ownedChain = next;
    }
}

yav_status_t YavCookie::set(const YavStringRefT<char>& text) {
    m_text.set(text.getData(), text.getLength());
    m_textLen = m_text.getLength();
    m_flags &= static_cast<unsigned char>(~(yav_cookie_made_from_parts | yav_cookie_has_name |
                                            yav_cookie_has_value | yav_cookie_has_path |
                                            yav_cookie_has_domain));
    m_flags |= yav_cookie_made_from_text | yav_cookie_text_current;
    return 0;
}

yav_status_t YavCookie::get(YavNCPString* out) {
    int length = 0;
    yav_status_t st = getLen(&length);
    if (st != 0) return st;
    if (!out->reserve(length + 1)) return YAV_S_NO_MEMORY;
    st = get(out->getWritableData());
    if (st != 0) return st;
    out->setLength(length);
    return 0;
}

template <class Enc>
yav_status_t YavCookie::own(YavStringRefT<char, Enc>& ref) {
    int length = ref.getLength();
    if (length == 0) return 0;
    // Earlier copies stay on the chain until the destructor: other parts
    // may still point into them (parts parsed out of an owned text).
    void* block =
        YavAllocator::allocate(m_allocator, sizeof(void*) + static_cast<size_t>(length) + 1);
    if (block == nullptr) return YAV_S_NO_MEMORY;
    *static_cast<void**>(block) = m_ownedChain;
    m_ownedChain = block;
    char* copy = static_cast<char*>(block) + sizeof(void*);
    memcpy(copy, ref.getData(), static_cast<size_t>(length));
    copy[length] = 0;
    ref.setTerminated(copy, length);
    return 0;
}

yav_status_t YavCookie::takeOwnership() {
    yav_status_t st = own(m_text);
    if (st == 0) st = own(m_name);
    if (st == 0) st = own(m_value);
    if (st == 0) st = own(m_path);
    if (st == 0) st = own(m_domain);
    return st;
}

yav_status_t YavCookie::ensureParsed() {
    if ((m_flags & (yav_cookie_made_from_text | yav_cookie_made_from_parts)) !=
            yav_cookie_made_from_text ||
        (m_flags & yav_cookie_has_name) != 0) {
        return 0;
    }
    YavBufferCursor cursor(m_text.getData(), m_text.getLength());
    yav_status_t status = parseString(cursor);
    // A text that did not parse is parsed (and refused) again on every
    // later use, so each operation reports the failure.
    if (status != 0) m_flags = static_cast<unsigned char>(m_flags & ~yav_cookie_has_name);
    return status;
}

template <class T>
yav_status_t YavCookie::getPart(const unsigned char& flags, unsigned char flag, const T& field,
                                T* out) {
    if ((flags & flag) == 0) {
        yav_status_t st = ensureParsed();
        if (st != 0) return st;
        if ((flags & flag) == 0) return YAV_S_NOT_AVAILABLE;
    }
    *out = field;
    return 0;
}

yav_status_t YavCookie::getName(YavStringRef* name) {
    return getPart(m_flags, yav_cookie_has_name, m_name, name);
}

bool YavCookie::nameIs(const YavStringRef& name) {
    YavStringRef own;
    if (getName(&own) != 0) return false;
    int n = own.getLength();
    return n == name.getLength() &&
           (n == 0 || memcmp(own.getData(), name.getData(), static_cast<size_t>(n)) == 0);
}

yav_status_t YavCookie::getValue(YavNCPStringRef* value) {
    return getPart(m_flags, yav_cookie_has_value, m_value, value);
}

yav_status_t YavCookie::getPath(YavNCPStringRef* path) {
    return getPart(m_flags, yav_cookie_has_path, m_path, path);
}

yav_status_t YavCookie::getDomain(YavNCPStringRef* domain) {
    return getPart(m_flags, yav_cookie_has_domain, m_domain, domain);
}

yav_status_t YavCookie::setName(const YavStringRef& name) {
    yav_status_t st = ensureParsed();
    if (st != 0) return st;
    m_name.set(name.getData(), name.getLength());
    m_flags |= yav_cookie_has_name;
    markChanged();
    return 0;
}

yav_status_t YavCookie::setValue(const YavStringRefT<char>& value) {
    yav_status_t st = ensureParsed();
    if (st != 0) return st;
    m_value.set(value.getData(), value.getLength());
    m_flags |= yav_cookie_has_value;
    markChanged();
    return 0;
}

namespace {
// Stores text and sets flag for non-empty text, clears it for empty text.
template <class Flags>
void yav_cookie_store(YavNCPStringRef& field, Flags& flags, unsigned char flag,
                      const YavStringRefT<char>& text) {
    field.set(text.getData(), text.getLength());
    if (text.isEmpty()) {
        flags &= static_cast<unsigned char>(~flag);
    } else {
        flags |= flag;
    }
}
}  // namespace

yav_status_t YavCookie::changePart(YavNCPStringRef& field, unsigned char& flags, unsigned char flag,
                                   const YavStringRefT<char>& text) {
    yav_status_t st = ensureParsed();
    if (st != 0) return st;
    yav_cookie_store(field, flags, flag, text);
    markChanged();
    return 0;
}

yav_status_t YavCookie::setPath(const YavStringRefT<char>& path) {
    return changePart(m_path, m_flags, yav_cookie_has_path, path);
}

yav_status_t YavCookie::setDomain(const YavStringRefT<char>& domain) {
    return changePart(m_domain, m_flags, yav_cookie_has_domain, domain);
}

yav_status_t YavCookie::lengthFromText(bool* done, int* length) {
    *done = false;
    if ((m_flags & yav_cookie_text_current) == 0 &&
        (m_flags & (yav_cookie_made_from_text | yav_cookie_made_from_parts)) ==
            yav_cookie_made_from_text) {
        YavBufferCursor cursor(m_text.getData(), m_text.getLength());
        yav_status_t st = parseString(cursor);
        if (st != 0) return st;
    }
    if ((m_flags & yav_cookie_text_current) != 0) {
        *length = m_textLen;
        *done = true;
        return 0;
    }
    if ((m_flags & yav_cookie_has_name) == 0) return YAV_S_NOT_AVAILABLE;
    return 0;
}

yav_status_t YavCookie::getLen(int* length) {
    bool done = false;
    yav_status_t st = lengthFromText(&done, length);
    if (st != 0 || done) return st;
    m_textLen = m_name.getLength() + 1 + attributesLen();
    if ((m_flags & yav_cookie_has_value) != 0) m_textLen += m_value.getLength();
    m_flags |= yav_cookie_text_current;
    *length = m_textLen;
    return 0;
}

yav_status_t YavCookie::get(char* buffer) {
    if ((m_flags & (yav_cookie_made_from_text | yav_cookie_text_current)) ==
        (yav_cookie_made_from_text | yav_cookie_text_current)) {
        int n = m_textLen;
        if (n > m_text.getLength()) n = m_text.getLength();
        memcpy(buffer, m_text.getData(), static_cast<size_t>(n));
        buffer[n] = 0;
        return 0;
    }
    if ((m_flags & yav_cookie_has_name) == 0) return YAV_S_NOT_AVAILABLE;
    YavCookieWriter w{buffer};
    w.put(m_name);
    w.put("=", 1);
    if ((m_flags & yav_cookie_has_value) != 0) w.put(m_value);
    *putAttributes(w.p) = 0;
    return 0;
}

yav_status_t YavCookie::parseNameValue(YavBufferCursor& cursor, bool response) {
    YavStringRef token;
    yav_status_t st = YavHTTPParser::parseToken(cursor, token);
    if (st != 0) return st;
    m_name.set(token.getData(), token.getLength());
    m_flags |= yav_cookie_has_name;
    skipSpace(cursor);
    if (response && cursor.atEnd()) return YAV_S_HTTP_UNEXPECTED_END;
    if (cursor.peek() == '=') {
        YavStringRef value;
        st = yav_cookie_value_after_equals(cursor, value);
        if (st == 0) {
            m_value.set(value.getData(), value.getLength());
            m_flags |= yav_cookie_has_value;
        } else if (st != YAV_S_NOT_AVAILABLE) {
            return st;
        } else if (response) {
            m_flags &= static_cast<unsigned char>(~yav_cookie_has_value);
        }
    }
    skipSpace(cursor);
    return 0;
}

// ---- request cookies ----

int YavReqCookie::attributesLen() {
    int length = 0;
    if ((m_flags & yav_cookie_has_path) != 0 && !m_path.isEmpty()) length += m_path.getLength() + 8;
    if ((m_flags & yav_cookie_has_domain) != 0 && !m_domain.isEmpty()) {
        length += m_domain.getLength() + 10;
    }
    return length;
}

char* YavReqCookie::putAttributes(char* p) {
    YavCookieWriter w{p};
    if ((m_flags & yav_cookie_has_path) != 0 && !m_path.isEmpty()) w.pair(Path, PathLen, m_path);
    if ((m_flags & yav_cookie_has_domain) != 0 && !m_domain.isEmpty()) {
        w.pair(Domain, DomainLen, m_domain);
    }
    return w.p;
}

yav_status_t YavReqCookie::parseString(YavBufferCursor& cursor) {
    int start = cursor.getOffset();
    yav_status_t st = parseNameValue(cursor, false);
    if (st != 0) return st;
    // Each pass consumes at least the separator, so the loop is bounded by
    // the input length.
    while (!cursor.atEnd() && (cursor.peek() == ';' || cursor.peek() == ',')) {
        cursor.advance(1);
        cursor.mark();
        skipSpace(cursor);
        YavBufferCursor saved = cursor;
        YavStringRef attr;
        st = YavHTTPParser::parseToken(cursor, attr);
        if (st != 0 && st != YAV_S_NOT_AVAILABLE) return st;
        bool haveAttr = st == 0;
        skipSpace(cursor);
        YavStringRef value;
        bool hasValue = false;
        if (cursor.peek() == '=') {
            st = yav_cookie_value_after_equals(cursor, value);
            if (st == 0) {
                hasValue = true;
            } else if (st != YAV_S_NOT_AVAILABLE) {
                return st;
            }
        }
        if (haveAttr && wordIs(attr, Domain, DomainLen)) {
            m_domain.set(value.getData(), hasValue ? value.getLength() : 0);
            if (hasValue) {
                m_flags |= yav_cookie_has_domain;
            } else {
                m_flags &= static_cast<unsigned char>(~yav_cookie_has_domain);
            }
        } else if (haveAttr && wordIs(attr, Path, PathLen)) {
            m_path.set(value.getData(), hasValue ? value.getLength() : 0);
            if (hasValue) {
                m_flags |= yav_cookie_has_path;
            } else {
                m_flags &= static_cast<unsigned char>(~yav_cookie_has_path);
            }
        } else if (haveAttr) {
            // Another cookie's name: it starts after this separator.
            cursor = saved;
            break;
        }
        skipSpace(cursor);
    }
    if ((m_flags & yav_cookie_made_from_text) != 0) {
        m_textLen = cursor.getOffset() - start;
        m_flags |= yav_cookie_text_current;
    }
    return 0;
}

// ---- response cookies ----

YavRespCookie::YavRespCookie(YavAllocator* allocator)
    : YavCookie(allocator),
      m_respFlags(0),
      m_comment(nullptr, 0, allocator),
      m_version(0),
      m_maxAge(nullptr, 0, allocator),
      m_expires(nullptr, 0, allocator),
      m_secure(false) {}

YavRespCookie::YavRespCookie(const YavStringRefT<char>& text, YavAllocator* allocator)
    : YavRespCookie(allocator) {
    initFromText(text);
}

YavRespCookie::YavRespCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                             const YavStringRefT<char>* path, const YavStringRefT<char>* domain,
                             const YavStringRefT<char>* comment, const YavStringRefT<char>* maxAge,
                             uint32_t secure, int version, YavAllocator* allocator)
    : YavRespCookie(allocator) {
    initFromParts(name, value, path, domain);
    if (comment != nullptr && !comment->isEmpty()) {
        yav_cookie_store(m_comment, m_respFlags, yav_resp_cookie_has_comment, *comment);
    }
    if (maxAge != nullptr && !maxAge->isEmpty()) {
        yav_cookie_store(m_maxAge, m_respFlags, yav_resp_cookie_has_max_age, *maxAge);
    }
    if (secure != UINT32_MAX) {
        m_respFlags |= yav_resp_cookie_secure_given;
        m_secure = secure != 0;
    }
    if (version != -1) {
        m_respFlags |= yav_resp_cookie_has_version;
        m_version = version;
    }
}

yav_status_t YavRespCookie::set(const YavStringRefT<char>& text) {
    m_respFlags = 0;
    return YavCookie::set(text);
}

yav_status_t YavRespCookie::takeOwnership() {
    yav_status_t st = YavCookie::takeOwnership();
    if (st == 0) st = own(m_comment);
    if (st == 0) st = own(m_maxAge);
    if (st == 0) st = own(m_expires);
    return st;
}

int YavRespCookie::attributesLen() {
    int length = 0;
    if ((m_respFlags & yav_resp_cookie_has_comment) != 0) length += m_comment.getLength() + 10;
    if ((m_flags & yav_cookie_has_domain) != 0) length += m_domain.getLength() + 9;
    if ((m_flags & yav_cookie_has_path) != 0) length += m_path.getLength() + 7;
    if ((m_respFlags & yav_resp_cookie_has_max_age) != 0) length += m_maxAge.getLength() + 10;
    if ((m_respFlags & yav_resp_cookie_has_expires) != 0) length += m_expires.getLength() + 10;
    if ((m_respFlags & yav_resp_cookie_has_version) != 0) {
        length += decimalDigits(static_cast<uint32_t>(m_version)) + 10;
    }
    if ((m_respFlags & yav_resp_cookie_secure_given) != 0 && m_secure) length += 8;
    return length;
}

char* YavRespCookie::putAttributes(char* p) {
    YavCookieWriter w{p};
    if ((m_respFlags & yav_resp_cookie_has_comment) != 0) w.pair(Comment, CommentLen, m_comment);
    if ((m_flags & yav_cookie_has_domain) != 0) w.pair(Domain, DomainLen, m_domain);
    if ((m_flags & yav_cookie_has_path) != 0) w.pair(Path, PathLen, m_path);
    if ((m_respFlags & yav_resp_cookie_has_max_age) != 0) w.pair(MaxAge, MaxAgeLen, m_maxAge);
    if ((m_respFlags & yav_resp_cookie_has_expires) != 0) w.pair(Expires, ExpiresLen, m_expires);
    if ((m_respFlags & yav_resp_cookie_has_version) != 0) {
        w.put("; ", 2);
        w.put(Version, VersionLen);
        w.put("=", 1);
        w.number(static_cast<uint32_t>(m_version));
    }
    if ((m_respFlags & yav_resp_cookie_secure_given) != 0 && m_secure) {
        w.put("; ", 2);
        w.put(Secure, SecureLen);
    }
    return w.p;
}

yav_status_t YavRespCookie::parseAttribute(const YavStringRef& name, bool hasValue,
                                           const YavStringRef& value, bool* known) {
    *known = true;
    if (wordIs(name, Domain, DomainLen)) {
        if (!hasValue) return YAV_S_COOKIE_DOMAIN_NO_VALUE;
        m_domain.set(value.getData(), value.getLength());
        m_flags |= yav_cookie_has_domain;
    } else if (wordIs(name, Path, PathLen)) {
        if (!hasValue) return YAV_S_COOKIE_PATH_NO_VALUE;
        m_path.set(value.getData(), value.getLength());
        m_flags |= yav_cookie_has_path;
    } else if (wordIs(name, Version, VersionLen)) {
        if (!hasValue) return YAV_S_COOKIE_VERSION_NO_VALUE;
        if (!parseVersion(value, &m_version)) return YAV_S_COOKIE_BAD_VERSION;
        m_respFlags |= yav_resp_cookie_has_version;
    } else if (wordIs(name, MaxAge, MaxAgeLen)) {
        if (!hasValue) return YAV_S_COOKIE_MAX_AGE_NO_VALUE;
        m_maxAge.set(value.getData(), value.getLength());
        m_respFlags |= yav_resp_cookie_has_max_age;
    } else if (wordIs(name, Expires, ExpiresLen)) {
        if (!hasValue) return YAV_S_COOKIE_EXPIRES_NO_VALUE;
        m_expires.set(value.getData(), value.getLength());
        m_respFlags |= yav_resp_cookie_has_expires;
    } else if (wordIs(name, Secure, SecureLen)) {
        if (hasValue) return YAV_S_COOKIE_SECURE_HAS_VALUE;
        m_secure = true;
        m_respFlags |= yav_resp_cookie_secure_given;
    } else if (wordIs(name, Comment, CommentLen)) {
        if (!hasValue) return YAV_S_COOKIE_COMMENT_NO_VALUE;
        m_comment.set(value.getData(), value.getLength());
        m_respFlags |= yav_resp_cookie_has_comment;
    } else {
        *known = false;
    }
    return 0;
}

yav_status_t YavRespCookie::parseString(YavBufferCursor& cursor) {
    if ((m_flags & yav_cookie_made_from_text) == 0) return YAV_S_NOT_AVAILABLE;
    int start = cursor.getOffset();
    yav_status_t st = parseNameValue(cursor, true);
    if (st != 0) return st;
    // Each pass consumes at least the separator.
    while (!cursor.atEnd() && cursor.peek() == ';') {
        cursor.advance(1);
        cursor.mark();
        skipSpace(cursor);
        YavBufferCursor saved = cursor;
        YavStringRef attr;
        st = YavHTTPParser::parseToken(cursor, attr);
        if (st == YAV_S_NOT_AVAILABLE) return YAV_S_COOKIE_BAD_PARAM_NAME;
        if (st != 0) return st;
        skipSpace(cursor);
        YavStringRef value;
        bool hasValue = false;
        if (cursor.peek() == '=') {
            st = yav_cookie_value_after_equals(cursor, value);
            if (st == YAV_S_NOT_AVAILABLE) return YAV_S_COOKIE_BAD_PARAM_VALUE;
            if (st != 0) return st;
            hasValue = true;
        }
        bool known = false;
        st = parseAttribute(attr, hasValue, value, &known);
        if (st != 0) return st;
        if (!known) {
            cursor = saved;
            break;
        }
        skipSpace(cursor);
    }
    m_textLen = cursor.getOffset() - start;
    m_flags |= yav_cookie_text_current;
    return 0;
}

yav_status_t YavRespCookie::getComment(YavNCPStringRef* comment) {
    return getPart(m_respFlags, yav_resp_cookie_has_comment, m_comment, comment);
}

yav_status_t YavRespCookie::getMaxAge(YavNCPStringRef* maxAge) {
    return getPart(m_respFlags, yav_resp_cookie_has_max_age, m_maxAge, maxAge);
}

yav_status_t YavRespCookie::getExpires(YavNCPStringRef* expires) {
    return getPart(m_respFlags, yav_resp_cookie_has_expires, m_expires, expires);
}

yav_status_t YavRespCookie::getVersion(int* version) {
    return getPart(m_respFlags, yav_resp_cookie_has_version, m_version, version);
}

yav_status_t YavRespCookie::getSecure(bool* secure) {
    return getPart(m_respFlags, yav_resp_cookie_secure_given, m_secure, secure);
}

yav_status_t YavRespCookie::setComment(const YavStringRefT<char>& comment) {
    return changePart(m_comment, m_respFlags, yav_resp_cookie_has_comment, comment);
}

yav_status_t YavRespCookie::setMaxAge(const YavStringRefT<char>& maxAge) {
    return changePart(m_maxAge, m_respFlags, yav_resp_cookie_has_max_age, maxAge);
}

yav_status_t YavRespCookie::setSecure(bool secure) {
    yav_status_t st = ensureParsed();
    if (st != 0) return st;
    m_secure = secure;
    m_respFlags |= yav_resp_cookie_secure_given;
    markChanged();
    return 0;
}

yav_status_t YavRespCookie::setVersion(int version) {
    yav_status_t st = ensureParsed();
    if (st != 0) return st;
    if (updateVersion(version, &m_version, &m_respFlags, yav_resp_cookie_has_version)) {
        markChanged();
    }
    return 0;
}
