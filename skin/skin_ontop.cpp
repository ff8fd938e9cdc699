#include "skin/skin_ontop.h"

#include "platform/qt/window_services.h"

namespace varnel {

void Skin_clsOnTop::MakeNormal(QWidget* hWnd) {
    platform::SetStaysOnTop(hWnd, false);
}

void Skin_clsOnTop::MakeTopMost(QWidget* hWnd) {
    platform::SetStaysOnTop(hWnd, true);
}

} // namespace varnel
