// The verify window's table model: each status in words, icon and colour
// (never colour alone), the "only problems" filter over rows that come in
// batches, the results in varnel-report's form, and names that would
// otherwise disturb the table shown in the visible escape.

#include "app/verify_table_model.h"
#include "app/verify_words.h"
#include "i18n/big5.h"
#include "i18n/language.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace varnel {
namespace {

VerifyRow Row(std::string name, VerifyStatus status, std::vector<std::string> differs = {},
              std::string to = {}, std::string reason = {}) {
    VerifyRow row;
    row.name = std::move(name);
    row.status = status;
    row.differs = std::move(differs);
    row.to = std::move(to);
    row.reason = std::move(reason);
    return row;
}

class VerifyTableModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        detail::SetConversionLibraryPathForTesting(std::filesystem::path(VARNEL_GB2BIG5_LIBRARY));
    }
    void TearDown() override {
        UiLanguage.clear();
        detail::SetConversionLibraryPathForTesting(std::nullopt);
    }
};

// Each status's words in the three modes, its colour's kind, and its icon's
// mark: the icon's disc is in the status's colour, and the marks differ in
// shape, so two kinds of status are told apart without their colours.
TEST_F(VerifyTableModelTest, EachStatusHasWordsAnIconAndAColour) {
    enum Hue { Green, Red, Amber, Blue };
    const struct {
        VerifyStatus status;
        const char* english;
        const char* simplified;
        const char* traditional; // as the conversion library gives it
        Hue hue;
    } cases[] = {
        {VerifyStatus::Ok, "OK", "正确", "正確", Green},
        {VerifyStatus::Failed, "Failed", "失败", "失敗", Red},
        {VerifyStatus::Unreadable, "Unreadable", "无法读取", "無法讀取", Red},
        {VerifyStatus::Malformed, "Malformed", "格式错误", "格式錯誤", Red},
        {VerifyStatus::Edited, "Edited", "已修改", "已修改", Red},
        {VerifyStatus::Damaged, "Damaged", "已损坏", "已損壞", Red},
        {VerifyStatus::Missing, "Missing", "缺失", "缺失", Amber},
        {VerifyStatus::Moved, "Moved", "已移动", "已移動", Amber},
        {VerifyStatus::New, "New", "新增", "新增", Blue},
    };
    std::set<std::vector<int>> shapes; // the marks' gray levels, by shape kind
    for (const auto& c : cases) {
        SCOPED_TRACE(c.english);
        EXPECT_EQ(VerifyStatusText(c.status, LanguageMode::English), QString::fromUtf8(c.english));
        EXPECT_EQ(VerifyStatusText(c.status, LanguageMode::Simplified),
                  QString::fromUtf8(c.simplified));
        EXPECT_EQ(VerifyStatusText(c.status, LanguageMode::Traditional),
                  QString::fromUtf8(c.traditional));

        const QColor colour = VerifyStatusColour(c.status);
        const int r = colour.red();
        const int g = colour.green();
        const int b = colour.blue();
        switch (c.hue) {
        case Green:
            EXPECT_TRUE(g > r && g > b);
            break;
        case Red:
            EXPECT_TRUE(r > g && r > b);
            break;
        case Amber:
            EXPECT_TRUE(r > b && g > b && r > g);
            break;
        case Blue:
            EXPECT_TRUE(b > r && b > g);
            break;
        }
        // Dark enough to read as text on white.
        EXPECT_LT(colour.lightness(), 140);

        const QImage icon = DrawVerifyStatusIcon(c.status).pixmap(16, 16).toImage();
        ASSERT_FALSE(icon.isNull());
        // Inside the disc, away from the mark.
        EXPECT_EQ(icon.pixelColor(8, 2).rgb(), colour.rgb());
        std::vector<int> grays;
        for (int y = 3; y < 13; ++y) {
            for (int x = 3; x < 13; ++x) {
                grays.push_back(icon.pixelColor(x, y).lightness() > 200 ? 1 : 0);
            }
        }
        shapes.insert(grays);
    }
    // Check, cross, minus, arrow, plus.
    EXPECT_EQ(shapes.size(), 5U);
}

