#include "platform/docking_host.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>

namespace varnel::platform {

namespace {

// A child hidden on purpose takes no room. One that is merely not shown yet
// (its owner has not been shown) does: it appears with the owner.
bool TakesNoRoom(const QWidget* child) {
    return child == nullptr ||
           (child->isHidden() && child->testAttribute(Qt::WA_WState_ExplicitShowHide));
}

} // namespace

DockingHost* DockingHost::Find(const QWidget* owner) {
    if (owner == nullptr) {
        return nullptr;
    }
    for (QObject* child : owner->children()) {
        if (auto* host = dynamic_cast<DockingHost*>(child); host != nullptr) {
            return host;
        }
    }
    return nullptr;
}

DockingHost* DockingHost::For(QWidget* owner) {
    if (owner == nullptr) {
        return nullptr;
    }
    DockingHost* host = Find(owner);
    return host != nullptr ? host : new DockingHost(owner);
}

DockingHost::DockingHost(QWidget* owner) : QObject(owner), m_Owner(owner) {
    m_Owner->installEventFilter(this);
}

void DockingHost::setAlign(QWidget* child, Align align) {
    if (child == nullptr || child->parentWidget() != m_Owner) {
        return;
    }
    auto it = std::find_if(m_Entries.begin(), m_Entries.end(),
                           [child](const Entry& e) { return e.child == child; });
    if (it != m_Entries.end()) {
        m_Entries.erase(it);
    } else if (align != Align::None) {
        child->installEventFilter(this);
    }
    if (align == Align::None) {
        child->removeEventFilter(this);
        return;
    }
    m_Entries.push_back(Entry{child, align});
    relayout();
}

Align DockingHost::align(const QWidget* child) const {
    for (const Entry& e : m_Entries) {
        if (e.child == child) {
            return e.align;
        }
    }
    return Align::None;
}

QRect DockingHost::Arrange(bool place) const {
    QRect area = m_Owner->rect();
    auto dock = [&area, place](const Entry& e) {
        QWidget* child = e.child.data();
        if (TakesNoRoom(child)) {
            return;
        }
        const int spanWidth = std::max(0, area.width());
        const int spanHeight = std::max(0, area.height());
        const int h = std::max(0, child->height());
        const int w = std::max(0, child->width());
        switch (e.align) {
        case Align::Top:
            if (place) {
                child->setGeometry(area.left(), area.top(), spanWidth, h);
            }
            area.setTop(area.top() + h);
            break;
        case Align::Bottom:
            if (place) {
                child->setGeometry(area.left(), area.bottom() + 1 - h, spanWidth, h);
            }
            area.setBottom(area.bottom() - h);
            break;
        case Align::Left:
            if (place) {
                child->setGeometry(area.left(), area.top(), w, spanHeight);
            }
            area.setLeft(area.left() + w);
            break;
        case Align::Right:
            if (place) {
                child->setGeometry(area.right() + 1 - w, area.top(), w, spanHeight);
            }
            area.setRight(area.right() - w);
            break;
        case Align::None:
            break;
        }
    };
    for (const Entry& e : m_Entries) {
        if (e.align == Align::Top || e.align == Align::Bottom) {
            dock(e);
        }
    }
    for (const Entry& e : m_Entries) {
        if (e.align == Align::Left || e.align == Align::Right) {
            dock(e);
        }
    }
    return area;
}

QRect DockingHost::clientArea() const {
    return Arrange(false);
}

void DockingHost::relayout() {
    if (m_Laying) {
        return;
    }
    m_Laying = true;
    // Forget children that are gone or were moved to another owner.
    std::erase_if(m_Entries, [this](const Entry& e) {
        const QWidget* child = e.child.data();
        return child == nullptr || child->parentWidget() != m_Owner;
    });
    Arrange(true);
    m_Laying = false;
}

bool DockingHost::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
        if (watched == m_Owner || align(dynamic_cast<QWidget*>(watched)) != Align::None) {
            relayout();
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace varnel::platform
