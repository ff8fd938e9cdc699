#pragma once

// The system menu of a window framed by a skin caption (skin/skin_caption.h),
// as a system title bar offers it: a right click on the caption's text or
// icon, or Alt+Space, opens it under the caption; its Restore, Minimize and
// Maximize items are offered while the caption's buttons can do the same,
// and act through those buttons. A right click anywhere else on the caption,
// its buttons included, reaches the caption's own handlers, which act on
// every mouse button (a right click on the close button closes).
//
//     CaptionSystemMenu::Install(window, caption);   // once its menu is made

#include <QObject>
#include <QPoint>

#include <cstdint>

class QMenu;
class QWidget;

namespace varnel {

class Skin_Caption;

class CaptionSystemMenu final : public QObject {
public:
    // Watches caption (and the text and icon it holds now) for window, a
    // child of window; null for a null window or caption.
    static CaptionSystemMenu* Install(QWidget* window, Skin_Caption* caption);

    // Pops the menu up below the caption's left end (the window's top left
    // while the caption is hidden) and returns it.
    QMenu* Popup();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CaptionSystemMenu(QWidget* window, Skin_Caption* caption);

    bool CanDo(std::uint32_t command) const;
    void Do(std::uint32_t command);

    QWidget* m_Window;
    Skin_Caption* m_Caption;
};

} // namespace varnel
