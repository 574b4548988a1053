// Times the list panel with 10,000 rows: loading, scrolling through, deleting
// and clearing, and how long the window goes without handling its events while
// the rows load. Built and run by bench/listpanel_timing.sh (the benchmark
// CMake has no Qt); prints one line per figure, in milliseconds.
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/codepage.h"
#include "playlist/listpanel/listpanel.h"

namespace {

constexpr int kRows = 10000;

QPixmap Solid(QColor color) {
  QPixmap pixmap(260, 20);
  pixmap.fill(color);
  return pixmap;
}

double Ms(const QElapsedTimer& clock) { return static_cast<double>(clock.nsecsElapsed()) / 1e6; }

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);

  TListBackBitmaps bitmaps{Solid(Qt::darkGray), Solid(Qt::gray), Solid(Qt::lightGray),
                           Solid(Qt::white)};
  QWidget window;
  window.resize(292, 168);
  auto* scrollBar = new QScrollBar(Qt::Vertical, &window);
  scrollBar->setGeometry(273, 0, 19, 168);
  auto* menu = new QMenu(&window);
  auto* list = new TCnScroolStoreBox(&window, scrollBar, &bitmaps, menu);
  list->SetItemHeight(20);
  window.show();

  const std::string title = cp::Utf8ToAnsi("一首很长的中文歌曲名字第");
  const std::string singer = cp::Utf8ToAnsi("歌手的名字");
  auto load = [&] {
    for (int i = 0; i < kRows; ++i) {
      list->AddItem(title + std::to_string(i), singer, i,
                    "/home/user/Music/" + std::to_string(i) + ".mp3");
    }
  };
  // Warm up fonts, styles and the row widgets once.
  load();
  QCoreApplication::processEvents();
  list->ClearItems();

  // The longest stretch without the event loop while loading.
  QElapsedTimer sinceTick;
  double longestGap = 0;
  QTimer ticker;
  ticker.setInterval(1);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    longestGap = std::max(longestGap, Ms(sinceTick));
    sinceTick.start();
  });

  QElapsedTimer clock;
  ticker.start();
  sinceTick.start();
  clock.start();
  load();
  QCoreApplication::processEvents();  // and paint the rows in view
  const double loadMs = Ms(clock);
  longestGap = std::max(longestGap, Ms(sinceTick));
  ticker.stop();

  clock.start();
  int steps = 0;
  for (int value = 0; value <= scrollBar->maximum(); value += scrollBar->singleStep()) {
    scrollBar->setValue(value);
    window.repaint();
    ++steps;
  }
  const double scrollStepMs = Ms(clock) / steps;

  clock.start();
  for (int i = 0; i < 100; ++i) list->DeleteItem(0);
  const double deleteFirstMs = Ms(clock) / 100;

  for (int i = 0; i < list->Count(); i += 2) list->SetChecked(i, true);
  clock.start();
  list->DeleteChecked();
  const double deleteCheckedMs = Ms(clock);

  clock.start();
  list->ClearItems();
  const double clearMs = Ms(clock);

  std::printf("load_10000_rows_ms %.1f\n", loadMs);
  std::printf("longest_event_gap_during_load_ms %.1f\n", longestGap);
  std::printf("scroll_one_row_and_repaint_ms %.3f\n", scrollStepMs);
  std::printf("delete_first_row_of_10000_ms %.3f\n", deleteFirstMs);
  std::printf("delete_checked_half_of_9900_ms %.1f\n", deleteCheckedMs);
  std::printf("clear_4950_rows_ms %.1f\n", clearMs);
  return 0;
}
