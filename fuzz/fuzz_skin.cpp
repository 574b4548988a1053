// A skin's description (skin.ini) and its layout file (skinEx.ini), both read
// from a file holding the input.
#include "FuzzInput.h"
#include "skins/SkinDescription.h"
#include "skins/SkinLayout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::InputFile file("skin.ini");
  if (!file.Write(fuzz::Bytes(data, size))) return 0;
  skins::TSkinReadResult description = skins::ReadSkinDescription(file.Path());
  if (!description.Skin && description.Error.empty()) __builtin_trap();
  volatile int32_t n = skins::ReadSkinLayout(file.Path()).titlex;
  (void)n;
  return 0;
}
