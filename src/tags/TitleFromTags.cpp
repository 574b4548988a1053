#include "tags/TitleFromTags.h"

#include <filesystem>
#include <mutex>
#include <string_view>

#include "common/codepage.h"
#include "tags/ATL_WMAfile.h"
#include "tags/Mp3FileUtils.h"

namespace {

std::mutex& ReporterMutex() {
  static std::mutex m;
  return m;
}

std::function<void(const std::string&)>& Reporter() {
  static std::function<void(const std::string&)> reporter;
  return reporter;
}

void Report(const std::string& message) {
  std::function<void(const std::string&)> reporter;
  {
    std::lock_guard lock(ReporterMutex());
    reporter = Reporter();
  }
  if (reporter) reporter(message);
}

// The file name without folder and without its last extension. '/' and '.'
// never occur inside a multi-byte character of the local code page, so bytes
// can be searched directly. A name that is all extension (".mp3") stays whole.
std::string NameWithoutExtension(std::string_view path) {
  size_t slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  return std::string(name);
}

// Takes a reader's texts when they are not empty (they come trimmed).
template <typename Reader>
void Take(const Reader& reader, std::string& title, std::string& singer) {
  if (!reader.Title().empty()) title = tags::TextToAnsi(reader.Title());
  if (!reader.Artist().empty()) singer = tags::TextToAnsi(reader.Artist());
}

}  // namespace

void SetTagErrorReporter(std::function<void(const std::string& message)> reporter) {
  std::lock_guard lock(ReporterMutex());
  Reporter() = std::move(reporter);
}

void TitleFromTags(const std::string& path, std::string& title, std::string& singer) {
  title = NameWithoutExtension(path);
  singer = "Lyrano";
  try {
    std::error_code ec;
    if (!std::filesystem::exists(cp::AnsiToPath(path), ec)) return;

    TID3v1Tag v1;
    tags::TagResult r = v1.ReadFromFile(path);
    if (r == tags::TagResult::Ok) {
      // An ID3v1 tag settles it, even with empty fields and an ID3v2 tag present.
      Take(v1, title, singer);
      return;
    }
    if (tags::IsReportable(r)) Report(v1.ErrorText());

    TID3v2Tag v2;
    r = v2.ReadFromFile(path);
    if (r == tags::TagResult::Ok) {
      Take(v2, title, singer);
      return;
    }
    if (tags::IsReportable(r)) Report(v2.ErrorText());

    TWMAfile wma;
    if (wma.ReadFromFile(path) == tags::TagResult::Ok) Take(wma, title, singer);
  } catch (...) {
    // A failure past the readers' own handling (a reporter that throws, memory
    // for a conversion): keep what was found so far.
  }
}
