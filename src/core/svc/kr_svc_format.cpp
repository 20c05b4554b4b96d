// The renderings of a record: text lines and XML records, timestamps, and
// the conversions of texts between the local code page and UTF-8.
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <atomic>
#include <cstdio>
#include <cwchar>

#include "core/msg/kr_msg.h"
#include "core/svc/kr_svc_internal.h"
#include "core/ulq/ulq.h"

// ---- SvcBuf ------------------------------------------------------------------

SvcBuf::~SvcBuf() {
    if (m_data != m_inline) free(m_data);
}

bool SvcBuf::reserve(size_t extra) {
    if (m_failed) return false;
    if (extra < m_capacity - m_size) return true;  // room for extra and a terminator
    size_t wanted = m_size + extra + 1;
    if (wanted < m_size) {  // overflow
        m_failed = true;
        return false;
    }
    size_t capacity = m_capacity * 2 > wanted ? m_capacity * 2 : wanted;
    char* grown =
        static_cast<char*>(m_data == m_inline ? malloc(capacity) : realloc(m_data, capacity));
    if (grown == nullptr) {
        m_failed = true;
        return false;
    }
    if (m_data == m_inline) memcpy(grown, m_inline, m_size + 1);
    m_data = grown;
    m_capacity = capacity;
    return true;
}

void SvcBuf::append(const char* data, size_t len) {
    if (!reserve(len)) return;
    memcpy(m_data + m_size, data, len);
    m_size += len;
    m_data[m_size] = '\0';
}

void SvcBuf::append(const char* text) { append(text, strlen(text)); }

void SvcBuf::appendf(const char* format, ...) {
    if (m_failed) return;
    va_list args;
    va_start(args, format);
    int needed = vsnprintf(m_data + m_size, m_capacity - m_size, format, args);
    va_end(args);
    if (needed < 0) {
        m_failed = true;
        return;
    }
    if (static_cast<size_t>(needed) >= m_capacity - m_size) {
        if (!reserve(static_cast<size_t>(needed))) return;
        va_start(args, format);
        vsnprintf(m_data + m_size, m_capacity - m_size, format, args);
        va_end(args);
    }
    m_size += static_cast<size_t>(needed);
}

void SvcBuf::clear() {
    m_size = 0;
    m_data[0] = '\0';
    m_failed = false;
}

// ---- names and settings ------------------------------------------------------

namespace {

const char* const kSeverityNames[kSvcSeverityCount] = {"FATAL", "ERROR", "WARNING", "NOTICE",
                                                       "NOTICE_VERBOSE"};

// -1 until SVC_BRIEF was read, then 0 or 1.
std::atomic<int> g_brief{-1};

}  // namespace

const char* svc_severity_name(unsigned index) {
    return index < kSvcSeverityCount ? kSeverityNames[index] : "NOTICE_VERBOSE";
}

int svc_severity_index(const char* word, size_t len) {
    if (len == 0) return -1;
    for (unsigned i = 0; i < kSvcSeverityCount; ++i) {
        if (strncmp(word, kSeverityNames[i], len) == 0) return static_cast<int>(i);
    }
    return -1;
}

bool svc_brief() {
    int brief = g_brief.load(std::memory_order_relaxed);
    if (brief < 0) {
        const char* value = getenv("SVC_BRIEF");
        brief = value != nullptr && atoi(value) != 0 ? 1 : 0;
        g_brief.store(brief, std::memory_order_relaxed);
    }
    return brief != 0;
}

void svc_reset_brief() { g_brief.store(-1); }

void svc_format_time(const struct timeval& when, char* out, size_t size) {
    struct tm tm;
    time_t seconds = when.tv_sec;
    if (localtime_r(&seconds, &tm) == nullptr) memset(&tm, 0, sizeof tm);
    long offset = tm.tm_gmtoff;
    char sign = offset < 0 ? '-' : '+';
    if (offset < 0) offset = -offset;
    snprintf(out, size, "%04d-%02d-%02d-%02d:%02d:%02d.%03d%c%02d:%02d", tm.tm_year + 1900,
             tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
             static_cast<int>(when.tv_usec / 1000), sign, static_cast<int>(offset / 3600),
             static_cast<int>(offset % 3600 / 60));
}

