#include "config_mgr/YavConfigStanzaSchemaT.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "config_mgr/YavConfigMgr.h"
#include "config_mgr/yav_config_test_aids.h"
#include "core/msg/yav_status.h"

namespace {

using config_test::ConfigTest;
typedef YavConfigStanzaSchemaT<YavString> StanzaSchema;
typedef std::map<std::string, std::string> Table;
typedef std::vector<std::pair<std::string, std::string>> Pairs;

const char kFile[] =
    "[s]\n"
    "x = 1\n"
    "y =\n"
    "x = 1\n"
    "z = a, b\n"
    "[s:q]\n"
    "x = 2\n"
    "w = 9\n"
    "[s:empty]\n"
    "[t]\n"
    "k = v\n";

class YavConfigStanzaSchemaTest : public ConfigTest {
  protected:
    void SetUp() override {
        ConfigTest::SetUp();
        m_path = writeFile("stanza.conf", kFile);
        ASSERT_EQ(0u, m_mgr.initialize(m_path.c_str()));
    }

    template <class S = YavString>
    YavConfigStanzaSchemaT<S>* make(const char* stanza, const char* qualifier, bool inherit,
                                    const char* permitted = nullptr, bool validate = false) {
        auto* schema = new YavConfigStanzaSchemaT<S>(stanza, permitted);
        EXPECT_TRUE(schema->ok());
        if (qualifier != nullptr) {
            EXPECT_EQ(0u, schema->setQualifier(qualifier));
        }
        schema->setInherit(inherit);
        EXPECT_EQ(0u, m_mgr.registerSchema(schema, nullptr, validate));
        return schema;
    }

    template <class S>
    static Table load(YavConfigStanzaSchemaT<S>* schema,
                      typename YavConfigStanzaSchemaT<S>::FoundTable* found = nullptr) {
        typename YavConfigStanzaSchemaT<S>::ValueTable table(nullptr, true, true);
        EXPECT_EQ(0u, table.initialize(7));
        EXPECT_EQ(0u, schema->loadData(&table, found));
        Table out;
        for (auto it = table.begin(); !it.isEnd(); ++it) {
            EXPECT_EQ(0u, out.count(it.key()->getData())) << "name stored twice";
            out[it.key()->getData()] = it.value()->getData();
        }
        return out;
    }

    static Pairs pairs(StanzaSchema* schema) {
        yav_string_rule_list list(nullptr, true);
        EXPECT_EQ(0u, schema->loadData(&list));
        Pairs out;
        for (const yav_string_rule_pair* p : list)
            out.emplace_back(p->name.getData(), p->value.getData());
        return out;
    }

    std::string m_path;
    YavConfigMgr m_mgr;
};

TEST_F(YavConfigStanzaSchemaTest, LoadsThePlainOrQualifiedStanzaAndInherits) {
    // Repeated names accumulate in file order; a qualified stanza with
    // entries hides the plain one, unless it inherits the names it lacks.
    const Table plain{{"x", "1, 1"}, {"y", ""}, {"z", "a, b"}};
    const Table inherited{{"x", "2"}, {"w", "9"}, {"y", ""}, {"z", "a, b"}};
    const struct {
        const char* stanza;
        const char* qualifier;
        bool inherit;
        Table expected;
    } cases[] = {
        {"s", nullptr, false, plain},   {"t", nullptr, false, {{"k", "v"}}},
        {"absent", nullptr, false, {}}, {"s", "q", true, inherited},
        {"s", "empty", false, plain},   {"s", "absent", false, plain},
        {"s", "empty", true, plain},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, load(make(c.stanza, c.qualifier, c.inherit)))
            << c.stanza << ":" << (c.qualifier ? c.qualifier : "") << " " << c.inherit;
    }
    EXPECT_EQ(inherited, load(make<YavLCPString>("s", "q", true)));

    StanzaSchema::FoundTable found(nullptr, true, false);
    ASSERT_EQ(0u, found.initialize(7));
    EXPECT_EQ((Table{{"x", "2"}, {"w", "9"}}), load(make("s", "q", false), &found));
    EXPECT_EQ(2u, found.count());
    EXPECT_TRUE(found.contains(YavStringRef("x")));
    EXPECT_TRUE(found.contains(YavStringRef("w")));
}

