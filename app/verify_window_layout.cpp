// The verify window's layout: its frame and body, the counts, the results
// table, the progress and message lines and the commands, their texts and
// hints in the window's language, the tab order and the events they are
// wired to.

#include "app/verify_window.h"

#include "app/program_icon.h"
#include "app/verdict_view.h"
#include "app/verify_table_model.h"
#include "i18n/language.h"
#include "i18n/shown_text.h"
#include "platform/qt/designed_font.h"
#include "platform/qt/keyboard_access.h"
#include "platform/qt/units.h"
#include "skin/skin_border.h"
#include "skin/skin_caption.h"
#include "skin/skin_frame.h"
#include <QTableWidget>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace varnel {

namespace {

// The window's outer size, in twips.
constexpr int kWidthTwips = 10800;
constexpr int kHeightTwips = 7200;

// How often the window takes what the run has ready.
constexpr std::chrono::milliseconds kPollInterval{50};

constexpr int kCountIconSize = 16;

// A count beside its status icon: the label's text is what a screen reader
// reads; the icon is painted in the margin before it.
class CountLabel final : public QLabel {
public:
    CountLabel(VerifyStatus status, QWidget* parent)
        : QLabel(parent), m_Icon(DrawVerifyStatusIcon(status)) {
        setContentsMargins(kCountIconSize + 4, 0, 0, 0);
        QPalette colours = palette();
        colours.setColor(QPalette::WindowText, VerifyStatusColour(status));
        setPalette(colours);
        setMinimumHeight(kCountIconSize);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        QPainter painter(this);
        m_Icon.paint(&painter,
                     QRect(0, (height() - kCountIconSize) / 2, kCountIconSize, kCountIconSize));
    }

private:
    QIcon m_Icon;
};

// Each control keeps its own mouse events: a double click it does not use
// must not reach the body, where it closes the window.
void Own(QWidget* control, const char* name) {
    control->setObjectName(QString::fromLatin1(name));
    control->setAttribute(Qt::WA_NoMousePropagation, true);
}

} // namespace

void VerifyWindow::CreateControls() {
    setObjectName(QStringLiteral("VerifyWindow"));
    setFont(platform::DesignedFont());
    m_BaseTitle = ShownText("Varnel 校验", "Varnel Verify");
    m_Title = m_BaseTitle;
    setWindowTitle(m_BaseTitle);
    setWindowIcon(QIcon(DrawProgramIcon(32)));
    setAcceptDrops(true);

    m_Frame = SkinFrame::Install(this, 2);
    m_Body = new QWidget(this);
    m_Body->setObjectName(QStringLiteral("Body"));
    m_Frame->addBody(m_Body);
    // The client area follows the caption and borders as the skin sizes them.
    for (QWidget* docked : {static_cast<QWidget*>(m_Frame->caption()),
                            static_cast<QWidget*>(m_Frame->border(FrameEdge::Left)),
                            static_cast<QWidget*>(m_Frame->border(FrameEdge::Right)),
                            static_cast<QWidget*>(m_Frame->border(FrameEdge::Bottom))}) {
        docked->installEventFilter(this);
    }

    QHBoxLayout* counts = CreateCounts();
    // A compare's or a digest's verdict, the digest box, two files' lines.
    m_Verdict = new VerdictPanel(m_Body);
    m_DigestBox = new DigestBox(m_Body);
    m_CompareLines = new CompareLinesView(m_Body);
    CreateTable();
    QHBoxLayout* progress = CreateProgress();
    CreateMessages();
    QHBoxLayout* commands = CreateCommands();

    auto* layout = new QVBoxLayout(m_Body);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(m_Verdict);
    layout->addWidget(m_DigestBox);
    layout->addLayout(counts);
    layout->addWidget(m_Table, 1);
    layout->addWidget(m_CompareLines, 1);
    layout->addLayout(progress);
    layout->addWidget(m_Status);
    layout->addWidget(m_MessageList);
    layout->addLayout(commands);

    // Top to bottom, left to right; the focus starts on the results.
    QWidget* const tabOrder[] = {m_DigestBox->edit(),
                                 m_DigestBox->checkButton(),
                                 m_Table,
                                 m_CompareLines->table(),
                                 m_MessageList,
                                 m_OnlyProblems,
                                 m_FindNew,
                                 m_Open,
                                 m_PasteDigest,
                                 m_Copy,
                                 m_Save,
                                 m_Stop};
    for (std::size_t i = 0; i + 1 < std::size(tabOrder); ++i) {
        QWidget::setTabOrder(tabOrder[i], tabOrder[i + 1]);
    }
    m_Table->setFocus(Qt::OtherFocusReason);
    platform::ShowFocusFromStart(this);

    connect(m_Open, &QPushButton::clicked, this, &VerifyWindow::Open_Click);
    connect(m_Copy, &QPushButton::clicked, this, &VerifyWindow::Copy_Click);
    connect(m_Stop, &QPushButton::clicked, this, &VerifyWindow::Stop_Click);
    connect(m_PasteDigest, &QPushButton::clicked, this, &VerifyWindow::PasteDigest_Click);
    connect(m_Save, &QPushButton::clicked, this, &VerifyWindow::SaveResults_Click);
    const auto checkDigest = [this] { CheckDigest(m_DigestBox->edit()->text()); };
    connect(m_DigestBox->checkButton(), &QPushButton::clicked, this, checkDigest);
    connect(m_DigestBox->edit(), &QLineEdit::returnPressed, this, checkDigest);
    connect(m_OnlyProblems, &QCheckBox::clicked, this, &VerifyWindow::OnlyProblems_Click);
    connect(m_FindNew, &QCheckBox::clicked, this, &VerifyWindow::FindNew_Click);
    m_Poll.setInterval(kPollInterval);
    connect(&m_Poll, &QTimer::timeout, this, &VerifyWindow::Poll);

    SizeWindowAndColumns();
    ShowCounts({});
}

