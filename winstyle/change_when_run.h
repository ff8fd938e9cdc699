#pragma once

// ChangeWhenRun: changes the frame of a top-level window while the program
// runs: title bar, system-menu box, minimise and maximise buttons, sizing
// border, task-bar button, tool-window look, topmost placement and the
// context-help button; enables, grays or removes items of the window's
// system menu. Given a form through Client, it can also let the user drag the
// window by its client area (AutoDrag) and open the system menu with a right
// click there (AutoSysMenu).
//
// Every operation is a thin sequence of window-style service calls on the
// client window; the class keeps almost no state of its own. Until Client is
// given a form there is no window: reads give false, writes change nothing.

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <cstdint>

class QMainWindow;
class QWidget;

namespace varnel {

class ChangeWhenRun : public QObject {
public:
    ChangeWhenRun() = default;
    ~ChangeWhenRun() override = default;
    ChangeWhenRun(const ChangeWhenRun&) = delete;
    ChangeWhenRun& operator=(const ChangeWhenRun&) = delete;

    // A left-button press on the client drags the window.
    bool AutoDrag() const { return m_AutoDrag; }
    void setAutoDrag(bool value) { m_AutoDrag = value; }

    // A right-button release on the client opens the system menu.
    bool AutoSysMenu() const { return m_AutoSysMenu; }
    void setAutoSysMenu(bool value) { m_AutoSysMenu = value; }

    // Attaches the class to a form: a top-level widget, or an MDI parent
    // form (a main window whose central widget is an MDI area, whose empty
    // area then gives the mouse events). Anything else leaves no window but
    // keeps the form attached before.
    QObject* Client() const;
    void setClient(QObject* obj);

    // Style bit WS_SYSMENU: the system-menu box and the close button.
    bool ControlBox() const;
    void setControlBox(bool value);

    // Style bit WS_MAXIMIZEBOX and the Maximize item.
    bool MaxButton() const;
    void setMaxButton(bool value);

    // Style bit WS_MINIMIZEBOX and the Minimize item.
    bool MinButton() const;
    void setMinButton(bool value);

    // The Move item; reads true when the item is enabled or not there.
    bool Moveable() const;
    void setMoveable(bool value);

    // The Size item and style bit WS_THICKFRAME.
    bool Sizeable() const;
    void setSizeable(bool value);

    // Extended style bit WS_EX_APPWINDOW: a task-bar button.
    bool ShowInTaskbar() const;
    void setShowInTaskbar(bool value);

    // Style bits WS_CAPTION; reads true while either of them is set.
    bool Titlebar() const;
    void setTitlebar(bool value);

    // Extended style bit WS_EX_TOOLWINDOW.
    bool ToolWindow() const;
    void setToolWindow(bool value);

    // Topmost placement; reads the extended style bit WS_EX_TOPMOST.
    bool TopMost() const;
    void setTopMost(bool value);

    // Extended style bit WS_EX_CONTEXTHELP.
    bool WhatsThisButton() const;
    void setWhatsThisButton(bool value);

    // The client window; null while there is none.
    QWidget* hWnd() const { return m_hWnd; }

    // Enables or grays a system-menu item, found under its identifier or
    // under the identifier with bit 15 cleared that a grayed item carries.
    void EnableMenuItem(std::uint32_t menuItem, bool enabled);

    // Makes the system recompute and repaint the frame after a style change.
    void REDRAW();

    // Removes a system-menu item; removing Close also removes the separator
    // above it. Removing Minimize or Maximize also clears its button.
    void RemoveMenuItem(std::uint32_t menuItem);

    // Opens the system menu at a screen point.
    void ShowSysMenu(int x, int y);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void m_Client_MouseDown(Qt::MouseButton Button, QPoint screen);
    void m_Client_MouseUp(Qt::MouseButton Button, QPoint screen);
    void m_MdiClient_MouseDown(Qt::MouseButton Button, QPoint screen);
    void m_MdiClient_MouseUp(Qt::MouseButton Button, QPoint screen);

    void SetStyleBits(std::uint32_t bits, bool on);
    void SetExStyleBits(std::uint32_t bits, bool on);
    bool StyleBit(std::uint32_t bits) const;
    bool ExStyleBit(std::uint32_t bits) const;
    int FindSysMenuItem(std::uint32_t id) const;

    // The object whose mouse events stand for the client's.
    QObject* EventSource() const;
    void Watch(QObject* source);

    QPointer<QWidget> m_hWnd;
    bool m_AutoSysMenu = false;
    bool m_AutoDrag = false;
    QPointer<QWidget> m_Client;
    QPointer<QMainWindow> m_MdiClient;
    QPointer<QObject> m_Watched;
};

} // namespace varnel
