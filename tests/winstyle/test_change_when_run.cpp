// ChangeWhenRun on the offscreen platform: the style words its properties
// read and write, the system menu it grays and prunes, the Qt flags the
// words become, the client's mouse events and the popped-up system menu.
#include "i18n/language.h"
#include "winstyle/change_when_run.h"
#include "winstyle/window_style.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace varnel;
using namespace varnel::platform;

namespace {

// A shown form with a controller attached to it.
struct Attached {
    Attached() {
        form = std::make_unique<QWidget>();
        form->setGeometry(200, 150, 320, 240);
        form->show();
        controller.setClient(form.get());
    }
    ~Attached() {
        if (QWidget* popup = QApplication::activePopupWidget(); popup != nullptr) {
            popup->close();
        }
    }
    std::uint32_t Style() const { return GetWindowLong(form.get(), WindowLong::Style); }
    std::uint32_t ExStyle() const { return GetWindowLong(form.get(), WindowLong::ExStyle); }
    std::vector<std::uint32_t> MenuIds() {
        std::vector<std::uint32_t> ids;
        const SystemMenu* menu = GetSystemMenu(form.get());
        for (int position = 0; position < GetMenuItemCount(menu); ++position) {
            ids.push_back(GetMenuItemID(menu, position));
        }
        return ids;
    }
    std::uint32_t MenuState(int position) {
        return GetMenuItemInfo(GetSystemMenu(form.get()), position).value().state;
    }

    std::unique_ptr<QWidget> form;
    ChangeWhenRun controller;
};

QMenu* OpenMenu() {
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

QAction* MenuAction(QMenu* menu, std::uint32_t command) {
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() && action->data().toUInt() == command) {
            return action;
        }
    }
    return nullptr;
}

using Reader = std::function<bool(const ChangeWhenRun&)>;
using Writer = std::function<void(ChangeWhenRun&, bool)>;

struct StyleProperty {
    const char* name;
    Reader read;
    Writer write;
    WindowLong word;
    std::uint32_t bits;
    // What the real window shows while the property is on; null when
    // offscreen cannot show it.
    std::function<bool(const QWidget&)> shown;
};

bool FlagShown(const QWidget& window, Qt::WindowType flag) {
    return window.windowFlags().testFlag(flag);
}

std::vector<StyleProperty> StyleProperties() {
    return {
        {"ControlBox", &ChangeWhenRun::ControlBox, &ChangeWhenRun::setControlBox, WindowLong::Style,
         0x80000, [](const QWidget& w) { return FlagShown(w, Qt::WindowSystemMenuHint); }},
        {"MaxButton", &ChangeWhenRun::MaxButton, &ChangeWhenRun::setMaxButton, WindowLong::Style,
         0x10000, [](const QWidget& w) { return FlagShown(w, Qt::WindowMaximizeButtonHint); }},
        {"MinButton", &ChangeWhenRun::MinButton, &ChangeWhenRun::setMinButton, WindowLong::Style,
         0x20000, [](const QWidget& w) { return FlagShown(w, Qt::WindowMinimizeButtonHint); }},
        {"Sizeable", &ChangeWhenRun::Sizeable, &ChangeWhenRun::setSizeable, WindowLong::Style,
         0x40000, [](const QWidget& w) { return w.minimumSize() != w.maximumSize(); }},
        {"Titlebar", &ChangeWhenRun::Titlebar, &ChangeWhenRun::setTitlebar, WindowLong::Style,
         0xC00000, [](const QWidget& w) { return FlagShown(w, Qt::WindowTitleHint); }},
        {"ShowInTaskbar", &ChangeWhenRun::ShowInTaskbar, &ChangeWhenRun::setShowInTaskbar,
         WindowLong::ExStyle, 0x40000, nullptr}, // seen only by a task bar (X test)
        {"ToolWindow", &ChangeWhenRun::ToolWindow, &ChangeWhenRun::setToolWindow,
         WindowLong::ExStyle, 0x80, [](const QWidget& w) { return w.windowType() == Qt::Tool; }},
        {"WhatsThisButton", &ChangeWhenRun::WhatsThisButton, &ChangeWhenRun::setWhatsThisButton,
         WindowLong::ExStyle, 0x400,
         [](const QWidget& w) { return FlagShown(w, Qt::WindowContextHelpButtonHint); }},
        {"TopMost", &ChangeWhenRun::TopMost, &ChangeWhenRun::setTopMost, WindowLong::ExStyle, 0x8,
         [](const QWidget& w) { return FlagShown(w, Qt::WindowStaysOnTopHint); }},
    };
}

} // namespace