const char* svc_subcomp_name(const svc_record& rec) {
    return rec.subcomp < rec.handle->count ? rec.handle->table[rec.subcomp].name : "-";
}

// ---- text conversions --------------------------------------------------------

namespace {

// Converts len bytes between UTF-8 and the local code page into out; when
// the conversion fails (a character without a form in the target), the
// bytes are kept as they are.
void convert(bool toUtf8, const char* text, size_t len, SvcBuf& out) {
    ulq_cs_t local = ulq_local_cs();
    if (ulq_cs_is_utf8(local) || len == 0) {
        out.append(text, len);
        return;
    }
    size_t room = len * 4 + 16;
    char* converted = static_cast<char*>(malloc(room));
    long n = -1;
    if (converted != nullptr) {
        n = toUtf8 ? ulq_to_utf8(local, text, len, converted, room)
                   : ulq_from_utf8(local, text, len, converted, room);
    }
    if (n >= 0) {
        out.append(converted, static_cast<size_t>(n));
    } else {
        out.append(text, len);
    }
    free(converted);
}

}  // namespace

void svc_text_utf8(const svc_record& rec, SvcBuf& out) {
    if (rec.textIsUtf8) {
        out.append(rec.text, rec.textLength);
    } else {
        convert(true, rec.text, rec.textLength, out);
    }
}

void svc_text_lcp(const svc_record& rec, SvcBuf& out) {
    if (!rec.textIsUtf8) {
        out.append(rec.text, rec.textLength);
    } else {
        convert(false, rec.text, rec.textLength, out);
    }
}

void svc_sanitize_utf8(SvcBuf& out, const char* text, size_t len) {
    ulq_cs_t utf8 = ulq_utf8_cs();
    size_t start = 0;  // beginning of the valid run not yet appended
    size_t i = 0;
    while (i < len) {
        int n = ulq_mblen(utf8, text + i, len - i);
        if (n > 0) {
            i += static_cast<size_t>(n);
            continue;
        }
        if (n == 0) {  // a zero byte is a character of its own
            ++i;
            continue;
        }
        out.append(text + start, i - start);
        out.append("?", 1);
        start = ++i;
    }
    out.append(text + start, len - start);
}

// ---- text lines --------------------------------------------------------------

void svc_text_line(const svc_record& rec, const char* progname, bool brief, bool utf8,
                   SvcBuf& out) {
    char stamp[kSvcTimeSize];
    svc_format_time(rec.when, stamp, sizeof stamp);
    char pidName[32];
    if (progname == nullptr) {
        snprintf(pidName, sizeof pidName, "PID#%ld", rec.pid);
        progname = pidName;
    }
    const char* file = rec.file != nullptr ? rec.file : "unknown";
    char separator = brief ? ' ' : '\n';
    if (rec.isDebug) {
        out.appendf("%s %s DEBUG%d %s %s %s %d 0x%8.8lx%c", stamp, progname,
                    static_cast<int>(rec.level), rec.handle->component, svc_subcomp_name(rec), file,
                    rec.line, rec.thread, separator);
    } else {
        out.appendf("%s 0x%8.8lX %s %s %s %s %s %d 0x%8.8lx%c", stamp,
                    static_cast<unsigned long>(rec.code), progname, svc_severity_name(rec.severity),
                    rec.handle->component, svc_subcomp_name(rec), file, rec.line, rec.thread,
                    separator);
    }
    if (utf8) {
        svc_text_utf8(rec, out);
    } else {
        svc_text_lcp(rec, out);
    }
    if (out.size() == 0 || out.data()[out.size() - 1] != '\n') out.append("\n", 1);
}

// ---- XML records -------------------------------------------------------------

