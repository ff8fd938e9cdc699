#pragma once

#include <QPixmap>

namespace varnel {

// The program's picture: a page with a ruled digest under a magnifying
// glass, drawn at size x size pixels (32 for the window icon, 16 for the
// small images). Drawn in code so that the program carries no image files.
QPixmap DrawProgramIcon(int size);

} // namespace varnel
