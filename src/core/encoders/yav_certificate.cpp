// Certificate decoding: just enough definite-length DER to reach the serial
// number, issuer and subject of an X.509 certificate.
//
// The structure walked is fixed (certificate, TBSCertificate, Name, RDN set,
// attribute), so nesting depth is bounded by the code itself; every element
// is checked to lie inside its parent before it is read.
#include "core/encoders/yav_certificate.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "core/system/yav_assert.h"
#include "core/ulq/ulq.h"

namespace {

// ---- built-in memory interface over the C heap ----------------------------

void* cert_malloc(void*, size_t size) { return malloc(size); }
void cert_free(void*, void* pointer) { free(pointer); }
void* cert_realloc(void*, void* pointer, size_t, size_t newSize) {
    return realloc(pointer, newSize);
}
const yav_cert_memory kHeapMemory = {nullptr, cert_malloc, cert_free, cert_realloc};

// ---- DER elements ----------------------------------------------------------

const unsigned kTagInteger = 0x02;
const unsigned kTagOid = 0x06;
const unsigned kTagSequence = 0x30;
const unsigned kTagSet = 0x31;
const unsigned kTagUniversalString = 0x1C;
const unsigned kTagBmpString = 0x1E;
const unsigned kTagExplicitVersion = 0xA0;
const unsigned kConstructed = 0x20;

// Longest length field accepted: 4 bytes, far beyond any certificate.
const int kMaxLengthBytes = 4;
// Most elements of a TBSCertificate: version, serial, signature, issuer,
// validity, subject, key, two unique IDs, extensions.
const size_t kMaxTbsElements = 10;
// Most relative names in one Name.
const size_t kMaxNames = 64;

struct DerElement {
    unsigned tag;
    const unsigned char* content;
    size_t length;
};

// Reads consecutive elements from [pos, end).
class DerReader {
  public:
    DerReader(const unsigned char* data, size_t length) : m_pos(data), m_end(data + length) {}

    bool atEnd() const { return m_pos == m_end; }

    // The next element; false when it is not a single-byte tag with a
    // definite length that fits in what is left.
    bool next(DerElement* element) {
        size_t left = static_cast<size_t>(m_end - m_pos);
        if (left < 2) return false;
        unsigned tag = m_pos[0];
        if ((tag & 0x1F) == 0x1F) return false;  // multi-byte tag numbers
        unsigned first = m_pos[1];
        size_t header = 2;
        size_t length = first;
        if (first & 0x80) {
            int count = static_cast<int>(first & 0x7F);
            if (count == 0 || count > kMaxLengthBytes) return false;  // indefinite or huge
            if (left < header + static_cast<size_t>(count)) return false;
            length = 0;
            for (int i = 0; i < count; ++i) length = (length << 8) | m_pos[header + i];
            header += static_cast<size_t>(count);
        }
        if (length > left - header) return false;
        element->tag = tag;
        element->content = m_pos + header;
        element->length = length;
        m_pos += header + length;
        return true;
    }

  private:
    const unsigned char* m_pos;
    const unsigned char* m_end;
};

// Splits a constructed element into at most max parts; false when it is
// primitive, malformed, or has more parts.
bool splitElement(const DerElement& element, DerElement* parts, size_t max, size_t* count) {
    if ((element.tag & kConstructed) == 0) return false;
    DerReader reader(element.content, element.length);
    size_t n = 0;
    while (!reader.atEnd()) {
        if (n == max) return false;
        if (!reader.next(&parts[n])) return false;
        ++n;
    }
    *count = n;
    return true;
}

// ---- serial number ---------------------------------------------------------

char* serialText(const DerElement& serial, const yav_cert_memory& memory) {
    static const char kHex[] = "0123456789ABCDEF";
    // Two digits per byte, a dot between bytes, the terminator after the last.
    char* text = static_cast<char*>(memory.allocate(memory.context, 3 * serial.length));
    YAV_ASSERT(text != nullptr);
    char* w = text;
    for (size_t i = 0; i < serial.length; ++i) {
        if (i > 0) *w++ = '.';
        *w++ = kHex[serial.content[i] >> 4];
        *w++ = kHex[serial.content[i] & 0x0F];
    }
    *w = '\0';
    return text;
}

// ---- names -----------------------------------------------------------------

struct AttributeName {
    unsigned char oid[9];
    size_t oidLength;
    const char* shortName;
};

const AttributeName kAttributeNames[] = {
    {{0x55, 0x04, 0x03}, 3, "CN"},
    {{0x55, 0x04, 0x06}, 3, "C"},
    {{0x55, 0x04, 0x07}, 3, "L"},
    {{0x55, 0x04, 0x08}, 3, "ST"},
    {{0x55, 0x04, 0x0A}, 3, "O"},
    {{0x55, 0x04, 0x0B}, 3, "OU"},
    {{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x01}, 9, "E"},
};

const char* shortNameOf(const DerElement& oid) {
    for (const AttributeName& name : kAttributeNames) {
        if (oid.length == name.oidLength && memcmp(oid.content, name.oid, oid.length) == 0) {
            return name.shortName;
        }
    }
    return nullptr;
}

// The text of a name under construction, always NUL-terminated.
class NameText {
  public:
    explicit NameText(const yav_cert_memory& memory) : m_memory(memory) {
        m_data = static_cast<char*>(m_memory.allocate(m_memory.context, kStep));
        YAV_ASSERT(m_data != nullptr);
        m_capacity = kStep;
        m_data[0] = '\0';
    }
    ~NameText() {
        if (m_data != nullptr) m_memory.free(m_memory.context, m_data);
    }
    YAV_DISALLOW_COPY(NameText);

