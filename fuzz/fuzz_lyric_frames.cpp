// The decoders of the ID3v2 lyrics frames (SYLT and USLT, SLT and ULT in
// version 2) over one frame's content. The first input byte picks the version
// (2 + byte % 3), the second is the frame's format flag byte, the third picks
// the frame (even: synchronised); the rest is the content.
#include "FuzzInput.h"
#include "tags/ID3v2Frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in = fuzz::Bytes(data, size);
  if (in.size() < 3) return 0;
  const int version = 2 + static_cast<unsigned char>(in[0]) % 3;
  const bool synced = static_cast<unsigned char>(in[2]) % 2 == 0;
  std::string content(in.substr(3));
  std::string header = version == 2 ? (synced ? "SLT" : "ULT") : (synced ? "SYLT" : "USLT");
  header.append(version == 2 ? 3 : 4, '\0');
  if (version != 2) header += std::string(1, '\0') + in[1];
  TID3v2Frame frame;
  if (!frame.ReadHeader(header, version)) return 0;
  frame.SetData(std::move(content));
  size_t n = 0;
  if (synced) {
    for (const tags::TTimedText& line : frame.GetSyncedLyrics()) n += line.Text.size() + line.Ms;
  } else {
    n = frame.GetUnsyncedLyrics().size();
  }
  volatile size_t sink = n;
  (void)sink;
  return 0;
}
