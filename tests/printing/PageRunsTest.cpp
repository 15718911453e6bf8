// A PDF's pages split into runs of one paper size, as they go to CUPS one job each.
#include "agent/printing/PageRuns.h"

#include <gtest/gtest.h>

using namespace verolux;

namespace {

const PagePoints A4{595.3, 841.9}, A4Landscape{841.9, 595.3}, A5{419.5, 595.3}, Label{175.7, 82.2};

struct RunsCase {
    const char* name;
    std::vector<PagePoints> sizes;
    const char* pages;
    std::vector<PageRun> runs;
};

const RunsCase kCases[] = {
    {"oneSize", {A4, A4, A4}, "", {{"1-3", A4}}},
    {"turnedPageIsThePaper", {A4, A4Landscape}, "", {{"1-2", A4}}},
    {"sizesAlternate", {A4, A5, A5, A4}, "", {{"1", A4}, {"2-3", A5}, {"4", A4}}},
    {"pagesLeftOutSplitNothing", {A4, A5, A4, A4, A4}, "1,3-4", {{"1,3-4", A4}}},
    {"gapInsideARun", {A4, A4, A4, Label}, "1,3-", {{"1,3", A4}, {"4", Label}}},
    {"nothingSelected", {A4}, "2-5", {}},
    {"noPages", {}, "", {}},
};

class PageRuns : public testing::TestWithParam<RunsCase> {};

TEST_P(PageRuns, Split) {
    EXPECT_EQ(SplitByPaper(GetParam().sizes, GetParam().pages), GetParam().runs);
}

INSTANTIATE_TEST_SUITE_P(Table, PageRuns, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<RunsCase>& p) { return std::string(p.param.name); });

} // namespace
