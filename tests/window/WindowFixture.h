// A temporary program folder (Main.ini, playlists, skins made by the test,
// real audio files), a loopback rule page, and the player window over them,
// driven through its named components. Message boxes and file dialogs are
// answered by a watcher that records what they said.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QString>
#include <QTest>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "main/Unit1.h"
#include "support/TestSupport.h"

namespace wintest {

// A skin folder written by the test: flat colours, every file of a skin.
struct SkinSpec {
  QColor base{40, 40, 44};
  QColor listBack[4] = {QColor(10, 10, 10), QColor(20, 20, 20), QColor(30, 30, 30),
                        QColor(40, 40, 40)};  // Listback_0 .. Listback_3
  std::string skinEx;                         // content of skinEx.ini; none when empty
  std::vector<std::string> omit;              // files left out
  int frameWidth = 0;                         // the skinned frame around the client area
  std::string controls;                       // lines of [SKINCONTROLS], e.g. "TextColor=#E6E6E8\r\n"
};
void MakeSkin(const std::filesystem::path& folder, const SkinSpec& spec);

// The rule page region with all seventeen keys; `ver` the version number.
std::string CompleteRulePage(int ver = 1, bool withMarkers = true);

// Internal (GB18030) bytes of a UTF-8 literal.
std::string G(const char* utf8);
void WriteText(const std::filesystem::path& file, const std::string& bytes);

class WindowTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Further routes of the loopback server, registered before it starts.
  virtual void Routes(httplib::Server&) {}
  std::string ServerBase() const { return server_->base(); }

  // Folder paths.
  std::filesystem::path Dir() const { return dir_.path(); }
  std::string AppDir() const;  // local code page, trailing '/'
  std::filesystem::path Data() const { return dir_.path() / "data"; }

  // The folder of Main.ini and playlist.txt (local code page, trailing '/');
  // empty lets the player choose. Set before Start().
  std::string userDir;

  // The rule page the worker reads; set before Start().
  std::string rulePage = CompleteRulePage();
  int ruleStatus = 200;

  // Creates the window over the folder (default skin "skin" is made unless
  // `makeDefaultSkin` is false) and shows it.
  void Start(std::vector<std::string> args = {}, bool makeDefaultSkin = true);
  TForm1& Form() { return *form_; }
  // Closes the window and destroys it, as the program's end does.
  void CloseAndDestroy();
  TPlayerState& State() { return form_->State(); }
  TPlayer& Player() { return form_->Player(); }
  bool WaitReady(int ms = 8000);

  template <typename T>
  T* Child(const char* name) {
    T* w = form_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QAction* Item(const char* name);
  void Click(const char* widgetName);
  // Opens the row's context menu in a list panel and chooses `item`.
  void RowMenu(TCnScroolStoreBox* box, int row, const char* item);
  void DoubleClickRow(TCnScroolStoreBox* box, int row);
  // Presses on `widget` (a gauge or its knob), moves the cursor to the screen
  // x at which the drag rule gives the offset `x` on `gauge`, and releases. The
  // rule: X = cursor x - the window's outer left edge - the gauge's left inside
  // the window; no border width is subtracted, although the skin's frame puts
  // the gauge one pixel further right on the screen.
  void DragGauge(QWidget* widget, QWidget* gauge, int x);

  // A real audio file with tags (title and artist in UTF-8).
  std::filesystem::path Tone(const std::string& name, double seconds, const std::string& title,
                             const std::string& artist = "", double frequency = 440);
  // Writes playlist.txt (entries in internal text).
  void WritePlaylist(const std::vector<TPlaylistEntry>& entries);
  std::string ReadBytes(const std::filesystem::path& file) const;

  // What the watcher saw: "message:<text>", "error:<text>", "caption:<title>";
  // "markup:<text>" for a box whose text was not plain (fails every test).
  std::vector<std::string> events;
  std::vector<std::string> Messages() const;  // message and error texts, in order
  // Answers for file dialogs by object name: the files to choose (UTF-8 paths);
  // an empty list cancels.
  std::map<std::string, std::vector<std::string>> dialogAnswers;

  QString Title() const;  // seXLabel1's caption
  bool Playing() const;

 private:
  void Watch();

  testsupport::TempDir dir_;
  std::unique_ptr<testsupport::LoopbackServer> server_;
  std::unique_ptr<TForm1> form_;
  QTimer* watcher_ = nullptr;
};

}  // namespace wintest
