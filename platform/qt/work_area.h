#pragma once

// The desktop work area: the part of the screen that ordinary windows may
// cover, without task bars, panels and docks (what SystemParametersInfo with
// SPI_GETWORKAREA answers). Callers hold a WorkAreaSource so that tests can
// make the query fail or answer a rectangle of their choosing.

#include <optional>

class QWidget;

namespace varnel::platform {

// A rectangle in pixels of the virtual desktop; right and bottom are
// exclusive (right - left is the width).
struct WorkArea {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    friend constexpr bool operator==(const WorkArea&, const WorkArea&) = default;
};

class WorkAreaSource {
public:
    WorkAreaSource() = default;
    virtual ~WorkAreaSource();
    WorkAreaSource(const WorkAreaSource&) = delete;
    WorkAreaSource& operator=(const WorkAreaSource&) = delete;

    // The work area for the window of widget; nothing when it cannot be had.
    virtual std::optional<WorkArea> Query(const QWidget* widget) const = 0;
};

// The available geometry of the screen that shows widget (the primary screen
// when widget is null or not yet on a screen). Nothing when there is no
// screen or its available geometry is empty.
class ScreenWorkArea final : public WorkAreaSource {
public:
    std::optional<WorkArea> Query(const QWidget* widget) const override;
};

// A fixed answer: the given rectangle, or a failing query when empty.
class FixedWorkArea final : public WorkAreaSource {
public:
    explicit FixedWorkArea(std::optional<WorkArea> answer) : answer_(answer) {}
    std::optional<WorkArea> Query(const QWidget* /*widget*/) const override { return answer_; }

private:
    std::optional<WorkArea> answer_;
};

} // namespace varnel::platform
