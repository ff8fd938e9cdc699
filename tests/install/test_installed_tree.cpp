// An installed Varnel: the tree that `cmake --install` lays out, and its
// programs started from there. The tree under test is VARNEL_INSTALLED_ROOT
// when set (CI points it at the usr/ of both Debian packages unpacked
// together); otherwise a DESTDIR-staged install of this build to an unusual
// prefix, made per test. The command-line part alone (the cli component, the
// package varnel-cli) is VARNEL_INSTALLED_CLI_ROOT when set, or a staged
// install of that component only.

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const QString kAppId = QStringLiteral(VARNEL_APP_ID);

struct ProgramRun {
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
};

QProcessEnvironment ProgramEnvironment(const QString& lang) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LANG"), lang);
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_MESSAGES"));
    // The dynamic loader names every library it opens, with the path it used.
    env.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
    return env;
}

ProgramRun RunProgram(const QString& program, const QStringList& args,
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    ProgramRun run;
    run.finished = process.waitForFinished(120000);
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    return run;
}

// The loader's line for a library loaded from exactly path: written once it
// is in memory (its "file=" line comes before the open, found or not).
QString LoadedLine(const QString& path) {
    return QStringLiteral("calling init: %1\n").arg(path);
}

// The tree named by the environment variable, or this build installed into
// stage (one component, or all when component is empty).
void FindOrStageTree(const char* variable, const QTemporaryDir& stage, const QString& component,
                     QString& root) {
    const QString given = qEnvironmentVariable(variable);
    if (!given.isEmpty()) {
        root = QFileInfo(given).canonicalFilePath();
        ASSERT_FALSE(root.isEmpty()) << "no such folder: " << given.toStdString();
        return;
    }
    ASSERT_TRUE(stage.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), stage.path());
    QStringList args = {QStringLiteral("--install"), QStringLiteral(VARNEL_BUILD_DIR),
                        QStringLiteral("--prefix"), QStringLiteral("/opt/varnel test")};
    if (!component.isEmpty()) {
        args << QStringLiteral("--component") << component;
    }
    const ProgramRun install = RunProgram(QStringLiteral(VARNEL_CMAKE_COMMAND), args, env);
    ASSERT_TRUE(install.finished && install.exitCode == 0) << install.err.toStdString();
    root = QFileInfo(stage.path() + QStringLiteral("/opt/varnel test")).canonicalFilePath();
    ASSERT_FALSE(root.isEmpty());
}

// A file holding "abc" in dir.
QString WriteInputFile(const QTemporaryDir& dir) {
    EXPECT_TRUE(dir.isValid());
    QString path = dir.path() + QStringLiteral("/input.bin");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("abc");
    return path;
}

// varnel-report --lang taiwan on input, the loader naming what it loads.
ProgramRun ReportInTraditional(const QString& program, const QString& input) {
    return RunProgram(program, {QStringLiteral("--lang"), QStringLiteral("taiwan"), input},
                      ProgramEnvironment(QStringLiteral("en_US.UTF-8")));
}

// Every file below root (links included), relative to it.
std::set<QString> FilesBelow(const QString& root) {
    std::set<QString> found;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        found.insert(it.next().mid(root.size() + 1));
    }
    return found;
}

class InstalledTreeTest : public ::testing::Test {
protected:
    void SetUp() override { FindOrStageTree("VARNEL_INSTALLED_ROOT", m_Stage, {}, m_Root); }

    QString At(const QString& relative) const { return m_Root + QLatin1Char('/') + relative; }

    QString MakeInputFile() { return WriteInputFile(m_Work); }

    QTemporaryDir m_Stage;
    QTemporaryDir m_Work;
    QString m_Root;
};

