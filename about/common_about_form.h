#pragma once

// The about window: the tool suite this program belongs to, its maker, and
// links to the maker's pages and to a prepared suggestion mail. It has no
// system frame (its skin controls paint one), keeps one fixed size, and
// shows the main window again whenever it closes.

#include "skin/skin_frame.h"

#include <QDate>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace varnel {
namespace platform {
class LinkOpener;
} // namespace platform

class Common_About_Form : public QWidget {
    Q_OBJECT

public:
    // Builds the window and runs its load procedure; the window is left
    // hidden. mainWindow is shown again when this window closes (it may be
    // null). The skin file is looked for in programFolder's Skins folder.
    Common_About_Form(QWidget* mainWindow, const std::filesystem::path& programFolder,
                      QWidget* parent = nullptr);
    explicit Common_About_Form(QWidget* mainWindow);
    ~Common_About_Form() override;

    // Seams: where links and the mail go, and what day it is.
    void setLinkOpener(std::unique_ptr<platform::LinkOpener> opener);
    void setClock(std::function<QDate()> today);

    // The skin file the load procedure tried ("" before it ran).
    QString SkinFile() const { return m_SkinFile; }

    // Event procedures.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Label1_Click();
    void Label2_Click();
    void Label4_Click();
    void Label4_DblClick();
    void Label5_Click();
    void Check100_Click();
    void CodeUsedGIF2_Click();
    // Does nothing; kept for callers that announce themselves to the window.
    void Private_AboutMe();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void Form_Load();
    void Form_Resize();
    void Form_MouseMove();
    void Form_QueryUnload();
    void Label_MouseMove(QLabel* label);
    void Command_MouseMove(QPushButton* button);
    void ClickLabel(QLabel* label);
    void OpenLink(const char* address);

    // Controls, by their designed names.
    SkinFrame* m_Skin = nullptr; // moves, centres and closes on a double click
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* CodeUsedGIF2 = nullptr;
    QLabel* Picture1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QCheckBox* Check100 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Image3 = nullptr;
    QLabel* Image4 = nullptr;

    QPointer<QWidget> m_MainWindow;
    std::filesystem::path m_ProgramFolder;
    QString m_SkinFile;
    std::unique_ptr<platform::LinkOpener> m_LinkOpener;
    std::function<QDate()> m_Today;
    QLabel* m_PressedLabel = nullptr; // a press on a label, waiting for its release
    bool m_Pinning = false;
};

} // namespace varnel
