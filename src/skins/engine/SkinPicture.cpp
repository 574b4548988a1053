#include "skins/engine/SkinPicture.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <cerrno>
#include <filesystem>
#include <utility>

#include "common/FileIO.h"
#include "common/codepage.h"
#include "skins/engine/PictureReader.h"

namespace skins {

namespace {

TPictureRead ReadOne(const QString& path) {
  TPictureRead out;
  const QByteArray native = QFile::encodeName(path);
  fileio::ReadResult file =
      fileio::ReadWholeFile(std::filesystem::path(native.toStdString()), kMaxSkinPictureBytes);
  switch (file.Status) {
    case fileio::ReadStatus::Missing:
      out.Status = TPictureStatus::Missing;
      out.Why = QStringLiteral("is missing");
      return out;
    case fileio::ReadStatus::Folder:
      out.Status = TPictureStatus::Unreadable;
      out.Why = QStringLiteral("cannot be read: it is a folder");
      return out;
    case fileio::ReadStatus::Failed: {
      out.Status = TPictureStatus::Unreadable;
      const std::string reason = file.Error == EINVAL
                                     ? std::string("not a regular file")
                                     : cp::AnsiToUtf8(fileio::SystemErrorText(file.Error));
      out.Why = QStringLiteral("cannot be read: ") + QString::fromStdString(reason);
      return out;
    }
    case fileio::ReadStatus::Ok:
      break;
  }

  QByteArray bytes = QByteArray::fromStdString(file.Bytes);
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  skinpic::PreferBuiltInDecoder(reader);
  out.Status = TPictureStatus::Undecodable;
  if (!reader.canRead()) {
    out.Why = QStringLiteral("cannot be decoded");
    return out;
  }
  const QSize size = reader.size();
  if (size.isValid() &&
      (size.width() > kMaxSkinPictureSide || size.height() > kMaxSkinPictureSide)) {
    out.Why = QStringLiteral("is larger than %1 pixels").arg(kMaxSkinPictureSide);
    return out;
  }
  QImage image = reader.read();
  if (image.isNull()) {
    out.Why = QStringLiteral("cannot be decoded: ") + reader.errorString();
    return out;
  }
  out.Status = TPictureStatus::Ok;
  out.Image = std::move(image);
  return out;
}

}  // namespace

QString TwinPath(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
  if (dot <= slash + 1) return path + QStringLiteral("@2x");  // no extension (or a dot file)
  return path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
}

TPictureRead ReadSkinPicture(const QString& path, qreal ratio) {
  TPictureRead plain = ReadOne(path);
  if (plain.Status != TPictureStatus::Ok || ratio <= 1.0) return plain;
  TPictureRead twin = ReadOne(TwinPath(path));
  if (twin.Status != TPictureStatus::Ok || twin.Image.size() != plain.Image.size() * 2) {
    return plain;
  }
  twin.Image.setDevicePixelRatio(2.0);
  return twin;
}

TPictureRead ReadSkinPicture(const QString& path) {
  return ReadSkinPicture(path, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
}

}  // namespace skins
