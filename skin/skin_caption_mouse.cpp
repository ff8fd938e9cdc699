// Skin_Caption's mouse and the window commands it carries out: the hover,
// press and release looks of the window buttons, their clicks (close,
// minimise, maximise or restore, stay-on-top), the double-click maximise and
// the drag that moves the window. The owner's title, icon and state changes
// reach the caption here too.

#include "skin/skin_caption.h"

#include "platform/qt/window_services.h"
#include "platform/qt/work_area.h"
#include "skin/skin_frame.h"
#include "skin/skin_library.h"
#include "skin/skin_ontop.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

namespace varnel {

// ------------------------------------------------------------------ mouse

void Skin_Caption::mousePressEvent(QMouseEvent* event) {
    m_PressGlobal = event->globalPosition().toPoint();
    m_PressedHere = true;
    event->accept();
    UserControl_MouseDown();
}

void Skin_Caption::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const QPointF pos = event->position();
    UserControl_MouseMove(static_cast<float>(pos.x()), static_cast<float>(pos.y()));
}

void Skin_Caption::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool click = m_PressedHere && rect().contains(event->position().toPoint());
    m_PressedHere = false;
    UserControl_MouseUp();
    if (click) {
        UserControl_Click();
    }
}

void Skin_Caption::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click raises the double click alone; its
    // release comes as an ordinary release without a click.
    event->accept();
    m_PressedHere = false;
    UserControl_DblClick();
}

bool Skin_Caption::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label1) {
        // The caption text forwards the mouse to the control as a left-button
        // event at (1, 1), wherever the pointer really is.
        switch (event->type()) {
        case QEvent::MouseMove:
            UserControl_MouseMove(1.0f, 1.0f);
            return true;
        case QEvent::MouseButtonPress:
            m_PressGlobal = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            UserControl_MouseDown();
            return true;
        case QEvent::MouseButtonRelease:
            UserControl_MouseUp();
            return true;
        case QEvent::MouseButtonDblClick:
            UserControl_DblClick();
            return true;
        default:
            return false;
        }
    }
    if (watched == parentWidget()) {
        switch (event->type()) {
        case QEvent::WindowTitleChange:
            // The caption text follows the owner's title as it changes (a long
            // run shows its progress there).
            SetCaptionText();
            break;
        case QEvent::WindowIconChange:
            DrawCaption();
            break;
        case QEvent::WindowStateChange:
            if (parentWidget()->isMaximized() && platform::ClientPlacesWindows()) {
                QTimer::singleShot(0, this, [this] { TakeOverSystemMaximise(); });
            } else if (!platform::ClientPlacesWindows()) {
                // The compositor's maximise is the frame's.
                if (SkinFrame* frame = Frame(); frame != nullptr) {
                    frame->setPlacement(parentWidget()->isMaximized() ? FramePlacement::WorkArea
                                                                      : FramePlacement::Normal);
                }
                DrawCaption();
                update();
            }
            break;
        default:
            break;
        }
    }
    return false;
}

bool Skin_Caption::event(QEvent* event) {
    // The owner is watched for its title and icon, whichever widget it is.
    if (event->type() == QEvent::ParentAboutToChange && parentWidget() != nullptr) {
        parentWidget()->removeEventFilter(this);
    } else if (event->type() == QEvent::ParentChange && parentWidget() != nullptr) {
        parentWidget()->installEventFilter(this);
    }
    // Leaving the control ends a hover as leaving the band does.
    if (event->type() == QEvent::Leave && m_ControlBox && m_OverButton) {
        ShowNormalButtons();
    }
    return QWidget::event(event);
}

void Skin_Caption::UserControl_MouseMove(float x, float y) {
    if (!m_ControlBox) {
        return;
    }
    // The band of the buttons as drawn (the edges of their images on the
    // device pixels of the last paint).
    const DeviceGrid grid = HitGrid();
    const double bandTop = grid.SnapY(m_FromTop);
    const double bandBottom = grid.SnapY(static_cast<double>(m_FromTop) + m_CloseImage.Height());
    if (!(static_cast<float>(bandTop) < y && y < static_cast<float>(bandBottom))) {
        // Off the band the pointer is over no button: the hover ends here, so
        // that a later press or click away from the buttons never acts on the
        // button hovered last.
        if (m_OverButton) {
            ShowNormalButtons();
        }
        return;
    }
    const CaptionHoverAt at = HoverAt(ButtonRow(), StyleValue(), m_SHOWONTOP, x, grid);
    switch (at.hover) {
    case CaptionHover::Button:
        if (at.button != CaptionButton::OnTop) {
            ShowButtonImage(at.button, ButtonPicture(at.button, ButtonLook::Hot, Maximized()));
        }
        m_HotButton = at.button;
        m_OverButton = true;
        break;
    case CaptionHover::Inert:
        break;
    case CaptionHover::None:
        ShowNormalButtons();
        break;
    }
}

