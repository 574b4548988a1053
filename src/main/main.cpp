// The process entry: help and the version are answered at once; a second
// launch hands its file arguments to the running instance and ends; otherwise
// AppDir is the program's own folder and the first argument is kept for
// playing once the rule set is ready.
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "main/CommandLine.h"
#include "main/SingleInstance.h"
#include "main/Unit1.h"

namespace {

int Print(std::FILE* to, const std::string& text, int exitCode) {
  std::fwrite(text.data(), 1, text.size(), to);
  std::fflush(to);
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  // The arguments' own bytes (a file name need not be text), read before
  // anything else: help and the version must not reach a running player, and
  // a relative file name means the folder this launch was started in.
  std::error_code ec;
  const std::string workingFolder = std::filesystem::current_path(ec).native();
  auto parse = [&] {
    return cmdline::Parse(std::vector<std::string>(argv + std::min(argc, 1), argv + argc),
                          workingFolder);
  };
  const cmdline::TCommandLine line = parse();
  switch (line.Action) {
    case cmdline::TAction::Help:
      return Print(stdout, cmdline::Usage(), 0);
    case cmdline::TAction::Version:
      return Print(stdout, cmdline::VersionText(), 0);
    case cmdline::TAction::Refuse:
      return Print(stderr, cmdline::RefusedText(line.Option), cmdline::kRefusedExit);
    case cmdline::TAction::Run:
      break;
  }

  // The sound server may hold 100 ms of our sound (unless the user says
  // otherwise): with its default for our small device buffer (12 ms) the
  // output thread woke about 700 times a second while playing, with this
  // once per buffer. Set while this is the only thread.
  setenv("PULSE_LATENCY_MSEC", "100", 0);

  // Before any start-up work, even before the display is opened: a second
  // launch needs neither.
  const QString instanceName = instance::ServerName(instance::ExecutablePath(), geteuid());
  const std::vector<std::string>& handed = line.Files;
  if (instance::HandOver(instanceName, handed) != instance::THandOver::NoInstance) return 0;

  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Lyrano"));
  // Hidden to the tray, the window is not "the last window": quit on Closed.
  app.setQuitOnLastWindowClosed(false);

  // Two launches at the same moment: the one that lost the name hands over to
  // the winner. A name held by someone who does not answer leaves this one
  // running on its own.
  TAppInstances instances(instanceName);
  if (!instances.Listen() &&
      instance::HandOver(instanceName, handed) != instance::THandOver::NoInstance)
    return 0;

  std::filesystem::path dir(QCoreApplication::applicationDirPath().toStdString());
  std::string appDir = cp::PathToAnsi(dir);
  if (appDir.empty() || appDir.back() != '/') appDir += '/';

  // The toolkit has taken its own options (-style, -platform ...) out of
  // argv: the files are what it left.
  const cmdline::TCommandLine left = parse();
  std::vector<std::string> args;
  for (const std::string& file : left.Action == cmdline::TAction::Run ? left.Files : line.Files)
    args.push_back(cp::PathToAnsi(std::filesystem::path(file)));

  TForm1 form(appDir, args);
  form.ListenTo(instances);
  QObject::connect(&form, &TForm1::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  form.show();
  // The media bus once the first frame is up: connecting and registering take
  // 15-30 ms, which the window need not wait for.
  QTimer::singleShot(250, &form, [&form] { form.StartMediaControls(); });
  return app.exec();
}
