// What a screen reader reads of the program's windows, through the
// accessibility bus (at-spi) as a screen reader reads it: the real program
// runs in Chinese under Xvfb on a private session bus, and a script reads its
// tree, presses 更多工具 by its action and reads the about window's tree.

#include "tests/support/x_session.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <functional>

namespace {

// The Python that has the at-spi bindings (the system's, where Debian's
// package puts them, before any other on the path), or an empty text with
// the reason in why when the tree cannot be read here.
QString PythonWithAtspi(QString& why) {
    QProcess probe;
    probe.start(QStringLiteral("sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("command -v dbus-run-session >/dev/null || exit 1; "
                                "[ -x /usr/libexec/at-spi-bus-launcher ] || "
                                "[ -x /usr/lib/at-spi2-core/at-spi-bus-launcher ] || exit 1; "
                                "for p in /usr/bin/python3 python3; do "
                                "\"$p\" -c 'import pyatspi' 2>/dev/null && "
                                "{ command -v \"$p\"; exit 0; }; done; exit 1")});
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0) {
        why = QStringLiteral("no at-spi here (dbus-run-session, python3-pyatspi, at-spi2-core)");
        return {};
    }
    return QString::fromLocal8Bit(probe.readAllStandardOutput()).trimmed();
}

// Every object below node, node included.
void Walk(const QJsonObject& node, const std::function<void(const QJsonObject&)>& visit) {
    visit(node);
    for (const QJsonValue child : node[QStringLiteral("children")].toArray()) {
        Walk(child.toObject(), visit);
    }
}

QJsonObject Frame(const QJsonArray& frames, const QString& name) {
    for (const QJsonValue frame : frames) {
        if (frame[QStringLiteral("name")].toString() == name) {
            return frame.toObject();
        }
    }
    return {};
}

QRect Extents(const QJsonObject& node) {
    const QJsonArray e = node[QStringLiteral("extents")].toArray();
    return e.size() == 4 ? QRect(e[0].toInt(), e[1].toInt(), e[2].toInt(), e[3].toInt()) : QRect();
}

bool Has(const QJsonObject& node, const char* key, const QString& value) {
    return node[QString::fromLatin1(key)].toArray().contains(value);
}

TEST(AccessibleTreeUnderX, ScreenReadersReadBothWindowsInTheirLanguage) {
    if (!varnel::testing::XSessionUnavailable().empty()) {
        GTEST_SKIP() << "no X server with a window manager: "
                     << varnel::testing::XSessionUnavailable();
    }
    QString why;
    const QString python = PythonWithAtspi(why);
    if (python.isEmpty()) {
        GTEST_SKIP() << why.toStdString();
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8"));
    environment.insert(QStringLiteral("LC_ALL"), QString());
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    QProcess run;
    run.setProcessEnvironment(environment);
    run.start(QStringLiteral("dbus-run-session"),
              {QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"),
               QStringLiteral("\"$0\" & app=$!; \"$1\" \"$2\" Varnel 更多工具; status=$?; "
                              "kill $app; wait $app; exit $status"),
               QStringLiteral(VARNEL_PROGRAM_DIR "/Varnel"), python,
               QStringLiteral(VARNEL_SOURCE_DIR "/tests/app/accessible_tree.py")});
    ASSERT_TRUE(run.waitForStarted(10000));
    ASSERT_TRUE(run.waitForFinished(180000)) << "the tree was not read within 3 minutes";
    const QByteArray out = run.readAllStandardOutput();
    ASSERT_EQ(run.exitCode(), 0) << out.toStdString() << run.readAllStandardError().toStdString();
    // The bus's own services may say a word on the same output first.
    const QJsonObject tree = QJsonDocument::fromJson(out.mid(out.indexOf("\n{\"") + 1)).object();

    // The main window: a frame with the title told once, the caption's
    // buttons, the report box named, descriptions in Chinese from the start.
    const QJsonObject main =
        Frame(tree[QStringLiteral("before")].toArray(), QStringLiteral("Varnel2012"));
    ASSERT_FALSE(main.isEmpty()) << out.toStdString();
    EXPECT_EQ(main[QStringLiteral("role")].toString(), QStringLiteral("frame"));
    int titles = 0;
    QStringList buttons;
    bool reportNamed = false;
    QString openDescription;
    Walk(main, [&](const QJsonObject& node) {
        const QString role = node[QStringLiteral("role")].toString();
        const QString name = node[QStringLiteral("name")].toString();
        if (role == QStringLiteral("label") && name == QStringLiteral("Varnel2012")) {
            ++titles;
        }
        if (role == QStringLiteral("push button") &&
            node[QStringLiteral("actions")].toArray().contains(QStringLiteral("Press"))) {
            buttons.append(name);
        }
        if (role == QStringLiteral("text") && name == QStringLiteral("报告")) {
            reportNamed = true;
        }
        if (role == QStringLiteral("push button") && name == QStringLiteral("打开")) {
            openDescription = node[QStringLiteral("description")].toString();
        }
    });
    EXPECT_EQ(titles, 1);
    for (const char* button : {"最小化", "最大化", "关闭", "打开", "更多工具"}) {
        EXPECT_TRUE(buttons.contains(QString::fromUtf8(button))) << button;
    }
    EXPECT_TRUE(reportNamed);
    EXPECT_EQ(openDescription, QStringLiteral("打开文件"));

    // The about window, opened by the press action: no hidden helper, and
    // every object shown where it is on the screen, inside the window.
    const QJsonObject about =
        Frame(tree[QStringLiteral("after")].toArray(), QStringLiteral("Quarrow"));
    ASSERT_FALSE(about.isEmpty()) << out.toStdString();
    EXPECT_EQ(about[QStringLiteral("role")].toString(), QStringLiteral("frame"));
    const QRect window = Extents(about);
    EXPECT_FALSE(window.topLeft().isNull()) << "the window is centred, not at 0,0";
    int placed = 0;
    Walk(about, [&](const QJsonObject& node) {
        const QString name = node[QStringLiteral("name")].toString();
        EXPECT_NE(name, QStringLiteral("Used For Close Me"));
        if (&node != &about && Has(node, "states", QStringLiteral("showing")) &&
            !Extents(node).isEmpty()) {
            ++placed;
            EXPECT_TRUE(window.contains(Extents(node)))
                << name.toStdString() << " at " << Extents(node).x() << "," << Extents(node).y()
                << " outside the window at " << window.x() << "," << window.y();
        }
    });
    EXPECT_GT(placed, 5);
}

} // namespace
