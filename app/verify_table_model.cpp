#include "app/verify_table_model.h"

#include "app/verify_words.h"
#include "formats/name_escape.h"
#include "i18n/shown_text.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <numeric>
#include <string_view>
#include <thread>
#include <utility>

namespace varnel {

namespace {

// The two wordings of each status, in the order of VerifyStatus.
struct StatusWords {
    VerifyStatus status;
    const char* chinese;
    const char* english;
};
constexpr std::array<StatusWords, kVerifyStatusCount> kStatusWords = {{
    {VerifyStatus::Ok, "正确", "OK"},
    {VerifyStatus::Failed, "失败", "Failed"},
    {VerifyStatus::Unreadable, "无法读取", "Unreadable"},
    {VerifyStatus::Malformed, "格式错误", "Malformed"},
    {VerifyStatus::Edited, "已修改", "Edited"},
    {VerifyStatus::Damaged, "已损坏", "Damaged"},
    {VerifyStatus::Missing, "缺失", "Missing"},
    {VerifyStatus::Moved, "已移动", "Moved"},
    {VerifyStatus::New, "新增", "New"},
}};

// Rows freed in one turn of the event loop after a Clear.
constexpr std::size_t kRowsFreedPerTurn = 4096;

std::size_t Slot(VerifyStatus status) {
    return static_cast<std::size_t>(status);
}

// The report lines a failure may name, in Chinese: the main window's words
// for them. Digest names stay as they are.
struct LineWords {
    std::string_view english;
    const char* chinese;
};
constexpr LineWords kLineWords[] = {
    {"size", "文件大小"},
    {"modified time", "修改时间"},
    {"version", "文件版本"},
};

QString Escaped(const std::string& bytes) {
    return QString::fromStdString(formats::EscapeName(bytes));
}

// The shapes drawn on a status's disc.
enum class Mark { Check, Cross, Minus, Arrow, Plus };

Mark MarkOf(VerifyStatus status) {
    switch (status) {
    case VerifyStatus::Ok:
        return Mark::Check;
    case VerifyStatus::Missing:
        return Mark::Minus;
    case VerifyStatus::Moved:
        return Mark::Arrow;
    case VerifyStatus::New:
        return Mark::Plus;
    default:
        return Mark::Cross;
    }
}

QPixmap DrawIcon(VerifyStatus status, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 16-unit grid, scaled to the size asked for.
    painter.scale(size / 16.0, size / 16.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(VerifyStatusColour(status));
    painter.drawEllipse(QRectF(1, 1, 14, 14));
    QPen ink(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(ink);
    painter.setBrush(Qt::NoBrush);
    switch (MarkOf(status)) {
    case Mark::Check: {
        QPainterPath check;
        check.moveTo(4.5, 8.3);
        check.lineTo(7.0, 10.8);
        check.lineTo(11.5, 5.5);
        painter.drawPath(check);
        break;
    }
    case Mark::Cross:
        painter.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        painter.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
        break;
    case Mark::Minus:
        painter.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
        break;
    case Mark::Arrow: {
        painter.drawLine(QPointF(4.5, 8), QPointF(11, 8));
        QPainterPath head;
        head.moveTo(8.3, 5.3);
        head.lineTo(11, 8);
        head.lineTo(8.3, 10.7);
        painter.drawPath(head);
        break;
    }
    case Mark::Plus:
        painter.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
        painter.drawLine(QPointF(8, 4.5), QPointF(8, 11.5));
        break;
    }
    return pixmap;
}

// A sort's wait for rows that came after it: the next sort follows this
// long after, while rows keep coming.
constexpr std::chrono::milliseconds kResortDelay{400};

// Names compared as a reader orders them: ASCII letters without regard to
// case, then byte by byte.
bool NameBefore(const std::string& a, const std::string& b) {
    const auto folded = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a')
                                    : static_cast<unsigned char>(c);
    };
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (folded(a[i]) != folded(b[i])) {
            return folded(a[i]) < folded(b[i]);
        }
    }
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

// What the differs column says of a row, in the engine's words: the key its
// sort goes by.
std::string DiffersKey(const VerifyRow& row) {
    if (row.status == VerifyStatus::Moved) {
        return row.to;
    }
    if (row.differs.empty()) {
        return row.status == VerifyStatus::Missing ? std::string() : row.reason;
    }
    std::string key;
    for (const std::string& what : row.differs) {
        key += key.empty() ? what : ", " + what;
    }
    return key;
}

// The indexes of the first covered rows of batches, ordered by column
// (rows that compare equal stay in the order they came). Runs on a thread
// of the sort's own: no Qt, nothing but the batches it is given.
template <typename Batches>
std::vector<std::size_t> SortedOrder(const Batches& batches, std::size_t covered, int column,
                                     bool descending) {
    std::vector<const VerifyRow*> rows;
    rows.reserve(covered);
    for (const auto& batch : batches) {
        for (const VerifyRow& row : *batch) {
            if (rows.size() == covered) {
                break;
            }
            rows.push_back(&row);
        }
    }
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const auto sortBy = [&order, descending](auto before) {
        if (descending) {
            std::stable_sort(order.begin(), order.end(),
                             [&before](std::size_t a, std::size_t b) { return before(b, a); });
        } else {
            std::stable_sort(order.begin(), order.end(), before);
        }
    };
    switch (column) {
    case VerifyTableModel::NameColumn:
        sortBy([&rows](std::size_t a, std::size_t b) {
            return NameBefore(rows[a]->name, rows[b]->name);
        });
        break;
    case VerifyTableModel::StatusColumn:
        sortBy([&rows](std::size_t a, std::size_t b) { return rows[a]->status < rows[b]->status; });
        break;
    case VerifyTableModel::DiffersColumn: {
        std::vector<std::string> keys;
        keys.reserve(rows.size());
        for (const VerifyRow* row : rows) {
            keys.push_back(DiffersKey(*row));
        }
        sortBy([&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
        break;
    }
    case VerifyTableModel::ListColumn:
        sortBy([&rows](std::size_t a, std::size_t b) { return rows[a]->list < rows[b]->list; });
        break;
    default:
        break;
    }
    return order;
}

} // namespace

QString VerifyStatusText(VerifyStatus status, LanguageMode mode) {
    const StatusWords& words = kStatusWords.at(Slot(status));
    return mode == LanguageMode::English ? QString::fromLatin1(words.english)
                                         : ShownChinese(words.chinese, mode);
}

QString VerifyCompareText(CompareVerdict verdict, LanguageMode mode) {
    struct Words {
        const char* chinese;
        const char* english;
    };
    static constexpr Words kWords[kCompareVerdictCount] = {
        {"相同", "Same"},           {"不同", "Different"}, {"仅在 A 中", "Only in A"},
        {"仅在 B 中", "Only in B"}, {"已移动", "Moved"},   {"无法读取", "Unreadable"}};
    const Words& words = kWords[static_cast<std::size_t>(verdict)];
    return mode == LanguageMode::English ? QString::fromLatin1(words.english)
                                         : ShownChinese(words.chinese, mode);
}

QColor VerifyStatusColour(VerifyStatus status) {
    // Dark enough to read as text on a light background.
    switch (MarkOf(status)) {
    case Mark::Check:
        return {0x1E, 0x7E, 0x34};
    case Mark::Cross:
        return {0xC6, 0x28, 0x28};
    case Mark::Minus:
    case Mark::Arrow:
        return {0xB0, 0x60, 0x00};
    case Mark::Plus:
        return {0x15, 0x65, 0xC0};
    }
    return {};
}

QIcon DrawVerifyStatusIcon(VerifyStatus status) {
    QIcon icon;
    for (const int size : {16, 24, 32, 48}) {
        icon.addPixmap(DrawIcon(status, size));
    }
    return icon;
}

QString VerifyDiffersText(const VerifyRow& row, LanguageMode mode) {
    if (row.status == VerifyStatus::Moved) {
        return QStringLiteral("→ ") + Escaped(row.to);
    }
    // A missing file's reason ("not found") says no more than its status.
    if (!row.reason.empty() && row.differs.empty() && row.status != VerifyStatus::Missing) {
        return QString::fromStdString(VerifyWords(row.reason, mode));
    }
    QString text;
    for (const std::string& what : row.differs) {
        if (!text.isEmpty()) {
            text += QStringLiteral(", ");
        }
        QString word = QString::fromStdString(what);
        if (mode != LanguageMode::English) {
            for (const LineWords& line : kLineWords) {
                if (what == line.english) {
                    word = ShownChinese(line.chinese, mode);
                }
            }
        }
        text += word;
    }
    return text;
}

// ------------------------------------------------------------------ model

// Where a sort's thread hands its order over: to the model while it lives,
// to no one after.
struct VerifyTableModel::SortMailbox {
    std::mutex mutex;
    VerifyTableModel* model = nullptr;
};

VerifyTableModel::VerifyTableModel(QObject* parent)
    : QAbstractTableModel(parent), m_Mode(CurrentLanguageMode()),
      m_Mailbox(std::make_shared<SortMailbox>()) {
    m_Mailbox->model = this;
    m_Resort.setSingleShot(true);
    m_Resort.setInterval(kResortDelay);
    connect(&m_Resort, &QTimer::timeout, this, [this] { StartSort(); });
    m_Freeing.setInterval(std::chrono::milliseconds(10));
    connect(&m_Freeing, &QTimer::timeout, this, [this] {
        // About a millisecond's worth of rows each turn.
        std::size_t freed = 0;
        while (!m_ToFree.empty() && freed < kRowsFreedPerTurn) {
            freed += m_ToFree.back()->size();
            m_ToFree.pop_back();
        }
        if (m_ToFree.empty()) {
            m_ToFree.shrink_to_fit();
            m_Freeing.stop();
        }
    });
    // Texts and icons are made once: a repaint only looks them up.
    for (const StatusWords& words : kStatusWords) {
        m_StatusTexts.at(Slot(words.status)) = VerifyStatusText(words.status, m_Mode);
        m_Icons.at(Slot(words.status)) = DrawVerifyStatusIcon(words.status);
    }
    if (m_Mode == LanguageMode::English) {
        m_Headers = {QStringLiteral("Name"), QStringLiteral("Status"),
                     QStringLiteral("What differs"), QStringLiteral("List")};
    } else {
        m_Headers = {ShownChinese("名称", m_Mode), ShownChinese("结果", m_Mode),
                     ShownChinese("差异", m_Mode), ShownChinese("清单", m_Mode)};
    }
}

VerifyTableModel::~VerifyTableModel() {
    const std::lock_guard lock(m_Mailbox->mutex);
    m_Mailbox->model = nullptr;
}

int VerifyTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return static_cast<int>(m_OnlyProblems ? m_Problems.size() : m_RowsHeld);
}

int VerifyTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

const VerifyRow& VerifyTableModel::Held(std::size_t index) const {
    // The last batch that starts at or before index.
    const auto after = std::upper_bound(m_BatchStarts.begin(), m_BatchStarts.end(), index);
    const auto batch = static_cast<std::size_t>(after - m_BatchStarts.begin()) - 1;
    return (*m_Batches[batch])[index - m_BatchStarts[batch]];
}

std::size_t VerifyTableModel::HeldIndex(int row) const {
    const auto position = static_cast<std::size_t>(row);
    if (m_SortColumn >= 0) {
        return m_OnlyProblems ? m_ProblemOrder[position] : m_Order[position];
    }
    return m_OnlyProblems ? m_Problems[position] : position;
}

const VerifyRow& VerifyTableModel::ShownRow(int row) const {
    return Held(HeldIndex(row));
}

int VerifyTableModel::FirstProblemRow() const {
    if (m_Problems.empty()) {
        return -1;
    }
    if (m_OnlyProblems) {
        return 0;
    }
    if (m_SortColumn < 0) {
        return static_cast<int>(m_Problems.front());
    }
    const auto found = std::find(m_Order.begin(), m_Order.end(), m_Problems.front());
    return found != m_Order.end() ? static_cast<int>(found - m_Order.begin()) : -1;
}

QVariant VerifyTableModel::StatusData(const VerifyRow& row, int role) const {
    const std::size_t slot = Slot(row.status);
    switch (role) {
    case Qt::DisplayRole:
        // A compare's rows in its own words: Same, Different, Only in A, ...
        if (row.compare) {
            return VerifyCompareText(*row.compare, m_Mode);
        }
        return m_StatusTexts.at(slot);
    case Qt::DecorationRole:
        return m_Icons.at(slot);
    case Qt::ForegroundRole:
        return VerifyStatusColour(row.status);
    default:
        return {};
    }
}

QVariant VerifyTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const VerifyRow& row = ShownRow(index.row());
    if (role == StatusRole) {
        return static_cast<int>(row.status);
    }
    switch (index.column()) {
    case NameColumn:
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
            return Escaped(row.name);
        }
        return {};
    case StatusColumn:
        return StatusData(row, role);
    case DiffersColumn:
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
            return VerifyDiffersText(row, m_Mode);
        }
        if (role == Qt::ForegroundRole && row.status != VerifyStatus::Ok) {
            return VerifyStatusColour(row.status);
        }
        return {};
    case ListColumn:
        if ((role == Qt::DisplayRole || role == Qt::ToolTipRole) && row.list < m_ListNames.size()) {
            return m_ListNames[row.list];
        }
        return {};
    default:
        return {};
    }
}

