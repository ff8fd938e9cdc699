// Items a program adds to a window's system menu: where they stand, what the
// popped-up menu shows of them, and when choosing them runs their action.
#include "winstyle/window_style.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace varnel::platform;

namespace {

constexpr std::uint32_t kOwnCommand = 0x0100;

QAction* FindAction(const QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

TEST(SystemMenuOwnItems, AppendedAfterTheSystemsItemsAndRunWhenChosen) {
    struct Case {
        const char* name;
        std::function<void(QWidget&, QMenu&, QAction&)> choose; // nullptr: not chosen
        std::uint32_t state;
        int runs; // times the action ran
    };
    const std::vector<Case> cases = {
        {"chosen in the menu",
         [](QWidget&, QMenu& menu, QAction& action) {
             menu.setActiveAction(&action);
             QTest::keyClick(&menu, Qt::Key_Return);
         },
         MFS_ENABLED, 1},
        {"carried out as a system command",
         [](QWidget& form, QMenu& menu, QAction&) {
             menu.close();
             SysCommand(&form, kOwnCommand);
         },
         MFS_ENABLED, 1},
        {"grayed, as a system command",
         [](QWidget& form, QMenu& menu, QAction&) {
             menu.close();
             SysCommand(&form, kOwnCommand);
         },
         MF_GRAYED, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget form;
        form.setGeometry(200, 150, 320, 240);
        form.show();
        SystemMenu* menu = GetSystemMenu(&form);
        const int systemItems = GetMenuItemCount(menu);
        int runs = 0;
        ASSERT_TRUE(AppendMenuSeparator(menu));
        ASSERT_TRUE(
            AppendMenuItem(menu, kOwnCommand, QStringLiteral("&Own item"), [&runs] { ++runs; }));
        ASSERT_EQ(GetMenuItemCount(menu), systemItems + 2);
        EXPECT_EQ(GetMenuItemID(menu, systemItems), 0U) << "the separator";
        EXPECT_EQ(GetMenuItemID(menu, systemItems + 1), kOwnCommand);
        MenuItemInfo state;
        state.state = c.state;
        ASSERT_TRUE(SetMenuItemInfo(menu, systemItems + 1, MIIM_STATE, state));

        QMenu* popup = PopupSystemMenu(&form, QPoint(250, 200));
        ASSERT_NE(popup, nullptr);
        QAction* action = FindAction(*popup, QStringLiteral("&Own item"));
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(popup->actions().last(), action) << "the item comes last";
        EXPECT_TRUE(popup->actions().at(popup->actions().size() - 2)->isSeparator());
        EXPECT_EQ(action->isEnabled(), c.state == MFS_ENABLED);
        c.choose(form, *popup, *action);
        // The menu's choice acts once the menu has closed.
        QTest::qWait(50);
        QApplication::processEvents();
        EXPECT_EQ(runs, c.runs);
        EXPECT_TRUE(form.isVisible()) << "no system command ran in its place";
    }
}

TEST(SystemMenuOwnItems, RemovedByCommandAndNoWindowHasNoMenu) {
    QWidget form;
    SystemMenu* menu = GetSystemMenu(&form);
    const int systemItems = GetMenuItemCount(menu);
    ASSERT_TRUE(AppendMenuItem(menu, kOwnCommand, QStringLiteral("Own"), [] {}));
    EXPECT_TRUE(RemoveMenuByCommand(menu, kOwnCommand));
    EXPECT_EQ(GetMenuItemCount(menu), systemItems);
    EXPECT_FALSE(AppendMenuItem(nullptr, kOwnCommand, QStringLiteral("Own"), [] {}));
    EXPECT_FALSE(AppendMenuSeparator(nullptr));
}

} // namespace
