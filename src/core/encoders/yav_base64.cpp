// Base64 over either alphabet.
#include "core/encoders/yav_base64.h"

namespace {

void encodeUsingAlphabet(const YavBase64Alphabet& alphabet, const unsigned char* in, size_t n,
                         char* out, size_t capacity) {
    if (out == nullptr || capacity < yav_base64_encoded_size(n)) return;
    size_t w = 0;
    for (size_t r = 0; r < n; r += 3) {
        size_t left = n - r;
        yav_base64_encode_group(alphabet, in + r, left < 3 ? static_cast<int>(left) : 3, out + w);
        w += 4;
    }
    out[w] = '\0';
}

// Writes the bytes of k collected symbols (2 to 4; missing ones count as 0).
size_t emitGroup(const unsigned char v[4], int k, unsigned char* out) {
    out[0] = static_cast<unsigned char>((v[0] << 2) | (v[1] >> 4));
    if (k > 2) out[1] = static_cast<unsigned char>(((v[1] & 0x0F) << 4) | (v[2] >> 2));
    if (k > 3) out[2] = static_cast<unsigned char>(((v[2] & 0x03) << 6) | v[3]);
    return static_cast<size_t>(k - 1);
}

void decodeUsingAlphabet(const YavBase64Alphabet& alphabet, const char* in, size_t n,
                         unsigned char* out, size_t* decodedLength) {
    size_t w = 0;
    unsigned char v[4] = {0, 0, 0, 0};
    int k = 0;
    for (size_t r = 0; r < n; ++r) {
        if (in[r] == YAV_BASE64_PAD) break;
        unsigned char value = alphabet.valueOf(in[r]);
        if (value == YAV_BASE64_NOT_SYMBOL) continue;
        v[k++] = value;
        if (k == 4) {
            w += emitGroup(v, 4, out + w);
            k = 0;
        }
    }
    // A final partial group; one symbol holds less than a byte.
    if (k > 1) {
        for (int i = k; i < 4; ++i) v[i] = 0;
        w += emitGroup(v, k, out + w);
    }
    if (decodedLength != nullptr) *decodedLength = w;
}

}  // namespace

void yav_base64_encode_group(const YavBase64Alphabet& alphabet, const unsigned char* src, int take,
                             char* out) {
    const char* symbols = alphabet.symbols;
    unsigned b0 = src[0];
    unsigned b1 = take > 1 ? src[1] : 0;
    unsigned b2 = take > 2 ? src[2] : 0;
    out[0] = symbols[b0 >> 2];
    out[1] = symbols[((b0 & 0x03) << 4) | (b1 >> 4)];
    out[2] = take > 1 ? symbols[((b1 & 0x0F) << 2) | (b2 >> 6)] : YAV_BASE64_PAD;
    out[3] = take > 2 ? symbols[b2 & 0x3F] : YAV_BASE64_PAD;
}

void yav_base64_std_encode(const unsigned char* in, size_t n, char* out, size_t capacity) {
    encodeUsingAlphabet(yav_base64_std_alphabet, in, n, out, capacity);
}

void yav_base64_uri_encode(const unsigned char* in, size_t n, char* out, size_t capacity) {
    encodeUsingAlphabet(yav_base64_uri_alphabet, in, n, out, capacity);
}

void yav_base64_std_decode(const char* in, size_t n, unsigned char* out, size_t* decodedLength) {
    decodeUsingAlphabet(yav_base64_std_alphabet, in, n, out, decodedLength);
}

void yav_base64_uri_decode(const char* in, size_t n, unsigned char* out, size_t* decodedLength) {
    decodeUsingAlphabet(yav_base64_uri_alphabet, in, n, out, decodedLength);
}
