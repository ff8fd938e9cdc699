#pragma once

// What a command-line program asks of the system before it starts: its
// arguments as UTF-8 text and a console that shows UTF-8.

#include <string>
#include <vector>

namespace varnel::platform {

// Readies the console for the program's output. On Windows: the console
// shows UTF-8 (what the program writes, to the console as to files), and
// Ctrl+C or Ctrl+Break ends the program at once with status 130, as SIGINT
// does on Linux (what was written stays written; a list being updated is
// left as it was). On Linux there is nothing to do.
void PrepareConsole() noexcept;

// The program's arguments (without the program's name) as the program's
// text: argv as it is on Linux; on Windows the wide command line converted to
// UTF-8, so that names in any script reach the program whole.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

} // namespace varnel::platform
