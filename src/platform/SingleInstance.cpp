#include "platform/SingleInstance.h"

#include <unistd.h>

#include <QLocalSocket>

namespace kx {
namespace {

constexpr int kConnectTimeoutMs = 1000;
constexpr const char kActivateRequest[] = "activate\n";

}  // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), serverName_(std::move(serverName)) {
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
}

QString SingleInstance::DefaultServerName() {
    return QStringLiteral("%1-%2").arg(QLatin1String(kApplicationId)).arg(::getuid());
}

bool SingleInstance::AskRunningViewerToActivate() {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
    socket.write(kActivateRequest);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::BecomePrimary() {
    if (AskRunningViewerToActivate()) return false;
    if (server_.listen(serverName_)) return true;
    // A socket left behind by a viewer that did not end cleanly: nobody answered, so take it.
    if (server_.serverError() == QAbstractSocket::AddressInUseError) {
        if (AskRunningViewerToActivate()) return false;
        QLocalServer::removeServer(serverName_);
        return server_.listen(serverName_);
    }
    // Without a socket there is no single-instance test; run anyway.
    return true;
}

void SingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        auto readRequest = [this, socket] {
            if (socket->readAll().contains("activate")) emit activationRequested();
        };
        connect(socket, &QLocalSocket::readyRead, this, readRequest);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0) readRequest();
    }
}

}  // namespace kx
