// Playback in the window: the one stream, the play and pause buttons, the
// volume drag, the play order and its automatic advance, and the 200 ms tick.
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "common/codepage.h"
#include "common/errors.h"
#include "common/funPub.h"
#include "lyrics/LrcParser.h"
#include "lyrics/LyricRetrieval.h"
#include "main/UiText.h"
#include "main/Unit1.h"
#include "main/WindowJob.h"
#include "main/controls/FlatGauge.h"
#include "main/controls/GlowLabel.h"
#include "main/controls/RzBmpButton.h"
#include "main/controls/SkinImage.h"
#include "online/ResolveSong.h"
#include "playback/GaugeDrag.h"
#include "playback/PlaybackTick.h"

namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);

// The path with its extension replaced by ".lrc" (appended when it has none).
std::string LyricFileFor(const std::string& path) {
  size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ".lrc";
  return path.substr(0, dot) + ".lrc";
}

// The control's own shown state, not whether it is on screen: the window may
// be hidden in the tray, minimised or rolled up, and the commands work the same.
bool Shown(const QWidget* control) {
  return !control->isHidden();
}

}  // namespace

// The engine's end notification runs on an engine thread: it only posts the
// stream's handle to the window, which then runs StreamEndSync.
void TForm1::StreamEndSyncProc(HSYNC, DWORD channel, DWORD, void* user) {
  auto* form = static_cast<TForm1*>(user);
  QMetaObject::invokeMethod(
      form, [form, channel] { form->StreamEnded(channel); }, Qt::QueuedConnection);
}

void TForm1::StreamEnded(HSTREAM channel) {
  // A notification that crossed a newer OpenStream belongs to a freed stream;
  // while a newer song is being looked up, the one that ended is on its way
  // out, and the lookup's own result decides what plays next.
  if (closing_ || channel != state_.StreamHandle || playJobs_->Busy()) return;
  StreamEndSync();
}

HSTREAM TForm1::CreateStream(const std::string& location) {
  if (location.find("://") != std::string::npos)
    return BASS_StreamCreateURL(location.c_str(), 0, 0, nullptr, nullptr);
  return BASS_StreamCreateFile(0, location.c_str(), 0, 0, 0);
}

void TForm1::FreeStream() {
  TPlayerState& s = state_;
  if (s.StreamHandle == 0) return;
  if (s.EndSyncHandle != 0) BASS_ChannelRemoveSync(s.StreamHandle, s.EndSyncHandle);
  BASS_StreamFree(s.StreamHandle);
  s.StreamHandle = 0;
  s.EndSyncHandle = 0;
}

DWORD TForm1::AdoptStream(HSTREAM stream) {
  TPlayerState& s = state_;
  FreeStream();
  s.StreamHandle = stream;
  if (s.StreamHandle == 0) return 0;
  s.EndSyncHandle = BASS_ChannelSetSync(s.StreamHandle, BASS_SYNC_END | BASS_SYNC_ONETIME, 0,
                                        &TForm1::StreamEndSyncProc, this);
  BASS_ChannelSetAttribute(s.StreamHandle, BASS_ATTRIB_VOL,
                           static_cast<float>(FlatVolGauge2->Position()) /
                               static_cast<float>(FlatVolGauge2->MaxValue()));
  return static_cast<DWORD>(BASS_ChannelPlay(s.StreamHandle, 0));
}

DWORD TForm1::OpenStream(const std::string& location) {
  FreeStream();
  return AdoptStream(CreateStream(location));
}

void TForm1::RzBmpButton3Click() {
  if (BASS_ChannelIsActive(state_.StreamHandle) != BASS_ACTIVE_PAUSED)
    BASS_ChannelPause(state_.StreamHandle);
}

