#pragma once

// SkinFrame: the skinned frame of one window. It owns the caption along the
// window's top and the three borders along its left, right and bottom edges,
// lays them out as the window's size changes, and runs one event filter for
// what the frame does with the window as a whole:
//
//   - a press on the window's body (its background, and any surface added
//     with addBody) moves the window; a double click there does what
//     setBodyDoubleClick says;
//   - the window is centred on its screen's work area when first shown;
//   - the caption and the borders ask it to move, size, maximise to the
//     desktop work area and restore.
//
// Moving and sizing go through the platform's window services: on a
// platform where a client may place its own window (X11) the window follows
// the pointer's travel exactly and maximising covers the work area with the
// window state left normal; where only the compositor places windows
// (Wayland) a drag hands the move to the compositor once the pointer has
// passed the drag threshold, and maximise and restore are window states.
//
// A window installs it in one line:
//     m_Frame = SkinFrame::Install(this, 3);   // caption Style 3
// and hands it the skin file at load with ApplySkin.

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace varnel {

namespace platform {
class WorkAreaSource;
} // namespace platform

class Skin_Border;
class Skin_Caption;

// Where the frame has put its window.
enum class FramePlacement {
    Normal,   // the window's own bounds
    WorkArea, // maximised by the frame (to the work area, or by the compositor)
};

// The order of the two steps of a maximise to the work area.
enum class PlaceOrder { PlaceThenSize, SizeThenPlace };

// What a double click on the window's body does.
enum class BodyDoubleClick { Nothing, Close };

// The edges a border sits on.
enum class FrameEdge { Left, Right, Bottom };

class SkinFrame : public QObject {
public:
    // Makes the frame of window with its four controls, hidden until a skin
    // is applied, each loaded with the properties a window keeps for it: the
    // caption its Style, Tahoma 8.25 pt and the back colour RGB(90, 126,
    // 220), the borders their BORDERTYPE. The body moves the window and a
    // double click on it closes the window.
    static SkinFrame* Install(QWidget* window, std::int32_t captionStyle);

    // The frame of window, made (without controls) on first use; it is a
    // child object of the window and lives as long as it.
    static SkinFrame* For(QWidget* window);
    // The frame of window if it has one, else nullptr.
    static SkinFrame* Find(const QWidget* window);

    Skin_Caption* caption() const;
    Skin_Border* border(FrameEdge edge) const;

    // When the skin file at path is usable, every control gets the path (the
    // caption first), the caption repaints once, and then all four are shown:
    // no control is visible before every one has its skin. Returns whether the
    // skin was taken; otherwise the controls are left as they are.
    bool ApplySkin(const QString& path);

    // Docking: the caption spans the top, the bottom border the bottom, the
    // left and right borders the height between them, each at its own
    // thickness. A hidden control takes no room.
    void setCaption(Skin_Caption* caption);
    void setBorder(Skin_Border* border, FrameEdge edge);
    bool docks(const QWidget* control) const;
    QRect clientArea() const;
    void relayout();

    // The body: presses on the window's own background and on these
    // surfaces move the window.
    void addBody(QWidget* surface);
    void setBodyDoubleClick(BodyDoubleClick action) { m_BodyDoubleClick = action; }
    void setBodyMoves(bool moves) { m_BodyMoves = moves; }
    // Centres the window on its screen's work area when it is first shown
    // (on for a frame made by Install).
    void setCentreOnFirstShow(bool centre) { m_CentreOnShow = centre; }

    // Moving and sizing, from a press at globalPress on source (which keeps
    // the mouse until the release).
    void Move(QWidget* source, QPoint globalPress);
    void Resize(QWidget* source, Qt::Edges edges, QPoint globalPress);

    // Maximising to the work area: remembers the window's bounds and covers
    // the work area. False, with nothing changed, when the work area cannot
    // be had.
    bool MaximizeToWorkArea(PlaceOrder order);
    // Gives the window back the bounds remembered by the last maximise; with
    // none remembered (the maximise failed) the window stays as it is.
    void RestoreFromWorkArea();
    FramePlacement placement() const { return m_Placement; }
    void setPlacement(FramePlacement placement) { m_Placement = placement; }
    // Takes over a maximise made by the window system: the window comes back
    // to its normal state and covers the work area instead. Nothing where
    // the compositor places windows (its maximise is the frame's).
    bool TakeOverSystemMaximise();
    // Where the desktop work area comes from (the screen by default).
    void setWorkAreaSource(std::unique_ptr<platform::WorkAreaSource> source);
    const platform::WorkAreaSource& workArea() const { return *m_WorkArea; }

    QWidget* window() const { return m_Window; }

    ~SkinFrame() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit SkinFrame(QWidget* window);

    bool IsBody(const QObject* watched) const;
    void Centre();
    void SyncWindowPosition();

    QWidget* m_Window;
    QPointer<QWidget> m_Caption; // a Skin_Caption
    struct Docked {
        QPointer<QWidget> border; // a Skin_Border
        FrameEdge edge;
    };
    std::vector<Docked> m_Borders;
    std::vector<QPointer<QWidget>> m_Bodies;
    BodyDoubleClick m_BodyDoubleClick = BodyDoubleClick::Nothing;
    bool m_BodyMoves = false;
    bool m_CentreOnShow = false;
    bool m_Centred = false;
    bool m_PositionSynced = false; // SyncWindowPosition has set the record right
    bool m_Laying = false;

    FramePlacement m_Placement = FramePlacement::Normal;
    std::optional<QRect> m_RestoreBounds; // the window's bounds before the maximise
    std::unique_ptr<platform::WorkAreaSource> m_WorkArea;
};

// The skin file of a program: its folder followed by "/Skins/Skin20.dll".
QString SkinFileFor(const std::filesystem::path& programFolder);

} // namespace varnel
