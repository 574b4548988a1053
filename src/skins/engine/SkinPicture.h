// Reading one picture or bitmap of a skin folder. The file is read with the
// capped whole-file reader: only a regular file, opened without blocking, and
// at most kMaxSkinPictureBytes, so a FIFO or a device named like a picture
// cannot stall the window and a huge file is refused before it is read. The
// decoder then sees the bytes in memory, with a size check before the pixels
// are allocated. Window's thread (QImage is fine on any thread, but the skin
// code runs there).
#pragma once

#include <QImage>
#include <QString>
#include <cstddef>

namespace skins {

// Larger than any sensible skin picture: a 2048 x 2048 bitmap of 32-bit pixels
// with its header.
inline constexpr size_t kMaxSkinPictureBytes = (16u << 20) + 4096;
// Pictures wider or higher than this are refused before decoding.
inline constexpr int kMaxSkinPictureSide = 2048;

enum class TPictureStatus { Ok, Missing, Unreadable, Undecodable };

struct TPictureRead {
  TPictureStatus Status = TPictureStatus::Missing;
  QImage Image;  // with Ok
  QString Why;   // otherwise: "is missing", "cannot be read: <reason>", ...
};

// `path` is a file-system path (UTF-8 on Linux). Above one device pixel per
// window pixel (`ratio`), the picture's twin at twice the size, "name@2x.ext"
// beside it, is taken when it reads and is exactly twice the plain picture's
// size; it comes with a device pixel ratio of 2, so it lays out at the plain
// picture's size. Any fault of the twin leaves the plain picture, which Qt
// scales. The status and reason are always the plain picture's.
TPictureRead ReadSkinPicture(const QString& path, qreal ratio);
// The same for the application's screens (their highest device pixel ratio).
TPictureRead ReadSkinPicture(const QString& path);

// "dir/name@2x.ext" for "dir/name.ext".
QString TwinPath(const QString& path);

}  // namespace skins