// Rows come in batches, the filter on or off: the shown rows and the
// insertions the view hears of match, in order.
TEST_F(VerifyTableModelTest, OnlyProblemsShowsTheProblemRowsInOrder) {
    VerifyTableModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    const auto batch = [](std::initializer_list<std::pair<const char*, VerifyStatus>> rows) {
        std::vector<VerifyRow> out;
        for (const auto& [name, status] : rows) {
            out.push_back(Row(name, status));
        }
        return out;
    };
    const struct {
        bool onlyProblems; // before the batch
        std::vector<VerifyRow> rows;
        int insertedRows; // what the view hears of
    } steps[] = {
        {false, batch({{"a", VerifyStatus::Ok}, {"b", VerifyStatus::Failed}}), 2},
        {true, batch({{"c", VerifyStatus::Ok}, {"d", VerifyStatus::Missing}}), 1},
        {true, batch({{"e", VerifyStatus::Ok}}), 0},
        {true, batch({{"f", VerifyStatus::New}, {"g", VerifyStatus::Moved}}), 2},
        {false, batch({{"h", VerifyStatus::Unreadable}}), 1},
    };
    for (auto step : steps) {
        model.setOnlyProblems(step.onlyProblems);
        inserted.clear();
        model.Append(step.rows);
        EXPECT_TRUE(step.rows.empty()) << "the rows are moved in";
        int heard = 0;
        for (const QList<QVariant>& signal : inserted) {
            heard += signal.at(2).toInt() - signal.at(1).toInt() + 1;
        }
        EXPECT_EQ(heard, step.insertedRows);
    }
    const auto shown = [&model] {
        std::string names;
        for (int row = 0; row < model.rowCount(); ++row) {
            names += model.ShownRow(row).name;
        }
        return names;
    };
    EXPECT_EQ(shown(), "abcdefgh");
    model.setOnlyProblems(true);
    EXPECT_EQ(shown(), "bdfgh");
    EXPECT_EQ(model.RowsHeld(), 8U);
    EXPECT_EQ(model.index(0, VerifyTableModel::NameColumn).data(VerifyTableModel::StatusRole),
              static_cast<int>(VerifyStatus::Failed));
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.ProblemsHeld(), 0U);
    // The rows are freed on later turns of the event loop.
    EXPECT_EQ(model.RowsToFree(), 8U);
    EXPECT_TRUE(QTest::qWaitFor([&model] { return model.RowsToFree() == 0; }));
}

// What each column shows (names in the visible escape), and the lines of
// the rows shown copied as the run words them.
TEST_F(VerifyTableModelTest, ColumnsAndCopiedLines) {
    const struct {
        VerifyRow row;
        const char* name;    // the name column
        const char* differs; // the third column, English mode
        const char* line;    // copied
    } cases[] = {
        {Row("a.bin", VerifyStatus::Ok), "a.bin", "", "a.bin: OK"},
        {Row("r/b.exe", VerifyStatus::Failed, {"size", "MD5"}), "r/b.exe", "size, MD5",
         "r/b.exe: FAILED (size, MD5)"},
        {Row("c", VerifyStatus::Unreadable, {}, {}, "Permission denied"), "c", "Permission denied",
         "c: FAILED open or read"},
        {Row("gone", VerifyStatus::Missing), "gone", "", "gone: MISSING"},
        {Row("gone2", VerifyStatus::Missing, {}, {}, "not found"), "gone2", "",
         "gone2: FAILED open or read"},
        {Row("d.jpg", VerifyStatus::Moved, {}, "2026/d.jpg"), "d.jpg", "→ 2026/d.jpg",
         "d.jpg: MOVED to 2026/d.jpg"},
        {Row("e", VerifyStatus::Damaged, {"SHA-1", "MD5"}), "e", "SHA-1, MD5",
         "e: DAMAGED (SHA-1, MD5)"},
        {Row("blk", VerifyStatus::Malformed), "blk", "", "blk: FAILED improperly formatted"},
        // Names that would break a line, turn text around or are not UTF-8.
        {Row("new\nline", VerifyStatus::Ok), "new\\nline", "", "new\\nline: OK"},
        {Row("bad\xff.bin", VerifyStatus::New), "bad\\377.bin", "", "bad\\377.bin: NEW"},
        {Row("bidi\u202Etxt.exe", VerifyStatus::Moved, {}, "tab\there "), "bidi\\u202Etxt.exe",
         "→ tab\\there\\040", "bidi\\u202Etxt.exe: MOVED to tab\\there\\040"},
    };
    VerifyTableModel model;
    std::string expectedText;
    for (const auto& c : cases) {
        std::vector<VerifyRow> one{c.row};
        one.back().line = c.line; // as the run words it
        model.Append(one);
        const int row = model.rowCount() - 1;
        EXPECT_EQ(model.index(row, VerifyTableModel::NameColumn).data().toString(),
                  QString::fromUtf8(c.name));
        EXPECT_EQ(model.index(row, VerifyTableModel::DiffersColumn).data().toString(),
                  QString::fromUtf8(c.differs));
        const QModelIndex status = model.index(row, VerifyTableModel::StatusColumn);
        EXPECT_EQ(status.data().toString(), VerifyStatusText(c.row.status, LanguageMode::English));
        EXPECT_FALSE(status.data(Qt::DecorationRole).value<QIcon>().isNull());
        EXPECT_EQ(status.data(Qt::ForegroundRole).value<QColor>(),
                  VerifyStatusColour(c.row.status));
        if (IsProblem(c.row.status)) {
            expectedText += std::string(c.line) + "\n";
        }
    }
    model.setOnlyProblems(true);
    EXPECT_EQ(model.ResultText(), expectedText);
}

