// mimeapps.list edits: a default set and given back leaves the user's file as
// it was, byte for byte, whatever its shape; a default the user chose since is
// not overwritten.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileass/MimeApps.h"

namespace {

constexpr const char* kMime = "audio/mpeg";
constexpr const char* kOurs = "lyrano.desktop";

std::string RoundTrip(const std::string& text) {
  mimeapps::TSetResult set = mimeapps::SetDefault(text, kMime, kOurs);
  EXPECT_EQ(mimeapps::DefaultFor(set.Text, kMime), kOurs) << set.Text;
  std::string back = mimeapps::RestoreDefault(set.Text, kMime, kOurs, set.Backup);
  if (set.AddedSection) back = mimeapps::RemoveEmptySection(back, set.AddedLineEnd);
  return back;
}

TEST(MimeAppsList, SetAndRestoreGiveTheFileBackExactly) {
  const std::vector<std::string> files = {
      "",
      "[Default Applications]\n",
      "[Default Applications]\naudio/mpeg=player.desktop\n",
      "[Default Applications]\r\naudio/mpeg = player.desktop;other.desktop;\r\n[X]\r\na=b\r\n",
      "[Default Applications]\naudio/mpeg=\n",
      "[Default Applications]\ntext/plain=ed.desktop",  // no final line end
      "[Default Applications]",
      "# c\r\n[Default Applications]\ntext/plain=ed.desktop",
      // A last line that ends in a lone CR keeps it.
      "[Default Applications]\ntext/plain=ed.desktop\r",
      "a=b\r",
      "[Added Associations]\naudio/mpeg=a.desktop;\n",
      "[Added Associations]\naudio/mpeg=a.desktop;",  // no final line end
      "# only a comment\n\n",
      "[Default Applications]\n# c\n\ntext/plain=ed.desktop\n\n[Removed Associations]\n",
      // Only the first section and entry count; the rest is left alone.
      "[Default Applications]\naudio/mpeg=a.desktop\naudio/mpeg=b.desktop\n"
      "[Default Applications]\naudio/mpeg=c.desktop\n",
      "[default applications]\naudio/mpeg=case.desktop\n",
  };
  for (const std::string& text : files) EXPECT_EQ(RoundTrip(text), text) << text;
}

TEST(MimeAppsList, SetChangesOnlyTheTypesEntry) {
  auto set = mimeapps::SetDefault(
      "[Added Associations]\naudio/mpeg=a.desktop;\n\n[Default Applications]\n"
      "text/plain=ed.desktop\n\n[Removed Associations]\nx=y\n",
      kMime, kOurs);
  EXPECT_EQ(set.Text,
            "[Added Associations]\naudio/mpeg=a.desktop;\n\n[Default Applications]\n"
            "text/plain=ed.desktop\naudio/mpeg=lyrano.desktop\n\n[Removed Associations]\nx=y\n");
  EXPECT_FALSE(set.Backup.HadEntry);
  EXPECT_FALSE(set.AddedSection);

  set = mimeapps::SetDefault("[Default Applications]\naudio/mpeg =  vlc.desktop;\n", kMime, kOurs);
  EXPECT_EQ(set.Text, "[Default Applications]\naudio/mpeg =lyrano.desktop\n");
  EXPECT_TRUE(set.Backup.HadEntry);
  EXPECT_EQ(set.Backup.EarlierValue, "  vlc.desktop;");

  set = mimeapps::SetDefault("a=b", kMime, kOurs);
  EXPECT_EQ(set.Text, "a=b\n[Default Applications]\naudio/mpeg=lyrano.desktop\n");
  EXPECT_TRUE(set.AddedSection);
  EXPECT_TRUE(set.AddedLineEnd);
}

TEST(MimeAppsList, ADefaultChosenSinceIsLeftAlone) {
  auto set = mimeapps::SetDefault("[Default Applications]\naudio/mpeg=old.desktop\n", kMime, kOurs);
  const std::string chosen = "[Default Applications]\naudio/mpeg=new.desktop\n";
  EXPECT_EQ(mimeapps::RestoreDefault(chosen, kMime, kOurs, set.Backup), chosen);
  const std::string removed = "[Default Applications]\n";
  EXPECT_EQ(mimeapps::RestoreDefault(removed, kMime, kOurs, set.Backup), removed);
  // A section the user has put entries into stays.
  const std::string added = "[Default Applications]\ntext/plain=ed.desktop\n";
  EXPECT_EQ(mimeapps::RemoveEmptySection(added, false), added);
}

TEST(MimeAppsList, DefaultForReadsTheFirstEntryOfTheSection) {
  const std::string text =
      "[Added Associations]\naudio/mpeg=no.desktop\n[Default Applications]\n"
      "audio/mpeg = yes.desktop \naudio/mpeg=later.desktop\n";
  EXPECT_EQ(mimeapps::DefaultFor(text, kMime), "yes.desktop");
  EXPECT_EQ(mimeapps::DefaultFor(text, "audio/x-ms-wma"), std::nullopt);
  EXPECT_EQ(mimeapps::DefaultFor("", kMime), std::nullopt);
}

}  // namespace
