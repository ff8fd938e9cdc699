#pragma once

// Test stand-ins for the main window's seams: dialogs that answer from a
// script instead of showing, and a link opener that records.

#include "platform/qt/file_dialogs.h"
#include "platform/qt/link_opener.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

namespace varnel::test {

// Answers the next dialogs in order. An open-file answer of "" is a cancel;
// a null folder answer (QString()) is a cancel. A dialog without a scripted answer
// counts as cancelled. Each call is recorded. A hook, when set, runs while
// the "dialog" is open (as a modal dialog's own event loop would let it).
class ScriptedDialogs final : public platform::DialogService {
public:
    std::deque<QString> fileAnswers;
    std::deque<QString> folderAnswers;
    QStringList fileFilters;   // the filter of each open-file call
    QStringList folderPrompts; // the prompt of each folder call
    QStringList notFound;      // the name of each not-found message
    QStringList fileTitles;    // the title of each open-file call that has one
    // Save dialogs: each answer in turn; none left is a cancel.
    std::deque<SaveChoice> saveAnswers;
    QStringList saveFilters;
    std::function<void()> whileOpen;

    QString GetOpenFileName(QWidget*, const QString& filter) override {
        fileFilters.append(filter);
        if (whileOpen) {
            whileOpen();
        }
        if (fileAnswers.empty()) {
            return {};
        }
        QString answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }

    QString GetOpenFileNameTitled(QWidget* owner, const QString& filter,
                                  const QString& title) override {
        fileTitles.append(title);
        return GetOpenFileName(owner, filter);
    }

    std::optional<SaveChoice> GetSaveFileName(QWidget*, const QString& filter, const QString&,
                                              const QString&) override {
        saveFilters.append(filter);
        if (saveAnswers.empty()) {
            return std::nullopt;
        }
        SaveChoice answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }

    std::optional<QString> GetExistingFolder(QWidget*, const QString& prompt) override {
        folderPrompts.append(prompt);
        if (whileOpen) {
            whileOpen();
        }
        if (folderAnswers.empty()) {
            return std::nullopt;
        }
        const QString answer = folderAnswers.front();
        folderAnswers.pop_front();
        if (answer.isNull()) {
            return std::nullopt;
        }
        return answer;
    }

    void ShowFileNotFound(QWidget*, const QString& name) override { notFound.append(name); }
};

class RecordingLinkOpener final : public platform::LinkOpener {
public:
    explicit RecordingLinkOpener(QStringList& opened) : m_Opened(opened) {}
    bool OpenLink(const QString& address) override {
        m_Opened.append(address);
        return true;
    }

private:
    QStringList& m_Opened;
};

} // namespace varnel::test
