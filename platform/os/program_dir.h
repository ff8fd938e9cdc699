#pragma once

// The program's own folder and the parent-folder rule of the scripting
// runtime's GetParentFolderName.

#include <filesystem>

namespace varnel::platform {

// The folder that holds the running executable (from /proc/self/exe, links
// resolved), without a trailing separator; the root keeps its "/". Empty when
// the executable's path cannot be read.
std::filesystem::path ProgramDir();

// The path without its last component, as GetParentFolderName gives it:
// "/opt/Tools/Hash" -> "/opt/Tools", "/opt/Tools/Hash/" -> "/opt/Tools",
// "/opt" -> "/" (a folder directly below the root gives the root with its
// separator), "/" -> "" (the root has no parent), "Hash" -> "" and "" -> "".
std::filesystem::path ParentFolderName(const std::filesystem::path& path);

} // namespace varnel::platform
