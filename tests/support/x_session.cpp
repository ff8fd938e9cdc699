#include "tests/support/x_session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QWidget>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace varnel::testing {
namespace {

pid_t Spawn(const std::vector<std::string>& argv, const std::string& errorLog = "/dev/null",
            char** environment = nullptr) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The server and the manager talk on standard error; keep the test output
    // readable.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errorLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(),
                                    environment != nullptr ? environment : environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : 0;
}

void Stop(pid_t& pid) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = 0;
    }
}

// Polls check every 20 ms for up to timeoutMs.
template <typename Check> bool Poll(Check check, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (check()) {
            return true;
        }
        usleep(20 * 1000);
    }
    return check();
}

// The manager announces itself early in its start (the check window); the
// client list comes last, once it has taken over the screen and
// handles requests. A window shown before that may never be managed.
bool ManagerRuns(const std::string& display) {
    const std::string command =
        "DISPLAY=" + display + " timeout 5 xprop -root _NET_CLIENT_LIST 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return false;
    }
    char line[256] = {};
    const bool found = std::fgets(line, sizeof line, pipe) != nullptr &&
                       std::string(line).find("(WINDOW)") != std::string::npos;
    pclose(pipe);
    return found;
}

std::string& Unavailable() {
    static std::string reason = "the X session was not started";
    return reason;
}

} // namespace

XSession::~XSession() {
    Stop(m_Manager);
    Stop(m_Server);
}

pid_t SpawnProcess(const std::vector<std::string>& argv, const std::string& errorLog,
                   char** environment) {
    return Spawn(argv, errorLog, environment);
}

void StopProcess(pid_t& pid) {
    Stop(pid);
}

bool StartXvfb(pid_t& server, std::string& display, std::string& error) {
    // The server picks a free display itself and writes its number to the
    // pipe once it accepts connections, so parallel test programs never race
    // for one display.
    int ready[2] = {-1, -1};
    if (pipe(ready) != 0) {
        error = "no pipe for the X server";
        return false;
    }
    server = Spawn({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0", "1280x800x24",
                    "-nolisten", "tcp"});
    close(ready[1]);
    std::string number;
    if (server != 0) {
        pollfd wait{ready[0], POLLIN, 0};
        char buffer[16] = {};
        while (poll(&wait, 1, 15000) == 1) {
            const ssize_t got = read(ready[0], buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            number.append(buffer, static_cast<std::size_t>(got));
            if (number.find('\n') != std::string::npos) {
                break;
            }
        }
    }
    close(ready[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) {
        number.pop_back();
    }
    if (server == 0 || number.empty()) {
        Stop(server);
        error = "Xvfb cannot be started (is it installed?)";
        return false;
    }
    display = ":" + number;
    setenv("DISPLAY", display.c_str(), 1);
    return true;
}

bool XSession::Start() {
    if (!StartXvfb(m_Server, m_Display, m_Error)) {
        Unavailable() = m_Error;
        return false;
    }

    // A manager that dies in its start (it happens on a loaded machine) is
    // started again, up to three times.
    // What the manager says goes to a file, shown when it cannot start.
    const std::string managerLog = (std::filesystem::temp_directory_path() /
                                    ("varnel-openbox-" + std::to_string(getpid()) + ".log"))
                                       .string();
    bool running = false;
    for (int attempt = 0; attempt < 3 && !running; ++attempt) {
        m_Manager = Spawn({"openbox", "--sm-disable"}, managerLog);
        if (m_Manager == 0) {
            break;
        }
        bool exited = false;
        Poll(
            [&] {
                int status = 0;
                exited = exited || waitpid(m_Manager, &status, WNOHANG) == m_Manager;
                return exited || ManagerRuns(m_Display);
            },
            30000);
        running = !exited && ManagerRuns(m_Display);
        if (exited) {
            m_Manager = 0; // already reaped
        } else if (!running) {
            Stop(m_Manager);
        }
    }
    std::string said;
    if (FILE* log = std::fopen(managerLog.c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, log) != nullptr && said.size() < 2000) {
            said += line;
        }
        std::fclose(log);
    }
    std::remove(managerLog.c_str());
    if (!running) {
        m_Error = "openbox cannot be started on " + m_Display + " (is it installed?) " + said;
        Unavailable() = m_Error;
        return false;
    }
    Unavailable().clear();
    return true;
}

std::string XDiagnostics() {
    std::string text;
    FILE* pipe =
        popen("pgrep -a openbox; timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK _NET_CLIENT_LIST "
              "2>&1; timeout 5 xwininfo -root -children 2>&1 | head -20",
              "r");
    if (pipe == nullptr) {
        return text;
    }
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        text += line;
    }
    pclose(pipe);
    return text;
}

