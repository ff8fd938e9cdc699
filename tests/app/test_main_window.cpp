// The main window driven through real events: clicks, mouse moves, drops and
// the clipboard, with the dialogs answered by a script. Expected digests come
// from Python's hashlib and zlib, never from the program's own code.

#include "app/common_md5_view.h"
#include "app/links.h"
#include "app/program_windows_module.h"
#include "i18n/big5.h"
#include "i18n/language.h"
#include "report/report_services.h"
#include "tests/app/fake_services.h"
#include "tests/support/fault_fs.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace varnel {
namespace {

using test::RecordingLinkOpener;
using test::ScriptedDialogs;

// Facts of a file as Python computes them.
struct PyFacts {
    std::string md5;
    std::string sha1;
    std::string crc32;
    std::string size;
};

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

PyFacts PythonFacts(const std::string& path) {
    const std::string command =
        "python3 -c \"import hashlib,sys,zlib;d=open(bytes.fromhex(sys.argv[1]),'rb').read();"
        "print(hashlib.md5(d).hexdigest().upper(),hashlib.sha1(d).hexdigest().upper(),"
        "'%08X'%zlib.crc32(d),len(d))\" " +
        Hex(path);
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    if (pipe == nullptr) {
        return {};
    }
    std::array<char, 256> line{};
    std::string out;
    while (fgets(line.data(), static_cast<int>(line.size()), pipe) != nullptr) {
        out += line.data();
    }
    pclose(pipe);
    PyFacts facts;
    const auto take = [&out](std::string& field) {
        const std::size_t start = out.find_first_not_of(' ');
        const std::size_t end = out.find_first_of(" \n", start);
        field = out.substr(start, end - start);
        out.erase(0, end == std::string::npos ? out.size() : end + 1);
    };
    take(facts.md5);
    take(facts.sha1);
    take(facts.crc32);
    take(facts.size);
    return facts;
}

std::string ModifiedText(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return {};
    }
    const auto when = std::chrono::sys_seconds(std::chrono::seconds(info.st_mtime));
    return MakeReportServices().formatTime(when);
}

