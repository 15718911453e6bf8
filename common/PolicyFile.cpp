#include "common/PolicyFile.h"

#include "common/TextFile.h"

namespace mINI {

bool EnforcePolicy(const Settings& settings) {
    return settings.ApplyPolicy(verolux::ReadWholeFile(PolicyFilePath()));
}

} // namespace mINI
