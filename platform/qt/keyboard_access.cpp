#include "platform/qt/keyboard_access.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace varnel::platform {

namespace {

bool IsEnter(const QKeyEvent& key) {
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) &&
           modifiers == Qt::NoModifier;
}

// Runs its action on Enter pressed on the control it watches; with a focus
// frame to draw, draws the style's focus rectangle over the control while it
// has the focus (after the control has painted itself).
class EnterActivates final : public QObject {
public:
    EnterActivates(QWidget* control, std::function<void()> action, bool drawsFocus)
        : QObject(control), m_Control(control), m_Action(std::move(action)),
          m_DrawsFocus(drawsFocus) {
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_Control) {
            return false;
        }
        switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (!IsEnter(*key) || !m_Control->isEnabled()) {
                return false;
            }
            key->accept();
            if (!key->isAutoRepeat() && m_Action) {
                m_Action();
            }
            return true;
        }
        case QEvent::Paint:
            if (m_DrawsFocus && m_Control->hasFocus() && !m_Painting) {
                // The control paints first; the frame goes over it.
                m_Painting = true;
                QCoreApplication::sendEvent(m_Control, event);
                m_Painting = false;
                QPainter painter(m_Control);
                QStyleOptionFocusRect option;
                option.initFrom(m_Control);
                // Around the text of a label, not the whole of its place.
                if (auto* label = qobject_cast<QLabel*>(m_Control); label != nullptr) {
                    const int textWidth = label->fontMetrics().horizontalAdvance(label->text()) + 4;
                    option.rect.setWidth(std::min(option.rect.width(), textWidth));
                }
                option.backgroundColor = m_Control->palette().color(QPalette::Window);
                m_Control->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter,
                                                  m_Control);
                return true;
            }
            return false;
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            if (m_DrawsFocus) {
                m_Control->update();
            }
            return false;
        default:
            return false;
        }
    }

private:
    QWidget* m_Control;
    std::function<void()> m_Action;
    bool m_DrawsFocus;
    bool m_Painting = false;
};

} // namespace

void PressWithEnter(QAbstractButton* button) {
    if (button != nullptr) {
        new EnterActivates(
            button, [button] { button->click(); }, false);
    }
}

void ActivateWithEnter(QWidget* control, std::function<void()> action) {
    if (control != nullptr) {
        new EnterActivates(control, std::move(action), false);
    }
}

void MakeKeyboardLink(QLabel* label, std::function<void()> open) {
    if (label == nullptr) {
        return;
    }
    label->setFocusPolicy(Qt::StrongFocus);
    new EnterActivates(label, std::move(open), true);
}

namespace {

// Qt draws the focus only in a window where the focus has moved by the
// keyboard, and forgets that each time the window is shown: the window is
// marked again whenever it is shown or becomes active.
class FocusShown final : public QObject {
public:
    explicit FocusShown(QWidget* window) : QObject(window), m_Window(window) {
        window->installEventFilter(this);
        window->setAttribute(Qt::WA_KeyboardFocusChange, true);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_Window &&
            (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate)) {
            m_Window->setAttribute(Qt::WA_KeyboardFocusChange, true);
        }
        return false;
    }

private:
    QWidget* m_Window;
};

} // namespace

void ShowFocusFromStart(QWidget* window) {
    if (window != nullptr) {
        new FocusShown(window);
    }
}

} // namespace varnel::platform
