#include "config_mgr/YavConfigMgr.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "config_mgr/yav_config_test_aids.h"
#include "core/msg/yav_status.h"

namespace {

using config_test::ConfigTest;
typedef std::vector<std::string> Strings;
// (name, value) with "<null>" for a null value.
typedef std::vector<std::pair<std::string, std::string>> Pairs;

const char kFile[] =
    "[values]\n"
    "v = a, b\n"
    "v = c\n"
    "[s]\n"
    "x = 1\n"
    "x = 1\n"
    "y =\n"
    "list = p, q\n"
    "[s:q]\n"
    "x = 2\n"
    "[s:empty]\n"
    "[u]\n"
    "name = plain\n"
    "[u:q]\n"
    "name = qualified\n";

class YavConfigMgrTest : public ConfigTest {
  protected:
    void SetUp() override {
        ConfigTest::SetUp();
        m_path = writeFile("tessaro.conf", kFile);
        ASSERT_EQ(0u, m_mgr.initialize(m_path.c_str()));
    }

    // loadEntry through one of the tables; the values, or {"<failed>"}.
    Strings entry(const yav_config_common_interface_s& table, const char* stanza,
                  const char* qualifier, const char* name, int optional = 0) {
        char** values = nullptr;
        if (table.loadEntry(&m_mgr, stanza, qualifier, name, &values, optional) != 1) {
            EXPECT_EQ(nullptr, values);
            return {"<failed>"};
        }
        Strings out;
        for (char** v = values; *v != nullptr; ++v) out.push_back(*v);
        table.releaseEntryData(values);
        return out;
    }

    Pairs stanza(const yav_config_common_interface_s& table, const char* name,
                 const char* qualifier) {
        krw_config_entry_s* entries = nullptr;
        if (table.loadStanza(&m_mgr, name, qualifier, &entries) != 1) return {{"<failed>", ""}};
        Pairs out;
        for (krw_config_entry_s* e = entries; e->name != nullptr; ++e) {
            out.emplace_back(e->name, e->value != nullptr ? e->value : "<null>");
        }
        table.releaseStanzaData(entries);
        return out;
    }

    static const yav_config_common_interface_s& commas() {
        return YavConfigMgr::yav_common_interface;
    }
    static const yav_config_common_interface_s& noCommas() {
        return YavConfigMgr::yav_common_interface_ignore_commas;
    }

