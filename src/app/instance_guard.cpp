#include "app/instance_guard.h"

#include <QDir>
#include <QStandardPaths>

namespace vorn
{

InstanceGuard::InstanceGuard(const QString &name)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    path_ = QDir(dir).filePath(name + QStringLiteral(".lock"));
}

InstanceGuard::~InstanceGuard() = default;

InstanceGuard::State InstanceGuard::acquire()
{
    lock_ = std::make_unique<QLockFile>(path_);
    lock_->setStaleLockTime(0); // a lock is stale only when its process is gone
    if (lock_->tryLock(0))
        return State::Acquired;
    if (lock_->error() == QLockFile::LockFailedError)
        return State::AlreadyRunning;
    // The lock file cannot be made (no writable runtime folder): run without a guard.
    lock_.reset();
    return State::Unguarded;
}

} // namespace vorn
