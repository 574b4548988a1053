// The one record of shared player state. It lives as long as the main window,
// which owns it; the Parts that own each field's operations change it.
//
// Threads: everything is read and written on the window's thread, with two
// exceptions. The rule-page worker writes `Rules` and publishes it through
// Rules.Ready (release; readers acquire). The engine's end-of-stream
// notification is posted to the window's thread, so CurrentIndex and
// AdvancePending are in fact only touched there.
#pragma once

#include <cstdint>
#include <string>

#include "lyrics/LyricTimeline.h"
#include "online/RuleSet.h"
#include "playback/BASS.h"

struct TPlayerState {
  std::string AppDir;   // program folder with its trailing "/", local code page
  std::string UserDir;  // folder of Main.ini and playlist.txt, trailing "/": AppDir when writable
  std::string CurrentSkin;    // skin folder name under AppDir + "data/"
  int32_t SkinIndex = -1;     // CurrentSkin's position in the skin combo box, -1 if absent
  int32_t FormMaxHeight = 0;  // expanded height, from the skin layout
  int32_t FormMinHeight = 0;  // compact height
  int32_t FormWidth = 0;
  HSTREAM StreamHandle = 0;     // the one current stream, 0 when none
  HSYNC EndSyncHandle = 0;      // its end notification
  int32_t CurrentIndex = -1;    // current playlist row, -1 for none
  bool AdvancePending = false;  // an automatic advance is scheduled on Timer2
  std::string PlaylistFile;     // current playlist file, empty for none
  std::string StartupFile;      // first command-line argument
  TRuleSet Rules;
  std::string NextPageUrl;  // search result page links
  std::string PrevPageUrl;
  TLyricTimeline Lyrics;
  int32_t PlayedSeconds = 0;  // the tick's position for the lyrics
  bool VolumeDragging = false;
  bool AlphaDragging = false;
};
