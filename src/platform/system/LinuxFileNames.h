#pragma once
// File names as the content and the settings write them: "\" separators and any letter case.
// Every file access of the program maps its name through ResolveFileName first. Any thread;
// nothing here throws.
#include <cstdint>
#include <string>

// The name of the real file on this system: "\" and "/" both separate components, empty
// components are dropped, and each component that does not exist with exactly that spelling is
// matched case-insensitively (ASCII) among its directory's entries; the exact spelling wins, and
// among several other spellings the one that sorts first. A component without any match (a file
// about to be created) keeps its spelling, and so does everything after it. A name longer than
// the system's longest path names no file and comes back unresolved, its separators mapped.
[[nodiscard]] std::string ResolveFileName(const std::string& name);

// What resolving one name took: status calls, the bytes of the names they were given, and
// directory entries read. A climb ("..") out of a real directory is taken back before the next
// status call, and each directory is read at most once per name, so the work grows with the
// name's length, never with its square or its climbs times a directory's size.
struct FileNameWork {
    std::int64_t statusCalls = 0;
    std::int64_t statusBytes = 0;
    std::int64_t entriesRead = 0;
};
// ResolveFileName, adding what it took to work.
[[nodiscard]] std::string ResolveFileName(const std::string& name, FileNameWork& work);

// True when the resolved name is an existing regular file (or a link to one).
[[nodiscard]] bool FileExists(const std::string& name);

// True when the resolved name is an existing directory.
[[nodiscard]] bool DirectoryExists(const std::string& name);

// A text that is equal for two names of the same existing file (absolute, links and "." / ".."
// removed); the resolved name when the file does not exist.
[[nodiscard]] std::string FileIdentity(const std::string& name);