// The block of the designed format, with the default options (SHA-1, time,
// size) unless told otherwise.
std::string ExpectedBlock(const std::string& path, bool sha1 = true, bool crc = false,
                          bool time = true, bool size = true) {
    const PyFacts facts = PythonFacts(path);
    std::string block = "文件名称：" + path + "\r\n";
    if (size) {
        block += "文件大小：" + facts.size + " 字节\r\n";
    }
    if (time) {
        block += "修改时间：" + ModifiedText(path) + "\r\n";
    }
    if (crc) {
        block += "CRC32值 ：" + facts.crc32 + "\r\n";
    }
    if (sha1) {
        block += "SHA1值   ：" + facts.sha1 + "\r\n";
    }
    block += "MD5值     ：" + facts.md5 + "\r\n\r\n";
    return block;
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

int CountBlocks(const QString& report) {
    return static_cast<int>(report.count(u"文件名称："));
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        UiLanguage.clear();
        ASSERT_TRUE(m_Temp.isValid());
        m_Dir = QFile::encodeName(m_Temp.path()).toStdString();
        MakeWindow();
    }

    void MakeWindow() {
        window = std::make_unique<Common_MD5_View>();
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs = scripted.get();
        window->setDialogService(std::move(scripted));
        window->setLinkOpener(std::make_unique<RecordingLinkOpener>(openedLinks));
    }

    template <typename T> T* Control(const char* name) {
        T* control = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QPushButton* Button(int n) {
        return Control<QPushButton>(("Command" + std::to_string(n)).c_str());
    }
    QCheckBox* Check(int n) { return Control<QCheckBox>(("Check" + std::to_string(n)).c_str()); }
    QPlainTextEdit* Text1() { return Control<QPlainTextEdit>("Text1"); }

    std::string Path(const std::string& name) const { return m_Dir + "/" + name; }
    std::string MakeFile(const std::string& name, const std::string& content) {
        std::string path = Path(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, content);
        return path;
    }

    // A click as the user makes it. Reports run on worker threads: a click
    // that starts one waits, with the event loop turning, until the report
    // has ended (and all it started after it), as the user waits to read it.
    void Click(QWidget* control) {
        const bool runningBefore = window->IsReportRunning();
        QTest::mouseClick(control, Qt::LeftButton);
        if (!runningBefore) {
            Settle();
        }
    }

    void Settle() {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !window->IsReportRunning(); }, 120000));
    }

    void Hover(QWidget* control) {
        const QPointF local(control->width() / 2.0, control->height() / 2.0);
        QMouseEvent move(QEvent::MouseMove, local, control->mapToGlobal(local), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(control, &move);
    }

    // Drops mime on Text1 as the window system delivers it: to the viewport.
    bool Drop(QMimeData& mime, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
        QWidget* target = Text1()->viewport();
        const QPointF where(10, 10);
        QDragEnterEvent enter(where.toPoint(), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(where, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        const bool runningBefore = window->IsReportRunning();
        QApplication::sendEvent(target, &drop);
        if (!runningBefore) {
            Settle();
        }
        if (drop.isAccepted()) {
            EXPECT_EQ(drop.dropAction(), Qt::CopyAction) << "a drop must never be taken as a move";
        }
        return drop.isAccepted();
    }

    // File URLs as a file manager sends them: the path's bytes percent-encoded.
    static QMimeData* FilesMime(const std::vector<std::string>& paths) {
        auto* mime = new QMimeData;
        QList<QUrl> urls;
        for (const std::string& path : paths) {
            urls.append(QUrl::fromEncoded(QByteArrayLiteral("file://") +
                                          QByteArray::fromStdString(path).toPercentEncoding("/")));
        }
        mime->setUrls(urls);
        return mime;
    }

    QString Report() const { return window->ReportText(); }

    QTemporaryDir m_Temp;
    std::string m_Dir;
    std::unique_ptr<Common_MD5_View> window;
    ScriptedDialogs* dialogs = nullptr;
    QStringList openedLinks;
};

TEST_F(MainWindowTest, StartsAsDesigned) {
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnel2012"));
    EXPECT_EQ(window->size(), QSize(492, 339)); // 7380 x 5085 twips at 15 twips a pixel
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_FALSE(window->isVisible());

    struct Designed {
        int n;
        const char* caption;
        const char* hint;
        QRect rect; // pixels
    };
    const Designed buttons[] = {
        {1, "打开", "Open File", {16, 259, 66, 24}},
        {2, "批量", "Open Folder", {144, 259, 66, 24}},
        {3, "复制", "Copy Value", {272, 259, 66, 24}},
        {4, "清除", "Clear Value", {400, 259, 66, 24}},
        {5, "关闭", "Close", {16, 296, 66, 24}},
        {6, "比较", "Comp", {144, 296, 66, 24}},
        {7, "更多工具", "More Tools", {272, 296, 66, 25}},
        {8, "关于作者", "About", {400, 296, 66, 25}},
    };
    for (const Designed& d : buttons) {
        QPushButton* button = Button(d.n);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromUtf8(d.caption)) << d.n;
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(d.hint)) << d.n;
        EXPECT_EQ(button->geometry(), d.rect) << d.n;
    }
    EXPECT_FALSE(Button(3)->isEnabled());
    EXPECT_FALSE(Button(4)->isEnabled());
    EXPECT_TRUE(Button(1)->isEnabled());

    const bool ticked[] = {true, true, false, true, true, false};
    const char* captions[] = {"MD5值.",    "SHA1值.",   "CRC32值.",
                              "修改时间.", "文件大小.", "文件版本."};
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(Check(n)->isChecked(), ticked[n - 1]) << n;
        EXPECT_EQ(Check(n)->text(), QString::fromUtf8(captions[n - 1]));
        EXPECT_TRUE(Check(n)->toolTip().isEmpty());
    }
    EXPECT_EQ(Text1()->geometry(), QRect(13, 40, 465, 169));
    EXPECT_FALSE(Text1()->isReadOnly());
    EXPECT_EQ(Text1()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(Text1()->viewport()->acceptDrops());
    EXPECT_FALSE(window->acceptDrops());
    EXPECT_FALSE(window->StopRequested());

    // Tab order: Command1, 4, 3, 5, Text1, Command2, Check1..6, Command7, 6, 8.
    const std::vector<QWidget*> order = {Button(1), Button(4), Button(3), Button(5), Text1(),
                                         Button(2), Check(1),  Check(2),  Check(3),  Check(4),
                                         Check(5),  Check(6),  Button(7), Button(6), Button(8)};
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        while (next != nullptr && next->focusPolicy() == Qt::NoFocus && next != order[i + 1]) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next, order[i + 1]) << "after " << order[i]->objectName().toStdString();
    }

    for (const char* name : {"Image1", "Image2", "Image3"}) {
        QWidget* image = window->findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(image, nullptr) << name;
        EXPECT_TRUE(image->isHidden()) << name;
    }
    // Image4 holds no picture and so shows nothing where it stands.
    auto* image4 = window->findChild<QLabel*>(QStringLiteral("Image4"));
    ASSERT_NE(image4, nullptr);
    EXPECT_TRUE(image4->pixmap().isNull());
}

TEST_F(MainWindowTest, TabKeysInTheReportMoveAlongTheTabOrder) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Text1()->setPlainText(QStringLiteral("report"));
    struct Step {
        Qt::KeyboardModifiers modifiers;
        QWidget* expected;
    };
    for (const Step& step : {Step{Qt::NoModifier, Button(2)}, Step{Qt::ShiftModifier, Button(5)}}) {
        Text1()->setFocus();
        ASSERT_TRUE(Text1()->hasFocus());
        QTest::keyClick(Text1(), Qt::Key_Tab, step.modifiers);
        EXPECT_EQ(QApplication::focusWidget(), step.expected);
        EXPECT_EQ(Text1()->toPlainText(), QStringLiteral("report"));
    }
}

TEST_F(MainWindowTest, MainShowsTheOneMainWindow) {
    std::unique_ptr<Common_MD5_View> made;
    Main(made);
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->isVisible());
    Common_MD5_View* first = made.get();
    Main(made);
    EXPECT_EQ(made.get(), first);
    made->close();
    EXPECT_FALSE(made->isVisible());
}

