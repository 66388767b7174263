#pragma once
// File names as the content and the settings write them: "\" separators and any letter case.
// Every file access of the program maps its name through ResolveFileName first. Any thread;
// nothing here throws.
#include <string>

// The name of the real file on this system: "\" and "/" both separate components, empty
// components are dropped, and each component that does not exist with exactly that spelling is
// matched case-insensitively (ASCII) among its directory's entries; the exact spelling wins, and
// among several other spellings the one that sorts first. A component without any match (a file
// about to be created) keeps its spelling, and so does everything after it.
[[nodiscard]] std::string ResolveFileName(const std::string& name);

// True when the resolved name is an existing regular file (or a link to one).
[[nodiscard]] bool FileExists(const std::string& name);

// True when the resolved name is an existing directory.
[[nodiscard]] bool DirectoryExists(const std::string& name);

// A text that is equal for two names of the same existing file (absolute, links and "." / ".."
// removed); the resolved name when the file does not exist.
[[nodiscard]] std::string FileIdentity(const std::string& name);
