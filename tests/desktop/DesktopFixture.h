// The player window of the window tests, plus what the desktop tests need:
// a program folder holding the real player binary (so its single-instance name
// is this test's own), real second launches of it, and hiding to the tray.
#pragma once

#include <sys/types.h>

#include <QProcess>
#include <memory>
#include <string>
#include <vector>

#include "../window/WindowFixture.h"
#include "main/SingleInstance.h"

namespace desktoptest {

class DesktopTest : public wintest::WindowTest {
 protected:
  void TearDown() override;

  // Dir()/bin/lyrano, a link to the built player; made on first use.
  std::filesystem::path Program();
  QString InstanceName();

  // The window listens as the running instance of Program().
  TAppInstances& Listen();
  TAppInstances* Instances() { return instances_.get(); }

  // Runs Program() with `args` to its end, the event loop turning meanwhile;
  // its exit code, -1 when it did not end within `ms`.
  int Launch(const std::vector<std::string>& args, int ms = 15000);
  // Runs Program() in `folder` with `args` as bytes (a file name need not be
  // text), to its end, the event loop turning meanwhile; as Launch.
  int LaunchBytes(const std::filesystem::path& folder, const std::vector<std::string>& args,
                  int ms = 15000);
  // Starts Program() with `args` and leaves it running.
  QProcess& Spawn(const std::vector<std::string>& args);

  // Hides the window to the tray (a tray is assumed present).
  void HideToTray();

 private:
  std::unique_ptr<TAppInstances> instances_;
  std::vector<std::unique_ptr<QProcess>> running_;
};

// A blocking local-socket client of the abstract name `name`; -1 when nobody
// listens. Safe after fork (plain system calls).
int ConnectAbstract(const std::string& name);

}  // namespace desktoptest
