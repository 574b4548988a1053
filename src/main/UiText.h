// Text at the window's edge: source literals are UTF-8, internal text is local
// code page (GB18030) bytes, Qt wants QString.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "common/codepage.h"

namespace ui {

inline constexpr const char* kSlogan = "最轻巧全能的音乐云播放器";
// Shown with the refused paths, one a line, by "添加本地音乐".
inline constexpr const char* kPathNotStorable =
    "以下文件的路径含有“|”或换行符，歌曲列表文件无法保存，未加入列表：";

// Hints of the controls the keys drive.
inline constexpr const char* kHintPlay = "播放（空格键）";
inline constexpr const char* kHintPause = "暂停（空格键）";
inline constexpr const char* kHintProgress = "单击或拖动跳到此处，←/→键后退/前进5秒";
inline constexpr const char* kHintVolume = "音量，↑/↓键增减5";
inline constexpr const char* kHintSearch = "输入关键字搜索（Ctrl+F）";
inline constexpr const char* kHintLyrics = "右键调整歌词时间：[键提前0.5秒，]键延后0.5秒，\\键复原";

// A UTF-8 source literal for a widget.
inline QString Text(const char* utf8) {
  return QString::fromUtf8(utf8);
}
// A UTF-8 source literal as internal text.
inline std::string Ansi(const char* utf8) {
  return cp::Utf8ToAnsi(utf8);
}
// Internal text for a widget, and back.
inline QString FromAnsi(std::string_view ansi) {
  return QString::fromUtf8(cp::AnsiToUtf8(ansi));
}
inline std::string ToAnsi(const QString& text) {
  return cp::Utf8ToAnsi(text.toStdString());
}

}  // namespace ui
