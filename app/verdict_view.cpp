#include "app/verdict_view.h"

#include "app/verify_table_model.h"
#include "i18n/shown_text.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace varnel {

namespace {

constexpr int kIconSize = 48;

const QColor kSameColour{0x1E, 0x7E, 0x34};
const QColor kDifferentColour{0xC6, 0x28, 0x28};

// The shape's name, for a screen reader: the icon tells by shape too.
QString ShapeWord(bool same) {
    return same ? ShownText("勾号", "tick") : ShownText("叉号", "cross");
}

// A line's name in the mode's words ("size" 大小, "SHA-1"), as the table's
// third column words them.
QString LineName(const std::string& check) {
    VerifyRow row;
    row.status = VerifyStatus::Failed;
    row.differs = {check};
    return VerifyDiffersText(row, CurrentLanguageMode());
}

} // namespace

QString VerdictWord(bool same, LanguageMode mode) {
    return same ? ShownText("相同", "Same", mode) : ShownText("不同", "Different", mode);
}

QPixmap DrawVerdictIcon(bool same, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.scale(size / 16.0, size / 16.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(same ? kSameColour : kDifferentColour);
    // Two shapes as well as two colours: a circle, a square with round corners.
    if (same) {
        painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    } else {
        painter.drawRoundedRect(QRectF(1, 1, 14, 14), 2, 2);
    }
    painter.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    if (same) {
        QPainterPath tick;
        tick.moveTo(4.2, 8.4);
        tick.lineTo(7.0, 11.2);
        tick.lineTo(11.8, 5.2);
        painter.drawPath(tick);
    } else {
        painter.drawLine(QPointF(5, 5), QPointF(11, 11));
        painter.drawLine(QPointF(11, 5), QPointF(5, 11));
    }
    return pixmap;
}

// ------------------------------------------------------------ VerdictPanel

VerdictPanel::VerdictPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Verdict"));
    m_Icon = new QLabel(this);
    m_Icon->setObjectName(QStringLiteral("VerdictIcon"));
    m_Icon->setFixedSize(kIconSize, kIconSize);
    m_Word = new QLabel(this);
    m_Word->setObjectName(QStringLiteral("VerdictWord"));
    m_Word->setTextFormat(Qt::PlainText);
    QFont large = font();
    large.setPointSizeF(large.pointSizeF() * 2.2);
    large.setBold(true);
    m_Word->setFont(large);
    m_Detail = new QLabel(this);
    m_Detail->setObjectName(QStringLiteral("VerdictDetail"));
    m_Detail->setTextFormat(Qt::PlainText);
    m_Detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_Detail->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* words = new QVBoxLayout();
    words->setSpacing(0);
    words->addWidget(m_Word);
    words->addWidget(m_Detail);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(m_Icon);
    layout->addLayout(words, 1);
    hide();
}

void VerdictPanel::ShowVerdict(bool same, const QString& detail) {
    m_Verdict = same;
    const QString word = VerdictWord(same, CurrentLanguageMode());
    m_Icon->setPixmap(DrawVerdictIcon(same, kIconSize));
    m_Icon->setAccessibleName(word);
    m_Icon->setAccessibleDescription(ShapeWord(same));
    m_Word->setText(word);
    m_Word->setAccessibleName(word);
    QPalette colours = m_Word->palette();
    colours.setColor(QPalette::WindowText, same ? kSameColour : kDifferentColour);
    m_Word->setPalette(colours);
    m_Detail->setText(detail);
    m_Detail->setAccessibleName(detail);
    m_Detail->setVisible(!detail.isEmpty());
    setAccessibleName(detail.isEmpty() ? word : word + QStringLiteral(": ") + detail);
    show();
}

void VerdictPanel::ClearVerdict() {
    m_Verdict.reset();
    hide();
}

QString VerdictPanel::VerdictText() const {
    return m_Verdict ? m_Word->text() : QString();
}

QString VerdictPanel::DetailText() const {
    return m_Verdict ? m_Detail->text() : QString();
}

// -------------------------------------------------------- CompareLinesView

