// The CUPS layer on the real scheduler with the cups-pdf queue: printers and jobs (skipped where
// tests/support/cups_setup.sh cannot set it up). The options a job carries are CupsOptionsTest.cpp.
#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/CupsJob.h"
#include "agent/reports/cups/CupsPrinters.h"

#include <cups/cups.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

using namespace verolux::cups;

namespace {

const char* const kQueue = "VXPDF";
const char* const kStoppedQueue = "VXPDF_STOPPED";

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[512];
        while (size_t n = fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

// A one-page PDF from Ghostscript, which the cups-pdf queue needs anyway.
std::string OnePagePdf() {
    return Shell("echo showpage | gs -q -sDEVICE=pdfwrite -sPAPERSIZE=a4 -o - -");
}

JobStatus WaitForFinalState(int jobId) {
    JobStatus status;
    std::string error;
    for (int i = 0; i < 600; ++i) {
        if (!QueryJob(jobId, &status, &error)) ADD_FAILURE() << error;
        if (IsFinal(status.state)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return status;
}

class CupsScheduler : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        const std::string setup = std::string(VEROLUX_SOURCE_DIR) + "/tests/support/cups_setup.sh";
        s_available =
            std::system((setup + " " + kQueue + " >/dev/null").c_str()) == 0 &&
            std::system(
                (setup + " " + kStoppedQueue + " >/dev/null && cupsdisable " + kStoppedQueue).c_str()) == 0;
    }
    // The machine's scheduler is shared: no stopped queue is left behind.
    static void TearDownTestSuite() {
        std::system((std::string("lpadmin -x ") + kStoppedQueue + " >/dev/null 2>&1").c_str());
    }
    void SetUp() override {
        if (!s_available) GTEST_SKIP() << "no CUPS scheduler with a cups-pdf queue here";
    }
    static inline bool s_available = false;
};

// No scheduler where libcups looks (a closed port): every call says so, none blames the queue.
TEST(CupsWithoutScheduler, EveryCallNamesTheStoppedService) {
    cupsSetServer("127.0.0.1:1");
    std::vector<PrinterInfo> printers;
    std::string name, error;
    EXPECT_FALSE(ListPrinters(&printers, &error));
    EXPECT_EQ(error, std::string("cannot list the printers: ") + kSchedulerDown);
    for (const char* queue : {"VXPDF", ""}) {
        EXPECT_FALSE(ResolvePrinter(queue, &name, &error));
        EXPECT_EQ(error, kSchedulerDown);
    }
    PdfJob job;
    EXPECT_FALSE(job.open("VXPDF", "t", {}, &error));
    EXPECT_EQ(error, kSchedulerDown);
    cupsSetServer(nullptr);
}

TEST_F(CupsScheduler, ListsTheQueuesWithTheirState) {
    std::vector<PrinterInfo> printers;
    std::string error;
    ASSERT_TRUE(ListPrinters(&printers, &error)) << error;
    const PrinterInfo *ready = nullptr, *stopped = nullptr;
    for (const PrinterInfo& p : printers) {
        if (p.name == kQueue) ready = &p;
        if (p.name == kStoppedQueue) stopped = &p;
    }
    ASSERT_TRUE(ready && stopped);
    EXPECT_NE(ready->state, PrinterState::Stopped);
    EXPECT_TRUE(ready->acceptingJobs);
    EXPECT_TRUE(ready->color); // the cups-pdf driver says so
    bool a4 = false;
    for (const MediaSize& m : ready->media)
        a4 |= m.name == "iso_a4_210x297mm" && m.widthMm == 210 && m.heightMm == 297;
    EXPECT_TRUE(a4);
    EXPECT_EQ(stopped->state, PrinterState::Stopped);
    EXPECT_EQ(stopped->stateReasons, std::vector<std::string>{"paused"});
}

TEST_F(CupsScheduler, ResolvesOnlyQueuesThatExist) {
    std::string name, error;
    EXPECT_TRUE(ResolvePrinter(kQueue, &name, &error)) << error;
    EXPECT_EQ(name, kQueue);
    EXPECT_FALSE(ResolvePrinter("NoSuchPrinter-42", &name, &error));
    EXPECT_EQ(error, "printer \"NoSuchPrinter-42\" does not exist");
    // None named: the default printer, or a failure when the machine has none (as lpstat says).
    const std::string lpstatDefault = Shell("lpstat -d");
    const auto colon = lpstatDefault.find(": ");
    if (colon == std::string::npos) {
        EXPECT_FALSE(ResolvePrinter("", &name, &error));
        EXPECT_EQ(error, "no printer: none named and no system default printer");
    } else {
        EXPECT_TRUE(ResolvePrinter("", &name, &error)) << error;
        EXPECT_EQ(name + "\n", lpstatDefault.substr(colon + 2));
    }
}

TEST_F(CupsScheduler, JobIdIsTheSchedulersAndTheJobCompletes) {
    const std::string pdf = OnePagePdf();
    PdfJob job;
    std::string error;
    JobOptions options;
    options.paperWidthMm = 210;
    options.paperHeightMm = 297;
    ASSERT_TRUE(job.open(kQueue, "vx-cups-layer", options, &error)) << error;
    // In pieces, as the PDF writer streams it.
    for (size_t at = 0; at < pdf.size(); at += 100)
        ASSERT_TRUE(job.write(pdf.data() + at, std::min<size_t>(100, pdf.size() - at), &error)) << error;
    ASSERT_TRUE(job.finish(&error)) << error;
    const int id = job.jobId();
    ASSERT_GT(id, 0);
    // lpstat names every job as QUEUE-ID.
    EXPECT_NE(Shell("lpstat -W all -o " + std::string(kQueue))
                  .find(std::string(kQueue) + "-" + std::to_string(id) + " "),
              std::string::npos);
    const JobStatus status = WaitForFinalState(id);
    EXPECT_EQ(status.state, JobState::Completed);
    EXPECT_EQ(status.printer, kQueue);
}

TEST_F(CupsScheduler, JobOnAStoppedQueueWaitsUntilCancelled) {
    const std::string pdf = OnePagePdf();
    PdfJob job;
    std::string error;
    ASSERT_TRUE(job.open(kStoppedQueue, "vx-cups-stopped", JobOptions{}, &error)) << error;
    ASSERT_TRUE(job.write(pdf.data(), pdf.size(), &error));
    ASSERT_TRUE(job.finish(&error)) << error;
    JobStatus status;
    ASSERT_TRUE(QueryJob(job.jobId(), &status, &error)) << error;
    EXPECT_EQ(status.state, JobState::Pending);
    EXPECT_EQ(status.printerState, PrinterState::Stopped);
    EXPECT_EQ(status.printerReasons, std::vector<std::string>{"paused"});
    ASSERT_TRUE(CancelJob(job.jobId(), &error)) << error;
    ASSERT_TRUE(QueryJob(job.jobId(), &status, &error)) << error;
    EXPECT_EQ(status.state, JobState::Cancelled);
    EXPECT_FALSE(CancelJob(job.jobId(), &error)) << "a finished job cannot be cancelled again";
    EXPECT_FALSE(QueryJob(999999, &status, &error));
    EXPECT_NE(error.find("999999"), std::string::npos) << "an unknown job is named";
}

// A job whose document never completes is cancelled, so half a report never prints.
TEST_F(CupsScheduler, UnfinishedJobIsCancelled) {
    const std::string pdf = OnePagePdf();
    int id = 0;
    {
        PdfJob job;
        std::string error;
        ASSERT_TRUE(job.open(kQueue, "vx-cups-unfinished", JobOptions{}, &error)) << error;
        ASSERT_TRUE(job.write(pdf.data(), pdf.size() / 2, &error));
        id = job.jobId();
    }
    EXPECT_EQ(WaitForFinalState(id).state, JobState::Cancelled);
}

} // namespace
