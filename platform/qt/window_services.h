#pragma once

// Window services that stand in for SetWindowPos (topmost band) and for the
// WM_NCLBUTTONDOWN message that hands a press to the system's own move or
// sizing loop.

#include <QPoint>
#include <Qt>

class QWidget;

namespace varnel::platform {

// Puts the top-level window of widget into the topmost band or takes it out,
// keeping its place, size and visibility (changing window flags re-creates
// the native window, which some platforms show elsewhere). Nothing happens
// for a null widget or when the window is already in the wanted band.
void SetStaysOnTop(QWidget* widget, bool onTop);

// True when the top-level window of widget is in the topmost band.
bool IsStaysOnTop(const QWidget* widget);

// False where a client cannot place its own windows: only the compositor
// does (a Wayland session). Moving, maximising and restoring then go through
// the compositor.
bool ClientPlacesWindows();

// How a press was handed on.
enum class DragStart {
    None,   // nothing to drag (no window)
    System, // the window system runs the move or sizing loop
    Manual, // the window follows the mouse until release
};

// Starts moving the top-level window of source as the system does after a
// press on a title bar: the window follows the pointer until the button is
// released, moving by exactly the pointer's travel since the press. Call it
// from the press; globalPress is where the press happened (screen
// coordinates). The window keeps the pointer, so a double click still reaches
// it; answers Manual. Where only the compositor places windows, the press
// hands the move to the compositor (QWindow::startSystemMove) once the events
// that came with it are delivered, unless its release was among them (a
// quick click, which so stays a click), so that the window follows the whole
// travel from the press. Answers System then, None when there is no window
// or no button is held.
DragStart BeginSystemMove(QWidget* source, QPoint globalPress);

// Starts sizing the top-level window of source from the given edges (a corner
// is two edges), like a press on a window border: the window system's own
// sizing loop when a window manager runs one, else the dragged edges follow
// the mouse until release, never making the window smaller than its minimum
// size or than one pixel.
DragStart BeginSystemResize(QWidget* source, Qt::Edges edges, QPoint globalPress);

} // namespace varnel::platform