TEST_F(MainWindowTest, ShowsCentredAndMovesWithTheLeftButtonOnly) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_LE(std::abs(window->geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(window->geometry().center().y() - screen.center().y()), 1);

    const QPoint start = window->pos();
    const QPoint grab(5, 5); // window background, no control there
    QTest::mousePress(window.get(), Qt::RightButton, Qt::NoModifier, grab);
    QTest::mouseMove(window.get(), grab + QPoint(40, 30));
    QTest::mouseRelease(window.get(), Qt::RightButton, Qt::NoModifier, grab + QPoint(40, 30));
    EXPECT_EQ(window->pos(), start);

    QTest::mousePress(window.get(), Qt::LeftButton, Qt::NoModifier, grab);
    QTest::mouseMove(window.get(), grab + QPoint(40, 30));
    QTest::mouseRelease(window.get(), Qt::LeftButton, Qt::NoModifier, grab + QPoint(40, 30));
    EXPECT_EQ(window->pos(), start + QPoint(40, 30));
}

TEST_F(MainWindowTest, DoubleClickOnTheBackgroundClosesButNotOnAControl) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    // A check box's rectangle reaches beyond its caption; a double click there
    // belongs to the box.
    QCheckBox* box = Check(6);
    QTest::mouseDClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(box->width() - 2, 2));
    EXPECT_TRUE(window->isVisible());
    QTest::mouseDClick(window.get(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, CloseButtonClosesTheWindow) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    Click(Button(5));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, OpenReportsTheChosenFile) {
    const std::string path = MakeFile("a.txt", "hello, world\n");
    dialogs->fileAnswers = {QString::fromStdString(path)};
    Click(Button(1));

    ASSERT_EQ(dialogs->fileFilters.size(), 1);
    EXPECT_EQ(dialogs->fileFilters.first(),
              QStringLiteral("Exe File (*.exe;*.dll;*.ocx)|*.exe;*.dll;*.ocx|File (*.*)|*.*"));
    const std::string expected = ExpectedBlock(path);
    EXPECT_EQ(Report().toStdString(), expected);
    // The box shows the same text, one line per report line.
    QString shown = QString::fromStdString(expected);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(Text1()->toPlainText(), shown);
    // One paragraph holds the block: its five lines, each ended by a line
    // separator (the last one opens the empty line); the caret's line follows.
    EXPECT_EQ(Text1()->document()->blockCount(), 2);
    EXPECT_EQ(Text1()->document()->firstBlock().text().count(QChar::LineSeparator), 5);
    EXPECT_EQ(Text1()->textCursor().position(), Text1()->document()->characterCount() - 1);
    EXPECT_EQ(window->FilePath(), QString::fromStdString(path));
    EXPECT_TRUE(Button(3)->isEnabled());
    EXPECT_TRUE(Button(4)->isEnabled());
    EXPECT_TRUE(Text1()->updatesEnabled());
}

TEST_F(MainWindowTest, CancelledOpenChangesNothing) {
    Click(Button(1));
    EXPECT_EQ(dialogs->fileFilters.size(), 1);
    EXPECT_TRUE(Report().isEmpty());
    EXPECT_FALSE(Button(3)->isEnabled());
    EXPECT_FALSE(Button(4)->isEnabled());
}

TEST_F(MainWindowTest, OptionsAreReadAtEachReport) {
    const std::string path = MakeFile("b.bin", std::string(70000, '\x5a'));
    dialogs->fileAnswers = {QString::fromStdString(path), QString::fromStdString(path)};
    Click(Button(1));
    // All off but MD5 (which cannot be switched off), then CRC-32 on.
    for (int n : {2, 4, 5}) {
        Click(Check(n));
    }
    Click(Check(3));
    Click(Button(1));
    EXPECT_EQ(Report().toStdString(),
              ExpectedBlock(path) + ExpectedBlock(path, false, true, false, false));
}

TEST_F(MainWindowTest, Check1StaysTicked) {
    Click(Check(1));
    EXPECT_TRUE(Check(1)->isChecked());
    Click(Check(1));
    EXPECT_TRUE(Check(1)->isChecked());
    QTest::keyClick(Check(1), Qt::Key_Space);
    EXPECT_TRUE(Check(1)->isChecked());
    Click(Check(2));
    EXPECT_FALSE(Check(2)->isChecked());
}

TEST_F(MainWindowTest, CompareReportsTwoFilesAndAsksTwiceWhenTheFirstIsCancelled) {
    const std::string a = MakeFile("a.dll", "first");
    const std::string b = MakeFile("b.exe", "second file");
    dialogs->fileAnswers = {QString::fromStdString(a), QString::fromStdString(b)};
    Click(Button(6));
    EXPECT_EQ(Report().toStdString(), ExpectedBlock(a) + ExpectedBlock(b));

    Click(Button(4));
    dialogs->fileAnswers = {QString(), QString::fromStdString(b)};
    Click(Button(6));
    EXPECT_EQ(dialogs->fileFilters.size(), 4);
    EXPECT_EQ(Report().toStdString(), ExpectedBlock(b));
}