QVariant VerifyTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount) {
        return {};
    }
    return m_Headers.at(static_cast<std::size_t>(section));
}

void VerifyTableModel::Append(std::vector<VerifyRow>& rows) {
    if (rows.empty()) {
        return;
    }
    std::size_t problems = 0;
    for (const VerifyRow& row : rows) {
        problems += IsProblem(row.status) ? 1U : 0U;
    }
    const std::size_t shownBefore = m_OnlyProblems ? m_Problems.size() : m_RowsHeld;
    const std::size_t shownAdded = m_OnlyProblems ? problems : rows.size();
    if (shownAdded > 0) {
        beginInsertRows(QModelIndex(), static_cast<int>(shownBefore),
                        static_cast<int>(shownBefore + shownAdded - 1));
    }
    const bool sorted = m_SortColumn >= 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const bool problem = IsProblem(rows[i].status);
        if (problem) {
            m_Problems.push_back(m_RowsHeld + i);
        }
        // Sorted, the rows join the end until the next sort.
        if (sorted) {
            m_Order.push_back(m_RowsHeld + i);
            if (problem) {
                m_ProblemOrder.push_back(m_RowsHeld + i);
            }
        }
    }
    m_BatchStarts.push_back(m_RowsHeld);
    m_RowsHeld += rows.size();
    m_Batches.push_back(std::make_shared<const std::vector<VerifyRow>>(std::move(rows)));
    rows = {};
    if (shownAdded > 0) {
        endInsertRows();
    }
    if (sorted && !m_SortRunning && !m_Resort.isActive()) {
        m_Resort.start();
    }
}

