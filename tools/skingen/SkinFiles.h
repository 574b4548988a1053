// Writes a complete skin folder (pictures, bitmaps, skin.ini, skinEx.ini) and
// the application icon.
#pragma once

#include <QString>

#include "Theme.h"

namespace skingen {

// Writes dataDir/<theme.folder>/...; false with `error` set on the first
// file that cannot be written.
bool WriteSkin(const Theme& theme, const QString& dataDir, QString* error);
bool WriteAppIcon(const QString& dataDir, QString* error);
// iconDir/NNxNN/apps/lyrano.png for NN in 16, 32, 48, 64, 128 and 256.
bool WriteIconTheme(const QString& iconDir, QString* error);

}  // namespace skingen
