#pragma once

// What the windows save: the verify window's results (as varnel-report
// writes them, as JSON Lines, as CSV), and the files written whole or not at
// all, on a thread of their own so that a slow disk never holds a window up.

#include "app/verify_run.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace varnel {

class VerifyTableModel;

// The forms of saved results, in the order of ResultsFileFilter's entries.
enum class ResultsForm { Text, Json, Csv };

// The save dialog's filter for results, in the common dialog's form, in the
// language mode read now.
QString ResultsFileFilter();

// The rows as a results file: Text, each row's line as varnel-report writes
// it; Json, one object a line as --json writes it ("list" added for rows of
// several lists); Csv, a header and a row each (name, status, differs, to,
// list), CR LF line ends. lists are the paths that rows' list indexes name.
std::string ResultsFileText(const std::vector<const VerifyRow*>& rows,
                            const std::vector<std::string>& lists, ResultsForm form);

// Writes bytes to path (native) on a thread of its own, through a temporary
// file in the same folder renamed over path, so that path holds either what
// it held before or all of bytes. done is called on receiver's thread with
// the reason when the write failed, an empty text when it succeeded; never
// once receiver is gone.
void SaveFileInBackground(QObject* receiver, std::string path, std::string bytes,
                          std::function<void(const QString& failure)> done);

} // namespace varnel