// The Chinese modes name the report lines that differ in the main window's
// words; digest names and the system's reasons stay as they are.
TEST_F(VerifyTableModelTest, ChineseModesNameTheLinesThatDiffer) {
    const VerifyRow row = Row("x", VerifyStatus::Edited, {"size", "modified time", "MD5"});
    EXPECT_EQ(VerifyDiffersText(row, LanguageMode::English), u"size, modified time, MD5");
    EXPECT_EQ(VerifyDiffersText(row, LanguageMode::Simplified), u"文件大小, 修改时间, MD5");
    EXPECT_EQ(VerifyDiffersText(row, LanguageMode::Traditional), u"文件大小, 修改時間, MD5");
    const struct {
        const char* mode;
        const char* header;
    } headers[] = {{"", "Status"}, {"CHINESE", "结果"}, {"TAIWAN", "結果"}};
    for (const auto& c : headers) {
        UiLanguage = c.mode;
        const VerifyTableModel model;
        EXPECT_EQ(model.headerData(VerifyTableModel::StatusColumn, Qt::Horizontal).toString(),
                  QString::fromUtf8(c.header))
            << c.mode;
    }
}

// The engine's English messages and reasons in the window's words, the
// names, line numbers and counts kept; what the table does not know stays
// as it came. The reason column of a row says them in its mode.
TEST_F(VerifyTableModelTest, TheEnginesWordsInTheWindowsLanguage) {
    const std::string denied = std::generic_category().message(EACCES);
    const std::string gone = std::generic_category().message(ENOENT);
    const struct {
        std::string engine;
        std::string simplified; // English mode: the engine's text itself
    } cases[] = {
        {"SUMS: line 4: improperly formatted checksum line", "SUMS：第 4 行：校验行格式错误"},
        {"a b.md5: line 12: improperly formatted report line (and 1,203 others)",
         "a b.md5：第 12 行：报告行格式错误（另有 1,203 行）"},
        {"odd: line 1: not a checksum line of a known format",
         "odd：第 1 行：不是已知格式的校验行"},
        {"standard input: no checksum lines", "标准输入：没有校验行"},
        {"x: y.md5: " + denied, "x: y.md5：权限不足"}, // a name holding ": "
        {"nonexist.sha256: " + gone, "nonexist.sha256：没有那个文件或文件夹"},
        {"l.md5: cannot read: " + std::generic_category().message(EIO),
         "l.md5：无法读取：输入/输出错误"},
        {"l.md5: cannot read: odd failure", "l.md5：无法读取：odd failure"},
        {"/dev/zero: is a device, not a stream of lines", "/dev/zero：是设备，不是逐行的数据流"},
        {"audit: not finished: a list could not be read", "查找新文件未完成：有清单无法读取"},
        {"not a regular file, not read", "不是普通文件，未读取"},
        {"is a folder", "是文件夹"},
        {denied, "权限不足"},
        {"read error: " + std::generic_category().message(EIO), "读取出错：输入/输出错误"},
        {"changed while it was read (it became shorter)", "读取期间文件有变动（变短了）"},
        {"Some error the table does not know", "Some error the table does not know"},
        {"list: something new", "list: something new"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.engine);
        EXPECT_EQ(VerifyWords(c.engine, LanguageMode::English), c.engine);
        EXPECT_EQ(VerifyWords(c.engine, LanguageMode::Simplified), c.simplified);
    }
    // Traditional: the words converted, the name (Simplified characters
    // included) kept as it is.
    EXPECT_EQ(VerifyWords("简体.md5: line 4: improperly formatted checksum line",
                          LanguageMode::Traditional),
              "简体.md5" + ConvertToBig5("：第 4 行：校验行格式错误"));
    const VerifyRow row =
        Row("fifo", VerifyStatus::Unreadable, {}, {}, "not a regular file, not read");
    EXPECT_EQ(VerifyDiffersText(row, LanguageMode::Simplified), u"不是普通文件，未读取");
    EXPECT_EQ(VerifyDiffersText(row, LanguageMode::Traditional),
              QString::fromStdString(ConvertToBig5("不是普通文件，未读取")));
    EXPECT_EQ(VerifyDiffersText(row, LanguageMode::English), u"not a regular file, not read");
}

} // namespace
} // namespace varnel
