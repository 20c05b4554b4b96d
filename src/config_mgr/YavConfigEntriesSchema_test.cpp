#include "config_mgr/YavConfigEntriesSchema.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config_mgr/YavConfigBoolean.h"
#include "config_mgr/YavConfigInt.h"
#include "config_mgr/YavConfigMVString.h"
#include "config_mgr/YavConfigMgr.h"
#include "config_mgr/YavConfigString.h"
#include "config_mgr/yav_config_test_aids.h"
#include "core/msg/yav_status.h"

namespace {

using config_test::ConfigTest;

const char kFile[] =
    "[s]\n"
    "name = plain-name\n"
    "flag = yes\n"
    "count = 0x10\n"
    "count = 2\n"
    "list = a, b\n"
    "list = c\n"
    "plainlist = p1,p2\n"
    "empty =\n"
    "bad = 12a\n"
    "[s:q]\n"
    "name = qualified-name\n"
    "list = q1\n"
    "list = q2\n"
    "[other]\n"
    "x = 1\n";

struct Described {
    const char* stanza;
    const char* name;
    bool qualify;
    const char* defaultValue;
};

class YavConfigEntriesSchemaTest : public ConfigTest {
  protected:
    void SetUp() override {
        ConfigTest::SetUp();
        m_path = writeFile("test.conf", kFile);
        ASSERT_EQ(0u, m_mgr.initialize(m_path.c_str()));
    }

    // A schema over the described entries, registered with the manager
    // (which owns it).
    YavConfigEntriesSchema* make(const std::vector<Described>& entries, const char* qualifier,
                                 bool validate = false, const char* name = "test") {
        YavConfigEntriesSchema* schema = new YavConfigEntriesSchema(name);
        EXPECT_TRUE(schema->ok());
        if (qualifier != nullptr) {
            EXPECT_EQ(0u, schema->setQualifier(qualifier));
        }
        for (const Described& d : entries) {
            YavConfigSchemaEntry* entry = new YavConfigSchemaEntry();
            EXPECT_EQ(0u, entry->set(d.stanza, d.name, d.qualify, d.defaultValue));
            EXPECT_EQ(0u, schema->addEntry(entry));
        }
        int id = -1;
        EXPECT_EQ(0u, m_mgr.registerSchema(schema, &id, validate));
        return schema;
    }

    static std::vector<std::string> items(YavConfigMVString& value) {
        std::vector<std::string> out;
        YavStringRef item;
        value.resetIterator();
        while (value.next(&item)) out.emplace_back(item.getData(), item.getLength());
        return out;
    }

    std::string m_path;
    YavConfigMgr m_mgr;
};

TEST_F(YavConfigEntriesSchemaTest, QualifiedStanzaOverridesThePlainOneEntryByEntry) {
    YavConfigEntriesSchema* schema = make({{"s", "name", true, nullptr},
                                           {"s", "list", true, nullptr},
                                           {"s", "plainlist", true, nullptr},
                                           {"s", "flag", true, nullptr}},
                                          "q");
    YavConfigString name;
    YavConfigMVString list;
    YavConfigMVString plainList;
    YavConfigBoolean flag;
    YavConfigData* values[] = {&name, &list, &plainList, &flag};
    ASSERT_EQ(0u, schema->loadData(values, -1));
    EXPECT_STREQ("qualified-name", name.getValue().getData());
    // Only the qualified stanza's values: the two stanzas are never merged.
    EXPECT_EQ((std::vector<std::string>{"q1", "q2"}), items(list));
    EXPECT_EQ((std::vector<std::string>{"p1", "p2"}), items(plainList));
    EXPECT_TRUE(flag.getValue());
    EXPECT_FALSE(name.isFromDefault());
}

TEST_F(YavConfigEntriesSchemaTest, EntriesThatDoNotQualifyIgnoreTheQualifiedStanza) {
    YavConfigEntriesSchema* schema = make({{"s", "name", false, nullptr},
                                           {"s", "list", false, nullptr},
                                           {"s", "count", false, nullptr}},
                                          "q");
    YavConfigString name;
    YavConfigMVString list;
    YavConfigInt count;
    ASSERT_EQ(0u, schema->loadData(&name, 0));
    ASSERT_EQ(0u, schema->loadData(&list, 1));
    ASSERT_EQ(0u, schema->loadData(&count, 2));
    EXPECT_EQ(YAV_S_CFG_INVALID_SCHEMA, schema->loadData(&count, 3));  // outside the schema
    EXPECT_EQ(YAV_S_CFG_INVALID_SCHEMA, schema->loadData(&count, -1));
    YavConfigData* values[] = {&count};
    EXPECT_EQ(YAV_S_CFG_INVALID_SCHEMA, schema->loadData(values, 3));
    EXPECT_STREQ("plain-name", name.getValue().getData());
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), items(list));
    EXPECT_STREQ("a, b,c", list.getValue().getData());
    EXPECT_EQ(16, count.getValue());  // a single value takes the first occurrence
}

