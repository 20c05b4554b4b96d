#include "core/http/yav_uri_encode.h"

#include <cstring>

namespace {

bool isUnreserved(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '*' ||
           c == '-' || c == '.' || c == '_';
}

bool passes(unsigned char c, uri_encoding_type type) {
    if (isUnreserved(c)) return true;
    if (c < 0x21 || c > 0x7E || c == '%') return false;
    switch (type) {
        case yav_uri_encoding_ascii:
            return true;
        case yav_uri_encoding_uri:
            return std::strchr("<>#%\"{}|\\^[]`", c) == nullptr;
        default:
            return false;
    }
}

}  // namespace

bool yav_uri_encode_type(YavString* out, const char* source, int length, uri_encoding_type type) {
    if (out == nullptr || source == nullptr) return false;
    if (type < yav_uri_encoding_uri || type > yav_uri_encoding_ascii) return false;
    static const char kHex[] = "0123456789ABCDEF";
    for (int i = 0; length < 0 ? source[i] != '\0' : i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(source[i]);
        bool ok;
        if (c == ' ' && type == yav_uri_encoding_form_arg) {
            ok = out->append('+');
        } else if (passes(c, type)) {
            ok = out->append(static_cast<char>(c));
        } else {
            const char escaped[3] = {'%', kHex[c >> 4], kHex[c & 0x0F]};
            ok = out->append(escaped, 3);
        }
        if (!ok) return false;
    }
    return true;
}

bool yav_uri_encode(YavString* out, const char* source, int length) {
    return yav_uri_encode_type(out, source, length, yav_uri_encoding_uri);
}

bool yav_uri_encode_form_arg(YavString* out, const char* source, int length) {
    return yav_uri_encode_type(out, source, length, yav_uri_encoding_form_arg);
}

bool yav_uri_encode_query(YavString* out, const char* source, int length) {
    return yav_uri_encode_type(out, source, length, yav_uri_encoding_query);
}

bool yav_uri_encode_ascii(YavString* out, const char* source, int length) {
    return yav_uri_encode_type(out, source, length, yav_uri_encoding_ascii);
}
