// Playback in the window: the play, pause, next and previous buttons, the
// volume drag, and the 200 ms tick's display. What plays, the order, the
// advance and the volume are the player core's; the buttons, gauges and
// labels follow its signals.
#include <QAction>
#include <QCursor>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

#include "main/UiText.h"
#include "main/Unit1.h"
#include "main/controls/FlatGauge.h"
#include "main/controls/GlowLabel.h"
#include "main/controls/RzBmpButton.h"
#include "main/controls/SkinImage.h"
#include "playback/GaugeDrag.h"

namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);

}  // namespace

void TForm1::FollowPlayer() {
  TPlayer* p = player_;
  connect(p, &TPlayer::StateChanged, this, [this](DWORD state) { ShowState(state); });
  connect(p, &TPlayer::SongStarted, this, [this](const TSongInfo& song) { ShowSong(song); });
  connect(p, &TPlayer::SongTitleChanged, this, [this](const TSongInfo& song) { ShowSong(song); });
  connect(p, &TPlayer::VolumeChanged, this, [this](int volume) { ShowVolume(volume); });
  connect(p, &TPlayer::ProgressReset, this, [this] { FlatGauge1->SetPosition(0); });
  connect(p, &TPlayer::Seeked, this, [this] { ShowProgress(player_->Progress()); });
  connect(p, &TPlayer::LyricLineChanged, this,
          [this](const tick::TLyricFrame& frame) { ShowLyrics(frame); });
  connect(p, &TPlayer::LyricsCleared, this, [this] { ClearLyrics(); });
  connect(p, &TPlayer::Failed, this, [this](const std::string& message) { ShowError(message); });
}

void TForm1::RzBmpButton3Click() {
  player_->Pause();
}

void TForm1::RzBmpButton4Click() {
  player_->Play();
}

void TForm1::N4Click() {
  player_->PlayPause();
}

void TForm1::RzBmpButton1Click() {
  player_->Next();
}

void TForm1::RzBmpButton2Click() {
  player_->Previous();
}

void TForm1::PlaylistItemDblClick(int index) {
  player_->PlayRow(index);
}

void TForm1::N28Click() {
  player_->LyricsEarlier();
}

void TForm1::N29Click() {
  player_->LyricsLater();
}

void TForm1::N30Click() {
  player_->ResetLyricTiming();
}

// Mouse handling of the gauges and their knobs.
bool TForm1::GaugeMouseEvent(QObject* watched, QEvent* event) {
  if (watched == FlatGauge1) return FlatGauge1MouseEvent(event);
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

// A click on the progress gauge seeks there; so does every step of a drag.
bool TForm1::FlatGauge1MouseEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      state_.ProgressDragging = true;
      [[fallthrough]];
    case QEvent::MouseMove:
      if (state_.ProgressDragging) {
        double x = static_cast<QMouseEvent*>(event)->position().x();
        Guarded([this, x] { SeekFromGauge(x); });
      }
      return true;
    case QEvent::MouseButtonRelease:
      state_.ProgressDragging = false;
      return true;
    default:
      return false;
  }
}

void TForm1::SeekFromGauge(double x) {
  player_->Seek(gauge::PositionAt(x, FlatGauge1->width(), player_->LengthUs()));
}

void TForm1::SetVolumeFromCursor() {
  auto d = gauge::GaugeFromCursor(QCursor::pos().x(), frameGeometry().x(), FlatVolGauge2->x(),
                                  FlatVolGauge2->width(), FlatVolGauge2->MaxValue(), yuan->width());
  player_->SetVolume(d.Position);
  // While dragging, the knob stays under the cursor.
  yuan->move(d.KnobLeft, yuan->y());
}

// The gauge and its knob show the core's volume: the knob sits where a drag
// to that volume would have put it.
void TForm1::ShowVolume(int volume) {
  int max = FlatVolGauge2->MaxValue();
  int position = max * volume / TPlayer::kMaxVolume;
  int x = max > 0 ? position * FlatVolGauge2->width() / max : 0;
  yuan->move(FlatVolGauge2->x() + x - yuan->width() / 2, yuan->y());
  FlatVolGauge2->SetPosition(position);
}

void TForm1::ShowState(DWORD engineState) {
  bool playing = engineState == BASS_ACTIVE_PLAYING;
  RzBmpButton4->setHidden(playing);
  RzBmpButton3->setHidden(!playing);
  QString caption = ui::Text(playing ? "暂停" : "播放");
  if (N4->text() != caption) N4->setText(caption);
}

void TForm1::ShowSong(const TSongInfo& song) {
  seXLabel1->SetCaption(ui::FromAnsi(CutCaption(song.Title, 16)));
  seXLabel1->setToolTip(ui::FromAnsi(song.Title));
  if (!song.Singer.empty()) {
    Label1->setText(ui::Text("——") + ui::FromAnsi(CutCaption(song.Singer, 20)));
    Label1->setToolTip(ui::FromAnsi(song.Singer));
  } else {
    Label1->setText(ui::Text(ui::kSlogan));
    Label1->setToolTip({});
  }
  // Painted now, before the core opens the stream, which may block a moment;
  // a repaint runs no event loop.
  seXLabel1->repaint();
  Label1->repaint();
}

void TForm1::SetLyricLabel(QLabel* label, const QColor& colour, const QString& text) {
  if (label->palette().color(QPalette::WindowText) != colour) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
  }
  if (label->text() != text) label->setText(text);
}

void TForm1::ShowLyrics(const tick::TLyricFrame& frame) {
  if (frame.Reached) SetLyricLabel(lyricLabels_[0], kRed, ui::FromAnsi(frame.ReachedText));
  for (int slot = 0; slot < tick::kLyricSlots; ++slot)
    SetLyricLabel(lyricLabels_[slot + 1], kGreen, ui::FromAnsi(frame.Green[slot]));
}

void TForm1::ClearLyrics() {
  for (QLabel* label : lyricLabels_)
    if (!label->text().isEmpty()) label->setText({});
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
  TTickInfo info = player_->Tick();
  if (info.EngineState == BASS_ACTIVE_PLAYING) ShowProgress(info);

  if (RollUpState()) {
    QString caption = seXLabel1->Caption() + QStringLiteral("  ") + spSkinLabel1->text();
    if (windowTitle() != caption) setWindowTitle(caption);
    if (taskbarShown_) SetSkipTaskbar(true);
  } else {
    if (windowTitle() != QLatin1String("Lyrano")) setWindowTitle(QStringLiteral("Lyrano"));
    if (isVisible() && !taskbarShown_) SetSkipTaskbar(false);
  }
}

void TForm1::ShowProgress(const TTickInfo& info) {
  if (info.Percent != FlatGauge1->Position()) FlatGauge1->SetPosition(info.Percent);
  QString time = ui::FromAnsi(info.TimeText);
  if (spSkinLabel1->text() != time) spSkinLabel1->setText(time);
}

bool TForm1::SongLoading() const {
  return player_->SongLoading();
}
