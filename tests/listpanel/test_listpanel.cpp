// The list panel as users and the window see it: rows, tags, tops, stripes,
// hover, selection, ticks, captions, menus and a very long list.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "playlist/listpanel/listpanel.h"

namespace {

QPixmap Solid(QColor color) {
  QPixmap pixmap(260, 20);
  pixmap.fill(color);
  return pixmap;
}

TListBackBitmaps Bitmaps(int shade) {
  return {Solid(QColor(shade, 0, 0)), Solid(QColor(0, shade, 0)), Solid(QColor(0, 0, shade)),
          Solid(QColor(shade, shade, 0))};
}

// A tab sheet as the window lays it out: the list, and the external scroll bar
// at 273,0 19x168.
struct Sheet {
  explicit Sheet(const TListBackBitmaps* bitmaps, QWidget* parent = nullptr)
      : widget(std::make_unique<QWidget>(parent)) {
    widget->resize(292, 168);
    scrollBar = new QScrollBar(Qt::Vertical, widget.get());
    scrollBar->setGeometry(273, 0, 19, 168);
    scrollBar->hide();
    menu = new QMenu(widget.get());
    menu->addAction(QStringLiteral("x"));
    list = new TCnScroolStoreBox(widget.get(), scrollBar, bitmaps, menu);
    list->SetItemHeight(20);
  }
  std::unique_ptr<QWidget> widget;
  QScrollBar* scrollBar;
  QMenu* menu;
  TCnScroolStoreBox* list;
};

class ListPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bitmaps = Bitmaps(200);
    window.resize(600, 200);
    playlist = std::make_unique<Sheet>(&bitmaps, &window);
    search = std::make_unique<Sheet>(&bitmaps, &window);
    search->widget->move(300, 0);
    // A fresh process may have its pointer resting where the rows appear; park it
    // outside the window so no row starts hovered.
    QCursor::setPos(5000, 5000);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // Rows shown under a resting mouse take the hover look; start away.
    MoveTo(&window, QPoint(590, 190));
  }
  void TearDown() override { window.hide(); }

  void Add(TCnScroolStoreBox* list, int n) {
    for (int i = 0; i < n; ++i) list->AddItem("song" + std::to_string(i), "singer", i, "");
  }

  // The colour the row widget shows in a spot no child covers.
  static QColor Shown(TCnScroolStoreBox* list, int index) {
    QWidget* row = list->rowWidget(index);
    if (!row) return {};
    return row->grab().toImage().pixelColor(29, 10);
  }

  static QWidget* ChildAt(TCnScroolStoreBox* list, QPoint pos, QPoint* local) {
    QWidget* target = list->childAt(pos);
    if (!target) target = list;
    *local = target->mapFrom(list, pos);
    return target;
  }
  static void Click(TCnScroolStoreBox* list, QPoint pos) {
    QPoint local;
    QWidget* target = ChildAt(list, pos, &local);
    QTest::mouseClick(target, Qt::LeftButton, {}, local);
  }
  static void ClickRow(TCnScroolStoreBox* list, int index) {
    // Over the title label, like a user would.
    Click(list, list->rowRect(index).topLeft() + QPoint(60, 8));
  }
  // Press, release, double-click, release: what a real double-click sends.
  static void DoubleClick(TCnScroolStoreBox* list, QPoint pos) {
    QPoint local;
    QWidget* target = ChildAt(list, pos, &local);
    QTest::mousePress(target, Qt::LeftButton, {}, local);
    QTest::mouseRelease(target, Qt::LeftButton, {}, local);
    QTest::mouseDClick(target, Qt::LeftButton, {}, local);
    QTest::mouseRelease(target, Qt::LeftButton, {}, local);
  }
  // Moves the cursor itself, so enter and leave events happen as for a user.
  static void MoveTo(QWidget* widget, QPoint pos) {
    QTest::mouseMove(widget, pos);
    QCoreApplication::processEvents();
  }

  TListBackBitmaps bitmaps;
  QWidget window;
  std::unique_ptr<Sheet> playlist;
  std::unique_ptr<Sheet> search;
};

