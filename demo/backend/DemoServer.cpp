#include "demo/backend/DemoServer.h"

#include "common/JsonEscape.h"
#include "demo/backend/ConnectionDrop.h"
#include "demo/backend/FileNames.h"
#include "demo/backend/TemplateUpload.h"
#include "demo/backend/UploadBody.h"

#include <simdjson.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

namespace fs = std::filesystem;

namespace demo {

using verolux::JsonQuote;

namespace {

// Big enough for a PDF of 100 MB and more in Base64.
constexpr std::size_t kMaxBodyBytes = std::size_t(1) << 30;
constexpr std::size_t kWorkerThreads = 32;
constexpr std::string_view kSeparator = "\xE2\x80\xBB"; // U+203B in UTF-8

void sendText(httplib::Response& res, int status, const std::string& text,
              const char* type = "text/plain; charset=utf-8") {
    res.status = status;
    res.set_content(text, type);
}

void sendJson(httplib::Response& res, const std::string& json, int status = 200) {
    sendText(res, status, json, "application/json; charset=utf-8");
}

bool sendFile(httplib::Response& res, const std::string& path, const std::string& name) {
    auto bytes = readWholeFile(path);
    if (!bytes) return false;
    res.status = 200;
    res.set_content(*bytes, contentTypeFor(name));
    return true;
}

void notFound(httplib::Response& res, const std::string& what) {
    sendText(res, 404, "not found: " + what + "\n");
}

// Bytes from the upper half only: never a valid JSON answer, never the word the designer looks for.
std::string garbageBytes(std::size_t size) {
    static thread_local std::mt19937 rng{std::random_device{}()};
    std::string out(size, '\0');
    for (auto& c : out)
        c = char(0x80 | (rng() & 0x7f));
    return out;
}

// Member `key` of a JSON object as text: strings as they are, numbers in decimal.
std::optional<std::string> jsonField(simdjson::dom::object object, const char* key) {
    simdjson::dom::element value;
    if (object.at_key(key).get(value) != simdjson::SUCCESS) return std::nullopt;
    std::string_view text;
    if (value.get_string().get(text) == simdjson::SUCCESS) return std::string(text);
    int64_t number = 0;
    if (value.get_int64().get(number) == simdjson::SUCCESS) return std::to_string(number);
    return std::nullopt;
}

std::optional<int> toInt(const std::string& text) {
    try {
        std::size_t used = 0;
        const int value = std::stoi(text, &used);
        if (used != text.size()) return std::nullopt;
        return value;
    } catch (...) {
        return std::nullopt;
    }
}

// Title, parameters and fields of a template file, as JSON members to add to its listing, so the
// demo page can fill sample data without downloading the template (downloads are counted).
std::string templateOutline(const std::string& bytes) {
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    simdjson::dom::object object;
    if (parser.parse(bytes).get(root) != simdjson::SUCCESS ||
        root.get_object().get(object) != simdjson::SUCCESS)
        return {};
    std::string out;
    std::string_view title;
    if (object["title"].get_string().get(title) == simdjson::SUCCESS) out += ",\"title\":" + JsonQuote(title);
    for (const char* listName : {"parameters", "fields"}) {
        simdjson::dom::array list;
        if (object[listName].get_array().get(list) != simdjson::SUCCESS) continue;
        out += std::string(",\"") + listName + "\":[";
        bool first = true;
        for (simdjson::dom::element item : list) {
            std::string_view name, type;
            if (item["name"].get_string().get(name) != simdjson::SUCCESS) continue;
            if (item["type"].get_string().get(type) != simdjson::SUCCESS) type = "text";
            if (!first) out += ',';
            first = false;
            out += "{\"name\":" + JsonQuote(name) + ",\"type\":" + JsonQuote(type);
            std::string_view text;
            if (item["default"].get_string().get(text) == simdjson::SUCCESS)
                out += ",\"default\":" + JsonQuote(text);
            out += '}';
        }
        out += ']';
    }
    return out;
}

} // namespace

DemoServer::DemoServer(BackendOptions options) : m_options(std::move(options)) {}

DemoServer::~DemoServer() {
    stop();
}

std::string DemoServer::baseUrl() const {
    const bool v6 = m_options.host.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + m_options.host + "]" : m_options.host) + ":" + std::to_string(m_port);
}

