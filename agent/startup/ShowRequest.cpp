#include "agent/startup/ShowRequest.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace verolux {

ShowRequests::ShowRequests(const std::filesystem::path& programFolder, std::function<void()> show)
    : m_server(new QLocalServer(this)), m_show(std::move(show)) {
    const QString path = ShowServerName(programFolder);
    // Only the lock holder gets here: a socket file left by a killed agent is stale.
    QLocalServer::removeServer(path);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path)) return; // a path too long for a socket: second starts just end
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (!peer->canReadLine()) {
                    if (peer->bytesAvailable() > 64) peer->abort(); // not one of ours
                    return;
                }
                if (peer->readLine(64) == "show\n") m_show();
                peer->disconnectFromServer();
            });
        }
    });
}

ShowRequests::~ShowRequests() {
    m_server->close(); // removes the socket file
}

bool ShowRequests::listening() const {
    return m_server->isListening();
}

} // namespace verolux
