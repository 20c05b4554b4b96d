// Test aids of the trace tests: a log that records what reaches logImpl
// (thread-safe, so traces of several threads may share it) and counts its
// own destruction.
#ifndef YAV_CORE_TRACE_YAV_TRACE_TEST_AIDS_H
#define YAV_CORE_TRACE_YAV_TRACE_TEST_AIDS_H

#include <mutex>
#include <string>
#include <vector>

#include "core/trace/YavLog.h"

struct YavLoggedLine {
    int severity;
    std::string file;
    int line;
    std::string component;
    std::string text;
};

class YavRecordingLog : public YavLog {
  public:
    explicit YavRecordingLog(int* destroyed = nullptr, bool localCodePage = false)
        : YavLog(localCodePage), m_destroyed(destroyed) {}
    ~YavRecordingLog() override { m_destroyed != nullptr && ++*m_destroyed; }

    void logImpl(int severity, const char* file, int line, const char* component,
                 const YavStringRef& text) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        lines.push_back({severity, file, line, component,
                         std::string(text.getData(), static_cast<size_t>(text.getLength()))});
    }
    std::vector<std::string> texts() {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::string> result;
        for (const YavLoggedLine& l : lines) result.push_back(l.text);
        lines.clear();
        return result;
    }
    // The whole line that the line writers make of this text.
    std::string format(const char* text) const {
        Line out;
        formatLine(yav_log_info, "f", 1, "c", YavStringRef(text), out);
        return std::string(out.data(), out.length());
    }

    std::vector<YavLoggedLine> lines;  // guarded by m_mutex while threads log

  private:
    int* m_destroyed;
    std::mutex m_mutex;
};

#endif  // YAV_CORE_TRACE_YAV_TRACE_TEST_AIDS_H
