// A base for the benchmarks' request and response views whose messages
// have no headers to read: the four header getters answer
// YAV_S_NOT_AVAILABLE.  View is YavRequest or YavResponse; its
// constructors are inherited.  Same threads and copyability as View.
#ifndef YAV_BENCH_YAV_BENCH_VIEWS_H
#define YAV_BENCH_YAV_BENCH_VIEWS_H

#include "core/msg/yav_status.h"
#include "plugin/core/YavRequest.h"
#include "plugin/core/YavResponse.h"

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

#endif  // YAV_BENCH_YAV_BENCH_VIEWS_H
