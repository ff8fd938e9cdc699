// The folder picker and the dialog service: what BrowseForFolder gives back,
// the open-file filter in Qt's form, and Qt's real dialogs answered through
// their widgets, with a check that they leave nothing in the user's folder.

#include "app/common_md5_view.h"
#include "app/public_browse_folder_module.h"
#include "i18n/language.h"
#include "platform/qt/file_dialogs.h"
#include "platform/qt/link_opener.h"
#include "platform/qt/qt_translations.h"
#include "tests/app/fake_services.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace varnel {
namespace {

using test::ScriptedDialogs;

TEST(BrowseForFolder, CancelLeavesTheFolderUnchanged) {
    ScriptedDialogs dialogs;
    dialogs.folderAnswers = {QString()};
    QString folder = QStringLiteral("/kept");
    std::uintptr_t itemList = 99;
    EXPECT_FALSE(BrowseForFolder(nullptr, folder, QStringLiteral("p"), BIF_RETURNONLYFSDIRS,
                                 itemList, dialogs));
    EXPECT_EQ(folder, QStringLiteral("/kept"));
    EXPECT_EQ(itemList, 0u);
}

TEST(BrowseForFolder, ChoiceComesBackWithoutTrailingSeparatorExceptARoot) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    ScriptedDialogs dialogs;
    dialogs.folderAnswers = {temp.path() + QStringLiteral("//"), QStringLiteral("/")};
    QString folder;
    std::uintptr_t itemList = 0;
    EXPECT_TRUE(BrowseForFolder(nullptr, folder, QStringLiteral("p"), 1, itemList, dialogs));
    EXPECT_EQ(folder, temp.path());
    EXPECT_NE(itemList, 0u);
    EXPECT_TRUE(BrowseForFolder(nullptr, folder, QStringLiteral("p"), 1, itemList, dialogs));
    EXPECT_EQ(folder, QStringLiteral("/"));
    EXPECT_EQ(FolderPathWithoutTrailingSeparator(QStringLiteral("C:\\")), QStringLiteral("C:\\"));
}

TEST(BrowseForFolder, AChoiceThatIsNoFolderIsRefused) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    ScriptedDialogs dialogs;
    dialogs.folderAnswers = {temp.path() + QStringLiteral("/missing")};
    QString folder = QStringLiteral("/kept");
    std::uintptr_t itemList = 0;
    EXPECT_FALSE(BrowseForFolder(nullptr, folder, QStringLiteral("p"), 1, itemList, dialogs));
    EXPECT_EQ(folder, QStringLiteral("/kept"));
}

TEST(BrowseForFolder, LongPathsComeBackWhole) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    QString path = temp.path();
    // Nest folders until the path is 255 to 259 characters long.
    while (path.size() < 255) {
        const qsizetype room = 259 - path.size() - 1;
        path += QLatin1Char('/') + QString(std::min<qsizetype>(room, 40), QLatin1Char('d'));
    }
    ASSERT_LE(path.size(), 259);
    ASSERT_TRUE(QDir().mkpath(path));
    ScriptedDialogs dialogs;
    dialogs.folderAnswers = {path};
    QString folder;
    std::uintptr_t itemList = 0;
    EXPECT_TRUE(BrowseForFolder(nullptr, folder, QStringLiteral("p"), 1, itemList, dialogs));
    EXPECT_EQ(folder, path);
}

TEST(DialogFilters, CommonDialogFilterBecomesQtNameFilters) {
    EXPECT_EQ(platform::NameFiltersFromCommonDialogFilter(
                  QStringLiteral("Exe File (*.exe;*.dll;*.ocx)|*.exe;*.dll;*.ocx|File (*.*)|*.*")),
              (QStringList{QStringLiteral("Exe File (*.exe;*.dll;*.ocx) (*.exe *.dll *.ocx)"),
                           QStringLiteral("File (*.*) (*)")}));
    EXPECT_EQ(platform::NameFiltersFromCommonDialogFilter(QStringLiteral("Only|")), QStringList{});
    EXPECT_EQ(platform::NameFiltersFromCommonDialogFilter(QString()), QStringList{});
}

