// Runs a folder walk on a worker thread and hands its batches to the window's thread, so a
// screen stays responsive while a whole disk is searched.
#pragma once

#include <QObject>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <memory>

#include "cataloguing/treewalk.h"

namespace glim::cataloguing {

class WalkJob : public QObject {
  Q_OBJECT

 public:
  explicit WalkJob(QObject* parent = nullptr);
  // Stops a running walk and waits for its thread.
  ~WalkJob() override;

  // False when a walk is already running.
  bool start(const WalkRequest& request);
  // Asks the walk to end at its next check; finished() follows with what was found.
  void stop() { stop_ = true; }
  bool running() const { return thread_ && thread_->isRunning(); }

 signals:
  // Delivered on the thread that owns the job.
  void progress(const QString& folder, const QStringList& found, qint64 folders, qint64 files,
                qint64 matches);
  void finished(const glim::cataloguing::WalkResult& result);

 private:
  std::unique_ptr<QThread> thread_;
  std::atomic_bool stop_{false};
};

}  // namespace glim::cataloguing
