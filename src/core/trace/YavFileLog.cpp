#include "core/trace/YavFileLog.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "core/msg/yav_status.h"
#include "core/system/yav_sys_error.h"
#include "core/threads/yavthread.h"

YavFileLog::YavFileLog(bool localCodePage) : YavLog(localCodePage), m_fd(-1) {}

YavFileLog::YavFileLog(const char* name, bool localCodePage) : YavFileLog(localCodePage) {
    open(name);
}

YavFileLog::YavFileLog(const YavLCPStringRef& name, bool localCodePage)
    : YavFileLog(localCodePage) {
    open(name);
}

YavFileLog::~YavFileLog() {
    close();
    pthread_mutex_destroy(&m_mutex);
}

yav_status_t YavFileLog::open(const char* name) {
    if (name == nullptr) return YAV_S_INVALID_VALUE;
    int fd = ::open(name, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return yav_sys_status(errno, "open");
    int old;
    {
        YavMutexLock lock(&m_mutex);
        old = m_fd;
        m_fd = fd;
    }
    if (old >= 0) ::close(old);
    return 0;
}

yav_status_t YavFileLog::open(const YavLCPStringRef& name) {
    // A name with a zero byte inside would open some other file.
    if (name.find('\0') >= 0) return YAV_S_INVALID_VALUE;
    const char* terminated = name.getTerminated();
    if (terminated == nullptr) return YAV_S_NO_MEMORY;
    return open(terminated);
}

void YavFileLog::close() {
    int old;
    {
        YavMutexLock lock(&m_mutex);
        old = m_fd;
        m_fd = -1;
    }
    if (old >= 0) ::close(old);
}

bool YavFileLog::isOpen() const {
    YavMutexLock lock(&m_mutex);
    return m_fd >= 0;
}

void YavFileLog::logImpl(int severity, const char* file, int line, const char* component,
                         const YavStringRef& text) {
    // The line is assembled before the lock is taken; only the write is
    // serialized (which also keeps the descriptor from being closed under
    // it).
    Line out;
    formatLine(severity, file, line, component, text, out);
    YavMutexLock lock(&m_mutex);
    if (m_fd < 0) return;
    writeAll(m_fd, out.data(), out.length());
}
