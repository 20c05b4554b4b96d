// Test aids of the configuration exchange: wire values and element chains
// encoded by hand (independently of the message classes), so that tests
// state expected bytes and build answers -- also broken ones -- byte by
// byte; and one-line views of the tables and the host list.  Test code
// only.
#ifndef YAV_MSG_PLUGIN_YAV_CONFIG_TEST_AIDS_H
#define YAV_MSG_PLUGIN_YAV_CONFIG_TEST_AIDS_H

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/hash/YavProtectedHashTable.h"
#include "msg/plugin/yav_wire_test_aids.h"
#include "plugin/core/YavPluginVirtualHostList.h"

typedef std::vector<unsigned char> YavCfgBytes;
typedef std::vector<YavCfgBytes> YavCfgElements;

// Native 32-bit words, then strings as length (characters + 1), the
// characters, a zero byte and zero padding to a multiple of 4.
inline YavCfgBytes yav_cfg_u32(uint32_t v) { return YavWireValue().u32(v).bytes(); }
inline YavCfgBytes yav_cfg_int(int32_t v) { return yav_cfg_u32(static_cast<uint32_t>(v)); }
inline YavCfgBytes yav_cfg_str(const std::string& s) { return YavWireValue().str(s).bytes(); }
inline YavCfgBytes yav_cfg_cat(const YavCfgElements& parts) {
    YavCfgBytes out;
    for (const YavCfgBytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// An element chain written at offset start of a segment: per element its
// length, the offset of the next header (0xFFFFFFFF after the last), the
// data and zero padding.  The bytes from start on.
inline YavCfgBytes yav_cfg_chain(const YavCfgElements& elements, uint32_t start = 0) {
    YavCfgBytes out;
    for (size_t i = 0; i < elements.size(); ++i) {
        uint32_t len = static_cast<uint32_t>(elements[i].size());
        uint32_t end = start + static_cast<uint32_t>(out.size()) + 8 + (len + 3) / 4 * 4;
        YavCfgBytes header =
            yav_cfg_cat({yav_cfg_u32(len), yav_cfg_u32(i + 1 == elements.size() ? ~0u : end)});
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), elements[i].begin(), elements[i].end());
        out.resize(end - start, 0);
    }
    return out;
}

template <class Value>
std::map<std::string, Value> yav_cfg_contents(YavProtectedHashTable<YavString, Value>& table) {
    typedef YavProtectedHashTable<YavString, Value> Table;
    std::map<std::string, Value> out;
    typename Table::Lock lock(table, Table::yav_lock_read);
    for (auto it = lock.table().begin(); !it.isEnd(); ++it) {
        out[std::string(it.key()->getData(), it.key()->getLength())] = *it.value();
    }
    return out;
}

// "[name]actions" per group; "-" for no list.
inline std::string yav_cfg_groups(const YavActionGroupList* list) {
    if (list == nullptr) return "-";
    std::string out;
    for (const YavActionGroup* g : *list) {
        out += "[" + std::string(g->getName()->getData()) + "]" +
               (g->getActions() != nullptr ? g->getActions()->getData() : "");
    }
    return out;
}

// Per host "id branch flags default GET POST PUT" (the lists each method
// gets), under the list's read lock.
inline std::vector<std::string> yav_cfg_hosts(YavPluginVirtualHostList& list) {
    std::vector<std::string> out;
    if (list.readLock() != 0) return {"<lock failed>"};
    for (const YavPluginVirtualHost* h : list) {
        std::string d = std::string(h->getID().getData()) + " " + h->getBranch().getData() + " " +
                        std::to_string(h->getFlags());
        const YavPermMap* map = h->getPermMap();
        d += " " + (map != nullptr ? yav_cfg_groups(map->getDefaultPerms()) : "<no map>");
        for (const char* m : {"GET", "POST", "PUT"}) {
            d += " " + (map != nullptr ? yav_cfg_groups(map->getPerms(YavStringRef(m))) : "");
        }
        out.push_back(d);
    }
    list.unlock();
    return out;
}

#endif  // YAV_MSG_PLUGIN_YAV_CONFIG_TEST_AIDS_H