void TForm1::RzBmpButton4Click() {
  UserCommand();
  DWORD s = BASS_ChannelIsActive(state_.StreamHandle);
  if (s == BASS_ACTIVE_STOPPED || s == BASS_ACTIVE_STALLED) {
    if (playlistBox_->Count() == 0) return;
    state_.CurrentIndex = 0;
    PlayCurrent();
  }
  if (BASS_ChannelIsActive(state_.StreamHandle) == BASS_ACTIVE_PAUSED)
    BASS_ChannelPlay(state_.StreamHandle, 0);
}

void TForm1::N4Click() {
  if (Shown(RzBmpButton4)) {
    RzBmpButton4Click();
  } else {
    RzBmpButton3Click();
  }
}

// Mouse handling of the two gauges and their knobs.
bool TForm1::GaugeMouseEvent(QObject* watched, QEvent* event) {
  bool volume = watched == FlatVolGauge2 || watched == yuan;
  bool alpha = watched == FlatAlphaGauge2 || watched == yuan2;
  if (!volume && !alpha) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      (volume ? state_.VolumeDragging : state_.AlphaDragging) = true;
      return true;
    case QEvent::MouseButtonRelease:
      (volume ? state_.VolumeDragging : state_.AlphaDragging) = false;
      return true;
    case QEvent::MouseMove:
      if (volume && state_.VolumeDragging) Guarded([this] { SetVolumeFromCursor(); });
      if (alpha && state_.AlphaDragging) Guarded([this] { SetAlphaFromCursor(); });
      return true;
    default:
      return false;
  }
}

void TForm1::SetVolumeFromCursor() {
  auto d = gauge::GaugeFromCursor(QCursor::pos().x(), frameGeometry().x(), FlatVolGauge2->x(),
                                  FlatVolGauge2->width(), FlatVolGauge2->MaxValue(), yuan->width());
  ShowVolume(d.Position, d.KnobLeft);
}

// A volume set from elsewhere (the desktop's media controls): the knob goes
// where a drag would have put it.
void TForm1::SetVolumePosition(int position) {
  int max = FlatVolGauge2->MaxValue();
  position = std::clamp(position, 0, max);
  int x = max > 0 ? position * FlatVolGauge2->width() / max : 0;
  ShowVolume(position, FlatVolGauge2->x() + x - yuan->width() / 2);
}

void TForm1::ShowVolume(int position, int knobLeft) {
  yuan->move(knobLeft, yuan->y());
  FlatVolGauge2->SetPosition(position);
  BASS_ChannelSetAttribute(state_.StreamHandle, BASS_ATTRIB_VOL,
                           static_cast<float>(FlatVolGauge2->Position()) /
                               static_cast<float>(FlatVolGauge2->MaxValue()));
}

// A stream opened off the window's thread, freed unless the window adopts it:
// a lookup made stale by a newer command drops its stream with it.
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

// An online song's address, lyrics and opened stream, found off the window.
struct TSongLookup {
  std::string Address;
  std::string LyricText;
  TOpenedStream Stream;
};

