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
  player_->PlayFile(cp::PathToAnsi(std::filesystem::path(args.front())));
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
  if (mprisService_) {
    connect(this, &TForm1::Ticked, mprisService_, &mpris::TMprisService::Refresh);
    connect(player_, &TPlayer::Seeked, mprisService_,
            [s = mprisService_](int64_t positionUs) { s->AnnounceSeek(positionUs); });
  }
  return mprisService_;
}

// The same core commands as the buttons and the tray menu, so the desktop's
// controls act alike whether the window is shown, rolled up or in the tray.
mpris::TMediaControls TForm1::MediaControls() {
  auto guarded = [this](void (TPlayer::*command)()) {
    return [this, command] { Guarded([this, command] { (player_->*command)(); }); };
  };
  mpris::TMediaControls c;
  c.PlayPause = guarded(&TPlayer::PlayPause);
  c.Play = guarded(&TPlayer::Play);
  c.Pause = guarded(&TPlayer::Pause);
  c.Stop = guarded(&TPlayer::Stop);
  c.Next = guarded(&TPlayer::Next);
  c.Previous = guarded(&TPlayer::Previous);
  c.Raise = [this] { Guarded([this] { N11Click(); }); };
  c.Quit = [this] { Guarded([this] { N10Click(); }); };
  c.SetVolume = [this](double volume) {
    Guarded([this, volume] {
      player_->SetVolume(static_cast<int>(std::lround(volume * TPlayer::kMaxVolume)));
    });
  };
  c.Seek = [this](qint64 positionUs) {
    Guarded([this, positionUs] { player_->Seek(positionUs); });
  };
  c.SeekBy = [this](qint64 offsetUs) { Guarded([this, offsetUs] { player_->SeekBy(offsetUs); }); };
  c.OpenFile = [this](const QString& path) {
    Guarded([this, &path] {
      player_->PlayFile(cp::PathToAnsi(std::filesystem::path(path.toStdString())));
    });
  };
  c.NowPlaying = [this] { return NowPlaying(); };
  c.PositionUs = [this] { return static_cast<qint64>(player_->PositionUs()); };
  return c;
}

mpris::TNowPlaying TForm1::NowPlaying() const {
  mpris::TNowPlaying now;
  switch (player_->EngineState()) {
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
  const TSongInfo& song = player_->Song();
  now.Track = song.Track;
  now.Title = ui::FromAnsi(song.Title);
  now.Artist = ui::FromAnsi(song.Singer);
  now.Lyric = ui::FromAnsi(player_->LyricLine());
  now.LengthUs = player_->LengthUs();
  now.Volume = static_cast<double>(player_->Volume()) / TPlayer::kMaxVolume;
  now.HasRows = player_->Rows().Count() > 0;
  return now;
}
