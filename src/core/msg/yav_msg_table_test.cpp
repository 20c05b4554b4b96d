#include "core/msg/yav_msg_table.h"

#include <gtest/gtest.h>

#include <set>

#include "core/msg/yav_status.h"

TEST(YavMsgTableTest, BuiltInTablesAreSortedAndCoverEveryCodeOnce) {
    std::set<uint32_t> seen;
    ASSERT_GT(yav_builtin_msg_table_count, 0u);
    for (unsigned t = 0; t < yav_builtin_msg_table_count; ++t) {
        const yav_msg_table& table = yav_builtin_msg_tables[t];
        ASSERT_GT(table.count, 0u);
        for (unsigned i = 0; i < table.count; ++i) {
            if (i > 0) {
                ASSERT_LT(table.entries[i - 1].code, table.entries[i].code);
            }
            // A table holds one component: the code's bits 12-31 agree.
            EXPECT_EQ(table.entries[i].code >> 12, table.entries[0].code >> 12);
            EXPECT_TRUE(seen.insert(table.entries[i].code).second);
            EXPECT_EQ(kr_msg_get_default_msg(table.entries[i].code), table.entries[i].text);
        }
    }
    const uint32_t unknowns[] = {0U, YAV_S_NOT_SUPPORTED - 1, YAV_S_NO_MEMORY - 1, 0xffffffffU};
    for (uint32_t unknown : unknowns) {
        EXPECT_EQ(kr_msg_get_default_msg(unknown), nullptr) << std::hex << unknown;
    }
}

TEST(YavMsgTableTest, ConstantsOfEachComponentLookUpTheirTexts) {
    EXPECT_STREQ(kr_msg_get_default_msg(YAV_S_NOT_SUPPORTED),
                 "QRXIC0001E   The requested functionality is not currently supported.");
    EXPECT_STREQ(kr_msg_get_default_msg(YAV_S_WORKER_RESET),
                 "QRXIC0543W   The worker thread has been reset.");
    EXPECT_STREQ(kr_msg_get_default_msg(YAV_N_SHMEM_ALLOCATOR), "plugin.if.disp.shmem-allocator");
    EXPECT_STREQ(kr_msg_get_default_msg(YAV_T_PROXY_IF), "tessaro.proxy-if");
    EXPECT_STREQ(kr_msg_get_default_msg(YAV_PCO_S_STANZA_ACCESS),
                 "QRXCO0234E   The stanza %s in the %s configuration file could not be accessed.");
    EXPECT_STREQ(kr_msg_get_default_msg(YAV_SVC_S_BAD_ROUTE),
                 "The routing specification is not valid.");
    // The named tables are the components' tables.
    EXPECT_EQ(yav_krpic_msg_table[0].code, YAV_S_NOT_SUPPORTED);
    EXPECT_EQ(yav_krpco_msg_table[yav_krpco_msg_count - 1].code, YAV_PCO_T_CONFIG);
    EXPECT_EQ(yav_dcebas_msg_table[0].code, YAV_SVC_S_NO_MEMORY);
}

TEST(YavMsgTableTest, DefinedTablesAreSearchedAfterTheBuiltInOnes) {
    // Codes of a component no built-in table has: the plug-in's first code
    // moved to technology 2.
    const uint32_t base = (YAV_S_NOT_SUPPORTED & 0x0fffffffU) | (2U << 28);
    static const yav_msg_entry table[] = {{base, "first"}, {base + 7, "second"}};
    ASSERT_EQ(kr_msg_get_default_msg(base), nullptr);

    uint32_t status = 1;
    kr_msg_define_msg_table(table, 2, &status);
    EXPECT_EQ(status, YAV_S_OK);
    EXPECT_STREQ(kr_msg_get_default_msg(base), "first");
    EXPECT_STREQ(kr_msg_get_default_msg(base + 7), "second");
    EXPECT_EQ(kr_msg_get_default_msg(base + 1), nullptr);

    // Defining it again, or a built-in table, changes nothing; a defined
    // text never shadows a built-in one.
    kr_msg_define_msg_table(table, 2, &status);
    EXPECT_EQ(status, YAV_S_OK);
    kr_msg_define_msg_table(yav_krpic_msg_table, yav_krpic_msg_count, &status);
    EXPECT_EQ(status, YAV_S_OK);

    static const yav_msg_entry shadow[] = {{YAV_S_NO_MEMORY, "shadow"}};
    kr_msg_define_msg_table(shadow, 1, &status);
    EXPECT_EQ(status, YAV_S_OK);
    EXPECT_STREQ(kr_msg_get_default_msg(YAV_S_NO_MEMORY),
                 "QRXIC0012E   Memory could not be allocated.");
}

TEST(YavMsgTableTest, RejectsEmptyAndUnsortedTables) {
    const uint32_t base = (YAV_S_NOT_SUPPORTED & 0x0fffffffU) | (2U << 28);
    static const yav_msg_entry unsorted[] = {{base + 0x101, "b"}, {base + 0x100, "a"}};
    static const yav_msg_entry repeated[] = {{base + 0x200, "a"}, {base + 0x200, "b"}};
    struct Case {
        const yav_msg_entry* table;
        unsigned count;
    };
    for (const Case& c :
         {Case{nullptr, 3}, Case{unsorted, 0}, Case{unsorted, 2}, Case{repeated, 2}}) {
        uint32_t status = 0;
        kr_msg_define_msg_table(c.table, c.count, &status);
        EXPECT_EQ(status, YAV_S_INVALID_PARAMETER);
    }
    EXPECT_EQ(kr_msg_get_default_msg(base + 0x100), nullptr);
    EXPECT_EQ(kr_msg_get_default_msg(base + 0x200), nullptr);
}
