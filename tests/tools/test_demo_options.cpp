// The demos' command line: their own options read past Qt's, and a --help
// that prints them and ends (the demos are run for real, offscreen).
#include "tools/demo-options/demo_options.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <vector>

namespace {

using varnel::tools::DemoArguments;
using varnel::tools::DemoOption;
using varnel::tools::ParseDemoArguments;
using Outcome = DemoArguments::Outcome;

const std::vector<DemoOption> kOptions = {
    {"caption-style", DemoOption::Kind::Integer, "style"},
    {"ontop-button", DemoOption::Kind::Flag, "on-top button"},
};

TEST(DemoOptions, AreReadWithTheSkinFileOrItsDefault) {
    struct Case {
        QStringList args;
        Outcome outcome;
        int style; // -1: not given
        bool onTop;
        const char* skin;
    };
    const Case cases[] = {
        {{"demo"}, Outcome::Run, -1, false, "default.dll"},
        {{"demo", "--caption-style", "3", "my.dll"}, Outcome::Run, 3, false, "my.dll"},
        {{"demo", "--caption-style=0", "--ontop-button"}, Outcome::Run, 0, true, "default.dll"},
        {{"demo", "my.dll", "--caption-style", "-2"}, Outcome::Run, -2, false, "my.dll"},
        {{"demo", "--help"}, Outcome::Help, -1, false, ""},
        {{"demo", "-h", "my.dll"}, Outcome::Help, -1, false, ""},
        {{"demo", "--help-all"}, Outcome::Help, -1, false, ""},
        {{"demo", "--frobnicate", "--help"}, Outcome::Help, -1, false, ""},
        {{"demo", "--caption-style", "two"}, Outcome::Error, -1, false, ""},
        {{"demo", "--caption-style"}, Outcome::Error, -1, false, ""},
        {{"demo", "--style", "2"}, Outcome::Error, -1, false, ""},
        {{"demo", "a.dll", "b.dll"}, Outcome::Error, -1, false, ""},
    };
    for (const Case& c : cases) {
        const QString what = c.args.join(QLatin1Char(' '));
        const DemoArguments read = ParseDemoArguments(c.args, QStringLiteral("A demo."), kOptions,
                                                      QStringLiteral("default.dll"));
        ASSERT_EQ(read.outcome, c.outcome) << what.toStdString() << ": " << read.text.toStdString();
        switch (c.outcome) {
        case Outcome::Run:
            EXPECT_EQ(read.number(QStringLiteral("caption-style"), -1), c.style)
                << what.toStdString();
            EXPECT_EQ(read.has(QStringLiteral("ontop-button")), c.onTop) << what.toStdString();
            EXPECT_EQ(read.skin.toStdString(), c.skin) << what.toStdString();
            break;
        case Outcome::Help:
            EXPECT_TRUE(read.text.contains(QLatin1String("--caption-style <N>")))
                << read.text.toStdString();
            EXPECT_TRUE(read.text.contains(QLatin1String("default.dll")));
            break;
        case Outcome::Error:
            EXPECT_TRUE(read.text.contains(QLatin1String("--help"))) << read.text.toStdString();
            break;
        }
    }
}

TEST(DemoOptions, ADemoWithoutASkinTakesNoFile) {
    const std::vector<DemoOption> options = {{"popup-menu", DemoOption::Kind::Flag, "menu"}};
    const DemoArguments none =
        ParseDemoArguments({"demo", "--popup-menu"}, QStringLiteral("A demo."), options);
    EXPECT_EQ(none.outcome, Outcome::Run);
    EXPECT_TRUE(none.has(QStringLiteral("popup-menu")));
    EXPECT_TRUE(none.skin.isEmpty());
    EXPECT_EQ(ParseDemoArguments({"demo", "x.dll"}, QStringLiteral("A demo."), options).outcome,
              Outcome::Error);
}

struct DemoRun {
    bool finished = false;
    int status = -1;
    QString out;
    QString err;
};

// Runs a built demo, offscreen, or with no display at all.
DemoRun RunDemo(const QString& name, const QStringList& args, bool display = true) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (display) {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VARNEL_PROGRAM_DIR "/") + name, args);
    DemoRun run;
    // A demo that took the arguments as a skin would open its window and
    // never end.
    run.finished = process.waitForFinished(20000);
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// The help needs no display.
TEST(DemoPrograms, HelpListsTheOptionsAndEnds) {
    struct Case {
        const char* demo;
        QStringList args;
        const char* option;
    };
    const Case cases[] = {
        {"caption-demo", {"--help"}, "--caption-style <N>"},
        {"caption-demo", {"--caption-style", "2", "-h"}, "--no-work-area"},
        {"border-demo", {"--help-all"}, "--sizing"},
        {"winstyle-demo", {"--help"}, "--popup-menu"},
    };
    for (const Case& c : cases) {
        const DemoRun run = RunDemo(QString::fromLatin1(c.demo), c.args, false);
        ASSERT_TRUE(run.finished) << c.demo << " --help did not end";
        EXPECT_EQ(run.status, 0) << c.demo << ": " << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(QLatin1String(c.option))) << c.demo << ":\n"
                                                               << run.out.toStdString();
    }
}

TEST(DemoPrograms, BadOptionsAreRefused) {
    struct Case {
        const char* demo;
        QStringList args;
        const char* said;
    };
    const Case cases[] = {
        {"caption-demo", {"--frobnicate"}, "frobnicate"},
        {"border-demo", {"--frobnicate"}, "frobnicate"},
        {"winstyle-demo", {"--frobnicate"}, "frobnicate"},
        // Reaches the demo past Qt's own options: Qt takes --style N.
        {"caption-demo", {"--caption-style", "wide"}, "--caption-style takes a whole number"},
    };
    for (const Case& c : cases) {
        const DemoRun run = RunDemo(QString::fromLatin1(c.demo), c.args);
        ASSERT_TRUE(run.finished) << c.demo;
        EXPECT_EQ(run.status, 2) << c.demo;
        EXPECT_TRUE(run.err.contains(QLatin1String(c.said))) << run.err.toStdString();
    }
}

} // namespace
