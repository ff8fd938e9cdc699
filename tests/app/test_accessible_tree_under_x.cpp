// What a screen reader reads of the program's windows, through the
// accessibility bus (at-spi) as a screen reader reads it: the real program
// runs in Chinese under Xvfb on a private session bus, and a script reads its
// tree, presses 更多工具 by its action and reads the about window's tree; and
// the verify window's tree once its results are in.

#include "tests/digest/digest_test_support.h"
#include "tests/support/x_session.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <fstream>
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

// Runs the program in Chinese with programArgs on a private session bus and
// reads its trees with the script and scriptArgs; the script's JSON in out.
// Skips (false, why set) where there is no X session or no at-spi.
bool ReadTrees(const QStringList& programArgs, const QStringList& scriptArgs, QByteArray& out,
               QString& why) {
    if (!varnel::testing::XSessionUnavailable().empty()) {
        why = QStringLiteral("no X server with a window manager: ") +
              QString::fromStdString(varnel::testing::XSessionUnavailable());
        return false;
    }
    const QString python = PythonWithAtspi(why);
    if (python.isEmpty()) {
        return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8"));
    environment.insert(QStringLiteral("LC_ALL"), QString());
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    // The arguments go in the environment, split by the shell at blanks:
    // none of them holds one.
    QProcess run;
    const QStringList shell = {
        QStringLiteral("--"),
        QStringLiteral("sh"),
        QStringLiteral("-c"),
        QStringLiteral("\"$0\" $VARNEL_PROGRAM_ARGS & app=$!; "
                       "\"$1\" \"$2\" Varnel $VARNEL_SCRIPT_ARGS; status=$?; "
                       "kill $app; wait $app; exit $status"),
        QStringLiteral(VARNEL_PROGRAM_DIR "/Varnel"),
        python,
        QStringLiteral(VARNEL_SOURCE_DIR "/tests/app/accessible_tree.py")};
    environment.insert(QStringLiteral("VARNEL_PROGRAM_ARGS"), programArgs.join(QLatin1Char(' ')));
    environment.insert(QStringLiteral("VARNEL_SCRIPT_ARGS"), scriptArgs.join(QLatin1Char(' ')));
    run.setProcessEnvironment(environment);
    run.start(QStringLiteral("dbus-run-session"), shell);
    if (!run.waitForStarted(10000) || !run.waitForFinished(180000)) {
        ADD_FAILURE() << "the tree was not read within 3 minutes";
        return true;
    }
    out = run.readAllStandardOutput();
    EXPECT_EQ(run.exitCode(), 0) << out.toStdString() << run.readAllStandardError().toStdString();
    // The bus's own services may say a word on the same output first.
    out = out.mid(out.indexOf("\n{\"") + 1);
    return true;
}

TEST(AccessibleTreeUnderX, ScreenReadersReadBothWindowsInTheirLanguage) {
    QByteArray out;
    QString why;
    if (!ReadTrees({}, {QStringLiteral("更多工具")}, out, why)) {
        GTEST_SKIP() << why.toStdString();
    }
    const QJsonObject tree = QJsonDocument::fromJson(out).object();

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

// The verify window: a frame with its caption's buttons, the results table
// named, each result's name and status readable as cells, the counts, the
// progress and the commands, in Chinese.
TEST(AccessibleTreeUnderX, ScreenReadersReadTheVerifyWindowsResults) {
    varnel::test::ScratchDir folder;
    varnel::test::WriteFile(folder / "a.bin", std::string("abc"));
    std::ofstream(folder / "SUMS.md5") << "900150983cd24fb0d6963f7d28e17f72  a.bin\n"
                                       << "900150983cd24fb0d6963f7d28e17f72  gone.bin\n";
    QByteArray out;
    QString why;
    if (!ReadTrees(
            {QStringLiteral("--verify"), QString::fromStdString((folder / "SUMS.md5").string())},
            {QStringLiteral("--until"), QStringLiteral("gone.bin")}, out, why)) {
        GTEST_SKIP() << why.toStdString();
    }
    const QJsonArray frames =
        QJsonDocument::fromJson(out).object()[QStringLiteral("before")].toArray();
    ASSERT_EQ(frames.size(), 1) << out.toStdString();
    const QJsonObject window = frames[0].toObject();
    EXPECT_EQ(window[QStringLiteral("role")].toString(), QStringLiteral("frame"));
    EXPECT_TRUE(window[QStringLiteral("name")].toString().startsWith(QStringLiteral("Varnel 校验")))
        << window[QStringLiteral("name")].toString().toStdString();
    QStringList named; // "role: name" of every object
    Walk(window, [&](const QJsonObject& node) {
        named.append(node[QStringLiteral("role")].toString() + QStringLiteral(": ") +
                     node[QStringLiteral("name")].toString());
    });
    for (const char* wanted :
         {"push button: 最小化", "push button: 关闭", "table: 校验结果", "table cell: a.bin",
          "table cell: 正确", "table cell: gone.bin", "table cell: 缺失", "label: 正确 1",
          "label: 缺失 1", "progress bar: 进度", "check box: 仅显示问题",
          "check box: 同时查找新文件", "push button: 复制结果"}) {
        EXPECT_TRUE(named.contains(QString::fromUtf8(wanted)))
            << wanted << " in " << named.join(QStringLiteral(" | ")).toStdString();
    }
}

// A compare's verdict: the word, the icon's shape and what differs, read as
// a screen reader reads them.
TEST(AccessibleTreeUnderX, ScreenReadersReadTheCompareVerdict) {
    varnel::test::ScratchDir folder;
    varnel::test::WriteFile(folder / "a.bin", std::string("abc"));
    varnel::test::WriteFile(folder / "b.bin", std::string("abd"));
    QByteArray out;
    QString why;
    if (!ReadTrees({QStringLiteral("--compare"),
                    QString::fromStdString((folder / "a.bin").string()),
                    QString::fromStdString((folder / "b.bin").string())},
                   {QStringLiteral("--until"), QStringLiteral("不同")}, out, why)) {
        GTEST_SKIP() << why.toStdString();
    }
    const QJsonArray frames =
        QJsonDocument::fromJson(out).object()[QStringLiteral("before")].toArray();
    ASSERT_EQ(frames.size(), 1) << out.toStdString();
    QStringList named; // "role: name (description)" of every object
    Walk(frames[0].toObject(), [&](const QJsonObject& node) {
        named.append(node[QStringLiteral("role")].toString() + QStringLiteral(": ") +
                     node[QStringLiteral("name")].toString() + QStringLiteral(" (") +
                     node[QStringLiteral("description")].toString() + QStringLiteral(")"));
    });
    for (const char* wanted :
         {"image: 不同 (叉号)", "label: 不同 ()", "label: 不同之处：SHA-1, MD5, SHA-256 ()"}) {
        EXPECT_TRUE(named.contains(QString::fromUtf8(wanted)))
            << wanted << " in " << named.join(QStringLiteral(" | ")).toStdString();
    }
}

} // namespace