bool DemoServer::bind(std::string& error) {
    if (!m_options.updateKeyPath.empty() && !m_signer.load(m_options.updateKeyPath, error)) return false;
    std::error_code ec;
    fs::create_directories(m_options.uploadsDir, ec);
    if (ec) {
        error = "cannot create uploads folder " + m_options.uploadsDir + ": " + ec.message();
        return false;
    }
    auto primary = std::make_unique<httplib::Server>();
    install(*primary);
    if (m_options.port == 0) {
        m_port = primary->bind_to_any_port(m_options.host);
        if (m_port <= 0) {
            error = "cannot listen on " + m_options.host + " (any port)";
            return false;
        }
    } else {
        if (!primary->bind_to_port(m_options.host, m_options.port)) {
            error = "cannot listen on " + m_options.host + ":" + std::to_string(m_options.port);
            return false;
        }
        m_port = m_options.port;
    }
    m_servers.push_back(std::move(primary));
    // Browsers may resolve "localhost" to ::1 first; serve there too when we can.
    if (m_options.host == "127.0.0.1") {
        auto v6 = std::make_unique<httplib::Server>();
        install(*v6);
        if (v6->bind_to_port("::1", m_port)) m_servers.push_back(std::move(v6));
    }
    return true;
}

void DemoServer::run() {
    std::vector<std::thread> others;
    for (std::size_t i = 1; i < m_servers.size(); ++i)
        others.emplace_back([server = m_servers[i].get()] { server->listen_after_bind(); });
    if (!m_servers.empty()) m_servers.front()->listen_after_bind();
    for (auto& t : others)
        t.join();
}

void DemoServer::stop() {
    for (auto& server : m_servers)
        server->stop();
}

void DemoServer::install(httplib::Server& server) {
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    server.set_payload_max_length(kMaxBodyBytes);
    server.set_read_timeout(30, 0);
    server.set_write_timeout(30, 0);
    server.set_default_headers({{"Access-Control-Allow-Origin", "*"}, {"Cache-Control", "no-store"}});

    server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        std::fprintf(stderr, "%s %s %s %s -> %d, %zu bytes\n", isoTime(nowMs()).c_str(),
                     req.remote_addr.c_str(), req.method.c_str(), req.target.c_str(), res.status,
                     res.body.size());
    });
    server.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request& req, httplib::Response& res) {
            if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
            sendText(res, res.status, std::to_string(res.status) + " for " + req.path + "\n");
            return httplib::Server::HandlerResponse::Handled;
        }));
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, const std::exception_ptr& ep) {
            std::string what = "unknown error";
            try {
                if (ep) std::rethrow_exception(ep);
            } catch (const std::exception& e) {
                what = e.what();
            } catch (...) {
            }
            sendText(res, 500, "internal error: " + what + "\n");
        });

    auto bindHandler = [this](void (DemoServer::*method)(const httplib::Request&, httplib::Response&)) {
        return guarded([this, method](const httplib::Request& req, httplib::Response& res) {
            (this->*method)(req, res);
        });
    };

    server.Get("/api/templates", bindHandler(&DemoServer::listTemplates));
    server.Get("/api/uploads", bindHandler(&DemoServer::listUploads));
    server.Get("/api/stats",
               [this](const httplib::Request&, httplib::Response& res) { sendJson(res, m_stats.toJson()); });
    server.Post("/api/reset", [this](const httplib::Request&, httplib::Response& res) {
        m_stats.reset();
        m_failures.clear();
        sendJson(res, "{\"ok\":true}");
    });
    server.Post("/api/fail",
                [this](const httplib::Request& req, httplib::Response& res) { postFail(req, res); });
    server.Get("/api/fail", [this](const httplib::Request&, httplib::Response& res) {
        sendJson(res, m_failures.toJson());
    });

    server.Get(R"(/templates/(.*))", bindHandler(&DemoServer::getTemplate));
    server.Get(R"(/releases/(.*))", bindHandler(&DemoServer::getRelease));
    server.Get("/api/update-key", bindHandler(&DemoServer::getUpdateKey));
    server.Get(R"(/uploads/(.*))", bindHandler(&DemoServer::getUpload));
    // Read through a content reader: cpp-httplib caps bodies typed as form data at 8 KiB otherwise,
    // and a client that sends the JSON with that type should still get its file stored.
    server.Post(R"(/upload(/.*)?)", [this](const httplib::Request& req, httplib::Response& res,
                                           const httplib::ContentReader& reader) {
        std::string body;
        reader([&](const char* data, std::size_t length) {
            body.append(data, length);
            return true;
        });
        guarded([&](const httplib::Request& r, httplib::Response& s) { postUpload(r, s, body); })(req, res);
    });
    server.Post(R"(/basedata/v1/update/getLastUpdate/(.*))", bindHandler(&DemoServer::postUpdateQuery));
    server.Get(R"(/([^/]*))", bindHandler(&DemoServer::getWebFile));
}

