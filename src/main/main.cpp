// The process entry: AppDir is the program's own folder, the first argument is
// kept for playing once the rule set is ready.
#include <QApplication>
#include <filesystem>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "main/Unit1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Lyrano"));
  // Hidden to the tray, the window is not "the last window": quit on Closed.
  app.setQuitOnLastWindowClosed(false);

  std::filesystem::path dir(QCoreApplication::applicationDirPath().toStdString());
  std::string appDir = cp::PathToAnsi(dir);
  if (appDir.empty() || appDir.back() != '/') appDir += '/';

  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(cp::PathToAnsi(std::filesystem::path(argv[i])));

  TForm1 form(appDir, args);
  QObject::connect(&form, &TForm1::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  form.show();
  return app.exec();
}
