// YavPluginVirtualHostKey: the search key of the virtual-host list
// (YavSearchableList::find).  Two modes:
//   match mode (a request's look-up): finds the first host whose ID equals
//     the key's and that serves the request's protocol (https when secure,
//     else http);
//   exact-ID mode: finds the first host whose ID equals the key's, whatever
//     its protocols.
// IDs are compared case-sensitively, byte by byte, by default.
//
// Memory: the key points at the caller's ID reference and does not own it;
// the reference and its text must outlive every search made with the key.
//
// Threads: a key is used by one thread at a time.  Copyable.
#ifndef YAV_PLUGIN_CORE_YAVPLUGINVIRTUALHOSTKEY_H
#define YAV_PLUGIN_CORE_YAVPLUGINVIRTUALHOSTKEY_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "core/system/yav_assert.h"
#include "plugin/core/YavPluginVirtualHost.h"

class YAV_EXPORT YavPluginVirtualHostKey {
  public:
    YavPluginVirtualHostKey() : m_id(nullptr), m_match(false), m_secure(false) {}

    // Match mode.  Returns 0.
    yav_status_t initialize(const YavStringRef& id, bool secure);
    // Exact-ID mode.  Returns 0.
    yav_status_t initialize(const YavStringRef& id);

    // A three-way result; 0 means that host is the one sought.
    // Exact-ID mode: the key's ID against the host's: 0 for the same text
    // and length, else the key's comparator over the shorter length, and
    // when that finds no difference the shorter ID is the lesser.
    // Match mode: 0 when host.match(id, secure); else the order of the IDs
    // as above, and for equal IDs (wrong protocol) 1 for a secure key and -1
    // otherwise.
    // REQUIRES: initialize was called.
    int compare(const YavPluginVirtualHost& host) const {
        YAV_ASSERT(m_id != nullptr);
        const YavString& hostID = host.getID();
        if (m_match && hostID.getComparator() != m_id->getComparator()) {
            return compareWithMatch(host);
        }
        // With one comparator for both sides, IDs that order as equal are
        // exactly IDs that match, so a single comparison decides; only the
        // protocol remains to be checked.
        int order = compareIDs(hostID);
        if (order != 0 || !m_match) return order;
        if ((host.getFlags() & (m_secure ? yav_vhost_secure : yav_vhost_unsecure)) != 0) return 0;
        return m_secure ? 1 : -1;
    }

    const YavStringRef* getID() const { return m_id; }
    bool isMatchMode() const { return m_match; }
    bool isSecure() const { return m_secure; }

  private:
    int compareIDs(const YavString& hostID) const {
        int keyLength = m_id->getLength();
        int hostLength = hostID.getLength();
        if (m_id->getData() == hostID.getData() && keyLength == hostLength) return 0;
        int common = keyLength < hostLength ? keyLength : hostLength;
        int c = m_id->getComparator()->compare(m_id->getData(), hostID.getData(),
                                               static_cast<size_t>(common));
        if (c != 0) return c;
        return keyLength < hostLength ? -1 : (keyLength > hostLength ? 1 : 0);
    }
    // Match mode when the host's ID has another comparator than the key's:
    // the host's own match decides, the key's comparator orders.
    int compareWithMatch(const YavPluginVirtualHost& host) const;

    const YavStringRef* m_id;
    bool m_match;
    bool m_secure;
};

#endif  // YAV_PLUGIN_CORE_YAVPLUGINVIRTUALHOSTKEY_H
