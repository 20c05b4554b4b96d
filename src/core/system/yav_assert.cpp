#include "core/system/yav_assert.h"

#include <cstdio>
#include <cstdlib>

void yav_assert_fail(const char* file, int line, const char* expression) {
    fprintf(stderr, "Assertion failed at %s:%d: %s\n", file, line, expression);
    fflush(stderr);
    abort();
}