namespace {

const char kUnhandledParam[] = "(Failed to handle a data type in svcprintf.c, printPrefix())";

// Appends UTF-8 text for use inside markup: characters XML 1.0 cannot hold
// (control characters but tab, newline and carriage return) become '?'.
void appendXmlChars(SvcBuf& out, const char* text, size_t len) {
    SvcBuf clean;
    svc_sanitize_utf8(clean, text, len);
    const char* s = clean.data();
    size_t n = clean.size();
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            out.append(s + start, i - start);
            out.append("?", 1);
            start = i + 1;
        }
    }
    out.append(s + start, n - start);
}

// Appends text (local code page) as an attribute value, escaped.
void appendAttribute(SvcBuf& out, const char* text) {
    SvcBuf utf8;
    convert(true, text, strlen(text), utf8);
    SvcBuf clean;
    appendXmlChars(clean, utf8.data(), utf8.size());
    for (size_t i = 0; i < clean.size(); ++i) {
        char c = clean.data()[i];
        switch (c) {
            case '&':
                out.append("&amp;");
                break;
            case '<':
                out.append("&lt;");
                break;
            case '>':
                out.append("&gt;");
                break;
            case '"':
                out.append("&quot;");
                break;
            case '\'':
                out.append("&apos;");
                break;
            default:
                out.append(&clean.data()[i], 1);
        }
    }
}

// One conversion of an argument-types string: its length modifier and
// conversion character.
struct Conversion {
    int longs;  // -1 'h' or "hh", 0 none, 1 'l', 2 "ll" / 'j' / 'z' / 't'
    char conv;
    bool star;  // '*' width or precision: the types cannot be followed
};

// Parses the conversion at *p (just after '%'); advances *p past it.
Conversion parseConversion(const char** p) {
    Conversion c = {0, '\0', false};
    const char* s = *p;
    while (*s != '\0' && strchr("-+ #0'", *s) != nullptr) ++s;
    while ((*s >= '0' && *s <= '9') || *s == '*' || *s == '.' || *s == '$') {
        if (*s == '*') c.star = true;
        ++s;
    }
    while (*s != '\0' && strchr("hljztL", *s) != nullptr) {
        if (*s == 'h') c.longs = -1;
        if (*s == 'l') ++c.longs;
        if (*s == 'j' || *s == 'z' || *s == 't') c.longs = 2;
        if (*s == 'L') c.longs = 3;
        ++s;
    }
    c.conv = *s;
    if (*s != '\0') ++s;
    *p = s;
    return c;
}

