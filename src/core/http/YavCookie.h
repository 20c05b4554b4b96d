// YavCookie: one cookie of a Cookie request header (YavReqCookie) or of a
// Set-Cookie response header (YavRespCookie).
//
// A cookie is made either from its parts or from a slice of header text.  A
// cookie made from text keeps the slice and parses it only when a part is
// asked for or changed; as long as nothing was changed, its serialised form
// is the slice byte for byte (white space and letter case included).  Once a
// part is changed, the cookie is formatted from its parts.
//
// Memory: every reference (text, name, value, path, ...) points at memory
// the caller owns and that must outlive the cookie, until takeOwnership()
// replaces each by a private copy made through the allocator given at
// construction (null = process heap); the destructor frees those copies.
//
// Threads: a cookie belongs to one thread at a time; even getters may parse.
// Not copyable.
#ifndef YAV_CORE_HTTP_YAVCOOKIE_H
#define YAV_CORE_HTTP_YAVCOOKIE_H

#include <cstdint>

#include "core/buffers/YavBufferCursor.h"
#include "core/buffers/YavString.h"
#include "core/memory/YavAllocator.h"
#include "core/sundry/yav_base.h"

class YAV_EXPORT YavCookie : public YavAllocatedObject {
  public:
    enum : unsigned char {
        yav_cookie_made_from_text = 0x80,
        yav_cookie_made_from_parts = 0x40,
        yav_cookie_text_current = 0x20,
        yav_cookie_has_name = 0x10,
        yav_cookie_has_value = 0x08,
        yav_cookie_has_path = 0x04,
        yav_cookie_has_domain = 0x02,
    };

    explicit YavCookie(YavAllocator* allocator = nullptr);
    // Made from text: nothing is parsed yet.
    YavCookie(const YavStringRefT<char>& text, YavAllocator* allocator);
    // Made from parts; path and domain are taken only when given and
    // non-empty.
    YavCookie(const YavStringRef& name, const YavStringRefT<char>& value,
              const YavStringRefT<char>* path, const YavStringRefT<char>* domain,
              YavAllocator* allocator);
    virtual ~YavCookie();
    YAV_DISALLOW_COPY(YavCookie);

    // The cookie becomes one made from text, whose serialised form is the
    // whole of text until it is parsed; the parts are parsed again on demand.
    virtual yav_status_t set(const YavStringRefT<char>& text);
    // Length of the serialised form.
    virtual yav_status_t getLen(int* length);
    // Writes the serialised form and a NUL.
    // REQUIRES: buffer holds at least getLen() + 1 bytes.
    virtual yav_status_t get(char* buffer);
    // getLen, then get into out (grown as needed), whose length is then set.
    virtual yav_status_t get(YavNCPString* out);
    // Replaces every non-empty reference by a private copy.
    virtual yav_status_t takeOwnership();
    // Parses one cookie at the cursor.
    virtual yav_status_t parseString(YavBufferCursor& cursor) = 0;

    // Getters give YAV_S_NOT_AVAILABLE for an absent part.
    yav_status_t getName(YavStringRef* name);
    yav_status_t getValue(YavNCPStringRef* value);
    yav_status_t getPath(YavNCPStringRef* path);
    yav_status_t getDomain(YavNCPStringRef* domain);
    // Setters keep the reference given (no copy).
    yav_status_t setName(const YavStringRef& name);
    yav_status_t setValue(const YavStringRefT<char>& value);
    yav_status_t setPath(const YavStringRefT<char>& path);
    yav_status_t setDomain(const YavStringRefT<char>& domain);
    // True when the cookie has a name (parsing first if needed) and it is
    // name byte for byte.
    bool nameIs(const YavStringRef& name);

    unsigned char getFlags() const { return m_flags; }

    // Text helpers shared by the cookies and the cookie sets.
    // ASCII case-insensitive comparison of token with word (wordLen bytes).
    static bool wordIs(const YavStringRef& token, const char* word, int wordLen);
    // Skips white space at the cursor, leaving the mark at the new position.
    static void skipSpace(YavBufferCursor& cursor);
    // One or more decimal digits fitting in 31 bits; *version is left
    // unchanged when text is not such a number.
    static bool parseVersion(const YavStringRef& text, int32_t* version);
    // Number of decimal digits of v.
    static int decimalDigits(uint32_t v);
    // Writes v in decimal at p (no NUL); returns the end.
    static char* putDecimal(char* p, uint32_t v);
    // Stores version in *stored and sets flag in *flags, or clears flag
    // for -1; false when that changes nothing.
    static bool updateVersion(int version, int32_t* stored, unsigned char* flags,
                              unsigned char flag);

