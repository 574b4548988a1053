// The form layout: every component by its name, at its client position.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <QTabWidget>
#include <QTimer>

#include "main/UiText.h"
#include "main/Unit1.h"
#include "main/controls/FlatGauge.h"
#include "main/controls/GlowLabel.h"
#include "main/controls/RzBmpButton.h"
#include "main/controls/SkinImage.h"

namespace {

template <typename W>
W* Named(W* widget, const char* name, QRect geometry) {
  widget->setObjectName(name);
  widget->setGeometry(geometry);
  return widget;
}

// Tops of Label4 .. Label12 on the lyric tab.
constexpr int kLyricTops[9] = {64, 78, 92, 109, 124, 139, 49, 34, 18};

const QStringList kFormFontFamilies{QStringLiteral("WenQuanYi Micro Hei"),
                                    QStringLiteral("DejaVu Sans")};

}  // namespace

QLabel* TForm1::MakeLabel(const char* name, QWidget* parent, QRect geometry, const QString& text) {
  auto* label = Named(new QLabel(text, parent), name, geometry);
  label->setAttribute(Qt::WA_TranslucentBackground);
  return label;
}

QAction* TForm1::MakeItem(QMenu* menu, const char* name, const QString& caption) {
  auto* item = new QAction(menu);
  item->setObjectName(name);
  if (caption == "-") {
    item->setSeparator(true);
  } else {
    item->setText(caption);
  }
  menu->addAction(item);
  return item;
}

