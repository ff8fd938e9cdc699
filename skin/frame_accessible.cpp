#include "skin/frame_accessible.h"

#include "i18n/shown_text.h"
#include "skin/skin_caption.h"
#include "skin/skin_frame.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <array>
#include <vector>

namespace varnel {

namespace {

// A control hidden on purpose (a helper the window never shows) is left out;
// one merely not shown yet with its window is kept.
bool HiddenOnPurpose(const QWidget* control) {
    return control->isHidden() && control->testAttribute(Qt::WA_WState_ExplicitShowHide);
}

// The interfaces of the window's child widgets a screen reader is to see.
std::vector<QAccessibleInterface*> ShownChildren(const QWidget* widget,
                                                 const std::vector<const QWidget*>& left) {
    std::vector<QAccessibleInterface*> children;
    for (QObject* object : widget->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (child == nullptr || child->isWindow() || HiddenOnPurpose(child) ||
            std::find(left.begin(), left.end(), child) != left.end()) {
            continue;
        }
        if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(child)) {
            children.push_back(iface);
        }
    }
    return children;
}

// A window button's name in the window's language.
QString ButtonName(CaptionButton button, bool maximized) {
    struct Name {
        const char* chinese;
        const char* english;
    };
    Name name{"关闭", "Close"};
    switch (button) {
    case CaptionButton::Close:
        break;
    case CaptionButton::Minimise:
        name = {"最小化", "Minimize"};
        break;
    case CaptionButton::MaxRestore:
        name = maximized ? Name{"还原", "Restore"} : Name{"最大化", "Maximize"};
        break;
    case CaptionButton::OnTop:
        name = {"总在最前", "Stay on top"};
        break;
    }
    return ShownText(name.chinese, name.english);
}

// One window button the caption paints.
class CaptionButtonAccessible final : public QAccessibleInterface,
                                      public QAccessibleActionInterface {
public:
    CaptionButtonAccessible(Skin_Caption* caption, CaptionButton button)
        : m_Caption(caption), m_Button(button) {}

    bool isValid() const override { return m_Caption != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return m_Caption != nullptr ? m_Caption->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(m_Caption.data());
    }
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }

    QString text(QAccessible::Text kind) const override {
        if (m_Caption == nullptr || kind != QAccessible::Name) {
            return {};
        }
        return ButtonName(m_Button, m_Caption->MaximizedToWorkArea());
    }
    void setText(QAccessible::Text /*kind*/, const QString& /*text*/) override {}

    QRect rect() const override {
        if (m_Caption == nullptr) {
            return {};
        }
        const QRect local = m_Caption->ButtonRect(m_Button);
        return QRect(m_Caption->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override {
        return m_Button == CaptionButton::OnTop ? QAccessible::CheckBox : QAccessible::Button;
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        const Skin_Caption* caption = m_Caption.data();
        if (caption == nullptr) {
            state.invisible = true;
            state.disabled = true;
            return state;
        }
        state.invisible = !caption->isVisible();
        state.disabled = !caption->ButtonReacts(m_Button);
        if (m_Button == CaptionButton::OnTop) {
            state.checkable = true;
            state.checked = caption->ONTOP();
        }
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction() && m_Caption != nullptr) {
            m_Caption->PressButton(m_Button);
        }
    }
    QStringList keyBindingsForAction(const QString& /*action*/) const override { return {}; }

private:
    QPointer<Skin_Caption> m_Caption;
    CaptionButton m_Button;
};

// The caption: a title bar holding its text once (the shadow copy is
// drawing, not text; the window's own name is its title) and the window
// buttons it shows.
class CaptionAccessible final : public QAccessibleWidget {
public:
    explicit CaptionAccessible(Skin_Caption* caption)
        : QAccessibleWidget(caption, QAccessible::TitleBar) {}
    ~CaptionAccessible() override {
        for (const QAccessible::Id id : m_Buttons) {
            if (id != 0) {
                QAccessible::deleteAccessibleInterface(id);
            }
        }
    }
    CaptionAccessible(const CaptionAccessible&) = delete;
    CaptionAccessible& operator=(const CaptionAccessible&) = delete;

    int childCount() const override { return static_cast<int>(Children().size()); }
    QAccessibleInterface* child(int index) const override {
        const std::vector<QAccessibleInterface*> children = Children();
        return index >= 0 && index < static_cast<int>(children.size())
                   ? children[static_cast<std::size_t>(index)]
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const std::vector<QAccessibleInterface*> children = Children();
        const auto at = std::find(children.begin(), children.end(), child);
        return at == children.end() ? -1 : static_cast<int>(at - children.begin());
    }

private:
    Skin_Caption* Caption() const { return static_cast<Skin_Caption*>(widget()); }

    std::vector<QAccessibleInterface*> Children() const {
        Skin_Caption* caption = Caption();
        std::vector<QAccessibleInterface*> children;
        if (auto* text = caption->findChild<QLabel*>(QStringLiteral("Label1"))) {
            if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(text)) {
                children.push_back(iface);
            }
        }
        // Left to right, as they are read.
        for (const CaptionButton button : {CaptionButton::OnTop, CaptionButton::Minimise,
                                           CaptionButton::MaxRestore, CaptionButton::Close}) {
            if (!caption->ButtonShown(button)) {
                continue;
            }
            QAccessible::Id& id = m_Buttons.at(static_cast<std::size_t>(button));
            if (id == 0) {
                id = QAccessible::registerAccessibleInterface(
                    new CaptionButtonAccessible(caption, button));
            }
            children.push_back(QAccessible::accessibleInterface(id));
        }
        return children;
    }

    mutable std::array<QAccessible::Id, 4> m_Buttons{};
};

// A skinned window: a frame (not a plain pane) named by its title, without
// the controls it keeps hidden.
class FramedWindowAccessible final : public QAccessibleWidget {
public:
    explicit FramedWindowAccessible(QWidget* window)
        : QAccessibleWidget(window, QAccessible::Window) {}

    int childCount() const override { return static_cast<int>(Children().size()); }
    QAccessibleInterface* child(int index) const override {
        const std::vector<QAccessibleInterface*> children = Children();
        return index >= 0 && index < static_cast<int>(children.size())
                   ? children[static_cast<std::size_t>(index)]
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const std::vector<QAccessibleInterface*> children = Children();
        const auto at = std::find(children.begin(), children.end(), child);
        return at == children.end() ? -1 : static_cast<int>(at - children.begin());
    }

private:
    std::vector<QAccessibleInterface*> Children() const { return ShownChildren(widget(), {}); }
};

QAccessibleInterface* FrameAccessibleFactory(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    // Answered for the object's own class only, so that its own interface
    // is the one made.
    if (widget == nullptr || className != QLatin1String(object->metaObject()->className())) {
        return nullptr;
    }
    if (auto* caption = dynamic_cast<Skin_Caption*>(widget)) {
        return new CaptionAccessible(caption);
    }
    if (widget->isWindow() && SkinFrame::Find(widget) != nullptr) {
        return new FramedWindowAccessible(widget);
    }
    return nullptr;
}

} // namespace

void InstallFrameAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&FrameAccessibleFactory);
        return true;
    }();
    (void)installed;
}

} // namespace varnel
