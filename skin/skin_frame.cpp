#include "skin/skin_frame.h"

#include "formats/property_bag.h"
#include "platform/qt/window_services.h"
#include "platform/qt/work_area.h"
#include "skin/frame_accessible.h"
#include "skin/skin_border.h"
#include "skin/skin_caption.h"
#include "skin/skin_library.h"

#include <QByteArray>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace varnel {

namespace {

// A control hidden on purpose takes no room. One that is merely not shown
// yet (its window has not been shown) does: it appears with the window.
bool TakesNoRoom(const QWidget* control) {
    return control == nullptr ||
           (control->isHidden() && control->testAttribute(Qt::WA_WState_ExplicitShowHide));
}

} // namespace

SkinFrame::SkinFrame(QWidget* window)
    : QObject(window), m_Window(window), m_WorkArea(std::make_unique<platform::ScreenWorkArea>()) {
    window->installEventFilter(this);
}

SkinFrame::~SkinFrame() = default;

SkinFrame* SkinFrame::Find(const QWidget* window) {
    if (window == nullptr) {
        return nullptr;
    }
    for (QObject* child : window->children()) {
        if (auto* frame = dynamic_cast<SkinFrame*>(child); frame != nullptr) {
            return frame;
        }
    }
    return nullptr;
}

SkinFrame* SkinFrame::For(QWidget* window) {
    if (window == nullptr) {
        return nullptr;
    }
    SkinFrame* frame = Find(window);
    return frame != nullptr ? frame : new SkinFrame(window);
}

SkinFrame* SkinFrame::Install(QWidget* window, std::int32_t captionStyle) {
    // Screen readers see the window as a frame and the caption's buttons.
    InstallFrameAccessibility();
    SkinFrame* frame = For(window);
    auto* caption = new Skin_Caption(window);
    caption->setObjectName(QStringLiteral("Skin_Caption1"));
    caption->hide();
    {
        PropertyBag saved;
        saved.SetValue(QStringLiteral("Style"), captionStyle);
        saved.SetValue(QStringLiteral("Font"), StdFont{QStringLiteral("Tahoma"), 8.25});
        saved.SetValue(QStringLiteral("BackColor"), Colour::FromRgb(90, 126, 220));
        caption->UserControl_ReadProperties(saved);
    }
    frame->setCaption(caption);
    const auto border = [window](const char* name, std::int32_t type) {
        auto* control = new Skin_Border(window);
        control->setObjectName(QString::fromLatin1(name));
        control->hide();
        PropertyBag saved;
        saved.SetValue(QStringLiteral("BORDERTYPE"), type);
        control->UserControl_ReadProperties(saved);
        control->setBORDERTYPE(type); // docks it at its edge
        return control;
    };
    border("Skin_Border1", 1);
    border("Skin_Border2", 2);
    border("Skin_Border3", 3);
    frame->m_BodyMoves = true;
    frame->m_BodyDoubleClick = BodyDoubleClick::Close;
    frame->m_CentreOnShow = true;
    return frame;
}

Skin_Caption* SkinFrame::caption() const {
    return static_cast<Skin_Caption*>(m_Caption.data());
}

Skin_Border* SkinFrame::border(FrameEdge edge) const {
    for (const Docked& docked : m_Borders) {
        if (docked.edge == edge && docked.border != nullptr) {
            return static_cast<Skin_Border*>(docked.border.data());
        }
    }
    return nullptr;
}

bool SkinFrame::ApplySkin(const QString& path) {
    Skin_Border* left = border(FrameEdge::Left);
    Skin_Border* right = border(FrameEdge::Right);
    Skin_Border* bottom = border(FrameEdge::Bottom);
    Skin_Caption* top = caption();
    if (top == nullptr || left == nullptr || right == nullptr || bottom == nullptr ||
        !IsSkinUsable(path)) {
        return false;
    }
    top->setPath(path);
    left->setPath(path);
    right->setPath(path);
    bottom->setPath(path);
    top->REDRAW();
    top->setVisible(true);
    left->setVisible(true);
    right->setVisible(true);
    bottom->setVisible(true);
    return true;
}

// ----------------------------------------------------------------- docking

void SkinFrame::setCaption(Skin_Caption* caption) {
    if (caption == nullptr || caption->parentWidget() != m_Window) {
        return;
    }
    m_Caption = caption;
    caption->installEventFilter(this);
    relayout();
}

