// The association against every case users and the desktop meet, as rows: the
// registry and mimeapps.list before, what the player does, and both hives and
// mimeapps.list after. "start" is what every start does: the check box takes
// IsExtensionClaimed("mp3") and its click runs AssociateFiles with it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/IniFile.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "fileass/DesktopAssociation.h"
#include "fileass/FileAss.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using fileass::TDesktopPlaces;
using reg::THive;

namespace {

constexpr const char* kProgram = "/opt/lyrano/lyrano";
constexpr const char* kMoved = "/home/u/apps/lyrano 2/lyrano";

// A registry that refuses every change to a key containing `failKey`, as a
// hive without write rights would.
class TFailingRegistry : public reg::TRegistryStore {
 public:
  TFailingRegistry(reg::TRegistryStore& inner, std::string failKey)
      : inner_(inner), failKey_(std::move(failKey)) {}
  bool KeyExists(THive h, std::string_view k) const override { return inner_.KeyExists(h, k); }
  std::optional<std::string> ReadValue(THive h, std::string_view k,
                                       std::string_view n) const override {
    return inner_.ReadValue(h, k, n);
  }
  void WriteValue(THive h, std::string_view k, std::string_view n, std::string_view v) override {
    Check(k);
    inner_.WriteValue(h, k, n, v);
  }
  void DeleteValue(THive h, std::string_view k, std::string_view n) override {
    Check(k);
    inner_.DeleteValue(h, k, n);
  }
  void DeleteKey(THive h, std::string_view k) override {
    Check(k);
    inner_.DeleteKey(h, k);
  }