// Appends one parameter element for conversion c, taking its argument from
// args.  Returns false when the argument's type is unknown (the following
// arguments cannot be found then).
bool appendParam(SvcBuf& out, const Conversion& c, va_list& args, ulq_cs_t argCs) {
    char number[64];
    const char* text = nullptr;
    bool known = true;
    SvcBuf converted;
    if (c.star) {
        text = kUnhandledParam;
        known = false;
    } else {
        switch (c.conv) {
            case 'd':
            case 'i': {
                long long v = c.longs >= 2   ? va_arg(args, long long)
                              : c.longs == 1 ? va_arg(args, long)
                                             : va_arg(args, int);
                snprintf(number, sizeof number, "%lld", v);
                text = number;
                break;
            }
            case 'u':
            case 'x':
            case 'X':
            case 'o': {
                unsigned long long v = c.longs >= 2   ? va_arg(args, unsigned long long)
                                       : c.longs == 1 ? va_arg(args, unsigned long)
                                                      : va_arg(args, unsigned);
                const char* f = c.conv == 'u'   ? "%llu"
                                : c.conv == 'o' ? "%llo"
                                : c.conv == 'x' ? "%llx"
                                                : "%llX";
                snprintf(number, sizeof number, f, v);
                text = number;
                break;
            }
            case 'c':
                if (c.longs != 1) {
                    number[0] = static_cast<char>(va_arg(args, int));
                    number[1] = '\0';
                    text = number;
                    break;
                }
                [[fallthrough]];
            case 'C': {
                int n =
                    ulq_wctomb(ulq_utf8_cs(), number, static_cast<wchar_t>(va_arg(args, wint_t)));
                number[n > 0 ? n : 0] = '\0';
                text = n >= 0 ? number : kUnhandledParam;
                break;
            }
            case 'e':
            case 'E':
            case 'f':
            case 'g':
            case 'G':
                if (c.longs == 3) {
                    text = kUnhandledParam;
                    known = false;
                    break;
                }
                snprintf(number, sizeof number, "%g", va_arg(args, double));
                text = number;
                break;
            case 'p':
                snprintf(number, sizeof number, "%p", va_arg(args, void*));
                text = number;
                break;
            case 's': {
                const char* s = va_arg(args, const char*);
                if (s == nullptr) s = "(null)";
                if (argCs != nullptr && ulq_cs_is_utf8(argCs)) {
                    converted.append(s);
                } else if (argCs == nullptr || argCs == ulq_local_cs()) {
                    convert(true, s, strlen(s), converted);
                } else {
                    size_t len = strlen(s);
                    size_t room = len * 4 + 16;
                    char* u = static_cast<char*>(malloc(room));
                    long n = u != nullptr ? ulq_to_utf8(argCs, s, len, u, room) : -1;
                    converted.append(n >= 0 ? u : s, n >= 0 ? static_cast<size_t>(n) : len);
                    free(u);
                }
                text = converted.data();
                break;
            }
            case 'S': {
                const wchar_t* w = va_arg(args, const wchar_t*);
                size_t n = w != nullptr ? ulq_wcstombs(ulq_utf8_cs(), nullptr, w, 0) : 0;
                char* u =
                    n != static_cast<size_t>(-1) ? static_cast<char*>(malloc(n + 1)) : nullptr;
                if (u != nullptr && w != nullptr) {
                    ulq_wcstombs(ulq_utf8_cs(), u, w, n + 1);
                    u[n] = '\0';
                    converted.append(u, n);
                } else {
                    converted.append(w == nullptr ? "(null)" : kUnhandledParam);
                }
                free(u);
                text = converted.data();
                break;
            }
            default:
                text = kUnhandledParam;
                known = false;
        }
    }
    out.append("  <Param>");
    svc_xml_cdata(out, text, strlen(text));
    out.append("</Param>\n");
    return known;
}

// One Param element per conversion of the argument-types string.
void appendParams(SvcBuf& out, const svc_record& rec) {
    const char* types = rec.argumentTypes != nullptr ? rec.argumentTypes : "";
    bool known = rec.args != nullptr;
    va_list args;
    if (known) va_copy(args, *rec.args);
    for (const char* p = strchr(types, '%'); p != nullptr; p = strchr(p, '%')) {
        ++p;
        if (*p == '%') {
            ++p;
            continue;
        }
        Conversion c = parseConversion(&p);
        if (known) {
            known = appendParam(out, c, args, rec.argCs);
            if (!known) va_end(args);
        } else {
            out.append("  <Param>");
            svc_xml_cdata(out, kUnhandledParam, strlen(kUnhandledParam));
            out.append("</Param>\n");
        }
    }
    if (known) va_end(args);
}

void appendCommon(SvcBuf& out, const svc_record& rec) {
    char stamp[kSvcTimeSize];
    svc_format_time(rec.when, stamp, sizeof stamp);
    long long millis = static_cast<long long>(rec.when.tv_sec) * 1000 + rec.when.tv_usec / 1000;
    out.appendf(" <Time Millis=\"%lld\">%s</Time>\n", millis, stamp);
    out.append(" <Component>");
    appendAttribute(out, rec.handle->component);
    out.append("</Component>\n");
}

void appendSourceProcessThread(SvcBuf& out, const svc_record& rec) {
    out.append(" <Source FileName=\"");
    appendAttribute(out, rec.file != nullptr ? rec.file : "unknown");
    out.appendf("\" Method=\"unknown\" Line=\"%d\"/>\n", rec.line);
    out.appendf(" <Process>%ld</Process>\n", rec.pid);
    out.appendf(" <Thread>0x%8.8lx</Thread>\n", rec.thread);
}

