// ERROR lines routed to a text file by several threads at once, against
// the same threads appending a line of the same size to a file with one
// write() each (the floor for a line that must reach a file).  Reports
// lines per second and the ratio to that floor, then reads the log file back
// and counts records that are not whole (a header line followed by the
// message text): interleaved or torn lines would show there.
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <string>

#include "bench_support.h"
#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"

namespace {

std::string g_dir;
int g_rawFd = -1;

void BM_RoutedErrorLine(benchmark::State& state) {
    for (auto _ : state) {
        YAV_SVC_LOG(yav_svc_common, svc_c_sev_error, "%s%s%d", YAV_S_SYS_ROUTINE_ERROR, "open",
                    "No such file or directory", 2);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_RawAppend(benchmark::State& state) {
    static const char kLine[] =
        "2026-12-05-19:00:00.000+00:00 0x35F02037 svc_bench ERROR pic Common svc_bench.cpp 30 "
        "0x00001234\nQRXIC0055E   The open system routine failed: system error: No such file or "
        "directory (system error code: 2).\n";
    for (auto _ : state) {
        if (write(g_rawFd, kLine, sizeof kLine - 1) < 0) state.SkipWithError("write failed");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

// Counts the records of the log and those that are not whole.
void checkLog(const std::string& path) {
    std::ifstream in(path);
    std::regex header(
        R"(^\d{4}-\d\d-\d\d-\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d 0x[0-9A-F]{8} \S+ ERROR pic \S+ \S+ \d+ 0x[0-9a-f]{8,}$)");
    const std::string text =
        "QRXIC0055E   The open system routine failed: system error: No such file or directory "
        "(system error code: 2).";
    std::string line;
    long records = 0, broken = 0;
    while (std::getline(in, line)) {
        ++records;
        std::string second;
        if (!std::regex_match(line, header) || !std::getline(in, second) || second != text) {
            if (broken++ == 0)
                printf("First record not whole:\n%s\n%s\n", line.c_str(), second.c_str());
        }
    }
    printf("\nLog check: %ld records read back, %ld not whole\n", records, broken);
}

}  // namespace

BENCHMARK(BM_RoutedErrorLine)->ThreadRange(1, 8)->UseRealTime();
BENCHMARK(BM_RawAppend)->ThreadRange(1, 8)->UseRealTime();

int main(int argc, char** argv) {
    char dir[] = "/tmp/yav-svc-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) return 1;
    g_dir = dir;
    std::string log = g_dir + "/error.log", raw = g_dir + "/raw.log";
    uint32_t status = 0;
    kr_svc_set_progname("svc_bench");
    kr_svc_routing(("ERROR:TEXTFILE:" + log).c_str(), &status);
    if (status != 0) return 1;
    g_rawFd = open(raw.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (g_rawFd < 0) return 1;
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const char* threads : {"1", "2", "4", "8"}) {
        pairs.push_back({std::string("BM_RoutedErrorLine/real_time/threads:") + threads,
                         std::string("BM_RawAppend/real_time/threads:") + threads});
    }
    int rc = yav_bench::runWithRatios(
        argc, argv, "Routed ERROR line relative to one raw write() of the same line:", pairs);
    kr_svc_routing("ERROR:DISCARD:", &status);
    close(g_rawFd);
    checkLog(log);
    unlink(log.c_str());
    unlink(raw.c_str());
    rmdir(dir);
    return rc;
}
