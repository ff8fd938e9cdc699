// ChangeWhenRun under a real X server with a window manager: the title bar,
// the topmost band and the task-bar button really change, as the window
// manager reports them on the window (_NET_FRAME_EXTENTS, _NET_WM_STATE,
// _NET_WM_ALLOWED_ACTIONS, read with xprop).
//
// The fixture starts its own Xvfb on a free display between :40 and :60 and
// openbox on it, then makes the QApplication on the xcb platform. When
// either cannot start, every test is skipped with the reason.
#include "winstyle/change_when_run.h"

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace varnel;

namespace {

// Polls until done() holds or the time is up.
bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A child process started with its output discarded; stopped with SIGTERM.
class Child {
public:
    explicit Child(const std::vector<std::string>& argv) {
        m_Pid = fork();
        if (m_Pid == 0) {
            const int devnull = ::open("/dev/null", O_WRONLY);
            if (devnull >= 0) {
                dup2(devnull, STDOUT_FILENO);
                dup2(devnull, STDERR_FILENO);
            }
            std::vector<char*> args;
            for (const std::string& arg : argv) {
                args.push_back(const_cast<char*>(arg.c_str()));
            }
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
    }
    ~Child() { Stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Running() {
        if (m_Pid <= 0) {
            return false;
        }
        int status = 0;
        if (waitpid(m_Pid, &status, WNOHANG) == m_Pid) {
            m_Pid = -1;
            return false;
        }
        return true;
    }

    void Stop() {
        if (m_Pid > 0) {
            kill(m_Pid, SIGTERM);
            int status = 0;
            waitpid(m_Pid, &status, 0);
            m_Pid = -1;
        }
    }

private:
    pid_t m_Pid = -1;
};

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

// The top of _NET_FRAME_EXTENTS (left, right, top, bottom); -1 when unset.
int FrameTop(const QWidget& window) {
    const QStringList extents = Values(window, "_NET_FRAME_EXTENTS");
    return extents.size() == 4 ? extents[2].toInt() : -1;
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
    static void SetUpTestSuite() {
        for (int display = 40; display <= 60 && !m_Server; ++display) {
            const std::string name = ":" + std::to_string(display);
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display);
            const std::string lock = "/tmp/.X" + std::to_string(display) + "-lock";
            if (std::filesystem::exists(socket) || std::filesystem::exists(lock)) {
                continue;
            }
            auto server = std::make_unique<Child>(std::vector<std::string>{
                "Xvfb", name, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
            const bool up =
                PollUntil([&] { return std::filesystem::exists(socket) || !server->Running(); },
                          std::chrono::seconds(10));
            if (up && server->Running()) {
                m_Server = std::move(server);
                setenv("DISPLAY", name.c_str(), 1);
            }
        }
        if (!m_Server) {
            m_Skip = "no Xvfb could start on a free display between :40 and :60";
            return;
        }
        m_Wm = std::make_unique<Child>(std::vector<std::string>{"openbox", "--sm-disable"});
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        static int argc = 1;
        static char name[] = "test_change_when_run_x11";
        static char* argv[] = {name, nullptr};
        m_App = std::make_unique<QApplication>(argc, argv);
        // The window manager is ready once it frames a probe window. A window
        // mapped while openbox is still starting can be missed: show again.
        bool framed = false;
        for (int attempt = 0; attempt < 3 && !framed && m_Wm->Running(); ++attempt) {
            QWidget probe;
            probe.setGeometry(0, 0, 50, 50);
            probe.show();
            framed = QTest::qWaitFor([&probe] { return FrameTop(probe) > 0; }, 5000);
        }
        if (!framed) {
            m_Skip = "openbox did not frame a window on the test X server (openbox or xprop "
                     "missing?)";
            TearDownTestSuite();
        }
    }

    static void TearDownTestSuite() {
        m_App.reset();
        m_Wm.reset();
        m_Server.reset();
    }

    void SetUp() override {
        if (!m_App) {
            GTEST_SKIP() << m_Skip;
        }
        m_Form = std::make_unique<QWidget>();
        m_Form->setWindowTitle(QStringLiteral("ChangeWhenRun under X"));
        m_Form->setGeometry(100, 100, 300, 200);
        m_Form->show();
        // Managed: the window manager has framed it.
        ASSERT_TRUE(Eventually([this] { return FrameTop(*m_Form) > 0; }));
        m_Controller.setClient(m_Form.get());
    }

    void TearDown() override { m_Form.reset(); }

    static inline std::unique_ptr<Child> m_Server;
    static inline std::unique_ptr<Child> m_Wm;
    static inline std::unique_ptr<QApplication> m_App;
    static inline std::string m_Skip;

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
