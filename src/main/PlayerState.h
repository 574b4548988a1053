// What the window keeps of its own: where it runs from, its skin and sizes,
// its drag flags and the search panel's page links. What plays, the volume,
// the rows and the lyrics belong to the player core (player/Player.h).
// Window's thread only.
#pragma once

#include <cstdint>
#include <string>

struct TPlayerState {
  std::string AppDir;   // program folder with its trailing "/", local code page
  std::string UserDir;  // folder of Main.ini and playlist.txt, trailing "/": AppDir when writable
  std::string CurrentSkin;    // skin folder name under AppDir + "data/"
  int32_t SkinIndex = -1;     // CurrentSkin's position in the skin combo box, -1 if absent
  int32_t FormMaxHeight = 0;  // expanded height, from the skin layout
  int32_t FormMinHeight = 0;  // compact height
  int32_t FormWidth = 0;
  std::string NextPageUrl;  // search result page links
  std::string PrevPageUrl;
  bool VolumeDragging = false;
  bool AlphaDragging = false;
  bool ProgressDragging = false;  // a seek drag along the progress gauge
};
