#pragma once

#include "demo/backend/BackendOptions.h"
#include "demo/backend/DemoStats.h"
#include "demo/backend/FailureInjector.h"
#include "demo/backend/ReleaseSigner.h"

#include <httplib.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace demo {

// The demo backend: template downloads, uploads of PDFs and templates, the update query and its
// release files, the demo page, and failures on request for tests.
class DemoServer {
  public:
    explicit DemoServer(BackendOptions options);
    ~DemoServer();

    // Binds the listening sockets (also ::1 when the host is the IPv4 loopback, if it can).
    bool bind(std::string& error);
    int port() const { return m_port; }
    std::string baseUrl() const;

    // Serves until stop(); call after bind().
    void run();
    void stop();

  private:
    using Handler = httplib::Server::Handler;

    void install(httplib::Server& server);
    Handler guarded(Handler handler);
    bool injectFailure(const httplib::Request& req, httplib::Response& res);
    std::string requestBase(const httplib::Request& req) const;

    std::optional<std::string> templatePath(const std::string& name) const;
    std::optional<std::string> filePathFor(const std::string& urlPath) const;

    void getTemplate(const httplib::Request& req, httplib::Response& res);
    void listTemplates(const httplib::Request& req, httplib::Response& res);
    void postUpload(const httplib::Request& req, httplib::Response& res, const std::string& bodyText);
    void postUpdateQuery(const httplib::Request& req, httplib::Response& res);
    void getRelease(const httplib::Request& req, httplib::Response& res);
    void getUpdateKey(const httplib::Request& req, httplib::Response& res);
    void getUpload(const httplib::Request& req, httplib::Response& res);
    void listUploads(const httplib::Request& req, httplib::Response& res);
    void getWebFile(const httplib::Request& req, httplib::Response& res);
    void postFail(const httplib::Request& req, httplib::Response& res);

    BackendOptions m_options;
    DemoStats m_stats;
    FailureInjector m_failures;
    ReleaseSigner m_signer;
    std::vector<std::unique_ptr<httplib::Server>> m_servers;
    int m_port = 0;
};

} // namespace demo
