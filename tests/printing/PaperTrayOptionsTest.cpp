// A job's tray and paper as a page writes them; whether the printer has them is the CUPS layer's test.
#include "agent/printing/PageMessage.h"

#include <gtest/gtest.h>

using namespace verolux;

namespace {

const std::string kRequest = R"("preview":"","repname":"a.grf","reportId":"R7","repdata":[])";

JobOptions Options(const std::string& verolux) {
    const PageMessage m = ReadPageMessage(R"({"verolux":)" + verolux + "," + kRequest + "}");
    EXPECT_EQ(m.kind, PageMessage::Kind::Job) << m.error;
    return m.options;
}

std::string Refusal(const std::string& verolux) {
    const PageMessage m = ReadPageMessage(R"({"verolux":)" + verolux + "," + kRequest + "}");
    EXPECT_EQ(m.kind, PageMessage::Kind::BadJob);
    return m.error;
}

TEST(PaperTray, Read) {
    EXPECT_EQ(Options(R"({"tray":"Tray 2"})").tray, "Tray 2");
    EXPECT_EQ(Options(R"({"paper":"iso_a5_148x210mm"})").paper, (PaperChoice{"iso_a5_148x210mm", 0, 0}));
    EXPECT_EQ(Options(R"({"paper":{"widthMm":62,"heightMm":29.5}})").paper, (PaperChoice{"", 62, 29.5}));
    EXPECT_TRUE(Options("{}").paper.empty());
}

TEST(PaperTray, Refused) {
    EXPECT_EQ(Refusal(R"({"tray":""})"), "tray must name one of the printer's trays");
    EXPECT_EQ(Refusal(R"({"tray":2})"), "tray must name one of the printer's trays");
    for (const char* paper : {R"("")", "{}", R"({"widthMm":62})", R"({"widthMm":0,"heightMm":29})",
                              R"({"widthMm":62,"heightMm":"29"})", R"({"widthMm":62,"heightMm":29,"x":1})",
                              R"({"widthMm":10001,"heightMm":29})", "62"})
        EXPECT_NE(Refusal(std::string(R"({"paper":)") + paper + "}").find("paper must be"), std::string::npos)
            << paper;
}

} // namespace
