#include "agent/websocket/SiteAccess.h"

#include "common/Base64.h"
#include "common/IniText.h"
#include "common/TextTrim.h"

#include <algorithm>
#include <charconv>

namespace mWSProtocol {

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), lowerAscii);
    return out;
}

// Whether a comma-separated header value holds the token, in any letter case.
bool hasToken(std::string_view value, std::string_view token) {
    while (!value.empty()) {
        const std::size_t comma = value.find(',');
        if (lower(verolux::TrimBlanks(value.substr(0, comma))) == token) return true;
        if (comma == std::string_view::npos) break;
        value.remove_prefix(comma + 1);
    }
    return false;
}

// 16 bytes in canonical Base64: 22 characters and "==".
bool validKey(std::string_view key) {
    if (key.size() != 24) return false;
    const auto bytes = mBase64::DecodeBase64(key);
    return bytes && bytes->size() == 16 && mBase64::EncodeBase64(*bytes) == key;
}

// "host" or "host:port" (an IPv6 host in brackets): the host in lower case, or empty when malformed.
std::string hostOf(std::string_view hostPort, std::string_view& port) {
    std::size_t hostEnd;
    if (!hostPort.empty() && hostPort.front() == '[') {
        const std::size_t close = hostPort.find(']');
        if (close == std::string_view::npos) return {};
        hostEnd = close + 1;
    } else {
        hostEnd = std::min(hostPort.find(':'), hostPort.size());
    }
    port = hostPort.substr(hostEnd);
    if (!port.empty()) {
        if (port.front() != ':' || port.size() == 1) return {};
        port.remove_prefix(1);
        if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) return {};
    }
    const std::string host = lower(hostPort.substr(0, hostEnd));
    const bool nameChars = std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
               c == '[' || c == ']' || c == ':';
    });
    return nameChars ? host : std::string();
}

bool isLoopbackName(std::string_view host) {
    return host == "localhost" || host == "127.0.0.1" || host == "[::1]";
}

bool isLoopbackHost(std::string_view hostHeader) {
    std::string_view port;
    return isLoopbackName(hostOf(verolux::TrimBlanks(hostHeader), port));
}

// A normalized origin whose host is this machine's loopback: a page served from here.
bool isLoopbackOrigin(std::string_view origin) {
    std::string_view port;
    return isLoopbackName(hostOf(origin.substr(origin.find("://") + 3), port));
}

AccessDecision decision(AccessDecision::Kind kind, std::string reason = {}, std::string origin = {}) {
    return {kind, std::move(origin), std::move(reason)};
}

} // namespace

UpgradeRequest ReadUpgradeRequest(std::string_view request) {
    UpgradeRequest r;
    std::size_t lineEnd = request.find("\r\n");
    const std::string_view requestLine = request.substr(0, lineEnd);
    r.method = std::string(requestLine.substr(0, requestLine.find(' ')));
    const std::pair<std::string_view, std::optional<std::string>*> wanted[] = {
        {"upgrade", &r.upgrade},
        {"connection", &r.connection},
        {"sec-websocket-key", &r.key},
        {"sec-websocket-version", &r.version},
        {"host", &r.host},
        {"origin", &r.origin}};
    while (lineEnd != std::string_view::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = request.find("\r\n", start);
        const std::string_view line = request.substr(start, lineEnd - start);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string name = lower(line.substr(0, colon));
        for (const auto& [want, field] : wanted)
            if (name == want && !*field) *field = std::string(verolux::TrimBlanks(line.substr(colon + 1)));
    }
    return r;
}

SitePolicy ParseSitePolicy(std::string_view setting) {
    const std::string s = lower(verolux::TrimBlanks(setting));
    if (s == "listed") return SitePolicy::ListedOnly;
    if (s == "any") return SitePolicy::Any;
    return SitePolicy::Ask;
}

namespace {

// The [Sites] lines that name a site with "1" or "0", the first line of a site winning.
std::map<std::string, bool> sitesOf(std::string_view iniText) {
    std::map<std::string, bool> sites;
    for (const auto& [key, value] : mINI::SectionEntries(iniText, "Sites")) {
        const std::string origin = NormalizeOrigin(key);
        if (!origin.empty() && (value == "1" || value == "0")) sites.emplace(origin, value == "1");
    }
    return sites;
}

} // namespace

