// The serviceability layer: its global state, handles and debug levels,
// routing specifications, and the log entry points that turn a call into a
// record and send it along its route.
#include "core/svc/kr_svc.h"

#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <new>

#include "core/msg/kr_msg.h"
#include "core/msg/yav_status.h"
#include "core/sundry/yav_printf.h"
#include "core/svc/kr_svc_internal.h"
#include "core/system/yav_assert.h"
#include "core/system/yav_shutdown.h"
#include "core/threads/yavthread.h"

const kr_svc_subcomp_t yav_svc_plugin_subcomps[yav_svc_subcomp_count + 1] = {
    {"Common", YAV_T_GENERAL},
    {"HTTP Parser", YAV_T_HTTP},
    {"IIS", YAV_T_IIS},
    {"Config Mgr", YAV_T_CONFIGMGR},
    {"Authorization Server", YAV_T_PROXY},
    {"Thread", YAV_T_THREAD},
    {"Module", YAV_T_MODULE},
    {"Process Mgr", YAV_T_PROCESSMGR},
    {"Proxy Interface", YAV_T_PROXY_IF},
    {"kryav-version", YAV_T_VERSION},
    {"Plugin", YAV_T_PLUGIN},
    {"SSO Module A", YAV_T_SSO_A},
    {"Request", YAV_T_REQUEST},
    {"SSO Module B", YAV_T_SSO_B},
    {"Memory Types", YAV_T_MEMORY},
    {"Unprotected Resource Cache", YAV_T_URC},
    {"High Precision Timer", YAV_T_HPT},
    {"KRYAV Stats Constants", YAV_T_STATS},
    {nullptr, 0},
};

namespace {

// The plug-in's handle and the global state are constant-initialised, so
// that logging works from any static initialiser.
std::atomic<unsigned> g_pluginLevels[yav_svc_subcomp_count];
kr_svc_handle_s g_pluginHandle = {"pic",
                                  yav_svc_plugin_subcomps,
                                  yav_svc_subcomp_count,
                                  g_pluginLevels,
                                  {nullptr},
                                  {false},
                                  nullptr,
                                  false,
                                  1,
                                  true,
                                  nullptr};
svc_state g_state = {{}, {}, {}, nullptr, nullptr, &g_pluginHandle, nullptr, nullptr, nullptr};

// g_bootMutex serialises creating and destroying g_mutex (g_ready tells
// whether it exists); the fork handlers take both.
pthread_once_t g_once = PTHREAD_ONCE_INIT;
pthread_mutex_t g_bootMutex = PTHREAD_MUTEX_INITIALIZER;
pthread_mutex_t g_mutex;
std::atomic<bool> g_ready{false};
bool g_forkLocked = false;  // guarded by g_bootMutex

// True while the thread holds g_mutex to route a record: a record logged
// meanwhile (by a route callback) goes straight to standard error.
thread_local bool t_routing = false;

void forkPrepare() {
    yavthread_mutex_lock(&g_bootMutex);
    g_forkLocked = g_ready.load();
    if (g_forkLocked) yavthread_mutex_lock(&g_mutex);
}

void forkRelease() {
    if (g_forkLocked) yavthread_mutex_unlock(&g_mutex);
    g_forkLocked = false;
    yavthread_mutex_unlock(&g_bootMutex);
}

void firstInit() {
    // Fails only when memory is short; forks are then merely less safe.
    (void)pthread_atfork(forkPrepare, forkRelease, forkRelease);
    yav_shutdown_register(yav_shutdown_svc, kr_svc_shutdown);
}

kr_svc_handle_t findHandle(const char* component, size_t len) {
    for (kr_svc_handle_t h = g_state.handles; h != nullptr; h = h->next) {
        if (strlen(h->component) == len && strncasecmp(h->component, component, len) == 0) {
            return h;
        }
    }
    return nullptr;
}

svc_stored* findStored(const char* component, size_t len) {
    for (svc_stored* s = g_state.stored; s != nullptr; s = s->next) {
        if (strlen(s->component) == len && strncasecmp(s->component, component, len) == 0) {
            return s;
        }
    }
    return nullptr;
}

void freeStored() {
    while (g_state.stored != nullptr) {
        svc_stored* next = g_state.stored->next;
        free(g_state.stored->component);
        free(g_state.stored->levels);
        free(g_state.stored->dests);
        delete g_state.stored;
        g_state.stored = next;
    }
}

// Drops routes, stored settings and files.  REQUIRES: g_mutex is held.
void releaseRoutes() {
    for (unsigned i = 0; i < kSvcSeverityCount; ++i) {
        svc_free_dests(g_state.sevDests[i]);
        g_state.sevDests[i] = nullptr;
        g_state.sevSet[i] = false;
        g_state.sevTried[i] = false;
    }
    for (kr_svc_handle_t h = g_state.handles; h != nullptr; h = h->next) {
        svc_free_dests(h->debugDests);
        h->debugDests = nullptr;
        h->debugSet = false;
        h->prepared.store(false);
    }
    freeStored();
    svc_close_files();
}

// ---- debug levels ----------------------------------------------------------

// The sub-components whose level a specification assigned, reported to the
// handle's notify callback once g_mutex is released.
class LevelChanges {
  public:
    explicit LevelChanges(kr_svc_handle_t h) : m_handle(h) {}
    ~LevelChanges() { free(m_assigned); }
    YAV_DISALLOW_COPY(LevelChanges);