void SkinFrame::setBorder(Skin_Border* border, FrameEdge edge) {
    if (border == nullptr || border->parentWidget() != m_Window) {
        return;
    }
    std::erase_if(m_Borders,
                  [border](const Docked& d) { return d.border == nullptr || d.border == border; });
    m_Borders.push_back({border, edge});
    border->installEventFilter(this);
    relayout();
}

bool SkinFrame::docks(const QWidget* control) const {
    if (control == nullptr) {
        return false;
    }
    if (control == m_Caption) {
        return true;
    }
    return std::any_of(m_Borders.begin(), m_Borders.end(),
                       [control](const Docked& d) { return d.border == control; });
}

QRect SkinFrame::clientArea() const {
    QRect area = m_Window->rect();
    if (const QWidget* top = m_Caption.data(); !TakesNoRoom(top)) {
        area.setTop(area.top() + std::max(0, top->height()));
    }
    if (Skin_Border* b = border(FrameEdge::Bottom); !TakesNoRoom(b)) {
        area.setBottom(area.bottom() - std::max(0, b->height()));
    }
    if (Skin_Border* b = border(FrameEdge::Left); !TakesNoRoom(b)) {
        area.setLeft(area.left() + std::max(0, b->width()));
    }
    if (Skin_Border* b = border(FrameEdge::Right); !TakesNoRoom(b)) {
        area.setRight(area.right() - std::max(0, b->width()));
    }
    return area;
}

void SkinFrame::relayout() {
    if (m_Laying) {
        return;
    }
    m_Laying = true;
    const QRect whole = m_Window->rect();
    const QRect inner = clientArea();
    const int width = std::max(0, whole.width());
    const int between = std::max(0, inner.height());
    if (QWidget* top = m_Caption.data(); !TakesNoRoom(top)) {
        top->setGeometry(0, 0, width, std::max(0, top->height()));
    }
    if (Skin_Border* b = border(FrameEdge::Bottom); !TakesNoRoom(b)) {
        const int h = std::max(0, b->height());
        b->setGeometry(0, whole.bottom() + 1 - h, width, h);
    }
    if (Skin_Border* b = border(FrameEdge::Left); !TakesNoRoom(b)) {
        b->setGeometry(0, inner.top(), std::max(0, b->width()), between);
    }
    if (Skin_Border* b = border(FrameEdge::Right); !TakesNoRoom(b)) {
        const int w = std::max(0, b->width());
        b->setGeometry(whole.right() + 1 - w, inner.top(), w, between);
    }
    m_Laying = false;
}

void SkinFrame::addBody(QWidget* surface) {
    if (surface == nullptr) {
        return;
    }
    m_Bodies.emplace_back(surface);
    surface->installEventFilter(this);
}

bool SkinFrame::IsBody(const QObject* watched) const {
    if (watched == m_Window) {
        return true;
    }
    return std::any_of(m_Bodies.begin(), m_Bodies.end(),
                       [watched](const QPointer<QWidget>& body) { return body == watched; });
}

// ------------------------------------------------------ moving and sizing

void SkinFrame::Move(QWidget* source, QPoint globalPress) {
    if (m_Placement == FramePlacement::WorkArea) {
        return; // a maximised window is not moved
    }
    platform::BeginSystemMove(source != nullptr ? source : m_Window, globalPress);
}

void SkinFrame::Resize(QWidget* source, Qt::Edges edges, QPoint globalPress) {
    platform::BeginSystemResize(source != nullptr ? source : m_Window, edges, globalPress);
}

void SkinFrame::setWorkAreaSource(std::unique_ptr<platform::WorkAreaSource> source) {
    if (source) {
        m_WorkArea = std::move(source);
    }
}

bool SkinFrame::MaximizeToWorkArea(PlaceOrder order) {
    const std::optional<platform::WorkArea> area = m_WorkArea->Query(m_Window);
    if (!area) {
        return false;
    }
    m_RestoreBounds = m_Window->geometry();
    if (!platform::ClientPlacesWindows()) {
        // Only the compositor places the window: its maximise stands for
        // the work area.
        m_Window->setWindowState((m_Window->windowState() & ~Qt::WindowMinimized) |
                                 Qt::WindowMaximized);
        return true;
    }
    const platform::WorkArea& rect = *area;
    const auto place = [this, &rect] {
        // The first rule that holds places the window.
        if (rect.bottom > 0 && rect.left == 0 && rect.top == 0) {
            m_Window->move(0, 0);
        } else if (rect.left > 0 && rect.top == 0) {
            m_Window->move(rect.left, 0);
        } else if (rect.top > 0 && rect.left == 0) {
            m_Window->move(0, rect.top);
        } else if (rect.right > 0 && rect.top == 0) {
            m_Window->move(0, 0);
        }
    };
    const auto size = [this, &rect] {
        m_Window->resize(rect.right - rect.left, rect.bottom - rect.top);
    };
    if (order == PlaceOrder::PlaceThenSize) {
        place();
        size();
    } else {
        size();
        place();
    }
    return true;
}

