// The start-up worker on its own thread: the effects reach the window in order,
// a message box holds the worker until it is closed, and shutdown cancels a
// pending fetch or an open box instead of waiting for it.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "online/OnlineFixtures.h"
#include "online/RuleWorker.h"
#include "support/TestSupport.h"

namespace {

using namespace std::chrono_literals;

// Records the window effects; boxes are closed by the test.
class FakeWindow {
 public:
  TRuleWorkerWindow Callbacks(bool autoClose) {
    autoClose_ = autoClose;
    return {[this](const std::string& caption) { Add("caption:" + caption); },
            [this](const std::string& text, std::function<void()> closed) {
              if (autoClose_) {
                Add("box:" + text);
                closed();
              } else {
                Add("box:" + text, std::move(closed));
              }
            },
            [this] { Add("timer4"); }};
  }
  // Waits (bounded, for a stuck worker) until `count` effects have arrived.
  std::vector<std::string> WaitFor(size_t count) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, 20s, [&] { return effects_.size() >= count; });
    return effects_;
  }
  std::vector<std::string> Effects() {
    std::lock_guard lock(mutex_);
    return effects_;
  }
  // Closes the oldest open box (waiting, bounded, for one to open).
  void CloseBox() {
    std::function<void()> closed;
    {
      std::unique_lock lock(mutex_);
      cv_.wait_for(lock, 20s, [&] { return !pending_.empty(); });
      ASSERT_FALSE(pending_.empty());
      closed = pending_.front();
      pending_.erase(pending_.begin());
    }
    closed();
  }

 private:
  void Add(const std::string& effect, std::function<void()> closed = {}) {
    {
      std::lock_guard lock(mutex_);
      effects_.push_back(cp::AnsiToUtf8(effect));
      if (closed) pending_.push_back(std::move(closed));
    }
    cv_.notify_all();
  }
  bool autoClose_ = true;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::string> effects_;
  std::vector<std::function<void()>> pending_;
};

TEST(RuleWorker, ReadyPagePublishesTheRulesThenStartsTimer4) {
  testsupport::LoopbackServer server;
  const TRuleValues v = onlinetest::SiteRules();
  server.server().Get("/rules.html", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(onlinetest::RulePage(v, "1"), "text/html; charset=utf-8");
  });
  server.Start();
  onlinetest::ScopedEnv env("LYRANO_RULE_URL", server.url("/rules.html"));

  TRuleSet rules;
  FakeWindow window;
  bool readyAtTimer4 = false;
  TRuleWorkerWindow callbacks = window.Callbacks(true);
  auto record = callbacks.StartTimer4;
  callbacks.StartTimer4 = [&] {
    readyAtTimer4 = rules.IsReady();
    record();
  };
  TRuleWorker worker(rules, callbacks);
  worker.Start();
  worker.Join();
  EXPECT_TRUE(worker.Finished());
  EXPECT_EQ(window.Effects(),
            (std::vector<std::string>{"caption:Lyrano 初始化中....", "caption:Lyrano", "timer4"}));
  EXPECT_TRUE(readyAtTimer4);
  EXPECT_EQ(static_cast<const TRuleValues&>(rules), v);
}

TEST(RuleWorker, FailureBoxIsClosedBeforeTheCaptionAndVersionBox) {
  testsupport::LoopbackServer server;
  TRuleValues v = onlinetest::SiteRules();
  v.jslrc.clear();
  server.server().Get("/r", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(onlinetest::RulePage(v, "2"), "text/html");
  });
  server.Start();

  TRuleSet rules;
  FakeWindow window;
  TRuleWorker worker(rules, window.Callbacks(false));
  worker.Start(server.url("/r"));
  const std::string noRules = "box:云库获取失败，请检测网络！或升级到最新版本！";
  EXPECT_EQ(window.WaitFor(2), (std::vector<std::string>{"caption:Lyrano 初始化中....", noRules}));
  // Nothing else happens while the box is open.
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(window.Effects().size(), 2u);
  window.CloseBox();
  const std::string newVersion = "box:您当前使用的并不是最新版本！请及时升级，保证正常使用。";
  EXPECT_EQ(window.WaitFor(4),
            (std::vector<std::string>{"caption:Lyrano 初始化中....", noRules,
                                      "caption:Lyrano 初始化失败!!!!!", newVersion}));
  window.CloseBox();
  worker.Join();
  EXPECT_FALSE(rules.IsReady());
  EXPECT_EQ(window.Effects().size(), 4u);
}

TEST(RuleWorker, UnreachablePageShowsNothing) {
  testsupport::LoopbackServer server;
  server.server().Get("/r",
                      [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
  server.Start();
  TRuleSet rules;
  FakeWindow window;
  TRuleWorker worker(rules, window.Callbacks(true));
  worker.Start(server.url("/r"));
  worker.Start(server.url("/r"));  // runs once only
  worker.Join();
  EXPECT_EQ(window.Effects(), (std::vector<std::string>{"caption:Lyrano 初始化中...."}));
  EXPECT_FALSE(rules.IsReady());
}

TEST(RuleWorker, ShutdownCancelsAStalledFetch) {
  // Declared before the server, so they outlive the handler it may still run.
  std::mutex mutex;
  std::condition_variable cv;
  bool release = false;
  bool handlerWaiting = false;
  testsupport::LoopbackServer server;
  server.server().Get("/r", [&](const httplib::Request&, httplib::Response& res) {
    std::unique_lock lock(mutex);
    handlerWaiting = true;
    cv.notify_all();
    cv.wait_for(lock, 30s, [&] { return release; });
    res.set_content(onlinetest::RulePage(onlinetest::SiteRules()), "text/html");
  });
  server.Start();

  TRuleSet rules;
  FakeWindow window;
  {
    TRuleWorker worker(rules, window.Callbacks(true));
    worker.Start(server.url("/r"));
    std::unique_lock lock(mutex);
    ASSERT_TRUE(cv.wait_for(lock, 20s, [&] { return handlerWaiting; }));
  }  // the destructor stops and joins while the server still stalls
  {
    std::lock_guard lock(mutex);
    EXPECT_FALSE(release);
    release = true;
  }
  cv.notify_all();
  EXPECT_FALSE(rules.IsReady());
  EXPECT_EQ(window.Effects(), (std::vector<std::string>{"caption:Lyrano 初始化中...."}));
}

TEST(RuleWorker, ShutdownEndsTheWaitForAnOpenBox) {
  testsupport::LoopbackServer server;
  server.server().Get("/r", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("no rules here, ver=【3】", "text/html; charset=utf-8");
  });
  server.Start();
  TRuleSet rules;
  FakeWindow window;
  {
    TRuleWorker worker(rules, window.Callbacks(false));
    worker.Start(server.url("/r"));
    ASSERT_EQ(window.WaitFor(2).size(), 2u);
    worker.Stop();
    worker.Join();
  }
  // No effect after the stop, and closing the box late is harmless.
  EXPECT_EQ(window.Effects().size(), 2u);
  window.CloseBox();
}

}  // namespace
