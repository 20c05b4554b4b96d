// tessaro-request: runs raw HTTP requests through the plug-in core the way a
// web-server module would, and prints what the module would do with each.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "core/msg/yav_status.h"
#include "plugin/core/YavCore.h"
#include "tools/yav_raw_exchange.h"

namespace {

const char kUsage[] =
    "Usage: tessaro-request [options] [REQUEST-FILE...]\n"
    "Reads raw HTTP requests (one per file; \"-\" or no file: standard input),\n"
    "runs each through the plug-in core and prints the result code and the\n"
    "request as it would be forwarded, or the response that would be sent.\n"
    "\n"
    "  --config-dir DIR     directory holding tessaro.conf (default: .)\n"
    "  --key FILE           key file of the authorization server; without it the\n"
    "                       core is not initialized (only unprotected hosts pass)\n"
    "  --vhost ID           virtual-host ID (default: the Host header, port removed)\n"
    "  --server-name NAME   host name used in URLs (default: the virtual-host ID)\n"
    "  --port N             port that received the request (default 80, 443 with --ssl)\n"
    "  --ssl                the request came over SSL\n"
    "  --ssl-session-id ID  SSL session identifier (implies --ssl)\n"
    "  --client-cert FILE   client certificate, PEM or DER (implies --ssl)\n"
    "  --client-ip ADDR     client address (default 127.0.0.1)\n"
    "  --response FILE      raw response to hand to the core after a request it\n"
    "                       lets through (yav_continue)\n"
    "  --help               this text\n"
    "Among the request files, \"--run COMMAND\" runs COMMAND with the shell at that\n"
    "point (for example to stop the authorization server between two requests).\n"
    "\n"
    "Exit status: 0 every request handled, 1 the core failed, 2 bad options or\n"
    "unreadable file, 3 malformed HTTP.\n";

struct Options {
    const char* configDir = ".";
    const char* key = nullptr;
    std::string vhost;
    std::string serverName;
    int port = 0;
    bool ssl = false;
    std::string sessionId;
    const char* certFile = nullptr;
    std::string clientIP = "127.0.0.1";
    const char* responseFile = nullptr;
};

enum { kExitOk = 0, kExitCore = 1, kExitUsage = 2, kExitMalformed = 3 };

bool readFile(const char* path, std::string* out) {
    FILE* file = strcmp(path, "-") == 0 ? stdin : fopen(path, "rb");
    if (file == nullptr) {
        fprintf(stderr, "tessaro-request: cannot open %s: %s\n", path, strerror(errno));
        return false;
    }
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), file)) > 0) out->append(chunk, n);
    bool ok = ferror(file) == 0;
    if (!ok) fprintf(stderr, "tessaro-request: cannot read %s\n", path);
    if (file != stdin) fclose(file);
    return ok;
}

void printHeaders(const YavRawHeaders& headers) {
    for (const auto& line : headers.lines()) {
        printf("  %s: %s\n", line.first.c_str(), line.second.c_str());
    }
}

void printRequest(const YavRawRequest& req) {
    printf("forwarded request:\n  %s %s%s%s %s\n", req.method.c_str(), req.uri.c_str(),
           req.hasQuery ? "?" : "", req.query.c_str(), req.version.c_str());
    printHeaders(req.headers);
    if (!req.webLogUser.empty()) {
        printf("web log user: %s %s %s\n", req.webLogUser[0].c_str(), req.webLogUser[1].c_str(),
               req.webLogUser[2].c_str());
    }
}

void printResponse(const YavRawResponse& rsp) {
    printf("response:\n  status %d %s%s\n", rsp.code, rsp.reason.c_str(),
           rsp.useDefault ? " (the server's default page)" : "");
    printHeaders(rsp.headers);
    if (!rsp.bodyFile.empty()) printf("  body from file %s\n", rsp.bodyFile.c_str());
    if (!rsp.body.empty()) printf("  body (%zu bytes):\n%s\n", rsp.body.size(), rsp.body.c_str());
}

void printOutcome(YavRawTransaction& trans, const YavRawRequest& req, const YavRawResponse& rsp) {
    for (const std::string& line : trans.logLines) printf("log %s\n", line.c_str());
    yav_proxy_rsp_code_e result = trans.getResult();
    printf("result: %s\n", yav_raw_result_name(result));
    if (result == yav_continue || result == yav_continue_uninteresting) {
        printRequest(req);
    } else if (result == yav_send_rsp_to_client || result == yav_send_default_rsp_to_client) {
        printResponse(rsp);
    }
}

// The virtual-host ID a server would give: the Host header without its port.
std::string hostOf(YavRawRequest& req) {
    const std::string* host = req.headers.first("Host");
    if (host == nullptr) return std::string();
    size_t colon = host->rfind(':');
    if (colon != std::string::npos && host->find(']', colon) == std::string::npos) {
        return host->substr(0, colon);
    }
    return *host;
}