void VerifyTableModel::setListNames(std::vector<QString> names) {
    m_ListNames = std::move(names);
    if (m_RowsHeld > 0) {
        emit dataChanged(index(0, ListColumn), index(rowCount() - 1, ListColumn));
    }
}

void VerifyTableModel::Clear() {
    beginResetModel();
    for (Batch& batch : m_Batches) {
        m_ToFree.push_back(std::move(batch));
    }
    // A sort being made is of rows no longer held; the column stays chosen
    // for the rows to come.
    ++m_SortGeneration;
    m_Resort.stop();
    m_Order.clear();
    m_Order.shrink_to_fit();
    m_ProblemOrder.clear();
    m_ProblemOrder.shrink_to_fit();
    if (!m_ToFree.empty()) {
        m_Freeing.start();
    }
    m_Batches.clear();
    m_Batches.shrink_to_fit();
    m_BatchStarts.clear();
    m_RowsHeld = 0;
    m_Problems.clear();
    m_Problems.shrink_to_fit();
    endResetModel();
}

std::size_t VerifyTableModel::RowsToFree() const {
    std::size_t rows = 0;
    for (const Batch& batch : m_ToFree) {
        rows += batch->size();
    }
    return rows;
}

void VerifyTableModel::setOnlyProblems(bool only) {
    if (only == m_OnlyProblems) {
        return;
    }
    beginResetModel();
    m_OnlyProblems = only;
    endResetModel();
}

