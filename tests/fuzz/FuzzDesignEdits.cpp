// The designer's editing core under random edits, undos and redos: the first byte picks a sample
// template, the rest drive the steps (see tests/reports/design/EditScript.h). Every step leaves a file
// that loads; undoing everything gives back the sample's bytes.
#include "agent/reports/model/TemplateFile.h"
#include "common/TextFile.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/reports/design/EditScript.h"

#include <string>

namespace {

const verolux::reports::Template& Sample(std::uint8_t which) {
    static const verolux::reports::Template samples[] = {
        *verolux::reports::ParseTemplate(
             verolux::ReadWholeFile(VEROLUX_SOURCE_DIR "/demo/templates/orders.grf"))
             .tmpl,
        *verolux::reports::ParseTemplate(
             verolux::ReadWholeFile(VEROLUX_SOURCE_DIR "/demo/templates/invoice.grf"))
             .tmpl,
        *verolux::reports::ParseTemplate(
             verolux::ReadWholeFile(VEROLUX_SOURCE_DIR "/demo/templates/labels.grf"))
             .tmpl,
    };
    return samples[which % 3];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string problem = designtest::RunEditScript(Sample(data[0]), data + 1, size - 1);
    check(problem.empty());
    return 0;
}
