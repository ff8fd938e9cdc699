#pragma once

// The verify window's table: the rows of a VerifyRun (app/verify_run.h) as
// a model of four columns (the entry's name, its status, what differs, the
// list it came from), appended in batches as the run hands them over. With
// "only problems" the model shows the rows whose status is a problem,
// through a list of their indexes kept as rows come, so switching the
// filter on or off over 100,000 rows costs no pass over them.
//
// Sorting by a column orders the rows on a thread of its own, over the
// batches as they stand (a batch is never changed once appended), and the
// order is taken in one step when it is ready: the window's event loop
// never waits on a sort of 100,000 rows. Rows that come meanwhile join the
// end until the next sort, which follows on its own while rows keep coming.
//
// A status is told three ways at once, never by colour alone: its words,
// an icon drawn in code (a check, a cross, a minus, an arrow, a plus) and
// the colour of both (green, red, amber, blue). Names are shown in the
// visible escape (formats/name_escape.h), so a name with a line end, a
// control or bidirectional character or bytes that are not UTF-8 shows as
// what it is and cannot disturb the table.

#include "app/verify_run.h"
#include "i18n/language.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QIcon>
#include <QString>
#include <QTimer>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace varnel {

inline constexpr std::size_t kVerifyStatusCount = 9;

// The words of a status in a language mode: "正确", "失败", ... (the
// Traditional texts are the Simplified ones converted), "OK", "Failed", ...
QString VerifyStatusText(VerifyStatus status, LanguageMode mode);

// The words of a compare's verdict in the status column: "相同", "不同",
// "仅在 A 中", ..., "Same", "Different", "Only in A", ...
QString VerifyCompareText(CompareVerdict verdict, LanguageMode mode);

// The colour a status is shown in: green for OK, red for what failed, amber
// for what is gone or moved, blue for what is new.
QColor VerifyStatusColour(VerifyStatus status);

// The status's icon, drawn at the sizes a table and its high-resolution
// forms ask for.
QIcon DrawVerifyStatusIcon(VerifyStatus status);

// What the third column says of a row: the lines or digests that differ
// ("size, MD5"; in the Chinese modes the lines in Chinese), "→ new name"
// for a move, or the reason a file could not be read (in the mode's words:
// app/verify_words.h).
QString VerifyDiffersText(const VerifyRow& row, LanguageMode mode);

class VerifyTableModel : public QAbstractTableModel {
public:
    enum Column { NameColumn = 0, StatusColumn, DiffersColumn, ListColumn, ColumnCount };
    // The row's VerifyStatus, as an int, in every column.
    static constexpr int StatusRole = Qt::UserRole;

    // The texts are those of the language mode read now.
    explicit VerifyTableModel(QObject* parent = nullptr);
    ~VerifyTableModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Moves the rows onto the end of the table (rows is left empty); the
    // view hears of the rows it shows in one insertion.
    void Append(std::vector<VerifyRow>& rows);
    // The names the list column shows, by the rows' list index.
    void setListNames(std::vector<QString> names);
    // Empties the table. The rows it held are freed a part at a time on
    // later turns of the event loop: freeing 100,000 rows at once would hold
    // the window up.
    void Clear();
    // Rows emptied out and not yet freed.
    std::size_t RowsToFree() const;

    bool OnlyProblems() const { return m_OnlyProblems; }
    void setOnlyProblems(bool only);

    // Every row held, shown or not, and the problems among them.
    std::size_t RowsHeld() const { return m_RowsHeld; }
    std::size_t ProblemsHeld() const { return m_Problems.size(); }
    // The row shown at position row (0 <= row < rowCount()).
    const VerifyRow& ShownRow(int row) const;
    // The position of the first problem shown (in the order the rows came),
    // or -1 when none is.
    int FirstProblemRow() const;

    // The shown rows as varnel-report writes them, one line each.
    std::string ResultText() const;
    // The same of the shown rows given (positions, in the order given).
    std::string ResultText(const std::vector<int>& rows) const;

    // Orders the rows by column (-1: in the order they came). The view's
    // header asks; the rows move once the order is ready.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int SortColumn() const { return m_SortColumn; }
    // A sort is being made, or is due for rows that came after the last one.
    bool SortPending() const { return m_SortRunning || m_Resort.isActive(); }

private:
    using Batch = std::shared_ptr<const std::vector<VerifyRow>>;
    struct SortMailbox;

    QVariant StatusData(const VerifyRow& row, int role) const;
    const VerifyRow& Held(std::size_t index) const;
    std::size_t HeldIndex(int row) const;
    // Starts a sort of every row held, unless one is being made.
    void StartSort();
    // Takes a finished sort of the first covered rows.
    void TakeSort(std::uint64_t generation, std::size_t covered, std::vector<std::size_t> order);
    // Replaces the shown order (empty: the order the rows came in) and
    // moves the view's persistent indexes with their rows.
    void SetOrder(std::vector<std::size_t> order);

    LanguageMode m_Mode;
    // The rows in the batches they came in: a batch is kept as it is, so
    // appending never moves the rows before it (one vector of 100,000 rows
    // would be copied into new memory each time it grew, in one turn of the
    // window's event loop).
    // (Shared with a sort being made, which reads them on its thread.)
    std::vector<Batch> m_Batches;
    std::vector<std::size_t> m_BatchStarts; // the index of each batch's first row
    std::size_t m_RowsHeld = 0;
    std::vector<std::size_t> m_Problems; // indexes of the rows that are problems
    std::vector<Batch> m_ToFree;         // batches emptied out, freed by m_Freeing
    QTimer m_Freeing;
    bool m_OnlyProblems = false;
    std::vector<QString> m_ListNames;

    // Sorted: the indexes of every row held in the order shown (the rows
    // that came after the last sort at the end), and of the problems.
    int m_SortColumn = -1;
    Qt::SortOrder m_SortOrder = Qt::AscendingOrder;
    std::vector<std::size_t> m_Order;
    std::vector<std::size_t> m_ProblemOrder;
    std::uint64_t m_SortGeneration = 0; // a sort made before a change is dropped
    bool m_SortRunning = false;
    QTimer m_Resort; // the next sort while rows keep coming
    std::shared_ptr<SortMailbox> m_Mailbox;

    std::array<QString, kVerifyStatusCount> m_StatusTexts;
    std::array<QIcon, kVerifyStatusCount> m_Icons;
    std::array<QString, ColumnCount> m_Headers;
};

} // namespace varnel
