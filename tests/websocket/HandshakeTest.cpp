#include "agent/websocket/Handshake.h"
#include "agent/websocket/SiteAccess.h"
#include "tests/websocket/FrameBuilder.h"

#include <gtest/gtest.h>

namespace {

using namespace mWSProtocol;

// ---- the 101 answer, byte for byte ----

TEST(Handshake, ResponseBytesForABrowserRequest) {
    // The key and accept value are RFC 6455's sample (section 1.3).
    const std::string request =
        "GET /chat HTTP/1.1\r\nHost: 127.0.0.1:28502\r\nUpgrade: websocket\r\n"
        "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
        "Sec-WebSocket-Origin: http://example.com\r\nSec-WebSocket-Version: 13\r\n\r\n";
    EXPECT_EQ(Handshake(request), "HTTP/1.1 101 Web Socket Protocol Handshake\r\n"
                                  "Upgrade: WebSocket\r\n"
                                  "Connection: Upgrade\r\n"
                                  "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"
                                  "WebSocket-Origin: http://example.com\r\n"
                                  "WebSocket-Location: 127.0.0.1:28502\r\n"
                                  "\r\n");
    // Names in lower case, blanks around values, a plain Origin header (the origin line stays empty).
    EXPECT_EQ(
        Handshake("GET / HTTP/1.1\r\nhost:   myhost:1234  \r\nsec-websocket-key:   dGhlIHNhbXBsZSBub25jZQ==  "
                  "\r\nOrigin: http://a.example\r\nSec-WebSocket-Extensions: permessage-deflate\r\n\r\n"),
        "HTTP/1.1 101 Web Socket Protocol Handshake\r\nUpgrade: WebSocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\nWebSocket-Origin: \r\n"
        "WebSocket-Location: myhost:1234\r\n\r\n");
}

TEST(Handshake, HeaderValueOfHost) {
    const std::pair<const char*, const char*> cases[] = {
        {"A: 1\r\nHost: h:1\r\n", "h:1"},
        {"HOST: h\r\n", "h"},
        {"A: 1\r\n", ""},
        {"Host: h", ""}, // no CR LF after
        {"Host: a\r\nHost: b\r\n", "a"},
        {"X-Forwarded-Host: fwd\r\nHost: real\r\n", "fwd"}, // the name may sit anywhere in the text
        {"Host: \th \r\n", "\th"},                          // only blanks trimmed
        {"Host:\r\n", ""}};
    for (const auto& [request, value] : cases)
        EXPECT_EQ(GetHeaderValue(request, "Host:"), value) << request;
}

// ---- who may connect ----

// A browser's request from `origin` (none: a local program), changed by `edit` ("Name: value" replaces
// that header, "Name:" removes it; "POST" replaces the method).
std::string request(const char* origin, std::vector<std::string> edits = {}) {
    std::vector<std::pair<std::string, std::string>> headers = {
        {"Host", "127.0.0.1:28502"},
        {"Upgrade", "websocket"},
        {"Connection", "keep-alive, Upgrade"},
        {"Sec-WebSocket-Key", "dGhlIHNhbXBsZSBub25jZQ=="},
        {"Sec-WebSocket-Version", "13"}};
    if (origin) headers.emplace_back("Origin", origin);
    std::string method = "GET";
    for (const std::string& e : edits) {
        if (e.find(':') == std::string::npos) {
            method = e;
            continue;
        }
        const std::string name = e.substr(0, e.find(':'));
        std::erase_if(headers, [&](const auto& h) { return h.first == name; });
        if (e.size() > name.size() + 1) headers.emplace_back(name, e.substr(name.size() + 2));
    }
    std::string r = method + " / HTTP/1.1\r\n";
    for (const auto& [name, value] : headers)
        r += name + ": " + value + "\r\n";
    return r + "\r\n";
}

struct AccessCase {
    const char* name;
    std::string request;
    const char* expected; // "101 <origin let in>", "400 <reason>", "403 <reason>", "ask <origin>"
    SitePolicy policy = SitePolicy::Ask;
    bool loopbackOnly = true;
};

class Access : public ::testing::TestWithParam<AccessCase> {};

TEST_P(Access, Decides) {
    AccessRules rules;
    rules.loopbackOnly = GetParam().loopbackOnly;
    rules.policy = GetParam().policy;
    rules.backendOrigin = "https://erp.example.com";
    rules.sites = {{"https://allowed.example", true}, {"http://refused.example:8080", false}};
    const AccessDecision d = DecideAccess(ReadUpgradeRequest(GetParam().request), rules);
    const char* kinds[] = {"101", "400", "403", "ask"};
    std::string got = kinds[int(d.kind)];
    if (!d.reason.empty() || !d.origin.empty()) got += " " + d.reason + d.origin;
    EXPECT_EQ(got, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, Access,
    ::testing::Values(
        // A real upgrade request only.
        AccessCase{"localProgram", request(nullptr), "101"},
        AccessCase{"crossSitePost", request("https://evil.example", {"POST"}), "400 不是 GET 请求"},
        AccessCase{"noUpgrade", request(nullptr, {"Upgrade:"}), "400 缺少 Upgrade: websocket"},
        AccessCase{"upgradeToOther", request(nullptr, {"Upgrade: h2c"}), "400 缺少 Upgrade: websocket"},
        AccessCase{"noConnectionUpgrade", request(nullptr, {"Connection: keep-alive"}),
                   "400 缺少 Connection: Upgrade"},
        AccessCase{"noKey", request(nullptr, {"Sec-WebSocket-Key:"}), "400 Sec-WebSocket-Key 无效"},
        AccessCase{"keyOf15Bytes", request(nullptr, {"Sec-WebSocket-Key: AAAAAAAAAAAAAAAAAAAA"}),
                   "400 Sec-WebSocket-Key 无效"},
        AccessCase{"keyNotCanonical", request(nullptr, {"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZR=="}),
                   "400 Sec-WebSocket-Key 无效"},
        AccessCase{"version8", request(nullptr, {"Sec-WebSocket-Version: 8"}),
                   "400 Sec-WebSocket-Version 不是 13"},
        // The Host names this machine while the agent listens on loopback only (DNS rebinding).
        AccessCase{"hostLocalhost", request(nullptr, {"Host: LOCALHOST"}), "101"},
        AccessCase{"hostIPv6", request(nullptr, {"Host: [::1]:28502"}), "101"},
        AccessCase{"hostForeign", request(nullptr, {"Host: evil.example:28502"}),
                   "403 Host 不是本机:evil.example:28502"},
        AccessCase{"hostLookalike", request(nullptr, {"Host: 127.0.0.1.evil.example"}),
                   "403 Host 不是本机:127.0.0.1.evil.example"},
        AccessCase{"hostMissing", request(nullptr, {"Host:"}), "403 Host 不是本机:"},
        AccessCase{"hostForeignListeningEverywhere", request(nullptr, {"Host: 192.0.2.2:28502"}), "101",
                   SitePolicy::Ask, false},
        // The page's origin.
        AccessCase{"backendOrigin", request("https://ERP.example.com:443"), "101 https://erp.example.com"},
        AccessCase{"allowedSite", request("https://allowed.example"), "101 https://allowed.example"},
        AccessCase{"refusedSite", request("http://refused.example:8080"),
                   "403 网站已被拒绝:http://refused.example:8080"},
        AccessCase{"unknownSiteAsked", request("https://erp.other.example"), "ask https://erp.other.example"},
        AccessCase{"unknownSiteListedOnly", request("https://erp.other.example"),
                   "403 网站未授权:https://erp.other.example", SitePolicy::ListedOnly},
        AccessCase{"allowedSiteListedOnly", request("https://allowed.example"), "101 https://allowed.example",
                   SitePolicy::ListedOnly},
        AccessCase{"anySite", request("https://erp.other.example"), "101 https://erp.other.example",
                   SitePolicy::Any},
        AccessCase{"refusedSiteWhenAny", request("http://refused.example:8080"),
                   "101 http://refused.example:8080", SitePolicy::Any},
        // Pages served from this machine's loopback are trusted like programs that send no Origin,
        // whatever the policy; a name that only starts like one is another site.
        AccessCase{"loopbackPage", request("http://127.0.0.1:8000"), "101 http://127.0.0.1:8000"},
        AccessCase{"localhostPage", request("http://LocalHost:5173"), "101 http://localhost:5173"},
        AccessCase{"ipv6LoopbackPage", request("http://[::1]:8080"), "101 http://[::1]:8080"},
        AccessCase{"loopbackPageOverHttps", request("https://localhost"), "101 https://localhost"},
        AccessCase{"loopbackPageListedOnly", request("http://localhost:8080"), "101 http://localhost:8080",
                   SitePolicy::ListedOnly},
        AccessCase{"localhostLookalike", request("http://localhost.evil.example"),
                   "ask http://localhost.evil.example"},
        AccessCase{"otherLoopbackAddress", request("http://127.0.0.2:8000"), "ask http://127.0.0.2:8000"},
        // Sandboxed frames of any site send "null": it names no one.
        AccessCase{"opaqueOrigin", request("null"), "403 来源无效:null"},
        AccessCase{"fileOrigin", request("file://"), "403 来源无效:file://"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Access, OriginsAsBrowsersSendThem) {
    EXPECT_EQ(NormalizeOrigin("HTTPS://Erp.Example.com:443"), "https://erp.example.com");
    EXPECT_EQ(NormalizeOrigin("http://erp.example.com:80"), "http://erp.example.com");
    EXPECT_EQ(NormalizeOrigin("http://127.0.0.1:8080"), "http://127.0.0.1:8080");
    EXPECT_EQ(NormalizeOrigin("http://[::1]:8080"), "http://[::1]:8080");
    EXPECT_EQ(NormalizeOrigin("http://a.example/path"), "");
    EXPECT_EQ(NormalizeOrigin("http://user@a.example"), "");
    EXPECT_EQ(NormalizeOrigin("http://a.example:99999"), "");
    EXPECT_EQ(NormalizeOrigin("ftp://a.example"), "");
    EXPECT_EQ(OriginOfUrl("https://print.verolux.app/api?x=1"), "https://print.verolux.app");
}

TEST(Access, RulesFromTheSettingsFile) {
    const AccessRules r = AccessRulesFromIni(
        "[AppInfo]\r\nWebsUrl=http://127.0.0.1:8000\r\n[Verolux]\r\nSitePolicy=listed\r\n"
        "[Sites]\r\nhttps://A.example=1\r\nhttps://b.example=0\r\nnot a site=1\r\nhttps://c.example=\r\n",
        false);
    EXPECT_FALSE(r.loopbackOnly);
    EXPECT_EQ(r.policy, SitePolicy::ListedOnly);
    EXPECT_EQ(r.backendOrigin, "http://127.0.0.1:8000");
    EXPECT_EQ(r.sites,
              (std::map<std::string, bool>{{"https://a.example", true}, {"https://b.example", false}}));
    EXPECT_TRUE(r.locked.empty());
    EXPECT_EQ(ParseSitePolicy(""), SitePolicy::Ask);
    EXPECT_EQ(ParseSitePolicy("ANY"), SitePolicy::Any);
}

// The administrator's policy file wins over the user's settings, and the user cannot loosen it.
struct PolicyCase {
    const char* name;
    const char* user;
    const char* policy;
    const char* expected; // policy, then the sites (+ allowed, - refused, * locked)
};

class Policy : public ::testing::TestWithParam<PolicyCase> {};

TEST_P(Policy, Overrides) {
    const AccessRules r = AccessRulesFromIni(GetParam().user, true, GetParam().policy);
    const char* policies[] = {"ask", "listed", "any"};
    std::string got = policies[int(r.policy)];
    for (const auto& [origin, allowed] : r.sites)
        got += std::string(" ") + (allowed ? "+" : "-") + (r.locked.contains(origin) ? "*" : "") + origin;
    EXPECT_EQ(got, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Policy,
    ::testing::Values(
        PolicyCase{"noPolicyFile", "[Verolux]\nSitePolicy=any\n[Sites]\nhttp://a.example=1\n", "",
                   "any +http://a.example"},
        PolicyCase{"policyReplacesTheUsers", "[Verolux]\nSitePolicy=any\n", "[Verolux]\nSitePolicy=ask\n",
                   "ask"},
        PolicyCase{"emptyPolicyValueLeavesTheUsers", "[Verolux]\nSitePolicy=listed\n",
                   "[Verolux]\nSitePolicy=\n", "listed"},
        // The administrator's lines win and are locked; the user's other lines stay.
        PolicyCase{"sitesLocked", "[Sites]\nhttp://a.example=1\nhttp://b.example=1\n",
                   "[Sites]\nhttp://A.example=0\nhttp://c.example=1\n",
                   "ask -*http://a.example +http://b.example +*http://c.example"},
        // Under the administrator's "listed" the user's own allowed sites no longer count; their
        // refusals do.
        PolicyCase{"listedByTheAdministrator", "[Sites]\nhttp://a.example=1\nhttp://b.example=0\n",
                   "[Verolux]\nSitePolicy=listed\n[Sites]\nhttp://c.example=1\n",
                   "listed -http://b.example +*http://c.example"},
        PolicyCase{"listedByTheUser", "[Verolux]\nSitePolicy=listed\n[Sites]\nhttp://a.example=1\n",
                   "[Sites]\nhttp://c.example=1\n", "listed +http://a.example +*http://c.example"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Policy, ListenAll) {
    EXPECT_TRUE(ListenAllFromIni("[Verolux]\nListenAll=1\n", ""));
    EXPECT_FALSE(ListenAllFromIni("[Verolux]\nListenAll=1\n", "[Verolux]\nListenAll=0\n"));
    EXPECT_TRUE(ListenAllFromIni("", "[Verolux]\nListenAll=1\n"));
    EXPECT_TRUE(ListenAllFromIni("[Verolux]\nListenAll=1\n", "[Verolux]\nListenAll=yes\n"))
        << "no value of its own";
}

} // namespace
