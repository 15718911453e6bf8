#include "common/IniDefaults.h"

#include <gtest/gtest.h>

namespace {

struct MergeCase {
    const char* name;
    const char* user;
    const char* defaults;
    const char* expected;
};

class Merge : public testing::TestWithParam<MergeCase> {};

TEST_P(Merge, FillsWhatTheUserLacksOnly) {
    const auto& c = GetParam();
    EXPECT_EQ(mINI::MergeDefaults(c.user, c.defaults), c.expected);
}

constexpr const char* kAdmin = "; for every user\r\n"
                               "[AppInfo]\r\n"
                               "WebsUrl=https://erp.example.com\r\n"
                               "[Trust]\r\n"
                               "Origins=https://erp.example.com\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, Merge,
    testing::Values(
        MergeCase{
            "NewUserGetsEveryDefault", "", kAdmin,
            "[AppInfo]\r\nWebsUrl=https://erp.example.com\r\n[Trust]\r\nOrigins=https://erp.example.com\r\n"},
        MergeCase{"UserValueStays", "[AppInfo]\r\nWebsUrl=https://mine\r\n[Trust]\r\nOrigins=x\r\n", kAdmin,
                  "[AppInfo]\r\nWebsUrl=https://mine\r\n[Trust]\r\nOrigins=x\r\n"},
        // An empty value reads like a missing one: the agent would replace it with its own default.
        MergeCase{"EmptyUserValueTakesTheDefault", "[AppInfo]\r\nWebsUrl=\r\nPrintVer=1.0.0\r\n",
                  "[AppInfo]\r\nWebsUrl=https://erp\r\n",
                  "[AppInfo]\r\nWebsUrl=https://erp\r\nPrintVer=1.0.0\r\n"},
        MergeCase{"NamesMatchWithoutLetterCase", "[appinfo]\r\nwebsurl=https://mine\r\n",
                  "[AppInfo]\r\nWebsUrl=https://erp\r\n", "[appinfo]\r\nwebsurl=https://mine\r\n"},
        MergeCase{"MissingKeyJoinsItsSection", "[AppInfo]\r\nPrintVer=1.0.0\r\n\r\n[Verolux]\r\nShow=0\r\n",
                  "[AppInfo]\r\nWebsUrl=https://erp\r\n",
                  "[AppInfo]\r\nPrintVer=1.0.0\r\nWebsUrl=https://erp\r\n\r\n[Verolux]\r\nShow=0\r\n"},
        MergeCase{
            "CommentsAndKeysOutsideSectionsGiveNothing", "",
            "Top=1\r\n;[AppInfo]\r\n[AppInfo]\r\n;WebsUrl=https://commented\r\n#PrintVer=9\r\nno equals\r\n",
            ""},
        MergeCase{"EmptyDefaultGivesNothing", "", "[AppInfo]\r\nWebsUrl=\r\n", ""},
        // As the programs read it: the first key of a name wins, a repeated section is not looked at.
        MergeCase{"RepeatedNamesReadAsALookupDoes", "", "[A]\r\nk=1\r\nk=2\r\n[a]\r\nj=3\r\n",
                  "[A]\r\nk=1\r\n"},
        MergeCase{"LinesEndAsTheUsersFileDoes", "[B]\r\nz=1\r\n", "[A]\nk=v\n",
                  "[B]\r\nz=1\r\n[A]\r\nk=v\r\n"}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