std::string VerifyTableModel::ResultText() const {
    std::string text;
    const int rows = rowCount();
    for (int row = 0; row < rows; ++row) {
        text += ShownRow(row).line;
        text += '\n';
    }
    return text;
}

std::string VerifyTableModel::ResultText(const std::vector<int>& rows) const {
    std::string text;
    for (const int row : rows) {
        if (row >= 0 && row < rowCount()) {
            text += ShownRow(row).line;
            text += '\n';
        }
    }
    return text;
}

// ---------------------------------------------------------------- sorting

void VerifyTableModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount) {
        column = -1;
    }
    if (column == m_SortColumn && (column < 0 || order == m_SortOrder)) {
        return;
    }
    ++m_SortGeneration;
    m_Resort.stop();
    const bool wasSorted = m_SortColumn >= 0;
    m_SortColumn = column;
    m_SortOrder = order;
    if (column < 0) {
        SetOrder({});
        return;
    }
    if (!wasSorted) {
        // The order shown until the sort is ready: the rows as they came.
        m_Order.resize(m_RowsHeld);
        std::iota(m_Order.begin(), m_Order.end(), std::size_t{0});
        m_ProblemOrder = m_Problems;
    }
    // A sort being made is dropped when it ends, and this one starts then.
    if (!m_SortRunning) {
        StartSort();
    }
}

