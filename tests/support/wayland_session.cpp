#include "tests/support/wayland_session.h"

#include "tests/support/x_session.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace varnel::testing {
namespace {

// The unprivileged user sway runs as when the tests run as root.
constexpr uid_t kNobody = 65534;

// Every window floats where sway first puts it, with no border or title bar
// of sway's own, so that a window's rectangle is its own.
constexpr const char* kConfig = "output * background #203040 solid_color\n"
                                "default_border none\n"
                                "default_floating_border none\n"
                                "for_window [app_id=\".*\"] floating enable\n"
                                "for_window [title=\".*\"] floating enable\n"
                                "focus_follows_mouse no\n"
                                "xwayland disable\n";

std::string& Unavailable() {
    static std::string reason = "the Wayland session was not started";
    return reason;
}

bool Found(const std::string& program) {
    const std::string command = "command -v " + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// The first entry of folder whose name starts with prefix and which is a
// socket.
std::optional<std::string> SocketIn(const std::string& folder, const std::string& prefix) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && entry.is_socket(error)) {
            return name;
        }
    }
    return std::nullopt;
}

std::optional<QRect> FindWindow(const QJsonObject& node, const QString& title) {
    if (node.value(QStringLiteral("name")).toString() == title &&
        (node.value(QStringLiteral("type")).toString() == QLatin1String("floating_con") ||
         node.value(QStringLiteral("type")).toString() == QLatin1String("con"))) {
        const QJsonObject rect = node.value(QStringLiteral("rect")).toObject();
        return QRect(rect.value(QStringLiteral("x")).toInt(),
                     rect.value(QStringLiteral("y")).toInt(),
                     rect.value(QStringLiteral("width")).toInt(),
                     rect.value(QStringLiteral("height")).toInt());
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(QLatin1String(children)).toArray()) {
            if (auto found = FindWindow(child.toObject(), title)) {
                return found;
            }
        }
    }
    return std::nullopt;
}

QByteArray SwayTree() {
    QProcess process;
    process.start(QStringLiteral("swaymsg"),
                  {QStringLiteral("-r"), QStringLiteral("-t"), QStringLiteral("get_tree")});
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return process.readAllStandardOutput();
}

} // namespace

WaylandSession::~WaylandSession() {
    StopProcess(m_Compositor);
    StopProcess(m_Server);
    if (!m_RuntimeDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_RuntimeDir, ignored);
    }
}

bool WaylandSession::Start() {
    const auto fail = [this](std::string reason) {
        m_Error = std::move(reason);
        Unavailable() = m_Error;
        return false;
    };
    for (const char* program : {"sway", "swaymsg", "Xvfb", "xdotool"}) {
        if (!Found(program)) {
            return fail(std::string(program) + " is not installed");
        }
    }
    std::string display;
    if (!StartXvfb(m_Server, display, m_Error)) {
        return fail(m_Error);
    }

    // sway refuses to run as root: it runs as nobody, in a runtime folder
    // that user owns. Root (the test) still reaches the sockets in it.
    const bool root = geteuid() == 0;
    std::string pattern = (std::filesystem::temp_directory_path() / "varnel-sway-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return fail("no runtime folder for sway");
    }
    m_RuntimeDir = pattern;
    const std::string config = m_RuntimeDir + "/config";
    std::ofstream(config) << kConfig;
    chmod(m_RuntimeDir.c_str(), 0700);
    if (root && (chown(m_RuntimeDir.c_str(), kNobody, kNobody) != 0 ||
                 chown(config.c_str(), kNobody, kNobody) != 0)) {
        return fail("the runtime folder cannot be given to the unprivileged user");
    }

    std::vector<std::string> environment = {"DISPLAY=" + display,
                                            "XDG_RUNTIME_DIR=" + m_RuntimeDir,
                                            "HOME=" + m_RuntimeDir,
                                            "WLR_BACKENDS=x11",
                                            "WLR_RENDERER=pixman",
                                            "WLR_X11_OUTPUTS=1",
                                            "PATH=/usr/sbin:/usr/bin:/sbin:/bin"};
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> argv;
    if (root) {
        argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    for (const char* arg : {"sway", "-c"}) {
        argv.emplace_back(arg);
    }
    argv.push_back(config);
    const std::string log = m_RuntimeDir + "/sway.log";
    m_Compositor = SpawnProcess(argv, log, envp.data());
    if (m_Compositor == 0) {
        return fail("sway cannot be started");
    }

    // Ready once both the Wayland socket and the control socket are there.
    std::optional<std::string> wayland;
    std::optional<std::string> control;
    for (int waited = 0; waited < 30000 && !(wayland && control); waited += 50) {
        usleep(50 * 1000);
        wayland = SocketIn(m_RuntimeDir, "wayland-");
        control = SocketIn(m_RuntimeDir, "sway-ipc.");
    }
    if (!wayland || !control) {
        std::string said;
        if (std::ifstream in(log); in) {
            std::string line;
            while (std::getline(in, line) && said.size() < 2000) {
                said += line + "\n";
            }
        }
        return fail("sway did not start on " + display + ": " + said);
    }
    setenv("XDG_RUNTIME_DIR", m_RuntimeDir.c_str(), 1);
    setenv("WAYLAND_DISPLAY", wayland->c_str(), 1);
    setenv("SWAYSOCK", (m_RuntimeDir + "/" + *control).c_str(), 1);
    Unavailable().clear();
    return true;
}

const std::string& WaylandSessionUnavailable() {
    return Unavailable();
}

QRect SwayWindowGeometry(const QString& title) {
    const QJsonDocument tree = QJsonDocument::fromJson(SwayTree());
    return FindWindow(tree.object(), title).value_or(QRect());
}

std::string SwayDiagnostics() {
    return SwayTree().left(4000).toStdString();
}

} // namespace varnel::testing