TEST_F(MainWindowTest, CopyPutsTheExactReportOnTheClipboard) {
    const std::string a = MakeFile("one.txt", "1");
    const std::string b = MakeFile("two.txt", "22");
    dialogs->fileAnswers = {QString::fromStdString(a), QString::fromStdString(b)};
    Click(Button(1));
    Click(Button(1));
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    Click(Button(3));
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_EQ(copied.toStdString(), ExpectedBlock(a) + ExpectedBlock(b));
    EXPECT_EQ(copied.count(QStringLiteral("\r\n")), copied.count(QLatin1Char('\n')));
    EXPECT_EQ(Text1()->textCursor().selectedText().size(), Text1()->toPlainText().size());

    // Text typed by the user is part of what is copied, still with CR LF.
    Text1()->moveCursor(QTextCursor::End);
    QTest::keyClicks(Text1(), QStringLiteral("note"));
    Click(Button(3));
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              ExpectedBlock(a) + ExpectedBlock(b) + "note");
}

TEST_F(MainWindowTest, ClearEmptiesTheTextAndDisablesCopyAndClear) {
    const std::string a = MakeFile("one.txt", "1");
    dialogs->fileAnswers = {QString::fromStdString(a)};
    Click(Button(1));
    Click(Button(4));
    EXPECT_TRUE(Text1()->toPlainText().isEmpty());
    EXPECT_TRUE(Report().isEmpty());
    EXPECT_FALSE(Button(3)->isEnabled());
    EXPECT_FALSE(Button(4)->isEnabled());
}

TEST_F(MainWindowTest, DroppedFileIsReported) {
    const std::string a = MakeFile("dropped.ocx", std::string(32769, 'x'));
    std::unique_ptr<QMimeData> mime(FilesMime({a}));
    EXPECT_TRUE(Drop(*mime));
    EXPECT_EQ(Report().toStdString(), ExpectedBlock(a));
    EXPECT_TRUE(Button(3)->isEnabled());
    EXPECT_TRUE(Button(4)->isEnabled());
}

TEST_F(MainWindowTest, SeveralDroppedItemsAreEachReportedInDropOrder) {
    const std::string a = MakeFile("z-last-by-name", "A");
    const std::string b = MakeFile("a-first-by-name", "BB");
    const std::string c = MakeFile("m", "");
    std::unique_ptr<QMimeData> mime(FilesMime({a, b, c}));
    EXPECT_TRUE(Drop(*mime));
    EXPECT_EQ(Report().toStdString(), ExpectedBlock(a) + ExpectedBlock(b) + ExpectedBlock(c));
}

TEST_F(MainWindowTest, DroppedFolderGetsItsOwnBlockThenOneBlockPerFile) {
    const std::string a = MakeFile("tree/a", "a");
    const std::string b = MakeFile("tree/b", "bb");
    const std::string c = MakeFile("tree/s/c", "ccc");
    MakeFile("tree/.hidden", "h");
    const std::string folder = Path("tree");
    std::unique_ptr<QMimeData> mime(FilesMime({folder}));
    EXPECT_TRUE(Drop(*mime));

    const std::string report = Report().toStdString();
    ASSERT_EQ(CountBlocks(Report()), 4) << report;
    EXPECT_EQ(report.rfind("文件名称：" + folder + "\r\n", 0), 0u)
        << "the folder's own block first";
    // a and b in directory order, then c from the subfolder.
    const std::string ab = ExpectedBlock(a) + ExpectedBlock(b);
    const std::string ba = ExpectedBlock(b) + ExpectedBlock(a);
    const std::string tail = report.substr(report.find("\r\n\r\n") + 4);
    EXPECT_TRUE(tail == ab + ExpectedBlock(c) || tail == ba + ExpectedBlock(c)) << tail;
    EXPECT_EQ(window->FolderPath(), QString::fromStdString(folder + "/"));
    EXPECT_EQ(window->FilePath(), QString::fromStdString(c));
    EXPECT_EQ(Button(5)->text(), QStringLiteral("关闭"));
    EXPECT_TRUE(Button(3)->isEnabled());
}

TEST_F(MainWindowTest, TextAndMoveOnlyDropsDoNothing) {
    QMimeData text;
    text.setText(QStringLiteral("just some words"));
    EXPECT_FALSE(Drop(text));
    EXPECT_TRUE(Text1()->toPlainText().isEmpty());
    EXPECT_FALSE(Button(3)->isEnabled());

    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.org/a.exe"))});
    EXPECT_FALSE(Drop(web));
    EXPECT_TRUE(Report().isEmpty());

    // A drag that can only move would have its source delete the file.
    const std::string a = MakeFile("keep.txt", "keep");
    std::unique_ptr<QMimeData> mime(FilesMime({a}));
    EXPECT_FALSE(Drop(*mime, Qt::MoveAction));
    EXPECT_TRUE(Report().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(a)));
}

TEST_F(MainWindowTest, OddNamesAreReadThroughTheirExactBytes) {
    // Not valid UTF-8, with a line feed inside and blanks at both ends.
    const std::string name = std::string(" odd\xff\xfe") + "\nname ";
    const std::string path = MakeFile(name, "odd content");
    std::unique_ptr<QMimeData> mime(FilesMime({path}));
    EXPECT_TRUE(Drop(*mime));
    const std::string report = Report().toStdString();
    const PyFacts facts = PythonFacts(path);
    EXPECT_NE(report.find("MD5值     ：" + facts.md5 + "\r\n"), std::string::npos) << report;
    EXPECT_NE(report.find("文件大小：11 字节\r\n"), std::string::npos) << report;
    // The name cannot add lines of its own: 5 lines and the empty line.
    EXPECT_EQ(Report().count(QStringLiteral("\r\n")), 6) << report;
    EXPECT_NE(report.find(" odd"), std::string::npos);
    std::filesystem::remove(path);
}

