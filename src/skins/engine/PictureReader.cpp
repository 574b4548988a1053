#include "skins/engine/PictureReader.h"

#include <QBuffer>
#include <QFile>

namespace skinpic {

void PreferBuiltInDecoder(QImageReader& reader) {
  QIODevice* device = reader.device();
  if (device == nullptr || !device->isOpen()) return;
  const QByteArray head = device->peek(8);
  const char* format = nullptr;
  if (head.startsWith("\x89PNG\r\n\x1a\n")) {
    format = "png";
  } else if (head.startsWith("BM")) {
    format = "bmp";
  }
  if (format == nullptr) return;
  reader.setFormat(format);
  reader.setAutoDetectImageFormat(false);
}

QImage Decode(const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  PreferBuiltInDecoder(reader);
  return reader.read();
}

QImage ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QImageReader reader(&file);
  PreferBuiltInDecoder(reader);
  return reader.read();
}

}  // namespace skinpic