std::vector<std::string> Titles(const TCnScroolStoreBox& list) {
  std::vector<std::string> titles;
  for (const TPlaylistEntry& entry : list.Entries()) titles.push_back(entry.Title);
  return titles;
}

TEST_F(ListPanelTest, ConstructionFollowsTheOwner) {
  TCnScroolStoreBox fresh(playlist->widget.get(), nullptr, &bitmaps, nullptr);
  EXPECT_EQ(fresh.geometry(), QRect(0, 0, 272, 168));
  EXPECT_EQ(fresh.ItemHeight(), 46);
  EXPECT_EQ(fresh.Itemwidth(), 260);
  EXPECT_FALSE(fresh.ItemDBlClickFun());
  EXPECT_EQ(fresh.Count(), 0);
}

TEST_F(ListPanelTest, RowsStackWithTagsTopsAndStripes) {
  TCnScroolStoreBox* list = playlist->list;
  EXPECT_FALSE(playlist->scrollBar->isVisible());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(list->AddItem("t" + std::to_string(i), "s", 7, "/p"), i);
  }
  EXPECT_TRUE(playlist->scrollBar->isVisible());
  const int tops[] = {3, 26, 49};
  const int stripes[] = {1, 0, 1};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(list->Item(i)->Tag(), i);
    EXPECT_EQ(list->rowRect(i), QRect(3, tops[i], 260, 20));
    ASSERT_NE(list->rowWidget(i), nullptr);
    EXPECT_EQ(list->rowWidget(i)->geometry(), list->rowRect(i));
    EXPECT_EQ(list->backgroundIndex(i), stripes[i]);
    EXPECT_EQ(Shown(list, i), bitmaps.ByIndex(stripes[i]).toImage().pixelColor(0, 0));
  }
  EXPECT_EQ(list->Entry(1), (TPlaylistEntry{"t1", "s", 7, "/p"}));
  EXPECT_EQ(list->IndexOf({"t2", "s", 7, "/p"}), 2);
  EXPECT_EQ(list->IndexOf({"t2", "s", 7, "/P"}), -1);
  EXPECT_EQ(list->Item(3), nullptr);
  EXPECT_EQ(list->Entry(-1), TPlaylistEntry{});
}

TEST_F(ListPanelTest, DeleteItemRenumbersAndRestripesTheRest) {
  struct Case {
    int remove;
    std::vector<std::string> left;
  };
  const Case cases[] = {{0, {"song1", "song2"}}, {1, {"song0", "song2"}}, {2, {"song0", "song1"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.remove);
    TCnScroolStoreBox* list = playlist->list;
    list->ClearItems();
    Add(list, 3);
    EXPECT_TRUE(list->DeleteItem(c.remove));
    EXPECT_EQ(Titles(*list), c.left);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(list->Item(i)->Tag(), i);
      EXPECT_EQ(list->rowRect(i).top(), 3 + 23 * i);
      EXPECT_EQ(list->backgroundIndex(i), i % 2 == 0 ? 1 : 0);
      EXPECT_EQ(list->rowWidget(i)->geometry(), list->rowRect(i));
    }
    EXPECT_EQ(list->rowWidget(2), nullptr);
  }
  // Out of range: a clear refusal, nothing changes.
  EXPECT_FALSE(playlist->list->DeleteItem(2));
  EXPECT_FALSE(playlist->list->DeleteItem(-1));
  EXPECT_EQ(playlist->list->Count(), 2);
}

