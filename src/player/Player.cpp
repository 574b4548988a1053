// The player core's playing side: the one stream, the play commands, the
// play order with its automatic advance, the song lookups and the tick.
#include "player/Player.h"

#include <QTimer>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>

#include "common/codepage.h"
#include "common/errors.h"
#include "common/funPub.h"
#include "lyrics/LrcParser.h"
#include "lyrics/LyricRetrieval.h"
#include "online/ResolveSong.h"
#include "player/JobLane.h"
#include "tags/TitleFromTags.h"

namespace {

// Decoded PCM, as BASS.h counts positions: 44100 Hz, 16-bit, stereo.
constexpr int64_t kPcmFrameBytes = 4;
constexpr int64_t kPcmRate = 44100;

}  // namespace

double TPlayer::SecondsOf(HSTREAM h, int64_t bytes) {
  return bytes >= 0 ? BASS_ChannelBytes2Seconds(h, static_cast<QWORD>(bytes)) : 0;
}

// A stream opened off the owner's thread, freed unless the core adopts it: a
// lookup made stale by a newer command drops its stream with it.
class TOpenedStream {
 public:
  TOpenedStream() = default;
  explicit TOpenedStream(HSTREAM handle) : handle_(handle) {}
  TOpenedStream(TOpenedStream&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}
  TOpenedStream& operator=(TOpenedStream&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  ~TOpenedStream() {
    if (handle_ != 0) BASS_StreamFree(handle_);
  }
  HSTREAM Release() { return std::exchange(handle_, 0); }

 private:
  HSTREAM handle_ = 0;
};

// An online song's address, lyrics and opened stream, found off the owner's thread.
struct TSongLookup {
  std::string Address;
  std::string LyricText;
  TOpenedStream Stream;
};

TPlayer::TPlayer(QObject* parent) : QObject(parent), rows_(std::make_unique<TRowModel>()) {
  setObjectName("Player");
  lookups_ = std::make_unique<TJobLane>(
      this, [this](const std::function<void()>& delivery) { Guard(delivery); });
  advanceTimer_ = new QTimer(this);
  advanceTimer_->setObjectName("Timer2");
  advanceTimer_->setInterval(kAdvanceDelayMs);
  advanceTimer_->setSingleShot(true);
  connect(advanceTimer_, &QTimer::timeout, this,
          [this] { Guard([this] { AdvanceTimerFired(); }); });
  lyrics_.Clear();
}

TPlayer::~TPlayer() {
  // Lookups first (cancelled, then joined): their late results die unrun.
  lookups_.reset();
  // No end notification may reach a core that is gone.
  FreeStream();
}

void TPlayer::Guard(const std::function<void()>& delivery) {
  try {
    delivery();
  } catch (const std::exception& e) {
    emit Failed(e.what());
  }
}

DWORD TPlayer::EngineState() const {
  return BASS_ChannelIsActive(stream_);
}

bool TPlayer::SongLoading() const {
  return lookups_->Busy();
}

int64_t TPlayer::PositionUs() const {
  auto bytes = static_cast<int64_t>(BASS_ChannelGetPosition(stream_, BASS_POS_BYTE));
  if (stream_ == 0 || bytes <= 0) return 0;
  return static_cast<int64_t>(SecondsOf(stream_, bytes) * 1e6);
}

int64_t TPlayer::LengthUs() const {
  auto bytes = static_cast<int64_t>(BASS_ChannelGetLength(stream_, BASS_POS_BYTE));
  if (stream_ == 0 || bytes <= 0) return 0;
  return static_cast<int64_t>(SecondsOf(stream_, bytes) * 1e6);
}

std::string TPlayer::LyricLine() const {
  if (!lyrics_.HasLyrics || lyrics_.Cursor <= 0 ||
      static_cast<size_t>(lyrics_.Cursor) > lyrics_.Texts.size())
    return {};
  return lyrics_.Texts[static_cast<size_t>(lyrics_.Cursor) - 1];
}

// --- the stream ------------------------------------------------------------

// The engine's end notification runs on an engine thread: it only posts the
// stream's handle to the core's thread.
void TPlayer::StreamEndSyncProc(HSYNC, DWORD channel, DWORD, void* user) {
  auto* player = static_cast<TPlayer*>(user);
  QMetaObject::invokeMethod(
      player, [player, channel] { player->StreamEnded(channel); }, Qt::QueuedConnection);
}

void TPlayer::StreamEnded(HSTREAM channel) {
  // A notification that crossed a newer open belongs to a freed stream; while
  // a newer song is being looked up, the one that ended is on its way out,
  // and the lookup's own result decides what plays next.
  if (closing_ || channel != stream_ || lookups_->Busy()) return;
  NoteState();
  StreamEndSync();
}

HSTREAM TPlayer::CreateStream(const std::string& location) {
  if (location.find("://") != std::string::npos)
    return BASS_StreamCreateURL(location.c_str(), 0, 0, nullptr, nullptr);
  return BASS_StreamCreateFile(0, location.c_str(), 0, 0, 0);
}

void TPlayer::FreeStream() {
  if (stream_ == 0) return;
  if (endSync_ != 0) BASS_ChannelRemoveSync(stream_, endSync_);
  BASS_StreamFree(stream_);
  stream_ = 0;
  endSync_ = 0;
}

DWORD TPlayer::AdoptStream(HSTREAM stream) {
  FreeStream();
  stream_ = stream;
  if (stream_ == 0) {
    NoteState();
    return 0;
  }
  endSync_ = BASS_ChannelSetSync(stream_, BASS_SYNC_END | BASS_SYNC_ONETIME, 0,
                                 &TPlayer::StreamEndSyncProc, this);
  BASS_ChannelSetAttribute(stream_, BASS_ATTRIB_VOL,
                           static_cast<float>(volume_) / static_cast<float>(kMaxVolume));
  auto played = static_cast<DWORD>(BASS_ChannelPlay(stream_, 0));
  NoteState();
  return played;
}

// Announces the engine's state when it differs from what was announced last.
void TPlayer::NoteState() {
  DWORD now = EngineState();
  if (now == lastState_) return;
  lastState_ = now;
  emit StateChanged(now);
}

// --- commands --------------------------------------------------------------

void TPlayer::UserCommand() {
  playseq::OnUserCommand(advanceGuard_);
}

void TPlayer::SetCurrent(int index) {
  if (index == current_) return;
  current_ = index;
  emit CurrentChanged(index);
}

void TPlayer::Play() {
  UserCommand();
  DWORD s = EngineState();
  if (s == BASS_ACTIVE_STOPPED || s == BASS_ACTIVE_STALLED) {
    if (rows_->Count() == 0) return;
    SetCurrent(0);
    PlayCurrent();
  }
  if (EngineState() == BASS_ACTIVE_PAUSED) BASS_ChannelPlay(stream_, 0);
  NoteState();
}

void TPlayer::Pause() {
  if (EngineState() != BASS_ACTIVE_PAUSED) BASS_ChannelPause(stream_);
  NoteState();
}

void TPlayer::PlayPause() {
  // The engine's state as it is now, not as the last tick saw it.
  if (EngineState() == BASS_ACTIVE_PLAYING) {
    Pause();
  } else {
    Play();
  }
}

void TPlayer::Stop() {
  if (stream_ != 0) BASS_ChannelStop(stream_);
  NoteState();
}

void TPlayer::Next() {
  UserCommand();
  emit ProgressReset();
  int n = rows_->Count();
  if (n == 0) return;
  SetCurrent(playseq::NextIndex(current_, n));
  PlayCurrent();
}

void TPlayer::Previous() {
  UserCommand();
  emit ProgressReset();
  int n = rows_->Count();
  if (n == 0) return;
  SetCurrent(playseq::PrevIndex(current_, n));
  PlayCurrent();
}

void TPlayer::PlayRow(int index) {
  UserCommand();
  if (index >= 0) SetCurrent(index);
  PlayCurrent();
}

void TPlayer::PlayFile(const std::string& fileName) {
  std::string path = funPub::Trim(fileName);
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(cp::AnsiToPath(path), ec)) return;
  std::string title, singer;
  TitleFromTags(path, title, singer);
  UserCommand();
  PlayEntry(funPub::Trim(title), funPub::Trim(singer), 0, path);
}