TEST_F(MainWindowTest, MissingFileGetsACalmBlock) {
    window->setFilePath(QString::fromStdString(Path("gone.exe")));
    window->ReportFile();
    Settle();
    const std::string report = Report().toStdString();
    EXPECT_EQ(report.rfind("文件名称：" + Path("gone.exe") + "\r\n", 0), 0u);
    EXPECT_EQ(report.find("文件大小："), std::string::npos);
    EXPECT_NE(report.find("MD5值     ："), std::string::npos);
    EXPECT_TRUE(report.ends_with("\r\n\r\n"));
}

// A folder of many files for the run tests.
std::string MakeManyFiles(const std::string& dir, int count) {
    std::filesystem::create_directories(dir);
    for (int i = 0; i < count; ++i) {
        WriteFile(dir + "/f" + std::to_string(i),
                  std::string(static_cast<std::size_t>(i % 97), 'q'));
    }
    return dir;
}

// A sparse file: its bytes read as zeros, and it takes no room on the disk.
std::string MakeSparseFile(const std::string& path, std::uint64_t size) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    { std::ofstream create(path, std::ios::binary); }
    std::filesystem::resize_file(path, size);
    return path;
}

TEST_F(MainWindowTest, StopDuringAFolderRunWritesNoMoreBlocks) {
    const std::string folder = MakeManyFiles(Path("many"), 400);
    // Walked last, a large file keeps the run going until the stop.
    MakeSparseFile(folder + "/zz/big.bin", 256u << 20);
    dialogs->folderAnswers = {QString::fromStdString(folder)};

    int turns = 0;
    int blocksAtStop = -1;
    bool commandsDisabledDuringRun = false;
    bool stopFaceDuringRun = false;
    bool dropRefusedDuringRun = false;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++turns;
        if (blocksAtStop < 0 && turns >= 5 && window->IsReportRunning()) {
            commandsDisabledDuringRun =
                !Button(1)->isEnabled() && !Button(2)->isEnabled() && !Button(6)->isEnabled();
            stopFaceDuringRun = Button(5)->text() == QStringLiteral("结束") &&
                                Button(5)->toolTip() == QStringLiteral("结束运行");
            const int before = CountBlocks(Report());
            std::unique_ptr<QMimeData> mime(FilesMime({folder}));
            dropRefusedDuringRun = !Drop(*mime) && CountBlocks(Report()) == before;
            blocksAtStop = CountBlocks(Report());
            Click(Button(5));
        }
    });
    ticker.start();
    Click(Button(2));
    ticker.stop();

    ASSERT_GE(blocksAtStop, 0) << "the run never yielded";
    // The stop takes effect at once: no block after the click.
    EXPECT_EQ(CountBlocks(Report()), blocksAtStop);
    EXPECT_TRUE(commandsDisabledDuringRun);
    EXPECT_TRUE(stopFaceDuringRun);
    EXPECT_TRUE(dropRefusedDuringRun);
    EXPECT_EQ(Button(5)->text(), QStringLiteral("关闭"));
    EXPECT_EQ(Button(5)->toolTip(), QStringLiteral("关闭退出"));
    EXPECT_FALSE(window->StopRequested());
    EXPECT_FALSE(window->IsReportRunning());
    EXPECT_TRUE(Text1()->updatesEnabled());
    EXPECT_TRUE(Button(1)->isEnabled());
    EXPECT_TRUE(Button(3)->isEnabled());
    EXPECT_EQ(dialogs->folderPrompts, QStringList{QStringLiteral("请选中文件夹,然后确定.")});

    // A later run starts afresh and reports every file.
    Click(Button(4));
    dialogs->folderAnswers = {QString::fromStdString(folder)};
    Click(Button(2));
    EXPECT_EQ(CountBlocks(Report()), 401);
}

// A folder report of many files appends its blocks over several turns and
// draws the box only now and then while it runs; at its end the box is drawn
// and shows every block, with its view and caret at the end.
TEST_F(MainWindowTest, AFolderReportEndsWithTheBoxDrawnAtItsEnd) {
    const std::string folder = MakeManyFiles(Path("many"), 3000);
    dialogs->folderAnswers = {QString::fromStdString(folder)};
    Click(Button(2));
    const QString report = Report();
    EXPECT_EQ(CountBlocks(report), 3000);
    QString shown = report;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(Text1()->toPlainText(), shown);
    EXPECT_TRUE(Text1()->updatesEnabled());
    EXPECT_TRUE(Text1()->textCursor().atEnd());
    const QScrollBar* bar = Text1()->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
}

