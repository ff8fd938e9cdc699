#include "app/caption_system_menu.h"

#include "skin/skin_caption.h"
#include "winstyle/system_menu.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QShortcut>
#include <QWidget>

namespace varnel {

CaptionSystemMenu* CaptionSystemMenu::Install(QWidget* window, Skin_Caption* caption) {
    if (window == nullptr || caption == nullptr) {
        return nullptr;
    }
    return new CaptionSystemMenu(window, caption);
}

CaptionSystemMenu::CaptionSystemMenu(QWidget* window, Skin_Caption* caption)
    : QObject(window), m_Window(window), m_Caption(caption) {
    caption->installEventFilter(this);
    for (QWidget* part : caption->findChildren<QWidget*>()) {
        part->installEventFilter(this);
    }
    platform::SetOwnFrameCommands(window, {[this](std::uint32_t command) { return CanDo(command); },
                                           [this](std::uint32_t command) { Do(command); }});
    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), window);
    connect(shortcut, &QShortcut::activated, this, [this] { Popup(); });
}

QMenu* CaptionSystemMenu::Popup() {
    const QWidget* under =
        m_Caption->isVisible() ? static_cast<QWidget*>(m_Caption) : static_cast<QWidget*>(m_Window);
    return platform::PopupSystemMenu(
        m_Window, under->mapToGlobal(QPoint(0, under == m_Window ? 0 : under->height())));
}

bool CaptionSystemMenu::CanDo(std::uint32_t command) const {
    const bool minimised = m_Window->isMinimized();
    const bool maximised = m_Caption->MaximizedToWorkArea();
    switch (command) {
    case platform::SC_RESTORE:
        return minimised || maximised;
    case platform::SC_MINIMIZE:
        return !minimised && m_Caption->ButtonReacts(CaptionButton::Minimise);
    case platform::SC_MAXIMIZE:
        return !minimised && !maximised && m_Caption->ButtonReacts(CaptionButton::MaxRestore);
    default:
        return false;
    }
}

void CaptionSystemMenu::Do(std::uint32_t command) {
    switch (command) {
    case platform::SC_RESTORE:
        if (m_Window->isMinimized()) {
            m_Window->showNormal();
        } else if (m_Caption->MaximizedToWorkArea()) {
            m_Caption->PressButton(CaptionButton::MaxRestore);
        }
        break;
    case platform::SC_MINIMIZE:
        m_Caption->PressButton(CaptionButton::Minimise);
        break;
    case platform::SC_MAXIMIZE:
        if (!m_Caption->MaximizedToWorkArea()) {
            m_Caption->PressButton(CaptionButton::MaxRestore);
        }
        break;
    default:
        break;
    }
}

bool CaptionSystemMenu::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_Caption) {
        // The bar and its buttons keep their own handling of every button;
        // the context menu a right press raises there opens nothing.
        return event->type() == QEvent::ContextMenu;
    }
    if (watched->parent() != m_Caption) {
        return false;
    }
    // The caption's text and icon: a right click opens the menu, and is not
    // taken by the text for a press on the bar (which would drag).
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
    case QEvent::ContextMenu:
        platform::PopupSystemMenu(m_Window, static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    default:
        return false;
    }
}

} // namespace varnel