AccessRules AccessRulesFromIni(std::string_view iniText, bool loopbackOnly, std::string_view policyText) {
    AccessRules rules;
    rules.loopbackOnly = loopbackOnly;
    const std::string policySetting = mINI::LookupValue(policyText, "Verolux", "SitePolicy");
    const bool centralPolicy = !verolux::TrimBlanks(policySetting).empty();
    rules.policy =
        ParseSitePolicy(centralPolicy ? policySetting : mINI::LookupValue(iniText, "Verolux", "SitePolicy"));
    rules.backendOrigin = OriginOfUrl(mINI::LookupValue(iniText, "AppInfo", "WebsUrl"));
    rules.sites = sitesOf(iniText);
    // Under the administrator's "listed", the list is the administrator's: the user may refuse more
    // sites, not allow any.
    if (centralPolicy && rules.policy == SitePolicy::ListedOnly)
        std::erase_if(rules.sites, [](const auto& site) { return site.second; });
    for (const auto& [origin, allowed] : sitesOf(policyText)) {
        rules.sites.insert_or_assign(origin, allowed);
        rules.locked.insert(origin);
    }
    return rules;
}

bool ListenAllFromIni(std::string_view iniText, std::string_view policyText) {
    const std::string central = mINI::LookupValue(policyText, "Verolux", "ListenAll");
    if (central == "1" || central == "0") return central == "1";
    return mINI::LookupValue(iniText, "Verolux", "ListenAll") == "1";
}

AccessDecision DecideAccess(const UpgradeRequest& r, const AccessRules& rules) {
    using Kind = AccessDecision::Kind;
    if (r.method != "GET") return decision(Kind::BadRequest, "不是 GET 请求");
    if (!r.upgrade || !hasToken(*r.upgrade, "websocket"))
        return decision(Kind::BadRequest, "缺少 Upgrade: websocket");
    if (!r.connection || !hasToken(*r.connection, "upgrade"))
        return decision(Kind::BadRequest, "缺少 Connection: Upgrade");
    if (!r.key || !validKey(*r.key)) return decision(Kind::BadRequest, "Sec-WebSocket-Key 无效");
    if (!r.version || *r.version != "13") return decision(Kind::BadRequest, "Sec-WebSocket-Version 不是 13");
    // A foreign name resolving to this machine (DNS rebinding) reaches a loopback port too.
    if (rules.loopbackOnly && !(r.host && isLoopbackHost(*r.host)))
        return decision(Kind::Forbidden, "Host 不是本机:" + r.host.value_or(std::string()));

    if (!r.origin) return decision(Kind::Upgrade); // a local program, not a browser page
    const std::string origin = NormalizeOrigin(*r.origin);
    // "null" too: sandboxed frames and documents of any site send it, so it names no one to trust.
    if (origin.empty()) return decision(Kind::Forbidden, "来源无效:" + *r.origin);
    // A page served from this machine: no more than what a local program could do without Origin.
    if (isLoopbackOrigin(origin) || origin == rules.backendOrigin || rules.policy == SitePolicy::Any)
        return decision(Kind::Upgrade, {}, origin);
    if (const auto it = rules.sites.find(origin); it != rules.sites.end())
        return it->second ? decision(Kind::Upgrade, {}, origin)
                          : decision(Kind::Forbidden, "网站已被拒绝:" + origin);
    if (rules.policy == SitePolicy::ListedOnly) return decision(Kind::Forbidden, "网站未授权:" + origin);
    return decision(Kind::Ask, {}, origin);
}

std::string NormalizeOrigin(std::string_view origin) {
    origin = verolux::TrimBlanks(origin);
    const std::size_t sep = origin.find("://");
    if (sep == std::string_view::npos) return {};
    const std::string scheme = lower(origin.substr(0, sep));
    if (scheme != "http" && scheme != "https") return {};
    std::string_view portText;
    const std::string host = hostOf(origin.substr(sep + 3), portText);
    if (host.empty()) return {};
    std::string out = scheme + "://" + host;
    if (!portText.empty()) {
        unsigned port = 0;
        const auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
        if (ec != std::errc() || end != portText.data() + portText.size() || port == 0 || port > 65535)
            return {};
        if (port != (scheme == "https" ? 443u : 80u)) out += ":" + std::to_string(port);
    }
    return out;
}

std::string OriginOfUrl(std::string_view url) {
    const std::size_t sep = url.find("://");
    if (sep == std::string_view::npos) return {};
    return NormalizeOrigin(url.substr(0, url.find_first_of("/?#", sep + 3)));
}

} // namespace mWSProtocol
