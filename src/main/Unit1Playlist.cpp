// Playlist files and the playlist commands of the row menu. Every change of
// the rows is saved at once to the current playlist file.
#include <QAction>
#include <QFileDialog>
#include <QFileIconProvider>
#include <filesystem>
#include <system_error>

#include "common/codepage.h"
#include "common/errors.h"
#include "common/funPub.h"
#include "main/UiText.h"
#include "main/Unit1.h"
#include "playlist/PlaylistCommands.h"
#include "playlist/PlaylistFile.h"
#include "tags/TitleFromTags.h"

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

void TForm1::LoadPlaylist(const std::string& fileName) {
  TPlaylistReadResult result = ReadPlaylistFile(fileName);
  if (result.Status == TPlaylistReadStatus::Missing) return;
  // Filling lets the window run; the list commands wait for the whole list
  // (see PlaylistLoading).
  struct Loading {
    bool& flag;
    explicit Loading(bool& f) : flag(f) { flag = true; }
    ~Loading() { flag = false; }
  } loading(playlistLoading_);
  playlistBox_->ClearItems();
  state_.CurrentIndex = -1;
  for (const TPlaylistEntry& entry : result.Entries) playlistBox_->AddItem(entry);
  if (result.Status == TPlaylistReadStatus::Complete) {
    state_.PlaylistFile = fileName;
    return;
  }
  // Only a complete load makes a file current: no later save may write the
  // shorter list over the lines after the bad one.
  state_.PlaylistFile.clear();
  throw lyrano::ConvertError(result.Error);
}

void TForm1::SavePlaylist(const std::string& fileName) {
  if (fileName.empty()) return;
  WritePlaylistFile(fileName, playlistBox_->Entries());
}

int TForm1::AddToPlaylist(const std::string& title, const std::string& singer, int32_t songId,
                          bool play, const std::string& path) {
  if (PlaylistLoading()) return -1;
  TPlaylistEntry entry{StorableText(title), StorableText(singer), songId, path};
  int index = playlistBox_->IndexOf(entry);
  if (index < 0) {
    index = playlistBox_->AddItem(entry);
    SavePlaylist(state_.PlaylistFile);
  }
  state_.CurrentIndex = index;
  if (play) PlayCurrent();
  return index;
}

bool TForm1::PlaylistLoading() const {
  return playlistLoading_;
}

void TForm1::N1Click() {
  UserCommand();
  int index = playlistBox_->PopupIndex();
  if (index >= 0) state_.CurrentIndex = index;
  PlayCurrent();
}

void TForm1::N2Click() {
  int index = playlistBox_->PopupIndex();
  if (index < 0) return;
  playlistBox_->DeleteItem(index);
  state_.CurrentIndex =
      plcmd::CurrentAfterDelete(index, state_.CurrentIndex, playlistBox_->Count());
  SavePlaylist(state_.PlaylistFile);
}

void TForm1::N3Click() {
  playlistBox_->ClearItems();
  state_.CurrentIndex = -1;
  SavePlaylist(state_.PlaylistFile);
}

void TForm1::N24Click() {
  playlistBox_->InvertChecks();
}

void TForm1::N12Click() {
  playlistBox_->DeleteChecked();
  SavePlaylist(state_.PlaylistFile);
}

void TForm1::N19Click() {
  std::vector<std::string> files = RunFileDialog("OpenDialog1");
  bool taken = false;
  std::string refused;
  for (const std::string& file : files) {
    std::error_code ec;
    if (!fs::exists(cp::AnsiToPath(file), ec)) continue;
    // The list file could not store the path: refuse it rather than save a
    // line that reads back as another song.
    if (!StorablePath(file)) {
      refused += "\n" + file;
      continue;
    }
    std::string title, singer;
    TitleFromTags(file, title, singer);
    state_.CurrentIndex = AddToPlaylist(funPub::Trim(title), funPub::Trim(singer), 0, false, file);
    taken = true;
  }
  if (!refused.empty()) ShowMessage(ui::Ansi(ui::kPathNotStorable) + refused);
  if (taken) {
    UserCommand();
    PlayCurrent();
  }
}

void TForm1::N23Click() {
  std::vector<std::string> files = RunFileDialog("SaveDialog1");
  if (files.empty()) return;
  // The empty file is written before the rows go: if it cannot be created,
  // the rows and the current file stay as they were.
  WritePlaylistFile(files.front(), {});
  playlistBox_->ClearItems();
  state_.PlaylistFile = files.front();
}

void TForm1::N20Click() {
  std::vector<std::string> files = RunFileDialog("OpenDialog2");
  if (files.empty()) return;
  LoadPlaylist(files.front());
}

void TForm1::N22Click() {
  std::vector<std::string> files = RunFileDialog("SaveDialog1");
  if (files.empty()) return;
  SavePlaylist(files.front());
  state_.PlaylistFile = files.front();
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