TEST_F(ListPanelTest, DeleteKeepsTicksAndSelectionOfTheOthers) {
  TCnScroolStoreBox* list = playlist->list;
  Add(list, 4);
  ClickRow(list, 2);
  list->SetChecked(3, true);
  ASSERT_TRUE(list->DeleteItem(0));
  EXPECT_EQ(list->SelectedIndex(), 1);
  EXPECT_EQ(list->backgroundIndex(1), 3);  // a selected row keeps its look
  EXPECT_TRUE(list->Checked(2));
  EXPECT_TRUE(list->rowWidget(2)->findChild<QCheckBox*>()->isChecked());
  // Deleting the selected row leaves no selection.
  ASSERT_TRUE(list->DeleteItem(1));
  EXPECT_EQ(list->SelectedIndex(), -1);
}

TEST_F(ListPanelTest, DeleteCheckedLeavesTheUntickedInOrder) {
  struct Case {
    std::vector<int> ticked;
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {{1, 2}, {"song0", "song3"}},
      {{}, {"song0", "song1", "song2", "song3"}},
      {{0, 1, 2, 3}, {}},
      {{0, 3}, {"song1", "song2"}},
  };
  for (const Case& c : cases) {
    TCnScroolStoreBox* list = playlist->list;
    list->ClearItems();
    Add(list, 4);
    for (int i : c.ticked) list->SetChecked(i, true);
    list->DeleteChecked();
    EXPECT_EQ(Titles(*list), c.left);
    for (int i = 0; i < list->Count(); ++i) {
      EXPECT_EQ(list->Item(i)->Tag(), i);
      EXPECT_EQ(list->rowRect(i).top(), 3 + 23 * i);
      EXPECT_EQ(list->backgroundIndex(i), i % 2 == 0 ? 1 : 0);
      EXPECT_FALSE(list->Checked(i));
    }
  }
}

TEST_F(ListPanelTest, InvertChecksTwiceRestoresTheTicks) {
  TCnScroolStoreBox* list = playlist->list;
  Add(list, 3);
  list->InvertChecks();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(list->Checked(i));
  list->SetChecked(1, false);
  list->InvertChecks();
  const bool expected[] = {false, true, false};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(list->Checked(i), expected[i]);
    EXPECT_EQ(list->rowWidget(i)->findChild<QCheckBox*>()->isChecked(), expected[i]);
  }
  list->InvertChecks();
  list->InvertChecks();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(list->Checked(i), expected[i]);
}

TEST_F(ListPanelTest, CaptionsAreCutByBytesAndHintsKeepTheWholeText) {
  struct Case {
    const char* title;  // UTF-8
    const char* singer;
    const char* titleCaption;
    const char* singerCaption;
  };
  const Case cases[] = {
      {"abcdefghijklmnopqrstuvwxy", "", "abcdefghijklmnopqrst", ""},
      {"t", "一二三四五六七八九十", "t", "一二三四五六七八九"},
      // 19 bytes, then a two-byte character that does not fit whole.
      {"abcdefghijklmnopqrs中", "abcdefghijklmnopq中", "abcdefghijklmnopqrs", "abcdefghijklmnopq"},
      // A four-byte GB18030 character at bytes 17..20.
      {"abcdefghijklmnopq\xF0\x9F\x98\x80", "x", "abcdefghijklmnopq", "x"},
      {"中文歌名", "歌手", "中文歌名", "歌手"},
  };
  TCnScroolStoreBox* list = playlist->list;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    list->ClearItems();
    list->AddItem(cp::Utf8ToAnsi(c.title), cp::Utf8ToAnsi(c.singer), 0, "");
    EXPECT_EQ(list->titleCaption(0), QString::fromUtf8(c.titleCaption));
    EXPECT_EQ(list->geshouCaption(0), QString::fromUtf8(c.singerCaption));
    EXPECT_EQ(list->titleHint(0), QString::fromUtf8(c.title));
    EXPECT_EQ(list->geshouHint(0), QString::fromUtf8(c.singer));
    EXPECT_EQ(list->Item(0)->Title(), cp::Utf8ToAnsi(c.title));
    QWidget* row = list->rowWidget(0);
    ASSERT_NE(row, nullptr);
    auto* title = row->findChild<QLabel*>(QStringLiteral("Title"));
    auto* singer = row->findChild<QLabel*>(QStringLiteral("geshou"));
    EXPECT_EQ(title->text(), QString::fromUtf8(c.titleCaption));
    EXPECT_EQ(title->toolTip(), QString::fromUtf8(c.title));
    EXPECT_EQ(singer->text(), QString::fromUtf8(c.singerCaption));
    EXPECT_EQ(singer->toolTip(), QString::fromUtf8(c.singer));
  }
}

