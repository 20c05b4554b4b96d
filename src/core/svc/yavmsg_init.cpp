#include "core/svc/yavmsg_init.h"

#include <limits.h>
#include <locale.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <syslog.h>

#include <atomic>
#include <cstdio>

#include "core/msg/yav_msg_table.h"
#include "core/msg/yav_status.h"
#include "core/system/yav_file.h"
#include "core/system/yav_paths.h"
#include "core/threads/yavthread.h"
#include "core/ulq/ulq.h"

namespace {

const kr_svc_subcomp_t kConfigSubcomps[] = {{"Common", YAV_PCO_T_CONFIG}, {nullptr, 0}};

pthread_once_t g_once = PTHREAD_ONCE_INIT;
// The first call's arguments and the result of the body.
const char* g_programName = nullptr;
int g_utf8Default = 0;
int g_result = 0;
// The identifier the system log keeps a pointer to while it is open.
char g_baseName[256];
std::atomic<kr_svc_handle_t> g_configHandle{nullptr};

// dir without its final '/', into out; false when it does not fit.
bool directory(int type, char* out, size_t size) {
    int n = snprintf(out, size, "%s", yav_get_path(type));
    if (n < 0 || static_cast<size_t>(n) >= size) return false;
    if (n > 1 && out[n - 1] == '/') out[n - 1] = '\0';
    return true;
}

// Puts the plug-in's message directory into NLSPATH and its code-set
// directory into ULQDIR unless they are there already.
bool extendSearchPaths() {
    char msgDir[PATH_MAX];
    char ulqDir[PATH_MAX];
    if (!directory(YAV_MSG_DIR, msgDir, sizeof msgDir) ||
        !directory(YAV_ULQ_DIR, ulqDir, sizeof ulqDir)) {
        return false;
    }
    const char* old = getenv("NLSPATH");
    if (old == nullptr || strstr(old, msgDir) == nullptr) {
        if (old == nullptr) old = "";
        const char* format = "NLSPATH=%s/%%L/%%N:%s/%%L/%%N.cat:%s";
        int n = snprintf(nullptr, 0, format, msgDir, msgDir, old);
        char* setting = n >= 0 ? static_cast<char*>(malloc(static_cast<size_t>(n) + 1)) : nullptr;
        if (setting == nullptr) return false;
        snprintf(setting, static_cast<size_t>(n) + 1, format, msgDir, msgDir, old);
        // putenv keeps the block: it becomes part of the environment.
        if (putenv(setting) != 0) {
            free(setting);
            return false;
        }
    }
    if (strstr(ulq_get_dir(), ulqDir) == nullptr) {
        if (setenv("ULQDIR", ulqDir, 1) != 0 || ulq_set_dir(ulqDir) != 0) return false;
    }
    return true;
}

void reportFailure(const char* text, uint32_t status) {
    syslog(LOG_CRIT, "%s", text);
    fprintf(stderr, "%s(status 0x%8x)\n", text, static_cast<unsigned>(status));
    closelog();
}

void initialize() {
    // 1. Program name, locale, system log.
    const char* base = g_programName != nullptr ? yav_basename(g_programName) : "";
    snprintf(g_baseName, sizeof g_baseName, "%s", base);
    setlocale(LC_ALL, "");
    openlog(g_baseName, LOG_CONS | LOG_NDELAY, LOG_USER);

    // 2. Catalog and code-set search paths; a failure is reported only.
    if (!extendSearchPaths()) {
        syslog(LOG_CRIT, "Cannot initialize NLSPATH.");
        fprintf(stderr, "Cannot initialize NLSPATH.\n");
    }

    // 3. The program name of the log lines.
    uint32_t status = kr_svc_set_progname(g_baseName[0] != '\0' ? g_baseName : nullptr);
    if (status != 0) {
        reportFailure("Cannot initialize DCE servicibility messages", status);
        return;
    }

    // 4. The components and their message tables.
    kr_msg_define_msg_table(yav_krpic_msg_table, yav_krpic_msg_count, &status);
    // "pic" is registered already (statically): this gives the same handle.
    if (status == 0) (void)kr_svc_register(yav_svc_plugin_subcomps, "pic", &status);
    if (status == 0) kr_msg_define_msg_table(yav_krpco_msg_table, yav_krpco_msg_count, &status);
    kr_svc_handle_t config =
        status == 0 ? kr_svc_register(kConfigSubcomps, "pco", &status) : nullptr;
    if (status != 0) {
        reportFailure("Cannot initialize servicibility messages", status);
        return;
    }
    g_configHandle.store(config);

    // 5. Code sets: the local code page and locale of the new locale, UTF-8.
    closelog();
    (void)ulq_local_cs();
    (void)ulq_current_loc();
    ulq_cs_t utf8 = ulq_utf8_cs();
    if (g_utf8Default != 0) ulq_set_def_cs(utf8);
    g_result = 1;
}

}  // namespace

int yavmsg_init(const char* programName, int utf8Default) {
    // The first caller's arguments are kept for the body; every later
    // call waits for the body and returns 1.
    static pthread_mutex_t argsMutex = PTHREAD_MUTEX_INITIALIZER;
    static bool argsTaken = false;
    bool first = false;
    {
        YavMutexLock lock(&argsMutex);
        if (!argsTaken) {
            g_programName = programName;
            g_utf8Default = utf8Default;
            argsTaken = first = true;
        }
    }
    pthread_once(&g_once, initialize);
    return first ? g_result : 1;
}

kr_svc_handle_t yav_svc_config_handle() { return g_configHandle.load(); }
