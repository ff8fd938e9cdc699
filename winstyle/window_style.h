#pragma once

// The window-style service: the style and extended-style words of a window
// and its system menu, as a window system with style bits keeps them, over a
// Qt window.
//
// The words are kept per top-level window, starting from what the window's
// Qt flags show. Writing a word only stores it; FrameChanged applies the
// words to the real window as Qt window flags and size hints (the frame is
// recomputed only then, as after a frame-changed position call). The
// topmost bit of the extended style is not stored: it answers from the
// window's real stays-on-top state, and only SetTopMost changes it.
//
// The system menu (winstyle/system_menu.h) is kept with the words, one per
// window.
//
// Every function takes the window as a widget (any widget stands for its
// top-level window); a null widget is "no window": reads give 0, writes do
// nothing.

#include "winstyle/system_menu.h"

#include <cstdint>
#include <memory>

class QWidget;

namespace varnel::platform {

// Style bits.
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000;
inline constexpr std::uint32_t WS_DLGFRAME = 0x00400000;
inline constexpr std::uint32_t WS_BORDER = 0x00800000;
inline constexpr std::uint32_t WS_CAPTION = WS_BORDER | WS_DLGFRAME; // the title bar

// Extended style bits.
inline constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008;
inline constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr std::uint32_t WS_EX_CONTEXTHELP = 0x00000400;
inline constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;

enum class WindowLong { Style, ExStyle };

std::uint32_t GetWindowLong(const QWidget* window, WindowLong which);
void SetWindowLong(QWidget* window, WindowLong which, std::uint32_t value);

// Applies the style words to the real window: title bar, system-menu box and
// close button, minimise / maximise buttons, sizing (a window without the
// thick frame keeps its size), tool-window type, context-help hint and
// task-bar presence. Keeps the window's place, size, state and visibility.
void FrameChanged(QWidget* window);

// Puts the window into the topmost band or takes it out.
void SetTopMost(QWidget* window, bool topMost);

// Hide; Show in the window's present state (maximised stays maximised);
// ShowNormal, restoring a minimised or maximised window.
enum class ShowCommand { Hide, Show, ShowNormal };
void ShowWindow(QWidget* window, ShowCommand command);
bool IsWindowVisible(const QWidget* window);

// Suspends drawing of a window for the lifetime of the lock.
class WindowUpdateLock {
public:
    explicit WindowUpdateLock(QWidget* window);
    ~WindowUpdateLock();
    WindowUpdateLock(const WindowUpdateLock&) = delete;
    WindowUpdateLock& operator=(const WindowUpdateLock&) = delete;

private:
    QWidget* m_Window;
    bool m_WasEnabled;
};

namespace detail {

// The window's system menu as the window-style service keeps it (empty until
// made; system_menu.cpp makes it), and whether its words have been applied
// (FrameChanged) yet. Both for a top-level window.
std::unique_ptr<SystemMenu>& SystemMenuOf(QWidget* top);
bool StyleApplied(const QWidget* top);

} // namespace detail

} // namespace varnel::platform
