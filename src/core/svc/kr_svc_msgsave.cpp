// Message save: each thread may collect the texts of the messages it logs
// and print them later.  A thread's texts live in a block kept under a
// thread-specific key; every block is also on one list (guarded by the
// global mutex) so that shutdown can free the blocks of all threads.
#include <pthread.h>
#include <stdlib.h>
#include <string.h>

#include <cstdio>

#include "core/svc/kr_svc_internal.h"

namespace {

// Most bytes a thread keeps; later messages are not saved.
constexpr size_t kMaxSaved = 1 << 20;

struct SaveBlock {
    bool active;
    char* data;
    size_t size;
    size_t capacity;
    SaveBlock* prev;
    SaveBlock* next;
};

// The key exists while g_keyValid (set and cleared while the layer is
// created and shut down); without it nothing is saved.
pthread_key_t g_key;
bool g_keyValid = false;
SaveBlock* g_blocks = nullptr;  // guarded by the global mutex

void unlink(SaveBlock* b) {
    if (b->prev != nullptr) b->prev->next = b->next;
    if (b->next != nullptr) b->next->prev = b->prev;
    if (g_blocks == b) g_blocks = b->next;
}

// Runs when a thread that saved messages ends.
void destroyBlock(void* p) {
    SaveBlock* b = static_cast<SaveBlock*>(p);
    {
        SvcLock lock;
        unlink(b);
    }
    free(b->data);
    free(b);
}

SaveBlock* block(bool create) {
    kr_svc_init();
    if (!g_keyValid) return nullptr;
    SaveBlock* b = static_cast<SaveBlock*>(pthread_getspecific(g_key));
    if (b != nullptr || !create) return b;
    b = static_cast<SaveBlock*>(calloc(1, sizeof(SaveBlock)));
    if (b == nullptr) return nullptr;
    if (pthread_setspecific(g_key, b) != 0) {
        free(b);
        return nullptr;
    }
    SvcLock lock;
    b->next = g_blocks;
    if (g_blocks != nullptr) g_blocks->prev = b;
    g_blocks = b;
    return b;
}

}  // namespace

void svc_msgsave_create_key() { g_keyValid = pthread_key_create(&g_key, destroyBlock) == 0; }

void svc_msgsave_delete_key() {
    while (g_blocks != nullptr) {
        SaveBlock* next = g_blocks->next;
        free(g_blocks->data);
        free(g_blocks);
        g_blocks = next;
    }
    if (g_keyValid) pthread_key_delete(g_key);
    g_keyValid = false;
}

void svc_msgsave_add(const char* text, size_t len) {
    SaveBlock* b = block(false);
    if (b == nullptr || !b->active) return;
    bool newline = len == 0 || text[len - 1] != '\n';
    size_t needed = b->size + len + (newline ? 1 : 0);
    if (needed > kMaxSaved) return;
    if (needed > b->capacity) {
        size_t capacity = b->capacity * 2 > needed ? b->capacity * 2 : needed;
        char* grown = static_cast<char*>(realloc(b->data, capacity));
        if (grown == nullptr) return;
        b->data = grown;
        b->capacity = capacity;
    }
    memcpy(b->data + b->size, text, len);
    b->size += len;
    if (newline) b->data[b->size++] = '\n';
}

void kr_svc_msgsave_start() {
    SaveBlock* b = block(true);
    if (b != nullptr) b->active = true;
}

void kr_svc_msgsave_stop() {
    SaveBlock* b = block(false);
    if (b != nullptr) b->active = false;
}

void kr_svc_msgsave_print(FILE* stream) {
    SaveBlock* b = block(false);
    if (b != nullptr && b->size > 0 && stream != nullptr) {
        (void)fwrite(b->data, 1, b->size, stream);
    }
}

void kr_svc_msgsave_clear() {
    SaveBlock* b = block(false);
    if (b != nullptr) b->size = 0;
}
