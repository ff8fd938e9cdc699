#pragma once

// Start-up of the program: the main window is made and shown; the program
// then runs in the application's event loop until its last window closes.

#include "digest/digest_kinds.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QMimeData;

namespace varnel {

class Common_MD5_View;
class VerifyWindow;

// Nothing needs initialising for the controls on this platform: true.
bool InitControlLibrary();

// Creates the main window into mainWindow when there is none yet and shows
// it without a modal loop. The caller owns the window and runs the event loop.
// Paths named on the command line (native bytes, as the program received
// them) are reported once the event loop runs, as a drop of those items on
// the report box would report them: in order, a folder with its own block
// and then those of its files. A path that leads to nothing is not reported:
// the window says that no such file exists, as its open-file dialog says of
// a typed name. No paths: nothing is reported. digests are the added digest
// lines chosen from the start (the command line's --sha256, ...).
void Main(std::unique_ptr<Common_MD5_View>& mainWindow, const std::vector<std::string>& paths = {},
          const DigestSelection& digests = {});

// Creates the verify window into window when there is none yet and shows it
// in place of the main window; the lists (native bytes, as the program
// received them) are verified once the event loop runs.
void MainVerify(std::unique_ptr<VerifyWindow>& window, const std::vector<std::string>& lists);

// The same window comparing two files or two folders (varnel --compare A B).
void MainCompare(std::unique_ptr<VerifyWindow>& window, const std::string& a, const std::string& b);

// The drop that stands for paths named on the command line: one local file
// URL per path, carrying the path's exact bytes. A relative path is taken
// from workingFolder; "." components are left out, ".." ones kept (a link
// may lead elsewhere). Empty paths are skipped, and so are relative ones when
// workingFolder is empty (the working folder could not be read).
std::unique_ptr<QMimeData> CommandLineDrop(const std::vector<std::string>& paths,
                                           const std::filesystem::path& workingFolder);

} // namespace varnel