  protected:
    // Parses when made from text, not from parts, and not parsed yet.
    yav_status_t ensureParsed();
    // After a change: formatted from the parts from now on.
    void markChanged() {
        m_flags &=
            static_cast<unsigned char>(~(yav_cookie_text_current | yav_cookie_made_from_text));
    }
    // Points ref at a private copy of its text (no change for empty text).
    template <class Enc>
    yav_status_t own(YavStringRefT<char, Enc>& ref);
    // Shared part of getLen/get: the recorded text, or a parse first.
    yav_status_t lengthFromText(bool* done, int* length);
    // Bytes of the formatted form after "name=value".
    virtual int attributesLen() = 0;
    // Writes the formatted attributes at p; returns the end (no NUL).
    virtual char* putAttributes(char* p) = 0;
    // Parses "name [= value]" and the white space after it.  A response
    // cookie must not end right after its name, and an '=' without a value
    // takes its earlier value away; a request cookie keeps it.
    yav_status_t parseNameValue(YavBufferCursor& cursor, bool response);
    // Constructor bodies shared with the derived classes.
    void initFromText(const YavStringRefT<char>& text);
    void initFromParts(const YavStringRef& name, const YavStringRefT<char>& value,
                       const YavStringRefT<char>* path, const YavStringRefT<char>* domain);
    // Getter helper: *out = field when flag is in flags, parsing first if
    // needed; YAV_S_NOT_AVAILABLE when it is still absent.
    template <class T>
    yav_status_t getPart(const unsigned char& flags, unsigned char flag, const T& field, T* out);
    // Setter helper: parses first, stores text in field, sets flag in
    // flags for non-empty text (clears it for empty text), marks a change.
    yav_status_t changePart(YavNCPStringRef& field, unsigned char& flags, unsigned char flag,
                            const YavStringRefT<char>& text);

    unsigned char m_flags;
    YavNCPStringRef m_text;
    YavStringRef m_name;
    YavNCPStringRef m_value;
    YavNCPStringRef m_path;
    YavNCPStringRef m_domain;
    int32_t m_textLen;
    YavAllocator* m_allocator;
    // Private copies made by takeOwnership, each block starting with the
    // address of the previous one.
    void* m_ownedChain;
};

class YAV_EXPORT YavReqCookie : public YavCookie {
  public:
    static const char* const Path;
    static const int PathLen = 5;
    static const char* const Domain;
    static const int DomainLen = 7;
    static const char* const Version;
    static const int VersionLen = 8;

    YavReqCookie() : YavCookie(nullptr) {}
    explicit YavReqCookie(const YavStringRefT<char>& text) : YavCookie(text, nullptr) {}
    YavReqCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                 const YavStringRefT<char>* path, const YavStringRefT<char>* domain)
        : YavCookie(name, value, path, domain, nullptr) {}

    // name [= value] then any "; $Path=..." / "; $Domain=..." attributes;
    // stops before the next cookie's name, after its separator.
    yav_status_t parseString(YavBufferCursor& cursor) override;

  protected:
    int attributesLen() override;
    char* putAttributes(char* p) override;
};

class YAV_EXPORT YavRespCookie : public YavCookie {
  public:
    enum : unsigned char {
        yav_resp_cookie_has_comment = 0x80,
        yav_resp_cookie_has_version = 0x40,
        yav_resp_cookie_has_max_age = 0x20,
        yav_resp_cookie_secure_given = 0x10,
        yav_resp_cookie_has_expires = 0x08,
    };
    static const char* const Comment;
    static const int CommentLen = 7;
    static const char* const Domain;
    static const int DomainLen = 6;
    static const char* const Path;
    static const int PathLen = 4;
    static const char* const Version;
    static const int VersionLen = 7;
    static const char* const MaxAge;
    static const int MaxAgeLen = 7;
    static const char* const Expires;
    static const int ExpiresLen = 7;
    static const char* const Secure;
    static const int SecureLen = 6;

    explicit YavRespCookie(YavAllocator* allocator = nullptr);
    YavRespCookie(const YavStringRefT<char>& text, YavAllocator* allocator);
    // secure: all ones = not given, else the secure value is secure != 0;
    // version: -1 = not given.  Expires is never set from parts.
    YavRespCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                  const YavStringRefT<char>* path, const YavStringRefT<char>* domain,
                  const YavStringRefT<char>* comment, const YavStringRefT<char>* maxAge,
                  uint32_t secure, int version, YavAllocator* allocator);

    yav_status_t set(const YavStringRefT<char>& text) override;
    yav_status_t takeOwnership() override;
    // YAV_S_NOT_AVAILABLE for a cookie not made from text.
    yav_status_t parseString(YavBufferCursor& cursor) override;
    virtual yav_status_t set(YavStringRefT<char>& text) {
        return set(static_cast<const YavStringRefT<char>&>(text));
    }

    yav_status_t getComment(YavNCPStringRef* comment);
    yav_status_t getVersion(int* version);
    yav_status_t getMaxAge(YavNCPStringRef* maxAge);
    yav_status_t getExpires(YavNCPStringRef* expires);
    yav_status_t getSecure(bool* secure);
    yav_status_t setComment(const YavStringRefT<char>& comment);
    // -1 removes the version; the same version again changes nothing.
    yav_status_t setVersion(int version);
    yav_status_t setMaxAge(const YavStringRefT<char>& maxAge);
    yav_status_t setSecure(bool secure);

    unsigned char getRespFlags() const { return m_respFlags; }

  protected:
    int attributesLen() override;
    char* putAttributes(char* p) override;

  private:
    yav_status_t parseAttribute(const YavStringRef& name, bool hasValue, const YavStringRef& value,
                                bool* known);

    unsigned char m_respFlags;
    YavNCPStringRef m_comment;
    int32_t m_version;
    YavNCPStringRef m_maxAge;
    YavNCPStringRef m_expires;
    bool m_secure;
};

#endif  // YAV_CORE_HTTP_YAVCOOKIE_H
