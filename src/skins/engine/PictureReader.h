// Decoding of skin pictures. PNG and BMP, which Qt decodes itself, are read
// without consulting the image format plugins: asking them means loading every
// one installed (and its codec library) at start-up, although a skin of PNG
// and BMP files needs none. Any other picture is decoded the general way, with
// the plugins, exactly as before.
#pragma once

#include <QImage>
#include <QImageReader>
#include <QString>

namespace skinpic {

// Makes `reader` (on an open device) decode a PNG or BMP with Qt's own
// decoder only; leaves it as it is for any other content.
void PreferBuiltInDecoder(QImageReader& reader);

// The picture in `bytes`; a null image when it cannot be decoded.
QImage Decode(const QByteArray& bytes);

// The picture in the file `path`; a null image when it is missing or cannot
// be decoded.
QImage ReadFile(const QString& path);

}  // namespace skinpic
