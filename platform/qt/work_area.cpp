#include "platform/qt/work_area.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace varnel::platform {

WorkAreaSource::~WorkAreaSource() = default;

std::optional<WorkArea> ScreenWorkArea::Query(const QWidget* widget) const {
    const QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return std::nullopt;
    }
    const QRect available = screen->availableGeometry();
    if (available.isEmpty()) {
        return std::nullopt;
    }
    // QRect's right() and bottom() are the last pixel; the work area's are
    // one past it.
    return WorkArea{available.x(), available.y(), available.x() + available.width(),
                    available.y() + available.height()};
}

} // namespace varnel::platform
