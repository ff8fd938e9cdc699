#pragma once

// The verify window's verdict: two files compared, or files checked against a
// digest the user pasted, told large and plain ("相同" / "不同", "Same" /
// "Different") beside an icon whose shape tells them apart as well as its
// colour (a tick in a circle, a cross in a square), with the kind of digest
// that matched or the lines that differ under it. A screen reader reads the
// verdict, the icon's shape and the detail by their accessible names.
//
// Beside it, the lines of two files compared side by side (the differing
// ones marked), and the box a digest is pasted into.

#include "app/verify_run.h"
#include "i18n/language.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace varnel {

// The verdict's words in a language mode: 相同 / 不同 (the Traditional mode's
// form of them), Same / Different.
QString VerdictWord(bool same, LanguageMode mode);

// The verdict's icon at size pixels: a white tick on a green circle, a white
// cross on a red square.
QPixmap DrawVerdictIcon(bool same, int size);

class VerdictPanel : public QWidget {
public:
    explicit VerdictPanel(QWidget* parent = nullptr);

    // Shows the verdict, and detail under it (the kind that matched, what
    // differs); the panel shows itself.
    void ShowVerdict(bool same, const QString& detail);
    // Nothing to tell: hidden.
    void ClearVerdict();

    // The verdict shown (nothing while hidden).
    std::optional<bool> Verdict() const { return m_Verdict; }
    QString VerdictText() const;
    QString DetailText() const;

private:
    QLabel* m_Icon = nullptr;
    QLabel* m_Word = nullptr;
    QLabel* m_Detail = nullptr;
    std::optional<bool> m_Verdict;
};

// The lines of two files compared: the line, file A's value and file B's,
// a differing line marked by a sign, its colour and bold type.
class CompareLinesView : public QWidget {
public:
    explicit CompareLinesView(QWidget* parent = nullptr);

    // The files' paths as the header names them, and their lines.
    void ShowLines(const QString& a, const QString& b, const std::vector<CompareLineRow>& lines);
    QTableWidget* table() const { return m_Table; }

private:
    QTableWidget* m_Table = nullptr;
};

// The box a digest is pasted or typed into, and its check button.
class DigestBox : public QWidget {
public:
    explicit DigestBox(QWidget* parent = nullptr);

    QLineEdit* edit() const { return m_Edit; }
    QPushButton* checkButton() const { return m_Check; }
    // Says why what was typed is no digest (empty: clears it).
    void ShowProblem(const QString& text);

private:
    QLineEdit* m_Edit = nullptr;
    QPushButton* m_Check = nullptr;
    QLabel* m_Problem = nullptr;
};

} // namespace varnel