    void mark(unsigned subcomp) {
        if (m_assigned == nullptr && !m_all) {
            m_assigned = static_cast<bool*>(calloc(m_handle->count, sizeof(bool)));
            if (m_assigned == nullptr) m_all = true;  // report every sub-component
        }
        if (m_assigned != nullptr) m_assigned[subcomp] = true;
    }

    void notify() const {
        kr_svc_debug_notify_fn fn = m_handle->notify.load();
        if (fn == nullptr || (m_assigned == nullptr && !m_all)) return;
        for (unsigned i = 0; i < m_handle->count; ++i) {
            uint32_t code = m_handle->table[i].nameCode;
            if (code != 0 && (m_all || m_assigned[i])) fn(code, m_handle->levels[i].load());
        }
    }

  private:
    kr_svc_handle_t m_handle;
    bool* m_assigned = nullptr;
    bool m_all = false;
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Parses "name.level,name.level" (len bytes).  With a handle, levels
// (h->count entries) receives the level of each named sub-component and -1
// for the others; without one only the form is checked.
yav_status_t parseLevels(kr_svc_handle_t h, const char* text, size_t len, int* levels) {
    if (h != nullptr) {
        for (unsigned i = 0; i < h->count; ++i) levels[i] = -1;
    }
    size_t pos = 0;
    while (pos < len) {
        size_t end = pos;
        while (end < len && text[end] != ',') ++end;
        size_t dot = end;
        while (dot > pos && text[dot - 1] != '.') --dot;
        if (dot == pos) {  // no dot: only blanks are allowed
            for (size_t i = pos; i < end; ++i) {
                if (!isBlank(text[i])) return YAV_SVC_S_BAD_ROUTE;
            }
            pos = end + 1;
            continue;
        }
        size_t nameStart = pos;
        size_t nameEnd = dot - 1;
        while (nameStart < nameEnd && isBlank(text[nameStart])) ++nameStart;
        while (nameEnd > nameStart && isBlank(text[nameEnd - 1])) --nameEnd;
        size_t levelEnd = end;
        while (levelEnd > dot && isBlank(text[levelEnd - 1])) --levelEnd;
        if (levelEnd == dot || levelEnd - dot > 3 || nameEnd == nameStart) {
            return YAV_SVC_S_BAD_ROUTE;
        }
        unsigned level = 0;
        for (size_t i = dot; i < levelEnd; ++i) {
            if (!isdigit(static_cast<unsigned char>(text[i]))) return YAV_SVC_S_BAD_ROUTE;
            level = level * 10 + static_cast<unsigned>(text[i] - '0');
        }
        if (level > kSvcMaxDebugLevel) level = kSvcMaxDebugLevel;
        if (h != nullptr) {
            const char* name = text + nameStart;
            size_t nameLen = nameEnd - nameStart;
            bool all = nameLen == 1 && name[0] == '*';
            bool found = all;
            for (unsigned i = 0; i < h->count; ++i) {
                const char* candidate = h->table[i].name;
                if (all ||
                    (strlen(candidate) == nameLen && strncasecmp(candidate, name, nameLen) == 0)) {
                    levels[i] = static_cast<int>(level);
                    found = true;
                }
            }
            if (!found) return YAV_SVC_S_BAD_ROUTE;
        }
        pos = end + 1;
    }
    return 0;
}

// Parses and applies a level list to h.  REQUIRES: g_mutex is held.
yav_status_t applyLevels(kr_svc_handle_t h, const char* text, size_t len, LevelChanges& changes) {
    int* levels = static_cast<int*>(malloc(h->count * sizeof(int)));
    if (levels == nullptr) return YAV_SVC_S_NO_MEMORY;
    yav_status_t status = parseLevels(h, text, len, levels);
    if (status == 0) {
        for (unsigned i = 0; i < h->count; ++i) {
            if (levels[i] < 0) continue;
            h->levels[i].store(static_cast<unsigned>(levels[i]));
            changes.mark(i);
        }
    }
    free(levels);
    return status;
}

// Sets the debug route of h.  REQUIRES: g_mutex is held.
yav_status_t setDebugRoute(kr_svc_handle_t h, const char* dests) {
    svc_dest* list = nullptr;
    yav_status_t status = svc_parse_dests(dests, &list);
    if (status != 0) return status;
    svc_free_dests(h->debugDests);
    h->debugDests = list;
    h->debugSet = true;
    return 0;
}

// A debug specification "component:levels[:destinations]" split into its
// parts; dests is null when there is no second ':'.
struct DebugSpec {
    const char* component;
    size_t componentLen;
    const char* levels;
    size_t levelsLen;
    const char* dests;
};

bool splitDebugSpec(const char* spec, DebugSpec* out) {
    const char* colon = strchr(spec, ':');
    if (colon == nullptr) return false;
    out->component = spec;
    out->componentLen = static_cast<size_t>(colon - spec);
    out->levels = colon + 1;
    const char* second = strchr(colon + 1, ':');
    out->levelsLen =
        second != nullptr ? static_cast<size_t>(second - out->levels) : strlen(out->levels);
    out->dests = second != nullptr ? second + 1 : nullptr;
    return true;
}

// Applies the environment's and the stored debug setting to h once.
// REQUIRES: g_mutex is held.
void prepareLocked(kr_svc_handle_t h, LevelChanges& changes) {
    if (h->prepared.load(std::memory_order_relaxed)) return;
    char name[80];
    size_t len = strlen(h->component);
    if (len + 9 <= sizeof name) {
        memcpy(name, "SVC_", 4);
        for (size_t i = 0; i < len; ++i) {
            name[4 + i] = static_cast<char>(toupper(static_cast<unsigned char>(h->component[i])));
        }
        memcpy(name + 4 + len, "_DBG", 5);
        const char* value = getenv(name);
        DebugSpec spec;
        if (value != nullptr && splitDebugSpec(value, &spec) && spec.componentLen == len &&
            strncasecmp(spec.component, h->component, len) == 0) {
            (void)applyLevels(h, spec.levels, spec.levelsLen, changes);
            if (spec.dests != nullptr) (void)setDebugRoute(h, spec.dests);
        }
    }
    svc_stored* stored = findStored(h->component, len);
    if (stored != nullptr && stored->levels != nullptr) {
        (void)applyLevels(h, stored->levels, strlen(stored->levels), changes);
    }
    if (stored != nullptr && stored->dests != nullptr) (void)setDebugRoute(h, stored->dests);
    h->prepared.store(true, std::memory_order_release);
}

void prepare(kr_svc_handle_t h) {
    if (h->prepared.load(std::memory_order_acquire)) return;
    LevelChanges changes(h);
    {
        SvcLock lock;
        prepareLocked(h, changes);
    }
    changes.notify();
}

// Keeps a setting for a component not registered yet: its level list is
// added to the stored one, its destinations replace the stored ones.
// REQUIRES: g_mutex is held.
yav_status_t storeSetting(const DebugSpec& spec, bool withDests) {
    svc_stored* s = findStored(spec.component, spec.componentLen);
    bool created = s == nullptr;
    if (created) {
        s = new (std::nothrow) svc_stored();
        if (s == nullptr) return YAV_SVC_S_NO_MEMORY;
        s->component = svc_copy_text(spec.component, spec.componentLen);
        if (s->component == nullptr) {
            delete s;
            return YAV_SVC_S_NO_MEMORY;
        }
    }
    // Level lists add up: a later item for the same sub-component wins.
    size_t oldLen = s->levels != nullptr ? strlen(s->levels) + 1 : 0;
    char* levels = static_cast<char*>(malloc(oldLen + spec.levelsLen + 1));
    if (levels != nullptr) {
        if (oldLen > 0) {
            memcpy(levels, s->levels, oldLen - 1);
            levels[oldLen - 1] = ',';
        }
        memcpy(levels + oldLen, spec.levels, spec.levelsLen);
        levels[oldLen + spec.levelsLen] = '\0';
    }
    char* dests = withDests ? svc_copy_text(spec.dests, strlen(spec.dests)) : nullptr;
    if (levels == nullptr || (withDests && dests == nullptr)) {
        free(levels);
        free(dests);
        if (created) {
            free(s->component);
            delete s;
        }
        return YAV_SVC_S_NO_MEMORY;
    }
    free(s->levels);
    s->levels = levels;
    if (withDests) {
        free(s->dests);
        s->dests = dests;
    }
    if (created) {
        s->next = g_state.stored;
        g_state.stored = s;
    }
    return 0;
}

// kr_svc_debug_set_levels and kr_svc_debug_routing.
void debugSetting(const char* spec, bool withDests, uint32_t* status) {
    uint32_t ignored;
    if (status == nullptr) status = &ignored;
    *status = 0;
    DebugSpec parts;
    if (spec == nullptr) {
        *status = YAV_SVC_S_BAD_ROUTE;
        return;
    }
    if (!splitDebugSpec(spec, &parts)) {
        if (!withDests) *status = YAV_SVC_S_BAD_ROUTE;
        return;  // a route specification without ':' is ignored
    }
    if (withDests && parts.dests == nullptr) return;  // no second ':': ignored
    if (parts.componentLen == 0) {
        *status = YAV_SVC_S_BAD_ROUTE;
        return;
    }
    if (!withDests) parts.dests = nullptr;
    kr_svc_handle_t h;
    {
        SvcLock lock;
        h = findHandle(parts.component, parts.componentLen);
        if (h == nullptr) {
            *status = parseLevels(nullptr, parts.levels, parts.levelsLen, nullptr);
            if (*status == 0) *status = storeSetting(parts, withDests);
            return;
        }
    }
    prepare(h);  // so that the environment does not override this setting later
    LevelChanges changes(h);
    {
        SvcLock lock;
        int* levels = static_cast<int*>(malloc(h->count * sizeof(int)));
        *status = levels != nullptr ? parseLevels(h, parts.levels, parts.levelsLen, levels)
                                    : YAV_SVC_S_NO_MEMORY;
        svc_dest* list = nullptr;
        if (*status == 0 && withDests) *status = svc_parse_dests(parts.dests, &list);
        if (*status == 0) {
            for (unsigned i = 0; i < h->count; ++i) {
                if (levels[i] < 0) continue;
                h->levels[i].store(static_cast<unsigned>(levels[i]));
                changes.mark(i);
            }
            if (withDests) {
                svc_free_dests(h->debugDests);
                h->debugDests = list;
                h->debugSet = true;
                list = nullptr;
            }
        }
        svc_free_dests(list);
        free(levels);
    }
    changes.notify();
}

// ---- routing records -------------------------------------------------------

// The renderings of one record, made when a destination first needs them.
// REQUIRES: g_mutex is held while they are made.
class Renderings {
  public:
    explicit Renderings(const svc_record& rec) : m_rec(rec) {}
    YAV_DISALLOW_COPY(Renderings);

