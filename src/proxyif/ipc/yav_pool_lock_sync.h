// Tells ThreadSanitizer about the pool lock.  The lock is a System V
// semaphore, which the sanitizer does not model, so the records it guards
// would look unsynchronised between threads of one process.  Every pool
// lock of the process is treated as one synchronisation object: that can
// only hide races, never report false ones.  Without ThreadSanitizer both
// calls are empty.
#ifndef YAV_PROXYIF_IPC_YAV_POOL_LOCK_SYNC_H
#define YAV_PROXYIF_IPC_YAV_POOL_LOCK_SYNC_H

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
extern char yav_pool_lock_sync_object;
inline void yav_pool_lock_acquired() { __tsan_acquire(&yav_pool_lock_sync_object); }
inline void yav_pool_lock_releasing() { __tsan_release(&yav_pool_lock_sync_object); }
#else
inline void yav_pool_lock_acquired() {}
inline void yav_pool_lock_releasing() {}
#endif

#endif  // YAV_PROXYIF_IPC_YAV_POOL_LOCK_SYNC_H
