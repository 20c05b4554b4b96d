// The default message tables: the English text of every message code,
// compiled into the library as one table per component, each sorted by
// code.  The build generates the built-in tables from yav_messages.tbl
// (krpic: the plug-in, codes 0x35f02...; krpco: the configuration programs;
// dcebas: the serviceability layer); further tables can be defined at run
// time with kr_msg_define_msg_table.
//
// Tables are immutable and never released: a defined table is referred to,
// not copied, so its owner keeps it for the life of the process.  Any thread
// may look texts up at any time (also from static initializers: the built-in
// tables are constant-initialized); definitions are serialized internally.
#ifndef YAV_CORE_MSG_YAV_MSG_TABLE_H
#define YAV_CORE_MSG_YAV_MSG_TABLE_H

#include "core/sundry/yav_base.h"

struct yav_msg_entry {
    uint32_t code;
    const char* text;  // UTF-8
};

struct yav_msg_table {
    const yav_msg_entry* entries;
    unsigned count;
};

// Built-in tables, generated; yav_builtin_msg_tables lists all of them.
extern const yav_msg_entry yav_krpic_msg_table[];
extern const unsigned yav_krpic_msg_count;
extern const yav_msg_entry yav_krpco_msg_table[];
extern const unsigned yav_krpco_msg_count;
extern const yav_msg_entry yav_dcebas_msg_table[];
extern const unsigned yav_dcebas_msg_count;
extern const yav_msg_table yav_builtin_msg_tables[];
extern const unsigned yav_builtin_msg_table_count;

// Most tables kr_msg_define_msg_table accepts besides the built-in ones.
constexpr unsigned YAV_MSG_MAX_DEFINED_TABLES = 32;

// Makes a table searchable by kr_msg_get_default_msg.  Defining a table
// that is already known (also a built-in one) changes nothing.  *status is
// 0; YAV_S_INVALID_PARAMETER for a null or empty table or one not sorted by
// strictly increasing code; YAV_SVC_S_NO_MEMORY when
// YAV_MSG_MAX_DEFINED_TABLES tables are defined already.
// REQUIRES: table lives as long as the process and does not change.
YAV_EXPORT void kr_msg_define_msg_table(const yav_msg_entry* table, unsigned count,
                                        uint32_t* status);

// The default text of code (UTF-8), or null when no table has the code.
// Built-in tables are searched first, then defined ones in definition order.
YAV_EXPORT const char* kr_msg_get_default_msg(uint32_t code);

#endif  // YAV_CORE_MSG_YAV_MSG_TABLE_H