TEST(ChangeWhenRun, EachPropertyFlipsOnlyItsOwnBitsAndTheRealWindow) {
    for (const StyleProperty& property : StyleProperties()) {
        SCOPED_TRACE(property.name);
        Attached a;
        const QRect geometry = a.form->geometry();
        for (const bool value : {true, false, true}) {
            const std::uint32_t styleBefore = a.Style();
            const std::uint32_t exBefore = a.ExStyle();
            property.write(a.controller, value);
            EXPECT_EQ(property.read(a.controller), value);
            const std::uint32_t word = property.word == WindowLong::Style ? a.Style() : a.ExStyle();
            EXPECT_EQ(word & property.bits, value ? property.bits : 0u);
            // No other bit of either word moves.
            const std::uint32_t ownStyle = property.word == WindowLong::Style ? property.bits : 0;
            const std::uint32_t ownEx = property.word == WindowLong::ExStyle ? property.bits : 0;
            EXPECT_EQ(a.Style() & ~ownStyle, styleBefore & ~ownStyle);
            EXPECT_EQ(a.ExStyle() & ~ownEx, exBefore & ~ownEx);
            if (property.shown) {
                EXPECT_EQ(property.shown(*a.form), value);
            }
            EXPECT_TRUE(a.form->isVisible());
            EXPECT_EQ(a.form->geometry(), geometry);
        }
    }
}