    const SvcBuf& line(bool utf8) {
        SvcBuf& buf = utf8 ? m_utf8Line : m_lcpLine;
        bool& made = utf8 ? m_madeUtf8Line : m_madeLcpLine;
        if (!made) svc_text_line(m_rec, g_state.progname, svc_brief(), utf8, buf);
        made = true;
        return buf;
    }

    const SvcBuf& xml() {
        if (!m_madeXml) svc_xml_record(m_rec, m_xml);
        m_madeXml = true;
        return m_xml;
    }

    const SvcBuf& utf8Text() {
        if (!m_madeUtf8Text) svc_text_utf8(m_rec, m_utf8Text);
        m_madeUtf8Text = true;
        return m_utf8Text;
    }

  private:
    const svc_record& m_rec;
    SvcBuf m_lcpLine, m_utf8Line, m_xml, m_utf8Text;
    bool m_madeLcpLine = false, m_madeUtf8Line = false, m_madeXml = false, m_madeUtf8Text = false;
};

void writeBuf(int fd, const SvcBuf& buf) {
    if (!buf.failed()) svc_write_fd(fd, buf.data(), buf.size());
}

void writeFile(svc_file* file, const SvcBuf& buf) {
    if (!buf.failed()) svc_file_write(file, buf.data(), buf.size());
}

// Reads SVC_<SEVERITY> (else the default) the first time a severity is
// used.  REQUIRES: g_mutex is held.
void ensureSeverity(unsigned index) {
    if (g_state.sevTried[index]) return;
    g_state.sevTried[index] = true;
    char name[32];
    snprintf(name, sizeof name, "SVC_%s", svc_severity_name(index));
    const char* value = getenv(name);
    if (value != nullptr && svc_set_severity_route(static_cast<int>(index), value) == 0) return;
    (void)svc_set_severity_route(static_cast<int>(index), index >= 3 ? "DISCARD:" : "STDERR:");
}

class Router {
  public:
    Router(const svc_record& rec) : m_rec(rec), m_out(rec) {}
    YAV_DISALLOW_COPY(Router);