// The longest captions the byte cut lets through must show whole in the
// labels' rendered font: 10 Chinese characters in the 120 px title and 9 in
// the 90 px singer, and Latin titles of 20 letters as titles are written.
// (Twenty capital Ws would need a 6 px font; the tooltip holds such a title.)
TEST_F(ListPanelTest, TheLongestCaptionsFitTheirLabels) {
  struct Case {
    const char* title;  // UTF-8, cut to its caption by AddItem
    const char* singer;
  };
  const Case cases[] = {
      {"我们的歌在很远很远的地方轻轻唱", "一二三四五六七八九十"},
      {"01234567890123456789xx", "abcdefghijklmnopqrst"},
      {"The Long And Winding Road", "Lin Xiaofeng Band."},
      {"abcdefghijklmnopqrstuvwxyz", "Orange Soda Band"},
      {"Rock\"n\"Roll 小镇之夜 Live", "Su Yuqing & Chen"},
  };
  TCnScroolStoreBox* list = playlist->list;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    list->ClearItems();
    list->AddItem(cp::Utf8ToAnsi(c.title), cp::Utf8ToAnsi(c.singer), 0, "");
    QWidget* row = list->rowWidget(0);
    ASSERT_NE(row, nullptr);
    for (const char* name : {"Title", "geshou"}) {
      auto* label = row->findChild<QLabel*>(QString::fromLatin1(name));
      ASSERT_NE(label, nullptr);
      const QFontMetrics metrics(label->font());
      // The font asked for is the one that renders.
      EXPECT_EQ(QFontInfo(label->font()).family(), QStringLiteral("WenQuanYi Micro Hei"));
      EXPECT_LE(metrics.horizontalAdvance(label->text()), label->contentsRect().width())
          << name << ": " << label->text().toStdString();
      EXPECT_GE(metrics.height(), 10) << "still readable";
    }
  }
  EXPECT_EQ(list->rowWidget(0)->findChild<QLabel*>(QStringLiteral("Title"))->width(), 120);
  EXPECT_EQ(list->rowWidget(0)->findChild<QLabel*>(QStringLiteral("geshou"))->width(), 90);
}

TEST_F(ListPanelTest, MarkupInATitleShowsAsTyped) {
  TCnScroolStoreBox* list = playlist->list;
  list->AddItem("<b>bold</b>", "", 0, "");
  auto* title = list->rowWidget(0)->findChild<QLabel*>(QStringLiteral("Title"));
  EXPECT_EQ(title->textFormat(), Qt::PlainText);
  EXPECT_TRUE(title->toolTip().contains(QStringLiteral("&lt;b&gt;bold&lt;/b&gt;")));
}

TEST(CutCaption, StopsAtCharacterBoundaries) {
  EXPECT_EQ(CutCaption("", 20), "");
  EXPECT_EQ(CutCaption("abc", 0), "");
  EXPECT_EQ(CutCaption("\xD6\xD0\xCE\xC4", 3), "\xD6\xD0");
  // A lone lead byte at the end counts as one byte; so do 0x80 and 0xFF.
  EXPECT_EQ(CutCaption("ab\xD6", 20), "ab\xD6");
  EXPECT_EQ(CutCaption("\x80\xFF"
                       "a",
                       2),
            "\x80\xFF");
  // A cut-off four-byte sequence is not taken for one character.
  EXPECT_EQ(CutCaption("\x81\x30", 20), "\x81\x30");
}

