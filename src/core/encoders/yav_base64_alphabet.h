// The two Base64 alphabets of libyav and their reverse tables.
//
// The standard alphabet ends in '+' '/'; the URI-safe one differs only in
// its last symbol, '-' for '/' ('+' stays).  Padding is '=' in both.  Each
// reverse table maps a byte below 0x80 to its 6-bit value, or to
// YAV_BASE64_NOT_SYMBOL.  Constant data, built at compile time; any thread
// may read it.
#ifndef YAV_CORE_ENCODERS_YAV_BASE64_ALPHABET_H
#define YAV_CORE_ENCODERS_YAV_BASE64_ALPHABET_H

const unsigned char YAV_BASE64_NOT_SYMBOL = 255;
const char YAV_BASE64_PAD = '=';

struct YavBase64Alphabet {
    // The 64 symbols by value, terminated.
    char symbols[65];
    // Value of each byte below 0x80, or YAV_BASE64_NOT_SYMBOL.
    unsigned char reverse[128];

    // Value of symbol c, or YAV_BASE64_NOT_SYMBOL (also for bytes >= 0x80).
    unsigned char valueOf(char c) const {
        unsigned char b = static_cast<unsigned char>(c);
        return b < 0x80 ? reverse[b] : YAV_BASE64_NOT_SYMBOL;
    }
};

extern const YavBase64Alphabet yav_base64_std_alphabet;
extern const YavBase64Alphabet yav_base64_uri_alphabet;

#endif  // YAV_CORE_ENCODERS_YAV_BASE64_ALPHABET_H
