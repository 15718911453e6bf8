#include "agent/websocket/Handshake.h"
#include "tests/websocket/FrameBuilder.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/sha.h>

namespace {

using mWSProtocol::AcceptKey;
using mWSProtocol::GetHeaderValue;
using mWSProtocol::Handshake;

// RFC 6455 section 1.3.
constexpr const char* kRfcKey = "dGhlIHNhbXBsZSBub25jZQ==";
constexpr const char* kRfcAccept = "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=";

std::size_t countCrLf(const std::string& s) {
    std::size_t n = 0;
    for (std::size_t at = s.find("\r\n"); at != std::string::npos; at = s.find("\r\n", at + 2))
        ++n;
    return n;
}

TEST(AcceptKey, RfcSampleKey) {
    EXPECT_EQ(AcceptKey(kRfcKey), kRfcAccept);
}

TEST(Handshake, ResponseBytesForABrowserRequest) {
    const std::string request = "GET /chat HTTP/1.1\r\n"
                                "Host: 127.0.0.1:28502\r\n"
                                "Upgrade: websocket\r\n"
                                "Connection: Upgrade\r\n"
                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                "Sec-WebSocket-Origin: http://example.com\r\n"
                                "Sec-WebSocket-Version: 13\r\n\r\n";
    EXPECT_EQ(Handshake(request), "HTTP/1.1 101 Web Socket Protocol Handshake\r\n"
                                  "Upgrade: WebSocket\r\n"
                                  "Connection: Upgrade\r\n"
                                  "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"
                                  "WebSocket-Origin: http://example.com\r\n"
                                  "WebSocket-Location: 127.0.0.1:28502\r\n"
                                  "\r\n");
}

struct RequestCase {
    const char* name;
    std::string request;
    const char* accept;
    const char* location;
};

class HandshakeRequests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(HandshakeRequests, AcceptAndLocation) {
    const std::string r = Handshake(GetParam().request);
    EXPECT_NE(r.find(std::string("\r\nSec-WebSocket-Accept: ") + GetParam().accept + "\r\n"),
              std::string::npos)
        << r;
    EXPECT_NE(r.find(std::string("\r\nWebSocket-Location: ") + GetParam().location + "\r\n"),
              std::string::npos)
        << r;
    // Seven lines, the last one empty.
    EXPECT_EQ(countCrLf(r), 7u);
    EXPECT_EQ(r.substr(r.size() - 4), "\r\n\r\n");
    EXPECT_EQ(r.find("\r\n\r\n"), r.size() - 4);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, HandshakeRequests,
    ::testing::Values(
        RequestCase{"standard", wstest::upgradeRequest(), kRfcAccept, "127.0.0.1:28502"},
        RequestCase{
            "lowerCaseNames",
            "GET / HTTP/1.1\r\nhost: localhost:28502\r\nsec-websocket-key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n",
            kRfcAccept, "localhost:28502"},
        RequestCase{"extraBlanks",
                    "GET / HTTP/1.1\r\nHost:    myhost:1234   \r\nSec-WebSocket-Key:    "
                    "dGhlIHNhbXBsZSBub25jZQ==   \r\n\r\n",
                    kRfcAccept, "myhost:1234"},
        RequestCase{"hostWithoutPort", wstest::upgradeRequest(kRfcKey, "example.org"), kRfcAccept,
                    "example.org"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Handshake, MissingKeyHashesTheGuidAlone) {
    unsigned char digest[SHA_DIGEST_LENGTH];
    const std::string guid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
    ::SHA1(reinterpret_cast<const unsigned char*>(guid.data()), guid.size(), digest);
    char b64[64];
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(b64), digest, SHA_DIGEST_LENGTH);
    const std::string r = Handshake("GET / HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_NE(r.find(std::string("Sec-WebSocket-Accept: ") + b64 + "\r\n"), std::string::npos) << r;
}

TEST(Handshake, PlainOriginLeavesOriginLineEmpty) {
    const std::string r = Handshake(wstest::upgradeRequest()); // sends "Origin:", not "Sec-WebSocket-Origin:"
    EXPECT_NE(r.find("\r\nWebSocket-Origin: \r\nWebSocket-Location: "), std::string::npos) << r;
}

TEST(Handshake, NoNegotiationHeaders) {
    const std::string r = Handshake("GET / HTTP/1.1\r\nSec-WebSocket-Key: x\r\nSec-WebSocket-Extensions: "
                                    "permessage-deflate\r\nSec-WebSocket-Protocol: chat\r\n\r\n");
    EXPECT_EQ(r.find("Extensions"), std::string::npos);
    EXPECT_EQ(r.find("Protocol:"), std::string::npos);
    EXPECT_EQ(r.find("Version"), std::string::npos);
}

struct HeaderCase {
    const char* name;
    std::string request;
    std::string header;
    std::string value;
};

class HeaderValues : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderValues, Extracts) {
    EXPECT_EQ(GetHeaderValue(GetParam().request, GetParam().header), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeaderValues,
    ::testing::Values(HeaderCase{"simple", "A: 1\r\nHost: h:1\r\n", "Host:", "h:1"},
                      HeaderCase{"caseInsensitive", "HOST: h\r\n", "Host:", "h"},
                      HeaderCase{"missing", "A: 1\r\n", "Host:", ""},
                      HeaderCase{"noCrLfAfter", "Host: h", "Host:", ""},
                      HeaderCase{"firstOccurrenceWins", "Host: a\r\nHost: b\r\n", "Host:", "a"},
                      // The name may sit anywhere in the text, not only at a line start.
                      HeaderCase{"midLine", "X-Forwarded-Host: fwd\r\nHost: real\r\n", "Host:", "fwd"},
                      HeaderCase{"onlyBlanksTrimmed", "Host: \th \r\n", "Host:", "\th"},
                      HeaderCase{"emptyValue", "Host:\r\n", "Host:", ""}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
