// The window's side of the desktop: a second launch handing over its file
// (single instance), the media bus, the window's place on the screen.
#include <QGuiApplication>
#include <QScreen>
#include <cmath>
#include <filesystem>

#include "common/codepage.h"
#include "main/SingleInstance.h"
#include "main/UiText.h"
#include "main/Unit1.h"
#include "main/WindowPlacement.h"
#include "main/controls/FlatGauge.h"
#include "skins/engine/SkinForm.h"

void TForm1::ListenTo(TAppInstances& instances) {
  connect(&instances, &TAppInstances::UserNotify, this,
          [this](int param) { Guarded([this, param] { JvAppInstancesUserNotify(param); }); });
  connect(&instances, &TAppInstances::CmdLineReceived, this,
          [this](const std::vector<std::string>& args) {
            Guarded([this, &args] { JvAppInstancesCmdLineReceived(args); });
          });
}

void TForm1::JvAppInstancesUserNotify(int) {
  // Restores from minimised and from the tray alike; a rolled-up window stays rolled up.
  spDynamicSkinForm1->Restore();
}

void TForm1::JvAppInstancesCmdLineReceived(const std::vector<std::string>& args) {
  if (args.empty()) return;
  PlayShellFile(cp::PathToAnsi(std::filesystem::path(args.front())));
}

QRect TForm1::AvailableArea() const {
  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  return s ? s->availableGeometry() : QRect();
}

void TForm1::CentreOnScreen() {
  QRect area = AvailableArea();
  if (area.isEmpty()) return;
  move(placement::KeptInside(
           QRect(placement::Centred(frameGeometry().size(), area), frameGeometry().size()), area)
           .topLeft());
}

void TForm1::KeepOnScreen() {
  QRect area = AvailableArea();
  if (area.isEmpty()) return;
  QRect now = frameGeometry();
  QRect inside = placement::KeptInside(now, area);
  if (inside.topLeft() != now.topLeft()) move(inside.topLeft());
}

mpris::TMprisService* TForm1::StartMediaControls() {
  if (mprisService_) return mprisService_;
  mprisService_ = mpris::StartOnSessionBus(MediaControls(), this);
  if (mprisService_) connect(this, &TForm1::Ticked, mprisService_, &mpris::TMprisService::Refresh);
  return mprisService_;
}

// The same handlers as the buttons and the tray menu, so the desktop's
// controls act alike whether the window is shown, rolled up or in the tray.
mpris::TMediaControls TForm1::MediaControls() {
  auto guarded = [this](void (TForm1::*handler)()) {
    return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
  };
  mpris::TMediaControls c;
  c.PlayPause = guarded(&TForm1::N4Click);
  c.Play = guarded(&TForm1::RzBmpButton4Click);
  c.Pause = guarded(&TForm1::RzBmpButton3Click);
  c.Stop = guarded(&TForm1::StopPlayback);
  c.Next = guarded(&TForm1::RzBmpButton1Click);
  c.Previous = guarded(&TForm1::RzBmpButton2Click);
  c.Raise = guarded(&TForm1::N11Click);
  c.Quit = guarded(&TForm1::N10Click);
  c.SetVolume = [this](double volume) {
    Guarded([this, volume] {
      SetVolumePosition(static_cast<int>(std::lround(volume * FlatVolGauge2->MaxValue())));
    });
  };
  c.OpenFile = [this](const QString& path) {
    Guarded([this, &path] {
      PlayShellFile(cp::PathToAnsi(std::filesystem::path(path.toStdString())));
    });
  };
  c.NowPlaying = [this] { return NowPlaying(); };
  c.PositionUs = [this] {
    HSTREAM h = state_.StreamHandle;
    auto bytes = static_cast<int64_t>(BASS_ChannelGetPosition(h, BASS_POS_BYTE));
    if (h == 0 || bytes <= 0) return qint64{0};
    return static_cast<qint64>(BASS_ChannelBytes2Seconds(h, static_cast<QWORD>(bytes)) * 1e6);
  };
  return c;
}

mpris::TNowPlaying TForm1::NowPlaying() const {
  mpris::TNowPlaying now;
  HSTREAM h = state_.StreamHandle;
  switch (BASS_ChannelIsActive(h)) {
    case BASS_ACTIVE_PLAYING:
    case BASS_ACTIVE_STALLED:
      now.Status = QStringLiteral("Playing");
      break;
    case BASS_ACTIVE_PAUSED:
      now.Status = QStringLiteral("Paused");
      break;
    default:
      now.Status = QStringLiteral("Stopped");
      break;
  }
  now.Track = shown_.Track;
  now.Title = ui::FromAnsi(shown_.Title);
  now.Artist = ui::FromAnsi(shown_.Singer);
  const TLyricTimeline& lyrics = state_.Lyrics;
  if (lyrics.HasLyrics && lyrics.Cursor > 0 &&
      static_cast<size_t>(lyrics.Cursor) <= lyrics.Texts.size())
    now.Lyric = ui::FromAnsi(lyrics.Texts[static_cast<size_t>(lyrics.Cursor) - 1]);
  auto length = static_cast<int64_t>(BASS_ChannelGetLength(h, BASS_POS_BYTE));
  if (h != 0 && length > 0)
    now.LengthUs =
        static_cast<qint64>(BASS_ChannelBytes2Seconds(h, static_cast<QWORD>(length)) * 1e6);
  now.Volume = static_cast<double>(FlatVolGauge2->Position()) / FlatVolGauge2->MaxValue();
  return now;
}

void TForm1::StopPlayback() {
  if (state_.StreamHandle != 0) BASS_ChannelStop(state_.StreamHandle);
}
