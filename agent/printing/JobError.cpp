#include "agent/printing/JobError.h"

#include "agent/printing/JobTracker.h"
#include "agent/printing/TemplateStore.h"
#include "common/Http.h"
#include "common/JsonReader.h"

namespace verolux {

JobFailure FailureOf(const std::exception& error) {
    const char* code = failure::kInternal;
    if (const auto* job = dynamic_cast<const JobError*>(&error))
        code = job->code();
    else if (dynamic_cast<const JsonError*>(&error) || dynamic_cast<const TemplateNameError*>(&error))
        code = failure::kBadRequest;
    else if (dynamic_cast<const HttpError*>(&error))
        code = failure::kUploadFailed;
    return {code, error.what()};
}

} // namespace verolux
