#include "WindowFixture.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <cstdlib>
#include <fstream>

#include "common/codepage.h"
#include "main/controls/GlowLabel.h"
#include "online/RuleSet.h"

namespace fs = std::filesystem;

namespace wintest {

std::string G(const char* utf8) {
  return cp::Utf8ToAnsi(utf8);
}

void WriteText(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary);
  out << bytes;
}

void MakeSkin(const fs::path& folder, const SkinSpec& spec) {
  fs::create_directories(folder);
  auto omitted = [&](const std::string& f) {
    for (const auto& o : spec.omit)
      if (o == f) return true;
    return false;
  };
  auto image = [&](const std::string& file, int w, int h, QColor c, const char* format) {
    if (omitted(file)) return;
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(c);
    ASSERT_TRUE(img.save(QString::fromStdString((folder / file).string()), format)) << file;
  };
  if (!omitted("skin.ini")) {
    WriteText(folder / "skin.ini",
              "[VERSION]\r\nFormat=1\r\nName=test\r\n[PICTURES]\r\n[FORMINFO]\r\n"
              "CaptionHeight=24\r\nFrameWidth=" +
                  std::to_string(spec.frameWidth) + "\r\n[SKINOBJECTS]\r\n[SKINCONTROLS]\r\n" +
                  spec.controls);
  }
  if (!spec.skinEx.empty()) WriteText(folder / "skinEx.ini", spec.skinEx);
  image("ControlBar.png", 140, 26, spec.base, "PNG");
  image("LogoBack.png", 137, 99, spec.base.lighter(), "PNG");
  image("logo.png", 73, 73, spec.base.darker(), "PNG");
  image("yuan.png", 16, 17, Qt::white, "PNG");
  image("yuan2.png", 20, 22, Qt::white, "PNG");
  image("laba.png", 14, 12, Qt::white, "PNG");
  for (const char* b : {"next", "prev", "push", "play", "list", "so"}) {
    image(std::string(b) + "up.bmp", 18, 16, spec.base.lighter(150), "BMP");
    image(std::string(b) + "hot.bmp", 18, 16, spec.base.lighter(200), "BMP");
  }
  for (int i = 0; i < 4; ++i)
    image("Listback_" + std::to_string(i) + ".bmp", 260, 20, spec.listBack[i], "BMP");
}

std::string CompleteRulePage(int ver, bool withMarkers) {
  std::string page = "<html><body><p>rules</p>\n";
  if (withMarkers) page += "【我的正则区域开始】\n";
  for (const auto& key : rules::kRuleKeys) {
    std::string value = "(\\d+)";
    if (std::string(key.name) == "jsurl") value = "127.0.0.1:9/song?id=《歌曲ID》";
    if (std::string(key.name) == "boxurl") value = "127.0.0.1:9/box?t=《歌名》";
    if (std::string(key.name) == "emptygeshou") value = "nobody";
    page += std::string(key.name) + "=【" + value + "】\n";
  }
  page += "ver=【" + std::to_string(ver) + "】\n";
  if (withMarkers) page += "【我的正则区域结束】\n";
  page += "</body></html>\n";
  return page;
}

void WindowTest::SetUp() {
  server_ = std::make_unique<testsupport::LoopbackServer>();
  server_->server().Get("/rules.html", [this](const httplib::Request&, httplib::Response& res) {
    res.status = ruleStatus;
    res.set_content(rulePage, "text/html; charset=utf-8");
  });
  Routes(server_->server());
  server_->Start();
  setenv("LYRANO_RULE_URL", server_->url("/rules.html").c_str(), 1);
  setenv("LYRANO_SITE_URL", server_->base().c_str(), 1);
  setenv("LYRANO_LYRIC_URL", server_->base().c_str(), 1);
  // The association writes the user's desktop files: keep them in the folder.
  setenv("XDG_CONFIG_HOME", (Dir() / "xdg-config").c_str(), 1);
  setenv("XDG_DATA_HOME", (Dir() / "xdg-data").c_str(), 1);
  fs::create_directories(Data());
  watcher_ = new QTimer;
  watcher_->setInterval(10);
  QObject::connect(watcher_, &QTimer::timeout, [this] { Watch(); });
  watcher_->start();
}

void WindowTest::TearDown() {
  for (const auto& e : events) EXPECT_NE(e.rfind("markup:", 0), 0u) << e;
  if (form_) {
    form_->close();
    form_.reset();
  }
  delete watcher_;
  watcher_ = nullptr;
  server_.reset();
  unsetenv("LYRANO_RULE_URL");
  unsetenv("LYRANO_SITE_URL");
  unsetenv("LYRANO_LYRIC_URL");
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("XDG_DATA_HOME");
}

std::string WindowTest::AppDir() const {
  return cp::PathToAnsi(dir_.path()) + "/";
}

void WindowTest::Start(std::vector<std::string> args, bool makeDefaultSkin) {
  if (makeDefaultSkin && !fs::exists(Data() / "skin")) MakeSkin(Data() / "skin", {});
  form_ = std::make_unique<TForm1>(AppDir(), std::move(args), userDir);
  events.push_back("caption:" + form_->windowTitle().toStdString());
  QObject::connect(form_.get(), &QWidget::windowTitleChanged, form_.get(),
                   [this](const QString& t) { events.push_back("caption:" + t.toStdString()); });
  form_->show();
  QTest::qWait(30);
}

