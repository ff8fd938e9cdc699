#include "cli/report_command.h"

#include "cli/report_output.h"
#include "digest/cpu_paths.h"
#include "i18n/language.h"
#include "lists/file_checks.h"
#include "lists/folder_check.h"
#include "lists/program_messages.h"

#include <new>
#include <string>
#include <system_error>

#ifndef VARNEL_VERSION
#define VARNEL_VERSION "unknown"
#endif

namespace varnel {

namespace {

constexpr std::string_view kProgram = kReportProgram;

// A usage error: its reason and where the usage is, so that the reason is
// the last thing on the terminal, not scrolled away by the usage.
void UsageError(std::FILE* err, std::string_view reason) {
    std::string text(kProgram);
    text += ": ";
    text += reason;
    text += "\nTry '";
    text += kProgram;
    text += " --help'.\n";
    std::fwrite(text.data(), 1, text.size(), err);
}

int RunReportCommandOrThrow(std::span<const std::string_view> args, std::FILE* out,
                            std::FILE* err) {
    std::string error;
    const std::optional<ReportCommandLine> command = ParseReportCommandLine(args, error);
    if (!command) {
        UsageError(err, error);
        return 2;
    }
    if (command->help) {
        const std::string_view usage = ReportUsage();
        std::fwrite(usage.data(), 1, usage.size(), out);
        return std::fflush(out) == 0 ? 0 : 1;
    }
    if (command->version) {
        const std::string text =
            std::string(kProgram) + " " + VARNEL_VERSION + "\n" + HashingPathsText() + "\n";
        std::fwrite(text.data(), 1, text.size(), out);
        return std::fflush(out) == 0 ? 0 : 1;
    }

    if (command->expect) {
        std::string reason;
        const std::optional<ExpectedDigest> digest = ReadExpectedDigest(*command->expect, reason);
        if (!digest) {
            UsageError(err, "--expect: " + reason);
            return 2;
        }
        return RunExpectCheck(*digest, command->paths, command->checkOptions, out, err);
    }
    if (command->check && command->forFiles) {
        return RunOwnListCheck(command->paths, command->checkOptions, out, err);
    }
    if (command->check && command->recursive) {
        return RunFolderCheck(command->paths, command->oneFileSystem, command->checkOptions, out,
                              err);
    }
    if (command->check) {
        return RunListCheck(command->paths, command->checkOptions, out, err);
    }
    if (command->audit) {
        AuditOptions audit;
        audit.format = command->format;
        audit.root = command->root;
        audit.quiet = command->checkOptions.quiet;
        audit.json = command->checkOptions.json;
        audit.oneFileSystem = command->oneFileSystem;
        return RunAudit(command->paths, audit, out, err);
    }
    if (command->compare) {
        CompareOptions compare;
        compare.lines = command->options;
        compare.oneFileSystem = command->oneFileSystem;
        compare.quiet = command->checkOptions.quiet;
        compare.json = command->checkOptions.json;
        return RunCompare(command->paths[0], command->paths[1], compare, out, err);
    }
    if (command->update) {
        ListUpdateOptions update;
        update.format = command->format;
        update.language = command->language;
        return RunListUpdate(command->paths.front(), update, out, err);
    }

    LanguageMode language = LanguageMode::English;
    if (command->language) {
        language = *command->language;
    } else {
        ApplySystemLanguage();
        language = CurrentLanguageMode();
    }
    return WriteReport(*command, language, out, err);
}

} // namespace

int RunReportCommand(std::span<const std::string_view> args, std::FILE* out, std::FILE* err) {
    // Memory a run needs does not grow with its input; should the system
    // still refuse it, the run ends with a reason, never an abort.
    try {
        return RunReportCommandOrThrow(args, out, err);
    } catch (const std::bad_alloc&) {
        std::fflush(out);
        const std::string text = std::string(kProgram) + ": out of memory\n";
        std::fwrite(text.data(), 1, text.size(), err);
        return 2;
    } catch (const std::system_error& failure) {
        std::fflush(out);
        const std::string text = std::string(kProgram) + ": " + failure.what() + "\n";
        std::fwrite(text.data(), 1, text.size(), err);
        return 2;
    }
}

} // namespace varnel