DemoServer::Handler DemoServer::guarded(Handler handler) {
    return [this, handler = std::move(handler)](const httplib::Request& req, httplib::Response& res) {
        // Downloads are counted even when they are made to fail: tests count the agent's attempts.
        if (req.path.starts_with("/templates/")) {
            m_stats.countDownload(req.path.substr(std::string_view("/templates/").size()));
        } else if (req.path.starts_with("/releases/")) {
            m_stats.countReleaseDownload(req.path.substr(std::string_view("/releases/").size()));
        }
        if (injectFailure(req, res)) return;
        handler(req, res);
    };
}

bool DemoServer::injectFailure(const httplib::Request& req, httplib::Response& res) {
    auto rule = m_failures.take(req.path);
    if (!rule) return false;
    std::fprintf(stderr, "%s injecting %s on %s\n", isoTime(nowMs()).c_str(),
                 std::string(failureModeName(rule->mode)).c_str(), req.path.c_str());
    switch (rule->mode) {
    case FailureMode::None:
        return false;
    case FailureMode::Slow:
        std::this_thread::sleep_for(std::chrono::milliseconds(rule->delayMs));
        return false;
    case FailureMode::Error500:
        sendText(res, 500,
                 "<!DOCTYPE html><html><head><title>500 Internal Server Error</title></head>"
                 "<body><h1>Internal Server Error</h1><p>The server could not handle " +
                     req.path + ".</p></body></html>\n",
                 "text/html; charset=utf-8");
        return true;
    case FailureMode::Drop:
        if (!dropConnection(req.remote_addr, req.remote_port, req.local_port))
            std::fprintf(stderr, "could not find the connection to drop for %s\n", req.path.c_str());
        // Whatever is written now goes nowhere; keep it empty.
        res.status = 500;
        return true;
    case FailureMode::Garbage: {
        std::size_t size = 256;
        if (auto path = filePathFor(req.path)) {
            std::error_code ec;
            const auto fileSize = fs::file_size(*path, ec);
            if (!ec && fileSize > 0) size = fileSize;
        }
        res.status = 200;
        res.set_content(garbageBytes(size), "application/octet-stream");
        return true;
    }
    }
    return false;
}

std::string DemoServer::requestBase(const httplib::Request& req) const {
    const std::string host = req.get_header_value("Host");
    if (host.empty() || host.find_first_of(" /\\\"'<>") != std::string::npos) return baseUrl();
    return "http://" + host;
}

std::optional<std::string> DemoServer::templatePath(const std::string& name) const {
    if (!isPlainFileName(name)) return std::nullopt;
    const std::string original = m_options.templatesDir + "/" + name;
    std::error_code ec;
    if (m_options.editedTemplates && fs::is_regular_file(original, ec)) {
        const std::string edited = m_options.uploadsDir + "/" + name;
        if (fs::is_regular_file(edited, ec)) return edited;
    }
    return original;
}

std::optional<std::string> DemoServer::filePathFor(const std::string& urlPath) const {
    auto under = [&](std::string_view prefix, const std::string& dir) -> std::optional<std::string> {
        const std::string name = urlPath.substr(prefix.size());
        if (!isPlainFileName(name)) return std::nullopt;
        return dir + "/" + name;
    };
    if (urlPath.starts_with("/templates/"))
        return templatePath(urlPath.substr(std::string_view("/templates/").size()));
    if (urlPath.starts_with("/releases/")) return under("/releases/", m_options.releasesDir);
    if (urlPath.starts_with("/uploads/")) return under("/uploads/", m_options.uploadsDir);
    if (urlPath == "/") return m_options.webDir + "/index.html";
    return under("/", m_options.webDir);
}

void DemoServer::getTemplate(const httplib::Request& req, httplib::Response& res) {
    const std::string name = req.matches[1];
    auto path = templatePath(name);
    if (!path || !sendFile(res, *path, name)) notFound(res, "template " + name);
}