TEST_F(InstalledTreeTest, TreeHoldsTheRunTimeFilesAndTheCommandLinks) {
    enum Kind { Program, Data, Link };
    struct Entry {
        const char* path;
        Kind kind;
        const char* linkTarget; // for links: the file it resolves to
    };
    const std::vector<Entry> entries = {
        {"lib/varnel/Varnel/Varnel", Program, nullptr},
        {"lib/varnel/Varnel/varnel-report", Program, nullptr},
        {"lib/varnel/Varnel/varnel-skin", Program, nullptr},
        {"lib/varnel/Varnel/Skins/Skin20.dll", Data, nullptr},
        {"lib/varnel/Librarys/libGB2BIG5.so", Data, nullptr},
        {"bin/varnel", Link, "lib/varnel/Varnel/Varnel"},
        {"bin/varnel-report", Link, "lib/varnel/Varnel/varnel-report"},
        {"bin/varnel-skin", Link, "lib/varnel/Varnel/varnel-skin"},
        {"share/applications/" VARNEL_APP_ID ".desktop", Data, nullptr},
        {"share/metainfo/" VARNEL_APP_ID ".metainfo.xml", Data, nullptr},
        {"share/man/man1/varnel.1.gz", Data, nullptr},
        {"share/man/man1/varnel-report.1.gz", Data, nullptr},
        {"share/man/man1/varnel-skin.1.gz", Data, nullptr},
        {"share/doc/varnel/copyright", Data, nullptr},
        {"share/doc/varnel/changelog.gz", Data, nullptr},
        {"share/doc/varnel-cli/copyright", Data, nullptr},
        {"share/doc/varnel-cli/changelog.gz", Data, nullptr},
        {"share/bash-completion/completions/varnel-report", Data, nullptr},
        {"share/bash-completion/completions/varnel-skin", Data, nullptr},
        {"share/bash-completion/completions/varnel", Data, nullptr},
        {"share/applications/" VARNEL_APP_ID ".Verify.desktop", Data, nullptr},
        {"share/mime/packages/" VARNEL_APP_ID ".xml", Data, nullptr},
        // KIO 6 runs only service menus that are executable.
        {"share/kio/servicemenus/varnel-dolphin-report.desktop", Program, nullptr},
        {"share/kio/servicemenus/varnel-dolphin-verify.desktop", Program, nullptr},
        {"share/kio/servicemenus/varnel-dolphin-compare.desktop", Program, nullptr},
        {"share/nautilus-python/extensions/varnel_nautilus.py", Data, nullptr},
        {"share/nemo/actions/varnel-report.nemo_action", Data, nullptr},
        {"share/nemo/actions/varnel-verify.nemo_action", Data, nullptr},
        {"share/nemo/actions/varnel-compare.nemo_action", Data, nullptr},
        {"share/nemo/actions/varnel-nemo-open", Program, nullptr},
    };
    for (const Entry& entry : entries) {
        SCOPED_TRACE(entry.path);
        const QFileInfo info(At(QString::fromLatin1(entry.path)));
        switch (entry.kind) {
        case Program:
            EXPECT_TRUE(info.isFile() && !info.isSymLink() && info.isExecutable());
            break;
        case Data:
            EXPECT_TRUE(info.isFile() && !info.isSymLink() && info.size() > 0);
            break;
        case Link:
            ASSERT_TRUE(info.isSymLink());
            const QByteArray raw = QFile::encodeName(info.filePath());
            std::vector<char> buffer(4096);
            const ssize_t length = ::readlink(raw.constData(), buffer.data(), buffer.size());
            ASSERT_GT(length, 0);
            // Relative, so that a staged or unpacked tree works where it lies.
            EXPECT_NE(buffer[0], '/');
            EXPECT_EQ(info.canonicalFilePath(), At(QString::fromLatin1(entry.linkTarget)));
            break;
        }
    }

    // The run-time tree holds the programs and their files, nothing else of
    // the build (tests, demos, generators).
    const std::set<QString> expected = {
        QStringLiteral("Varnel/Varnel"),          QStringLiteral("Varnel/varnel-report"),
        QStringLiteral("Varnel/varnel-skin"),     QStringLiteral("Varnel/Skins/Skin20.dll"),
        QStringLiteral("Librarys/libGB2BIG5.so"),
    };
    EXPECT_EQ(FilesBelow(At(QStringLiteral("lib/varnel"))), expected);

    // A staged install is packaged: the package manager builds the MIME
    // caches where the package lands, and no package holds them.
    for (const char* cache : {"share/mime/mime.cache", "share/applications/mimeinfo.cache"}) {
        EXPECT_FALSE(QFileInfo::exists(At(QString::fromLatin1(cache)))) << cache;
    }
}

