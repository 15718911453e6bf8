#include "common/Http.h"

#include "common/SafeNames.h"
#include "common/TextFile.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

CurlPtr NewHandle(const std::string& wireUrl, char* errorBuffer) {
    GlobalInit();
    CurlPtr curl(curl_easy_init());
    if (!curl) throw HttpError("cannot create an HTTP handle");
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, wireUrl.c_str());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    // Less than one byte per second for 30 s, sending or receiving: the stalled call fails.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, kStallTimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    return curl;
}

std::string Describe(CURLcode rc, const char* errorBuffer) {
    std::string text = curl_easy_strerror(rc);
    if (errorBuffer[0]) text.append(": ").append(errorBuffer);
    return text;
}

size_t AppendToString(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

size_t WriteToFd(char* data, size_t size, size_t count, void* user) {
    const int fd = *static_cast<int*>(user);
    size_t total = size * count;
    size_t done = 0;
    while (done < total) {
        ssize_t n = ::write(fd, data + done, total - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 0; // makes curl fail the transfer
        done += static_cast<size_t>(n);
    }
    return total;
}

bool IsUnreserved(unsigned char c) {
    return c > 0x20 && c < 0x7f && c != '"' && c != '<' && c != '>';
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

std::string PostJson(const std::string& url, std::string_view body) {
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const std::string wireUrl = EncodeUrlForWire(url);
    CurlPtr curl = NewHandle(wireUrl, errorBuffer);
    CURL* c = curl.get();

    // The one header the backend expects; curl's own Accept and Expect are dropped.
    curl_slist* raw = curl_slist_append(nullptr, "Content-Type: application/json; charset=UTF-8");
    raw = curl_slist_append(raw, "Accept:");
    raw = curl_slist_append(raw, "Expect:");
    SlistPtr headers(raw);

    std::string answer;
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, AppendToString);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &answer);

    CURLcode rc = curl_easy_perform(c);
    if (rc != CURLE_OK) throw HttpError("POST " + url + " failed: " + Describe(rc, errorBuffer));
    return answer;
}

bool DownloadToFile(const std::string& url, const std::filesystem::path& path, bool executable) {
    if (!IsHttpUrl(url)) return false;

    const Replacement replacement = BeginReplacement(path);
    int fd = replacement.fd;
    if (fd < 0) return false;

    char errorBuffer[CURL_ERROR_SIZE] = {};
    bool ok = false;
    try {
        CurlPtr curl = NewHandle(EncodeUrlForWire(url), errorBuffer);
        CURL* c = curl.get();
        curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(c, CURLOPT_MAXREDIRS, 20L);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, WriteToFd);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &fd);
        long status = 0;
        if (curl_easy_perform(c) == CURLE_OK &&
            curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
            ok = status >= 200 && status < 300;
    } catch (const HttpError&) {
        ok = false;
    }

    if (ok) {
        struct stat old {};
        mode_t mode = 0644;
        if (::stat(path.c_str(), &old) == 0)
            mode = old.st_mode & 07777;
        else if (executable)
            mode = 0755;
        if (executable) // execute wherever it may be read
            mode |= (mode & 0444) >> 2;
        ok = ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    }
    return CommitReplacement(replacement, ok, path);
}

} // namespace verolux
