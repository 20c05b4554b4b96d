// YavAuthzPolicy: the reference authorization server's policy, read from a
// stanza file, and the configuration it reports to the plug-in.
//
// Policy file (stanza syntax; see examples/authzd-policy.conf):
//   [authzd]            realm, user-header, cache (yes/no), cache-poll-interval
//   [vhost <ID>]        branch, flags (words or a number), default (action
//                       set) and one "<METHOD> = <action set>" per method
//   [open <branch>]     "<object> = *" or "<object> = <action set>": what
//                       anybody may do there (fed to the plug-in's cache)
//   [acl <object>]      "user <name> = <action set>", "group <name> = ..."
//   [users]             "<name> = <crypt(3) hash>"
//   [groups]            "<group> = <user> <user> ..."
//   [post-sizes]        "<key> = <minimum POST bytes>"
//   [config-flags]      "<name> = <flag word>"
// Every stanza and entry is checked at load; the first fault is reported as
// "<file>:<line>: <reason>" and the load fails.
//
// Memory: a policy owns every string and table it holds; the YavConfigAnswerData
// view (configData) points into them and lives as long as the policy.
// Threads: built by one thread, then only read (any number of threads).
// Not copyable.
#ifndef AUTHZD_YAVAUTHZPOLICY_H
#define AUTHZD_YAVAUTHZPOLICY_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/sundry/yav_base.h"
#include "server/YavConfigAnswerWriter.h"

struct YavAuthzVHost {
    std::string id;
    std::string branch;
    uint32_t flags = 0;
    std::string defaultPerms;
    std::vector<std::string> methods;  // parallel to methodPerms
    std::vector<std::string> methodPerms;
};

struct YavAuthzOpenEntry {
    std::string branch;
    std::string object;
    std::string actions;  // "*" for every action
};

struct YavAuthzAclEntry {
    bool isGroup = false;
    std::string name;
    std::string actions;
};

struct YavAuthzAcl {
    std::string object;
    std::vector<YavAuthzAclEntry> entries;
};

struct YavAuthzUser {
    std::string name;
    std::string hash;  // crypt(3) form
};

struct YavAuthzGroup {
    std::string name;
    std::vector<std::string> members;
};

struct YavAuthzNamedInt {
    std::string name;
    uint32_t value = 0;
};

// Virtual-host flag bits as the plug-in reads them.
constexpr uint32_t YAV_AUTHZ_VH_CASE_INSENSITIVE = 1;
constexpr uint32_t YAV_AUTHZ_VH_WIN32 = 2;
constexpr uint32_t YAV_AUTHZ_VH_HTTPS = 4;
constexpr uint32_t YAV_AUTHZ_VH_HTTP = 8;
constexpr uint32_t YAV_AUTHZ_VH_UNPROTECTED = 16;

class YavAuthzPolicy {
  public:
    YavAuthzPolicy() = default;
    YAV_DISALLOW_COPY(YavAuthzPolicy);

    // Reads path into this (empty) policy.  0, or a status with
    // *error = "<path>:<line>: <reason>" (line 0 when the file cannot be
    // read at all).  REQUIRES: error != nullptr; called once.
    yav_status_t load(const char* path, std::string* error);

    // Look-ups; null when absent.
    const YavAuthzVHost* findVHost(const std::string& id) const;
    const YavAuthzAcl* findAcl(const std::string& object) const;
    const YavAuthzUser* findUser(const std::string& name) const;
    // The open entry for object in branch, or null.
    const YavAuthzOpenEntry* findOpen(const std::string& branch, const std::string& object) const;
    bool isMember(const std::string& group, const std::string& user) const;

    // The configuration the plug-in asks for.  Valid after a successful
    // load, while the policy lives.
    const YavConfigAnswerData& configData() const { return m_config; }

    std::string realm = "Tessaro";
    std::string userHeader = "X-Tessaro-User";
    bool cacheEnabled = true;
    int cachePollInterval = 60;
    std::vector<YavAuthzVHost> vhosts;
    std::vector<YavAuthzOpenEntry> open;
    std::vector<YavAuthzAcl> acls;
    std::vector<YavAuthzUser> users;
    std::vector<YavAuthzGroup> groups;
    std::vector<YavAuthzNamedInt> postSizes;
    std::vector<YavAuthzNamedInt> configFlags;
    // Branch names that have an [open] stanza, in file order.
    std::vector<std::string> openBranches;

  private:
    class Loader;
    void buildConfigData();
    // The key of an open entry in m_openIndex: branch, a zero byte, object.
    static std::string openKey(const std::string& branch, const std::string& object);

    // Where each open entry and access list is in its vector, so that a
    // question walking up a path costs one hash probe per level however
    // long the policy is.  A name listed twice keeps its first position
    // (the first entry is the one that counts).
    std::unordered_map<std::string, size_t> m_openIndex;
    std::unordered_map<std::string, size_t> m_aclIndex;

    YavConfigAnswerData m_config;
    std::vector<YavConfigNameInt> m_postURIs;
    std::vector<YavConfigNameInt> m_flags;
    std::vector<YavConfigVHost> m_vhosts;
    std::vector<std::vector<YavConfigMethodPerms>> m_methodPerms;
};

// True when text is a well-formed action set (every "[" closed by a "]").
bool yav_authz_valid_action_set(const std::string& text);

#endif  // AUTHZD_YAVAUTHZPOLICY_H
