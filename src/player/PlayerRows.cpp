// The player core's rows: adding, removing, loading and saving the playlist.
// Every change of the rows is saved at once to the current list file; while a
// long fill runs, every command here that changes rows or writes a file is
// refused (see Busy).
#include <filesystem>
#include <memory>
#include <system_error>

#include "common/codepage.h"
#include "common/errors.h"
#include "common/funPub.h"
#include "player/Player.h"
#include "playlist/PlaylistCommands.h"
#include "playlist/PlaylistFile.h"
#include "tags/TitleFromTags.h"

namespace {

// What a list line stores of a song given by a command.
TPlaylistEntry Storable(const TPlaylistEntry& entry) {
  return {StorableText(funPub::Trim(entry.Title)), StorableText(funPub::Trim(entry.geshou)),
          entry.SongId, entry.mp3Patch};
}

}  // namespace

int TPlayer::Add(const TPlaylistEntry& song, bool play) {
  if (Busy()) return -1;
  TPlaylistEntry entry = Storable(song);
  int index = rows_->IndexOf(entry);
  if (index < 0) {
    index = rows_->Append(entry);
    Save(playlistFile_);
  }
  SetCurrent(index);
  if (play) {
    UserCommand();
    PlayCurrent();
  }
  return index;
}

std::vector<std::string> TPlayer::AddFiles(const std::vector<std::string>& files) {
  std::vector<std::string> refused;
  if (Busy()) return refused;
  bool taken = false;
  for (const std::string& file : files) {
    std::error_code ec;
    if (!std::filesystem::exists(cp::AnsiToPath(file), ec)) continue;
    // The list file could not store the path: refuse it rather than save a
    // line that reads back as another song.
    if (!StorablePath(file)) {
      refused.push_back(file);
      continue;
    }
    std::string title, singer;
    TitleFromTags(file, title, singer);
    Add({title, singer, 0, file}, false);
    taken = true;
  }
  if (taken) {
    UserCommand();
    PlayCurrent();
  }
  return refused;
}

void TPlayer::AddMany(std::vector<TPlaylistEntry> songs) {
  if (Busy()) return;
  if (songs.empty()) {
    // Nothing ticked: what was current plays.
    UserCommand();
    PlayCurrent();
    return;
  }
  for (TPlaylistEntry& song : songs) song = Storable(song);
  // Each song, added or found, becomes current in turn: the last one plays.
  auto last = std::make_shared<int>(current_);
  rows_->Fill(
      std::move(songs),
      [this, last](const TPlaylistEntry& entry) {
        int index = rows_->IndexOf(entry);
        *last = index >= 0 ? index : rows_->Count();
        return index < 0;
      },
      [this, last](bool completed) {
        Guard([this, last, completed] {
          // What was added is kept, also when the fill was cut short.
          Save(playlistFile_);
          SetCurrent(*last);
          emit FillFinished();
          if (!completed) return;
          UserCommand();
          PlayCurrent();
        });
      });
}

void TPlayer::Remove(int index) {
  if (Busy() || !rows_->Remove(index)) return;
  SetCurrent(plcmd::CurrentAfterDelete(index, current_, rows_->Count()));
  Save(playlistFile_);
}

void TPlayer::RemoveChecked() {
  if (Busy()) return;
  // The current index is left as it is: the next play brings it into range.
  rows_->RemoveChecked();
  Save(playlistFile_);
}

void TPlayer::Clear() {
  if (Busy()) return;
  rows_->Clear();
  SetCurrent(-1);
  Save(playlistFile_);
}

void TPlayer::Load(const std::string& fileName) {
  if (Busy()) return;
  TPlaylistReadResult result = ReadPlaylistFile(fileName);
  if (result.Status == TPlaylistReadStatus::Missing) return;
  rows_->Clear();
  SetCurrent(-1);
  // Only a complete load makes a file current: no later save may write the
  // shorter list over the lines after the bad one. Until the last row is in,
  // no file is current either, and the row commands wait (Busy).
  const bool complete = result.Status == TPlaylistReadStatus::Complete;
  playlistFile_.clear();
  rows_->Fill(std::move(result.Entries), nullptr, [this, complete, fileName](bool completed) {
    if (complete && completed) playlistFile_ = fileName;
    emit FillFinished();
  });
  if (!complete) throw lyrano::ConvertError(result.Error);
}

void TPlayer::Save(const std::string& fileName) {
  if (fileName.empty() || Busy()) return;
  WritePlaylistFile(fileName, rows_->Entries());
}

void TPlayer::SaveAs(const std::string& fileName) {
  if (Busy()) return;
  Save(fileName);
  playlistFile_ = fileName;
}

void TPlayer::NewList(const std::string& fileName) {
  if (Busy()) return;
  // The empty file is written before the rows go: if it cannot be created,
  // the rows and the current file stay as they were.
  WritePlaylistFile(fileName, {});
  rows_->Clear();
  playlistFile_ = fileName;
}