TEST_F(ListPanelTest, HoverLeaveAndSelectedBackgrounds) {
  TCnScroolStoreBox* list = playlist->list;
  Add(list, 3);
  MoveTo(list, list->rowRect(1).topLeft() + QPoint(60, 8));
  EXPECT_EQ(list->backgroundIndex(1), 2);
  EXPECT_EQ(Shown(list, 1), bitmaps.ListBack2.toImage().pixelColor(0, 0));
  MoveTo(list, list->rowRect(2).topLeft() + QPoint(200, 8));
  EXPECT_EQ(list->backgroundIndex(1), 0);
  EXPECT_EQ(list->backgroundIndex(2), 2);
  MoveTo(list, QPoint(150, 150));  // empty area
  EXPECT_EQ(list->backgroundIndex(2), 1);

  ClickRow(list, 0);
  EXPECT_EQ(list->backgroundIndex(0), 3);
  MoveTo(list, list->rowRect(0).topLeft() + QPoint(60, 8));
  EXPECT_EQ(list->backgroundIndex(0), 3);
  MoveTo(list, QPoint(150, 150));
  EXPECT_EQ(list->backgroundIndex(0), 3);
  EXPECT_EQ(Shown(list, 0), bitmaps.ListBack3.toImage().pixelColor(0, 0));
}

TEST_F(ListPanelTest, ClickSelectsOneRowPerList) {
  Add(playlist->list, 3);
  Add(search->list, 3);
  ClickRow(playlist->list, 2);
  ClickRow(playlist->list, 0);
  EXPECT_EQ(playlist->list->SelectedIndex(), 0);
  const int looks[] = {3, 0, 1};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(playlist->list->Selected(i), i == 0);
    EXPECT_EQ(playlist->list->backgroundIndex(i), looks[i]);
  }
  // A click on the row's bare background selects as well.
  Click(search->list, search->list->rowRect(1).topLeft() + QPoint(29, 10));
  EXPECT_EQ(search->list->SelectedIndex(), 1);
  EXPECT_EQ(playlist->list->SelectedIndex(), 0);
  EXPECT_EQ(playlist->list->backgroundIndex(0), 3);
  // Right-clicks and the empty area select nothing.
  Click(playlist->list, QPoint(150, 150));
  EXPECT_EQ(playlist->list->SelectedIndex(), 0);
}

TEST_F(ListPanelTest, CheckBoxClickTicksWithoutSelecting) {
  TCnScroolStoreBox* list = playlist->list;
  Add(list, 2);
  const QRect box = list->checkBoxRect(1);
  EXPECT_EQ(box, QRect(3, 26, 25, 20));
  Click(list, box.center());
  EXPECT_TRUE(list->Checked(1));
  EXPECT_EQ(list->SelectedIndex(), -1);
  EXPECT_EQ(list->backgroundIndex(1), 0);
  Click(list, box.center());
  EXPECT_FALSE(list->Checked(1));
}

TEST_F(ListPanelTest, RepaintItemsShowsNewBitmapsOnlyWhenAsked) {
  TCnScroolStoreBox* list = playlist->list;
  Add(list, 3);
  ClickRow(list, 1);
  const TListBackBitmaps old = bitmaps;
  bitmaps = Bitmaps(90);  // the window loads another skin's bitmaps
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Shown(list, i), old.ByIndex(list->backgroundIndex(i)).toImage().pixelColor(0, 0));
  }
  list->RepaintItems();
  const int looks[] = {1, 3, 1};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(list->backgroundIndex(i), looks[i]);
    EXPECT_EQ(Shown(list, i), bitmaps.ByIndex(looks[i]).toImage().pixelColor(0, 0));
    EXPECT_EQ(list->Item(i)->BackGround().cacheKey(), bitmaps.ByIndex(looks[i]).cacheKey());
  }
}