void TForm1::BuildLayout() {
  // The form's fonts: the CJK font the install script provides (narrow Latin
  // letters too), as the layout's own font does not exist on Linux.
  QFont formFont;
  formFont.setFamilies(kFormFontFamilies);
  formFont.setPointSize(8);
  setFont(formFont);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(62, 62, 62));
  setPalette(pal);
  setAutoFillBackground(true);

  LogoBack = Named(new TSkinImage(ClientArea), "LogoBack", QRect(14, 10, 137, 99));
  logo = Named(new TSkinImage(ClientArea, true), "logo", QRect(25, 20, 73, 73));

  seXLabel1 = new TseXLabel(ClientArea);
  seXLabel1->setObjectName("seXLabel1");
  QFont titleFont;
  titleFont.setFamilies(kFormFontFamilies);
  titleFont.setBold(true);
  titleFont.setPixelSize(16);
  seXLabel1->setFont(titleFont);
  seXLabel1->move(157, 2);
  seXLabel1->SetCaption(ui::Text("Lyrano播放器"));

  Label1 = MakeLabel("Label1", ClientArea, QRect(157, 27, 144, 14), ui::Text(ui::kSlogan));
  Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  ControlBar = Named(new TSkinImage(ClientArea), "ControlBar", QRect(157, 55, 140, 26));
  RzBmpButton3 = Named(new TRzBmpButton(ClientArea), "RzBmpButton3", QRect(177, 62, 13, 13));
  RzBmpButton4 = Named(new TRzBmpButton(ClientArea), "RzBmpButton4", QRect(179, 61, 13, 13));
  RzBmpButton2 = Named(new TRzBmpButton(ClientArea), "RzBmpButton2", QRect(219, 61, 18, 13));
  RzBmpButton1 = Named(new TRzBmpButton(ClientArea), "RzBmpButton1", QRect(261, 61, 17, 13));

  laba = Named(new TSkinImage(ClientArea), "laba", QRect(160, 91, 14, 12));
  FlatVolGauge2 =
      Named(new TFlatGauge(ClientArea, 0, 100, 98), "FlatVolGauge2", QRect(179, 92, 114, 9));
  yuan = Named(new TSkinImage(ClientArea), "yuan", QRect(285, 87, 16, 17));

  spSkinLabel1 = MakeLabel("spSkinLabel1", ClientArea, QRect(191, 111, 105, 14),
                           QStringLiteral("00:00/00:00"));
  spSkinLabel1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  FlatGauge1 = Named(new TFlatGauge(ClientArea, 0, 100, 25), "FlatGauge1", QRect(14, 113, 286, 13));
  // The time text lies over the progress gauge and lets its clicks through.
  spSkinLabel1->raise();
  spSkinLabel1->setAttribute(Qt::WA_TransparentForMouseEvents);

  RzBmpButton5 = Named(new TRzBmpButton(ClientArea), "RzBmpButton5", QRect(20, 140, 15, 16));
  spSkinEdit1 = Named(new QLineEdit(ui::Text("我们的歌"), ClientArea), "spSkinEdit1",
                      QRect(42, 135, 232, 19));
  RzBmpButton6 = Named(new TRzBmpButton(ClientArea), "RzBmpButton6", QRect(278, 140, 16, 16));

  spSkinPageControl1 =
      Named(new QTabWidget(ClientArea), "spSkinPageControl1", QRect(6, 165, 294, 193));
  spSkinTabSheet1 = new QWidget;
  spSkinTabSheet1->setObjectName("spSkinTabSheet1");
  spSkinTabSheet2 = new QWidget;
  spSkinTabSheet2->setObjectName("spSkinTabSheet2");
  spSkinTabSheet3 = new QWidget;
  spSkinTabSheet3->setObjectName("spSkinTabSheet3");
  spSkinTabSheet4 = new QWidget;
  spSkinTabSheet4->setObjectName("spSkinTabSheet4");
  spSkinPageControl1->addTab(spSkinTabSheet1, ui::Text("播放列表"));
  spSkinPageControl1->addTab(spSkinTabSheet2, ui::Text("搜索"));
  spSkinPageControl1->addTab(spSkinTabSheet3, ui::Text("歌词"));
  spSkinPageControl1->addTab(spSkinTabSheet4, ui::Text("关于"));
  // The pages must have their size before the list panels take theirs.
  spSkinPageControl1->ensurePolished();
  spSkinPageControl1->setCurrentIndex(0);
  for (QWidget* page : {spSkinTabSheet1, spSkinTabSheet2, spSkinTabSheet3, spSkinTabSheet4})
    page->resize(294, 168);

  spSkinScrollBar1 = Named(new QScrollBar(Qt::Vertical, spSkinTabSheet1), "spSkinScrollBar1",
                           QRect(273, 0, 19, 168));
  spSkinScrollBar2 = Named(new QScrollBar(Qt::Vertical, spSkinTabSheet2), "spSkinScrollBar2",
                           QRect(273, 0, 19, 168));
  for (QScrollBar* bar : {spSkinScrollBar1, spSkinScrollBar2}) {
    bar->setRange(0, 100);
    bar->setSingleStep(1);
    bar->setPageStep(1);
  }

  static const char* const kLyricNames[9] = {"Label4", "Label5",  "Label6",  "Label7", "Label8",
                                             "Label9", "Label10", "Label11", "Label12"};
  for (int i = 0; i < 9; ++i) {
    QLabel* label =
        MakeLabel(kLyricNames[i], spSkinTabSheet3, QRect(1, kLyricTops[i], 286, 15), {});
    label->setAlignment(Qt::AlignCenter);
    lyricLabels_[i] = label;
  }

  Label13 = MakeLabel("Label13", spSkinTabSheet4, QRect(10, 8, 270, 20),
                      ui::Text("Lyrano音乐播放器   1.0.4.7"));
  QFont aboutFont;
  aboutFont.setFamilies(kFormFontFamilies);
  aboutFont.setBold(true);
  aboutFont.setPixelSize(16);
  Label13->setFont(aboutFont);
  spSkinCheckBox2 = Named(new QCheckBox(ui::Text("关联音乐格式【.mp3,wma】"), spSkinTabSheet4),
                          "spSkinCheckBox2", QRect(10, 34, 200, 19));
  Label2 = MakeLabel("Label2", spSkinTabSheet4, QRect(10, 60, 200, 14),
                     ui::Text("选择皮肤[非置顶状态下选择]"));
  spSkinComboBox1 =
      Named(new QComboBox(spSkinTabSheet4), "spSkinComboBox1", QRect(10, 77, 150, 20));
  spSkinButton1 = Named(new QPushButton(ui::Text("启动翻唱插件"), spSkinTabSheet4), "spSkinButton1",
                        QRect(172, 76, 106, 22));
  spSkinButton1->setEnabled(false);
  Label14 = MakeLabel("Label14", spSkinTabSheet4, QRect(10, 108, 270, 14),
                      ui::Text("更多皮肤和插件请到官方网站下载"));
  Label15 = MakeLabel("Label15", spSkinTabSheet4, QRect(10, 131, 52, 14), ui::Text("官方网站"));
  spSkinEdit2 = Named(new QLineEdit(QStringLiteral("https://lyrano.example.org/"), spSkinTabSheet4),
                      "spSkinEdit2", QRect(66, 128, 212, 19));
  spSkinEdit2->setReadOnly(true);

  Label3 = MakeLabel("Label3", ClientArea, QRect(6, 362, 36, 13), ui::Text("透明度"));
  FlatAlphaGauge2 =
      Named(new TFlatGauge(ClientArea, 0, 155, 154), "FlatAlphaGauge2", QRect(52, 365, 114, 7));
  yuan2 = Named(new TSkinImage(ClientArea), "yuan2", QRect(156, 358, 20, 22));
  spSkinCheckBox1 = Named(new QCheckBox(ui::Text("置顶"), ClientArea), "spSkinCheckBox1",
                          QRect(244, 359, 51, 19));

  // The knobs lie over their gauges and take their mouse handling.
  yuan->raise();
  yuan2->raise();
  for (QWidget* w : {static_cast<QWidget*>(FlatVolGauge2), static_cast<QWidget*>(yuan),
                     static_cast<QWidget*>(FlatAlphaGauge2), static_cast<QWidget*>(yuan2),
                     static_cast<QWidget*>(FlatGauge1)})
    w->installEventFilter(this);
  spSkinEdit1->installEventFilter(this);

  RzBmpButton4->setToolTip(ui::Text(ui::kHintPlay));
  RzBmpButton3->setToolTip(ui::Text(ui::kHintPause));
  FlatGauge1->setToolTip(ui::Text(ui::kHintProgress));
  FlatVolGauge2->setToolTip(ui::Text(ui::kHintVolume));
  yuan->setToolTip(ui::Text(ui::kHintVolume));
  spSkinEdit1->setToolTip(ui::Text(ui::kHintSearch));
  // The window's keys act from the start, not the search box; a click
  // anywhere else in the window leaves the box.
  ClientArea->setFocusPolicy(Qt::ClickFocus);
  ClientArea->setFocus();

  BuildMenus();
  BuildTimers();
}

