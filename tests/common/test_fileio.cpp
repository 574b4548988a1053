// Whole-file reading: what counts as missing, what fails and why, the size cap
// (also for files whose size the system does not know in advance), and the
// descriptor owner; a replacement clears only its own leftovers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "common/FileIO.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using fileio::ReadStatus;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

bool IsOpen(int fd) {
  return ::fcntl(fd, F_GETFD) != -1;
}

TEST(FileIO, ReadsRegularFilesWholeWithinTheCap) {
  TempDir dir;
  const std::string bytes("[00:01]a\r\n\0\xFF tail", 16);
  WriteFile(dir / "a.bin", bytes);
  WriteFile(dir / "empty", "");

  struct Case {
    const char* name;
    size_t cap;
    ReadStatus status;
    std::string bytes;
    int error;
  } cases[] = {
      {"a.bin", 1000, ReadStatus::Ok, bytes, 0},
      {"a.bin", bytes.size(), ReadStatus::Ok, bytes, 0},
      {"a.bin", bytes.size() - 1, ReadStatus::Failed, "", EFBIG},
      {"empty", 0, ReadStatus::Ok, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " cap " + std::to_string(c.cap));
    fileio::ReadResult r = fileio::ReadWholeFile(dir / c.name, c.cap);
    EXPECT_EQ(r.Status, c.status);
    EXPECT_EQ(r.Bytes, c.bytes);
    EXPECT_EQ(r.Error, c.error);
  }
}

TEST(FileIO, MissingFoldersAndThingsThatAreNoFiles) {
  TempDir dir;
  fs::create_directory(dir / "folder");
  WriteFile(dir / "plain", "x");
  EXPECT_EQ(fileio::ReadWholeFile(dir / "none", 10).Status, ReadStatus::Missing);
  EXPECT_EQ(fileio::ReadWholeFile(dir / "plain" / "sub", 10).Status, ReadStatus::Missing);
  EXPECT_EQ(fileio::ReadWholeFile(dir / "folder", 10).Status, ReadStatus::Folder);

  // A FIFO nobody writes to fails at once instead of waiting for a writer.
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  fileio::ReadResult fifo = fileio::ReadWholeFile(dir / "pipe", 10);
  EXPECT_EQ(fifo.Status, ReadStatus::Failed);
  EXPECT_EQ(fifo.Error, EINVAL);

  if (::geteuid() != 0) {
    WriteFile(dir / "secret", "x");
    fs::permissions(dir / "secret", fs::perms::none);
    fileio::ReadResult denied = fileio::ReadWholeFile(dir / "secret", 10);
    EXPECT_EQ(denied.Status, ReadStatus::Failed);
    EXPECT_EQ(denied.Error, EACCES);
  }
}

// Files under /proc report size 0 and are read until their end: the cap must
// still hold while the buffer grows.
TEST(FileIO, FilesOfUnknownSizeAreReadToTheirEndWithinTheCap) {
  const fs::path status = "/proc/self/status";
  if (!fs::exists(status)) GTEST_SKIP() << "no /proc";
  fileio::ReadResult whole = fileio::ReadWholeFile(status, 1 << 20);
  ASSERT_EQ(whole.Status, ReadStatus::Ok);
  EXPECT_EQ(whole.Bytes.rfind("Name:", 0), 0u) << whole.Bytes.substr(0, 40);
  EXPECT_EQ(whole.Bytes.back(), '\n');

  fileio::ReadResult capped = fileio::ReadWholeFile(status, 8);
  EXPECT_EQ(capped.Status, ReadStatus::Failed);
  EXPECT_EQ(capped.Error, EFBIG);
  EXPECT_TRUE(capped.Bytes.empty());
}

TEST(FileIO, ReadFileIfPresentTakesLocalCodePageNames) {
  TempDir dir;
  // "你好.lrc" in GBK; on disk the name is UTF-8.
  const std::string name = cp::PathToAnsi(dir.path()) + "/\xC4\xE3\xBA\xC3.lrc";
  WriteFile(dir / "\xE4\xBD\xA0\xE5\xA5\xBD.lrc", "12345");
  EXPECT_EQ(fileio::ReadFileIfPresent(name, 5), std::optional<std::string>("12345"));

  fs::create_directory(dir / "folder");
  EXPECT_EQ(fileio::ReadFileIfPresent(cp::PathToAnsi(dir / "folder"), 5), std::nullopt);
  EXPECT_EQ(fileio::ReadFileIfPresent(cp::PathToAnsi(dir / "none"), 5), std::nullopt);

  try {
    fileio::ReadFileIfPresent(name, 4);
    FAIL() << "no error above the cap";
  } catch (const lyrano::FileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + name + "\". File too large");
  }
}

TEST(FileIO, UniqueFdClosesOnceAndHandsOver) {
  TempDir dir;
  WriteFile(dir / "f", "x");
  int raw = -1;
  {
    fileio::UniqueFd fd(::open((dir / "f").c_str(), O_RDONLY | O_CLOEXEC));
    raw = fd.get();
    ASSERT_GE(raw, 0);
    fileio::UniqueFd moved(std::move(fd));
    EXPECT_EQ(fd.get(), -1);
    EXPECT_EQ(moved.get(), raw);
    EXPECT_TRUE(IsOpen(raw));
  }
  EXPECT_FALSE(IsOpen(raw));

  fileio::UniqueFd closing(::open((dir / "f").c_str(), O_RDONLY | O_CLOEXEC));
  raw = closing.get();
  EXPECT_TRUE(closing.Close());
  EXPECT_EQ(closing.get(), -1);
  EXPECT_FALSE(IsOpen(raw));
  EXPECT_TRUE(closing.Close());  // nothing left to close

  int kept = -1;
  {
    fileio::UniqueFd fd(::open((dir / "f").c_str(), O_RDONLY | O_CLOEXEC));
    kept = fd.release();
    EXPECT_EQ(fd.get(), -1);
  }
  EXPECT_TRUE(IsOpen(kept));
  ::close(kept);
}

// A save removes what killed saves of the same file left behind, and nothing
// that merely looks like it: the user's own files beside the list stay.
TEST(FileIO, ReplacingRemovesOnlyTheLeftoversOfThatFile) {
  TempDir dir;
  WriteFile(dir / "list.txt", "old");
  const struct {
    const char* name;
    bool removed;
  } rows[] = {
      {".list.txt.0123abcd.tmp", true},
      {".list.txt.0123456789abcdef.tmp", true},
      {".list.txt.0123abcd.bak", false},
      {".list.txt.0123abcd.tmp.txt", false},
      {".list.txt..tmp", false},
      {".list.txt.tmp", false},
      {".list.txt.0123456789abcdef0.tmp", false},
      {".list.txt.0123ABCD.tmp", false},
      {".list.txt.notes.tmp", false},
      {".other.txt.0123abcd.tmp", false},
  };
  for (const auto& row : rows) WriteFile(dir / row.name, "mine");
  ASSERT_EQ(fileio::ReplaceFileContent(dir / "list.txt", "new"), 0);
  EXPECT_EQ(testsupport::ReadFile(dir / "list.txt"), "new");
  for (const auto& row : rows) EXPECT_EQ(fs::exists(dir / row.name), !row.removed) << row.name;
}

}  // namespace