    // Makes room for extra more bytes and the terminator, in steps of 256.
    void reserve(size_t extra) {
        size_t need = m_used + extra + 1;
        if (need <= m_capacity) return;
        size_t capacity = m_capacity + (need - m_capacity + kStep - 1) / kStep * kStep;
        char* data =
            static_cast<char*>(m_memory.reallocate(m_memory.context, m_data, m_capacity, capacity));
        YAV_ASSERT(data != nullptr);
        m_data = data;
        m_capacity = capacity;
    }

    // REQUIRES: room reserved for n bytes.
    void append(const char* s, size_t n) {
        memcpy(m_data + m_used, s, n);
        m_used += n;
        m_data[m_used] = '\0';
    }

    // Appends the n bytes at s as UTF-8 text, stopping before a character
    // that would be cut and at a zero byte.
    // REQUIRES: room reserved for n bytes.
    void appendText(const unsigned char* s, size_t n) {
        // The copy is terminated before the code-set layer scans it, since it
        // looks a few bytes beyond n for a character cut at the end.
        memcpy(m_data + m_used, s, n);
        m_data[m_used + n] = '\0';
        ulq_strncpy(ulq_utf8_cs(), m_data + m_used, m_data + m_used, n);
        m_used += strlen(m_data + m_used);
    }

    // Appends n UCS-2 units converted to UTF-8; false when they do not convert.
    // REQUIRES: room reserved for 3 * n bytes.
    bool appendUcs2(const ulq_wchar_t* units, size_t n) {
        const ulq_wchar_t* src = units;
        size_t srcLeft = n;
        char* dst = m_data + m_used;
        size_t dstLeft = m_capacity - m_used - 1;
        if (ulq_from_ucs2_r(ulq_utf8_cs(), &src, &srcLeft, &dst, &dstLeft) != 0) return false;
        m_used = static_cast<size_t>(dst - m_data);
        m_data[m_used] = '\0';
        return true;
    }

    // Hands the text over to the caller.
    char* release() {
        char* data = m_data;
        m_data = nullptr;
        return data;
    }