void appendLogAttribs(SvcBuf& out, const char* key, const char* value) {
    out.append(" <LogAttribs><KeyName>");
    svc_xml_cdata(out, key, strlen(key));
    out.append("</KeyName><Value>");
    svc_xml_cdata(out, value, strlen(value));
    out.append("</Value></LogAttribs>\n");
}

void appendLogText(SvcBuf& out, const svc_record& rec) {
    SvcBuf text;
    svc_text_utf8(rec, text);
    out.append(" <LogText>");
    svc_xml_cdata(out, text.data(), text.size());
    out.append("</LogText>\n");
}

// The catalog that holds code's text: technology and component name and
// ".cat"; technologies 4 and 5 use "dce" and the code shifted right by 14.
void catalogName(uint32_t code, char* out, size_t size) {
    unsigned technology = code >> 28;
    if (technology == 4 || technology == 5) {
        snprintf(out, size, "dce%6.6lx.cat", static_cast<unsigned long>(code >> 14));
        return;
    }
    kr_status_parts parts;
    kr_status_decode(code, &parts);
    snprintf(out, size, "%s%s.cat", parts.technology, parts.component);
}

void appendMessage(SvcBuf& out, const svc_record& rec) {
    // The identifier is the first word of the text ("QRXIC0012E").
    size_t idLength = 0;
    while (idLength < rec.textLength && idLength < 32 && rec.text[idLength] != ' ' &&
           rec.text[idLength] != '\n' && rec.text[idLength] != '\0') {
        ++idLength;
    }
    char id[33];
    memcpy(id, rec.text, idLength);
    id[idLength] = '\0';
    char last = idLength > 0 ? id[idLength - 1] : '\0';
    const char* severity = last == 'E' ? "ERROR" : last == 'W' ? "WARN" : "INFO";

    out.append("<Message Id=\"");
    appendAttribute(out, id);
    out.appendf("\" Severity=\"%s\">\n", severity);
    appendCommon(out, rec);
    char code[16];
    snprintf(code, sizeof code, "0x%8.8lx", static_cast<unsigned long>(rec.code));
    appendLogAttribs(out, "Message Number", code);
    appendSourceProcessThread(out, rec);

    char catalog[32];
    catalogName(rec.code, catalog, sizeof catalog);
    out.appendf(" <TranslationInfo Type=\"XPG4\" Catalog=\"%s\" SetId=\"1\" MsgKey=\"%lu\">\n",
                catalog, static_cast<unsigned long>(rec.code & 0xfff));
    appendParams(out, rec);
    out.append(" </TranslationInfo>\n");
    appendLogText(out, rec);
    out.append("</Message>\n\n");
}

void appendTrace(SvcBuf& out, const svc_record& rec) {
    const char* level = rec.level <= 3 ? "MIN" : rec.level <= 6 ? "MID" : "MAX";
    out.appendf("<Trace Level=\"%s\">\n", level);
    appendCommon(out, rec);
    appendSourceProcessThread(out, rec);
    char value[16];
    snprintf(value, sizeof value, "%u", rec.level);
    appendLogAttribs(out, "Numeric Trace Level", value);
    appendLogText(out, rec);
    out.append("</Trace>\n\n");
}

}  // namespace

void svc_xml_cdata(SvcBuf& out, const char* text, size_t len) {
    SvcBuf clean;
    appendXmlChars(clean, text, len);
    const char* s = clean.data();
    size_t n = clean.size();
    out.append("<![CDATA[");
    size_t start = 0;
    for (size_t i = 0; i + 2 < n; ++i) {
        if (s[i] == ']' && s[i + 1] == ']' && s[i + 2] == '>') {
            // End the section between "]]" and ">" and open a new one.
            out.append(s + start, i + 2 - start);
            out.append("]]><![CDATA[");
            start = i + 2;
        }
    }
    out.append(s + start, n - start);
    out.append("]]>");
}

void svc_xml_record(const svc_record& rec, SvcBuf& out) {
    if (rec.isDebug) {
        appendTrace(out, rec);
    } else {
        appendMessage(out, rec);
    }
}