TEST_F(ListPanelTest, LabelsAndCheckBoxShowThePictureThroughASkinBackground) {
  window.setStyleSheet(QStringLiteral("QWidget { background: rgb(1, 2, 3); color: white; }"));
  TCnScroolStoreBox* list = playlist->list;
  list->AddItem("t", "s", 0, "");
  const QImage shown = list->rowWidget(0)->grab().toImage();
  const QColor stripe = bitmaps.ListBack1.toImage().pixelColor(0, 0);
  EXPECT_EQ(shown.pixelColor(36, 17), stripe);   // inside the title label
  EXPECT_EQ(shown.pixelColor(167, 17), stripe);  // inside the singer label
  EXPECT_EQ(shown.pixelColor(2, 1), stripe);     // inside the check box
  auto* title = list->rowWidget(0)->findChild<QLabel*>(QStringLiteral("Title"));
  EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(Qt::white));
}

TEST_F(ListPanelTest, DoubleClickCallsTheCallbackGivenWhenTheRowWasAdded) {
  std::vector<int> calls;
  playlist->list->AddItem("before", "", 0, "");
  playlist->list->SetItemDBlClickFun([&calls](int index) { calls.push_back(index); });
  Add(playlist->list, 2);
  Add(search->list, 2);
  for (int row : {2, 0, 1}) {
    DoubleClick(playlist->list, playlist->list->rowRect(row).topLeft() + QPoint(60, 8));
  }
  EXPECT_EQ(calls, (std::vector<int>{2, 1}));  // row 0 was added without one
  EXPECT_EQ(playlist->list->SelectedIndex(), 1);

  DoubleClick(search->list, search->list->rowRect(1).center());
  EXPECT_EQ(calls.size(), 2u);
  EXPECT_EQ(search->list->SelectedIndex(), 1);
}

TEST_F(ListPanelTest, DoubleClickCallbackMayChangeTheList) {
  TCnScroolStoreBox* list = playlist->list;
  list->SetItemDBlClickFun([list](int index) { list->DeleteItem(index); });
  Add(list, 3);
  DoubleClick(list, list->rowRect(0).topLeft() + QPoint(60, 8));
  EXPECT_EQ(Titles(*list), (std::vector<std::string>{"song1", "song2"}));
  EXPECT_EQ(list->SelectedIndex(), -1);  // the release did not select the row moved in
}

TEST_F(ListPanelTest, PopupMenuRemembersItsRow) {
  TCnScroolStoreBox* list = playlist->list;
  Add(list, 3);
  QPoint local;
  const QPoint pos = list->checkBoxRect(2).center();
  QWidget* target = ChildAt(list, pos, &local);
  QContextMenuEvent event(QContextMenuEvent::Mouse, local, target->mapToGlobal(local));
  QCoreApplication::sendEvent(target, &event);
  EXPECT_TRUE(playlist->menu->isVisible());
  EXPECT_EQ(list->PopupIndex(), 2);
  EXPECT_EQ(list->PopupComponent(), list->Item(2));
  EXPECT_EQ(list->SelectedIndex(), -1);
  playlist->menu->hide();

  // The row stays known while rows before it go; deleting it forgets it.
  list->DeleteItem(0);
  EXPECT_EQ(list->PopupIndex(), 1);
  list->DeleteItem(1);
  EXPECT_EQ(list->PopupComponent(), nullptr);
  EXPECT_EQ(list->PopupIndex(), -1);

  // The empty area below the rows has no menu.
  QContextMenuEvent below(QContextMenuEvent::Mouse, QPoint(150, 150),
                          list->mapToGlobal(QPoint(150, 150)));
  QCoreApplication::sendEvent(list, &below);
  EXPECT_FALSE(playlist->menu->isVisible());
}