const std::string& XSessionUnavailable() {
    return Unavailable();
}

bool WaitForImpl(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

QString RunXdotool(const QStringList& args, int timeoutMs) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), args);
    if (!process.waitForStarted(timeoutMs)) {
        return QString();
    }
    // The application must keep handling the input while xdotool sends it.
    if (!WaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return QString();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "xdotool failed: %s\n", process.readAllStandardError().constData());
        return QString();
    }
    // Empty output is still a success: never a null string.
    QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    return out.isNull() ? QStringLiteral("") : out;
}

QRect XWindowGeometry(unsigned long windowId) {
    const QString out = RunXdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                                    QString::number(windowId)});
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        const QString value = line.section(QLatin1Char('='), 1);
        if (line.startsWith(QLatin1String("X="))) {
            x = value.toInt();
        } else if (line.startsWith(QLatin1String("Y="))) {
            y = value.toInt();
        } else if (line.startsWith(QLatin1String("WIDTH="))) {
            w = value.toInt();
        } else if (line.startsWith(QLatin1String("HEIGHT="))) {
            h = value.toInt();
        }
    }
    return QRect(x, y, w, h);
}

QString XMapState(unsigned long windowId) {
    QProcess process;
    process.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(windowId)});
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished();
        return QString();
    }
    for (const QString& line :
         QString::fromLocal8Bit(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QLatin1String("Map State:"))) {
            return line.section(QLatin1Char(':'), 1).trimmed();
        }
    }
    return QString();
}

std::optional<QMargins> XFrameExtents(unsigned long windowId) {
    QProcess process;
    process.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(windowId),
                                            QStringLiteral("_NET_FRAME_EXTENTS")});
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    // "_NET_FRAME_EXTENTS(CARDINAL) = 1, 1, 24, 4" (left, right, top,
    // bottom), or "_NET_FRAME_EXTENTS:  not found."
    const QString text = QString::fromLocal8Bit(process.readAllStandardOutput());
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0) {
        return std::nullopt;
    }
    const QStringList values = text.mid(equals + 1).split(QLatin1Char(','));
    if (values.size() != 4) {
        return std::nullopt;
    }
    int extents[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        extents[i] = values[i].trimmed().toInt(&ok);
        if (!ok) {
            return std::nullopt;
        }
    }
    return QMargins(extents[0], extents[2], extents[1], extents[3]);
}

bool ShowManaged(QWidget& window, int attempts, int timeoutMs) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) {
            // Unmapped and mapped again, the window asks the manager anew.
            window.hide();
            QCoreApplication::processEvents();
        }
        window.show();
        if (WaitFor([&] { return XFrameExtents(window.winId()).has_value(); }, timeoutMs)) {
            return true;
        }
        std::fprintf(stderr, "the window manager has not taken the window in after %d ms%s\n",
                     timeoutMs, attempt + 1 < attempts ? "; showing it again" : "");
    }
    return false;
}

bool DragWithPointer(QPoint from, QPoint travel) {
    QStringList args{QStringLiteral("mousemove"), QString::number(from.x()),
                     QString::number(from.y()),   QStringLiteral("mousedown"),
                     QStringLiteral("1"),         QStringLiteral("sleep"),
                     QStringLiteral("0.1")};
    constexpr int kSteps = 12;
    for (int i = 1; i <= kSteps; ++i) {
        const QPoint at = from + travel * i / kSteps;
        args << QStringLiteral("mousemove") << QString::number(at.x()) << QString::number(at.y())
             << QStringLiteral("sleep") << QStringLiteral("0.02");
    }
    args << QStringLiteral("sleep") << QStringLiteral("0.1") << QStringLiteral("mouseup")
         << QStringLiteral("1");
    return !RunXdotool(args).isNull();
}

} // namespace varnel::testing