void TPlayer::Audition(const TPlaylistEntry& entry) {
  UserCommand();
  PlayEntry(funPub::Trim(entry.Title), funPub::Trim(entry.geshou), entry.SongId,
            funPub::Trim(entry.mp3Patch));
}

void TPlayer::SetVolume(int volume) {
  volume = std::clamp(volume, 0, kMaxVolume);
  BASS_ChannelSetAttribute(stream_, BASS_ATTRIB_VOL,
                           static_cast<float>(volume) / static_cast<float>(kMaxVolume));
  if (volume == volume_) return;
  volume_ = volume;
  emit VolumeChanged(volume);
}

void TPlayer::Seek(int64_t positionUs) {
  int64_t lengthUs = LengthUs();
  if (stream_ == 0 || closing_ || lengthUs <= 0) return;
  QWORD bytes = BASS_ChannelGetLength(stream_, BASS_POS_BYTE);
  // The microseconds are rounded: the length itself is taken in bytes.
  if (positionUs < lengthUs)
    bytes =
        static_cast<QWORD>(std::max<int64_t>(positionUs, 0) * kPcmRate / 1000000 * kPcmFrameBytes);
  if (!BASS_ChannelSetPosition(stream_, bytes, BASS_POS_BYTE)) return;
  PlaceLyricsAt(static_cast<int64_t>(bytes));
  emit Seeked(PositionUs());
}

void TPlayer::SeekBy(int64_t deltaUs) {
  Seek(PositionUs() + deltaUs);
}

