#pragma once

#include <QImage>
#include <QString>

#include "window_core/version_info.h"

namespace quorvel {

// The program's icon: a Bode amplitude curve of a low-pass filter with its cutoff marker, drawn
// by code at any size (square, transparent corners).
QImage PaintProgramIcon(int size);

// The same icon as SVG text, built from the same shapes, for the desktop's icon theme.
QString ProgramIconSvg();

// The splash picture: the icon with the program's title, description, version and company.
QImage PaintSplashPicture(const VersionInfo& version);

}  // namespace quorvel
