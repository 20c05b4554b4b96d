// Locale handles, locale and language names, the layer's directories, and
// the character classes that depend on a locale.
#include <stdlib.h>
#include <wctype.h>

#include <atomic>
#include <cstring>
#include <new>

#include "core/threads/yavthread.h"
#include "core/ulq/ulq.h"
#include "core/ulq/ulq_internal.h"

namespace {

// Handles made for ulq_current_loc, never freed so that a handle once given
// out stays valid after the program changes its locale.  Guarded by
// s_locMutex; s_currentLoc is the one of the locale seen last.
std::atomic<ulq_loc_t> s_currentLoc{nullptr};
pthread_mutex_t s_locMutex = PTHREAD_MUTEX_INITIALIZER;
ulq_loc_s* s_locList = nullptr;

// Every directory ever set stays allocated (a caller may still hold the
// pointer ulq_get_dir gave it); s_dir is the newest.  Guarded by s_dirMutex.
struct DirNode {
    DirNode* next;
    char* text;
};
std::atomic<const char*> s_dir{nullptr};
pthread_mutex_t s_dirMutex = PTHREAD_MUTEX_INITIALIZER;
DirNode* s_dirList = nullptr;

char* copyText(const char* text) {
    size_t length = strlen(text);
    char* copy = new (std::nothrow) char[length + 1];
    if (copy != nullptr) memcpy(copy, text, length + 1);
    return copy;
}

ulq_loc_t makeLoc(locale_t locale, const char* name) {
    ulq_loc_s* loc = new (std::nothrow) ulq_loc_s();
    if (loc == nullptr) return nullptr;
    loc->m_name = copyText(name);
    if (loc->m_name == nullptr) {
        delete loc;
        return nullptr;
    }
    loc->m_locale = locale;
    return loc;
}

// Copies the first `length` bytes of text into buffer with a terminator;
// -1 when they do not fit.
int copyPrefix(const char* text, size_t length, char* buffer, size_t size) {
    if (buffer == nullptr || length >= size) return -1;
    memcpy(buffer, text, length);
    buffer[length] = '\0';
    return 0;
}

}  // namespace

ulq_loc_t ulq_loc_new(const char* name) {
    if (name == nullptr) return nullptr;
    locale_t locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) return nullptr;
    ulq_loc_t loc = makeLoc(locale, name);
    if (loc == nullptr) freelocale(locale);
    return loc;
}

void ulq_loc_free(ulq_loc_t loc) {
    if (loc == nullptr || loc->m_permanent) return;
    freelocale(loc->m_locale);
    delete[] loc->m_name;
    delete loc;
}

ulq_loc_t ulq_current_loc() {
    const char* name = setlocale(LC_ALL, nullptr);
    if (name == nullptr) name = "C";
    ulq_loc_t last = s_currentLoc.load();
    if (last != nullptr && strcmp(last->m_name, name) == 0) return last;

    YavMutexLock lock(&s_locMutex);
    for (ulq_loc_s* loc = s_locList; loc != nullptr; loc = loc->m_next) {
        if (strcmp(loc->m_name, name) == 0) {
            s_currentLoc.store(loc);
            return loc;
        }
    }
    locale_t locale = duplocale(LC_GLOBAL_LOCALE);
    if (locale == static_cast<locale_t>(0)) return last;
    ulq_loc_t loc = makeLoc(locale, name);
    if (loc == nullptr) {
        freelocale(locale);
        return last;
    }
    loc->m_permanent = true;
    loc->m_next = s_locList;
    s_locList = loc;
    s_currentLoc.store(loc);
    return loc;
}

ulq_loc_t yav_ulq_resolve_loc(ulq_loc_t loc) { return loc != nullptr ? loc : ulq_current_loc(); }

uint32_t yav_ulq_lower(ulq_loc_t loc, uint32_t wc) {
    wint_t w = static_cast<wint_t>(wc);
    return static_cast<uint32_t>(loc != nullptr ? towlower_l(w, loc->m_locale) : towlower(w));
}

wchar_t ulq_towlower(ulq_loc_t loc, wchar_t wc) {
    if (wc < 0) return wc;
    return static_cast<wchar_t>(yav_ulq_lower(yav_ulq_resolve_loc(loc), static_cast<uint32_t>(wc)));
}

int ulq_iswspace(wchar_t wc) {
    ulq_loc_t loc = ulq_current_loc();
    wint_t w = static_cast<wint_t>(wc);
    return loc != nullptr ? iswspace_l(w, loc->m_locale) != 0 : iswspace(w) != 0;
}

int ulq_canonical_loc(const char* name, char* buffer, size_t size) {
    if (name == nullptr) return -1;
    return copyPrefix(name, strcspn(name, ".@"), buffer, size);
}

int ulq_canonical_lang(const char* name, char* buffer, size_t size) {
    if (name == nullptr) return -1;
    return copyPrefix(name, strcspn(name, "_.@"), buffer, size);
}

int ulq_os_lang_name(char* buffer, size_t size) {
    const char* name = setlocale(LC_MESSAGES, nullptr);
    if (name == nullptr) name = "C";
    return copyPrefix(name, strlen(name), buffer, size);
}

int ulq_set_dir(const char* dir) {
    if (dir == nullptr) return -1;
    DirNode* node = new (std::nothrow) DirNode();
    if (node == nullptr) return -1;
    node->text = copyText(dir);
    if (node->text == nullptr) {
        delete node;
        return -1;
    }
    YavMutexLock lock(&s_dirMutex);
    node->next = s_dirList;
    s_dirList = node;
    s_dir.store(node->text);
    return 0;
}

const char* ulq_get_dir() {
    const char* dir = s_dir.load();
    if (dir != nullptr) return dir;
    dir = getenv("ULQDIR");
    return dir != nullptr ? dir : "";
}

const char* ulq_get_nlspath() {
    const char* path = getenv("NLSPATH");
    return path != nullptr ? path : "";
}
