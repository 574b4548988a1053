// Skin pictures on high-resolution screens: a picture's "@2x" twin is taken
// where the screen has more than one device pixel per window pixel, in the
// window's own units; a skin without twins, or with a bad one, keeps its
// plain pictures, which Qt scales.
#include <gtest/gtest.h>

#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <memory>

#include "skins/engine/SkinData.h"
#include "skins/engine/SkinForm.h"
#include "skins/engine/SkinPicture.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using skins::ReadSkinPicture;
using skins::TPictureStatus;

namespace {

QString Q(const fs::path& p) {
  return QString::fromStdString(p.string());
}

void SavePicture(const fs::path& path, QSize size, QColor colour) {
  QImage img(size, QImage::Format_ARGB32);
  img.fill(colour);
  ASSERT_TRUE(img.save(Q(path), path.extension() == ".bmp" ? "BMP" : "PNG")) << path;
}

TEST(SkinHiDpi, TwinIsTakenAboveOneDevicePixelAndOnlyWhenItFits) {
  testsupport::TempDir dir;
  const QColor plain(200, 0, 0), twin(0, 0, 200);
  SavePicture(dir / "logo.png", {7, 5}, plain);
  SavePicture(dir / "logo@2x.png", {14, 10}, twin);
  SavePicture(dir / "playup.bmp", {13, 13}, plain);
  SavePicture(dir / "playup@2x.bmp", {26, 26}, twin);

  for (const char* name : {"logo.png", "playup.bmp"}) {
    SCOPED_TRACE(name);
    auto one = ReadSkinPicture(Q(dir / name), 1.0);
    ASSERT_EQ(one.Status, TPictureStatus::Ok);
    EXPECT_EQ(one.Image.devicePixelRatio(), 1.0);
    EXPECT_EQ(one.Image.pixelColor(0, 0), plain);
    for (qreal ratio : {1.5, 2.0, 3.0}) {
      auto hi = ReadSkinPicture(Q(dir / name), ratio);
      ASSERT_EQ(hi.Status, TPictureStatus::Ok) << ratio;
      EXPECT_EQ(hi.Image.pixelColor(0, 0), twin) << ratio;
      EXPECT_EQ(hi.Image.devicePixelRatio(), 2.0) << ratio;
      // Laid out at the plain picture's size.
      EXPECT_EQ(hi.Image.deviceIndependentSize(), QSizeF(one.Image.size())) << ratio;
    }
  }

  // No twin: the plain picture, for Qt to scale.
  SavePicture(dir / "yuan.png", {16, 17}, plain);
  auto lone = ReadSkinPicture(Q(dir / "yuan.png"), 2.0);
  ASSERT_EQ(lone.Status, TPictureStatus::Ok);
  EXPECT_EQ(lone.Image.size(), QSize(16, 17));
  EXPECT_EQ(lone.Image.devicePixelRatio(), 1.0);

  // A twin of the wrong size, a broken one or a folder is passed over.
  SavePicture(dir / "laba.png", {14, 12}, plain);
  SavePicture(dir / "laba@2x.png", {20, 24}, twin);
  testsupport::WriteFile(dir / "caption.png", testsupport::ReadFile(dir / "logo.png"));
  testsupport::WriteFile(dir / "caption@2x.png", "\x89PNG\r\n\x1a\n and no more");
  SavePicture(dir / "check_on.png", {7, 5}, plain);
  fs::create_directory(dir / "check_on@2x.png");
  for (const char* name : {"laba.png", "caption.png", "check_on.png"}) {
    auto kept = ReadSkinPicture(Q(dir / name), 2.0);
    ASSERT_EQ(kept.Status, TPictureStatus::Ok) << name;
    EXPECT_EQ(kept.Image.pixelColor(0, 0), plain) << name;
    EXPECT_EQ(kept.Image.devicePixelRatio(), 1.0) << name;
  }

  // The plain picture is what the skin names: a twin alone does not stand in.
  SavePicture(dir / "arrow@2x.png", {18, 12}, twin);
  EXPECT_EQ(ReadSkinPicture(Q(dir / "arrow.png"), 2.0).Status, TPictureStatus::Missing);
  // A name without an extension has its twin at name@2x.
  SavePicture(dir / "bare", {7, 5}, plain);
  SavePicture(dir / "bare@2x", {14, 10}, twin);
  EXPECT_EQ(ReadSkinPicture(Q(dir / "bare"), 2.0).Image.pixelColor(0, 0), twin);
}

// A caption bar picture of three slices (left 4, middle, right 4 window
// pixels), each a colour of its own, plain and twin; the twin's middle has a
// one-device-pixel stripe only a 2x picture can show.
std::string CaptionIni(int height) {
  return "[VERSION]\nFormat=1\nName=t\n[PICTURES]\nCaptionBar=bar.png\n"
         "[FORMINFO]\nCaptionHeight=" +
         std::to_string(height) +
         "\nCaptionBarLeft=4\nCaptionBarRight=4\nFrameWidth=0\nFrameColor=#000000\n"
         "ClientColor=#102030\n[SKINOBJECTS]\nButtonWidth=18\nButtonHeight=16\n"
         "[SKINCONTROLS]\nTextColor=#FFFFFF\n";
}

QImage Bar(int scale) {
  QImage img(12 * scale, 20 * scale, QImage::Format_ARGB32);
  QPainter p(&img);
  p.fillRect(0, 0, 4 * scale, img.height(), QColor(255, 0, 0));
  p.fillRect(4 * scale, 0, 4 * scale, img.height(), QColor(0, 255, 0));
  p.fillRect(8 * scale, 0, 4 * scale, img.height(), QColor(0, 0, 255));
  if (scale == 2) p.fillRect(4 * scale, 0, 8, 1, QColor(255, 255, 0));
  p.end();
  return img;
}

TEST(SkinHiDpi, CaptionSlicesComeFromTheTwinInWindowUnits) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "skin.ini", CaptionIni(20));
  ASSERT_TRUE(Bar(1).save(Q(dir / "bar.png")));
  ASSERT_TRUE(Bar(2).save(Q(dir / "bar@2x.png")));
  auto* data = new TspSkinData;
  auto form = std::make_unique<QWidget>();
  data->setParent(form.get());
  auto* skinForm = new TspDynamicSkinForm(form.get(), data);
  skinForm->SetWindowSize(100, 60);
  const qreal ratio = 2.0;
  data->SetDevicePixelRatio(ratio);
  ASSERT_TRUE(data->LoadFromFile(Q(dir / "skin.ini"))) << data->LastError().toStdString();
  ASSERT_EQ(data->CaptionBarPicture().devicePixelRatio(), 2.0);

  auto* caption = form->findChild<QWidget*>("spSkinCaption");
  ASSERT_NE(caption, nullptr);
  QPixmap shot(caption->size() * 2);
  shot.setDevicePixelRatio(2);
  shot.fill(Qt::black);
  caption->render(&shot);
  const QImage img = shot.toImage();
  // Device pixels; the caption's buttons start below row 3. Left slice 0..7,
  // right slice from 192, the middle stretched between.
  EXPECT_EQ(img.pixelColor(1, 2), QColor(255, 0, 0));
  EXPECT_EQ(img.pixelColor(10, 2), QColor(0, 255, 0));
  EXPECT_EQ(img.pixelColor(100, 2), QColor(0, 255, 0));
  EXPECT_EQ(img.pixelColor(198, 2), QColor(0, 0, 255));
  // The twin's own detail, where a 1x source rectangle would take red.
  EXPECT_EQ(img.pixelColor(10, 0), QColor(255, 255, 0));
  EXPECT_EQ(img.pixelColor(100, 0), QColor(255, 255, 0));
}

}  // namespace
