// The procedural view of the configuration: name/value pairs as plain heap
// arrays, and the table of four functions through which components that do
// not describe a schema read single entries or whole stanzas (the tables
// themselves are YavConfigMgr::yav_common_interface and
// YavConfigMgr::yav_common_interface_ignore_commas).
//
// Every string of an array is a separate malloc'ed block owned by the
// array; the caller gives an array back with the matching release function.
#ifndef YAV_CONFIG_MGR_KRW_CONFIG_ENTRY_H
#define YAV_CONFIG_MGR_KRW_CONFIG_ENTRY_H

// One entry; an array ends with a pair whose two pointers are null.  value
// is null for an entry without a value.
struct krw_config_entry_s {
    char* name;
    char* value;
};

// The load functions return 1 for success and 0 for failure; their first
// argument is the YavConfigMgr.  loadEntry's last argument is `optional`
// (0: a missing entry is logged).  qualifier may be null.
struct yav_config_common_interface_s {
    int (*loadEntry)(void* mgr, const char* stanza, const char* qualifier, const char* entry,
                     char*** values, int optional);
    void (*releaseEntryData)(char** values);
    int (*loadStanza)(void* mgr, const char* stanza, const char* qualifier,
                      krw_config_entry_s** entries);
    void (*releaseStanzaData)(krw_config_entry_s* entries);
};

#endif  // YAV_CONFIG_MGR_KRW_CONFIG_ENTRY_H
