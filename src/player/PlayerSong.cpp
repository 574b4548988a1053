// The player core's song side: the title and singer shown (and what an
// internet radio announces), the lyrics of a local file (the lyric file beside
// it, else its tag's), and the lyric timing with its per-song offsets.
#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "common/codepage.h"
#include "common/errors.h"
#include "common/funPub.h"
#include "lyrics/LrcParser.h"
#include "lyrics/TagLyrics.h"
#include "playback/StreamTitle.h"
#include "player/Player.h"

namespace {

// The path with its extension replaced by ".lrc" (appended when it has none).
std::string LyricFileFor(const std::string& path) {
  size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ".lrc";
  return path.substr(0, dot) + ".lrc";
}

}  // namespace

// The lyrics of a local file: the lyric file beside it, else its tag's own.
void TPlayer::LoadLocalLyrics(const std::string& path) {
  std::string lrc = LyricFileFor(path);
  std::error_code ec;
  if (std::filesystem::exists(cp::AnsiToPath(lrc), ec)) {
    // A lyric file that cannot be read leaves the song without lyrics.
    try {
      if (LoadLyricFile(lyrics_, lrc)) lyrics_.HasLyrics = true;
    } catch (const lyrano::Error&) {
      lyrics_.HasLyrics = false;
    }
  }
  // Without a lyric file (or one that could be read), the tag's own lyrics.
  if (!lyrics_.HasLyrics) {
    try {
      lyrics_.HasLyrics = FillFromTagLyrics(lyrics_, ReadTagLyrics(path));
    } catch (const lyrano::Error&) {
      lyrics_.HasLyrics = false;
    }
    // Still lines name no current line: an earlier song's red line goes.
    if (lyrics_.HasLyrics && !lyrics_.StillLines.empty()) emit LyricsCleared();
  }
}

void TPlayer::ShowSong(const std::string& title, const std::string& singer,
                       const std::string& path) {
  song_.Track++;
  song_.Title = funPub::Trim(title);
  song_.Singer = funPub::Trim(singer);
  songKey_ = LyricSongKey(song_.Title, song_.Singer, path);
  rowTitle_ = song_.Title;
  rowSinger_ = song_.Singer;
  streamMeta_.clear();
  emit SongStarted(song_);
  SetLyricOffset(lyricOffsets_.Get(songKey_));
}

// A radio's announcement is another song for whoever shows what plays: it
// gets a track number of its own. A packet without a title changes nothing;
// an empty title brings back the song as the play command named it.
void TPlayer::FollowStreamTitle() {
  const char* meta = BASS_ChannelGetTags(stream_, BASS_TAG_META);
  std::string packet = meta != nullptr ? meta : "";
  if (packet == streamMeta_) return;
  streamMeta_ = std::move(packet);
  std::optional<streamtitle::TStreamSong> announced = streamtitle::SongOf(streamMeta_);
  if (!announced) return;
  if (announced->Title.empty()) *announced = {rowTitle_, rowSinger_};
  if (announced->Title == song_.Title && announced->Singer == song_.Singer) return;
  song_.Track++;
  song_.Title = announced->Title;
  song_.Singer = announced->Singer;
  emit SongTitleChanged(song_);
}

// The lyric lines at `bytes` of the stream, whatever they showed before.
void TPlayer::PlaceLyricsAt(int64_t bytes) {
  if (!lyrics_.HasLyrics) return;
  int32_t played = LyricSecondsAt(SecondsOf(stream_, bytes));
  tick::TLyricFrame frame = tick::PlaceLyrics(lyrics_.Times, lyrics_.Texts, lyrics_.Cursor, played);
  if (frame.Update) emit LyricLineChanged(frame);
}

int32_t TPlayer::LyricSecondsAt(double positionSeconds) const {
  return tick::LyricSecondsAt(positionSeconds, lyrics_.OffsetMs + lyricOffsetMs_);
}

void TPlayer::SetLyricOffset(int offsetMs) {
  if (offsetMs == lyricOffsetMs_) return;
  lyricOffsetMs_ = offsetMs;
  emit LyricOffsetChanged(offsetMs);
}

void TPlayer::UseLyricOffsetFile(const std::string& path) {
  lyricOffsets_.Open(path);
  if (!songKey_.empty()) SetLyricOffset(lyricOffsets_.Get(songKey_));
}

void TPlayer::ShiftLyrics(int deltaMs) {
  int64_t offset = int64_t{lyricOffsetMs_} + deltaMs;
  ApplyLyricOffset(
      static_cast<int>(std::clamp<int64_t>(offset, -kMaxLyricOffsetMs, kMaxLyricOffsetMs)));
}

void TPlayer::LyricsEarlier() {
  ShiftLyrics(kLyricStepMs);
}

void TPlayer::LyricsLater() {
  ShiftLyrics(-kLyricStepMs);
}

void TPlayer::ResetLyricTiming() {
  ApplyLyricOffset(0);
}

void TPlayer::ApplyLyricOffset(int offsetMs) {
  if (songKey_.empty() || closing_ || offsetMs == lyricOffsetMs_) return;
  SetLyricOffset(offsetMs);
  DWORD state = EngineState();
  if (state == BASS_ACTIVE_PLAYING || state == BASS_ACTIVE_PAUSED)
    PlaceLyricsAt(static_cast<int64_t>(BASS_ChannelGetPosition(stream_, BASS_POS_BYTE)));
  // Saved last: a file that cannot be written still leaves the new timing on.
  lyricOffsets_.Set(songKey_, offsetMs);
}
