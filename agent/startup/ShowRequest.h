#pragma once

#include <QObject>

#include <filesystem>
#include <functional>

class QLocalServer;

// A second start of the agent while one runs from the same program folder brings up the running
// agent's window: the new process sends "show" over a local socket in the program folder (a named
// pipe of the folder and session on Windows), which the running agent listens on while it holds the
// agent lock.
namespace verolux {

inline constexpr const char* kShowSocketFile = "Verolux.sock";

// The running agent's side: calls `show` for every request; closing removes the socket file.
class ShowRequests : public QObject {
    Q_OBJECT
  public:
    ShowRequests(const std::filesystem::path& programFolder, std::function<void()> show);
    ~ShowRequests() override;
    bool listening() const;

  private:
    QLocalServer* m_server = nullptr;
    std::function<void()> m_show;
};

// The new process's side (ShowRequest_<platform>.cpp): true when a running agent took the request.
bool SendShowRequest(const std::filesystem::path& programFolder);

// What the running agent listens on, as QLocalServer takes it: the socket file's path, or the pipe's name.
QString ShowServerName(const std::filesystem::path& programFolder);

} // namespace verolux
