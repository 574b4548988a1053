// The player core: the one owner of what plays. It holds the playlist rows
// (a TRowModel), the current row and list file, the one current stream, the
// volume, the automatic advance and its guard, the song lookup lane, and the
// lyric timeline with the tick's cursor. The window, the tray, a second
// launch and the media bus all send it the same commands and show what its
// signals and accessors say; none of them keeps a copy of this state.
//
// Audio is reached through BASS.h alone. The play state is the engine's: it
// is read from the stream when asked, so two commands in quick succession
// each see the effect of the one before.
//
// Thread: the thread that owns the object (the window's). The engine's end
// notification is posted to it; lookups run on a job lane and deliver back
// to it. Commands may throw lyrano::Error (a list file that cannot be written
// or read); errors of a delivery that no command awaits go out as Failed.
// No command runs the event loop.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lyrics/LyricOffsets.h"
#include "lyrics/LyricTimeline.h"
#include "online/RuleSet.h"
#include "playback/BASS.h"
#include "playback/PlaySequence.h"
#include "playback/PlaybackTick.h"
#include "player/RowModel.h"

class QTimer;
class TJobLane;
struct TSongLookup;

// The song shown last: what the caption and the media bus name. For an
// internet radio that announces what it plays, the song it announced.
struct TSongInfo {
  uint64_t Track = 0;  // counts the songs shown (each announced one too); 0 before the first
  std::string Title;   // trimmed, local code page
  std::string Singer;  // trimmed, may be empty
};

// What one tick saw of the stream that plays.
struct TTickInfo {
  DWORD EngineState = BASS_ACTIVE_STOPPED;  // BASS_ACTIVE_*
  int Percent = 0;                          // progress 0..100
  std::string TimeText;                     // "E / T"
};

