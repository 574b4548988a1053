// Slow work the window or the player core hands to a thread of its own (a
// page fetch, a song lookup, a stream open) so that the window keeps painting,
// ticking and answering meanwhile. The result comes back as a queued call on
// the receiver's thread (the window's).
//
// A lane runs one current job. Starting another, or Cancel(), makes the
// current one stale: its cancel flag is set, and its result, when it comes, is
// dropped on the window's thread without being looked at (and destroyed there,
// so a result that owns something releases it). The latest command wins.
//
// Threads: Start, Cancel, Busy and Generation on the window's thread only. The
// work runs on the job's thread and must touch neither widgets nor window
// state. Each job's thread is owned by the lane and joined by it: finished
// ones at the next Start, the rest at destruction (a cancelled fetch ends
// within about a second; a stream open within its own time limits).
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class TJobLane {
 public:
  // `receiver` is the window whose thread gets the results; `guard` runs each
  // delivery (the window's error display catches what it throws).
  using Guard = std::function<void(const std::function<void()>&)>;
  TJobLane(QObject* receiver, Guard guard);
  ~TJobLane();
  TJobLane(const TJobLane&) = delete;
  TJobLane& operator=(const TJobLane&) = delete;

  // Runs `work(cancel)` on a new thread, then `done(result)` on the window's
  // thread if no newer Start or Cancel came in between. An exception thrown
  // by `work` is thrown again on the window's thread instead of `done`.
  template <typename R>
  void Start(std::function<R(const std::atomic<bool>& cancel)> work,
             std::function<void(R& result)> done) {
    Run([work = std::move(work),
         done = std::move(done)](const std::atomic<bool>& cancel) -> std::function<void()> {
      auto result = std::make_shared<R>();
      std::exception_ptr error;
      try {
        *result = work(cancel);
      } catch (...) {
        error = std::current_exception();
      }
      return [result, error, done] {
        if (error) std::rethrow_exception(error);
        done(*result);
      };
    });
  }

  // Makes the current job stale and tells it to stop.
  void Cancel();
  // A current job has not delivered its result yet.
  bool Busy() const { return busy_; }
  // Changes with every Start and Cancel: a delivery that lets the window run
  // (a list panel filling) compares it to notice that it has been replaced.
  uint64_t Generation() const { return generation_; }

 private:
  struct Job {
    std::atomic<bool> cancel{false};
    std::atomic<bool> finished{false};
    std::thread thread;
  };
  using Work = std::function<std::function<void()>(const std::atomic<bool>& cancel)>;

  void Run(Work work);
  void Deliver(uint64_t generation, const std::function<void()>& delivery);
  void JoinFinished();

  QObject* receiver_;  // outlives the lane, which it owns
  Guard guard_;
  uint64_t generation_ = 0;
  bool busy_ = false;
  std::vector<std::shared_ptr<Job>> jobs_;
};