int handleOne(YavCore& core, const Options& options, const char* path) {
    std::string text;
    if (!readFile(path, &text)) return kExitUsage;
    YavRawRequest req;
    YavRawResponse rsp;
    std::string why;
    yav_status_t status = yav_raw_parse_request(text, &req, &why);
    if (status != 0) {
        fprintf(stderr, "tessaro-request: %s: malformed request (0x%08x): %s\n", path, status,
                why.c_str());
        return kExitMalformed;
    }
    req.clientIP = options.clientIP;
    req.security = options.ssl ? 1 : 0;
    std::string vhost = options.vhost.empty() ? hostOf(req) : options.vhost;
    std::string name = options.serverName.empty() ? vhost : options.serverName;
    int port = options.port != 0 ? options.port : (options.ssl ? 443 : 80);
    YavRawServer* server = new (std::nothrow) YavRawServer(vhost, name, port);
    if (server == nullptr) return kExitCore;
    req.setServer(server);
    if (options.ssl) {
        YavClientCert* cert = nullptr;
        if (options.certFile != nullptr) {
            std::string bytes;
            if (!readFile(options.certFile, &bytes)) return kExitUsage;
            cert = YavRawClientCert::fromFileBytes(bytes);
            if (cert == nullptr) {
                fprintf(stderr, "tessaro-request: %s holds no readable certificate\n",
                        options.certFile);
                return kExitUsage;
            }
        }
        YavRawSSLSession* session = new (std::nothrow) YavRawSSLSession(options.sessionId, cert);
        if (session == nullptr) {
            delete cert;
            return kExitCore;
        }
        req.setSSLSession(session);
    }

    YavRawTransaction trans(&req, &rsp);
    printf("== %s %s%s%s (virtual host %s)\n", req.method.c_str(), req.uri.c_str(),
           req.hasQuery ? "?" : "", req.query.c_str(), vhost.c_str());
    status = core.handleReq(&trans);
    if (status != 0) {
        printf("handleReq failed: 0x%08x\n", status);
        return kExitCore;
    }
    printOutcome(trans, req, rsp);
    if (options.responseFile == nullptr || trans.getResult() != yav_continue) return kExitOk;

    std::string rawResponse;
    if (!readFile(options.responseFile, &rawResponse)) return kExitUsage;
    status = yav_raw_parse_response(rawResponse, &rsp, &why);
    if (status != 0) {
        fprintf(stderr, "tessaro-request: %s: malformed response (0x%08x): %s\n",
                options.responseFile, status, why.c_str());
        return kExitMalformed;
    }
    trans.logLines.clear();
    printf("-- response %d %s handed to the core\n", rsp.code, rsp.reason.c_str());
    status = core.handleRsp(&trans);
    if (status != 0) {
        printf("handleRsp failed: 0x%08x\n", status);
        return kExitCore;
    }
    for (const std::string& line : trans.logLines) printf("log %s\n", line.c_str());
    printf("result: %s\n", yav_raw_result_name(trans.getResult()));
    printResponse(rsp);
    return kExitOk;
}

int usage(const char* why) {
    fprintf(stderr, "tessaro-request: %s\n%s", why, kUsage);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    int first = 1;
    for (; first < argc; ++first) {
        const char* opt = argv[first];
        if (strcmp(opt, "--") == 0) {
            ++first;
            break;
        }
        if (strncmp(opt, "--", 2) != 0) break;
        if (strcmp(opt, "--help") == 0) {
            fputs(kUsage, stdout);
            return kExitOk;
        }
        if (strcmp(opt, "--ssl") == 0) {
            options.ssl = true;
            continue;
        }
        if (first + 1 >= argc) return usage("an option lacks its value");
        const char* value = argv[++first];
        if (strcmp(opt, "--config-dir") == 0) {
            options.configDir = value;
        } else if (strcmp(opt, "--key") == 0) {
            options.key = value;
        } else if (strcmp(opt, "--vhost") == 0) {
            options.vhost = value;
        } else if (strcmp(opt, "--server-name") == 0) {
            options.serverName = value;
        } else if (strcmp(opt, "--port") == 0) {
            char* end = nullptr;
            errno = 0;
            long port = strtol(value, &end, 10);
            if (errno != 0 || *end != '\0' || port < 1 || port > 65535) {
                return usage("bad --port");
            }
            options.port = static_cast<int>(port);
        } else if (strcmp(opt, "--ssl-session-id") == 0) {
            options.sessionId = value;
            options.ssl = true;
        } else if (strcmp(opt, "--client-cert") == 0) {
            options.certFile = value;
            options.ssl = true;
        } else if (strcmp(opt, "--client-ip") == 0) {
            options.clientIP = value;
        } else if (strcmp(opt, "--response") == 0) {
            options.responseFile = value;
        } else {
            return usage("unknown option");
        }
    }

    YavCore core(argv[0], options.configDir);
    if (options.key != nullptr) {
        yav_status_t status = core.initialize(options.key, nullptr);
        if (status != 0) {
            // The core stays usable for unprotected hosts; protected
            // requests then report that it is not initialized.
            fprintf(stderr, "tessaro-request: cannot reach the authorization server (0x%08x)\n",
                    status);
        }
    }
    int exitCode = kExitOk;
    if (first >= argc) {
        exitCode = handleOne(core, options, "-");
    } else {
        for (int i = first; i < argc; ++i) {
            if (strcmp(argv[i], "--run") == 0) {
                if (i + 1 >= argc) return usage("--run lacks its command");
                fflush(stdout);
                int status = system(argv[++i]);
                printf("-- ran \"%s\" (status %d)\n", argv[i], status);
                continue;
            }
            int code = handleOne(core, options, argv[i]);
            if (code > exitCode) exitCode = code;
            fflush(stdout);
        }
    }
    core.shutdown();
    return exitCode;
}
