#pragma once

// The command line of the demo programs (border-demo, caption-demo,
// winstyle-demo): their own options, a --help that prints them, and an
// optional skin file. Qt's application object has taken its own options
// (-platform, -style, ...) before these are read, so no demo option may
// share a name with one of Qt's.

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace varnel::tools {

struct DemoOption {
    enum class Kind { Flag, Integer };
    const char* name; // the long name, without its dashes
    Kind kind;
    const char* description;
};

struct DemoArguments {
    enum class Outcome {
        Run,   // the options were read: run the demo
        Help,  // --help was given: print text and end with success
        Error, // unreadable options: print text and end with failure
    };
    Outcome outcome = Outcome::Run;
    QString text;                // the help, or the error followed by a hint
    QStringList flags;           // the flags given
    QHash<QString, int> numbers; // the values of the integer options given
    QString skin;                // the skin file named, else the default one

    bool has(const QString& flag) const { return flags.contains(flag); }
    int number(const QString& option, int otherwise) const {
        return numbers.value(option, otherwise);
    }
};

// Reads arguments (the program's name first, as QCoreApplication::arguments
// gives them). With a non-empty defaultSkin the demo takes one optional skin
// file, defaulting to it; without one it takes no file at all.
DemoArguments ParseDemoArguments(const QStringList& arguments, const QString& description,
                                 const std::vector<DemoOption>& options,
                                 const QString& defaultSkin = QString());

// Answers --help (or -h, -?) before the application object is made, so that
// the help needs no display: when argv asks for help, read is called with the
// arguments under a QCoreApplication and its help is printed. Returns 0 when
// the help was printed, -1 otherwise (the demo goes on to make its
// application and read its arguments for real).
int AnswerHelpWithoutDisplay(int argc, char** argv,
                             const std::function<DemoArguments(const QStringList&)>& read);

// Prints what the outcome asks for (help on standard output, an error on
// standard error) and returns the exit status to end with, or -1 when the
// demo is to run.
int FinishDemoArguments(const DemoArguments& arguments);

} // namespace varnel::tools
