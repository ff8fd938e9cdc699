#pragma once

// Skin_clsOnTop: moves a window into or out of the topmost band, keeping its
// place and size. A failing call is ignored.

class QWidget;

namespace varnel {

class Skin_clsOnTop {
public:
    // The window of hWnd leaves the topmost band.
    void MakeNormal(QWidget* hWnd);
    // The window of hWnd joins the topmost band.
    void MakeTopMost(QWidget* hWnd);
};

} // namespace varnel
