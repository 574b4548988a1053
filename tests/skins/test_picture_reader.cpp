// Skin pictures: PNG and BMP by Qt's own decoder without the image format
// plugins, anything else (JPEG) the general way; the content decides, not
// the file's name. Each test runs in a process of its own under ctest.
#include <gtest/gtest.h>

#include <zlib.h>
#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QtEndian>
#include <string>

#include "skins/engine/PictureReader.h"
#include "support/TestSupport.h"

namespace {

QByteArray Encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, format)) << format;
  return bytes;
}

// PNG and BMP files written here, not by Qt, whose writers may load plugins.
void Put32(std::string& out, uint32_t v, bool bigEndian) {
  for (int i = 0; i < 4; ++i) {
    int shift = bigEndian ? 24 - 8 * i : 8 * i;
    out += static_cast<char>((v >> shift) & 0xFF);
  }
}

QByteArray HandMadePng(int w, int h, QColor c) {
  std::string raw;
  for (int y = 0; y < h; ++y) {
    raw += '\0';  // no filter
    for (int x = 0; x < w; ++x) {
      raw += static_cast<char>(c.red());
      raw += static_cast<char>(c.green());
      raw += static_cast<char>(c.blue());
    }
  }
  uLongf packedSize = compressBound(raw.size());
  std::string packed(packedSize, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
           reinterpret_cast<const Bytef*>(raw.data()), raw.size());
  packed.resize(packedSize);
  std::string png("\x89PNG\r\n\x1a\n", 8);
  auto chunk = [&](const char* type, const std::string& data) {
    Put32(png, static_cast<uint32_t>(data.size()), true);
    std::string body = std::string(type, 4) + data;
    png += body;
    Put32(png, crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size()), true);
  };
  std::string ihdr;
  Put32(ihdr, w, true);
  Put32(ihdr, h, true);
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
  chunk("IHDR", ihdr);
  chunk("IDAT", packed);
  chunk("IEND", "");
  return QByteArray(png.data(), static_cast<qsizetype>(png.size()));
}

QByteArray HandMadeBmp(int w, int h, QColor c) {
  const int row = (w * 3 + 3) & ~3;
  std::string bmp = "BM";
  Put32(bmp, 54 + row * h, false);
  Put32(bmp, 0, false);
  Put32(bmp, 54, false);
  Put32(bmp, 40, false);
  Put32(bmp, w, false);
  Put32(bmp, h, false);
  bmp += std::string("\x01\x00\x18\x00", 4);  // one plane, 24 bits
  for (int i = 0; i < 6; ++i) Put32(bmp, 0, false);
  for (int y = 0; y < h; ++y) {
    std::string line;
    for (int x = 0; x < w; ++x) {
      line += static_cast<char>(c.blue());
      line += static_cast<char>(c.green());
      line += static_cast<char>(c.red());
    }
    line.resize(row, '\0');
    bmp += line;
  }
  return QByteArray(bmp.data(), static_cast<qsizetype>(bmp.size()));
}

QImage Sample() {
  QImage image(7, 5, QImage::Format_RGB32);
  image.fill(QColor(10, 200, 30));
  return image;
}

bool PluginMapped() {
  return testsupport::ReadFile("/proc/self/maps").find("/imageformats/") != std::string::npos;
}

TEST(SkinPictures, PngAndBmpNeedNoFormatPlugin) {
  if (PluginMapped()) GTEST_SKIP() << "an earlier test in this process loaded a plugin";
  const QColor green(10, 200, 30);
  for (const QByteArray& bytes : {HandMadePng(7, 5, green), HandMadeBmp(7, 5, green)}) {
    QImage got = skinpic::Decode(bytes);
    ASSERT_FALSE(got.isNull()) << bytes.left(2).toStdString();
    EXPECT_EQ(got.size(), QSize(7, 5));
    EXPECT_EQ(got.pixelColor(3, 2), green);
  }
  EXPECT_FALSE(PluginMapped());
}

TEST(SkinPictures, EveryFormatDecodesUnderAnyName) {
  testsupport::TempDir dir;
  for (const char* format : {"PNG", "BMP", "JPEG"}) {
    SCOPED_TRACE(format);
    const QByteArray bytes = Encoded(Sample(), format);
    QImage fromBytes = skinpic::Decode(bytes);
    ASSERT_FALSE(fromBytes.isNull());
    EXPECT_EQ(fromBytes.size(), QSize(7, 5));
    // A skin may name a picture with the wrong extension.
    for (const char* name : {"picture.png", "picture.bmp", "picture.jpg"}) {
      const QString path = QString::fromStdString((dir.path() / name).string());
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
      file.write(bytes);
      file.close();
      EXPECT_EQ(skinpic::ReadFile(path).size(), QSize(7, 5)) << name;
    }
  }
  EXPECT_TRUE(skinpic::Decode("BM but no bitmap").isNull());
  EXPECT_TRUE(skinpic::Decode("\x89PNG\r\n\x1a\n and no more").isNull());
  EXPECT_TRUE(
      skinpic::ReadFile(QString::fromStdString((dir.path() / "none.png").string())).isNull());
}

}  // namespace
