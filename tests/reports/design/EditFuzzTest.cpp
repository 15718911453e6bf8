// Random edits, undos and redos on each sample (seeded, so a failure repeats): the document stays a
// template that saves and loads, and undoing everything gives back the sample's bytes.
#include "tests/reports/design/DesignTestSupport.h"
#include "tests/reports/design/EditScript.h"

#include <random>

TEST(DesignEditFuzz, RandomEditsKeepTheDocumentValidAndUndoToTheSameBytes) {
    for (const char* name : {"orders.grf", "invoice.grf", "labels.grf"}) {
        const verolux::reports::Template sample = designtest::LoadSample(name);
        std::mt19937 random(20261207);
        for (int run = 0; run < 12; ++run) {
            std::vector<uint8_t> bytes(600);
            for (uint8_t& b : bytes)
                b = uint8_t(random());
            const std::string problem = designtest::RunEditScript(sample, bytes.data(), bytes.size());
            ASSERT_EQ(problem, "") << name << ", run " << run;
        }
    }
}
