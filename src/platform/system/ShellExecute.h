#pragma once
// Handing files and programs to the desktop: opening a document with the viewer the desktop
// associates with its type, and starting a program without waiting for it. Both go through
// replaceable launchers so that tests see what would be opened without starting anything.
//
// Thread: GUI thread. Nothing here throws: failures are false results (a launcher that throws
// counts as failing).
#include <functional>
#include <string>
#include <vector>

// Opens file (resolved like every content name: "\" or "/" separators, any letter case) with
// the desktop's viewer, as the system's shell "open" verb does. False when the file does not
// exist, the desktop has no program for its type, or no viewer could be started.
[[nodiscard]] bool ShellOpenFile(const std::string& file);
// Starts program (a name searched on the PATH, or a path) with arguments and returns at once.
// False when the program is not found or could not be started.
[[nodiscard]] bool StartProcess(const std::string& program, const std::vector<std::string>& arguments = {});
// Whether program can be found (on the PATH, or as an executable file).
[[nodiscard]] bool ProgramExists(const std::string& program);

// What actually opens a resolved, existing file; what actually starts a program. Null restores
// the desktop's own. Each returns the launcher in force before.
using TFileOpener = std::function<bool(const std::string& resolvedFile)>;
using TProcessStarter = std::function<bool(const std::string& program, const std::vector<std::string>& arguments)>;
TFileOpener SetFileOpener(TFileOpener opener);
TProcessStarter SetProcessStarter(TProcessStarter starter);