// A folder report on a file system whose reads come back short, whose sizes
// claim more than the files hold and whose reads fail: every block shows the
// bytes the file system really served, and a file that could not be read
// gets no digest.
TEST_F(MainWindowTest, AFolderReportShowsTheBytesServedWhateverTheReadsReturn) {
    if (const std::string& why = test::FaultFs::SkipReason(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    test::FaultFs fs;
    ASSERT_TRUE(fs.Live()) << fs.Error();
    const std::string folder = (fs.Path() / "files").string();
    dialogs->folderAnswers = {QString::fromStdString(folder)};
    Click(Button(2));
    const std::string report = Report().toStdString();
    const auto blockOf = [&report](const std::string& path) {
        const std::size_t start = report.find("文件名称：" + path + "\r\n");
        return start == std::string::npos
                   ? std::string()
                   : report.substr(start, report.find("\r\n\r\n", start) - start + 2);
    };
    std::size_t checked = 0;
    for (const auto& [name, served] : test::FaultFs::Manifest()) {
        if (name.rfind("files/", 0) != 0) {
            continue;
        }
        const std::string block = blockOf((fs.Path() / name).string());
        EXPECT_NE(block.find("文件大小：" + std::to_string(served.size) + " 字节\r\n"),
                  std::string::npos)
            << block;
        EXPECT_NE(
            block.find("SHA1值   ：" + served.sha1 + "\r\nMD5值     ：" + served.md5 + "\r\n"),
            std::string::npos)
            << block;
        ++checked;
    }
    EXPECT_GE(checked, 5u);
    for (const char* failing : {"eio-late", "eio-open"}) {
        EXPECT_NE(blockOf(folder + "/" + failing).find("MD5值     ：\r\n"), std::string::npos)
            << failing << " was given a digest";
    }
}

// The window's thread never blocks on a file: while a large file is read the
// event loop keeps turning, the Stop face is up, and the block appears only
// when the file is done. The file takes far longer to hash than an event
// loop turn, however loaded the machine.
TEST_F(MainWindowTest, TheWindowsThreadNeverWaitsForAFile) {
    const std::string big = MakeSparseFile(Path("big.bin"), 256u << 20);
    dialogs->fileAnswers = {QString::fromStdString(big)};
    int turnsWhileReading = 0;
    bool stopFaceWhileReading = false;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (window->IsReportRunning() && CountBlocks(Report()) == 0) {
            ++turnsWhileReading;
            stopFaceWhileReading = Button(5)->text() == QStringLiteral("结束");
        }
    });
    ticker.start();
    Click(Button(1));
    ticker.stop();
    EXPECT_GE(turnsWhileReading, 3);
    EXPECT_TRUE(stopFaceWhileReading);
    EXPECT_EQ(CountBlocks(Report()), 1);
    EXPECT_NE(Report().toStdString().find("MD5值     ：" + PythonFacts(big).md5),
              std::string::npos);
    EXPECT_EQ(Button(5)->text(), QStringLiteral("关闭"));
}

// Stop during one large file abandons it: no block, the run ends at the click.
TEST_F(MainWindowTest, StopDuringALargeFileEndsTheReportWithoutItsBlock) {
    const std::string big = MakeSparseFile(Path("big.bin"), 1u << 30);
    dialogs->fileAnswers = {QString::fromStdString(big)};
    bool runningAfterStop = true;
    QTimer::singleShot(0, [&] {
        Click(Button(5));
        runningAfterStop = window->IsReportRunning();
    });
    Click(Button(1));
    EXPECT_FALSE(runningAfterStop);
    EXPECT_EQ(CountBlocks(Report()), 0);
    EXPECT_EQ(Button(5)->text(), QStringLiteral("关闭"));
    EXPECT_TRUE(Button(1)->isEnabled());
}

// A run of more than half a second shows its progress in the window's title
// (files, bytes, speed), and the title is restored when it ends, here by Stop.
TEST_F(MainWindowTest, ALongRunShowsItsProgressInTheTitleUntilItEnds) {
    const std::string big = MakeSparseFile(Path("big.bin"), 4ull << 30);
    dialogs->fileAnswers = {QString::fromStdString(big)};
    const QString designed = window->windowTitle();
    QString progressTitle;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (progressTitle.isEmpty() && window->IsReportRunning() &&
            window->windowTitle() != designed) {
            progressTitle = window->windowTitle();
            Click(Button(5));
        }
    });
    ticker.start();
    Click(Button(1));
    ticker.stop();
    ASSERT_FALSE(progressTitle.isEmpty()) << "no progress was shown";
    EXPECT_TRUE(progressTitle.startsWith(designed + QStringLiteral(" - 已完成 0/1 个文件，")))
        << progressTitle.toStdString();
    EXPECT_TRUE(progressTitle.contains(QStringLiteral(" MB/s"))) << progressTitle.toStdString();
    EXPECT_EQ(window->windowTitle(), designed);
    EXPECT_EQ(CountBlocks(Report()), 0);
}

