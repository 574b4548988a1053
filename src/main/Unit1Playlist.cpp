// The playlist's row menu and its file dialogs. The rows and the list files
// are the player core's: each handler reads its input and calls the core.
#include <QAction>
#include <QFileDialog>
#include <QFileIconProvider>
#include <filesystem>
#include <system_error>

#include "common/codepage.h"
#include "main/UiText.h"
#include "main/Unit1.h"

namespace fs = std::filesystem;

namespace {

// File types by name only: the default provider reads the start of every file
// it lists to guess its type, and a named pipe in the folder then blocks the
// dialog, and the window, for ever.
class TNameOnlyIconProvider : public QFileIconProvider {
 public:
  QString type(const QFileInfo& info) const override {
    if (info.isDir()) return QStringLiteral("Folder");
    return info.suffix().isEmpty() ? QStringLiteral("File") : info.suffix().toUpper() + " File";
  }
};

}  // namespace

void TForm1::SeedPlaylist() {
  // A first start copies the default list; an existing playlist.txt, even an
  // empty one, is never replaced. A failed copy is not reported.
  std::error_code ec;
  fs::path target = cp::AnsiToPath(state_.UserDir + "playlist.txt");
  if (fs::exists(target, ec)) return;
  // The copy is the user's to edit, even of a default list installed read-only.
  if (fs::copy_file(cp::AnsiToPath(state_.AppDir + "data/default.txt"), target,
                    fs::copy_options::skip_existing, ec)) {
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                    ec);
  }
}

void TForm1::N1Click() {
  player_->PlayRow(playlistBox_->PopupIndex());
}

void TForm1::N2Click() {
  int index = playlistBox_->PopupIndex();
  if (index >= 0) player_->Remove(index);
}

void TForm1::N3Click() {
  player_->Clear();
}

void TForm1::N24Click() {
  player_->InvertChecks();
}

void TForm1::N12Click() {
  player_->RemoveChecked();
}

void TForm1::N19Click() {
  std::vector<std::string> refused = player_->AddFiles(RunFileDialog("OpenDialog1"));
  if (refused.empty()) return;
  std::string names;
  for (const std::string& file : refused) names += "\n" + file;
  ShowMessage(ui::Ansi(ui::kPathNotStorable) + names);
}

void TForm1::N23Click() {
  std::vector<std::string> files = RunFileDialog("SaveDialog1");
  if (!files.empty()) player_->NewList(files.front());
}

void TForm1::N20Click() {
  std::vector<std::string> files = RunFileDialog("OpenDialog2");
  if (!files.empty()) player_->Load(files.front());
}

void TForm1::N22Click() {
  std::vector<std::string> files = RunFileDialog("SaveDialog1");
  if (!files.empty()) player_->SaveAs(files.front());
}

std::vector<std::string> TForm1::RunFileDialog(const char* name) {
  TNameOnlyIconProvider icons;  // outlives the dialog
  QFileDialog dialog(this);
  dialog.setIconProvider(&icons);
  dialog.setObjectName(name);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  const std::string which = name;
  if (which == "OpenDialog1") {
    dialog.setWindowTitle(ui::Text("选取音乐"));
    dialog.setNameFilter(ui::Text("音乐文件(mp3,wma) (*.mp3 *.wma)"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
  } else if (which == "OpenDialog2") {
    dialog.setWindowTitle(ui::Text("歌曲列表文件"));
    dialog.setNameFilter(ui::Text("歌曲列表文件(txt) (*.txt)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
  } else {
    dialog.setWindowTitle(ui::Text("歌曲列表文件"));
    dialog.setNameFilter(ui::Text("歌曲列表文件 (*.txt)"));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
  }
  dialog.setWindowModality(Qt::WindowModal);
  std::vector<std::string> chosen;
  if (dialog.exec() != QDialog::Accepted) return chosen;
  for (const QString& file : dialog.selectedFiles()) chosen.push_back(ui::ToAnsi(file));
  return chosen;
}