class TPlayer : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxVolume = 100;
  static constexpr int kStartVolume = 98;
  static constexpr int kAdvanceDelayMs = 100;
  // One step of "歌词提前0.5秒" and "歌词延后0.5秒".
  static constexpr int kLyricStepMs = 500;

  explicit TPlayer(QObject* parent = nullptr);
  ~TPlayer() override;

  // State.
  TRowModel& Rows() { return *rows_; }
  const TRowModel& Rows() const { return *rows_; }
  int CurrentIndex() const { return current_; }
  const std::string& PlaylistFile() const { return playlistFile_; }
  HSTREAM Stream() const { return stream_; }
  DWORD EngineState() const;  // BASS_ACTIVE_* of the current stream
  int Volume() const { return volume_; }
  bool AdvancePending() const { return advancePending_; }
  bool SongLoading() const;  // an online song is being looked up or opened
  // A long fill of the rows runs: commands that change the rows or write a
  // list file are refused meanwhile (they return at once, changing nothing).
  bool Busy() const { return rows_->Busy(); }
  TRuleSet& Rules() { return rules_; }
  const TRuleSet& Rules() const { return rules_; }
  const TLyricTimeline& Lyrics() const { return lyrics_; }
  const TSongInfo& Song() const { return song_; }
  // The position and length of the stream in microseconds; 0 when unknown.
  int64_t PositionUs() const;
  int64_t LengthUs() const;
  // The lyric line reached last, empty when none.
  std::string LyricLine() const;
  // The user's lyric offset of the song shown, in milliseconds (positive: the
  // lines show earlier); the lyric file's own offset adds to it.
  int LyricOffsetMs() const { return lyricOffsetMs_; }

  // Playing. Each is one user command: it re-arms the automatic advance.
  void Play();       // resumes a pause; from the first row when nothing plays
  void Pause();      // pauses what plays
  void PlayPause();  // pauses what plays, else Play
  void Stop();
  void Next();
  void Previous();
  void PlayRow(int index);  // a double-click, or "播放歌曲" on a row (-1: the current row)
  // A local file handed over by the desktop or a second launch: its tags give
  // title and singer. Nothing happens for a name that is not a regular file.
  void PlayFile(const std::string& path);
  // One song by its description (the audition of a search result).
  bool PlayEntry(const std::string& title, const std::string& singer, int32_t songId,
                 const std::string& path);
  // A user's audition of one song that is not in the list (a search result).
  void Audition(const TPlaylistEntry& entry);
  // Plays the row at CurrentIndex, moving over rows that cannot be played.
  void PlayCurrent();

  // 0..kMaxVolume, clamped; applies to the stream and every later one.
  void SetVolume(int volume);

  // Moves the song that is loaded to `positionUs`, clamped to 0..its length,
  // whatever its play state; the lyric lines follow at once, forwards and
  // backwards. The length ends the song as playing to it does. Refused
  // quietly (no signal) without a stream or while its length is unknown.
  void Seek(int64_t positionUs);
  // Seek by `deltaUs` from the position now (negative: back).
  void SeekBy(int64_t deltaUs);

  // Rows. Each change is saved at once to the current list file.
  // Adds one song unless the list has it already; the index of its row, which
  // becomes current; plays it when `play`. -1 while Busy.
  int Add(const TPlaylistEntry& entry, bool play);
  // Adds local files by their tags; the names refused because a list line
  // cannot hold them. Plays the last one added.
  std::vector<std::string> AddFiles(const std::vector<std::string>& files);
  // Adds many songs (the ticked search results) in chunks, skipping those
  // the list has, saves once, then plays the current row.
  void AddMany(std::vector<TPlaylistEntry> entries);
  void Remove(int index);
  void RemoveChecked();
  void Clear();
  void SetChecked(int index, bool checked) { rows_->SetChecked(index, checked); }
  void InvertChecks() { rows_->InvertChecks(); }
  // Loads a list file in chunks. A missing file changes nothing. A malformed
  // one loads up to its bad line, becomes no one's current file, and throws
  // its error once those rows are in.
  void Load(const std::string& fileName);
  // Writes the rows to `fileName` (nothing for an empty name).
  void Save(const std::string& fileName);
  // Writes the rows to `fileName`, which becomes the current list file.
  void SaveAs(const std::string& fileName);
  // Starts an empty list in `fileName`, written before the rows go.
  void NewList(const std::string& fileName);

  // Lyric timing of the song shown (nothing before the first song). Each
  // command keeps the song's new offset in the offsets file and shows the
  // lines of the new timing at once, also while paused; a song that plays
  // again, now or after a restart, starts with its offset. The offsets file
  // cannot be written or read: the offset holds for this run, and the command
  // throws lyrano::FileError.
  // Reads the offsets in `path` (lyrictiming.txt in the user's folder); until
  // then they are kept for this run only. A bad file gives no offsets.
  void UseLyricOffsetFile(const std::string& path);
  void ShiftLyrics(int deltaMs);  // positive: the lines show earlier
  void LyricsEarlier();           // "歌词提前0.5秒": ShiftLyrics(kLyricStepMs)
  void LyricsLater();             // "歌词延后0.5秒": ShiftLyrics(-kLyricStepMs)
  void ResetLyricTiming();        // "歌词时间复原": back to the lyric file's timing

  // The tick (every 200 ms, from the window): reads the stream, follows the
  // title a radio announces, moves the lyric cursor, and announces what changed.
  TTickInfo Tick();
  // Progress and time text of the stream in any play state (the tick fills
  // them only while it plays); empty without a stream.
  TTickInfo Progress() const;

  // The window closes: the sound stops, no lookup delivers, nothing starts.
  void Shutdown();

 signals:
  // A song's title and singer are shown: emitted before its stream opens.
  void SongStarted(const TSongInfo& song);
  // The stream that plays announced another song (an internet radio's
  // title), or stopped announcing one: the shown song is now `song`. The
  // playlist row keeps its own title.
  void SongTitleChanged(const TSongInfo& song);
  // The engine's state of the current stream changed (BASS_ACTIVE_*).
  void StateChanged(DWORD engineState);
  void VolumeChanged(int volume);
  // A seek moved the song to `positionUs`.
  void Seeked(int64_t positionUs);
  // The current row or list file changed.
  void CurrentChanged(int index);
  // The commands that change songs set the progress back to 0.
  void ProgressReset();
  // A tick reached a lyric line or moved the lines (the nine labels' texts).
  void LyricLineChanged(const tick::TLyricFrame& frame);
  // The song has no lyrics: the lines clear.
  void LyricsCleared();
  // The user's lyric offset of the song shown changed (a command, or a song
  // with another offset started).
  void LyricOffsetChanged(int offsetMs);
  // A load or a batch add has finished (rows are all in).
  void FillFinished();
  // An error of work no command awaits (a lookup, a delivery, a late fill).
  void Failed(const std::string& message);

 private:
  static void StreamEndSyncProc(HSYNC handle, DWORD channel, DWORD data, void* user);
  static HSTREAM CreateStream(const std::string& location);
  // Seconds of `bytes` of the stream's PCM; 0 for a negative count.
  static double SecondsOf(HSTREAM h, int64_t bytes);
  void StreamEnded(HSTREAM channel);
  void StreamEndSync();
  void AdvanceTimerFired();
  void FreeStream();
  DWORD AdoptStream(HSTREAM stream);
  void PlayFound(const std::string& title, const std::string& singer, TSongLookup& found);
  void ShowSong(const std::string& title, const std::string& singer, const std::string& path);
  void SetLyricOffset(int offsetMs);
  void ApplyLyricOffset(int offsetMs);
  int32_t LyricSecondsAt(double positionSeconds) const;
  void LoadLocalLyrics(const std::string& path);
  void PlaceLyricsAt(int64_t bytes);
  void FollowStreamTitle();
  void OpenedOrSkip(DWORD played);
  void UserCommand();
  void SetCurrent(int index);
  void NoteState();
  void FillProgress(TTickInfo& info, double* positionSeconds) const;
  void Guard(const std::function<void()>& delivery);

  std::unique_ptr<TRowModel> rows_;
  std::unique_ptr<TJobLane> lookups_;
  QTimer* advanceTimer_ = nullptr;  // "Timer2"
  TRuleSet rules_;
  TLyricTimeline lyrics_;
  TSongInfo song_;
  TLyricOffsetStore lyricOffsets_;
  std::string songKey_;  // LyricSongKey of the song shown, empty before the first
  int lyricOffsetMs_ = 0;
  // The song as the play command named it, shown again when a radio
  // announces an empty title; and the radio's packet seen last.
  std::string rowTitle_;
  std::string rowSinger_;
  std::string streamMeta_;
  playseq::TAdvanceGuard advanceGuard_;
  std::string playlistFile_;
  HSTREAM stream_ = 0;
  HSYNC endSync_ = 0;
  int current_ = -1;
  int volume_ = kStartVolume;
  DWORD lastState_ = BASS_ACTIVE_STOPPED;
  bool advancePending_ = false;
  bool closing_ = false;
};
