// yav_authz_decide: the reference authorization server's decision for one
// web request against a policy.
//
// Order of the decision:
//   1. the virtual host by ID (unknown: forbidden); an unprotected host is
//      open;
//   2. the object name is the host's branch followed by the normalised URI
//      (as the plug-in builds it, one trailing "/" removed); a name holding
//      a "." or ".." segment is forbidden, since the nearest-ancestor walk
//      below would judge it by the wrong ancestor;
//   3. the actions the method needs come from the host's permission map
//      (the method's own entry, else the default);
//   4. the nearest listed open ancestor (in the host's branch) decides
//      first: "*" or an action set covering the need makes the object open;
//   5. otherwise Basic credentials are needed: none, a malformed header, an
//      unknown user or a wrong password give "unauthenticated";
//   6. the nearest ancestor with an access list decides: the union of what
//      it grants to the user and to the user's groups must cover the need
//      ("allowed"), else (or with no access list at all) "forbidden".
//
// Memory: the result owns its strings.  Threads: reads the policy only, so
// any number of threads may decide at once on one policy.
#ifndef AUTHZD_YAVAUTHZDECISION_H
#define AUTHZD_YAVAUTHZDECISION_H

#include <string>

#include "authzd/YavAuthzPolicy.h"
#include "core/sundry/yav_base.h"

enum yav_authz_verdict_e {
    yav_authz_open = 0,         // no authentication needed
    yav_authz_allowed,          // authenticated user may go on
    yav_authz_unauthenticated,  // credentials needed (401)
    yav_authz_forbidden,        // refused (403)
};

struct YavAuthzRequest {
    std::string vhostID;
    std::string method;
    std::string uri;            // path, without query
    std::string authorization;  // the Authorization header's value, or empty
};

struct YavAuthzResult {
    yav_authz_verdict_e verdict = yav_authz_forbidden;
    std::string user;        // the authenticated user, when known
    std::string objectName;  // empty when no host was found
};

// 0 with *out filled; YAV_S_NO_MEMORY when memory ran out (no decision).
// REQUIRES: out != nullptr.
yav_status_t yav_authz_decide(const YavAuthzPolicy& policy, const YavAuthzRequest& request,
                              YavAuthzResult* out);

// True when password matches the crypt(3) hash.
bool yav_authz_check_password(const std::string& password, const std::string& hash);

// Splits "Basic <base64 user:password>"; false for any other form.
bool yav_authz_parse_basic(const std::string& header, std::string* user, std::string* password);

// The parent object of name ("/a/b" -> "/a" -> "/"); false for "/" or a
// name that does not start with "/".
bool yav_authz_parent(std::string* name);

// True when granted covers required (action-set texts).  *covers is set;
// a status when a text cannot be parsed or memory ran out.
yav_status_t yav_authz_covers(const std::string& granted, const std::string& required,
                              bool* covers);

#endif  // AUTHZD_YAVAUTHZDECISION_H