QHBoxLayout* VerifyWindow::CreateCounts() {
    // The counts, each with its status's icon and colour.
    auto* counts = new QHBoxLayout();
    counts->setSpacing(16);
    const char* const names[] = {"CountOk",      "CountFailed", "CountEdited", "CountDamaged",
                                 "CountMissing", "CountMoved",  "CountNew",    "CountUnreadable"};
    static_assert(std::size(names) == kCountStatuses.size());
    for (std::size_t i = 0; i < m_Counts.size(); ++i) {
        auto* label = new CountLabel(kCountStatuses[i], m_Body);
        Own(label, names[i]);
        m_Counts[i] = label;
        counts->addWidget(label);
    }
    counts->addStretch(1);
    return counts;
}

void VerifyWindow::CreateTable() {
    m_Model = new VerifyTableModel(this);
    m_Table = new QTableView(m_Body);
    Own(m_Table, "Results");
    m_Table->setModel(m_Model);
    m_Table->setAccessibleName(ShownText("校验结果", "Verification results"));
    m_Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_Table->installEventFilter(this);
    m_Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table for the next control instead of walking its cells.
    m_Table->setTabKeyNavigation(false);
    m_Table->setShowGrid(false);
    m_Table->setAlternatingRowColors(true);
    m_Table->setWordWrap(false);
    m_Table->setTextElideMode(Qt::ElideMiddle);
    m_Table->setCornerButtonEnabled(false);
    m_Table->setIconSize(QSize(kCountIconSize, kCountIconSize));
    m_Table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Rows of one fixed height: 100,000 rows are never measured one by one.
    QHeaderView* rows = m_Table->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(std::max(fontMetrics().height() + 6, kCountIconSize + 4));
    rows->hide();
    // The view stays where it is as rows come (at the top, unless the first
    // problem has been shown: see SeekFirstProblem).
    QHeaderView* columns = m_Table->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(true);
    columns->setHighlightSections(false);
    // A click on a header sorts by its column, a second the other way, a
    // third back to the order the rows came in.
    columns->setSortIndicator(-1, Qt::AscendingOrder);
    columns->setSortIndicatorClearable(true);
    m_Table->setSortingEnabled(true);
    // The list column only for the rows of several lists (ShowListNames).
    m_Table->setColumnHidden(VerifyTableModel::ListColumn, true);
}

QHBoxLayout* VerifyWindow::CreateProgress() {
    m_ProgressBar = new QProgressBar(m_Body);
    Own(m_ProgressBar, "Progress");
    m_ProgressBar->setAccessibleName(ShownText("进度", "Progress"));
    m_ProgressBar->setTextVisible(false);
    m_ProgressBar->setRange(0, 1);
    m_ProgressBar->setValue(0);
    m_ProgressBar->setFixedWidth(160);
    m_ProgressText = new QLabel(m_Body);
    Own(m_ProgressText, "ProgressText");
    m_ProgressText->setAccessibleDescription(ShownText("进度", "Progress"));
    // Long texts are cut at the window's edge, never widen it.
    m_ProgressText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* progress = new QHBoxLayout();
    progress->addWidget(m_ProgressBar);
    progress->addWidget(m_ProgressText, 1);
    return progress;
}

