// play LOCATION [--volume V] [--seconds N]
//   Plays a file or an address (one containing "://") as the player would and
//   prints "state TAB S TAB POSITION TAB LENGTH" once a second (seconds with two
//   decimals; LENGTH "unknown" when the stream cannot tell) and "end" when the
//   end notification fires. Exit 0 at the end or after N seconds, 1 when the
//   output or the stream cannot be opened (the reason on stderr), 2 on usage errors.
//   With LYRANO_FFMPEG_LOG set in the environment FFmpeg's own messages appear
//   on stderr as well.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli.h"
#include "playback/BASS.h"

namespace {

constexpr const char* kUsageText = "usage: lyrano-cli play LOCATION [--volume V] [--seconds N]";

struct EndSignal {
  std::mutex mutex;
  std::condition_variable cv;
  bool ended = false;
};

void OnEnd(HSYNC /*sync*/, DWORD /*channel*/, DWORD /*data*/, void* user) {
  auto* signal = static_cast<EndSignal*>(user);
  {
    std::lock_guard lock(signal->mutex);
    signal->ended = true;
  }
  signal->cv.notify_all();
}

std::optional<double> ParseNumber(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

std::string Seconds(double seconds) {
  char buf[64];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, seconds, std::chars_format::fixed, 2);
  return ec == std::errc() ? std::string(buf, ptr) : std::string("?");
}

void PrintState(HSTREAM stream) {
  QWORD position = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
  QWORD length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
  cli::Record({"state", std::to_string(BASS_ChannelIsActive(stream)),
               Seconds(BASS_ChannelBytes2Seconds(stream, position)),
               length == BASS_ERROR_VALUE ? "unknown"
                                          : Seconds(BASS_ChannelBytes2Seconds(stream, length))});
  std::fflush(stdout);
}

int PlayCommand(const std::vector<std::string>& args) {
  std::optional<std::string> location;
  double volume = 1.0;
  std::optional<double> limit;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--volume" || a == "--seconds") {
      std::optional<double> v = i + 1 < args.size() ? ParseNumber(args[++i]) : std::nullopt;
      bool ok = v && (a == "--volume" ? (*v >= 0 && *v <= 1) : (*v >= 0 && *v < 1e7));
      if (!ok) {
        cli::ErrorLine(a + " needs a number" + (a == "--volume" ? " from 0 to 1" : " of seconds"));
        cli::ErrorLine(kUsageText);
        return cli::kUsage;
      }
      (a == "--volume" ? volume : limit.emplace()) = *v;
    } else if (!location && !a.empty() && a.rfind("--", 0) != 0) {
      location = a;
    } else {
      cli::ErrorLine(kUsageText);
      return cli::kUsage;
    }
  }
  if (!location) {
    cli::ErrorLine(kUsageText);
    return cli::kUsage;
  }

  const std::string ansi = cli::Arg(*location);
  if (BASS_Init(-1, 44100, 0, nullptr, nullptr) == 0) {
    cli::ErrorLine(std::string("cannot open the audio output: ") + BASS_ErrorText());
    return cli::kFailed;
  }
  HSTREAM stream = ansi.find("://") != std::string::npos
                       ? BASS_StreamCreateURL(ansi.c_str(), 0, 0, nullptr, nullptr)
                       : BASS_StreamCreateFile(0, ansi.c_str(), 0, 0, 0);
  if (stream == 0) {
    cli::ErrorLine("cannot open " + ansi + ": " + BASS_ErrorText());
    return cli::kFailed;
  }
  EndSignal signal;
  HSYNC sync = BASS_ChannelSetSync(stream, BASS_SYNC_END | BASS_SYNC_ONETIME, 0, OnEnd, &signal);
  BASS_ChannelSetAttribute(stream, BASS_ATTRIB_VOL, static_cast<float>(volume));
  if (BASS_ChannelPlay(stream, 0) == 0) {
    cli::ErrorLine("cannot start " + ansi);
    BASS_StreamFree(stream);
    return cli::kFailed;
  }

  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  // Without --seconds: until the end, however long.
  const Clock::time_point stopAt = limit ? start + std::chrono::duration_cast<Clock::duration>(
                                                       std::chrono::duration<double>(*limit))
                                         : Clock::time_point::max();
  bool ended = false;
  for (int tick = 1;; ++tick) {
    PrintState(stream);
    Clock::time_point wake = std::min(start + std::chrono::seconds(tick), stopAt);
    std::unique_lock lock(signal.mutex);
    ended = signal.cv.wait_until(lock, wake, [&] { return signal.ended; });
    if (ended || Clock::now() >= stopAt) break;
  }
  BASS_ChannelRemoveSync(stream, sync);
  BASS_StreamFree(stream);
  if (ended) {
    std::fputs("end\n", stdout);
    std::fflush(stdout);
  }
  return cli::kOk;
}

const cli::CliCommand kPlay("play", "play LOCATION [--volume V] [--seconds N]",
                            "play a file or address, printing its state once a second",
                            PlayCommand);

}  // namespace