TEST_F(YavConfigEntriesSchemaTest, DefaultAppliesOnlyWhenTheEntryIsMissing) {
    YavConfigEntriesSchema* schema = make({{"s", "missing", true, "fallback"},
                                           {"s", "empty", false, "fallback"},
                                           {"s", "nodefault", false, nullptr},
                                           {"s", "missinglist", false, "d1, d2"}},
                                          "q");
    YavConfigString missing;
    YavConfigString empty;
    YavConfigString noDefault;
    YavConfigMVString missingList;
    YavConfigData* values[] = {&missing, &empty, &noDefault, &missingList};
    ASSERT_EQ(0u, schema->loadData(values, -1));
    EXPECT_STREQ("fallback", missing.getValue().getData());
    EXPECT_TRUE(missing.isFromDefault());
    EXPECT_TRUE(empty.isSet());
    EXPECT_STREQ("", empty.getValue().getData());
    EXPECT_FALSE(empty.isFromDefault());
    EXPECT_FALSE(noDefault.isSet());
    EXPECT_EQ((std::vector<std::string>{"d1", "d2"}), items(missingList));
    EXPECT_TRUE(missingList.isFromDefault());
}

TEST_F(YavConfigEntriesSchemaTest, InvalidValueIsLoggedAndNotReplacedByTheDefault) {
    YavConfigEntriesSchema* schema = make(
        {{"s", "flag", false, nullptr}, {"s", "bad", false, "3"}, {"s", "count", false, nullptr}},
        nullptr);
    YavConfigBoolean flag;
    YavConfigInt bad;
    YavConfigInt count;
    YavConfigData* values[] = {&flag, &bad, &count};
    EXPECT_EQ(YAV_S_CFG_INVALID_VALUE, schema->loadData(values, -1));
    EXPECT_TRUE(flag.isSet());
    EXPECT_FALSE(bad.isSet());
    EXPECT_EQ(0, bad.getValue());
    // The load stopped at the failure.
    EXPECT_FALSE(count.isSet());
    auto messages = logged(YAV_S_CFG_INVALID_VALUE_TEXT);
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(static_cast<uint32_t>(svc_c_sev_error), messages[0].severity);
    EXPECT_NE(std::string::npos,
              messages[0].text.find("In stanza [s] of " + m_path +
                                    ", the bad configuration parameter value '12a' is invalid."))
        << messages[0].text;

    // A bad item of a list fails the same way, naming the stanza it came from.
    YavConfigEntriesSchema* listSchema = make({{"s", "list", true, nullptr}}, "q");
    YavConfigBoolean notABoolean;
    EXPECT_EQ(YAV_S_CFG_INVALID_VALUE, listSchema->loadData(&notABoolean, 0));
    messages = logged(YAV_S_CFG_INVALID_VALUE_TEXT);
    ASSERT_EQ(2u, messages.size());
    EXPECT_NE(std::string::npos, messages[1].text.find("In stanza [s:q] of "));
    EXPECT_NE(std::string::npos, messages[1].text.find("value 'q1'"));
}

TEST_F(YavConfigEntriesSchemaTest, ValidationWarnsAboutEveryUndescribedEntry) {
    EXPECT_EQ(YAV_S_NOT_AVAILABLE,
              make({{"other", "x", false, nullptr}}, nullptr)->getValidateStatus());
    EXPECT_EQ(0u, make({{"other", "x", false, nullptr}}, nullptr, true)->getValidateStatus());
    EXPECT_TRUE(allLogged().empty());
    // [s:q] entries are recognised only by entries that qualify: "list"
    // does, "name" does not.
    YavConfigEntriesSchema* schema = make({{"s", "name", false, nullptr},
                                           {"s", "list", true, nullptr},
                                           {"s", "flag", false, nullptr},
                                           {"s", "count", false, nullptr},
                                           {"s", "empty", false, nullptr},
                                           {"s", "bad", false, nullptr}},
                                          "q", true);
    EXPECT_EQ(YAV_S_CFG_UNRECOGNIZED_ENTRY, schema->getValidateStatus());
    auto warnings = logged(YAV_S_CFG_UNRECOGNIZED_ENTRY_TEXT);
    ASSERT_EQ(2u, warnings.size());
    EXPECT_EQ(static_cast<uint32_t>(svc_c_sev_warning), warnings[0].severity);
    EXPECT_NE(std::string::npos,
              warnings[0].text.find("An unrecognized configuration entry, plainlist = p1,p2, "
                                    "was found in the s stanza of the " +
                                    m_path + " configuration file."))
        << warnings[0].text;
    EXPECT_NE(std::string::npos, warnings[1].text.find("entry, name = qualified-name, was found "
                                                       "in the s:q stanza"))
        << warnings[1].text;

    EXPECT_EQ(0u, schema->validateEntry(YavLCPStringRef("s"), YavLCPStringRef("list"), true));
    EXPECT_EQ(YAV_S_CFG_UNRECOGNIZED_ENTRY,
              schema->validateEntry(YavLCPStringRef("s"), YavLCPStringRef("name"), true));
    EXPECT_EQ(0u, schema->validateEntry(YavLCPStringRef("s"), YavLCPStringRef("name"), false));
}

