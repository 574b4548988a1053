// The window's keys: a filter on the application sees every key pressed in
// the window, whichever control has the focus, and runs the command
// keys::KeyCommand names; other keys go on to the control.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "main/KeyCommands.h"
#include "main/Unit1.h"

namespace {

class TKeyFilter : public QObject {
 public:
  TKeyFilter(QObject* parent, std::function<bool(QObject*, QKeyEvent*)> onKey)
      : QObject(parent), onKey_(std::move(onKey)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    return event->type() == QEvent::KeyPress && onKey_(watched, static_cast<QKeyEvent*>(event));
  }

 private:
  std::function<bool(QObject*, QKeyEvent*)> onKey_;
};

}  // namespace

void TForm1::InstallKeys() {
  qApp->installEventFilter(new TKeyFilter(
      this, [this](QObject* receiver, QKeyEvent* event) { return FormKeyDown(receiver, event); }));
}

bool TForm1::FormKeyDown(QObject* receiver, QKeyEvent* event) {
  auto* widget = qobject_cast<QWidget*>(receiver);
  if (widget == nullptr || widget->window() != window()) return false;
  using keys::TKeyCommand;
  TKeyCommand command = keys::KeyCommand(event->key(), event->modifiers(), spSkinEdit1->hasFocus());
  switch (command) {
    case TKeyCommand::None:
      return false;
    case TKeyCommand::PlayPause:
      Guarded([this] { player_->PlayPause(); });
      break;
    case TKeyCommand::SeekBack:
    case TKeyCommand::SeekForward: {
      int64_t step = command == TKeyCommand::SeekBack ? -keys::kSeekStepUs : keys::kSeekStepUs;
      Guarded([this, step] { player_->SeekBy(step); });
      break;
    }
    case TKeyCommand::VolumeUp:
    case TKeyCommand::VolumeDown: {
      int step = command == TKeyCommand::VolumeDown ? -keys::kVolumeStep : keys::kVolumeStep;
      Guarded([this, step] { player_->SetVolume(player_->Volume() + step); });
      break;
    }
    case TKeyCommand::LyricsEarlier:
      Guarded([this] { player_->LyricsEarlier(); });
      break;
    case TKeyCommand::LyricsLater:
      Guarded([this] { player_->LyricsLater(); });
      break;
    case TKeyCommand::LyricTimingReset:
      Guarded([this] { player_->ResetLyricTiming(); });
      break;
    case TKeyCommand::FocusSearch:
      spSkinEdit1->setFocus(Qt::ShortcutFocusReason);
      break;
    case TKeyCommand::LeaveSearch:
      ClientArea->setFocus(Qt::OtherFocusReason);
      break;
  }
  return true;
}
