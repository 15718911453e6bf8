#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace verolux {

// A backend call that did not get an answer: host unreachable, name not resolved, TLS refused,
// time-out, a transfer too slow or too long. An answer with an error status is not an HttpError.
class HttpError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// 60 s to connect, as the HTTP component the backend calls were written for.
inline constexpr long kConnectTimeoutSeconds = 60;

// Largest template file downloaded, and largest program file the update check fetches.
inline constexpr std::uint64_t kMaxTemplateBytes = 64ull << 20;
inline constexpr std::uint64_t kMaxProgramFileBytes = 512ull << 20;
// Most of an answer the programs read (the update answer); the rest is not fetched.
inline constexpr std::size_t kMaxAnswerBytes = 1 << 20;

// How slow or long a transfer may be: less than minBytesPerSecond for slowSeconds in a row (waiting
// for the answer included, so a backend silent for 30 s fails as before), or longer than totalSeconds
// from the start, and the call fails.
struct TransferPace {
    long minBytesPerSecond = 1024;
    long slowSeconds = 30;
    long totalSeconds = 600;
    // When given and set (from any thread), the transfer stops within about a second and fails.
    const std::atomic<bool>* abort = nullptr;
};

// POSTs body (UTF-8 JSON) to url with the one header "Content-Type: application/json; charset=UTF-8"
// and returns the answer text, whatever its status (put into *status when given). At most
// maxAnswerBytes of the answer are read; a longer answer comes back cut there (0: the answer is not
// read at all). Blocks. Throws HttpError. `headers` ("Name: value" lines) go with the request after
// the agent's own; they are not part of any error text.
std::string PostJson(const std::string& url, std::string_view body,
                     std::size_t maxAnswerBytes = kMaxAnswerBytes, const TransferPace& pace = {},
                     long* status = nullptr, const std::vector<std::string>& headers = {});

// Downloads an http(s) URL (redirects followed, to http(s) only) into path. The body streams into a
// temporary file beside path, which replaces path only after a complete 2xx answer of at most maxBytes
// that `accept` (when given) agrees to; on any failure path is left as it was and false is returned.
// accept gets the temporary file's descriptor, written and flushed. The new file keeps the permissions
// of the file it replaces; `executable` makes sure it can be run (0755 when new). `headers` ("Name:
// value" lines) go with the request (curl leaves Authorization and Cookie out when a redirect leads
// to another host, port or scheme).
bool DownloadToFile(const std::string& url, const std::filesystem::path& path, std::uint64_t maxBytes,
                    bool executable = false, const std::function<bool(int fd)>& accept = {},
                    const TransferPace& pace = {}, const std::vector<std::string>& headers = {});

// Downloads a small http(s) resource into memory: false unless a complete 2xx answer of at most
// maxBytes arrived. `headers` as for DownloadToFile.
bool DownloadToString(const std::string& url, std::size_t maxBytes, std::string& body,
                      const TransferPace& pace = {}, const std::vector<std::string>& headers = {});

// The URL as it goes on the wire: bytes outside printable ASCII (UTF-8 of "※" and the like) and
// blanks become %XX; everything else, "%" included, stays.
std::string EncodeUrlForWire(std::string_view url);

} // namespace verolux
