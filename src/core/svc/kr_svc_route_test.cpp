#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"
#include "core/svc/kr_svc_internal.h"
#include "core/svc/kr_svc_test_aids.h"

namespace {

using svc_test::count;
using svc_test::readFile;
using svc_test::SvcTest;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

const uint32_t kSeverities[] = {svc_c_sev_fatal, svc_c_sev_error, svc_c_sev_warning,
                                svc_c_sev_notice, svc_c_sev_notice_verbose};

void logAt(uint32_t severity) { YAV_SVC_LOG(yav_svc_common, severity, "", YAV_S_NO_MEMORY); }

// Output of one message logged at severity: what reached stdout and stderr.
struct Output {
    std::string out, err;
};
Output capture(uint32_t severity) {
    CaptureStdout();
    CaptureStderr();
    logAt(severity);
    Output o;
    o.out = GetCapturedStdout();
    o.err = GetCapturedStderr();
    return o;
}

TEST_F(SvcTest, StarRoutesAllFiveSeveritiesAndABadSeverityChangesNothing) {
    route("*:STDERR:-");
    for (uint32_t severity : kSeverities) {
        EXPECT_EQ(1u, count(capture(severity).err, "QRXIC0012E")) << severity;
    }

    struct Case {
        const char* spec;
        uint32_t status;
    };
    const Case bad[] = {
        {"BOGUS:STDOUT:-", YAV_SVC_S_BAD_ROUTE},
        {":STDOUT:-", YAV_SVC_S_BAD_ROUTE},
        {"ERRORS:STDOUT:-", YAV_SVC_S_BAD_ROUTE},  // longer than any name
        {"*:STDOUT:-;TEXTFILE.3:/tmp/x", YAV_SVC_S_BAD_ROUTE},
        {"*:STDOUT:-;TEXTFILE.3.x:/tmp/x", YAV_SVC_S_BAD_ROUTE},
        {"*:TEXTFILE:", YAV_SVC_S_BAD_ROUTE},
        {"*:TEXTFILE:/tmp/a%sb", YAV_SVC_S_BAD_ROUTE},
        {"*:TEXTFILE:/tmp/x:9", YAV_SVC_S_BAD_ROUTE},
        {"*:GOESTO:LOUD", YAV_SVC_S_BAD_ROUTE},
        {"*:STDOUT:-:0644:root:root:extra", YAV_SVC_S_BAD_ROUTE},
        {"*:.1.2:x", YAV_SVC_S_BAD_ROUTE},
        // No second ':' (or none at all): ignored.
        {"ERROR", 0},
        {"ERROR:STDOUT", 0},
        {"BOGUS:STDOUT", 0},
    };
    for (const Case& c : bad) {
        uint32_t status = 1;
        kr_svc_routing(c.spec, &status);
        EXPECT_EQ(c.status, status) << c.spec;
        for (uint32_t severity : kSeverities) {
            Output o = capture(severity);
            EXPECT_EQ("", o.out) << c.spec;
            EXPECT_EQ(1u, count(o.err, "QRXIC0012E")) << c.spec << " " << severity;
        }
    }
    uint32_t status = 0;
    kr_svc_routing(nullptr, &status);
    EXPECT_EQ(YAV_SVC_S_BAD_ROUTE, status);
}

TEST_F(SvcTest, SeverityWordsMatchOverTheirOwnLength) {
    struct Case {
        const char* word;
        uint32_t severity;
    };
    const Case cases[] = {{"F", svc_c_sev_fatal},
                          {"ERR", svc_c_sev_error},
                          {"WARN", svc_c_sev_warning},
                          {"NOTICE", svc_c_sev_notice},
                          {"NOTICE_V", svc_c_sev_notice_verbose}};
    for (const Case& c : cases) {
        kr_svc_test_reset();
        route("*:DISCARD:");
        route(std::string(c.word) + ":STDOUT:-");
        for (uint32_t severity : kSeverities) {
            EXPECT_EQ(severity == c.severity ? 1u : 0u, count(capture(severity).out, "QRXIC0012E"))
                << c.word << " " << severity;
        }
    }
}

TEST_F(SvcTest, EveryKeywordWritesItsKindOfOutput) {
    struct Case {
        const char* how;
        bool toStdout, toStderr, toFile, xml;
    };
    const Case cases[] = {
        {"STDOUT", true, false, false, false},   {"STDERR", false, true, false, false},
        {"XMLSTDOUT", true, false, false, true}, {"XMLSTDERR", false, true, false, true},
        {"DISCARD", false, false, false, false}, {"TEXTFILE", false, false, true, false},
        {"FILE", false, false, true, false},     {"UTF8FILE", false, false, true, false},
        {"XMLFILE", false, false, true, true},
    };
    for (const Case& c : cases) {
        std::string file = path(std::string(c.how) + ".log");
        route(std::string("ERROR:") + c.how + ":" + file);
        Output o = capture(svc_c_sev_error);
        std::string written = readFile(file);
        const std::string& seen = c.toStdout ? o.out : c.toStderr ? o.err : written;
        EXPECT_EQ(c.toStdout, o.out.find("QRXIC0012E") != std::string::npos) << c.how;
        EXPECT_EQ(c.toStderr, o.err.find("QRXIC0012E") != std::string::npos) << c.how;
        EXPECT_EQ(c.toFile, written.find("QRXIC0012E") != std::string::npos) << c.how;
        if (c.toStdout || c.toStderr || c.toFile) {
            EXPECT_EQ(c.xml, seen.rfind("<Message ", 0) == 0) << c.how << ": " << seen;
            EXPECT_EQ(!c.xml, seen.find(" 0x35F0200C ") != std::string::npos) << c.how;
        }
    }
}

TEST_F(SvcTest, GoestoSendsToAnotherSeverityAndCyclesEnd) {
    std::string file = path("warn.log");
    route("WARNING:TEXTFILE:" + file);
    route("ERROR:GOESTO:WARNING");
    EXPECT_EQ("", capture(svc_c_sev_error).err);
    std::string written = readFile(file);
    EXPECT_EQ(1u, count(written, " ERROR pic Common ")) << written;

    // ERROR -> WARNING -> ERROR: each route is walked once, each
    // destination gets the record once; repeated semicolons are skipped.
    std::string xml = path("err.xml");
    route("ERROR:;;STDOUT:-;;;GOESTO:WARNING;XMLFILE:" + xml + ";");
    route("WARNING:GOESTO:ERROR;STDERR:-;GOESTO:WARNING");
    Output o = capture(svc_c_sev_error);
    EXPECT_EQ(1u, count(o.out, "QRXIC0012E"));
    EXPECT_EQ(1u, count(o.err, "QRXIC0012E"));
    EXPECT_EQ(1u, count(readFile(xml), "<Message "));
    o = capture(svc_c_sev_warning);
    EXPECT_EQ(1u, count(o.out, "QRXIC0012E"));
    EXPECT_EQ(1u, count(o.err, "QRXIC0012E"));

    // A debug route may go to a severity's route too.
    uint32_t status = 1;
    kr_svc_debug_routing("pic:Common.1:GOESTO:ERR", &status);
    EXPECT_EQ(0u, status);
    CaptureStdout();
    CaptureStderr();
    YAV_SVC_DEBUG(yav_svc_common, 1, "debug text");
    EXPECT_EQ(1u, count(GetCapturedStdout(), "debug text"));
    EXPECT_EQ(1u, count(GetCapturedStderr(), "debug text"));
}

struct Seen {
    std::vector<std::string> routes, wheres, texts, lines;
    std::vector<uint32_t> flags, codes;
};

void remember(const kr_svc_route_record* r, void* arg) {
    Seen* seen = static_cast<Seen*>(arg);
    seen->routes.push_back(r->route);
    seen->wheres.push_back(r->where);
    seen->texts.push_back(r->text);
    seen->lines.push_back(std::string(r->textLine, r->textLineLength));
    seen->flags.push_back(r->flags);
    seen->codes.push_back(r->code);
    // A record logged from the callback must not deadlock.
    YAV_SVC_LOG(yav_svc_common, svc_c_sev_notice, "", YAV_S_NOT_SUPPORTED);
}

TEST_F(SvcTest, NamedRoutesGoToTheRegisteredCallback) {
    route("ERROR:AUDIT:somewhere;DISCARD:");
    route("NOTICE:STDOUT:-");
    kr_svc_debug_routing("pic:Request.2:AUDIT:", nullptr);
    logAt(svc_c_sev_error);  // no callback yet: dropped
    Seen seen;
    kr_svc_set_route_callback(remember, &seen);
    CaptureStderr();
    logAt(svc_c_sev_error);
    YAV_SVC_DEBUG(yav_svc_request, 2, "req %d", 9);
    std::string err = GetCapturedStderr();
    kr_svc_set_route_callback(nullptr, nullptr);
    ASSERT_EQ(2u, seen.routes.size());
    EXPECT_EQ("AUDIT", seen.routes[0]);
    EXPECT_EQ("somewhere", seen.wheres[0]);
    EXPECT_EQ(static_cast<uint32_t>(svc_c_sev_error), seen.flags[0]);
    EXPECT_EQ(YAV_S_NO_MEMORY, seen.codes[0]);
    EXPECT_EQ("QRXIC0012E   Memory could not be allocated.", seen.texts[0]);
    EXPECT_NE(std::string::npos, seen.lines[0].find(" ERROR pic Common "));
    EXPECT_EQ("", seen.wheres[1]);
    EXPECT_EQ(2u, seen.flags[1]);
    EXPECT_EQ("req 9", seen.texts[1]);
    // The callback's own records went straight to standard error.
    EXPECT_EQ(2u, count(err, "QRXIC0001E"));
}

TEST(SvcFileNameTest, OneIntegerConversionReceivesTheProcessId) {
    struct Case {
        const char* where;
        const char* expected;  // null: refused
    };
    const Case cases[] = {
        {"/var/log/x.log", "/var/log/x.log"},
        {"/var/log/x.%ld", "/var/log/x.4242"},
        {"x%08u", "x00004242"},
        {"x%-6dy", "x4242  y"},
        {"x%#x", "x0x1092"},
        {"x%X", "x1092"},
        {"x%o", "x10222"},
        {"x%lld", "x4242"},
        {"100%%-%d", "100%-4242"},
        {"x%.6d", "x004242"},
        {"%d%d", nullptr},
        {"%n", nullptr},
        {"%*d", nullptr},
        {"%9999d", nullptr},
        {"%#d", nullptr},
        {"%lllld", nullptr},
        {"x%", nullptr},
    };
    for (const Case& c : cases) {
        char out[64] = "";
        yav_status_t status = svc_expand_file_name(c.where, 4242, out, sizeof out);
        if (c.expected == nullptr) {
            EXPECT_EQ(YAV_SVC_S_BAD_ROUTE, status) << c.where;
        } else {
            EXPECT_EQ(0u, status) << c.where;
            EXPECT_STREQ(c.expected, out) << c.where;
        }
    }
    char small[8];
    EXPECT_EQ(YAV_SVC_S_BAD_ROUTE, svc_expand_file_name("long-name-%d", 1, small, sizeof small));
}

TEST_F(SvcTest, ArchivingMovesTheFileToTheFirstFreeGeneration) {
    struct Case {
        unsigned gens;
        std::vector<std::string> before;  // existing generations besides the file
        const char* receiver;             // the name that gets the file; null: none
    };
    const Case cases[] = {
        {0, {}, nullptr},        {3, {}, ".1"}, {3, {".1"}, ".2"}, {3, {".2"}, ".1"},
        {3, {".1", ".2"}, ".1"}, {1, {}, ".1"}, {1, {".1"}, ".1"}, {99, {".1", ".2", ".3"}, ".4"},
    };
    std::string base = path("g.log");
    for (const Case& c : cases) {
        EXPECT_EQ(0, system(("rm -f '" + base + "'*").c_str()));
        for (const std::string& g : c.before) {
            FILE* f = fopen((base + g).c_str(), "w");
            ASSERT_NE(nullptr, f);
            fputs(("old" + g).c_str(), f);
            fclose(f);
        }
        FILE* f = fopen(base.c_str(), "w");
        ASSERT_NE(nullptr, f);
        fputs("current", f);
        fclose(f);
        svc_archive_log_file(base.c_str(), c.gens);
        EXPECT_EQ(c.receiver == nullptr, svc_test::exists(base)) << c.gens;
        if (c.receiver != nullptr) {
            EXPECT_EQ("current", readFile(base + c.receiver));
        }
        for (const std::string& g : c.before) {
            if (c.receiver == nullptr || g != c.receiver) {
                EXPECT_EQ("old" + g, readFile(base + g));
            }
        }
    }
    svc_archive_log_file(path("missing").c_str(), 3);
    EXPECT_FALSE(svc_test::exists(path("missing.1")));
}

TEST_F(SvcTest, SizeLimitRotatesTheFileKeepingTwoOldGenerations) {
    std::string name = path("rot.%ld");
    std::string file = path("rot." + std::to_string(getpid()));
    // An existing file is archived when the route opens it.
    FILE* f = fopen(file.c_str(), "w");
    ASSERT_NE(nullptr, f);
    fputs("before\n", f);
    fclose(f);
    route("ERROR:TEXTFILE.3.1000:" + name);
    EXPECT_EQ("before\n", readFile(file + ".1"));

    std::string last;
    for (int i = 0; i < 40; ++i) {
        last = "message " + std::to_string(i);
        YAV_SVC_LOG(yav_svc_common, svc_c_sev_error, "%s%s%d", YAV_S_SYS_ROUTINE_ERROR,
                    last.c_str(), "x", i);
    }
    EXPECT_TRUE(svc_test::exists(file + ".1"));
    EXPECT_TRUE(svc_test::exists(file + ".2"));
    EXPECT_FALSE(svc_test::exists(file + ".3"));
    for (const char* g : {"", ".1", ".2"}) {
        std::string written = readFile(file + g);
        EXPECT_LT(written.size(), 1000u + 400u) << g;  // at most one line beyond the limit
        EXPECT_GT(written.size(), 0u) << g;
    }
    EXPECT_NE(std::string::npos, readFile(file).find("The " + last + " system routine"));

    // gens above 99 become 99.
    std::string many = path("many.log");
    route("ERROR:TEXTFILE.500.10:" + many);
    unsigned gens = 0;
    for (svc_file* f = svc_global().files; f != nullptr; f = f->next) {
        if (many == f->path) gens = f->gens;
    }
    EXPECT_EQ(99u, gens);
}

TEST_F(SvcTest, FileModeIsSetAndUnwritableFilesDropLines) {
    std::string file = path("mode.log");
    route("ERROR:TEXTFILE:" + file + ":0640");
    struct stat st;
    ASSERT_EQ(0, stat(file.c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 0777);

    std::string big = path("big.log");
    mode_t mask = umask(022);
    route("ERROR:TEXTFILE:" + big + ":01777");  // above 0777: ignored
    umask(mask);
    ASSERT_EQ(0, stat(big.c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 0777);

    // A file that cannot be opened drops its lines; naming it again once it
    // can be opened brings it back.
    std::string later = path("later/x.log");
    route("ERROR:TEXTFILE:" + later + ";STDOUT:-");
    EXPECT_EQ(1u, count(capture(svc_c_sev_error).out, "QRXIC0012E"));
    ASSERT_EQ(0, mkdir(path("later").c_str(), 0755));
    route("ERROR:TEXTFILE:" + later);
    logAt(svc_c_sev_error);
    EXPECT_EQ(1u, count(readFile(later), "QRXIC0012E"));

    // Owner and group by name (a change that only root may make); unknown
    // names keep the owner.
    std::string owned = path("owned.log");
    route("ERROR:TEXTFILE:" + owned + "::nobody:nogroup");
    ASSERT_EQ(0, stat(owned.c_str(), &st));
    struct passwd* nobody = getpwnam("nobody");
    if (getuid() == 0 && nobody != nullptr) {
        EXPECT_EQ(nobody->pw_uid, st.st_uid);
    } else {
        EXPECT_EQ(getuid(), st.st_uid);
    }
    route("ERROR:TEXTFILE:" + path("owner.log") + "::no-such-user:no-such-group");
    ASSERT_EQ(0, stat(path("owner.log").c_str(), &st));
    EXPECT_EQ(getuid(), st.st_uid);
    EXPECT_EQ(getgid(), st.st_gid);
}

TEST_F(SvcTest, OneFileNamedByTwoRoutesIsOpenedOnce) {
    std::string file = path("shared.log");
    route("*:TEXTFILE.2.100000:" + file);
    route("ERROR:TEXTFILE.2.100000:" + file + ";DISCARD:");  // still open: not archived
    logAt(svc_c_sev_error);
    logAt(svc_c_sev_warning);
    EXPECT_FALSE(svc_test::exists(file + ".1"));
    std::string written = readFile(file);
    EXPECT_EQ(1u, count(written, " ERROR pic ")) << written;
    EXPECT_EQ(1u, count(written, " WARNING pic ")) << written;
}

}  // namespace
