#include "shell/instancelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace glim {

namespace {

QString hostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return QString::fromLocal8Bit(name);
}

QString runningProgram(qint64 pid) {
  return QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
}

bool writeAll(int fd, const QByteArray& bytes) {
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

}  // namespace

InstanceLock::InstanceLock(QString path) : path_(std::move(path)) {}

InstanceLock::~InstanceLock() {
  unlock();
}

InstanceLock::State InstanceLock::tryLock() {
  if (fd_ >= 0) return State::Held;
  const QByteArray native = QFile::encodeName(path_);
  int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  // A lock file we may only read still carries the lock.
  if (fd < 0 && errno == EACCES) fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return State::Unchecked;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool taken = errno == EWOULDBLOCK;
    ::close(fd);
    return taken ? State::Taken : State::Unchecked;
  }
  fd_ = fd;
  // The same three lines a QLockFile writes: process id, program, host.
  const QString program = runningProgram(::getpid());
  const QByteArray record = QByteArray::number(qint64(::getpid())) + '\n' +
                            QFile::encodeName(program) + '\n' + hostName().toLocal8Bit() + '\n';
  if (::ftruncate(fd_, 0) == 0) writeAll(fd_, record);
  return State::Held;
}

void InstanceLock::unlock() {
  if (fd_ < 0) return;
  // The file stays: removing it would let a third process lock a new file while a second
  // still waits on the old one. Emptying the record is a courtesy (a read-only file keeps it).
  [[maybe_unused]] const int emptied = ::ftruncate(fd_, 0);
  ::close(fd_);
  fd_ = -1;
}

QString InstanceLock::holder() const {
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QStringList lines = QString::fromLocal8Bit(file.read(4096)).split(u'\n');
  bool ok = false;
  const qint64 pid = lines.value(0).trimmed().toLongLong(&ok);
  if (!ok || pid <= 0) return {};
  const QString host = lines.value(2).trimmed();
  const bool here = host.isEmpty() || host == hostName();
  QString program = here ? runningProgram(pid) : QString();
  if (program.isEmpty()) program = lines.value(1).trimmed();
  QString text = QStringLiteral("process %1").arg(pid);
  if (!program.isEmpty()) text += QStringLiteral(" (%1)").arg(program);
  if (!here) text += QStringLiteral(" on %1").arg(host);
  return text;
}

}  // namespace glim
