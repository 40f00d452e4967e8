// The single-instance lock: an advisory lock (flock) on a file in the user's settings folder.
// The system releases it when the holding process ends, however it ends, so an empty,
// garbled or foreign lock file left behind never keeps the program from starting. The file
// names its holder (process id, program, host) so that a refused start can say who runs.
#pragma once

#include <QString>

namespace glim {

class InstanceLock {
 public:
  enum class State {
    Held,       // this object holds the lock
    Taken,      // another open file holds it (another process, or another object here)
    Unchecked,  // the lock file cannot be opened or locked; nothing is known
  };

  explicit InstanceLock(QString path);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Takes the lock without waiting and records this process in the file.
  State tryLock();
  void unlock();

  // Who holds the lock, as the file names it: "process 123 (/usr/bin/glimmora)", with the
  // host when it is another; empty when the file says nothing usable.
  QString holder() const;

  QString path() const { return path_; }

 private:
  QString path_;
  int fd_ = -1;
};

}  // namespace glim