void DemoServer::listTemplates(const httplib::Request& req, httplib::Response& res) {
    const std::string base = requestBase(req);
    std::string out = "[";
    bool first = true;
    for (const auto& entry : listFiles(m_options.templatesDir, ".grf")) {
        auto path = templatePath(entry.name);
        if (!path) continue;
        auto bytes = readWholeFile(*path);
        if (!bytes) continue;
        if (!first) out += ',';
        first = false;
        const bool edited = *path != m_options.templatesDir + "/" + entry.name;
        out += "{\"name\":" + JsonQuote(entry.name) +
               ",\"url\":" + JsonQuote(base + "/templates/" + urlEncode(entry.name)) +
               ",\"md5\":" + JsonQuote(md5Hex(*bytes)) + ",\"size\":" + std::to_string(bytes->size()) +
               ",\"edited\":" + (edited ? "true" : "false") + templateOutline(*bytes) + '}';
    }
    sendJson(res, out + "]");
}

void DemoServer::postUpload(const httplib::Request& req, httplib::Response& res,
                            const std::string& bodyText) {
    auto parsed = parseUploadBody(bodyText);
    if (!parsed) {
        std::fprintf(stderr, "refused upload on %s: %s\n", req.path.c_str(), parsed.error.c_str());
        sendJson(res, "{\"code\":1,\"msg\":" + JsonQuote("refused: " + parsed.error) + "}", 400);
        return;
    }
    UploadBody& body = *parsed.body;
    const auto named = namedTemplateUpload(req.path, body, m_options.templatesDir);
    // The agent sends the template's MD5 in st2 with a designer save and nothing with a PDF.
    const bool isTemplate = named || !body.extra.empty() || req.path.find("template") != std::string::npos;
    std::string file;
    if (named) {
        if (!named->error.empty()) {
            std::fprintf(stderr, "refused upload on %s: %s\n", req.path.c_str(), named->error.c_str());
            sendJson(res, "{\"code\":1,\"msg\":" + JsonQuote("refused: " + named->error) + "}",
                     named->status);
            return;
        }
        file = named->name;
    } else {
        const std::string stem = sanitiseFileName(body.reportId);
        if (stem.empty()) {
            sendJson(res, "{\"code\":1,\"msg\":\"refused: st0 is no usable file name\"}", 400);
            return;
        }
        file = stem + (isTemplate ? ".grf" : ".pdf");
    }
    if (!writeFileAtomically(m_options.uploadsDir + "/" + file, body.content)) {
        sendJson(res, "{\"code\":1,\"msg\":\"refused: cannot store the file\"}", 500);
        return;
    }
    UploadRecord record;
    record.path = req.path;
    record.reportId = body.reportId;
    record.extra = body.extra;
    record.file = file;
    record.kind = isTemplate ? "template" : "pdf";
    record.size = body.content.size();
    record.md5 = md5Hex(body.content);
    record.contentType = req.get_header_value("Content-Type");
    record.timeMs = nowMs();
    std::fprintf(stderr, "stored %s upload %s (%zu bytes)\n", record.kind.c_str(), file.c_str(), record.size);
    m_stats.addUpload(std::move(record));
    sendJson(res, "{\"code\":0,\"msg\":\"success\"}");
}

void DemoServer::postUpdateQuery(const httplib::Request& req, httplib::Response& res) {
    std::string rest = req.matches[1];
    auto separator = rest.find(kSeparator);
    if (separator == std::string::npos) {
        // Sent encoded twice: decode once more.
        const std::string decoded = httplib::detail::decode_url(rest, false);
        if (decoded.find(kSeparator) != std::string::npos) {
            rest = decoded;
            separator = rest.find(kSeparator);
        }
    }
    UpdateQuery query;
    query.target = req.target;
    query.hasSeparator = separator != std::string::npos;
    query.kind = query.hasSeparator ? rest.substr(0, separator) : rest;
    query.version = query.hasSeparator ? rest.substr(separator + kSeparator.size()) : std::string();
    query.body = req.body;
    query.contentType = req.get_header_value("Content-Type");
    query.timeMs = nowMs();
    const std::string kind = query.kind;
    m_stats.addUpdateQuery(std::move(query));

    std::optional<std::string> answer;
    const std::string fileName = "latest-" + kind + ".json";
    if (!kind.empty() && isPlainFileName(fileName))
        answer = readWholeFile(m_options.releasesDir + "/" + fileName);
    if (!answer) {
        sendJson(res, "{\"ver\":\"\",\"url\":\"\",\"file\":\"\"}");
        return;
    }
    const std::string base = requestBase(req);
    static constexpr std::string_view kPlaceholder = "${BASE}";
    for (auto at = answer->find(kPlaceholder); at != std::string::npos;
         at = answer->find(kPlaceholder, at + base.size()))
        answer->replace(at, kPlaceholder.size(), base);
    sendJson(res, *answer);
}

