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

// A submenu of checkable items: shown with their marks, each chosen in the
// submenu or as a system command runs its own action, and the mark follows
// CheckMenuItem, not the choice alone.
TEST(SystemMenuOwnItems, SubmenuOfCheckableItems) {
    QWidget form;
    form.setGeometry(200, 150, 320, 240);
    form.show();
    SystemMenu* menu = GetSystemMenu(&form);
    std::vector<std::uint32_t> chosen;
    std::vector<MenuItemInfo> items(2);
    for (std::uint32_t i = 0; i < items.size(); ++i) {
        items[i].id = kOwnCommand + i;
        items[i].text = QStringLiteral("Kind %1").arg(i);
        items[i].checkable = true;
        items[i].action = [&chosen, &form, i] {
            chosen.push_back(kOwnCommand + i);
            CheckMenuItem(GetSystemMenu(&form), kOwnCommand + i, true);
        };
    }
    ASSERT_TRUE(AppendSubMenu(menu, QStringLiteral("Kinds"), items));
    EXPECT_FALSE(AppendSubMenu(nullptr, QStringLiteral("Kinds"), items));
    EXPECT_TRUE(CheckMenuItem(menu, kOwnCommand + 1, true));
    EXPECT_FALSE(CheckMenuItem(menu, kOwnCommand + 7, true));

    const auto marks = [&form] {
        QMenu* popup = PopupSystemMenu(&form, QPoint(250, 200));
        QMenu* kinds = popup->actions().last()->menu();
        std::vector<int> shown; // -1: no check box, 0 clear, 1 ticked
        for (QAction* action : kinds != nullptr ? kinds->actions() : QList<QAction*>()) {
            shown.push_back(action->isCheckable() ? action->isChecked() : -1);
        }
        popup->close();
        return shown;
    };
    EXPECT_EQ(marks(), (std::vector<int>{0, 1}));

    QMenu* popup = PopupSystemMenu(&form, QPoint(250, 200));
    QMenu* kinds = popup->actions().last()->menu();
    ASSERT_NE(kinds, nullptr);
    kinds->actions().first()->trigger();
    popup->close();
    QTest::qWait(50);
    SysCommand(&form, kOwnCommand + 1);
    EXPECT_EQ(chosen, (std::vector<std::uint32_t>{kOwnCommand, kOwnCommand + 1}));
    EXPECT_EQ(marks(), (std::vector<int>{1, 1}));
    EXPECT_TRUE(CheckMenuItem(menu, kOwnCommand + 1, false));
    EXPECT_EQ(marks(), (std::vector<int>{1, 0}));
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
