#include "agent/desktop/SitePolicyFile.h"

#include "common/PolicyFile.h"

namespace verolux {

std::filesystem::path PolicyFilePath() {
    return mINI::PolicyFilePath();
}

} // namespace verolux
