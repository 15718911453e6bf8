#pragma once

#include <string>

namespace verolux {
class JsonValue;
struct PageMessage;

// Reads a raw job: the message's root holds nothing but the `verolux` object, which names the job,
// the printer and the commands ("raw": {"text", "encoding"} or {"base64"}). Fills m.jobId and m.raw;
// "" or the reason the job cannot be carried out. The job id is read first so that a refusal names it.
std::string ReadRawJob(const JsonValue& root, const JsonValue& object, PageMessage& m);

} // namespace verolux