// Online songs are looked up and opened off the owner's thread; the latest
// play command wins: a newer one (play, next, previous, the automatic
// advance, a local file) drops a lookup still running, and nothing starts
// once the core is shut down.
bool TPlayer::PlayEntry(const std::string& title, const std::string& singer, int32_t songId,
                        const std::string& path) {
  if (!rules_.IsReady() || closing_) return false;
  if (funPub::Trim(title).empty()) return false;
  lookups_->Cancel();
  lyrics_.HasLyrics = false;

  if (path.empty()) {
    TRuleValues rules = rules_;
    lookups_->Start<TSongLookup>(
        [title, singer, songId, rules](const std::atomic<bool>& cancel) {
          TSongLookup found;
          if (songId != 0) {
            ResolveSong(songId, rules, found.Address, found.LyricText, &cancel);
          } else {
            FindSongAndLyric(title, singer, rules, found.LyricText, found.Address, &cancel);
          }
          if (!cancel.load()) found.Stream = TOpenedStream(CreateStream(found.Address));
          return found;
        },
        [this, title, singer](TSongLookup& found) { PlayFound(title, singer, found); });
    return true;
  }

  LoadLocalLyrics(path);
  // The window paints the new title and singer before the open blocks.
  ShowSong(title, singer, path);
  if (closing_) return true;
  OpenedOrSkip(AdoptStream(CreateStream(path)));
  return true;
}

void TPlayer::PlayFound(const std::string& title, const std::string& singer, TSongLookup& found) {
  if (closing_) return;
  if (!found.Address.empty() && !found.LyricText.empty()) {
    try {
      ParseLyricText(lyrics_, found.LyricText);
      lyrics_.HasLyrics = true;
    } catch (const std::exception&) {
      lyrics_.HasLyrics = false;
    }
  }
  ShowSong(title, singer, std::string());
  OpenedOrSkip(AdoptStream(found.Stream.Release()));
}

void TPlayer::OpenedOrSkip(DWORD played) {
  if (played == 0) {
    advancePending_ = false;
    if (playseq::OnOpenFailed(advanceGuard_, rows_->Count())) StreamEndSync();
  } else {
    playseq::OnOpenSucceeded(advanceGuard_);
  }
}

void TPlayer::PlayCurrent() {
  if (!rules_.IsReady() || closing_) return;
  int count = rows_->Count();
  // The list may have shrunk under the index.
  SetCurrent(playseq::InRange(current_, count));
  if (current_ == -1 || count == 0) return;
  for (int tries = 0; tries < count; ++tries) {
    TPlaylistEntry r = rows_->Entry(current_);
    if (PlayEntry(funPub::Trim(r.Title), funPub::Trim(r.geshou), r.SongId,
                  funPub::Trim(r.mp3Patch)))
      return;
    count = rows_->Count();
    if (count == 0) return;
    SetCurrent(playseq::NextIndex(current_, count));
    if (current_ == 0) return;
  }
}

void TPlayer::StreamEndSync() {
  int n = rows_->Count();
  if (n <= 0 || advancePending_) return;
  SetCurrent(playseq::NextIndex(current_, n));
  advancePending_ = true;
  advanceTimer_->start();
}

void TPlayer::AdvanceTimerFired() {
  emit ProgressReset();
  // The flag is cleared even when the play raises an error.
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{advancePending_};
  PlayCurrent();
}

// --- the tick --------------------------------------------------------------

TTickInfo TPlayer::Tick() {
  TTickInfo info;
  NoteState();
  if (stream_ != 0) FollowStreamTitle();
  info.EngineState = lastState_;
  if (info.EngineState != BASS_ACTIVE_PLAYING) return info;

  double positionSeconds = 0;
  FillProgress(info, &positionSeconds);

  if (lyrics_.HasLyrics && !lyrics_.StillLines.empty()) {
    emit LyricLineChanged(tick::StillLyricFrame(lyrics_.StillLines));
  } else if (lyrics_.HasLyrics) {
    int32_t played = LyricSecondsAt(positionSeconds);
    tick::TLyricFrame frame =
        tick::StepLyrics(lyrics_.Times, lyrics_.Texts, lyrics_.Cursor, played);
    if (frame.Update) emit LyricLineChanged(frame);
  } else {
    emit LyricsCleared();
  }
  return info;
}

void TPlayer::FillProgress(TTickInfo& info, double* positionSeconds) const {
  HSTREAM h = stream_;
  auto length = static_cast<int64_t>(BASS_ChannelGetLength(h, BASS_POS_BYTE));
  auto position = static_cast<int64_t>(BASS_ChannelGetPosition(h, BASS_POS_BYTE));
  info.Percent = tick::ProgressPercent(length, position);
  double lengthSeconds = length > 0 ? SecondsOf(h, length) : 0;
  *positionSeconds = SecondsOf(h, position);
  info.TimeText = tick::TimeText(length, position, lengthSeconds, *positionSeconds);
}

TTickInfo TPlayer::Progress() const {
  TTickInfo info;
  info.EngineState = EngineState();
  if (stream_ == 0) return info;
  double positionSeconds = 0;
  FillProgress(info, &positionSeconds);
  return info;
}

void TPlayer::Shutdown() {
  closing_ = true;
  lookups_->Cancel();
  rows_->Cancel();
  advanceTimer_->stop();
  if (stream_ != 0) BASS_ChannelStop(stream_);
  lyrics_.Clear();
  lyrics_.HasLyrics = false;
}
