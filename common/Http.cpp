#include "common/Http.h"

#include "common/SafeNames.h"
#include "common/TextFile.h"

#include <curl/curl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <mutex>

namespace verolux {
namespace {

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using CurlPtr = std::unique_ptr<CURL, CurlDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;

// Where an answer's body goes and how much of it may come: a file or a string.
struct BodySink {
    std::uint64_t maxBytes = 0;
    std::uint64_t received = 0;
    bool overLimit = false;
    int fd = -1;
    std::string* text = nullptr;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Returning less than it was given makes curl end the transfer, which is how a body past its limit
// stops being read.
size_t WriteBody(char* data, size_t size, size_t count, void* user) {
    BodySink& sink = *static_cast<BodySink*>(user);
    const std::size_t total = size * count;
    const std::uint64_t room = sink.maxBytes - sink.received;
    const std::size_t take = total <= room ? total : static_cast<std::size_t>(room);
    if (sink.text) sink.text->append(data, take);
    if (sink.fd >= 0 && !WriteAll(sink.fd, data, take)) return 0;
    sink.received += take;
    if (take < total) {
        sink.overLimit = true;
        return 0;
    }
    return total;
}

// curl calls this at least once a second, also while nothing arrives; non-zero ends the transfer.
int CheckAbort(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(user)->load() ? 1 : 0;
}

CurlPtr NewHandle(const std::string& wireUrl, char* errorBuffer, const TransferPace& pace, BodySink& sink) {
    GlobalInit();
    CurlPtr curl(curl_easy_init());
    if (!curl) throw HttpError("cannot create an HTTP handle");
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, wireUrl.c_str());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, pace.minBytesPerSecond);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, pace.slowSeconds);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, pace.totalSeconds);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    if (pace.abort) {
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, CheckAbort);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(pace.abort));
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    }
    return curl;
}

std::string Describe(CURLcode rc, const char* errorBuffer) {
    std::string text = curl_easy_strerror(rc);
    if (errorBuffer[0]) text.append(": ").append(errorBuffer);
    return text;
}

bool IsUnreserved(unsigned char c) {
    return c > 0x20 && c < 0x7f && c != '"' && c != '<' && c != '>';
}

// The request's header list: `own` first, then the caller's; nullptr when both are empty.
SlistPtr HeaderList(std::initializer_list<const char*> own, const std::vector<std::string>& extra) {
    curl_slist* list = nullptr;
    for (const char* line : own)
        list = curl_slist_append(list, line);
    for (const std::string& line : extra)
        list = curl_slist_append(list, line.c_str());
    return SlistPtr(list);
}

// GET with redirects into sink: true after a complete 2xx answer within the sink's limit.
bool Get(const std::string& url, BodySink& sink, const TransferPace& pace,
         const std::vector<std::string>& headers = {}) {
    if (!IsHttpUrl(url)) return false;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    try {
        CurlPtr curl = NewHandle(EncodeUrlForWire(url), errorBuffer, pace, sink);
        CURL* c = curl.get();
        curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(c, CURLOPT_MAXREDIRS, 20L);
        // An announced length past the limit is refused before a byte of it is read.
        curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(sink.maxBytes));
        const SlistPtr list = HeaderList({}, headers);
        if (list) curl_easy_setopt(c, CURLOPT_HTTPHEADER, list.get());
        long status = 0;
        return curl_easy_perform(c) == CURLE_OK && !sink.overLimit &&
               curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status >= 200 &&
               status < 300;
    } catch (const HttpError&) {
        return false;
    }
}

} // namespace

std::string EncodeUrlForWire(std::string_view url) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(url.size());
    for (unsigned char c : url) {
        if (IsUnreserved(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string PostJson(const std::string& url, std::string_view body, std::size_t maxAnswerBytes,
                     const TransferPace& pace, long* status, const std::vector<std::string>& extraHeaders) {
    char errorBuffer[CURL_ERROR_SIZE] = {};
    std::string answer;
    BodySink sink;
    sink.maxBytes = maxAnswerBytes;
    sink.text = &answer;
    CurlPtr curl = NewHandle(EncodeUrlForWire(url), errorBuffer, pace, sink);
    CURL* c = curl.get();

    // The one header the backend expects; curl's own Accept and Expect are dropped.
    const SlistPtr headers =
        HeaderList({"Content-Type: application/json; charset=UTF-8", "Accept:", "Expect:"}, extraHeaders);

    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));

    CURLcode rc = curl_easy_perform(c);
    // An answer cut at its limit is an answer: the backend got the request and began to reply.
    if (rc != CURLE_OK && !(rc == CURLE_WRITE_ERROR && sink.overLimit))
        throw HttpError("POST " + url + " failed: " + Describe(rc, errorBuffer));
    if (status) curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, status);
    return answer;
}

bool DownloadToFile(const std::string& url, const std::filesystem::path& path, std::uint64_t maxBytes,
                    bool executable, const std::function<bool(int fd)>& accept, const TransferPace& pace,
                    const std::vector<std::string>& headers) {
    if (!IsHttpUrl(url)) return false;

    const Replacement replacement = BeginReplacement(path);
    if (replacement.fd < 0) return false;
    BodySink sink;
    sink.maxBytes = maxBytes;
    sink.fd = replacement.fd;
    bool ok = Get(url, sink, pace, headers) && SyncFile(replacement.fd);
    if (ok && accept) ok = accept(replacement.fd);
    if (ok) ok = SetReplacementMode(replacement.fd, path, executable);
    return CommitReplacement(replacement, ok, path);
}

bool DownloadToString(const std::string& url, std::size_t maxBytes, std::string& body,
                      const TransferPace& pace, const std::vector<std::string>& headers) {
    body.clear();
    BodySink sink;
    sink.maxBytes = maxBytes;
    sink.text = &body;
    return Get(url, sink, pace, headers);
}

} // namespace verolux
