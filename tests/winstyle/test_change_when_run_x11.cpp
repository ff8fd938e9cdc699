// ChangeWhenRun under a real X server with a window manager: the title bar,
// the topmost band and the task-bar button really change, as the window
// manager reports them on the window (_NET_FRAME_EXTENTS, _NET_WM_STATE,
// _NET_WM_ALLOWED_ACTIONS, read with xprop).
//
// The test program runs in the shared X session (tests/support/x_session.h):
// its own Xvfb on a display the server picked itself, openbox on it, and the
// QApplication on the xcb platform. When either cannot start, every test is
// skipped with the reason.
#include "winstyle/change_when_run.h"

#include "tests/support/x_session.h"

#include <QMargins>
#include <QProcess>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

using namespace varnel;

namespace {

// The values xprop gives for one property of the window's native window;
// empty when it is not set.
QStringList Values(const QWidget& window, const char* property) {
    const QWindow* handle = window.windowHandle();
    if (handle == nullptr) {
        return {};
    }
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(handle->winId()),
                                          QString::fromLatin1(property)});
    xprop.waitForFinished(5000);
    const QString text = QString::fromUtf8(xprop.readAllStandardOutput());
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    QStringList values;
    if (equals >= 0) {
        for (const QString& value : text.mid(equals + 1).split(QLatin1Char(','))) {
            values.append(value.trimmed());
        }
    }
    return values;
}

// The top of the window manager's frame; -1 when it has not told it.
int FrameTop(const QWidget& window) {
    const std::optional<QMargins> extents = varnel::testing::XFrameExtents(window.winId());
    return extents ? extents->top() : -1;
}

bool HasAtom(const QWidget& window, const char* property, const char* atom) {
    return Values(window, property).contains(QLatin1String(atom));
}

// Waits, handling events, until condition holds; false after ten seconds.
bool Eventually(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 10000);
}

class UnderWindowManager : public ::testing::Test {
protected:
    void SetUp() override {
        if (!varnel::testing::XSessionUnavailable().empty()) {
            GTEST_SKIP() << "no X server with a window manager: "
                         << varnel::testing::XSessionUnavailable();
        }
        m_Form = std::make_unique<QWidget>();
        m_Form->setWindowTitle(QStringLiteral("ChangeWhenRun under X"));
        m_Form->setGeometry(100, 100, 300, 200);
        // Managed and framed with a title bar; shown again if the window
        // manager missed it.
        ASSERT_TRUE(varnel::testing::ShowManaged(*m_Form)) << varnel::testing::XDiagnostics();
        ASSERT_GT(FrameTop(*m_Form), 0) << varnel::testing::XDiagnostics();
        m_Controller.setClient(m_Form.get());
    }

    void TearDown() override { m_Form.reset(); }

    std::unique_ptr<QWidget> m_Form;
    ChangeWhenRun m_Controller;
};

TEST_F(UnderWindowManager, TitlebarOffAndOnChangesTheFrame) {
    const int titled = FrameTop(*m_Form);
    m_Controller.setTitlebar(false);
    EXPECT_TRUE(Eventually([this] { return FrameTop(*m_Form) == 0; }));
    EXPECT_TRUE(m_Form->isVisible());
    m_Controller.setTitlebar(true);
    EXPECT_TRUE(Eventually([&] { return FrameTop(*m_Form) == titled; }));
}

TEST_F(UnderWindowManager, WindowStateFollowsTopMostAndShowInTaskbar) {
    struct Case {
        const char* name;
        std::function<void(ChangeWhenRun&, bool)> write;
        const char* atom;
        bool atomWhenOn; // the atom is there while the property is on
    };
    const std::vector<Case> cases = {
        {"TopMost", &ChangeWhenRun::setTopMost, "_NET_WM_STATE_ABOVE", true},
        {"ShowInTaskbar", &ChangeWhenRun::setShowInTaskbar, "_NET_WM_STATE_SKIP_TASKBAR", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool value : {true, false, true}) {
            c.write(m_Controller, value);
            const bool expected = value == c.atomWhenOn;
            EXPECT_TRUE(Eventually([&] {
                return HasAtom(*m_Form, "_NET_WM_STATE", c.atom) == expected;
            })) << "with the property "
                << value;
        }
    }
    // Each change leaves the other in place.
    m_Controller.setShowInTaskbar(false);
    m_Controller.setTopMost(true);
    EXPECT_TRUE(Eventually([this] {
        return HasAtom(*m_Form, "_NET_WM_STATE", "_NET_WM_STATE_ABOVE") &&
               HasAtom(*m_Form, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR");
    })) << Values(*m_Form, "_NET_WM_STATE").join(QLatin1Char(' ')).toStdString();
}

TEST_F(UnderWindowManager, SizeableOffTakesAwayResizing) {
    const char* resize = "_NET_WM_ACTION_RESIZE";
    EXPECT_TRUE(Eventually([&] { return HasAtom(*m_Form, "_NET_WM_ALLOWED_ACTIONS", resize); }));
    m_Controller.setSizeable(false);
    EXPECT_TRUE(Eventually([&] { return !HasAtom(*m_Form, "_NET_WM_ALLOWED_ACTIONS", resize); }));
    m_Controller.setSizeable(true);
    EXPECT_TRUE(Eventually([&] { return HasAtom(*m_Form, "_NET_WM_ALLOWED_ACTIONS", resize); }));
}

} // namespace
