#pragma once

// What a screen reader sees of a skinned window: the window as a frame, the
// caption as a title bar holding the caption text once and the window
// buttons it paints (each a button with its name and a press action), and
// none of the controls the window keeps hidden.

namespace varnel {

// Makes the skinned windows and their captions known to Qt's accessibility
// through their own interfaces. Once per program; later calls do nothing.
void InstallFrameAccessibility();

} // namespace varnel
