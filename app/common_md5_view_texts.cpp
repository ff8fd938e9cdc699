// The main window's texts: the Close button's faces, the hover hints and
// what a screen reader reads of the controls, in the window's language.

#include "app/common_md5_view.h"

#include "i18n/language.h"
#include "i18n/shown_text.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace varnel {

bool Common_MD5_View::CaptionIs(const char* text) const {
    const QString caption = Command5->text();
    return caption == QString::fromUtf8(text) ||
           caption == ShownChinese(text, LanguageMode::Traditional);
}

void Common_MD5_View::SetStopFace() {
    Command5->setText(ShownChinese(kStopCaption));
    Command5->setToolTip(ShownChinese(kStopHint));
    DescribeCloseButton();
}

void Common_MD5_View::SetCloseFace() {
    Command5->setText(ShownChinese(kCloseCaption));
    Command5->setToolTip(ShownChinese(kCloseHint));
    DescribeCloseButton();
}

void Common_MD5_View::SetFaceAfterRun() {
    if (m_FolderReport) {
        SetCloseFace();
        return;
    }
    // A report of single files shows the stop face only while it runs (a
    // large file can be stopped); the button then reads Close again with the
    // hint it had before, so that a hint left from the design stays.
    Command5->setText(ShownChinese(kCloseCaption));
    Command5->setToolTip(m_HintBeforeRun);
    DescribeCloseButton();
}

void Common_MD5_View::SetHoverHint(QWidget* control, const char* chineseHint) {
    if (CurrentLanguageMode() != LanguageMode::English) {
        control->setToolTip(ShownChinese(chineseHint));
    }
}

void Common_MD5_View::Command5_MouseMove() {
    if (CaptionIs(kCloseCaption)) {
        SetHoverHint(Command5, kCloseHint);
    }
    if (CaptionIs(kStopCaption)) {
        SetHoverHint(Command5, kStopHint);
    }
}

std::vector<Common_MD5_View::Hint> Common_MD5_View::Hints() const {
    return {
        {Command1, "打开文件"},   {Command2, "打开目录"},     {Command3, "复制内容"},
        {Command4, "清除内容"},   {Command6, "比较两个文件"}, {Command7, "更多实用工具"},
        {Command8, "关于作者"},   {Check1, "显示MD5值"},      {Check2, "显示SHA1值"},
        {Check3, "显示CRC32值"},  {Check4, "显示修改时间"},   {Check5, "显示文件大小"},
        {Check6, "显示文件版本"},
    };
}

void Common_MD5_View::OnHover(QObject* control) {
    if (control == Command5) {
        Command5_MouseMove();
        return;
    }
    for (const Hint& hint : Hints()) {
        if (hint.control == control) {
            SetHoverHint(hint.control, hint.text);
            return;
        }
    }
}

void Common_MD5_View::DescribeControls() {
    // A screen reader reads a control's description, which is its hover hint
    // unless one is set: in the Chinese modes the hints turn Chinese only as
    // the pointer passes, so the descriptions are set in the window's
    // language from the start. In the English mode the designed hints are
    // English already.
    if (CurrentLanguageMode() != LanguageMode::English) {
        for (const Hint& hint : Hints()) {
            hint.control->setAccessibleDescription(ShownChinese(hint.text));
        }
    }
    Text1->setAccessibleName(CurrentLanguageMode() == LanguageMode::English
                                 ? QStringLiteral("Report")
                                 : ShownChinese("报告"));
    DescribeCloseButton();
}

void Common_MD5_View::DescribeCloseButton() {
    const bool stop = CaptionIs(kStopCaption);
    if (CurrentLanguageMode() == LanguageMode::English) {
        Command5->setAccessibleDescription(stop ? QStringLiteral("Stop running")
                                                : QStringLiteral("Close"));
    } else {
        Command5->setAccessibleDescription(ShownChinese(stop ? kStopHint : kCloseHint));
    }
}

} // namespace varnel