TEST_F(MainWindowTest, CopyAndClearDuringARunSeeEveryBlockWrittenSoFar) {
    // The small files come first in walk order; the large one in the
    // subfolder keeps the run going while the test copies and clears.
    const std::string folder = MakeManyFiles(Path("copy"), 300);
    const std::string big = MakeSparseFile(folder + "/zz/big.bin", 512u << 20);
    // A file reported first makes Copy and Clear available.
    dialogs->fileAnswers = {QString::fromStdString(MakeFile("first", "1"))};
    Click(Button(1));
    dialogs->folderAnswers = {QString::fromStdString(folder)};
    QString copied;
    QString reportAtCopy;
    QString shownAtCopy;
    bool clearedMidRun = false;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!window->IsReportRunning()) {
            return;
        }
        if (copied.isEmpty() && CountBlocks(Report()) == 301) {
            Click(Button(3));
            copied = QGuiApplication::clipboard()->text();
            reportAtCopy = Report();
            shownAtCopy = Text1()->toPlainText();
        } else if (!copied.isEmpty() && !clearedMidRun) {
            Click(Button(4));
            clearedMidRun = Text1()->toPlainText().isEmpty() && Report().isEmpty();
        }
    });
    ticker.start();
    Click(Button(2));
    ticker.stop();

    EXPECT_EQ(CountBlocks(copied), 301);
    EXPECT_EQ(copied, reportAtCopy);
    QString expectedShown = reportAtCopy;
    expectedShown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(shownAtCopy, expectedShown);
    ASSERT_TRUE(clearedMidRun) << "the large file was done before the test could clear";
    // Only the block after the clear remains, shown as it is reported.
    EXPECT_EQ(CountBlocks(Report()), 1);
    EXPECT_EQ(Report().toStdString().rfind("文件名称：" + big + "\r\n", 0), 0u);
    QString shown = Report();
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(Text1()->toPlainText(), shown);
}

TEST_F(MainWindowTest, CloseDuringARunWaitsForTheRunToStop) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const std::string folder = MakeManyFiles(Path("close"), 300);
    dialogs->folderAnswers = {QString::fromStdString(folder)};
    bool visibleAfterClose = false;
    int blocksAtClose = -1;
    QTimer::singleShot(0, [&] {
        blocksAtClose = CountBlocks(Report());
        window->close();
        visibleAfterClose = window->isVisible();
    });
    Click(Button(2));
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window->isVisible(); }));
    EXPECT_EQ(CountBlocks(Report()), blocksAtClose);
}

TEST_F(MainWindowTest, CancelledFolderPickerRestoresTheCloseFace) {
    QString faceWhilePicking;
    dialogs->whileOpen = [&] { faceWhilePicking = Button(5)->text(); };
    Click(Button(2));
    EXPECT_EQ(faceWhilePicking, QStringLiteral("结束"));
    EXPECT_EQ(Button(5)->text(), QStringLiteral("关闭"));
    EXPECT_TRUE(Report().isEmpty());
    EXPECT_FALSE(Button(3)->isEnabled());
}

TEST_F(MainWindowTest, OpenOfAFolderReportsTheFolder) {
    const std::string a = MakeFile("open/x", "x");
    dialogs->fileAnswers = {QString::fromStdString(Path("open"))};
    Click(Button(1));
    EXPECT_EQ(Report().toStdString(), ExpectedBlock(a));
    EXPECT_FALSE(Button(3)->isEnabled()) << "Copy and Clear are left as they were";
}

TEST_F(MainWindowTest, AboutTheAuthorOpensTheAuthorsPage) {
    Click(Button(8));
    EXPECT_EQ(openedLinks, QStringList{QString::fromLatin1(links::kAuthorPage)});
}