TEST(LinkOpener, OnlyWebAddressesAreOpened) {
    EXPECT_TRUE(platform::IsWebAddress(QStringLiteral("https://github.com/varnel/varnel")));
    EXPECT_TRUE(platform::IsWebAddress(QStringLiteral("http://example.org/x?y=1")));
    EXPECT_FALSE(platform::IsWebAddress(QStringLiteral("file:///bin/sh")));
    EXPECT_FALSE(platform::IsWebAddress(QStringLiteral("/usr/bin/xterm")));
    EXPECT_FALSE(platform::IsWebAddress(QStringLiteral("javascript:alert(1)")));
    EXPECT_FALSE(platform::IsWebAddress(QStringLiteral("https://")));
    platform::DesktopLinkOpener opener;
    EXPECT_FALSE(opener.OpenLink(QStringLiteral("file:///etc/passwd")));
}

// Answers Qt's real file dialog through its widget once it is open.
void AnswerDialogWhenOpen(const std::function<void(QFileDialog&)>& answer) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        answer(*dialog);
    });
    poll->start();
}

QStringList EntriesBelow(const QString& folder) {
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        entries.append(it.next());
    }
    return entries;
}

TEST(QtDialogs, AnswerThroughTheirWidgetsAndWriteNothingInTheHomeFolder) {
    QTemporaryDir home;
    QTemporaryDir files;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(files.isValid());
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/.local/share")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.path() + QStringLiteral("/.local/state")));
    const QString folder = files.path() + QStringLiteral("/chosen");
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile file(folder + QStringLiteral("/a.dll"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    platform::QtDialogService dialogs;

    // Neither dialog can make, rename or delete anything.
    int writableDialogs = 0;
    const auto noteWritable = [&](QFileDialog& dialog) {
        auto* newFolder = dialog.findChild<QWidget*>(QStringLiteral("newFolderButton"));
        if (!dialog.testOption(QFileDialog::ReadOnly) ||
            (newFolder != nullptr && newFolder->isEnabled())) {
            ++writableDialogs;
        }
    };

    QStringList filters;
    QString selectedFilter;
    AnswerDialogWhenOpen([&](QFileDialog& dialog) {
        noteWritable(dialog);
        filters = dialog.nameFilters();
        selectedFilter = dialog.selectedNameFilter();
        dialog.setDirectory(folder);
        dialog.selectFile(folder + QStringLiteral("/a.dll"));
        // selectFile leaves the name field alone while it has the focus, so
        // type the name as a user would.
        if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            name->setText(QStringLiteral("a.dll"));
        }
        static_cast<QDialog&>(dialog).accept();
    });
    const QString opened = dialogs.GetOpenFileName(
        nullptr, QStringLiteral("Exe File (*.exe;*.dll;*.ocx)|*.exe;*.dll;*.ocx|File (*.*)|*.*"));
    EXPECT_EQ(opened, folder + QStringLiteral("/a.dll"));
    ASSERT_EQ(filters.size(), 2);
    // The designed label is what the user sees and what is selected.
    EXPECT_EQ(selectedFilter, QStringLiteral("Exe File (*.exe;*.dll;*.ocx)"));
    EXPECT_TRUE(filters.first().startsWith(selectedFilter));

    AnswerDialogWhenOpen([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_TRUE(dialogs.GetOpenFileName(nullptr, QStringLiteral("File (*.*)|*.*")).isEmpty());

    QString title;
    AnswerDialogWhenOpen([&](QFileDialog& dialog) {
        noteWritable(dialog);
        title = dialog.windowTitle();
        // Accepting a folder dialog with nothing selected chooses the folder
        // it shows. (Selecting the folder from its parent would race with the
        // dialog's own listing of the parent, which may clear the selection.)
        dialog.setDirectory(folder);
        static_cast<QDialog&>(dialog).accept();
    });
    QString chosen;
    std::uintptr_t itemList = 0;
    EXPECT_TRUE(BrowseForFolder(nullptr, chosen, QStringLiteral("请选中文件夹,然后确定."),
                                BIF_RETURNONLYFSDIRS, itemList));
    EXPECT_EQ(chosen, folder);
    EXPECT_EQ(title, QStringLiteral("请选中文件夹,然后确定."));

    AnswerDialogWhenOpen([](QFileDialog& dialog) { dialog.reject(); });
    QString kept = QStringLiteral("/kept");
    EXPECT_FALSE(
        BrowseForFolder(nullptr, kept, QStringLiteral("p"), BIF_RETURNONLYFSDIRS, itemList));
    EXPECT_EQ(kept, QStringLiteral("/kept"));

    QCoreApplication::processEvents();
    EXPECT_EQ(writableDialogs, 0);
    EXPECT_EQ(EntriesBelow(home.path()), QStringList{});
}

// The texts Qt draws in a file dialog, its buttons and then its labels,
// without their shortcut marks ("&Open", "打开(&O)"), which some platforms
// take away.
QStringList DialogTexts(QFileDialog& dialog) {
    QStringList texts;
    if (auto* box = dialog.findChild<QDialogButtonBox*>()) {
        for (QAbstractButton* button : box->buttons()) {
            texts.append(button->text());
        }
    }
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        texts.append(label->text());
    }
    static const QRegularExpression mark(QStringLiteral("\\(&.\\)|&"));
    texts.replaceInStrings(mark, QString());
    return texts;
}

// The main window's real dialogs speak the language mode of its interface.
TEST(QtDialogs, SpeakTheInterfacesLanguage) {
    const QString folder = platform::QtTranslationsFolder();
    for (const char* file : {"/qtbase_zh_CN.qm", "/qtbase_zh_TW.qm"}) {
        if (!QFile::exists(folder + QLatin1String(file))) {
            GTEST_SKIP() << "Qt's translations are not installed in " << folder.toStdString();
        }
    }
    struct Case {
        const char* mode;
        QStringList openDialog;   // among the texts of the open-file dialog
        QStringList folderPicker; // among those of the folder picker
    };
    const Case cases[] = {
        {"CHINESE", {"打开", "取消", "查找范围：", "文件类型："}, {"选择", "取消", "目录："}},
        {"TAIWAN", {"開啟", "取消", "尋找於：", "檔案型態："}, {"選擇", "取消", "目錄："}},
        {"", {"Open", "Cancel", "Look in:", "Files of type:"}, {"Choose", "Cancel", "Directory:"}},
    };
    for (const Case& c : cases) {
        UiLanguage = c.mode;
        Common_MD5_View window{std::filesystem::path()};
        QStringList openTexts;
        AnswerDialogWhenOpen([&](QFileDialog& dialog) {
            openTexts = DialogTexts(dialog);
            dialog.reject();
        });
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);
        QStringList folderTexts;
        AnswerDialogWhenOpen([&](QFileDialog& dialog) {
            folderTexts = DialogTexts(dialog);
            dialog.reject();
        });
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command2")),
                          Qt::LeftButton);
        for (const QString& text : c.openDialog) {
            EXPECT_TRUE(openTexts.contains(text))
                << "mode \"" << c.mode << "\": no " << text.toStdString() << " in "
                << openTexts.join(QLatin1Char('|')).toStdString();
        }
        for (const QString& text : c.folderPicker) {
            EXPECT_TRUE(folderTexts.contains(text))
                << "mode \"" << c.mode << "\": no " << text.toStdString() << " in "
                << folderTexts.join(QLatin1Char('|')).toStdString();
        }
    }
    UiLanguage.clear();
    platform::InstallQtTranslations(platform::QtLanguage::English);
}

} // namespace
} // namespace varnel
