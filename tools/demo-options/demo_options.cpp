#include "tools/demo-options/demo_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace varnel::tools {

DemoArguments ParseDemoArguments(const QStringList& arguments, const QString& description,
                                 const std::vector<DemoOption>& options,
                                 const QString& defaultSkin) {
    QCommandLineParser parser;
    parser.setApplicationDescription(description);
    const QCommandLineOption help = parser.addHelpOption();
    for (const DemoOption& option : options) {
        const QString name = QString::fromLatin1(option.name);
        const QString about = QString::fromUtf8(option.description);
        parser.addOption(option.kind == DemoOption::Kind::Flag
                             ? QCommandLineOption(name, about)
                             : QCommandLineOption(name, about, QStringLiteral("N")));
    }
    const bool takesSkin = !defaultSkin.isEmpty();
    if (takesSkin) {
        parser.addPositionalArgument(
            QStringLiteral("skin"), QStringLiteral("The skin file (default: %1).").arg(defaultSkin),
            QStringLiteral("[skin]"));
    }

    DemoArguments result;
    const QString hint = QStringLiteral("\nTry --help for the options.\n");
    const auto fail = [&](const QString& why) {
        result.outcome = DemoArguments::Outcome::Error;
        result.text = why + hint;
        return result;
    };
    // Help comes first, even beside an option that is not understood.
    const bool parsed = parser.parse(arguments);
    // --help-all, which Qt's parser adds beside --help, gives the same text.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        result.outcome = DemoArguments::Outcome::Help;
        result.text = parser.helpText();
        return result;
    }
    if (!parsed) {
        return fail(parser.errorText());
    }
    for (const DemoOption& option : options) {
        const QString name = QString::fromLatin1(option.name);
        if (!parser.isSet(name)) {
            continue;
        }
        if (option.kind == DemoOption::Kind::Flag) {
            result.flags.append(name);
            continue;
        }
        bool whole = false;
        const int value = parser.value(name).toInt(&whole);
        if (!whole) {
            return fail(QStringLiteral("--%1 takes a whole number, not \"%2\".")
                            .arg(name, parser.value(name)));
        }
        result.numbers.insert(name, value);
    }
    const QStringList rest = parser.positionalArguments();
    if (rest.size() > (takesSkin ? 1 : 0)) {
        return fail(QStringLiteral("Unexpected argument \"%1\".").arg(rest.last()));
    }
    if (takesSkin) {
        result.skin = rest.isEmpty() ? defaultSkin : rest.first();
    }
    return result;
}

int AnswerHelpWithoutDisplay(int argc, char** argv,
                             const std::function<DemoArguments(const QStringList&)>& read) {
    bool asked = false;
    for (int i = 1; i < argc && !asked; ++i) {
        for (const char* spelling : {"--help", "--help-all", "-h", "-?", "-help"}) {
            asked = asked || std::strcmp(argv[i], spelling) == 0;
        }
    }
    if (!asked) {
        return -1;
    }
    const QCoreApplication core(argc, argv);
    const DemoArguments arguments = read(QCoreApplication::arguments());
    if (arguments.outcome != DemoArguments::Outcome::Help) {
        return -1;
    }
    return FinishDemoArguments(arguments);
}

int FinishDemoArguments(const DemoArguments& arguments) {
    switch (arguments.outcome) {
    case DemoArguments::Outcome::Run:
        return -1;
    case DemoArguments::Outcome::Help:
        std::fputs(arguments.text.toLocal8Bit().constData(), stdout);
        return 0;
    case DemoArguments::Outcome::Error:
        break;
    }
    std::fputs(arguments.text.toLocal8Bit().constData(), stderr);
    return 2;
}

} // namespace varnel::tools
