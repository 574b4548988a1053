#include "main/KeyCommands.h"

namespace keys {

TKeyCommand KeyCommand(int key, Qt::KeyboardModifiers modifiers, bool typingInSearch) {
  if (typingInSearch) return key == Qt::Key_Escape ? TKeyCommand::LeaveSearch : TKeyCommand::None;
  modifiers &= ~Qt::KeypadModifier;
  if (modifiers == Qt::ControlModifier)
    return key == Qt::Key_F ? TKeyCommand::FocusSearch : TKeyCommand::None;
  if (modifiers != Qt::NoModifier) return TKeyCommand::None;
  switch (key) {
    case Qt::Key_Space:
      return TKeyCommand::PlayPause;
    case Qt::Key_Left:
      return TKeyCommand::SeekBack;
    case Qt::Key_Right:
      return TKeyCommand::SeekForward;
    case Qt::Key_Up:
      return TKeyCommand::VolumeUp;
    case Qt::Key_Down:
      return TKeyCommand::VolumeDown;
    case Qt::Key_BracketLeft:
      return TKeyCommand::LyricsEarlier;
    case Qt::Key_BracketRight:
      return TKeyCommand::LyricsLater;
    case Qt::Key_Backslash:
      return TKeyCommand::LyricTimingReset;
    default:
      return TKeyCommand::None;
  }
}

}  // namespace keys