void DemoServer::getRelease(const httplib::Request& req, httplib::Response& res) {
    const std::string name = req.matches[1];
    if (!isPlainFileName(name)) return notFound(res, "release " + name);
    const std::string path = m_options.releasesDir + "/" + name;
    if (sendFile(res, path, name)) return;
    // X.manifest.sig that nobody put there: the manifest X.manifest signed now with the update key.
    static constexpr std::string_view kSigSuffix = ".manifest.sig";
    if (m_signer.loaded() && name.ends_with(kSigSuffix)) {
        if (auto manifest = readWholeFile(path.substr(0, path.size() - std::string_view(".sig").size()))) {
            const std::string signature = m_signer.sign(*manifest);
            if (!signature.empty()) {
                res.status = 200;
                res.set_content(signature, "application/octet-stream");
                return;
            }
        }
    }
    notFound(res, "release " + name);
}

void DemoServer::getUpdateKey(const httplib::Request&, httplib::Response& res) {
    if (!m_signer.loaded()) return notFound(res, "update key (start with --update-key)");
    sendText(res, 200, m_signer.publicKey() + "\n");
}

void DemoServer::getUpload(const httplib::Request& req, httplib::Response& res) {
    const std::string name = req.matches[1];
    if (!isPlainFileName(name) || name.starts_with(".") ||
        !sendFile(res, m_options.uploadsDir + "/" + name, name))
        notFound(res, "upload " + name);
}

void DemoServer::listUploads(const httplib::Request& req, httplib::Response& res) {
    auto files = listFiles(m_options.uploadsDir);
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return a.mtimeMs != b.mtimeMs ? a.mtimeMs > b.mtimeMs : a.name < b.name;
    });
    const std::string base = requestBase(req);
    std::string out = "[";
    bool first = true;
    for (const auto& f : files) {
        if (f.name.starts_with(".")) continue;
        if (!first) out += ',';
        first = false;
        out += "{\"name\":" + JsonQuote(f.name) +
               ",\"url\":" + JsonQuote(base + "/uploads/" + urlEncode(f.name)) +
               ",\"size\":" + std::to_string(f.size) + ",\"time\":" + JsonQuote(isoTime(f.mtimeMs)) +
               ",\"timeMs\":" + std::to_string(f.mtimeMs) + '}';
    }
    sendJson(res, out + "]");
}

void DemoServer::getWebFile(const httplib::Request& req, httplib::Response& res) {
    std::string name = req.matches[1];
    if (name.empty()) name = "index.html";
    if (!isPlainFileName(name) || name.starts_with(".") ||
        !sendFile(res, m_options.webDir + "/" + name, name))
        notFound(res, name);
}

void DemoServer::postFail(const httplib::Request& req, httplib::Response& res) {
    std::string mode = req.get_param_value("mode");
    std::string path = req.get_param_value("path");
    std::string count = req.get_param_value("count");
    std::string delay = req.get_param_value("delay_ms");
    if (!req.body.empty()) {
        simdjson::dom::parser parser;
        simdjson::dom::element root;
        simdjson::dom::object object;
        if (parser.parse(req.body).get(root) != simdjson::SUCCESS ||
            root.get_object().get(object) != simdjson::SUCCESS) {
            sendJson(res, "{\"error\":\"body is not a JSON object\"}", 400);
            return;
        }
        if (auto v = jsonField(object, "mode")) mode = *v;
        if (auto v = jsonField(object, "path")) path = *v;
        if (auto v = jsonField(object, "count")) count = *v;
        if (auto v = jsonField(object, "delay_ms")) delay = *v;
    }
    FailureRule rule;
    const auto parsedMode = parseFailureMode(mode);
    const auto parsedCount = count.empty() ? std::optional<int>(1) : toInt(count);
    const auto parsedDelay = delay.empty() ? std::optional<int>(1000) : toInt(delay);
    if (!parsedMode || !parsedCount || !parsedDelay || *parsedDelay < 0) {
        sendJson(res, "{\"error\":\"mode is 500|slow|drop|garbage|none, count and delay_ms are integers\"}",
                 400);
        return;
    }
    rule.mode = *parsedMode;
    rule.pathPrefix = path;
    rule.remaining = *parsedCount;
    rule.delayMs = *parsedDelay;
    m_failures.arm(rule);
    sendJson(res, "{\"rules\":" + m_failures.toJson() + "}");
}

} // namespace demo