    void severity(unsigned index) {
        m_visited |= 1u << index;
        ensureSeverity(index);
        if (g_state.sevSet[index]) {
            walk(g_state.sevDests[index]);
        } else if (index < 3) {  // no memory for the default route
            writeBuf(STDERR_FILENO, m_out.line(false));
        }
    }

    void debug(kr_svc_handle_t h) {
        if (h->debugSet) {
            walk(h->debugDests);
        } else {
            writeBuf(STDERR_FILENO, m_out.line(false));
        }
    }

  private:
    void walk(const svc_dest* list) {
        for (const svc_dest* d = list; d != nullptr; d = d->next) {
            switch (d->kind) {
                case svc_dest_stdout:
                    writeBuf(STDOUT_FILENO, m_out.line(false));
                    break;
                case svc_dest_stderr:
                    writeBuf(STDERR_FILENO, m_out.line(false));
                    break;
                case svc_dest_xmlstdout:
                    writeBuf(STDOUT_FILENO, m_out.xml());
                    break;
                case svc_dest_xmlstderr:
                    writeBuf(STDERR_FILENO, m_out.xml());
                    break;
                case svc_dest_discard:
                    break;
                case svc_dest_textfile:
                    writeFile(d->file, m_out.line(false));
                    break;
                case svc_dest_utf8file:
                    writeFile(d->file, m_out.line(true));
                    break;
                case svc_dest_xmlfile:
                    writeFile(d->file, m_out.xml());
                    break;
                case svc_dest_goesto:
                    // Each severity's route is walked at most once per record,
                    // which also ends GOESTO cycles.
                    if ((m_visited & (1u << d->target)) == 0) severity(d->target);
                    break;
                case svc_dest_named:
                    named(d);
                    break;
            }
        }
    }