void Skin_Caption::ShowNormalButtons() {
    ShowButtonImage(CaptionButton::Close,
                    ButtonPicture(CaptionButton::Close, ButtonLook::Normal, false));
    if (StyleValue() != CaptionStyle::CloseOnly) {
        for (const CaptionButton button : {CaptionButton::MaxRestore, CaptionButton::Minimise}) {
            ShowButtonImage(button, ButtonPicture(button, ButtonLook::Normal, Maximized()));
        }
    }
    m_OverButton = false;
}

void Skin_Caption::UserControl_MouseDown() {
    if (!m_OverButton) {
        DragWindow();
        return;
    }
    if (m_ControlBox && m_HotButton != CaptionButton::OnTop) {
        ShowButtonImage(m_HotButton, ButtonPicture(m_HotButton, ButtonLook::Pressed, Maximized()));
    }
}

void Skin_Caption::UserControl_MouseUp() {
    if (m_ControlBox && m_OverButton && m_HotButton != CaptionButton::OnTop) {
        ShowButtonImage(m_HotButton, ButtonPicture(m_HotButton, ButtonLook::Normal, Maximized()));
    }
}

void Skin_Caption::UserControl_Click() {
    if (!m_ControlBox || !m_OverButton) {
        return;
    }
    QWidget* owner = parentWidget();
    SkinFrame* frame = Frame();
    switch (m_HotButton) {
    case CaptionButton::Close:
        if (StyleValue() != CaptionStyle::NoClose && owner != nullptr) {
            owner->close();
        }
        break;
    case CaptionButton::OnTop:
        // The stored value changes without a change mark.
        if (m_ONTOP) {
            OnTop().MakeNormal(owner);
        } else {
            OnTop().MakeTopMost(owner);
        }
        m_ONTOP = !m_ONTOP;
        ShowButtonImage(CaptionButton::OnTop, OnTopPicture(m_ONTOP));
        break;
    case CaptionButton::MaxRestore:
        if (StyleValue() == CaptionStyle::NoMaximise || frame == nullptr) {
            break;
        }
        if (Maximized()) {
            frame->setPlacement(FramePlacement::Normal);
            if (frame->workArea().Query(owner)) {
                frame->RestoreFromWorkArea();
            } else {
                WriteWorkAreaFailure();
            }
        } else {
            frame->setPlacement(FramePlacement::WorkArea);
            if (!frame->MaximizeToWorkArea(PlaceOrder::SizeThenPlace)) {
                WriteWorkAreaFailure();
            }
        }
        break;
    case CaptionButton::Minimise:
        if (owner != nullptr) {
            owner->setWindowState((owner->windowState() & ~Qt::WindowMaximized) |
                                  Qt::WindowMinimized);
        }
        m_Style2 = CaptionWindowState::Normal;
        break;
    }
}

bool Skin_Caption::ButtonShown(CaptionButton button) const {
    switch (button) {
    case CaptionButton::Close:
        return m_ControlBox;
    case CaptionButton::MaxRestore:
    case CaptionButton::Minimise:
        return m_ControlBox && StyleValue() != CaptionStyle::CloseOnly;
    case CaptionButton::OnTop:
        return m_SHOWONTOP;
    }
    return false;
}

bool Skin_Caption::ButtonReacts(CaptionButton button) const {
    if (!ButtonShown(button)) {
        return false;
    }
    switch (button) {
    case CaptionButton::Close:
        return StyleValue() != CaptionStyle::NoClose;
    case CaptionButton::MaxRestore:
        return StyleValue() != CaptionStyle::NoMaximise;
    case CaptionButton::Minimise:
    case CaptionButton::OnTop:
        break;
    }
    return true;
}

QRect Skin_Caption::ButtonRect(CaptionButton button) const {
    const Skin_clsBitmap* holder = Holder(button);
    return QRect(ButtonRow().PlacedLeft(button), m_FromTop, holder->Width(), holder->Height());
}

void Skin_Caption::PressButton(CaptionButton button) {
    if (!ButtonReacts(button)) {
        return;
    }
    // The click acts on the hot button, as if the pointer had found it.
    const QPointer<Skin_Caption> self(this);
    const CaptionButton hot = m_HotButton;
    const bool over = m_OverButton;
    m_HotButton = button;
    m_OverButton = true;
    UserControl_Click();
    if (self != nullptr) {
        m_HotButton = hot;
        m_OverButton = over;
    }
}

void Skin_Caption::UserControl_DblClick() {
    const CaptionStyle style = StyleValue();
    SkinFrame* frame = Frame();
    if (m_OverButton || style == CaptionStyle::CloseOnly || style == CaptionStyle::NoMaximise ||
        frame == nullptr) {
        return;
    }
    if (Maximized()) {
        frame->setPlacement(FramePlacement::Normal);
        frame->RestoreFromWorkArea();
    } else {
        SizingEnabled = false;
        frame->setPlacement(FramePlacement::WorkArea);
        if (!frame->MaximizeToWorkArea(PlaceOrder::PlaceThenSize)) {
            WriteWorkAreaFailure();
        }
    }
}

void Skin_Caption::DragWindow() {
    if (!m_Movable) {
        return;
    }
    // A maximised window is not moved (the frame refuses).
    if (SkinFrame* frame = Frame(); frame != nullptr) {
        frame->Move(this, m_PressGlobal);
    }
}

} // namespace varnel
