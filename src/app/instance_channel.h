// Hands the paths of a second start to the running program: a local socket in the user's
// runtime folder, beside the single-instance lock. The running program listens; a second start
// with paths sends them and ends.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QStringList>

namespace vorn
{

class InstanceChannel : public QObject
{
    Q_OBJECT
  public:
    // `name` as the InstanceGuard's: tests use their own.
    explicit InstanceChannel(const QString &name = QStringLiteral("vorn"), QObject *parent = nullptr);

    // The socket's full path (per user: it lies in the runtime folder).
    QString serverPath() const { return path_; }
    // Starts listening. Only the holder of the instance lock calls this, so a socket left
    // there is stale (a crashed run) and is removed first.
    bool listen();
    // Sends paths to the running program; false when none answers within timeoutMs.
    bool send(const QStringList &paths, int timeoutMs = 3000) const;

  signals:
    // A second start handed over these paths.
    void pathsReceived(const QStringList &paths);

  private:
    void readClient(class QLocalSocket *socket);

    QString path_;
    QLocalServer server_;
};

} // namespace vorn