TEST_F(ListPanelTest, ClearItemsKeepsTheScrollBar) {
  TCnScroolStoreBox* list = playlist->list;
  Add(list, 20);
  ClickRow(list, 1);
  playlist->scrollBar->setValue(playlist->scrollBar->maximum());
  list->ClearItems();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_TRUE(playlist->scrollBar->isVisible());
  EXPECT_EQ(playlist->scrollBar->value(), 0);
  EXPECT_EQ(list->SelectedIndex(), -1);
  EXPECT_EQ(list->rowWidget(0), nullptr);
  EXPECT_EQ(list->AddItem("again", "", 0, ""), 0);
  EXPECT_EQ(list->rowRect(0).top(), 3);
  EXPECT_NE(list->rowWidget(0), nullptr);
}

// The list shows the model it is given, rows already in it included, and
// follows it; set back, it shows its own rows again.
TEST_F(ListPanelTest, AModelSetWithRowsShowsThemAllAndIsFollowed) {
  TCnScroolStoreBox* list = playlist->list;
  Add(list, 2);  // the list's own rows
  TRowModel model;
  model.AppendAll({{"zero", "s0", 0, ""}, {"one", "s1", 0, ""}, {"two", "s2", 0, ""}});
  model.SetChecked(1, true);
  list->SetModel(&model);
  ASSERT_EQ(list->Count(), 3);
  EXPECT_EQ(list->titleCaption(0), "zero");
  EXPECT_EQ(list->Item(2)->Tag(), 2);
  EXPECT_EQ(list->backgroundIndex(0), 1);
  EXPECT_EQ(list->backgroundIndex(1), 0);
  EXPECT_TRUE(list->Item(1)->Checked());
  ASSERT_NE(list->rowWidget(0), nullptr);
  model.Remove(0);
  EXPECT_EQ(list->titleCaption(0), "one");
  EXPECT_EQ(list->backgroundIndex(0), 1);
  model.Clear();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->rowWidget(0), nullptr);
  list->SetModel(nullptr);
  EXPECT_EQ(list->Count(), 2);
  model.Append({"elsewhere", "", 0, ""});
  EXPECT_EQ(list->Count(), 2);
}

TEST_F(ListPanelTest, ScrollingRebindsRowsAndMovesTheHover) {
  TCnScroolStoreBox* list = playlist->list;
  Add(list, 30);
  const QPoint spot = list->rowRect(2).topLeft() + QPoint(60, 8);
  MoveTo(list, spot);
  EXPECT_EQ(list->backgroundIndex(2), 2);
  playlist->scrollBar->setValue(23 * 5);  // five rows down, the mouse stays
  EXPECT_EQ(list->rowRect(7).top(), 3 + 23 * 2);
  EXPECT_EQ(list->backgroundIndex(2), 1);
  EXPECT_EQ(list->backgroundIndex(7), 2);
  ASSERT_NE(list->rowWidget(7), nullptr);
  EXPECT_EQ(list->rowWidget(7)->geometry(), list->rowRect(7));
  EXPECT_EQ(list->rowWidget(7)->findChild<QLabel*>(QStringLiteral("Title"))->text(),
            QStringLiteral("song7"));
  EXPECT_EQ(list->rowWidget(2), nullptr);

  ClickRow(list, 8);
  EXPECT_EQ(list->SelectedIndex(), 8);
  list->ScrollToItem(29);
  EXPECT_EQ(playlist->scrollBar->value(), playlist->scrollBar->maximum());
  EXPECT_EQ(list->rowRect(29).bottom() + 3, list->height() - 1);
  list->ScrollToItem(0);
  EXPECT_EQ(playlist->scrollBar->value(), 0);
}