TEST_F(MainWindowTest, MoreToolsAsksForTheAboutWindow) {
    QSignalSpy spy(window.get(), &Common_MD5_View::moreToolsRequested);
    Click(Button(7));
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(MainWindowTest, HoverHintsWithoutALanguageKeepTheDesignedHints) {
    for (int n = 1; n <= 8; ++n) {
        const QString before = Button(n)->toolTip();
        Hover(Button(n));
        EXPECT_EQ(Button(n)->toolTip(), before) << n;
    }
    Hover(Check(2));
    EXPECT_TRUE(Check(2)->toolTip().isEmpty());
    EXPECT_EQ(Button(5)->toolTip(), QStringLiteral("Close"));

    // After a folder report the Close button carries its Chinese hint.
    const std::string folder = MakeManyFiles(Path("hint"), 2);
    dialogs->folderAnswers = {QString::fromStdString(folder)};
    Click(Button(2));
    Hover(Button(5));
    EXPECT_EQ(Button(5)->toolTip(), QStringLiteral("关闭退出"));
}

// Without a language mode the Close button keeps its designed hint until the
// first folder report; a report of single files leaves it as it was.
TEST_F(MainWindowTest, CloseHintTurnsChineseOnlyAfterAFolderReport) {
    const std::string file = MakeFile("one/file.dll", "MZ");
    const std::string other = MakeFile("one/other.exe", "MZ2");
    const std::string folder = Path("one");
    const QString missing = QString::fromStdString(Path("gone"));
    struct Case {
        const char* what;
        std::function<void()> report;
        const char* hint;
    };
    const auto drop = [this](const std::vector<std::string>& paths) {
        std::unique_ptr<QMimeData> mime(FilesMime(paths));
        EXPECT_TRUE(Drop(*mime));
    };
    const Case cases[] = {
        {"drop of a file", [&] { drop({file}); }, "Close"},
        {"drop of two files",
         [&] {
             drop({file, other});
         },
         "Close"},
        {"open of a file",
         [&] {
             dialogs->fileAnswers = {QString::fromStdString(file)};
             Click(Button(1));
         },
         "Close"},
        {"compare",
         [&] {
             dialogs->fileAnswers = {QString::fromStdString(file), QString::fromStdString(other)};
             Click(Button(6));
         },
         "Close"},
        {"drop of a folder", [&] { drop({folder}); }, "关闭退出"},
        {"drop of a path that cannot be read", [&] { drop({missing.toStdString()}); }, "关闭退出"},
        {"open of a folder",
         [&] {
             dialogs->fileAnswers = {QString::fromStdString(folder)};
             Click(Button(1));
         },
         "关闭退出"},
        {"batch",
         [&] {
             dialogs->folderAnswers = {QString::fromStdString(folder)};
             Click(Button(2));
         },
         "关闭退出"},
    };
    for (const Case& c : cases) {
        MakeWindow();
        c.report();
        Settle();
        Hover(Button(5));
        EXPECT_EQ(Button(5)->text(), QStringLiteral("关闭")) << c.what;
        EXPECT_EQ(Button(5)->toolTip().toStdString(), c.hint) << c.what;
        EXPECT_GE(CountBlocks(Report()), 1) << c.what;
    }
}

TEST_F(MainWindowTest, HoverHintsInChineseMode) {
    UiLanguage = "CHINESE";
    const char* hints[] = {"打开文件", "打开目录",     "复制内容",     "清除内容",
                           "关闭退出", "比较两个文件", "更多实用工具", "关于作者"};
    Button(3)->setEnabled(true);
    Button(4)->setEnabled(true);
    for (int n = 1; n <= 8; ++n) {
        Hover(Button(n));
        EXPECT_EQ(Button(n)->toolTip(), QString::fromUtf8(hints[n - 1])) << n;
    }
    const char* checks[] = {"显示MD5值",    "显示SHA1值",   "显示CRC32值",
                            "显示修改时间", "显示文件大小", "显示文件版本"};
    for (int n = 1; n <= 6; ++n) {
        Hover(Check(n));
        EXPECT_EQ(Check(n)->toolTip(), QString::fromUtf8(checks[n - 1])) << n;
    }
}

class TaiwanModeTest : public MainWindowTest {
protected:
    void SetUp() override {
        detail::SetConversionLibraryPathForTesting(std::filesystem::path(VARNEL_GB2BIG5_LIBRARY));
        UiLanguage = "TAIWAN";
        ASSERT_TRUE(m_Temp.isValid());
        m_Dir = QFile::encodeName(m_Temp.path()).toStdString();
        MakeWindow();
    }
    void TearDown() override {
        UiLanguage.clear();
        detail::SetConversionLibraryPathForTesting(std::nullopt);
    }
};

TEST_F(TaiwanModeTest, CaptionsHintsAndLabelsAreConverted) {
    EXPECT_EQ(Button(1)->text(), QStringLiteral("打開"));
    EXPECT_EQ(Button(5)->text(), QStringLiteral("關閉"));
    EXPECT_EQ(Button(7)->text(), QStringLiteral("更多工具"));
    EXPECT_EQ(Button(8)->text(), QStringLiteral("關於作者"));
    EXPECT_EQ(Check(4)->text(), QStringLiteral("修改時間."));
    EXPECT_EQ(Check(5)->text(), QStringLiteral("文件大小."));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnel2012"));

    Hover(Button(1));
    EXPECT_EQ(Button(1)->toolTip(), QStringLiteral("打開文件"));
    Hover(Button(5));
    EXPECT_EQ(Button(5)->toolTip(), QStringLiteral("關閉退出"));
    Hover(Check(4));
    EXPECT_EQ(Check(4)->toolTip(), QStringLiteral("顯示修改時間"));

    // The converted Stop face is recognised, and a stop restores "關閉".
    const std::string folder = MakeManyFiles(Path("tw"), 100);
    dialogs->folderAnswers = {QString::fromStdString(folder)};
    QString face;
    QString hint;
    QTimer::singleShot(0, [&] {
        face = Button(5)->text();
        Hover(Button(5));
        hint = Button(5)->toolTip();
        Click(Button(5));
    });
    Click(Button(2));
    EXPECT_EQ(face, QStringLiteral("結束"));
    EXPECT_EQ(hint, QStringLiteral("結束運行"));
    EXPECT_EQ(CountBlocks(Report()), 0);
    EXPECT_EQ(Button(5)->text(), QStringLiteral("關閉"));
    EXPECT_EQ(dialogs->folderPrompts, QStringList{QStringLiteral("请选中文件夹,然后确定.")})
        << "the prompt is never converted";

    const std::string a = MakeFile("tw.txt", "abc");
    dialogs->fileAnswers = {QString::fromStdString(a)};
    Click(Button(4));
    Click(Button(1));
    const PyFacts facts = PythonFacts(a);
    const std::string report = Report().toStdString();
    EXPECT_EQ(report.rfind("文件名稱：" + a + "\r\n", 0), 0u) << report;
    EXPECT_NE(report.find("MD5值     ：" + facts.md5 + "\r\n"), std::string::npos) << report;
}

} // namespace
} // namespace varnel
