// A printer's offset as MyIni.ini keeps it.
#include "agent/printing/PrinterOffset.h"

#include <gtest/gtest.h>

using namespace verolux;

namespace {

struct OffsetCase {
    const char* text;
    std::optional<PrinterOffset> offset;
};

const OffsetCase kCases[] = {
    {"15,-8", PrinterOffset{15, -8}},
    {"+3,0", PrinterOffset{3, 0}},
    {"-300,300", PrinterOffset{-300, 300}},
    {"301,0", std::nullopt},
    {"1.5,2", std::nullopt},
    {"", std::nullopt},
    {"5", std::nullopt},
    {"5,", std::nullopt},
    {"a,b", std::nullopt},
};

TEST(PrinterOffset, Read) {
    for (const OffsetCase& c : kCases)
        EXPECT_EQ(ParseOffset(c.text), c.offset) << c.text;
}

TEST(PrinterOffset, WrittenAsRead) {
    EXPECT_EQ(FormatOffset({15, -8}), "15,-8");
    EXPECT_EQ(ParseOffset(FormatOffset({-1, 2})), (PrinterOffset{-1, 2}));
    EXPECT_EQ((PrinterOffset{15, -8}).xMm(), 1.5);
}

} // namespace
