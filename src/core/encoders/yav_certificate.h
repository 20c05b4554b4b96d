// yav_decode_certificate: the serial number, issuer and subject of a
// DER-encoded X.509 certificate (v1, or v3 with an explicit version), as text.
//
// Stateless; any thread may call it.  The DER bytes belong to the caller and
// are only read, never past the given length.  The three result strings are
// allocated through the memory interface passed in (or malloc when none is)
// and belong to the caller, who releases them through the same interface
// (yav_certificate_free does that).
#ifndef YAV_CORE_ENCODERS_YAV_CERTIFICATE_H
#define YAV_CORE_ENCODERS_YAV_CERTIFICATE_H

#include <stddef.h>

#include "core/sundry/yav_base.h"

// How the decoder gets memory.  context is passed back to every call.
struct yav_cert_memory {
    void* context;
    void* (*allocate)(void* context, size_t size);
    void (*free)(void* context, void* pointer);
    void* (*reallocate)(void* context, void* pointer, size_t oldSize, size_t newSize);
};

// The decoded texts, NUL-terminated UTF-8.
struct yav_cert_result {
    // Content bytes of the serial INTEGER as upper-case hex pairs joined by
    // '.', leading zero byte kept: "00.FF".
    char* serial_number;
    // Names as "CN=Joe,O=Org,C=US": the relative names last first.
    char* issuer;
    char* subject;
};

// Decodes length bytes at der.  Returns 1 and fills *result on success; 0 for
// any malformed or unsupported input (then *result is left null and nothing
// stays allocated).  A null memory uses malloc, free and realloc.  Running
// out of memory ends the process through YAV_ASSERT.
// REQUIRES: result != nullptr; der != nullptr || length == 0.
YAV_EXPORT int yav_decode_certificate(const unsigned char* der, size_t length,
                                      const yav_cert_memory* memory, yav_cert_result* result);

// Frees the strings of result through memory (null: free) and nulls them.
YAV_EXPORT void yav_certificate_free(const yav_cert_memory* memory, yav_cert_result* result);

#endif  // YAV_CORE_ENCODERS_YAV_CERTIFICATE_H