void VerifyWindow::CreateMessages() {
    m_Status = new QLabel(m_Body);
    Own(m_Status, "Messages");
    m_Status->setAccessibleDescription(ShownText("关于清单的消息", "Messages about the lists"));
    m_Status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_Status->setTextFormat(Qt::PlainText);
    m_Status->hide();
    // Every message, the first at the top: the status line above counts them.
    m_MessageList = new QListWidget(m_Body);
    Own(m_MessageList, "MessageList");
    m_MessageList->setAccessibleName(ShownText("关于清单的消息", "Messages about the lists"));
    m_MessageList->setSelectionMode(QAbstractItemView::NoSelection);
    m_MessageList->setUniformItemSizes(true);
    m_MessageList->setTextElideMode(Qt::ElideMiddle);
    m_MessageList->setWordWrap(false);
    m_MessageList->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_MessageList->hide();
}

QHBoxLayout* VerifyWindow::CreateCommands() {
    const auto button = [this](const char* name, const QString& caption, const QString& hint) {
        auto* control = new QPushButton(caption, m_Body);
        Own(control, name);
        control->setToolTip(hint);
        control->setAccessibleDescription(hint);
        control->setAutoDefault(false);
        platform::PressWithEnter(control);
        return control;
    };
    const auto check = [this](const char* name, const QString& caption, const QString& hint) {
        auto* control = new QCheckBox(caption, m_Body);
        Own(control, name);
        control->setToolTip(hint);
        control->setAccessibleDescription(hint);
        return control;
    };
    m_OnlyProblems =
        check("OnlyProblems", ShownText("仅显示问题", "Show only problems"),
              ShownText("只列出未通过校验的条目", "List only the entries that did not pass"));
    m_FindNew = check("FindNew", ShownText("同时查找新文件", "Also find new files"),
                      ShownText("查找清单所在文件夹中清单未列出的文件，并找出移动过的文件",
                                "Find the files below the lists' folder that no list names, and "
                                "the files that moved"));
    m_Open =
        button("Open", ShownText("打开清单…", "Open lists…"),
               ShownText("选择要校验的清单或报告", "Choose checksum lists or reports to verify"));
    m_Copy = button("Copy", ShownText("复制结果", "Copy results"),
                    ShownText("复制显示的结果", "Copy the results shown"));
    m_Stop = button("Stop", ShownText("停止", "Stop"), ShownText("停止校验", "Stop verifying"));
    m_PasteDigest = button(
        "PasteDigest", ShownText("核对摘要…", "Check a digest…"),
        ShownText("将粘贴的摘要与所给的文件核对", "Check the files given against a pasted digest"));
    m_PasteDigest->setEnabled(false); // no file given yet
    m_Save =
        button("Save", ShownText("保存结果…", "Save results…"),
               ShownText("将结果保存为文本、JSON 或 CSV", "Save the results as text, JSON or CSV"));
    SetStopFace(false); // nothing to verify again yet: off

    auto* commands = new QHBoxLayout();
    commands->addWidget(m_OnlyProblems);
    commands->addSpacing(12);
    commands->addWidget(m_FindNew);
    commands->addStretch(1);
    commands->addWidget(m_Open);
    commands->addWidget(m_PasteDigest);
    commands->addWidget(m_Copy);
    commands->addWidget(m_Save);
    commands->addWidget(m_Stop);
    return commands;
}

void VerifyWindow::SizeWindowAndColumns() {
    const int tpp = platform::TwipsPerPixel(this);
    resize(platform::TwipsToPixels(kWidthTwips, tpp), platform::TwipsToPixels(kHeightTwips, tpp));
    // The status takes what its words need.
    int statusWidth = 0;
    for (std::size_t i = 0; i < kVerifyStatusCount; ++i) {
        statusWidth =
            std::max(statusWidth, fontMetrics().horizontalAdvance(VerifyStatusText(
                                      static_cast<VerifyStatus>(i), CurrentLanguageMode())));
    }
    // The name takes about half the width once the window fits its screen
    // (FitScreen).
    m_Table->setColumnWidth(VerifyTableModel::StatusColumn, statusWidth + kCountIconSize + 28);
}

} // namespace varnel
