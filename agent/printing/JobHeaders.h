#pragma once

#include "common/JsonReader.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace verolux {

// Limits of the HTTP headers a followed job carries for its own download and upload.
inline constexpr std::size_t kMaxJobHeaders = 16;
inline constexpr std::size_t kMaxJobHeaderBytes = 8192; // names and values together

// Reads the `headers` object of a job's options into "Name: value" lines (as curl takes them):
// "" or why they cannot be sent. Names must be HTTP tokens, values strings without control
// characters (tab aside); the headers that frame the message (Host, Content-Length, …) are the
// agent's own. The reason never quotes a value: values are secrets.
std::string ReadJobHeaders(const JsonValue& headers, std::vector<std::string>* lines);

// The request text without `verolux.headers`, for everything that may log, show or keep it. The
// rest reads the same; a text that is no JSON object comes back unchanged.
std::string WithoutJobHeaders(std::string_view text);

} // namespace verolux