    void named(const svc_dest* d) {
        if (g_state.routeFn == nullptr) return;
        const SvcBuf& text = m_out.utf8Text();
        const SvcBuf& line = m_out.line(true);
        kr_svc_route_record r;
        r.route = d->name;
        r.where = d->where;
        r.isDebug = m_rec.isDebug;
        r.flags = m_rec.isDebug ? m_rec.level : (m_rec.severity + 1) << 4;
        r.code = m_rec.code;
        r.component = m_rec.handle->component;
        r.subcomponent = svc_subcomp_name(m_rec);
        r.file = m_rec.file != nullptr ? m_rec.file : "unknown";
        r.line = m_rec.line;
        r.text = text.data();
        r.textLine = line.data();
        r.textLineLength = line.size();
        g_state.routeFn(&r, g_state.routeArg);
    }

    const svc_record& m_rec;
    Renderings m_out;
    unsigned m_visited = 0;
};

void emit(const svc_record& rec) {
    if (t_routing) {
        // Logged from inside the layer (a route callback): the mutex is ours
        // already, so the record goes straight to standard error.
        SvcBuf line;
        svc_text_line(rec, g_state.progname, svc_brief(), false, line);
        writeBuf(STDERR_FILENO, line);
        return;
    }
    SvcLock lock;
    t_routing = true;
    Router router(rec);
    if (rec.isDebug) {
        router.debug(rec.handle);
    } else {
        router.severity(rec.severity);
    }
    t_routing = false;
}

void fillRecord(svc_record& rec, kr_svc_handle_t h, const char* file, int line, unsigned subcomp) {
    rec.handle = h;
    rec.file = file;
    rec.line = line;
    rec.subcomp = subcomp;
    gettimeofday(&rec.when, nullptr);
    rec.pid = static_cast<long>(getpid());
    rec.thread = static_cast<unsigned long>(pthread_self());
}

void emitDebug(kr_svc_handle_t h, const char* file, int line, unsigned subcomp, unsigned level,
               const char* text, bool utf8) {
    svc_record rec = {};
    fillRecord(rec, h, file, line, subcomp);
    rec.isDebug = true;
    rec.level = level;
    rec.text = text;
    rec.textLength = strlen(text);
    rec.textIsUtf8 = utf8;
    emit(rec);
}

// The text of code in the code set cs (null: the local code page)
// formatted with args, newly allocated (free); *utf8 tells whether it came
// out in UTF-8.  Null only when memory ran out.
char* formatMessage(uint32_t code, ulq_cs_t cs, va_list args, bool* utf8) {
    bool wantUtf8 = cs != nullptr && ulq_cs_is_utf8(cs);
    bool otherCs = cs != nullptr && !wantUtf8 && cs != ulq_local_cs();
    uint32_t status = 0;
    char* format =
        wantUtf8 || otherCs ? kr_msg_get_msg_utf8(code, &status) : kr_msg_get_msg(code, &status);
    if (format == nullptr) return nullptr;
    if (otherCs) {
        // Texts are looked up in UTF-8 and formatted in the arguments' code
        // set; the result goes on in UTF-8.
        size_t len = strlen(format);
        size_t room = len * 4 + 16;
        char* converted = static_cast<char*>(malloc(room));
        long n = converted != nullptr ? ulq_from_utf8(cs, format, len, converted, room) : -1;
        if (n >= 0) {
            converted[n] = '\0';
            free(format);
            format = converted;
        } else {
            free(converted);
        }
    }
    char* text = nullptr;
    int n = yav_vasprintf_cs(&text,
                             wantUtf8        ? ulq_utf8_cs()
                             : cs != nullptr ? cs
                                             : ulq_local_cs(),
                             format, args);
    if (n < 0) {
        *utf8 = wantUtf8;
        return format;  // a text that is no valid format is logged as it is
    }
    char* result = svc_copy_text(text, static_cast<size_t>(n));
    yav_asprintf_free(text);
    free(format);
    if (result == nullptr) return nullptr;
    *utf8 = wantUtf8;
    if (otherCs) {
        size_t room = static_cast<size_t>(n) * 4 + 16;
        char* converted = static_cast<char*>(malloc(room));
        long m = converted != nullptr
                     ? ulq_to_utf8(cs, result, static_cast<size_t>(n), converted, room)
                     : -1;
        if (m >= 0) {
            converted[m] = '\0';
            free(result);
            result = converted;
            *utf8 = true;
        } else {
            free(converted);
        }
    }
    return result;
}

}  // namespace

// ---- the layer -------------------------------------------------------------

svc_state& svc_global() { return g_state; }

void svc_lock() {
    kr_svc_init();
    yavthread_mutex_lock(&g_mutex);
}

void svc_unlock() { yavthread_mutex_unlock(&g_mutex); }

void kr_svc_init() {
    pthread_once(&g_once, firstInit);
    if (g_ready.load(std::memory_order_acquire)) return;
    YavMutexLock boot(&g_bootMutex);
    if (g_ready.load(std::memory_order_relaxed)) return;
    YAV_ASSERT(pthread_mutex_init(&g_mutex, nullptr) == 0);
    svc_msgsave_create_key();
    g_ready.store(true, std::memory_order_release);
}

void kr_svc_shutdown() {
    YavMutexLock boot(&g_bootMutex);
    if (!g_ready.load()) return;
    yavthread_mutex_lock(&g_mutex);
    svc_msgsave_delete_key();
    releaseRoutes();
    free(g_state.progname);
    g_state.progname = nullptr;
    yavthread_mutex_unlock(&g_mutex);
    YAV_ASSERT(pthread_mutex_destroy(&g_mutex) == 0);
    g_ready.store(false);
}

void kr_svc__shutdown() {
    if (!g_ready.load()) return;
    SvcLock lock;
    svc_close_files();
}

void kr_svc_test_reset() {
    SvcLock lock;
    releaseRoutes();
    for (kr_svc_handle_t h = g_state.handles; h != nullptr; h = h->next) {
        for (unsigned i = 0; i < h->count; ++i) h->levels[i].store(0);
    }
    free(g_state.progname);
    g_state.progname = nullptr;
    g_state.routeFn = nullptr;
    g_state.routeArg = nullptr;
    svc_reset_brief();
}

// ---- handles ---------------------------------------------------------------

kr_svc_handle_t kr_svc_register(const kr_svc_subcomp_t* table, const char* component,
                                uint32_t* status) {
    uint32_t ignored;
    if (status == nullptr) status = &ignored;
    *status = 0;
    if (table == nullptr || table[0].name == nullptr || component == nullptr ||
        component[0] == '\0') {
        *status = YAV_S_INVALID_VALUE;
        return nullptr;
    }
    kr_svc_handle_t h;
    {
        SvcLock lock;
        h = findHandle(component, strlen(component));
        if (h != nullptr) {
            ++h->refs;
            return h;
        }
        unsigned count = 0;
        size_t textSize = strlen(component) + 1;
        for (const kr_svc_subcomp_t* row = table; row->name != nullptr; ++row) {
            ++count;
            textSize += strlen(row->name) + 1;
        }
        h = new (std::nothrow) kr_svc_handle_s();
        kr_svc_subcomp_t* rows = new (std::nothrow) kr_svc_subcomp_t[count];
        std::atomic<unsigned>* levels = new (std::nothrow) std::atomic<unsigned>[count]();
        char* text = static_cast<char*>(malloc(textSize));
        if (h == nullptr || rows == nullptr || levels == nullptr || text == nullptr) {
            delete h;
            delete[] rows;
            delete[] levels;
            free(text);
            *status = YAV_SVC_S_NO_MEMORY;
            return nullptr;
        }
        // One block holds the component name and then every sub-component name.
        h->component = text;
        size_t len = strlen(component) + 1;
        memcpy(text, component, len);
        text += len;
        for (unsigned i = 0; i < count; ++i) {
            len = strlen(table[i].name) + 1;
            memcpy(text, table[i].name, len);
            rows[i].name = text;
            rows[i].nameCode = table[i].nameCode;
            text += len;
        }
        h->table = rows;
        h->count = count;
        h->levels = levels;
        h->refs = 1;
        h->next = g_state.handles;
        g_state.handles = h;
    }
    prepare(h);
    return h;
}

void kr_svc_unregister(kr_svc_handle_t handle, uint32_t* status) {
    if (status != nullptr) *status = 0;
    if (handle == nullptr) return;
    SvcLock lock;
    if (--handle->refs > 0 || handle->isStatic) {
        if (handle->refs == 0) handle->refs = 1;  // the plug-in's handle stays registered
        return;
    }
    for (kr_svc_handle_t* link = &g_state.handles; *link != nullptr; link = &(*link)->next) {
        if (*link == handle) {
            *link = handle->next;
            break;
        }
    }
    svc_free_dests(handle->debugDests);
    free(const_cast<char*>(handle->component));
    delete[] handle->table;
    delete[] handle->levels;
    delete handle;
}

kr_svc_handle_t yav_svc_plugin_handle() { return &g_pluginHandle; }

uint32_t kr_svc_set_progname(const char* name) {
    char* copy = nullptr;
    if (name != nullptr) {
        copy = svc_copy_text(name, strlen(name));
        if (copy == nullptr) return YAV_SVC_S_NO_MEMORY;
    }
    SvcLock lock;
    free(g_state.progname);
    g_state.progname = copy;
    return 0;
}

void svc_progname(char* out, size_t size) {
    SvcLock lock;
    if (g_state.progname != nullptr) {
        snprintf(out, size, "%s", g_state.progname);
    } else {
        snprintf(out, size, "PID#%ld", static_cast<long>(getpid()));
    }
}

// ---- debug levels ----------------------------------------------------------

bool kr_svc_debug_enabled(kr_svc_handle_t handle, unsigned subcomponent, unsigned level) {
    if (handle == nullptr) return false;
    prepare(handle);
    return subcomponent < handle->count &&
           handle->levels[subcomponent].load(std::memory_order_relaxed) >= level;
}

void kr_svc_set_debug_level(kr_svc_handle_t handle, unsigned subcomponent, unsigned level) {
    if (handle == nullptr || subcomponent >= handle->count) return;
    prepare(handle);
    if (level > kSvcMaxDebugLevel) level = kSvcMaxDebugLevel;
    handle->levels[subcomponent].store(level);
    kr_svc_debug_notify_fn fn = handle->notify.load();
    uint32_t code = handle->table[subcomponent].nameCode;
    if (fn != nullptr && code != 0) fn(code, level);
}

unsigned kr_svc_subcomp_count(kr_svc_handle_t handle) {
    return handle != nullptr ? handle->count : 0;
}

uint32_t kr_svc_subcomp_name_code(kr_svc_handle_t handle, unsigned subcomponent) {
    return handle != nullptr && subcomponent < handle->count ? handle->table[subcomponent].nameCode
                                                             : 0;
}

unsigned kr_svc_debug_level(kr_svc_handle_t handle, unsigned subcomponent) {
    if (handle == nullptr || subcomponent >= handle->count) return 0;
    prepare(handle);
    return handle->levels[subcomponent].load(std::memory_order_relaxed);
}

void kr_svc_set_debug_notify(kr_svc_handle_t handle, kr_svc_debug_notify_fn fn) {
    if (handle != nullptr) handle->notify.store(fn);
}

void kr_svc_debug_set_levels(const char* spec, uint32_t* status) {
    debugSetting(spec, false, status);
}

void kr_svc_debug_routing(const char* spec, uint32_t* status) { debugSetting(spec, true, status); }

// ---- routing ---------------------------------------------------------------

void kr_svc_routing(const char* spec, uint32_t* status) {
    uint32_t ignored;
    if (status == nullptr) status = &ignored;
    *status = 0;
    if (spec == nullptr) {
        *status = YAV_SVC_S_BAD_ROUTE;
        return;
    }
    const char* colon = strchr(spec, ':');
    if (colon == nullptr || strchr(colon + 1, ':') == nullptr) return;  // ignored
    size_t len = static_cast<size_t>(colon - spec);
    int index = len == 1 && spec[0] == '*' ? -1 : svc_severity_index(spec, len);
    if (index < 0 && !(len == 1 && spec[0] == '*')) {
        *status = YAV_SVC_S_BAD_ROUTE;
        return;
    }
    SvcLock lock;
    *status = svc_set_severity_route(index, colon + 1);
}

void kr_svc_set_route_callback(kr_svc_route_fn fn, void* arg) {
    SvcLock lock;
    g_state.routeFn = fn;
    g_state.routeArg = arg;
}

// ---- logging ---------------------------------------------------------------

void kr_svc_vprintf_cs_withfile(kr_svc_handle_t handle, ulq_cs_t codeSet, const char* file,
                                int line, const char* argumentTypes, unsigned subcomponent,
                                uint32_t flags, uint32_t code, va_list args) {
    if (handle == nullptr) handle = &g_pluginHandle;
    unsigned severity = (flags & 0x1f0) >> 4;
    unsigned level = flags & 0xf;
    if (severity == 0 && level != 0 && !kr_svc_debug_enabled(handle, subcomponent, level)) {
        return;
    }
    bool utf8 = false;
    va_list forText;
    va_copy(forText, args);
    char* text = formatMessage(code, codeSet, forText, &utf8);
    va_end(forText);
    if (text == nullptr) return;  // no memory: the record is dropped

    svc_record rec = {};
    fillRecord(rec, handle, file, line, subcomponent);
    rec.isDebug = severity == 0 && level != 0;
    rec.level = level;
    // A value outside the five severities is logged as NOTICE_VERBOSE.
    rec.severity = severity >= 1 && severity <= kSvcSeverityCount ? severity - 1 : 4;
    rec.code = code;
    rec.text = text;
    rec.textLength = strlen(text);
    rec.textIsUtf8 = utf8;
    rec.argumentTypes = argumentTypes;
    rec.argCs = codeSet;
    va_list forParams;
    va_copy(forParams, args);
    rec.args = &forParams;
    if (!rec.isDebug) {
        SvcBuf saved;
        svc_text_lcp(rec, saved);
        if (!saved.failed()) svc_msgsave_add(saved.data(), saved.size());
    }
    emit(rec);
    va_end(forParams);
    free(text);
}

void kr_svc_printf_cs_withfile(kr_svc_handle_t handle, ulq_cs_t codeSet, const char* file, int line,
                               const char* argumentTypes, unsigned subcomponent, uint32_t flags,
                               uint32_t code, ...) {
    va_list args;
    va_start(args, code);
    kr_svc_vprintf_cs_withfile(handle, codeSet, file, line, argumentTypes, subcomponent, flags,
                               code, args);
    va_end(args);
}

void kr_svc_vprintf_withfile(kr_svc_handle_t handle, const char* file, int line,
                             const char* argumentTypes, unsigned subcomponent, uint32_t flags,
                             uint32_t code, va_list args) {
    kr_svc_vprintf_cs_withfile(handle, nullptr, file, line, argumentTypes, subcomponent, flags,
                               code, args);
}

void kr_svc_printf_withfile(kr_svc_handle_t handle, const char* file, int line,
                            const char* argumentTypes, unsigned subcomponent, uint32_t flags,
                            uint32_t code, ...) {
    va_list args;
    va_start(args, code);
    kr_svc_vprintf_cs_withfile(handle, nullptr, file, line, argumentTypes, subcomponent, flags,
                               code, args);
    va_end(args);
}

void kr_svc__debug_withfile(kr_svc_handle_t handle, const char* file, int line,
                            unsigned subcomponent, unsigned level, const char* format, ...) {
    if (!kr_svc_debug_enabled(handle, subcomponent, level)) return;
    char* text = nullptr;
    va_list args;
    va_start(args, format);
    int n = yav_vasprintf_lcp(&text, format, args);
    va_end(args);
    emitDebug(handle, file, line, subcomponent, level, n >= 0 ? text : format, false);
    if (n >= 0) yav_asprintf_free(text);
}

void kr_svc__debug_utf8(kr_svc_handle_t handle, const char* file, int line, unsigned subcomponent,
                        unsigned level, const char* text) {
    if (text == nullptr || !kr_svc_debug_enabled(handle, subcomponent, level)) return;
    emitDebug(handle, file, line, subcomponent, level, text, true);
}

// ---- loading and unloading -------------------------------------------------

namespace {

// Starts the layer when the library is loaded and points the code-set layer
// at its data directory; closes the log files when it is unloaded.
struct SvcLoader {
    SvcLoader() {
        kr_svc_init();
        (void)ulq_set_dir(YAV_KR_PREFIX "/nls/ULQ");
    }
    ~SvcLoader() { kr_svc__shutdown(); }
};

SvcLoader g_loader;

}  // namespace