TEST_F(YavConfigEntriesSchemaTest, DumpWritesEachHeadOnceWithTheOriginOfEveryValue) {
    YavConfigEntriesSchema* schema = make({{"s", "name", true, nullptr},
                                           {"s", "list", true, nullptr},
                                           {"s", "flag", true, nullptr},
                                           {"other", "x", false, nullptr},
                                           {"s", "count", false, nullptr},
                                           {"s", "missing", true, "dflt"},
                                           {"s", "nothing", false, nullptr}},
                                          "q");
    std::string text = capture([&](FILE* f) { EXPECT_EQ(0u, schema->dumpSchema(f)); });
    const std::string expected =
        "\n[s:q]\n"
        "name                      = qualified-name           \n"
        "list                      = q1,q2                    \n"
        "flag                      = yes                       # inherited from [s]\n"
        "missing                   = dflt                      # default\n"
        "\n[other]\n"
        "x                         = 1                        \n"
        "\n[s]\n"
        "count                     = 0x10,2                   \n"
        "nothing                   =                          \n";
    EXPECT_EQ(expected, text);
}

TEST_F(YavConfigEntriesSchemaTest, MatchesComparesQualifierAndEveryEntry) {
    YavConfigEntriesSchema* a = make({{"s", "x", true, "1"}, {"s", "y", false, nullptr}}, "q");
    YavConfigEntriesSchema* same = make({{"s", "x", true, "1"}, {"s", "y", false, nullptr}}, "q");
    YavConfigEntriesSchema* otherQualifier =
        make({{"s", "x", true, "1"}, {"s", "y", false, nullptr}}, "r");
    YavConfigEntriesSchema* otherSecond =
        make({{"s", "x", true, "1"}, {"s", "y", true, nullptr}}, "q");
    YavConfigEntriesSchema* shorter = make({{"s", "x", true, "1"}}, "q");
    EXPECT_TRUE(a->matches(same));
    EXPECT_FALSE(a->matches(otherQualifier));
    EXPECT_FALSE(a->matches(otherSecond));
    EXPECT_FALSE(a->matches(shorter));
    EXPECT_FALSE(shorter->matches(a));
}

// A file whose stream was closed under the handle fails every move: the
// walk of a list reports the stanza as inaccessible.
TEST_F(YavConfigEntriesSchemaTest, StanzaAccessFailureIsLoggedAndReturned) {
    yav_status_t status = 1;
    yavStanzaFile* file = yavStzFileOpen(m_path.c_str(), YAV_STZ_READ, &status);
    ASSERT_NE(nullptr, file);
    yav_zFileCloseDescriptor(file);
    YavConfigEntriesSchema schema("broken");
    YavConfigSchemaEntry* entry = new YavConfigSchemaEntry();
    ASSERT_EQ(0u, entry->set("s", "list", false));
    ASSERT_EQ(0u, schema.addEntry(entry));
    schema.setStanzaFile(file);
    YavConfigMVString list;
    EXPECT_EQ(YAV_S_STZ_NOT_OPEN, schema.loadData(&list, 0));
    EXPECT_FALSE(list.isSet());
    auto messages = logged(YAV_PCO_S_STANZA_ACCESS);
    ASSERT_EQ(1u, messages.size());
    EXPECT_NE(std::string::npos,
              messages[0].text.find("The stanza s in the " + m_path +
                                    " configuration file could not be accessed."))
        << messages[0].text;
    yavStzFileClose(file);
}

TEST_F(YavConfigEntriesSchemaTest, UnregisteredSchemaFindsOnlyDefaults) {
    YavConfigEntriesSchema schema("alone");
    YavConfigSchemaEntry* entry = new YavConfigSchemaEntry();
    ASSERT_EQ(0u, entry->set("s", "flag", false, "no"));
    ASSERT_EQ(0u, schema.addEntry(entry));
    YavConfigBoolean flag;
    ASSERT_EQ(0u, schema.loadData(&flag, 0));
    EXPECT_TRUE(flag.isFromDefault());
    EXPECT_FALSE(flag.getValue());
}

}  // namespace
