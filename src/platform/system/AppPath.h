#pragma once
// Where the program's own files are: the executable and the folder it lies in, which holds the
// content (settings files, skins, waves). Any thread; nothing here throws.
#include <string>

// The full name of the running executable; empty when the system does not tell.
[[nodiscard]] std::string ExecutableName();
// The executable's folder with a trailing "/", so that file names append directly
// (folder + "Korvane.DEF"); the current directory ("./") when the executable is unknown.
[[nodiscard]] std::string ExecutableFolder();