void VerifyTableModel::StartSort() {
    if (m_SortColumn < 0 || m_SortRunning) {
        return;
    }
    m_SortRunning = true;
    std::thread([mailbox = m_Mailbox, batches = m_Batches, covered = m_RowsHeld,
                 column = m_SortColumn, descending = m_SortOrder == Qt::DescendingOrder,
                 generation = m_SortGeneration] {
        auto order = std::make_shared<std::vector<std::size_t>>(
            SortedOrder(batches, covered, column, descending));
        const std::lock_guard lock(mailbox->mutex);
        if (VerifyTableModel* model = mailbox->model; model != nullptr) {
            QMetaObject::invokeMethod(
                model,
                [model, generation, covered, order] {
                    model->TakeSort(generation, covered, std::move(*order));
                },
                Qt::QueuedConnection);
        }
    }).detach();
}

void VerifyTableModel::TakeSort(std::uint64_t generation, std::size_t covered,
                                std::vector<std::size_t> order) {
    m_SortRunning = false;
    if (m_SortColumn < 0) {
        return;
    }
    if (generation != m_SortGeneration) {
        // Made for another column or other rows: the sort asked for since.
        StartSort();
        return;
    }
    // The rows that came meanwhile stay at the end until the next sort.
    for (std::size_t i = covered; i < m_RowsHeld; ++i) {
        order.push_back(i);
    }
    SetOrder(std::move(order));
    if (covered < m_RowsHeld && !m_Resort.isActive()) {
        m_Resort.start();
    }
}

void VerifyTableModel::SetOrder(std::vector<std::size_t> order) {
    // The current row and the selection move with their rows.
    const QModelIndexList before = persistentIndexList();
    std::vector<std::size_t> heldBefore;
    heldBefore.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& shown : before) {
        heldBefore.push_back(HeldIndex(shown.row()));
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_Order = std::move(order);
    m_ProblemOrder.clear();
    if (m_SortColumn >= 0) {
        for (const std::size_t held : m_Order) {
            if (IsProblem(Held(held).status)) {
                m_ProblemOrder.push_back(held);
            }
        }
    }
    if (!before.isEmpty()) {
        std::vector<int> position(m_RowsHeld, -1);
        const int rows = rowCount();
        for (int row = 0; row < rows; ++row) {
            position[HeldIndex(row)] = row;
        }
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i) {
            const int row = position[heldBefore[static_cast<std::size_t>(i)]];
            after.append(row >= 0 ? index(row, before[i].column()) : QModelIndex());
        }
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace varnel