TEST(ChangeWhenRun, ButtonsGrayAndRestoreTheirMenuItems) {
    struct Case {
        const char* name;
        Writer write;
        Reader read;
        std::uint32_t command;
        int position;
    };
    const std::vector<Case> cases = {
        {"MaxButton", &ChangeWhenRun::setMaxButton, &ChangeWhenRun::MaxButton, SC_MAXIMIZE, 4},
        {"MinButton", &ChangeWhenRun::setMinButton, &ChangeWhenRun::MinButton, SC_MINIMIZE, 3},
        {"Sizeable", &ChangeWhenRun::setSizeable, &ChangeWhenRun::Sizeable, SC_SIZE, 2},
        {"Moveable", &ChangeWhenRun::setMoveable, &ChangeWhenRun::Moveable, SC_MOVE, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Attached a;
        c.write(a.controller, false);
        EXPECT_FALSE(c.read(a.controller));
        EXPECT_EQ(a.MenuIds().at(static_cast<std::size_t>(c.position)), c.command & 0x7FFF);
        EXPECT_NE(a.MenuState(c.position), 0u);
        // Off twice: the grayed item is still found and stays single.
        c.write(a.controller, false);
        EXPECT_EQ(a.MenuIds().size(), 7u);
        c.write(a.controller, true);
        EXPECT_TRUE(c.read(a.controller));
        EXPECT_EQ(a.MenuIds().at(static_cast<std::size_t>(c.position)), c.command);
        EXPECT_EQ(a.MenuState(c.position), 0u);
    }
}

TEST(ChangeWhenRun, GrayedCloseIsFoundAgainAndTakesTheCloseButton) {
    Attached a;
    a.controller.setTitlebar(true); // the frame is now ours
    EXPECT_TRUE(a.form->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    a.controller.EnableMenuItem(SC_CLOSE, false);
    EXPECT_EQ(a.MenuIds().back(), 0x7060u);
    EXPECT_FALSE(a.form->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    a.controller.EnableMenuItem(SC_CLOSE, false);
    a.controller.EnableMenuItem(SC_CLOSE, true);
    EXPECT_EQ(a.MenuIds().back(), SC_CLOSE);
    EXPECT_EQ(a.MenuState(6), 0u);
    EXPECT_TRUE(a.form->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    // A command that is not in the menu changes nothing.
    a.controller.EnableMenuItem(0xF140, false);
    EXPECT_EQ(a.MenuIds(), (std::vector<std::uint32_t>{SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE,
                                                       SC_MAXIMIZE, 0, SC_CLOSE}));
}

TEST(ChangeWhenRun, RemoveMenuItem) {
    using Ids = std::vector<std::uint32_t>;
    struct Case {
        const char* name;
        std::function<void(ChangeWhenRun&)> before;
        std::uint32_t remove;
        Ids left;
    };
    const auto nothing = [](ChangeWhenRun&) {};
    const std::vector<Case> cases = {
        {"Close takes its separator", nothing, SC_CLOSE,
         Ids{SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}},
        {"grayed Close is removed too", [](ChangeWhenRun& c) { c.EnableMenuItem(SC_CLOSE, false); },
         SC_CLOSE, Ids{SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}},
        {"without its separator Close leaves Maximize",
         [](ChangeWhenRun& c) { c.RemoveMenuItem(0); }, SC_CLOSE,
         Ids{SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}},
        {"Close twice", [](ChangeWhenRun& c) { c.RemoveMenuItem(SC_CLOSE); }, SC_CLOSE,
         Ids{SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}},
        {"Maximize", nothing, SC_MAXIMIZE,
         Ids{SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, 0, SC_CLOSE}},
        {"Minimize", nothing, SC_MINIMIZE,
         Ids{SC_RESTORE, SC_MOVE, SC_SIZE, SC_MAXIMIZE, 0, SC_CLOSE}},
        {"grayed Move", [](ChangeWhenRun& c) { c.setMoveable(false); }, SC_MOVE,
         Ids{SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, 0, SC_CLOSE}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Attached a;
        c.before(a.controller);
        a.controller.RemoveMenuItem(c.remove);
        EXPECT_EQ(a.MenuIds(), c.left);
    }
    // Removing a button's item also takes the button away.
    Attached a;
    a.controller.RemoveMenuItem(SC_MAXIMIZE);
    EXPECT_FALSE(a.controller.MaxButton());
    EXPECT_FALSE(a.form->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    a.controller.RemoveMenuItem(SC_MINIMIZE);
    EXPECT_FALSE(a.controller.MinButton());
    // With Move gone the window still reads as movable.
    a.controller.RemoveMenuItem(SC_MOVE);
    EXPECT_TRUE(a.controller.Moveable());
}

TEST(ChangeWhenRun, ShowInTaskbarKeepsTheWindowsStateAndVisibility) {
    struct Case {
        const char* name;
        std::function<void(QWidget&)> prepare;
        bool visible;
        Qt::WindowStates state;
    };
    const std::vector<Case> cases = {
        {"maximised", [](QWidget& w) { w.showMaximized(); }, true, Qt::WindowMaximized},
        {"hidden", [](QWidget& w) { w.hide(); }, false, Qt::WindowNoState},
        {"normal", [](QWidget&) {}, true, Qt::WindowNoState},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Attached a;
        c.prepare(*a.form);
        for (const bool value : {false, true}) {
            a.controller.setShowInTaskbar(value);
            EXPECT_EQ(a.controller.ShowInTaskbar(), value);
            EXPECT_EQ(a.form->isVisible(), c.visible);
            EXPECT_EQ(a.form->windowState(), c.state);
        }
    }
}

TEST(ChangeWhenRun, TitlebarReadsTrueWhileEitherCaptionBitIsSet) {
    struct Case {
        std::uint32_t captionBits;
        bool reads;
        bool titleShown;
    };
    const std::vector<Case> cases = {
        {0xC00000, true, true},
        {0x800000, true, false}, // a border without a title bar
        {0x400000, true, false},
        {0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.captionBits);
        Attached a;
        SetWindowLong(a.form.get(), WindowLong::Style, (a.Style() & ~0xC00000u) | c.captionBits);
        a.controller.REDRAW();
        EXPECT_EQ(a.controller.Titlebar(), c.reads);
        EXPECT_EQ(a.form->windowFlags().testFlag(Qt::WindowTitleHint), c.titleShown);
    }
}

TEST(ChangeWhenRun, FramelessFormStartsWithoutFrameBits) {
    QWidget form;
    form.setWindowFlags(Qt::FramelessWindowHint);
    form.show();
    ChangeWhenRun controller;
    controller.setClient(&form);
    EXPECT_FALSE(controller.Titlebar());
    EXPECT_FALSE(controller.ControlBox());
    EXPECT_FALSE(controller.Sizeable());
    EXPECT_TRUE(controller.ShowInTaskbar());
    controller.setTitlebar(true);
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowTitleHint));
    // Sizing back on frees a window that was fixed for want of a frame.
    controller.setSizeable(true);
    EXPECT_NE(form.minimumSize(), form.maximumSize());
}

TEST(ChangeWhenRun, ClientThatIsNotAFormLeavesNoWindow) {
    struct Case {
        const char* name;
        std::function<QObject*(QWidget& form)> make;
    };
    const std::vector<Case> cases = {
        {"nothing", [](QWidget&) -> QObject* { return nullptr; }},
        {"a plain object", [](QWidget& form) -> QObject* { return new QObject(&form); }},
        {"a control on the form", [](QWidget& form) -> QObject* { return new QWidget(&form); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Attached a;
        a.controller.setAutoDrag(true);
        a.controller.setClient(c.make(*a.form));
        EXPECT_EQ(a.controller.hWnd(), nullptr);
        EXPECT_EQ(a.controller.Client(), a.form.get()); // the earlier form stays
        EXPECT_FALSE(a.controller.Titlebar());
        EXPECT_FALSE(a.controller.TopMost());
        EXPECT_TRUE(a.controller.Moveable()); // no Move item to be grayed
        // Writes reach no window.
        a.controller.setTitlebar(false);
        a.controller.setTopMost(true);
        a.controller.RemoveMenuItem(SC_CLOSE);
        a.controller.ShowSysMenu(10, 10);
        EXPECT_EQ(OpenMenu(), nullptr);
        EXPECT_FALSE(a.form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_EQ(a.MenuIds().size(), 7u);
        EXPECT_EQ(a.Style() & 0xC00000u, 0xC00000u);
        // Nor does a drag on the form that is still watched.
        const QPoint before = a.form->pos();
        QTest::mousePress(a.form.get(), Qt::LeftButton, {}, QPoint(30, 30));
        QTest::mouseMove(a.form.get(), QPoint(60, 50));
        QTest::mouseRelease(a.form.get(), Qt::LeftButton, {}, QPoint(60, 50));
        EXPECT_EQ(a.form->pos(), before);
    }
}

TEST(ChangeWhenRun, AutoDragAndAutoSysMenuOnTheClientsMouse) {
    struct Case {
        const char* name;
        bool autoDrag;
        bool autoSysMenu;
        Qt::MouseButton button;
        bool moves;
        bool menu;
    };
    const std::vector<Case> cases = {
        {"left drags", true, false, Qt::LeftButton, true, false},
        {"left without AutoDrag", false, true, Qt::LeftButton, false, false},
        {"right does not drag", true, false, Qt::RightButton, false, false},
        {"right opens the menu", false, true, Qt::RightButton, false, true},
        {"right without AutoSysMenu", true, false, Qt::RightButton, false, false},
        {"middle does neither", true, true, Qt::MiddleButton, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Attached a;
        a.controller.setAutoDrag(c.autoDrag);
        a.controller.setAutoSysMenu(c.autoSysMenu);
        const QPoint before = a.form->pos();
        const QPoint press(40, 30);
        const QPoint release = press + QPoint(25, 15);
        QTest::mousePress(a.form.get(), c.button, {}, press);
        QTest::mouseMove(a.form.get(), release);
        // The window follows the mouse; the release lands at the same
        // place of the moved window.
        const QPoint releaseLocal = c.moves ? press : release;
        QTest::mouseRelease(a.form.get(), c.button, {}, releaseLocal);
        EXPECT_EQ(a.form->pos(), c.moves ? before + QPoint(25, 15) : before);
        QMenu* menu = OpenMenu();
        ASSERT_EQ(menu != nullptr, c.menu);
        if (menu != nullptr) {
            EXPECT_EQ(menu->objectName(), QStringLiteral("SystemMenu"));
            EXPECT_EQ(menu->pos(), a.form->mapToGlobal(release));
            menu->close();
        }
    }
}

TEST(ChangeWhenRun, MdiParentFormGivesEventsFromItsEmptyArea) {
    QMainWindow parent;
    auto* area = new QMdiArea(&parent);
    parent.setCentralWidget(area);
    parent.setGeometry(100, 100, 400, 300);
    parent.show();
    ChangeWhenRun controller;
    controller.setClient(&parent);
    EXPECT_EQ(controller.Client(), &parent);
    EXPECT_EQ(controller.hWnd(), &parent);
    controller.setAutoSysMenu(true);
    QTest::mouseClick(area->viewport(), Qt::RightButton, {}, QPoint(50, 50));
    QMenu* menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    menu->close();

    // An ordinary form attached afterwards replaces it.
    QWidget form;
    form.show();
    controller.setClient(&form);
    EXPECT_EQ(controller.Client(), &form);
    QTest::mouseClick(area->viewport(), Qt::RightButton, {}, QPoint(50, 50));
    EXPECT_EQ(OpenMenu(), nullptr);
}

TEST(ChangeWhenRun, SystemMenuItemsActOnTheWindow) {
    struct Case {
        const char* name;
        std::function<void(Attached&)> before;
        std::uint32_t command;
        bool enabled;
        std::function<bool(const QWidget&)> after;
    };
    const auto nothing = [](Attached&) {};
    const std::vector<Case> cases = {
        {"Maximize", nothing, SC_MAXIMIZE, true, [](const QWidget& w) { return w.isMaximized(); }},
        {"Minimize", nothing, SC_MINIMIZE, true, [](const QWidget& w) { return w.isMinimized(); }},
        {"Close", nothing, SC_CLOSE, true, [](const QWidget& w) { return !w.isVisible(); }},
        {"Restore", [](Attached& a) { a.form->showMaximized(); }, SC_RESTORE, true,
         [](const QWidget& w) { return !w.isMaximized(); }},
        {"Restore of a normal window", nothing, SC_RESTORE, false, nullptr},
        {"grayed Maximize", [](Attached& a) { a.controller.setMaxButton(false); }, SC_MAXIMIZE,
         false, nullptr},
        {"Size without a sizing border",
         [](Attached& a) {
             SetWindowLong(a.form.get(), WindowLong::Style, a.Style() & ~WS_THICKFRAME);
         },
         SC_SIZE, false, nullptr},
        {"grayed Close", [](Attached& a) { a.controller.EnableMenuItem(SC_CLOSE, false); },
         SC_CLOSE, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Attached a;
        c.before(a);
        a.controller.ShowSysMenu(250, 200);
        QMenu* menu = OpenMenu();
        ASSERT_NE(menu, nullptr);
        // A grayed item is shown under the identifier it had before.
        QAction* action = MenuAction(menu, c.command & 0x7FFF);
        if (action == nullptr) {
            action = MenuAction(menu, c.command);
        }
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->isEnabled(), c.enabled);
        // Grayed or not, the window commands keep their glyph.
        EXPECT_EQ(action->icon().isNull(), c.command == SC_SIZE);
        if (c.enabled) {
            menu->setActiveAction(action);
            QTest::keyClick(menu, Qt::Key_Return);
            EXPECT_TRUE(QTest::qWaitFor([&] { return c.after(*a.form); }));
        } else {
            menu->close();
        }
    }
}

TEST(ChangeWhenRun, FormGoneLeavesNoWindow) {
    ChangeWhenRun controller;
    {
        QWidget form;
        form.show();
        controller.setClient(&form);
        controller.setAutoDrag(true);
    }
    EXPECT_EQ(controller.hWnd(), nullptr);
    EXPECT_EQ(controller.Client(), nullptr);
    controller.setTitlebar(false);
    EXPECT_FALSE(controller.Titlebar());
}

TEST(SystemMenuTexts, FollowTheLanguageMode) {
    const struct {
        const char* mode;
        QStringList texts; // the items of the popped-up menu, in order
    } cases[] = {
        {"", {"&Restore", "&Move", "&Size", "Mi&nimize", "Ma&ximize", "", "&Close\tAlt+F4"}},
        {"CHINESE",
         {"还原(&R)", "移动(&M)", "大小(&S)", "最小化(&N)", "最大化(&X)", "", "关闭(&C)\tAlt+F4"}},
    };
    const std::string before = UiLanguage;
    for (const auto& c : cases) {
        UiLanguage = c.mode;
        QWidget form;
        form.setGeometry(200, 150, 320, 240);
        form.show();
        QMenu* menu = PopupSystemMenu(&form, QPoint(250, 200));
        ASSERT_NE(menu, nullptr);
        QStringList texts;
        for (const QAction* action : menu->actions()) {
            texts.append(action->text());
        }
        EXPECT_EQ(texts, c.texts) << c.mode;
        menu->close();
    }
    UiLanguage = before;
}
