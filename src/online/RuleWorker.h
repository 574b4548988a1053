// The start-up worker: once per run it fetches the rule page on its own thread,
// fills the shared TRuleSet, publishes Ready and tells the window what to show.
//
// Window effects go through the callbacks of TRuleWorkerWindow, called on the
// worker's thread in the order they must take effect; the window forwards each
// to its own thread (queued calls keep that order). A message box is waited
// for: ShowMessage gets a `closed` function that the window calls, from any
// thread, once the user has closed the box; the worker goes on only then.
//
// Shutdown: the owner's Stop() cancels a pending fetch, ends a wait for a
// message box, and no callback is called after the worker has seen it; the
// destructor stops and joins, so it never waits on the network or on a user.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "online/RuleSet.h"

struct TRuleWorkerWindow {
  std::function<void(const std::string& caption)> SetCaption;
  std::function<void(const std::string& text, std::function<void()> closed)> ShowMessage;
  std::function<void()> StartTimer4;
};

class TRuleWorker {
 public:
  // `rules` must outlive the worker.
  TRuleWorker(TRuleSet& rules, TRuleWorkerWindow window);
  ~TRuleWorker();
  TRuleWorker(const TRuleWorker&) = delete;
  TRuleWorker& operator=(const TRuleWorker&) = delete;

  // Starts the one run on a new thread; calls after the first do nothing.
  void Start(std::string ruleUrl);
  void Start();  // the built-in rule page address (addresses::RuleUrl())
  void Stop();
  // Waits for the thread to end (at once after Stop()).
  void Join();
  bool Finished() const { return finished_.load(std::memory_order_acquire); }

 private:
  struct Shared;
  void BMDThread1Execute(const std::string& ruleUrl);
  // Shows one effect; false once a stop was requested.
  bool Show(const rules::Effect& effect);

  TRuleSet& rules_;
  TRuleWorkerWindow window_;
  std::shared_ptr<Shared> shared_;
  std::atomic<bool> finished_{false};
  bool started_ = false;
  std::thread thread_;
};
