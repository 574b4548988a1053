#include "player/JobLane.h"

#include <algorithm>

TJobLane::TJobLane(QObject* receiver, Guard guard)
    : receiver_(receiver), guard_(std::move(guard)) {}

TJobLane::~TJobLane() {
  Cancel();
  for (const auto& job : jobs_)
    if (job->thread.joinable()) job->thread.join();
}

void TJobLane::Cancel() {
  ++generation_;
  busy_ = false;
  for (const auto& job : jobs_) job->cancel.store(true);
}

void TJobLane::Run(Work work) {
  Cancel();
  JoinFinished();
  const uint64_t generation = generation_;
  busy_ = true;
  auto job = std::make_shared<Job>();
  // The job holds itself only through the thread's closure; the lane keeps
  // the thread and joins it.
  job->thread = std::thread([this, job = job.get(), work = std::move(work), generation] {
    std::function<void()> delivery = work(job->cancel);
    if (!job->cancel.load()) {
      // The window outlives this thread (the lane joins it), and events
      // posted to it die with it unrun, so `this` is never reached late.
      QMetaObject::invokeMethod(
          receiver_, [this, generation, delivery] { Deliver(generation, delivery); },
          Qt::QueuedConnection);
    }
    job->finished.store(true);
  });
  jobs_.push_back(std::move(job));
}

void TJobLane::Deliver(uint64_t generation, const std::function<void()>& delivery) {
  if (generation != generation_) return;  // stale: a newer command took over
  busy_ = false;
  guard_(delivery);
}

void TJobLane::JoinFinished() {
  std::erase_if(jobs_, [](const std::shared_ptr<Job>& job) {
    if (!job->finished.load()) return false;
    job->thread.join();
    return true;
  });
}
