#pragma once

#include <QFont>

namespace varnel::platform {

// The windows' designed font, Tahoma 8.25 pt; where the system lacks Tahoma,
// a font of the same size that has the Chinese glyphs of the captions.
QFont DesignedFont();

} // namespace varnel::platform
