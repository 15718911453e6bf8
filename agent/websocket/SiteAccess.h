#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace mWSProtocol {

// What the access decision reads from an opening handshake. Header lines are taken as HTTP has
// them (a name at the start of a line, any letter case, the first occurrence), unlike the lookups
// that fill the 101 answer.
struct UpgradeRequest {
    std::string method;
    std::optional<std::string> upgrade, connection, key, version, host, origin;
};

UpgradeRequest ReadUpgradeRequest(std::string_view request);

// Which pages may drive the agent, besides those trusted without asking (the backend's site, and
// pages and programs of this machine: no Origin, or one of localhost, 127.0.0.1, [::1]).
enum class SitePolicy {
    Ask,        // ask the desktop user about any other site, once
    ListedOnly, // only the sites allowed in the settings
    Any,        // every site
};

SitePolicy ParseSitePolicy(std::string_view setting); // "ask" (also empty, unknown), "listed", "any"

struct AccessRules {
    bool loopbackOnly = true; // listening on loopback only: the Host must name this machine
    SitePolicy policy = SitePolicy::Ask;
    std::string backendOrigin;         // WebsUrl's origin: trusted without asking
    std::map<std::string, bool> sites; // origin -> allowed (true) or refused (false), remembered
    std::set<std::string> locked;      // the sites the administrator's policy file decides
};

// The rules of a settings file's text: [Verolux] SitePolicy, [AppInfo] WebsUrl and [Sites], under
// the administrator's policy file (policy.ini, same format), which users cannot loosen: its
// SitePolicy replaces theirs, its [Sites] lines replace theirs and are locked, and under its
// "listed" only its sites are allowed (the user's own lines can still refuse).
AccessRules AccessRulesFromIni(std::string_view iniText, bool loopbackOnly, std::string_view policyText = {});
// [Verolux] ListenAll: the policy file's "1" or "0" when it has one, otherwise the user's "1".
bool ListenAllFromIni(std::string_view iniText, std::string_view policyText);

struct AccessDecision {
    enum class Kind { Upgrade, BadRequest, Forbidden, Ask };
    Kind kind;
    std::string origin; // Ask: the site to ask about; Upgrade: the site let in (empty: no Origin)
    std::string reason; // BadRequest, Forbidden: for the log pane
};

// Whether an upgrade request is answered with 101, refused as no real upgrade (400) or as not
// allowed (403), or waits for the desktop user's answer about its site.
AccessDecision DecideAccess(const UpgradeRequest& request, const AccessRules& rules);

// "HTTPS://Erp.Example.com:443" -> "https://erp.example.com": scheme and host in lower case, the
// default port left out, as browsers send it. Empty when the text is no origin of an http(s) site.
std::string NormalizeOrigin(std::string_view origin);
// The origin of a URL such as WebsUrl ("https://erp.example.com/api" -> "https://erp.example.com").
std::string OriginOfUrl(std::string_view url);

// The answers of the upgrade refusals: a short HTTP answer, then the connection closes.
inline constexpr std::string_view kBadRequestAnswer =
    "HTTP/1.1 400 Bad Request\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
inline constexpr std::string_view kForbiddenAnswer =
    "HTTP/1.1 403 Forbidden\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";

} // namespace mWSProtocol
