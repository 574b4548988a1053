#include "online/RuleWorker.h"

#include <exception>

#include "online/Addresses.h"
#include "online/IEgetHttp.h"

// Outlives the worker when the window still holds a `closed` function.
struct TRuleWorker::Shared {
  std::mutex mutex;
  std::condition_variable cv;
  std::atomic<bool> stop{false};
  unsigned closedBoxes = 0;  // under mutex
};

TRuleWorker::TRuleWorker(TRuleSet& rules, TRuleWorkerWindow window)
    : rules_(rules), window_(std::move(window)), shared_(std::make_shared<Shared>()) {}

TRuleWorker::~TRuleWorker() {
  Stop();
  Join();
}

void TRuleWorker::Start() {
  Start(addresses::RuleUrl());
}

void TRuleWorker::Start(std::string ruleUrl) {
  if (started_) return;
  started_ = true;
  thread_ = std::thread([this, url = std::move(ruleUrl)] {
    BMDThread1Execute(url);
    finished_.store(true, std::memory_order_release);
  });
}

void TRuleWorker::Stop() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->stop.store(true);
  }
  shared_->cv.notify_all();
}

void TRuleWorker::Join() {
  if (thread_.joinable()) thread_.join();
}

bool TRuleWorker::Show(const rules::Effect& effect) {
  if (shared_->stop.load()) return false;
  switch (effect.kind) {
    case rules::EffectKind::SetCaption:
      if (window_.SetCaption) window_.SetCaption(effect.text);
      break;
    case rules::EffectKind::StartTimer4:
      if (window_.StartTimer4) window_.StartTimer4();
      break;
    case rules::EffectKind::ShowMessage: {
      if (!window_.ShowMessage) break;
      unsigned waitFor = 0;
      {
        std::lock_guard lock(shared_->mutex);
        waitFor = shared_->closedBoxes + 1;
      }
      std::weak_ptr<Shared> weak = shared_;
      window_.ShowMessage(effect.text, [weak] {
        if (auto shared = weak.lock()) {
          {
            std::lock_guard lock(shared->mutex);
            ++shared->closedBoxes;
          }
          shared->cv.notify_all();
        }
      });
      std::unique_lock lock(shared_->mutex);
      shared_->cv.wait(lock,
                       [&] { return shared_->stop.load() || shared_->closedBoxes >= waitFor; });
      break;
    }
  }
  return !shared_->stop.load();
}

void TRuleWorker::BMDThread1Execute(const std::string& ruleUrl) {
  if (!Show({rules::EffectKind::SetCaption, rules::CaptionLoading()})) return;
  std::string page;
  const bool fetched = IEgetHttp::FetchPage(ruleUrl, page, &shared_->stop);
  if (shared_->stop.load()) return;
  rules::RulePageReading reading;
  try {
    reading = rules::ReadRulePage(fetched, page);
  } catch (const std::exception& e) {
    // What the window's general error display would show; the rule set stays
    // unloaded and the player not ready.
    Show({rules::EffectKind::ShowMessage, e.what()});
    return;
  }
  // Values first, Ready last, then the effects (Timer4 may read the rules).
  rules::ApplyReading(rules_, reading);
  for (const rules::Effect& effect : reading.effects) {
    if (!Show(effect)) return;
  }
}
