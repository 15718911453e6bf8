#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace demo {

// The body the agent posts for an exported PDF ({ "st1":"BASE64","st0":"REPORTID","st2":""}) and for
// a template saved in the designer (same keys, st2 the template's MD5).
struct UploadBody {
    std::string content;  // st1, decoded
    std::string reportId; // st0
    std::string extra;    // st2
};

struct UploadParse {
    std::optional<UploadBody> body;
    std::string error; // why the body was refused; never contains the word the agent looks for

    explicit operator bool() const { return body.has_value(); }
};

UploadParse parseUploadBody(std::string_view json);

// Standard Base64 ("+", "/"), padded, no line breaks: what the agent sends. Anything else is refused
// so a broken encoder shows up as a failed upload instead of a quietly damaged file.
std::optional<std::string> decodeBase64(std::string_view text);

} // namespace demo
