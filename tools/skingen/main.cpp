// skingen: draws Lyrano's art and writes the skin folders.
//
//   skingen [--out DATA_DIR] [--preview PREVIEW_DIR] [--icons ICON_DIR]
//
// DATA_DIR (default "data") receives lyrano.png and one folder per skin;
// with --preview, PREVIEW_DIR receives preview_<skin>.png, a still of the
// expanded window composed from the written files; with --icons, ICON_DIR
// receives the application icon as an icon theme folder wants it
// (NNxNN/apps/lyrano.png at every size a desktop asks for).
#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "Preview.h"
#include "SkinFiles.h"
#include "Theme.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  QString out = "data";
  QString preview;
  QString icons;
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--out" && i + 1 < args.size()) {
      out = args[++i];
    } else if (args[i] == "--preview" && i + 1 < args.size()) {
      preview = args[++i];
    } else if (args[i] == "--icons" && i + 1 < args.size()) {
      icons = args[++i];
    } else {
      std::fprintf(stderr,
                   "usage: skingen [--out DATA_DIR] [--preview PREVIEW_DIR] [--icons ICON_DIR]\n");
      return 2;
    }
  }
  QString error;
  if (!QDir().mkpath(out) || !skingen::WriteAppIcon(out, &error)) {
    std::fprintf(stderr, "skingen: %s\n",
                 qPrintable(error.isEmpty() ? "cannot create " + out : error));
    return 1;
  }
  if (!icons.isEmpty() && !skingen::WriteIconTheme(icons, &error)) {
    std::fprintf(stderr, "skingen: %s\n", qPrintable(error));
    return 1;
  }
  for (const skingen::Theme& theme : {skingen::GraphiteTheme(), skingen::JadeTheme()}) {
    if (!skingen::WriteSkin(theme, out, &error)) {
      std::fprintf(stderr, "skingen: %s\n", qPrintable(error));
      return 1;
    }
    std::printf("wrote %s/%s\n", qPrintable(out), qPrintable(theme.folder));
    if (!preview.isEmpty()) {
      QDir().mkpath(preview);
      const QImage still = skingen::DrawPreview(out, theme.folder);
      const QString file = preview + "/preview_" + theme.folder + ".png";
      if (still.isNull() || !still.save(file)) {
        std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(file));
        return 1;
      }
    }
  }
  return 0;
}