TEST_F(ListPanelTest, TenThousandRowsLoadScrollAndDelete) {
  TCnScroolStoreBox* list = playlist->list;
  const std::string title = cp::Utf8ToAnsi("歌曲");
  const std::string singer = cp::Utf8ToAnsi("歌手");
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < 10000; ++i) {
    list->AddItem(title + std::to_string(i), singer, i, "/music/" + std::to_string(i) + ".mp3");
  }
  const qint64 loadMs = clock.elapsed();
  std::printf("[ info ] 10000 rows added in %lld ms\n", static_cast<long long>(loadMs));
  ASSERT_EQ(list->Count(), 10000);
  EXPECT_EQ(playlist->scrollBar->maximum(), 3 + 10000 * 23 - list->height());

  // Wheel down a few notches, then drag to the end.
  const QPoint at = list->rowRect(0).center();
  for (int i = 0; i < 4; ++i) {
    QWheelEvent wheel(at, list->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(list, &wheel);
  }
  EXPECT_GT(playlist->scrollBar->value(), 0);
  playlist->scrollBar->setValue(playlist->scrollBar->maximum());
  QWidget* last = list->rowWidget(9999);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->geometry(), list->rowRect(9999));
  EXPECT_EQ(list->titleCaption(9999), QStringLiteral("歌曲9999"));
  for (int i : {0, 4321, 9999}) EXPECT_EQ(list->Item(i)->Tag(), i);

  ClickRow(list, 9998);
  ASSERT_TRUE(list->DeleteItem(0));
  EXPECT_EQ(list->Count(), 9999);
  EXPECT_EQ(list->Item(9998)->Title(), cp::Utf8ToAnsi("歌曲9999"));
  EXPECT_EQ(list->Item(9998)->Tag(), 9998);
  EXPECT_EQ(list->SelectedIndex(), 9997);
  EXPECT_EQ(list->backgroundIndex(9998), 1);
  EXPECT_EQ(list->rowWidget(9998)->geometry(), list->rowRect(9998));

  list->InvertChecks();
  list->SetChecked(5000, false);
  list->DeleteChecked();
  ASSERT_EQ(list->Count(), 1);
  EXPECT_EQ(list->Item(0)->Title(), cp::Utf8ToAnsi("歌曲5001"));
  EXPECT_EQ(list->rowWidget(0)->geometry(), QRect(3, 3, 260, 20));
}

TEST_F(ListPanelTest, ListWithoutBitmapsOrScrollBarStillWorks) {
  TCnScroolStoreBox bare(playlist->widget.get(), nullptr, nullptr, nullptr);
  bare.SetItemHeight(20);
  bare.show();
  for (int i = 0; i < 20; ++i) bare.AddItem("x", "y", 0, "");
  ClickRow(&bare, 1);
  EXPECT_EQ(bare.SelectedIndex(), 1);
  EXPECT_TRUE(bare.Item(1)->BackGround().isNull());
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(60, 8), QPoint(60, 8));
  QCoreApplication::sendEvent(bare.rowWidget(1), &event);
  EXPECT_EQ(bare.PopupIndex(), 1);
  bare.ScrollToItem(19);
  ASSERT_NE(bare.rowWidget(19), nullptr);
  EXPECT_EQ(bare.rowRect(19).bottom() + 3, bare.height() - 1);
}

}  // namespace

// The window owns the bitmaps as a member, so they die before Qt deletes the
// window's children. Hovered and selected rows must not reach them then.
class BitmapOwningWindow : public QWidget {
 public:
  BitmapOwningWindow() : bitmaps(Bitmaps(150)) {
    resize(292, 168);
    list = new TCnScroolStoreBox(this, nullptr, &bitmaps, nullptr);
    list->SetItemHeight(20);
  }
  TListBackBitmaps bitmaps;
  TCnScroolStoreBox* list;
};

TEST(ListPanelLifetime, DestroyingTheWindowOverAHoveredRowIsSafe) {
  auto window = std::make_unique<BitmapOwningWindow>();
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  for (int i = 0; i < 5; ++i) window->list->AddItem("x", "y", 0, "");
  QTest::mouseMove(window->list, window->list->rowRect(1).topLeft() + QPoint(60, 8));
  QCoreApplication::processEvents();
  ASSERT_EQ(window->list->backgroundIndex(1), 2);
  window.reset();
  QCoreApplication::processEvents();
}