  private:
    static const size_t kStep = 256;
    const yav_cert_memory& m_memory;
    char* m_data;
    size_t m_capacity;
    size_t m_used = 0;
};

// Appends a BMPString value: big-endian UCS-2, or little-endian when it opens
// with the byte-swapped mark FF FE.
bool appendBmpString(const DerElement& value, const yav_cert_memory& memory, NameText* text) {
    if (value.length % 2 != 0) return false;
    size_t n = value.length / 2;
    if (n == 0) return true;
    ulq_wchar_t* units =
        static_cast<ulq_wchar_t*>(memory.allocate(memory.context, n * sizeof(ulq_wchar_t)));
    YAV_ASSERT(units != nullptr);
    bool swapped = value.content[0] == 0xFF && value.content[1] == 0xFE;
    for (size_t i = 0; i < n; ++i) {
        unsigned hi = value.content[2 * i];
        unsigned lo = value.content[2 * i + 1];
        units[i] = static_cast<ulq_wchar_t>(swapped ? (lo << 8 | hi) : (hi << 8 | lo));
    }
    text->reserve(3 * n);
    bool ok = text->appendUcs2(units, n);
    memory.free(memory.context, units);
    return ok;
}

// Appends one AttributeTypeAndValue as "SN=value".
bool appendAttribute(const DerElement& attribute, const yav_cert_memory& memory, NameText* text) {
    if (attribute.tag != kTagSequence) return false;
    DerElement parts[2];
    size_t count = 0;
    if (!splitElement(attribute, parts, 2, &count) || count != 2) return false;
    if (parts[0].tag != kTagOid) return false;
    const char* shortName = shortNameOf(parts[0]);
    if (shortName == nullptr) return false;
    const DerElement& value = parts[1];
    if ((value.tag & kConstructed) != 0 || value.tag == kTagUniversalString) return false;

    size_t nameLength = strlen(shortName);
    text->reserve(nameLength + 1);
    text->append(shortName, nameLength);
    text->append("=", 1);
    if (value.tag == kTagBmpString) return appendBmpString(value, memory, text);
    text->reserve(value.length);
    text->appendText(value.content, value.length);
    return true;
}

// A Name (SEQUENCE OF SET OF AttributeTypeAndValue) as text, or null.
char* nameText(const DerElement& name, const yav_cert_memory& memory) {
    if (name.tag != kTagSequence) return nullptr;
    DerElement rdns[kMaxNames];
    size_t count = 0;
    if (!splitElement(name, rdns, kMaxNames, &count)) return nullptr;
    NameText text(memory);
    for (size_t i = count; i-- > 0;) {
        if (rdns[i].tag != kTagSet) return nullptr;
        DerReader reader(rdns[i].content, rdns[i].length);
        while (!reader.atEnd()) {
            DerElement attribute;
            if (!reader.next(&attribute)) return nullptr;
            if (!appendAttribute(attribute, memory, &text)) return nullptr;
            // The first relative name is written last and ends the text.
            if (i != 0) {
                text.reserve(1);
                text.append(",", 1);
            }
        }
    }
    return text.release();
}

// True when the explicit version field holds the INTEGER 2 (v3).
bool isVersion3(const DerElement& version) {
    DerElement integer[1];
    size_t count = 0;
    if (!splitElement(version, integer, 1, &count) || count != 1) return false;
    if (integer[0].tag != kTagInteger || integer[0].length == 0) return false;
    for (size_t i = 0; i + 1 < integer[0].length; ++i) {
        if (integer[0].content[i] != 0) return false;
    }
    return integer[0].content[integer[0].length - 1] == 2;
}

bool decode(const unsigned char* der, size_t length, const yav_cert_memory& memory,
            yav_cert_result* result) {
    DerReader reader(der, length);
    DerElement certificate;
    if (!reader.next(&certificate) || certificate.tag != kTagSequence) return false;
    DerElement signedParts[3];
    size_t count = 0;
    if (!splitElement(certificate, signedParts, 3, &count) || count != 3) return false;
    const DerElement& tbs = signedParts[0];
    if (tbs.tag != kTagSequence) return false;

    DerElement elements[kMaxTbsElements];
    if (!splitElement(tbs, elements, kMaxTbsElements, &count)) return false;
    size_t first = 0;
    if (count > 0 && elements[0].tag == kTagExplicitVersion) {
        if (!isVersion3(elements[0])) return false;
        first = 1;
    }
    // Serial, signature algorithm, issuer, validity, subject.
    if (count < first + 5) return false;
    const DerElement& serial = elements[first];
    const DerElement& issuer = elements[first + 2];
    const DerElement& subject = elements[first + 4];
    if (serial.tag != kTagInteger || serial.length == 0) return false;
    if (elements[first + 1].tag != kTagSequence || elements[first + 3].tag != kTagSequence) {
        return false;
    }

    result->issuer = nameText(issuer, memory);
    if (result->issuer == nullptr) return false;
    result->subject = nameText(subject, memory);
    if (result->subject == nullptr) return false;
    result->serial_number = serialText(serial, memory);
    return true;
}

}  // namespace

int yav_decode_certificate(const unsigned char* der, size_t length, const yav_cert_memory* memory,
                           yav_cert_result* result) {
    YAV_ASSERT(result != nullptr);
    const yav_cert_memory& mem = memory != nullptr ? *memory : kHeapMemory;
    result->serial_number = nullptr;
    result->issuer = nullptr;
    result->subject = nullptr;
    if (der == nullptr) return 0;
    if (decode(der, length, mem, result)) return 1;
    yav_certificate_free(&mem, result);
    return 0;
}

void yav_certificate_free(const yav_cert_memory* memory, yav_cert_result* result) {
    const yav_cert_memory& mem = memory != nullptr ? *memory : kHeapMemory;
    char* texts[] = {result->serial_number, result->issuer, result->subject};
    for (char* text : texts) {
        if (text != nullptr) mem.free(mem.context, text);
    }
    result->serial_number = nullptr;
    result->issuer = nullptr;
    result->subject = nullptr;
}