// Online songs are looked up and opened off the window's thread; the latest
// play command wins: a newer one (play, next, previous, the automatic
// advance, a local file) drops a lookup still running, and nothing starts
// once the window is closing.
bool TForm1::PlayEntry(const std::string& title, const std::string& singer, int32_t songId,
                       const std::string& path) {
  TPlayerState& s = state_;
  if (!s.Rules.IsReady() || closing_) return false;
  if (funPub::Trim(title).empty()) return false;
  playJobs_->Cancel();
  const uint64_t generation = playJobs_->Generation();
  s.Lyrics.HasLyrics = false;

  if (path.empty()) {
    TRuleValues rules = s.Rules;
    playJobs_->Start<TSongLookup>(
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

  std::string lrc = LyricFileFor(path);
  std::error_code ec;
  if (std::filesystem::exists(cp::AnsiToPath(lrc), ec)) {
    // A lyric file that cannot be read leaves the song without lyrics.
    try {
      if (LoadLyricFile(s.Lyrics, lrc)) s.Lyrics.HasLyrics = true;
    } catch (const lyrano::Error&) {
      s.Lyrics.HasLyrics = false;
    }
  }
  ShowSong(title, singer);
  // Paint the new title and singer before the open blocks.
  QApplication::processEvents();
  if (closing_ || playJobs_->Generation() != generation) return true;
  OpenedOrSkip(OpenStream(path));
  return true;
}

void TForm1::PlayFound(const std::string& title, const std::string& singer, TSongLookup& found) {
  if (closing_) return;
  TPlayerState& s = state_;
  if (!found.Address.empty() && !found.LyricText.empty()) {
    try {
      ParseLyricText(s.Lyrics, found.LyricText);
      s.Lyrics.HasLyrics = true;
    } catch (const std::exception&) {
      s.Lyrics.HasLyrics = false;
    }
  }
  ShowSong(title, singer);
  OpenedOrSkip(AdoptStream(found.Stream.Release()));
}

void TForm1::ShowSong(const std::string& title, const std::string& singer) {
  std::string shownTitle = funPub::Trim(title);
  shown_.Track++;
  shown_.Title = shownTitle;
  shown_.Singer = funPub::Trim(singer);
  seXLabel1->SetCaption(ui::FromAnsi(CutCaption(shownTitle, 16)));
  seXLabel1->setToolTip(ui::FromAnsi(title));
  std::string shownSinger = funPub::Trim(singer);
  if (!shownSinger.empty()) {
    Label1->setText(ui::Text("——") + ui::FromAnsi(CutCaption(shownSinger, 20)));
    Label1->setToolTip(ui::FromAnsi(shownSinger));
  } else {
    Label1->setText(ui::Text(ui::kSlogan));
    Label1->setToolTip({});
  }
}

void TForm1::OpenedOrSkip(DWORD played) {
  if (played == 0) {
    state_.AdvancePending = false;
    if (playseq::OnOpenFailed(advanceGuard_, playlistBox_->Count())) StreamEndSync();
  } else {
    playseq::OnOpenSucceeded(advanceGuard_);
  }
}

void TForm1::PlayCurrent() {
  TPlayerState& s = state_;
  if (!s.Rules.IsReady() || closing_) return;
  int count = playlistBox_->Count();
  // The list may have shrunk under the index.
  s.CurrentIndex = playseq::InRange(s.CurrentIndex, count);
  if (s.CurrentIndex == -1 || count == 0) return;
  for (int tries = 0; tries < count; ++tries) {
    TPlaylistEntry r = playlistBox_->Entry(s.CurrentIndex);
    if (PlayEntry(funPub::Trim(r.Title), funPub::Trim(r.geshou), r.SongId,
                  funPub::Trim(r.mp3Patch)))
      return;
    count = playlistBox_->Count();
    if (count == 0) return;
    s.CurrentIndex = playseq::NextIndex(s.CurrentIndex, count);
    if (s.CurrentIndex == 0) return;
  }
}

void TForm1::StreamEndSync() {
  TPlayerState& s = state_;
  int n = playlistBox_->Count();
  if (n <= 0 || s.AdvancePending) return;
  s.CurrentIndex = playseq::NextIndex(s.CurrentIndex, n);
  s.AdvancePending = true;
  Timer2->start();
}

void TForm1::Timer2Timer() {
  Timer2->stop();
  FlatGauge1->SetPosition(0);
  // The flag is cleared even when the play raises an error.
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{state_.AdvancePending};
  PlayCurrent();
}

void TForm1::RzBmpButton1Click() {
  UserCommand();
  FlatGauge1->SetPosition(0);
  int n = playlistBox_->Count();
  if (n > 0) {
    state_.CurrentIndex = playseq::NextIndex(state_.CurrentIndex, n);
    PlayCurrent();
  }
}

void TForm1::RzBmpButton2Click() {
  UserCommand();
  FlatGauge1->SetPosition(0);
  int n = playlistBox_->Count();
  if (n == 0) return;
  state_.CurrentIndex = playseq::PrevIndex(state_.CurrentIndex, n);
  PlayCurrent();
}

void TForm1::PlaylistItemDblClick(int index) {
  UserCommand();
  state_.CurrentIndex = index;
  PlayCurrent();
}

void TForm1::UserCommand() {
  playseq::OnUserCommand(advanceGuard_);
}

void TForm1::SetLyricLabel(QLabel* label, const QColor& colour, const QString& text) {
  if (label->palette().color(QPalette::WindowText) != colour) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
  }
  if (label->text() != text) label->setText(text);
}

void TForm1::Timer1Timer() {
  Timer1->stop();
  try {
    Tick();
    lastTickError_.clear();
    emit Ticked();
  } catch (const std::exception& e) {
    // Shown once, not five times a second; the tick goes on either way.
    if (lastTickError_ != e.what()) {
      lastTickError_ = e.what();
      ShowError(lastTickError_);
    }
  }
  if (!closing_) Timer1->start();
}

void TForm1::Tick() {
  TPlayerState& s = state_;
  HSTREAM h = s.StreamHandle;
  if (BASS_ChannelIsActive(h) == BASS_ACTIVE_PLAYING) {
    if (Shown(RzBmpButton4)) RzBmpButton4->hide();
    if (!Shown(RzBmpButton3)) RzBmpButton3->show();
    if (N4->text() != ui::Text("暂停")) N4->setText(ui::Text("暂停"));

    auto length = static_cast<int64_t>(BASS_ChannelGetLength(h, BASS_POS_BYTE));
    auto position = static_cast<int64_t>(BASS_ChannelGetPosition(h, BASS_POS_BYTE));
    int percent = tick::ProgressPercent(length, position);
    if (percent != FlatGauge1->Position()) FlatGauge1->SetPosition(percent);

    double lengthSeconds =
        length > 0 ? BASS_ChannelBytes2Seconds(h, static_cast<QWORD>(length)) : 0;
    double positionSeconds =
        position >= 0 ? BASS_ChannelBytes2Seconds(h, static_cast<QWORD>(position)) : 0;
    QString time = ui::FromAnsi(tick::TimeText(length, position, lengthSeconds, positionSeconds));
    if (spSkinLabel1->text() != time) spSkinLabel1->setText(time);

    if (s.Lyrics.HasLyrics) {
      s.PlayedSeconds = tick::PlayedSecondsFrom(positionSeconds);
      tick::TLyricFrame frame =
          tick::StepLyrics(s.Lyrics.Times, s.Lyrics.Texts, s.Lyrics.Cursor, s.PlayedSeconds);
      if (frame.Update) {
        if (frame.Reached) SetLyricLabel(lyricLabels_[0], kRed, ui::FromAnsi(frame.ReachedText));
        for (int slot = 0; slot < tick::kLyricSlots; ++slot)
          SetLyricLabel(lyricLabels_[slot + 1], kGreen, ui::FromAnsi(frame.Green[slot]));
      }
    } else {
      for (QLabel* label : lyricLabels_)
        if (!label->text().isEmpty()) label->setText({});
    }
  } else {
    if (!Shown(RzBmpButton4)) RzBmpButton4->show();
    if (Shown(RzBmpButton3)) RzBmpButton3->hide();
    if (N4->text() != ui::Text("播放")) N4->setText(ui::Text("播放"));
  }

  if (RollUpState()) {
    QString caption = seXLabel1->Caption() + QStringLiteral("  ") + spSkinLabel1->text();
    if (windowTitle() != caption) setWindowTitle(caption);
    if (taskbarShown_) SetSkipTaskbar(true);
  } else {
    if (windowTitle() != QLatin1String("Lyrano")) setWindowTitle(QStringLiteral("Lyrano"));
    if (isVisible() && !taskbarShown_) SetSkipTaskbar(false);
  }
}

bool TForm1::SongLoading() const {
  return playJobs_->Busy();
}
