#pragma once

#include <stdexcept>
#include <string>

namespace verolux {

// A failure of the print pipeline with the stable code a page can act on (see JobTracker.h).
class JobError : public std::runtime_error {
  public:
    JobError(const char* code, const std::string& message) : std::runtime_error(message), m_code(code) {}
    const char* code() const { return m_code; }

  private:
    const char* m_code;
};

struct JobFailure {
    std::string code;
    std::string message;
};

// The code and message a page hears for an error the pipeline raised: a JobError's own code, a
// request or name that cannot be read is bad-request, an upload that got no answer upload-failed.
JobFailure FailureOf(const std::exception& error);

} // namespace verolux
