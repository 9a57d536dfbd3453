#include "app/instance_channel.h"

#include <QDataStream>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace vorn
{

namespace
{
// A second start sends at most this much; anything longer is not a list of paths.
constexpr qint64 kMaxMessage = 1 << 20;
} // namespace

InstanceChannel::InstanceChannel(const QString &name, QObject *parent) : QObject(parent)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    path_ = QDir(dir).filePath(name + QStringLiteral(".sock"));
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *s = server_.nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s] { readClient(s); });
        }
    });
}

bool InstanceChannel::listen()
{
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (server_.listen(path_))
        return true;
    QLocalServer::removeServer(path_);
    return server_.listen(path_);
}

bool InstanceChannel::send(const QStringList &paths, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out << paths;
    QByteArray frame;
    QDataStream(&frame, QIODevice::WriteOnly) << quint32(body.size());
    frame += body;
    socket.write(frame);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The running program closes the connection once it has read the paths.
    socket.waitForDisconnected(timeoutMs);
    return true;
}

void InstanceChannel::readClient(QLocalSocket *socket)
{
    const QByteArray head = socket->peek(4);
    if (head.size() < 4)
        return;
    quint32 size = 0;
    QDataStream(head) >> size;
    if (size > kMaxMessage) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < qint64(4 + size))
        return;
    socket->read(4);
    QStringList paths;
    QDataStream in(socket->read(size));
    in >> paths;
    socket->disconnectFromServer();
    if (in.status() == QDataStream::Ok && !paths.isEmpty())
        emit pathsReceived(paths);
}

} // namespace vorn
