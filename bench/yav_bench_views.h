// Views shared by the benchmarks.
// YavBenchNoHeaders: a base for request and response views whose messages
// have no headers to read: the four header getters answer
// YAV_S_NOT_AVAILABLE.  View is YavRequest or YavResponse; its
// constructors are inherited.  Same threads and copyability as View.
// YavBenchTransaction: a transaction over views the caller keeps, which
// counts the log lines written through it and keeps the first.  One thread;
// not copyable.
#ifndef YAV_BENCH_YAV_BENCH_VIEWS_H
#define YAV_BENCH_YAV_BENCH_VIEWS_H

#include <stdio.h>

#include "core/msg/yav_status.h"
#include "plugin/core/YavRequest.h"
#include "plugin/core/YavResponse.h"
#include "plugin/core/YavTransaction.h"

template <class View>
class YavBenchNoHeaders : public View {
  public:
    using View::View;

    yav_status_t getUTF8Header(const YavStringRef&, YavStringRef*) override {
        return YAV_S_NOT_AVAILABLE;
    }
    yav_status_t getNCPHeader(const YavStringRef&, YavNCPStringRef*) override {
        return YAV_S_NOT_AVAILABLE;
    }
    yav_status_t getNextUTF8Header(YavStringRef*) override { return YAV_S_NOT_AVAILABLE; }
    yav_status_t getNextNCPHeader(YavNCPStringRef*) override { return YAV_S_NOT_AVAILABLE; }
};

class YavBenchTransaction : public YavTransaction {
  public:
    YavBenchTransaction(YavRequest* request, YavResponse* response) : YavTransaction(nullptr) {
        m_request = request;
        m_response = response;
    }
    long lines = 0;
    char firstLine[160] = "";

    yav_status_t writeLog(yav_log_levels_e, const char* text) override {
        if (lines++ == 0) snprintf(firstLine, sizeof firstLine, "%s", text);
        return 0;
    }
};

#endif  // YAV_BENCH_YAV_BENCH_VIEWS_H