void SkinFrame::RestoreFromWorkArea() {
    if (!platform::ClientPlacesWindows() && m_Window->isMaximized()) {
        m_Window->setWindowState(m_Window->windowState() & ~Qt::WindowMaximized);
        return;
    }
    // Without remembered bounds (no maximise ever succeeded) there is nothing
    // to restore to: the window keeps its bounds rather than shrinking to
    // nothing.
    if (!m_RestoreBounds || m_RestoreBounds->isEmpty()) {
        return;
    }
    const QRect bounds = *m_RestoreBounds;
    m_Window->resize(bounds.size());
    m_Window->move(bounds.topLeft());
}

bool SkinFrame::TakeOverSystemMaximise() {
    if (!platform::ClientPlacesWindows() || !m_Window->isMaximized()) {
        return false;
    }
    // The window comes back at its normal bounds at once, so that the bounds
    // remembered next are those and not the maximised ones.
    const QRect normal = m_Window->normalGeometry();
    m_Window->setWindowState(m_Window->windowState() &
                             ~(Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
    if (normal.isValid() && !normal.isEmpty()) {
        m_Window->setGeometry(normal);
    }
    m_Placement = FramePlacement::WorkArea;
    MaximizeToWorkArea(PlaceOrder::PlaceThenSize);
    return true;
}

void SkinFrame::Centre() {
    const QScreen* shownOn =
        m_Window->screen() != nullptr ? m_Window->screen() : QGuiApplication::primaryScreen();
    if (shownOn == nullptr || !platform::ClientPlacesWindows()) {
        return; // the compositor places a new window itself
    }
    QRect frame = m_Window->frameGeometry();
    frame.moveCenter(shownOn->availableGeometry().center());
    m_Window->move(frame.topLeft());
}

void SkinFrame::SyncWindowPosition() {
    // A window moved while it is being shown (centred on its first show)
    // stands where it was moved to, but the window system's later word on the
    // mapped window can leave Qt's own record of its position at the corner
    // of the screen: everything that maps a point of the window to the screen
    // (a screen reader's positions, popups) is then wrong. Once the window is
    // active, the record is set right again.
    // Only a window in its normal state, once: a maximised (or minimised)
    // window's place is the window manager's, and a move sent while a
    // maximise is under way would undo it.
    QWindow* handle = m_Window->windowHandle();
    if (handle == nullptr || !platform::ClientPlacesWindows() || m_PositionSynced ||
        m_Window->windowState() != Qt::WindowNoState) {
        return;
    }
    m_PositionSynced = true;
    const QPoint at = m_Window->geometry().topLeft();
    if (handle->position() != at) {
        handle->setPosition(at);
    }
}

// ------------------------------------------------------------------ events

bool SkinFrame::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == m_Window) {
        switch (type) {
        case QEvent::Show:
            if (m_CentreOnShow && !m_Centred) {
                m_Centred = true;
                Centre();
            }
            break;
        case QEvent::Resize:
            relayout();
            break;
        case QEvent::WindowActivate:
            SyncWindowPosition();
            break;
        default:
            break;
        }
    } else if (type == QEvent::Resize || type == QEvent::ShowToParent ||
               type == QEvent::HideToParent) {
        if (docks(qobject_cast<QWidget*>(watched))) {
            relayout();
        }
        return false;
    }
    if (!IsBody(watched) || !m_BodyMoves) {
        return false;
    }

    switch (type) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            // The window follows the pointer from this press until the
            // release; the second click of a double click still arrives.
            Move(qobject_cast<QWidget*>(watched), mouse->globalPosition().toPoint());
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
        return true;
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            m_BodyDoubleClick == BodyDoubleClick::Close) {
            m_Window->close();
        }
        return true;
    default:
        return false;
    }
}

QString SkinFileFor(const std::filesystem::path& programFolder) {
    return QFile::decodeName(QByteArray::fromStdString(programFolder.native())) +
           QStringLiteral("/Skins/Skin") + QStringLiteral("20.dll");
}

} // namespace varnel
