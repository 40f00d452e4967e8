#include "cataloguing/walkjob.h"

#include <QMetaObject>

namespace glim::cataloguing {

WalkJob::WalkJob(QObject* parent) : QObject(parent) {
  qRegisterMetaType<glim::cataloguing::WalkResult>();
}

WalkJob::~WalkJob() {
  stop_ = true;
  if (thread_) thread_->wait();
}

bool WalkJob::start(const WalkRequest& request) {
  if (running()) return false;
  if (thread_) thread_->wait();
  stop_ = false;
  thread_.reset(QThread::create([this, request] {
    // Reports go to the job's thread as queued calls; the job outlives the thread (its
    // destructor waits), so `this` stays valid for the calls made here.
    const WalkResult result = walkTree(request, stop_, [this](WalkProgress& p) {
      QMetaObject::invokeMethod(
          this,
          [this, folder = p.folder, found = std::move(p.found), folders = p.folders,
           files = p.files,
           matches = p.matches] { emit progress(folder, found, folders, files, matches); },
          Qt::QueuedConnection);
    });
    QMetaObject::invokeMethod(
        this, [this, result] { emit finished(result); }, Qt::QueuedConnection);
  }));
  thread_->start();
  return true;
}

}  // namespace glim::cataloguing
