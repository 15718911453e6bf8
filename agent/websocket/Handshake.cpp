#include "agent/websocket/Handshake.h"

#include "agent/websocket/SHA1.h"
#include "common/Base64.h"

#include <algorithm>

namespace mWSProtocol {

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::size_t findNoCase(std::string_view text, std::string_view what) {
    if (what.empty()) return 0;
    const auto it = std::search(text.begin(), text.end(), what.begin(), what.end(),
                                [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
    return it == text.end() ? std::string_view::npos : static_cast<std::size_t>(it - text.begin());
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

} // namespace

std::string GetHeaderValue(std::string_view request, std::string_view name) {
    const std::size_t at = findNoCase(request, name);
    if (at == std::string_view::npos) return {};
    const std::size_t crlf = request.find("\r\n", at);
    if (crlf == std::string_view::npos) return {};
    const std::size_t valueStart = at + name.size();
    // The name itself may end in CR ("X:\r" + "\n"): then the value is empty.
    if (crlf < valueStart) return {};
    return std::string(trimBlanks(request.substr(valueStart, crlf - valueStart)));
}

std::string AcceptKey(std::string_view key) {
    std::string input(key);
    input += kWebSocketGuid;
    return mBase64::EncodeBase64(mSHA1::SHA1(input));
}

std::string Handshake(std::string_view request) {
    const std::string accept = AcceptKey(GetHeaderValue(request, "Sec-WebSocket-Key:"));
    std::string response;
    response.reserve(256);
    response += "HTTP/1.1 101 Web Socket Protocol Handshake\r\n";
    response += "Upgrade: WebSocket\r\n";
    response += "Connection: Upgrade\r\n";
    response += "Sec-WebSocket-Accept: " + accept + "\r\n";
    response += "WebSocket-Origin: " + GetHeaderValue(request, "Sec-WebSocket-Origin:") + "\r\n";
    response += "WebSocket-Location: " + GetHeaderValue(request, "Host:") + "\r\n";
    response += "\r\n";
    return response;
}

} // namespace mWSProtocol
