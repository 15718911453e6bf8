#include "agent/startup/StartDecision.h"
#include "common/Version.h"

#include <gtest/gtest.h>

#include <regex>

using mMain::StartCondition;

struct StartCase {
    const char* name;
    const char* show;
    const char* foceShow;
    bool previous;
    bool starts;
};

class StartConditionTest : public testing::TestWithParam<StartCase> {};

TEST_P(StartConditionTest, Decides) {
    const auto& c = GetParam();
    EXPECT_EQ(StartCondition(c.show, c.foceShow, c.previous), c.starts);
}

INSTANTIATE_TEST_SUITE_P(Cases, StartConditionTest,
                         testing::Values(StartCase{"RequestNoOtherCopy", "1", "", false, true},
                                         StartCase{"RequestWhileAnotherRuns", "1", "", true, false},
                                         StartCase{"NoRequest", "0", "", false, false},
                                         StartCase{"MissingKeys", "", "", false, false},
                                         StartCase{"BlankBeforeOne", " 1", "", false, false},
                                         StartCase{"BlankAfterOne", "1 ", "", false, false},
                                         StartCase{"WordTrue", "true", "", false, false},
                                         StartCase{"ForcedWithoutRequest", "", "1", false, true},
                                         StartCase{"ForcedWhileAnotherRuns", "0", "1", true, true},
                                         StartCase{"ForceNotExactlyOne", "0", "01", false, false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(VersionText, MajorMinorRevisionInDecimal) {
    EXPECT_TRUE(
        std::regex_match(verolux::VersionText(), std::regex(R"((0|[1-9]\d*)\.(0|[1-9]\d*)\.(0|[1-9]\d*))")));
}
