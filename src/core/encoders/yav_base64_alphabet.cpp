// The Base64 alphabets; the reverse tables are derived from the symbols at
// compile time so that the two can never disagree.
#include "core/encoders/yav_base64_alphabet.h"

namespace {

constexpr YavBase64Alphabet makeAlphabet(const char (&symbols)[65]) {
    YavBase64Alphabet alphabet{};
    for (int i = 0; i < 128; ++i) alphabet.reverse[i] = YAV_BASE64_NOT_SYMBOL;
    for (int i = 0; i < 64; ++i) {
        alphabet.symbols[i] = symbols[i];
        alphabet.reverse[static_cast<unsigned char>(symbols[i])] = static_cast<unsigned char>(i);
    }
    alphabet.symbols[64] = '\0';
    return alphabet;
}

}  // namespace

constexpr YavBase64Alphabet yav_base64_std_alphabet =
    makeAlphabet("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
constexpr YavBase64Alphabet yav_base64_uri_alphabet =
    makeAlphabet("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+-");
