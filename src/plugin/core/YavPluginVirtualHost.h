// YavPluginVirtualHost: one virtual host of the web server as the plug-in
// knows it -- its ID, its flags (protocols, file-system conventions, whether
// the whole host is unprotected), the branch of the authorization server's
// object space that holds its resources, and its permission map.
//
// Memory: the host owns its two strings (whose heap blocks come from the
// allocator given at construction, null = process heap) and its permission
// map (made with `new (std::nothrow) YavPermMap`).  Hosts are made with
// `new (std::nothrow) YavPluginVirtualHost` and, once appended to a
// YavPluginVirtualHostList, belong to it.
//
// Threads: not locked.  A host is filled in before it is appended to the
// list and never changed afterwards; request threads read it under the
// list's read lock.  Not copyable.
#ifndef YAV_PLUGIN_CORE_YAVPLUGINVIRTUALHOST_H
#define YAV_PLUGIN_CORE_YAVPLUGINVIRTUALHOST_H

#include <cstdint>

#include "core/buffers/YavString.h"
#include "core/msg/yav_status.h"
#include "core/sundry/yav_base.h"
#include "plugin/core/YavPermMap.h"

// The bits of a virtual host's flags.
enum yav_vhost_flag_e : uint32_t {
    yav_vhost_case_insensitive = 1,  // resource names are case-insensitive
    yav_vhost_win32_filesystem = 2,  // resources live on a Windows file system
    yav_vhost_secure = 4,            // the host serves https
    yav_vhost_unsecure = 8,          // the host serves http
    yav_vhost_unprotected = 16,      // the whole host is unprotected
};

class YAV_EXPORT YavPluginVirtualHost {
  public:
    explicit YavPluginVirtualHost(YavAllocator* allocator = nullptr);
    // Shuts down and deletes the permission map; frees the strings.
    ~YavPluginVirtualHost();
    YAV_DISALLOW_COPY(YavPluginVirtualHost);

    // The ID and the branch; each setter returns 0, or YAV_S_NO_MEMORY
    // leaving the old text.
    const YavString& getID() const { return m_id; }
    yav_status_t setID(const YavStringRef& id) { return m_id.set(id) ? 0 : YAV_S_NO_MEMORY; }
    const YavString& getBranch() const { return m_branch; }
    yav_status_t setBranch(const YavStringRef& branch) {
        return m_branch.set(branch) ? 0 : YAV_S_NO_MEMORY;
    }

    uint32_t getFlags() const { return m_flags; }
    void setFlags(uint32_t flags) { m_flags = flags; }
    void addFlags(uint32_t flags) { m_flags |= flags; }
    bool isCaseInsensitive() const { return (m_flags & yav_vhost_case_insensitive) != 0; }
    bool isWin32Filesystem() const { return (m_flags & yav_vhost_win32_filesystem) != 0; }
    bool isSecure() const { return (m_flags & yav_vhost_secure) != 0; }
    bool isUnsecure() const { return (m_flags & yav_vhost_unsecure) != 0; }
    bool isUnprotected() const { return (m_flags & yav_vhost_unprotected) != 0; }

    // Null until a map is set.
    YavPermMap* getPermMap() const { return m_permMap; }
    // Shuts down and deletes the previous map, then takes ownership of
    // permMap (may be null).  Returns 0.
    yav_status_t setPermMap(YavPermMap* permMap);

    // True when the host serves the protocol (https when secure, else http)
    // and its ID equals id (equal lengths, the ID's comparator finds no
    // difference: case-sensitive by default).
    bool match(const YavStringRef& id, bool secure) const;

  private:
    YavString m_id;
    uint32_t m_flags;
    YavString m_branch;
    YavPermMap* m_permMap;
};

#endif  // YAV_PLUGIN_CORE_YAVPLUGINVIRTUALHOST_H
