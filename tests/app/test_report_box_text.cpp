#include "app/report_box_text.h"

#include <gtest/gtest.h>

#include <string>

namespace varnel {
namespace {

constexpr char16_t kLine = u'\u2028';
constexpr char16_t kParagraph = u'\u2029';

// The box's raw text of a document holding shown: each '\n' of the shown
// text is where a paragraph ends.
QString RawTextOf(QString shown) {
    return shown.replace(u'\n', kParagraph);
}

TEST(ReportBoxText, ReportTextComesBackExactlyFromTheBox) {
    struct Case {
        const char* name;
        std::string report;
        std::u16string shown;
        bool comesBack = true;
    };
    const Case cases[] = {
        {"nothing", "", u""},
        {"one block", "a\r\nb\r\n\r\n", u"a\u2028b\u2028\n"},
        {"two blocks", "a\r\n\r\nb\r\n\r\n", u"a\u2028\nb\u2028\n"},
        {"Chinese and a four-byte character", "文件名称：\xF0\x9F\x98\x80\r\n\r\n",
         u"文件名称：\U0001F600\u2028\n"},
        {"blank lines in a row", "a\r\n\r\n\r\n", u"a\u2028\n\u2028"},
        {"a line without its blank line", "a\r\nb", u"a\u2028b"},
        // A lone CR is no line end the box knows; reports hold none.
        {"a CR LF cut in two", "a\r", u"a\r", false},
    };
    for (const Case& c : cases) {
        QString box;
        AppendBoxText(box, c.report);
        EXPECT_EQ(box, QString::fromStdU16String(c.shown)) << c.name;
        if (c.comesBack) {
            EXPECT_EQ(ReportTextOfBox(RawTextOf(box)).toStdString(), c.report) << c.name;
        }
    }
}

TEST(ReportBoxText, AppendsAfterWhatTheBufferHoldsAndReusesIt) {
    QString box = QStringLiteral("kept");
    AppendBoxText(box, "x\r\n\r\n");
    AppendBoxText(box, "\xFF\r\n"); // a byte that starts no UTF-8 character
    EXPECT_EQ(box, QStringLiteral("keptx") + QChar(kLine) + u'\n' +
                       QChar(QChar::ReplacementCharacter) + QChar(kLine));

    // Emptied for the next turn, the buffer keeps its storage.
    const std::string block(4000, 'y');
    AppendBoxText(box, block);
    const QChar* storage = box.constData();
    box.resize(0);
    AppendBoxText(box, block.substr(0, 100));
    EXPECT_EQ(box.constData(), storage);
    EXPECT_EQ(box, QString(100, u'y'));
}

TEST(ReportBoxText, TypedTextGetsCrLfLineEnds) {
    const QString raw =
        QStringLiteral("a") + QChar(kLine) + QChar(kParagraph) + QStringLiteral("note\nmore");
    EXPECT_EQ(ReportTextOfBox(raw), QStringLiteral("a\r\n\r\nnote\r\nmore"));
}

} // namespace
} // namespace varnel