CompareLinesView::CompareLinesView(QWidget* parent) : QWidget(parent) {
    m_Table = new QTableWidget(0, 3, this);
    m_Table->setObjectName(QStringLiteral("CompareLines"));
    m_Table->setAccessibleName(ShownText("两个文件的各行", "The two files' lines"));
    m_Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_Table->setTabKeyNavigation(false);
    m_Table->setWordWrap(false);
    m_Table->setTextElideMode(Qt::ElideMiddle);
    m_Table->verticalHeader()->hide();
    m_Table->horizontalHeader()->setStretchLastSection(true);
    m_Table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_Table);
    hide();
}

void CompareLinesView::ShowLines(const QString& a, const QString& b,
                                 const std::vector<CompareLineRow>& lines) {
    m_Table->setHorizontalHeaderLabels({ShownText("项目", "Line"),
                                        ShownText("文件 A：", "File A: ") + a,
                                        ShownText("文件 B：", "File B: ") + b});
    m_Table->horizontalHeaderItem(1)->setToolTip(a);
    m_Table->horizontalHeaderItem(2)->setToolTip(b);
    m_Table->setRowCount(static_cast<int>(lines.size()));
    const QString differs = ShownText("不同", "differs");
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const CompareLineRow& line = lines[i];
        const auto row = static_cast<int>(i);
        // A differing line: a sign before its name, red bold type, and the
        // words in its accessible text.
        auto* name = new QTableWidgetItem((line.differs ? QStringLiteral("≠ ") : QString()) +
                                          LineName(line.check));
        auto* valueA = new QTableWidgetItem(QString::fromStdString(line.a));
        auto* valueB = new QTableWidgetItem(QString::fromStdString(line.b));
        for (QTableWidgetItem* item : {name, valueA, valueB}) {
            item->setToolTip(item->text());
            if (line.differs) {
                QFont bold = m_Table->font();
                bold.setBold(true);
                item->setFont(bold);
                item->setForeground(kDifferentColour);
                item->setData(Qt::AccessibleDescriptionRole, differs);
            }
        }
        m_Table->setItem(row, 0, name);
        m_Table->setItem(row, 1, valueA);
        m_Table->setItem(row, 2, valueB);
    }
    m_Table->resizeColumnToContents(0);
    show();
}

// --------------------------------------------------------------- DigestBox

DigestBox::DigestBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("DigestBox"));
    auto* label = new QLabel(ShownText("核对摘要：", "Check a digest:"), this);
    m_Edit = new QLineEdit(this);
    m_Edit->setObjectName(QStringLiteral("Digest"));
    label->setBuddy(m_Edit);
    const QString hint =
        ShownText("粘贴下载页面给出的摘要（MD5、SHA-1、SHA-256…），与显示的文件核对",
                  "Paste the digest a download page gives (MD5, SHA-1, SHA-256…) "
                  "to check the files shown against it");
    m_Edit->setAccessibleName(ShownText("要核对的摘要", "Digest to check"));
    m_Edit->setAccessibleDescription(hint);
    m_Edit->setToolTip(hint);
    m_Edit->setPlaceholderText(ShownText("在此粘贴摘要", "Paste a digest here"));
    m_Check = new QPushButton(ShownText("核对", "Check"), this);
    m_Check->setObjectName(QStringLiteral("CheckDigest"));
    m_Check->setAutoDefault(false);
    m_Problem = new QLabel(this);
    m_Problem->setObjectName(QStringLiteral("DigestProblem"));
    m_Problem->setTextFormat(Qt::PlainText);
    m_Problem->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_Problem->hide();
    auto* row = new QHBoxLayout();
    row->addWidget(label);
    row->addWidget(m_Edit, 1);
    row->addWidget(m_Check);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(row);
    layout->addWidget(m_Problem);
    hide();
}

void DigestBox::ShowProblem(const QString& text) {
    m_Problem->setText(text);
    m_Problem->setAccessibleName(text);
    m_Problem->setVisible(!text.isEmpty());
}

} // namespace varnel
