// The skins shipped in data/: complete, accepted by the engine without
// complaints, every picture of the size of its control, and clearly distinct.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <algorithm>
#include <filesystem>

#include "skins/SkinCatalogue.h"
#include "skins/SkinLayout.h"
#include "skins/engine/SkinData.h"

namespace {

const QString kData = QStringLiteral(LYRANO_SOURCE_DIR "/data");

QStringList ShippedSkins() {
  QStringList skins;
  for (const QString& name : QDir(kData).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    if (skins::IsSkinFolderName(name.toStdString())) skins << name;
  }
  return skins;
}

TEST(ShippedSkins, DefaultAndAtLeastOneMore) {
  const QStringList skins = ShippedSkins();
  EXPECT_TRUE(skins.contains("skin"));
  EXPECT_GE(skins.size(), 2);
  QImage icon(kData + "/lyrano.png");
  EXPECT_FALSE(icon.isNull());
  EXPECT_GE(icon.width(), 64);
}

TEST(ShippedSkins, EveryFileIsThereAndFitsItsControl) {
  for (const QString& skin : ShippedSkins()) {
    SCOPED_TRACE(skin.toStdString());
    const QString dir = kData + "/" + skin + "/";
    for (const std::string& file : skins::RequiredSkinFiles()) {
      EXPECT_TRUE(QFile::exists(dir + QString::fromStdString(file))) << file;
    }
    TspSkinData data;
    ASSERT_TRUE(data.LoadFromFile(dir + "skin.ini")) << data.LastError().toStdString();
    EXPECT_TRUE(data.Warnings().isEmpty()) << data.Warnings().join("; ").toStdString();
    EXPECT_FALSE(data.CaptionBarPicture().isNull());
    EXPECT_FALSE(data.CaptionButtonsPicture().isNull());

    // The window's heights: compact shows the controls and hides the tabs.
    const auto layout = skins::ReadSkinLayout((dir + "skinEx.ini").toStdString());
    const int bar = data.CaptionHeight();
    const int edge = data.Description().FormInfo.FrameWidth;
    EXPECT_GE(layout.FormMinHeight - bar - edge, 156);  // list button bottom
    EXPECT_LT(layout.FormMinHeight - bar - edge, 165);  // tab control top
    EXPECT_GE(layout.FormMaxHeight - bar - edge, 380);  // transparency knob bottom

    for (const auto& pic : skins::kSkinPictures) {
      QImage img(dir + QString::fromUtf8(pic.File.data(), static_cast<int>(pic.File.size())));
      ASSERT_FALSE(img.isNull()) << pic.File;
      EXPECT_TRUE(img.hasAlphaChannel()) << pic.File;
      EXPECT_EQ(img.size(), QSize(pic.Width, pic.Height)) << pic.File;
    }
    for (const auto& b : skins::kSkinButtons) {
      for (const char* suffix : {"up.bmp", "hot.bmp"}) {
        const QString file =
            QString::fromUtf8(b.Name.data(), static_cast<int>(b.Name.size())) + suffix;
        QImage img(dir + file, "BMP");
        ASSERT_FALSE(img.isNull()) << file.toStdString();
        EXPECT_EQ(img.size(), QSize(b.Width, b.Height)) << file.toStdString();
        // Olive marks the transparent part; the glyph is drawn in other colours.
        int olive = 0;
        for (int y = 0; y < img.height(); ++y) {
          for (int x = 0; x < img.width(); ++x) olive += (img.pixel(x, y) & 0xFFFFFF) == 0x808000;
        }
        EXPECT_GT(olive, img.width() * img.height() / 5) << file.toStdString();
        EXPECT_LT(olive, img.width() * img.height()) << file.toStdString();
      }
    }
    for (int i = 0; i < 4; ++i) {
      QImage img(dir + QString("Listback_%1.bmp").arg(i), "BMP");
      EXPECT_EQ(img.size(), QSize(skins::kListBackWidth, skins::kListBackHeight)) << i;
    }
  }
}

TEST(ShippedSkins, EveryPictureHasATwinForHighResolutionScreens) {
  for (const QString& skin : ShippedSkins()) {
    SCOPED_TRACE(skin.toStdString());
    const QDir dir(kData + "/" + skin);
    int twins = 0, drawn = 0;
    for (const QString& file : dir.entryList({"*.png", "*.bmp"}, QDir::Files)) {
      if (file.contains("@2x")) continue;
      const QString twin = QString(file).insert(file.lastIndexOf('.'), "@2x");
      const QImage plain(dir.filePath(file));
      const QImage big(dir.filePath(twin));
      ASSERT_FALSE(big.isNull()) << twin.toStdString();
      EXPECT_EQ(big.size(), plain.size() * 2) << twin.toStdString();
      // Drawn anew at twice the size, not blown up: finer detail than the
      // plain picture scaled up holds (flat ones, the row backgrounds, aside).
      const QImage blownUp = plain.scaled(plain.size() * 2);
      if (big.convertToFormat(QImage::Format_ARGB32) !=
          blownUp.convertToFormat(QImage::Format_ARGB32))
        ++drawn;
      ++twins;
    }
    EXPECT_GE(twins, 30);
    EXPECT_GE(drawn, twins - 2);
  }
}

TEST(ShippedSkins, LookClearlyDifferent) {
  const QStringList skins = ShippedSkins();
  ASSERT_GE(skins.size(), 2);
  auto meanLightness = [](const QImage& img) {
    long sum = 0;
    for (int y = 0; y < img.height(); ++y) {
      for (int x = 0; x < img.width(); ++x) sum += QColor(img.pixel(x, y)).lightness();
    }
    return sum / (img.width() * img.height());
  };
  QList<long> rows;
  for (const QString& skin : skins) {
    rows << meanLightness(QImage(kData + "/" + skin + "/Listback_1.bmp"));
  }
  // At least one light and one dark skin among those shipped.
  EXPECT_GT(
      *std::max_element(rows.begin(), rows.end()) - *std::min_element(rows.begin(), rows.end()),
      100);
}

}  // namespace