void TForm1::BuildMenus() {
  spSkinPopupMenu1 = new QMenu(this);
  spSkinPopupMenu1->setObjectName("spSkinPopupMenu1");
  N1 = MakeItem(spSkinPopupMenu1, "N1", ui::Text("播放歌曲"));
  N2 = MakeItem(spSkinPopupMenu1, "N2", ui::Text("删除记录"));
  N3 = MakeItem(spSkinPopupMenu1, "N3", ui::Text("清空记录"));
  N18 = MakeItem(spSkinPopupMenu1, "N18", "-");
  N24 = MakeItem(spSkinPopupMenu1, "N24", ui::Text("反选音乐列表"));
  N12 = MakeItem(spSkinPopupMenu1, "N12", ui::Text("删除选中列表"));
  N25 = MakeItem(spSkinPopupMenu1, "N25", "-");
  N19 = MakeItem(spSkinPopupMenu1, "N19", ui::Text("添加本地音乐"));
  N21 = MakeItem(spSkinPopupMenu1, "N21", "-");
  N23 = MakeItem(spSkinPopupMenu1, "N23", ui::Text("新建歌曲列表"));
  N20 = MakeItem(spSkinPopupMenu1, "N20", ui::Text("载入其他列表"));
  N22 = MakeItem(spSkinPopupMenu1, "N22", ui::Text("另存歌曲列表"));

  spSkinPopupMenu2 = new QMenu(this);
  spSkinPopupMenu2->setObjectName("spSkinPopupMenu2");
  MenuItem1 = MakeItem(spSkinPopupMenu2, "MenuItem1", ui::Text("试听"));
  N14 = MakeItem(spSkinPopupMenu2, "N14", "-");
  MenuItem2 = MakeItem(spSkinPopupMenu2, "MenuItem2", ui::Text("加入列表"));
  N26 = MakeItem(spSkinPopupMenu2, "N26", "-");
  N27 = MakeItem(spSkinPopupMenu2, "N27", ui::Text("反选搜索列表"));
  N13 = MakeItem(spSkinPopupMenu2, "N13", ui::Text("选中批量加入"));
  N15 = MakeItem(spSkinPopupMenu2, "N15", "-");
  N16 = MakeItem(spSkinPopupMenu2, "N16", ui::Text("上一页"));
  N17 = MakeItem(spSkinPopupMenu2, "N17", ui::Text("下一页"));

  spSkinPopupMenu3 = new QMenu(this);
  spSkinPopupMenu3->setObjectName("spSkinPopupMenu3");
  N5 = MakeItem(spSkinPopupMenu3, "N5", "-");
  N4 = MakeItem(spSkinPopupMenu3, "N4", ui::Text("播放"));
  N8 = MakeItem(spSkinPopupMenu3, "N8", "-");
  N6 = MakeItem(spSkinPopupMenu3, "N6", ui::Text("上一首"));
  N7 = MakeItem(spSkinPopupMenu3, "N7", ui::Text("下一首"));
  N9 = MakeItem(spSkinPopupMenu3, "N9", "-");

  spSkinPopupMenu4 = new QMenu(this);
  spSkinPopupMenu4->setObjectName("spSkinPopupMenu4");
  MenuItem4 = MakeItem(spSkinPopupMenu4, "MenuItem4", ui::Text("播放"));
  MenuItem5 = MakeItem(spSkinPopupMenu4, "MenuItem5", "-");
  MenuItem6 = MakeItem(spSkinPopupMenu4, "MenuItem6", ui::Text("上一首"));
  MenuItem7 = MakeItem(spSkinPopupMenu4, "MenuItem7", ui::Text("下一首"));
  MenuItem8 = MakeItem(spSkinPopupMenu4, "MenuItem8", "-");
  N11 = MakeItem(spSkinPopupMenu4, "N11", ui::Text("显示"));
  N10 = MakeItem(spSkinPopupMenu4, "N10", ui::Text("退出"));

  // The lyric lines' menu, on a right click anywhere in the tab "歌词".
  spSkinPopupMenu5 = new QMenu(this);
  spSkinPopupMenu5->setObjectName("spSkinPopupMenu5");
  N28 = MakeItem(spSkinPopupMenu5, "N28", ui::Text("歌词提前0.5秒"));
  N29 = MakeItem(spSkinPopupMenu5, "N29", ui::Text("歌词延后0.5秒"));
  N30 = MakeItem(spSkinPopupMenu5, "N30", ui::Text("歌词时间复原"));
  // The keys that run them anywhere in the window, shown beside the captions.
  N28->setShortcut(QKeySequence(Qt::Key_BracketLeft));
  N29->setShortcut(QKeySequence(Qt::Key_BracketRight));
  N30->setShortcut(QKeySequence(Qt::Key_Backslash));
  for (QAction* item : {N28, N29, N30}) item->setShortcutContext(Qt::WidgetShortcut);
  spSkinTabSheet3->setToolTip(ui::Text(ui::kHintLyrics));
  spSkinTabSheet3->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(spSkinTabSheet3, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { spSkinPopupMenu5->popup(spSkinTabSheet3->mapToGlobal(at)); });
}

void TForm1::BuildTimers() {
  auto make = [this](const char* name, int interval) {
    auto* timer = new QTimer(this);
    timer->setObjectName(name);
    timer->setInterval(interval);
    return timer;
  };
  Timer1 = make("Timer1", 200);
  Timer3 = make("Timer3", 200);
  Timer4 = make("Timer4", 200);
}