void WindowTest::CloseAndDestroy() {
  form_->close();
  form_.reset();
}

bool WindowTest::WaitReady(int ms) {
  return QTest::qWaitFor([this] { return Player().Rules().IsReady(); }, ms);
}

void WindowTest::Watch() {
  QWidget* modal = QApplication::activeModalWidget();
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    std::string kind = box->icon() == QMessageBox::Critical ? "error:" : "message:";
    if (box->objectName() == "TagErrorBox") kind = "tagerror:";
    events.push_back(kind + box->text().toStdString());
    // A box that may read its text as markup hides or mangles quoted patterns.
    if (box->textFormat() != Qt::PlainText) events.push_back("markup:" + box->text().toStdString());
    box->done(QMessageBox::Ok);
    return;
  }
  if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
    auto it = dialogAnswers.find(dialog->objectName().toStdString());
    events.push_back("dialog:" + dialog->objectName().toStdString() + ":" +
                     dialog->windowTitle().toStdString());
    if (it == dialogAnswers.end() || it->second.empty()) {
      dialog->reject();
      return;
    }
    // A dialog that stays open after being answered refused the answer.
    if (dialog->property("answered").toBool()) {
      dialog->reject();
      return;
    }
    dialog->setProperty("answered", true);
    const auto& files = it->second;
    dialog->setDirectory(QString::fromStdString(fs::path(files.front()).parent_path().string()));
    QString names;
    for (const auto& f : files) {
      QString name = QString::fromStdString(fs::path(f).filename().string());
      names += files.size() > 1 ? "\"" + name + "\" " : name;
    }
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    if (edit) edit->setText(names.trimmed());
    QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
  }
}

std::vector<std::string> WindowTest::Messages() const {
  std::vector<std::string> out;
  for (const auto& e : events) {
    if (e.rfind("message:", 0) == 0) out.push_back(e.substr(8));
    if (e.rfind("error:", 0) == 0) out.push_back(e.substr(6));
  }
  return out;
}

QAction* WindowTest::Item(const char* name) {
  auto* a = form_->findChild<QAction*>(QString::fromLatin1(name));
  EXPECT_NE(a, nullptr) << name;
  return a;
}

void WindowTest::Click(const char* widgetName) {
  auto* w = Child<QWidget>(widgetName);
  if (w) QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

void WindowTest::RowMenu(TCnScroolStoreBox* box, int row, const char* item) {
  box->ScrollToItem(row);
  QWidget* rowWidget = box->rowWidget(row);
  ASSERT_NE(rowWidget, nullptr);
  QPoint local = rowWidget->rect().center();
  QContextMenuEvent ev(QContextMenuEvent::Mouse, local, rowWidget->mapToGlobal(local));
  QApplication::sendEvent(rowWidget, &ev);
  QMenu* menu = box->Wpopmenu();
  ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 1000));
  QAction* action = Item(item);
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
  QTest::qWait(10);
}

void WindowTest::DoubleClickRow(TCnScroolStoreBox* box, int row) {
  box->ScrollToItem(row);
  QWidget* rowWidget = box->rowWidget(row);
  ASSERT_NE(rowWidget, nullptr);
  QPoint center = rowWidget->rect().center();
  QWidget* target = rowWidget->childAt(center) ? rowWidget->childAt(center) : rowWidget;
  QPoint local = target->mapFrom(rowWidget, center);
  QTest::mouseClick(target, Qt::LeftButton, {}, local);
  QTest::mouseDClick(target, Qt::LeftButton, {}, local);
}

void WindowTest::DragGauge(QWidget* widget, QWidget* gauge, int x) {
  QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(2, 2));
  const int cursorX = form_->frameGeometry().x() + gauge->x() + x;
  const QPoint global(cursorX, gauge->mapToGlobal(QPoint(0, 3)).y());
  QCursor::setPos(global);
  QMouseEvent move(QEvent::MouseMove, widget->mapFromGlobal(global), global, Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &move);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, widget->mapFromGlobal(global));
}

fs::path WindowTest::Tone(const std::string& name, double seconds, const std::string& title,
                          const std::string& artist, double frequency) {
  fs::path out = Dir() / name;
  testsupport::ToneSpec spec;
  spec.seconds = seconds;
  spec.title = title;
  spec.artist = artist;
  spec.frequency = frequency;
  testsupport::MakeTone(out, spec);
  return out;
}

void WindowTest::WritePlaylist(const std::vector<TPlaylistEntry>& entries) {
  std::string text;
  for (const auto& e : entries)
    text += e.Title + "|" + e.geshou + "|" + std::to_string(e.SongId) + "|" + e.mp3Patch + "\r\n";
  WriteText(Dir() / "playlist.txt", text);
}

std::string WindowTest::ReadBytes(const fs::path& file) const {
  return testsupport::ReadFile(file);
}

QString WindowTest::Title() const {
  auto* label = form_->findChild<TseXLabel*>("seXLabel1");
  return label ? label->Caption() : QString();
}

bool WindowTest::Playing() const {
  return BASS_ChannelIsActive(form_->Player().Stream()) == BASS_ACTIVE_PLAYING;
}

}  // namespace wintest