// Dolphin's service menus hand URIs to the helper by its path under the
// prefix they were installed for ("/opt/varnel test", or /usr in the package),
// quoted as a desktop entry quotes an argument.
TEST_F(InstalledTreeTest, ServiceMenusNameTheUriHelperOfTheirPrefix) {
    const QRegularExpression exec(QStringLiteral("^Exec=\"(/[^\"\\\\$`%]*)/share/nemo/actions/"
                                                 "varnel-nemo-open\" (report|verify|compare) %U$"),
                                  QRegularExpression::MultilineOption);
    for (const char* kind : {"report", "verify", "compare"}) {
        SCOPED_TRACE(kind);
        QFile menu(At(QStringLiteral("share/kio/servicemenus/varnel-dolphin-%1.desktop")
                          .arg(QLatin1String(kind))));
        ASSERT_TRUE(menu.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(menu.readAll());
        const QRegularExpressionMatch match = exec.match(text);
        ASSERT_TRUE(match.hasMatch()) << text.toStdString();
        EXPECT_TRUE(m_Root.endsWith(match.captured(1))) << m_Root.toStdString();
        EXPECT_EQ(match.captured(2), QLatin1String(kind));
    }
}

TEST_F(InstalledTreeTest, IconsHaveTheirThemeSizesAndTheDesktopEntryNamesThem) {
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const QImage icon(
            At(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId)));
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_TRUE(icon.hasAlphaChannel());
        // Something is drawn, and the corners stay clear.
        EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0);
        EXPECT_GT(icon.pixelColor(size / 2, size / 2).alpha(), 0);
    }

    QFile desktop(At(QStringLiteral("share/applications/%1.desktop").arg(kAppId)));
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly));
    const QString entry = QString::fromUtf8(desktop.readAll());
    const auto value = [&entry](const char* key) {
        const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(QLatin1String(key)),
                                      QRegularExpression::MultilineOption);
        return line.match(entry).captured(1);
    };
    EXPECT_EQ(value("Icon"), kAppId);
    EXPECT_EQ(value("Exec"), QStringLiteral("varnel -- %F"));
    EXPECT_TRUE(QFileInfo(At(QStringLiteral("bin/varnel"))).isExecutable());
}

TEST_F(InstalledTreeTest, ReportFindsTheConversionLibraryOfItsTree) {
    const QString input = MakeInputFile();
    const ProgramRun run = ReportInTraditional(At(QStringLiteral("bin/varnel-report")), input);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    // The labels are converted through the library: 称 becomes 稱.
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("文件名稱：") + input + QStringLiteral("\r\n")))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("900150983CD24FB0D6963F7D28E17F72")))
        << "MD5 of \"abc\" (RFC 1321)";
    EXPECT_TRUE(
        run.err.contains(LoadedLine(At(QStringLiteral("lib/varnel/Librarys/libGB2BIG5.so")))))
        << run.err.toStdString();
}

TEST_F(InstalledTreeTest, SkinToolReadsTheInstalledSkin) {
    const ProgramRun run = RunProgram(
        At(QStringLiteral("bin/varnel-skin")),
        {QStringLiteral("list"), At(QStringLiteral("lib/varnel/Varnel/Skins/Skin20.dll"))});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_GE(run.out.count(QLatin1Char('\n')), 10) << run.out.toStdString();
}

TEST_F(InstalledTreeTest, WindowStartsAndFindsItsLibraryFromTheTree) {
    const QString input = MakeInputFile();
    QProcess window;
    // Traditional Chinese converts the captions at start, through the library.
    window.setProcessEnvironment(ProgramEnvironment(QStringLiteral("zh_TW.UTF-8")));
    // The loader writes to standard error; waiting for output means that.
    window.setReadChannel(QProcess::StandardError);
    window.start(At(QStringLiteral("bin/varnel")), {input});
    ASSERT_TRUE(window.waitForStarted(30000));

    const QString wanted = LoadedLine(At(QStringLiteral("lib/varnel/Librarys/libGB2BIG5.so")));
    QString err;
    const QDeadlineTimer deadline(60000);
    while (!err.contains(wanted) && window.state() == QProcess::Running && !deadline.hasExpired()) {
        window.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        err += QString::fromUtf8(window.readAllStandardError());
    }
    EXPECT_TRUE(err.contains(wanted)) << err.right(4000).toStdString();
    // Still running: it started, reported its file and waits for the user.
    EXPECT_EQ(window.state(), QProcess::Running) << "exit code " << window.exitCode() << "\n"
                                                 << err.right(4000).toStdString();
    window.kill();
    window.waitForFinished(30000);
}

TEST_F(InstalledTreeTest, ManualPagesFollowTheProgramsHelp) {
    for (const char* program : {"varnel-report", "varnel-skin"}) {
        SCOPED_TRACE(program);
        const QString name = QString::fromLatin1(program);
        const ProgramRun help =
            RunProgram(At(QStringLiteral("bin/") + name), {QStringLiteral("--help")});
        ASSERT_TRUE(help.finished && help.exitCode == 0);
        const ProgramRun page = RunProgram(
            QStringLiteral("gzip"),
            {QStringLiteral("-dc"), At(QStringLiteral("share/man/man1/%1.1.gz").arg(name))});
        ASSERT_TRUE(page.finished && page.exitCode == 0) << page.err.toStdString();
        QString text = page.out;
        text.replace(QLatin1String("\\-"), QLatin1String("-"));
        EXPECT_TRUE(text.contains(QStringLiteral(".TH %1 ").arg(name.toUpper())));
        // Every option and subcommand word the program's help names is in
        // its page.
        const QRegularExpression word(QStringLiteral("(--[a-z0-9-]+|^\\S+(?=\\s{2,}))"),
                                      QRegularExpression::MultilineOption);
        int checked = 0;
        for (auto match = word.globalMatch(help.out); match.hasNext();) {
            const QString token = match.next().captured(1);
            EXPECT_TRUE(text.contains(token)) << token.toStdString();
            ++checked;
        }
        EXPECT_GE(checked, 3) << help.out.toStdString();
    }
}