 private:
  void Check(std::string_view key) const {
    if (!failKey_.empty() && key.find(failKey_) != std::string_view::npos)
      throw lyrano::FileError("Cannot create file: access denied");
  }
  reg::TRegistryStore& inner_;
  std::string failKey_;
};

enum class Op { Claim, Release, Start, StartMoved };

struct Row {
  const char* name;
  std::optional<std::string> registry;  // registry.ini before; nullopt: none yet
  std::optional<std::string> mimeapps;  // mimeapps.list before; nullopt: none
  std::vector<Op> ops;
  std::vector<std::string> hivesAfter;  // "key|name=value", sorted; "key|" for an empty key
  std::optional<std::string> mimeappsAfter;
  std::string failKey = {};  // changes to keys containing this fail ...
  int failAt = -1;           // ... during this operation
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

std::string G(const char* utf8) {
  return cp::Utf8ToAnsi(utf8);
}

// Both hives, one line per value, sorted.
std::vector<std::string> Hives(const fs::path& file) {
  std::vector<std::string> out;
  TIniFile ini(file);
  for (const std::string& section : ini.ReadSections()) {
    auto keys = ini.ReadSection(section);
    if (keys.empty()) out.push_back(section + "|");
    for (const std::string& key : keys)
      out.push_back(section + "|" + key + "=" + ini.ReadString(section, key, ""));
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The file type keys a claim writes for ext with `program`.
std::vector<std::string> Ours(const std::string& ext, const std::string& program = kProgram) {
  const std::string t = "HKEY_CLASSES_ROOT\\LyranoAssType." + ext;
  return {t + "|@=" + G("Lyrano媒体文件"), t + "\\DefaultIcon|@=" + program + ",0",
          t + "\\Shell\\Open\\Command|@=\"" + program + "\" \"%1\"", t + "\\Shell|@=Open"};
}

std::vector<std::string> Rows(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  std::sort(out.begin(), out.end());
  return out;
}

const std::string kCr = "HKEY_CLASSES_ROOT\\";
const std::string kExp =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

// A user's list with other sections and an earlier default for MP3 only.
const std::string kUserList =
    "[Added Associations]\n"
    "audio/mpeg=player.desktop;other.desktop;\n"
    "\n"
    "[Default Applications]\n"
    "text/plain=editor.desktop\n"
    "audio/mpeg = player.desktop;\n"
    "# keep this comment\n"
    "\n"
    "[Removed Associations]\n"
    "audio/x-ms-wma=old.desktop;\n";
const std::string kUserListClaimed =
    "[Added Associations]\n"
    "audio/mpeg=player.desktop;other.desktop;\n"
    "\n"
    "[Default Applications]\n"
    "text/plain=editor.desktop\n"
    "audio/mpeg =lyrano.desktop\n"
    "audio/x-ms-wma=lyrano.desktop\n"
    "# keep this comment\n"
    "\n"
    "[Removed Associations]\n"
    "audio/x-ms-wma=old.desktop;\n";
const std::string kNewList =
    "[Default Applications]\naudio/mpeg=lyrano.desktop\naudio/x-ms-wma=lyrano.desktop\n";

const std::string kOtherMp3 = "[HKEY_CLASSES_ROOT\\.mp3]\n@=Other.mp3\n";

std::vector<Row> TableRows() {
  const std::string exp3 = kExp + ".mp3";
  return {
      {"NoExtensionKeyClaimCreatesItWithoutBackup",
       "",
       std::nullopt,
       {Op::Claim},
       Rows({{kCr + ".mp3|@=LyranoAssType.mp3", kCr + ".wma|@=LyranoAssType.wma"},
             Ours("mp3"),
             Ours("wma")}),
       kNewList},
      {"NoExtensionKeyNextStartReleasesAndDeletesIt",
       "",
       std::nullopt,
       {Op::Claim, Op::Start},
       {},
       std::nullopt},
      {"ClaimTwiceKeepsFirstBackup",
       kOtherMp3,
       kUserList,
       {Op::Claim, Op::Claim},
       Rows({{kCr + ".mp3|@=LyranoAssType.mp3", kCr + ".mp3|LyranoAssType.bak=Other.mp3",
              kCr + ".wma|@=LyranoAssType.wma"},
             Ours("mp3"),
             Ours("wma")}),
       kUserListClaimed},
      {"StartWhileClaimedClaimsAgainAndKeepsBackups",
       kOtherMp3,
       kUserList,
       {Op::Claim, Op::Start, Op::Start},
       Rows({{kCr + ".mp3|@=LyranoAssType.mp3", kCr + ".mp3|LyranoAssType.bak=Other.mp3",
              kCr + ".wma|@=LyranoAssType.wma"},
             Ours("mp3"),
             Ours("wma")}),
       kUserListClaimed},
      {"ReleaseRestoresEverythingExactly",
       kOtherMp3,
       kUserList,
       {Op::Claim, Op::Claim, Op::Release},
       {kCr + ".mp3|@=Other.mp3"},
       kUserList},
      {"EmptyEarlierDefaultGetsEmptyBackup",
       "[HKEY_CLASSES_ROOT\\.mp3]\n@=\n",
       std::nullopt,
       {Op::Claim},
       Rows({{kCr + ".mp3|@=LyranoAssType.mp3",
              kCr + ".mp3|LyranoAssType.bak=", kCr + ".wma|@=LyranoAssType.wma"},
             Ours("mp3"),
             Ours("wma")}),
       kNewList},
      {"EmptyBackupReleasedGivesEmptyDefault",
       "[HKEY_CLASSES_ROOT\\.mp3]\n@=\n",
       std::nullopt,
       {Op::Claim, Op::Release},
       {kCr + ".mp3|@="},
       std::nullopt},
      {"NeverClaimedOtherProgramReleaseChangesNothing",
       kOtherMp3 + "[" + exp3 + "]\nProgid=Other.mp3\n[" + exp3 + "\\OpenWithList]\na=x\n",
       kUserList,
       {Op::Release, Op::Start},
       {kCr + ".mp3|@=Other.mp3", exp3 + "\\OpenWithList|a=x", exp3 + "|Progid=Other.mp3"},
       kUserList},
      {"ExplorerChoiceBackedUpAndReplaced",
       kOtherMp3 + "[" + exp3 + "]\nProgid=Other.mp3\n[" + exp3 + "\\OpenWithList]\na=x\n[" + exp3 +
           "\\OpenWithProgids]\nOther.mp3=\n",
       kUserList,
       {Op::Claim},
       Rows({{kCr + ".mp3|@=LyranoAssType.mp3", kCr + ".mp3|LyranoAssType.bak=Other.mp3",
              kCr + ".wma|@=LyranoAssType.wma", exp3 + "|Progid=LyranoAssType.mp3",
              exp3 + "|LyranoAssType.bak=Other.mp3", exp3 + "\\OpenWithList|a=x",
              exp3 + "\\OpenWithProgids|Other.mp3="},
             Ours("mp3"),
             Ours("wma")}),
       kUserListClaimed},
      {"ExplorerChoiceRestoredAndListsRemoved",
       kOtherMp3 + "[" + exp3 + "]\nProgid=Other.mp3\n[" + exp3 + "\\OpenWithList]\na=x\n[" + exp3 +
           "\\OpenWithProgids]\nOther.mp3=\n",
       kUserList,
       {Op::Claim, Op::Release},
       {kCr + ".mp3|@=Other.mp3", exp3 + "|Progid=Other.mp3"},
       kUserList},
      {"ExplorerChoiceAloneDecidesTheDesktopDefault",
       kOtherMp3 + "[" + exp3 + "]\nProgid=Other.mp3\n",
       std::nullopt,
       {Op::Claim},
       Rows({{kCr + ".mp3|@=LyranoAssType.mp3", kCr + ".mp3|LyranoAssType.bak=Other.mp3",
              kCr + ".wma|@=LyranoAssType.wma", exp3 + "|Progid=LyranoAssType.mp3",
              exp3 + "|LyranoAssType.bak=Other.mp3"},
             Ours("mp3"),
             Ours("wma")}),
       kNewList},
      {"MovedProgramStartRewritesIconAndCommand",
       kOtherMp3,
       std::nullopt,
       {Op::Claim, Op::StartMoved},
       Rows({{kCr + ".mp3|@=LyranoAssType.mp3", kCr + ".mp3|LyranoAssType.bak=Other.mp3",
              kCr + ".wma|@=LyranoAssType.wma"},
             Ours("mp3", kMoved),
             Ours("wma", kMoved)}),
       kNewList},
      {"FreshMachineStartsFromTheDesktopDefaults",
       std::nullopt,
       "[Default Applications]\naudio/mpeg=player.desktop\n",
       {Op::Start, Op::Claim, Op::Start},
       Rows({{kCr + ".mp3|@=LyranoAssType.mp3", kCr + ".mp3|LyranoAssType.bak=player.desktop",
              kCr + ".mp3|Content Type=audio/mpeg", kCr + ".wma|@=LyranoAssType.wma",
              kCr + ".wma|LyranoAssType.bak=", kCr + ".wma|Content Type=audio/x-ms-wma"},
             Ours("mp3"),
             Ours("wma")}),
       kNewList},
      {"FreshMachineReleaseGivesTheDefaultsBack",
       std::nullopt,
       "[Default Applications]\naudio/mpeg=player.desktop\n",
       {Op::Claim, Op::Start, Op::Release},
       {kCr + ".mp3|@=player.desktop", kCr + ".mp3|Content Type=audio/mpeg",
        kCr + ".wma|@=", kCr + ".wma|Content Type=audio/x-ms-wma"},
       "[Default Applications]\naudio/mpeg=player.desktop\n"},
      {"FreshMachineUncheckedStartWritesNothing",
       std::nullopt,
       kUserList,
       {Op::Start},
       {},
       kUserList},
      {"FailingStepEndsThatExtensionOnly",
       kOtherMp3,
       std::nullopt,
       {Op::Claim},
       Rows({{kCr + ".mp3|@=LyranoAssType.mp3", kCr + ".mp3|LyranoAssType.bak=Other.mp3",
              kCr + "LyranoAssType.mp3|@=" + G("Lyrano媒体文件"),
              kCr + "LyranoAssType.mp3\\DefaultIcon|@=" + kProgram + ",0",
              kCr + ".wma|@=LyranoAssType.wma"},
             Ours("wma")}),
       "[Default Applications]\naudio/x-ms-wma=lyrano.desktop\n",
       "LyranoAssType.mp3\\Shell",
       0},
      {"FailingReleaseStepKeepsEarlierSteps",
       kOtherMp3,
       kUserList,
       {Op::Claim, Op::Release},
       // WMA's extension key went at step 3; its file type could not go at step 4.
       Rows({{kCr + ".mp3|@=Other.mp3"}, Ours("wma")}),
       // MP3 is given back; WMA's last notice was not reached.
       "[Added Associations]\n"
       "audio/mpeg=player.desktop;other.desktop;\n"
       "\n"
       "[Default Applications]\n"
       "text/plain=editor.desktop\n"
       "audio/mpeg = player.desktop;\n"
       "audio/x-ms-wma=lyrano.desktop\n"
       "# keep this comment\n"
       "\n"
       "[Removed Associations]\n"
       "audio/x-ms-wma=old.desktop;\n",
       "LyranoAssType.wma",
       1},
  };
}

class AssociationTable : public testing::TestWithParam<Row> {};

TEST_P(AssociationTable, HivesAndDesktopAfterEachCase) {
  const Row& row = GetParam();
  testsupport::TempDir dir;
  TDesktopPlaces places;
  places.Applications = dir / "data" / "applications";
  places.MimeAppsList = dir / "config" / "mimeapps.list";
  places.Registry = dir / "config" / "lyrano" / "registry.ini";
  places.Defaults = dir / "config" / "lyrano" / "defaults.ini";
  places.EarlierEntry = dir / "config" / "lyrano" / "lyrano.desktop.earlier";
  fs::create_directories(places.Registry.parent_path());
  if (row.registry) testsupport::WriteFile(places.Registry, *row.registry);
  if (row.mimeapps) testsupport::WriteFile(places.MimeAppsList, *row.mimeapps);

  for (size_t i = 0; i < row.ops.size(); ++i) {
    const Op op = row.ops[i];
    // Every operation is a run of the program of its own.
    reg::TIniRegistry registry(places.Registry, fileass::DesktopSeed(places));
    TFailingRegistry failing(registry,
                             static_cast<int>(i) == row.failAt ? row.failKey : std::string());
    fileass::TFileAss fa(failing, op == Op::StartMoved ? kMoved : kProgram,
                         [&](uint32_t) { fileass::ApplyAssociationToDesktop(failing, places); });
    switch (op) {
      case Op::Claim:
        fa.AssociateFiles(true);
        break;
      case Op::Release:
        fa.AssociateFiles(false);
        break;
      case Op::Start:
      case Op::StartMoved:
        fa.AssociateFiles(fa.IsExtensionClaimed("mp3"));
        break;
    }
  }

  EXPECT_EQ(Hives(places.Registry), row.hivesAfter);
  if (row.mimeappsAfter) {
    EXPECT_EQ(testsupport::ReadFile(places.MimeAppsList), *row.mimeappsAfter);
  } else {
    EXPECT_FALSE(fs::exists(places.MimeAppsList)) << testsupport::ReadFile(places.MimeAppsList);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, AssociationTable, testing::ValuesIn(TableRows()),
                         [](const testing::TestParamInfo<Row>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
