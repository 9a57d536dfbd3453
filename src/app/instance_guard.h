// Refuses a second copy of the program: a lock file in the user's runtime folder, held for
// the whole run. A stale lock of a crashed run is taken over.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace vorn
{

class InstanceGuard
{
  public:
    // `name` tells guards apart (tests use their own); the program uses "vorn".
    explicit InstanceGuard(const QString &name = QStringLiteral("vorn"));
    ~InstanceGuard();

    enum class State { Acquired, AlreadyRunning, Unguarded };
    State acquire();
    QString lockPath() const { return path_; }

  private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

} // namespace vorn