// Installed straight into a prefix (no DESTDIR), the window's part rebuilds
// the prefix's MIME database and desktop entries' MIME cache, so that a
// checksum list has its type there and the verify window is offered for it.
TEST(InstalledIntoAPrefix, BuildsTheMimeCachesOfThePrefix) {
    const QString mimeTool = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
    const QString desktopTool =
        QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (mimeTool.isEmpty() && desktopTool.isEmpty()) {
        GTEST_SKIP() << "neither update-mime-database nor update-desktop-database is installed";
    }
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString prefix = work.path() + QStringLiteral("/prefix");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DESTDIR"));
    const ProgramRun install = RunProgram(
        QStringLiteral(VARNEL_CMAKE_COMMAND),
        {QStringLiteral("--install"), QStringLiteral(VARNEL_BUILD_DIR), QStringLiteral("--prefix"),
         prefix, QStringLiteral("--component"), QStringLiteral("window")},
        env);
    ASSERT_TRUE(install.finished && install.exitCode == 0) << install.err.toStdString();

    if (!desktopTool.isEmpty()) {
        QFile cache(prefix + QStringLiteral("/share/applications/mimeinfo.cache"));
        ASSERT_TRUE(cache.open(QIODevice::ReadOnly));
        EXPECT_TRUE(
            cache.readAll().contains("\ntext/x-checksum-list=" VARNEL_APP_ID ".Verify.desktop;"));
    }
    if (mimeTool.isEmpty()) {
        return;
    }
    ASSERT_TRUE(QFileInfo::exists(prefix + QStringLiteral("/share/mime/mime.cache")));
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty()) {
        return;
    }
    // GIO reads the type from the prefix's cache alone; the file's text keeps
    // it from being taken for an empty file.
    for (const char* name : {"x.sha256", "SHA256SUMS"}) {
        SCOPED_TRACE(name);
        const QString list = work.path() + QLatin1Char('/') + QLatin1String(name);
        QFile file(list);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  abc\n");
        file.close();
        QProcessEnvironment query = QProcessEnvironment::systemEnvironment();
        query.insert(QStringLiteral("XDG_DATA_DIRS"), prefix + QStringLiteral("/share"));
        query.insert(QStringLiteral("XDG_DATA_HOME"), work.path() + QStringLiteral("/home"));
        const ProgramRun info = RunProgram(gio,
                                           {QStringLiteral("info"), QStringLiteral("-a"),
                                            QStringLiteral("standard::content-type"), list},
                                           query);
        ASSERT_TRUE(info.finished && info.exitCode == 0) << info.err.toStdString();
        EXPECT_TRUE(
            info.out.contains(QStringLiteral("standard::content-type: text/x-checksum-list\n")))
            << info.out.toStdString();
    }
}

// The command-line part on its own (the package varnel-cli): exactly
// varnel-report with its conversion library, page, completion and notices,
// and it runs there, Traditional labels included.
TEST(InstalledCommandLinePart, HoldsTheReportProgramAloneAndRunsOnItsOwn) {
    QTemporaryDir stage;
    QString root;
    FindOrStageTree("VARNEL_INSTALLED_CLI_ROOT", stage, QStringLiteral("cli"), root);
    if (root.isEmpty()) {
        return;
    }
    const std::set<QString> expected = {
        QStringLiteral("bin/varnel-report"),
        QStringLiteral("lib/varnel/Varnel/varnel-report"),
        QStringLiteral("lib/varnel/Librarys/libGB2BIG5.so"),
        QStringLiteral("share/man/man1/varnel-report.1.gz"),
        QStringLiteral("share/bash-completion/completions/varnel-report"),
        QStringLiteral("share/doc/varnel-cli/copyright"),
        QStringLiteral("share/doc/varnel-cli/changelog.gz"),
    };
    EXPECT_EQ(FilesBelow(root), expected);

    QTemporaryDir work;
    const QString input = WriteInputFile(work);
    const ProgramRun run = ReportInTraditional(root + QStringLiteral("/bin/varnel-report"), input);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("文件名稱：") + input + QStringLiteral("\r\n")))
        << run.out.toStdString();
    // Nothing of Qt's GUI layers is loaded.
    EXPECT_FALSE(run.err.contains(QStringLiteral("libQt6Gui")) ||
                 run.err.contains(QStringLiteral("libQt6Widgets")))
        << run.err.toStdString();
}

} // namespace