TEST_F(YavConfigStanzaSchemaTest, RulePairsKeepEveryEntryInFileOrder) {
    EXPECT_EQ((Pairs{{"x", "1"}, {"y", ""}, {"x", "1"}, {"z", "a, b"}}),
              pairs(make("s", nullptr, false)));
    EXPECT_EQ((Pairs{{"x", "2"}, {"w", "9"}}), pairs(make("s", "q", false)));
    EXPECT_EQ((Pairs{{"x", "2"}, {"w", "9"}, {"y", ""}, {"z", "a, b"}}),
              pairs(make("s", "q", true)));

    yav_string_rule_list list(nullptr, true);
    ASSERT_EQ(0u, make("s", nullptr, false)->loadData(&list));
    yav_string_rule_pair* z = list.findValue(yav_string_rule_key(YavStringRef("z")));
    ASSERT_NE(nullptr, z);
    EXPECT_STREQ("a, b", z->value.getData());
    EXPECT_EQ(nullptr, list.findValue(yav_string_rule_key(YavStringRef("w"))));
}

TEST_F(YavConfigStanzaSchemaTest, ValidationWarnsAboutNamesNotPermitted) {
    StanzaSchema* open = make("s", "q", false, nullptr, true);
    EXPECT_EQ(0u, open->getValidateStatus());
    EXPECT_TRUE(logged(YAV_S_CFG_UNRECOGNIZED_ENTRY_TEXT).empty());

    StanzaSchema* schema = make("s", "q", false, "x, y,w", true);
    EXPECT_EQ(YAV_S_CFG_UNRECOGNIZED_ENTRY, schema->getValidateStatus());
    auto warnings = logged(YAV_S_CFG_UNRECOGNIZED_ENTRY_TEXT);
    ASSERT_EQ(1u, warnings.size());
    EXPECT_NE(std::string::npos,
              warnings[0].text.find("entry, z = a, b, was found in the s stanza"))
        << warnings[0].text;

    StanzaSchema* strict = make("s", "q", false, "x,y,z", true);
    EXPECT_EQ(YAV_S_CFG_UNRECOGNIZED_ENTRY, strict->getValidateStatus());
    warnings = logged(YAV_S_CFG_UNRECOGNIZED_ENTRY_TEXT);
    ASSERT_EQ(2u, warnings.size());
    EXPECT_NE(std::string::npos, warnings[1].text.find("entry, w = 9, was found in the s:q stanza"))
        << warnings[1].text;
}

TEST_F(YavConfigStanzaSchemaTest, DumpMarksValuesTakenFromThePlainStanza) {
    StanzaSchema* inherited = make("s", "q", true);
    std::string text = capture([&](FILE* f) { EXPECT_EQ(0u, inherited->dumpSchema(f)); });
    EXPECT_EQ(
        "\n[s:q]\n"
        "x                         = 2                        \n"
        "w                         = 9                        \n"
        "y                         =                           # inherited from [s]\n"
        "z                         = a, b                      # inherited from [s]\n",
        text);
    StanzaSchema* plain = make("s", nullptr, false);
    text = capture([&](FILE* f) { EXPECT_EQ(0u, plain->dumpSchema(f)); });
    EXPECT_EQ(
        "\n[s]\n"
        "x                         = 1, 1                     \n"
        "y                         =                          \n"
        "z                         = a, b                     \n",
        text);
}

TEST_F(YavConfigStanzaSchemaTest, MatchesComparesStanzaQualifierAndInherit) {
    StanzaSchema* a = make("s", "q", false);
    EXPECT_TRUE(a->matches(make("s", "q", false)));
    EXPECT_FALSE(a->matches(make("s", "q", true)));
    EXPECT_FALSE(a->matches(make("s", "r", false)));
    EXPECT_FALSE(a->matches(make("t", "q", false)));
    EXPECT_FALSE(a->matches(make<YavLCPString>("s", "q", false)));
}

}  // namespace
