#pragma once

// Docking of child widgets to the edges of their owner, as the Align property
// of a control does: each docked child keeps its thickness (height for top
// and bottom, width for left and right) and is stretched along its edge.
// Strips docked to the top or bottom are placed first, in the order they
// were docked, each spanning the full width of what is left; then strips
// docked to the left or right, in their order, each spanning the height
// between the top and bottom strips. A window docking its caption to the top
// and borders to the left, right and bottom gets:
//
//     top     full width at the top
//     left    between the top and the bottom strips, at the left
//     right   between the top and the bottom strips, at the right
//     bottom  full width at the bottom
//
// The layout is redone when the owner is resized, when a docked child changes
// its thickness, and when one is shown or hidden; hidden children take no
// room (a child not yet shown because its owner is not does take room).

#include <QObject>
#include <QPointer>
#include <QRect>

#include <vector>

class QWidget;

namespace varnel::platform {

// The container's alignment values.
enum class Align { None = 0, Top = 1, Bottom = 2, Left = 3, Right = 4 };

class DockingHost : public QObject {
public:
    // The host of owner, made on first use; it is a child object of owner
    // and lives as long as it.
    static DockingHost* For(QWidget* owner);
    // The host of owner if it has one, else nullptr.
    static DockingHost* Find(const QWidget* owner);

    // Docks child (a child widget of the owner) to an edge; Align::None
    // undocks it and leaves it where it is. Docking a child again moves it to
    // the end of the order.
    void setAlign(QWidget* child, Align align);
    Align align(const QWidget* child) const;

    // What the docked children leave of the owner's rectangle.
    QRect clientArea() const;

    // Lays the docked children out now.
    void relayout();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit DockingHost(QWidget* owner);

    struct Entry {
        QPointer<QWidget> child;
        Align align;
    };

    // Walks the docked children as the layout does (top and bottom first,
    // then left and right between them) and returns the rectangle they
    // leave; with place set, also moves each child to its strip.
    QRect Arrange(bool place) const;

    QWidget* m_Owner;
    std::vector<Entry> m_Entries;
    bool m_Laying = false;
};

} // namespace varnel::platform
