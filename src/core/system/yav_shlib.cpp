#include "core/system/yav_shlib.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "core/msg/yav_status.h"
#include "core/system/yav_sys_error.h"
#include "core/ulq/ulq.h"

namespace {

// Puts the system's (local-code-page) text into the caller's buffer in
// UTF-8.  Without a code set to convert from, only the ASCII prefix is kept,
// which is never a split character.
void put_error_text(const char* text, char* errorText, size_t errorTextSize) {
    if (errorText == nullptr || errorTextSize == 0) return;
    if (text == nullptr) text = "";
    ulq_cs_t local = ulq_local_cs();
    if (local != nullptr) {
        yav_sys_to_utf8_prefix(local, text, strlen(text), errorText, errorTextSize);
        return;
    }
    size_t len = 0;
    while (len + 1 < errorTextSize && text[len] != '\0' &&
           static_cast<unsigned char>(text[len]) < 0x80) {
        ++len;
    }
    memcpy(errorText, text, len);
    errorText[len] = '\0';
}

void clear_error_text(char* errorText, size_t errorTextSize) {
    if (errorText != nullptr && errorTextSize > 0) errorText[0] = '\0';
}

}  // namespace

yav_status_t yav_shlib_open(const char* path, yav_shlib_handle_t* handle, char* errorText,
                            size_t errorTextSize) {
    if (path == nullptr || handle == nullptr) return YAV_S_INVALID_VALUE;
    *handle = dlopen(path, RTLD_NOW);
    if (*handle == nullptr) {
        put_error_text(dlerror(), errorText, errorTextSize);
        return YAV_S_MODULE_OPEN;
    }
    clear_error_text(errorText, errorTextSize);
    return 0;
}

yav_status_t yav_shlib_resolve(yav_shlib_handle_t handle, const char* symbol, void** address,
                               char* errorText, size_t errorTextSize) {
    if (handle == nullptr || symbol == nullptr || address == nullptr) return YAV_S_INVALID_VALUE;
    // A symbol may legitimately have the value null: only dlerror tells a
    // failure apart, so clear it first.
    dlerror();
    *address = dlsym(handle, symbol);
    const char* error = dlerror();
    if (error != nullptr) {
        *address = nullptr;
        put_error_text(error, errorText, errorTextSize);
        return YAV_S_MODULE_OPEN;
    }
    clear_error_text(errorText, errorTextSize);
    return 0;
}

yav_status_t yav_shlib_close(yav_shlib_handle_t handle) {
    if (handle == nullptr) return YAV_S_INVALID_VALUE;
    return dlclose(handle) == 0 ? 0 : YAV_S_SYS_ROUTINE_FAILED;
}

namespace {

// Opens path; on success reports it in foundPath.
yav_status_t open_candidate(const char* path, yav_shlib_handle_t* handle, char* foundPath,
                            size_t foundPathSize, char* errorText, size_t errorTextSize) {
    yav_status_t status = yav_shlib_open(path, handle, errorText, errorTextSize);
    if (status != 0 || foundPath == nullptr) return status;
    size_t len = strlen(path);
    if (len >= foundPathSize) {
        dlclose(*handle);
        *handle = nullptr;
        return YAV_S_INVALID_VALUE;
    }
    memcpy(foundPath, path, len + 1);
    return 0;
}

}  // namespace

yav_status_t yav_shlib_open_path(const char* name, const char* const* directories,
                                 yav_shlib_handle_t* handle, char* foundPath, size_t foundPathSize,
                                 char* errorText, size_t errorTextSize) {
    if (name == nullptr || handle == nullptr || name[0] == '\0') return YAV_S_INVALID_VALUE;
    *handle = nullptr;
    if (strchr(name, '/') == nullptr && directories != nullptr) {
        static const char* const kForms[] = {"%s/%s", "%s/lib%s.so", "%s/%s.so"};
        for (const char* const* dir = directories; *dir != nullptr; ++dir) {
            if ((*dir)[0] == '\0') continue;
            for (const char* form : kForms) {
                char candidate[PATH_MAX];
                int len = snprintf(candidate, sizeof candidate, form, *dir, name);
                if (len < 0 || static_cast<size_t>(len) >= sizeof candidate) continue;
                yav_status_t status = open_candidate(candidate, handle, foundPath, foundPathSize,
                                                     errorText, errorTextSize);
                if (status == 0 || access(candidate, F_OK) == 0) return status;
            }
        }
    }
    return open_candidate(name, handle, foundPath, foundPathSize, errorText, errorTextSize);
}
