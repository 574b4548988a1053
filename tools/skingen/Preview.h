// A still picture of the player window in one skin, composed from the files of
// the skin folder as the window places them. For judging the art without
// running the player.
#pragma once

#include <QImage>
#include <QString>

namespace skingen {

// Reads dataDir/<folder>/ and returns the expanded window; a null image when
// a file is missing.
QImage DrawPreview(const QString& dataDir, const QString& folder);

}  // namespace skingen
