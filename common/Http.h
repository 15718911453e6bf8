#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace verolux {

// A backend call that did not get an answer: host unreachable, name not resolved, TLS refused,
// time-out. An answer with an error status is not an HttpError.
class HttpError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Time-outs of the HTTP component the backend calls were written for: 60 s to connect, then the
// call fails when sending or receiving stalls for 30 s.
inline constexpr long kConnectTimeoutSeconds = 60;
inline constexpr long kStallTimeoutSeconds = 30;

// POSTs body (UTF-8 JSON) to url with the one header "Content-Type: application/json; charset=UTF-8"
// and returns the answer text, whatever its status. Blocks. Throws HttpError.
std::string PostJson(const std::string& url, std::string_view body);

// Downloads an http(s) URL (redirects followed, to http(s) only) into path. The body goes to a
// temporary file beside path, which replaces path only after a complete 2xx answer; on any failure
// path is left as it was and false is returned. The new file keeps the permissions of the file it
// replaces; `executable` makes sure it can be run (0755 when new).
bool DownloadToFile(const std::string& url, const std::filesystem::path& path, bool executable = false);

// The URL as it goes on the wire: bytes outside printable ASCII (UTF-8 of "※" and the like) and
// blanks become %XX; everything else, "%" included, stays.
std::string EncodeUrlForWire(std::string_view url);

} // namespace verolux