    std::string m_path;
    YavConfigMgr m_mgr;
};

TEST_F(YavConfigMgrTest, LoadEntrySplitsUnlessCommasAreIgnored) {
    EXPECT_EQ((Strings{"a", "b", "c"}), entry(commas(), "values", nullptr, "v"));
    EXPECT_EQ((Strings{"a, b", "c"}), entry(noCommas(), "values", nullptr, "v"));
    // An entry present without a value is found and has no item.
    EXPECT_EQ(Strings{}, entry(commas(), "s", nullptr, "y"));
    EXPECT_EQ(Strings{""}, entry(noCommas(), "s", nullptr, "y"));
    // The qualifier reaches the schema (whose rules YavConfigEntriesSchema_test walks).
    EXPECT_EQ(Strings{"qualified"}, entry(commas(), "u", "q", "name"));
    EXPECT_EQ(Strings{"plain"}, entry(commas(), "u", "r", "name"));
}

TEST_F(YavConfigMgrTest, MissingMandatoryEntryIsLogged) {
    EXPECT_EQ(Strings{"<failed>"}, entry(commas(), "s", nullptr, "nope", 1));
    EXPECT_TRUE(logged(YAV_S_CFG_ENTRY_REQUIRED).empty());
    EXPECT_EQ(Strings{"<failed>"}, entry(commas(), "s", nullptr, "nope", 0));
    auto messages = logged(YAV_S_CFG_ENTRY_REQUIRED);
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(static_cast<uint32_t>(svc_c_sev_error), messages[0].severity);
    EXPECT_NE(std::string::npos,
              messages[0].text.find("The s stanza of " + m_path +
                                    " requires specification of the nope configuration parameter."))
        << messages[0].text;
}

TEST_F(YavConfigMgrTest, LoadStanzaSplitsStoredValuesWhenObservingCommas) {
    EXPECT_EQ((Pairs{{"x", "1"}, {"x", "1"}, {"list", "p"}, {"list", "q"}}),
              stanza(commas(), "s", nullptr));
    EXPECT_EQ((Pairs{{"x", "1, 1"}, {"y", "<null>"}, {"list", "p, q"}}),
              stanza(noCommas(), "s", nullptr));
    EXPECT_EQ(Pairs{}, stanza(commas(), "absent", nullptr));
    EXPECT_EQ(Pairs{}, stanza(noCommas(), "absent", "q"));
    // The qualifier reaches the schema (whose rules YavConfigStanzaSchemaT_test walks).
    EXPECT_EQ((Pairs{{"x", "2"}}), stanza(noCommas(), "s", "q"));
}

TEST_F(YavConfigMgrTest, EveryLoadRegistersOneSchema) {
    EXPECT_EQ(0u, m_mgr.schemaCount());
    entry(commas(), "values", nullptr, "v");
    stanza(commas(), "s", nullptr);
    entry(noCommas(), "values", nullptr, "v");
    EXPECT_EQ(3u, m_mgr.schemaCount());
    YavConfigSchema* schema = nullptr;
    ASSERT_EQ(0u, m_mgr.findSchema(1, &schema));
    ASSERT_NE(nullptr, dynamic_cast<YavConfigStanzaSchemaT<YavString>*>(schema));
    EXPECT_EQ(m_mgr.getStanzaFile(), schema->getStanzaFile());
    EXPECT_EQ(YAV_S_NOT_AVAILABLE, m_mgr.findSchema(3, &schema));
    EXPECT_EQ(YAV_S_NOT_AVAILABLE, m_mgr.findSchema(-1, &schema));
    EXPECT_EQ(0u, m_mgr.shutdown());
    EXPECT_EQ(0u, m_mgr.schemaCount());
    EXPECT_EQ(nullptr, m_mgr.getStanzaFile());
}

TEST_F(YavConfigMgrTest, RegistrationHandsOutIdsInOrder) {
    auto* entries = new YavConfigEntriesSchema("e");
    auto* plain = new YavConfigStanzaSchemaT<YavString>("s");
    auto* local = new YavConfigStanzaSchemaT<YavLCPString>("s");
    int ids[3] = {-1, -1, -1};
    ASSERT_EQ(0u, m_mgr.registerSchema(entries, &ids[0], false));
    ASSERT_EQ(0u, m_mgr.registerSchema(plain, &ids[1], true));
    ASSERT_EQ(0u, m_mgr.registerSchema(local, &ids[2], false));
    EXPECT_EQ((std::vector<int>{0, 1, 2}), std::vector<int>(ids, ids + 3));
    YavConfigSchema* found = nullptr;
    ASSERT_EQ(0u, m_mgr.findSchema(2, &found));
    EXPECT_EQ(local, found);
    EXPECT_EQ(YAV_S_NOT_AVAILABLE, entries->getValidateStatus());
    EXPECT_EQ(0u, plain->getValidateStatus());
    EXPECT_EQ(YAV_S_CFG_INVALID_SCHEMA,
              m_mgr.registerSchema(static_cast<YavConfigEntriesSchema*>(nullptr), nullptr, false));
    EXPECT_EQ(YAV_S_ALREADY_INITIALIZED, m_mgr.initialize(m_path.c_str()));
}

TEST_F(YavConfigMgrTest, FileIsReadOnceAndNotHeldAfterwards) {
    // No lock is held: an updater gets the file at once.
    yav_status_t status = 1;
    yavStanzaFile* writer =
        yavStzFileOpen(m_path.c_str(), YAV_STZ_UPDATE | YAV_STZ_NOWAIT, &status);
    ASSERT_NE(nullptr, writer) << status;
    yavStzFileClose(writer);
    EXPECT_EQ(nullptr, m_mgr.getStanzaFile()->fp);
    // Later changes to the file are not seen.
    writeFile("tessaro.conf", "[values]\nv = changed\n");
    EXPECT_EQ((Strings{"a", "b", "c"}), entry(commas(), "values", nullptr, "v"));
}

TEST_F(YavConfigMgrTest, FileThatCannotBeOpenedLeavesNothingToFind) {
    YavConfigMgr mgr;
    std::string missing = path("missing.conf");
    EXPECT_EQ(YAV_S_STZ_OPEN_FAILED, mgr.initialize(missing.c_str()));
    EXPECT_EQ(nullptr, mgr.getStanzaFile());
    EXPECT_STREQ(missing.c_str(), mgr.getLCPPath().getData());
    char** values = nullptr;
    EXPECT_EQ(0, YavConfigMgr::loadEntryObserveCommas(&mgr, "s", nullptr, "x", &values, 0));
    EXPECT_EQ(1u, logged(YAV_S_CFG_ENTRY_REQUIRED).size());
    krw_config_entry_s* entries = nullptr;
    ASSERT_EQ(1, YavConfigMgr::loadStanzaIgnoreCommas(&mgr, "s", nullptr, &entries));
    EXPECT_EQ(nullptr, entries[0].name);
    EXPECT_EQ(nullptr, entries[0].value);
    YavConfigMgr::releaseStanzaData(entries);
}

// The dump, with the time line (the second) removed.
std::string withoutTime(const std::string& text) {
    size_t first = text.find('\n');
    size_t second = text.find('\n', first + 1);
    if (first == std::string::npos || second == std::string::npos) return text;
    return text.substr(0, first + 1) + text.substr(second + 1);
}

TEST_F(YavConfigMgrTest, DumpWritesEachDistinctSchemaOnce) {
    entry(commas(), "values", nullptr, "v");
    entry(commas(), "u", "q", "name");
    entry(noCommas(), "values", nullptr, "v");  // matches the first one
    stanza(commas(), "s", "q");
    stanza(noCommas(), "s", "q");  // matches the one before
    auto* named =
        new YavConfigEntriesSchema("a-name-longer-than-sixty-one-characters-for-the-header-fill-x");
    ASSERT_EQ(0u, m_mgr.registerSchema(named, nullptr, false));

    std::string text = capture([&](FILE* f) { EXPECT_EQ(0u, m_mgr.dump(f)); });
    const std::string stars(76, '*');
    const std::string expected =
        stars + "\n" + stars + "\n\n" + "\n---- Schema: v " + std::string(60, '-') + "\n" +
        "\n[values]\n"
        "v                         = a, b,c                   \n" +
        "\n---- Schema: name " + std::string(57, '-') + "\n" +
        "\n[u:q]\n"
        "name                      = qualified                \n" +
        "\n---- Schema: s " + std::string(60, '-') + "\n" +
        "\n[s:q]\n"
        "x                         = 2                        \n" +
        "\n---- Schema: a-name-longer-than-sixty-one-characters-for-the-header-fill-x \n" + "\n" +
        stars + "\n\n";
    EXPECT_EQ(expected, withoutTime(text));
    // The time line is what ctime writes: "Www Mmm dd hh:mm:ss yyyy".
    size_t first = text.find('\n');
    std::string when = text.substr(first + 1, text.find('\n', first + 1) - first - 1);
    EXPECT_EQ(24u, when.size()) << when;
}

}  // namespace
