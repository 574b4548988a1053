// The player core's rows: adding, removing, loading and saving lists, the
// chunked fill and the single Busy() that guards every command changing rows
// or writing a list file while it runs.
#include <QSignalSpy>

#include "PlayerFixture.h"
#include "playlist/PlaylistFile.h"

using playertest::Fake;

namespace {

class PlayerRows : public playertest::PlayerTest {
 protected:
  std::string File(const char* name) const { return (dir / name).string(); }
  std::string Read(const char* name) const { return testsupport::ReadFile(dir / name); }
  // A list file of `count` local songs.
  void WriteList(const char* name, int count) {
    std::vector<TPlaylistEntry> rows;
    for (int i = 0; i < count; ++i)
      rows.push_back({"Song " + std::to_string(i), "Band", 0, PathOf('A') + std::to_string(i)});
    WritePlaylistFile(File(name), rows);
  }
  bool WaitFilled() {
    return WaitFor([&] { return !player->Busy(); }, 10000);
  }
};

TEST_F(PlayerRows, AddSavesOnceAndFindsADuplicate) {
  player->Load(File("missing.txt"));  // a missing file changes nothing
  EXPECT_EQ(player->PlaylistFile(), "");
  WriteList("list.txt", 2);
  player->Load(File("list.txt"));
  ASSERT_EQ(player->PlaylistFile(), File("list.txt"));
  // Trimmed, and a bar in a title stored as the full-width one.
  int added = player->Add({" A|B ", " Singer ", 7, ""}, false);
  EXPECT_EQ(added, 2);
  EXPECT_EQ(player->CurrentIndex(), 2);
  EXPECT_EQ(player->Rows().Entry(2).Title,
            "A\xA3\xFC"
            "B");
  std::string saved = Read("list.txt");
  EXPECT_NE(saved.find("A\xA3\xFC"
                       "B|Singer|7|"),
            std::string::npos)
      << saved;
  // The same song again: found, made current, nothing written.
  player->PlayRow(0);
  testsupport::WriteFile(dir / "list.txt", "changed on disk\r\n");
  EXPECT_EQ(player->Add({"A|B", "Singer", 7, ""}, false), 2);
  EXPECT_EQ(player->CurrentIndex(), 2);
  EXPECT_EQ(Read("list.txt"), "changed on disk\r\n");
  EXPECT_EQ(player->Rows().Count(), 3);
}

TEST_F(PlayerRows, RemoveKeepsTheCurrentSongCurrent) {
  UseRows("ABCD");
  player->SaveAs(File("list.txt"));
  player->PlayRow(2);
  player->Remove(0);  // before the current row: it moves up
  EXPECT_EQ(player->CurrentIndex(), 1);
  EXPECT_EQ(player->Rows().Entry(1).Title, "Song C");
  player->Remove(2);  // after it: stays
  EXPECT_EQ(player->CurrentIndex(), 1);
  player->Remove(9);  // out of range: nothing
  EXPECT_EQ(player->Rows().Count(), 2);
  EXPECT_EQ(ParsePlaylistText(Read("list.txt")).Entries, player->Rows().Entries());
  player->Clear();
  EXPECT_EQ(player->CurrentIndex(), -1);
  EXPECT_EQ(Read("list.txt"), "");
}

TEST_F(PlayerRows, RemoveCheckedLeavesTheCurrentIndexForThePlayToBringBack) {
  UseRows("ABCDE");
  player->SaveAs(File("list.txt"));
  player->PlayRow(4);
  player->SetChecked(1, true);
  player->SetChecked(3, true);
  player->SetChecked(4, true);
  player->RemoveChecked();
  ASSERT_EQ(player->Rows().Count(), 2);
  EXPECT_EQ(player->Rows().Entry(1).Title, "Song C");
  EXPECT_EQ(player->CurrentIndex(), 4);
  EXPECT_EQ(ParsePlaylistText(Read("list.txt")).Entries.size(), 2u);
  // Playing the current row brings the index back into the list: the last row.
  player->PlayRow(-1);
  EXPECT_EQ(player->CurrentIndex(), 1);
  EXPECT_EQ(Opened(), 'C');
  player->InvertChecks();
  EXPECT_TRUE(player->Rows().Checked(0));
  EXPECT_TRUE(player->Rows().Checked(1));
}

TEST_F(PlayerRows, ALongListFillsInChunksAndBecomesCurrentWhenWhole) {
  WriteList("old.txt", 3);
  player->Load(File("old.txt"));
  WriteList("big.txt", 5 * TRowModel::kFillChunk + 7);
  QSignalSpy finished(player.get(), &TPlayer::FillFinished);
  player->Load(File("big.txt"));
  ASSERT_TRUE(player->Busy());
  EXPECT_EQ(player->Rows().Count(), TRowModel::kFillChunk);
  // No file is current while it fills: nothing may write half a list.
  EXPECT_EQ(player->PlaylistFile(), "");
  ASSERT_TRUE(WaitFilled());
  EXPECT_EQ(player->Rows().Count(), 5 * TRowModel::kFillChunk + 7);
  EXPECT_EQ(player->PlaylistFile(), File("big.txt"));
  EXPECT_EQ(finished.count(), 1);
}

TEST_F(PlayerRows, EveryCommandThatChangesRowsOrWritesAFileWaitsForTheFill) {
  WriteList("big.txt", 3 * TRowModel::kFillChunk);
  WriteList("other.txt", 2);
  const std::string other = Read("other.txt");
  player->Load(File("big.txt"));
  ASSERT_TRUE(player->Busy());
  int rows = player->Rows().Count();
  player->Load(File("other.txt"));
  EXPECT_EQ(player->Add({"New", "", 0, ""}, false), -1);
  player->AddMany({{"New", "", 0, ""}});
  player->Remove(0);
  player->RemoveChecked();
  player->Clear();
  player->Save(File("other.txt"));
  player->SaveAs(File("other.txt"));
  player->NewList(File("other.txt"));
  EXPECT_TRUE(player->AddFiles({PathOf('A')}).empty());
  EXPECT_EQ(player->Rows().Count(), rows);
  EXPECT_EQ(Read("other.txt"), other);
  ASSERT_TRUE(WaitFilled());
  EXPECT_EQ(player->Rows().Count(), 3 * TRowModel::kFillChunk);
  EXPECT_EQ(player->Rows().IndexOf({"New", "", 0, ""}), -1);
}

// "载入其他列表" while many ticked results are being added: the other list
// is neither loaded into nor written.
TEST_F(PlayerRows, ALoadDuringABatchAddLeavesTheOtherListAsItWas) {
  WriteList("list.txt", 3);
  player->Load(File("list.txt"));
  WriteList("other.txt", 4);
  const std::string other = Read("other.txt");
  std::vector<TPlaylistEntry> ticked;
  for (int i = 0; i < 2000; ++i) ticked.push_back({"Hit " + std::to_string(i), "Site", i + 1, ""});
  player->AddMany(ticked);
  ASSERT_TRUE(player->Busy());
  player->Load(File("other.txt"));
  ASSERT_TRUE(WaitFilled());
  EXPECT_EQ(Read("other.txt"), other);
  EXPECT_EQ(player->PlaylistFile(), File("list.txt"));
  EXPECT_EQ(player->Rows().Count(), 2003);
  EXPECT_EQ(ParsePlaylistText(Read("list.txt")).Entries.size(), 2003u);
  // The last ticked row is current; it is being looked up to play.
  EXPECT_EQ(player->CurrentIndex(), 2002);
}

TEST_F(PlayerRows, ABatchAddSkipsWhatTheListHasAndPlaysTheLastTicked) {
  UseRows("AB");
  player->SaveAs(File("list.txt"));
  player->AddMany({Songs("B")[0], {"Song X", "Band", 0, PathOf('X')}, Songs("A")[0]});
  ASSERT_TRUE(WaitFilled());
  EXPECT_EQ(player->Rows().Count(), 3);
  EXPECT_EQ(player->CurrentIndex(), 0);  // "Song A", the last ticked
  EXPECT_EQ(Opened(), 'A');
  // Nothing ticked: what was current plays.
  player->PlayRow(2);
  player->AddMany({});
  EXPECT_EQ(Opened(), 'X');
}

TEST_F(PlayerRows, AMalformedListLoadsUpToItsBadLineAndIsNoOnesFile) {
  testsupport::WriteFile(dir / "bad.txt", "One|S|0|\r\nTwo|S|x|\r\nThree|S|0|\r\n");
  EXPECT_THROW(player->Load(File("bad.txt")), std::exception);
  ASSERT_TRUE(WaitFilled());
  EXPECT_EQ(player->Rows().Count(), 1);
  EXPECT_EQ(player->PlaylistFile(), "");
  player->Add({"Four", "", 0, ""}, false);
  EXPECT_EQ(Read("bad.txt"), "One|S|0|\r\nTwo|S|x|\r\nThree|S|0|\r\n");
}

TEST_F(PlayerRows, NewListWritesTheEmptyFileFirst) {
  UseRows("AB");
  player->SaveAs(File("list.txt"));
  EXPECT_THROW(player->NewList(File("no/such/folder/new.txt")), std::exception);
  EXPECT_EQ(player->Rows().Count(), 2);
  EXPECT_EQ(player->PlaylistFile(), File("list.txt"));
  player->NewList(File("new.txt"));
  EXPECT_EQ(player->Rows().Count(), 0);
  EXPECT_EQ(player->PlaylistFile(), File("new.txt"));
  EXPECT_EQ(Read("new.txt"), "");
}

TEST_F(PlayerRows, AddFilesRefusesPathsALineCannotHoldAndPlaysTheLastAdded) {
  testsupport::WriteFile(dir / "one.mp3", "not really audio");
  testsupport::WriteFile(dir / "a|b.mp3", "not really audio");
  std::vector<std::string> refused = player->AddFiles(
      {(dir / "one.mp3").string(), (dir / "a|b.mp3").string(), (dir / "absent.mp3").string()});
  EXPECT_EQ(refused, (std::vector<std::string>{(dir / "a|b.mp3").string()}));
  ASSERT_EQ(player->Rows().Count(), 1);
  EXPECT_EQ(player->Rows().Entry(0).mp3Patch, (dir / "one.mp3").string());
  EXPECT_EQ(std::string(Fake().LastOpened()), (dir / "one.mp3").string());
}

TEST(RowModel, RemovingTickedRowsInRunsKeepsTheOrderOfTheRest) {
  TRowModel model;
  for (const char* t : {"a", "b", "c", "d", "e", "f"}) model.Append({t, "", 0, ""});
  for (int i : {0, 2, 3, 5}) model.SetChecked(i, true);
  int removals = 0;
  QObject::connect(&model, &QAbstractItemModel::rowsRemoved, [&] { ++removals; });
  EXPECT_EQ(model.RemoveChecked(), 4);
  EXPECT_EQ(removals, 3);  // runs: f, c..d, a
  ASSERT_EQ(model.Count(), 2);
  EXPECT_EQ(model.Entry(0).Title, "b");
  EXPECT_EQ(model.Entry(1).Title, "e");
  EXPECT_FALSE(model.Checked(0));
  EXPECT_EQ(model.Entry(5).Title, "");  // out of range: empty
}

TEST(RowModel, AnIndexKeptFromBeforeARemovalReadsNothing) {
  TRowModel model;
  model.AppendAll({{"a", "", 0, ""}, {"b", "", 0, ""}});
  QPersistentModelIndex kept = model.index(1);
  QModelIndex plain = model.index(1);
  EXPECT_EQ(model.data(plain, TRowModel::TitleRole).toString(), "b");
  model.Remove(1);
  EXPECT_FALSE(kept.isValid());
  EXPECT_FALSE(model.data(plain, TRowModel::TitleRole).isValid());
  EXPECT_FALSE(model.data(plain, TRowModel::CheckedRole).isValid());
}

TEST(RowModel, ACancelledFillEndsWhereItStoodAndSaysSo) {
  TRowModel model;
  std::vector<TPlaylistEntry> rows(3 * TRowModel::kFillChunk, TPlaylistEntry{"x", "", 0, ""});
  std::vector<bool> ends;
  model.Fill(rows, nullptr, [&](bool completed) { ends.push_back(completed); });
  EXPECT_TRUE(model.Busy());
  model.Cancel();
  EXPECT_FALSE(model.Busy());
  EXPECT_EQ(model.Count(), TRowModel::kFillChunk);
  EXPECT_EQ(ends, std::vector<bool>{false});
  QCoreApplication::processEvents();
  EXPECT_EQ(model.Count(), TRowModel::kFillChunk);
  // A short fill ends within the call.
  model.Fill({{"y", "", 0, ""}}, nullptr, [&](bool completed) { ends.push_back(completed); });
  EXPECT_FALSE(model.Busy());
  EXPECT_EQ(ends, (std::vector<bool>{false, true}));
}

}  // namespace
