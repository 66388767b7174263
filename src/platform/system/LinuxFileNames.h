#pragma once
// File names as the content and the settings write them: "\" separators and any letter case.
// Every file access of the program maps its name through ResolveFileName first. Any thread;
// nothing here throws.
#include <cstdint>
#include <limits>
#include <string>

// The name of the real file on this system: "\" and "/" both separate components, empty
// components are dropped, and each component that does not exist with exactly that spelling is
// matched case-insensitively (ASCII) among its directory's entries; the exact spelling wins, and
// among several other spellings the one that sorts first. A component without any match (a file
// about to be created) keeps its spelling, and so does everything after it. ".." is the parent
// of the directory reached, as the system takes it (after a symbolic link, the parent of the
// link's target), so the name returned opens what the system would open. A name longer than the
// system's longest path names no file and comes back unresolved, its separators mapped.
[[nodiscard]] std::string ResolveFileName(const std::string& name);

// What resolving one name took, and what it may take. Each component is one status call (an
// opening of it from the directory reached, links followed) charged with its own bytes; a
// component found in another letter case adds one for the directory and one for the spelling
// found, and the entries of that directory as they are read. Each directory (by device and
// inode, whatever name reached it) is read at most once per name, so the work grows with the
// name's length, never with its climbs times a directory's size.
struct FileNameWork {
    std::int64_t statusCalls = 0;
    std::int64_t statusBytes = 0;
    std::int64_t entriesRead = 0;
    // The walk stops as soon as statusCalls + entriesRead passes stepLimit or statusBytes passes
    // byteLimit, in the middle of a directory's entries too: the name then comes back unresolved.
    std::int64_t stepLimit = std::numeric_limits<std::int64_t>::max();
    std::int64_t byteLimit = std::numeric_limits<std::int64_t>::max();
    [[nodiscard]] bool Passed() const { return statusCalls + entriesRead > stepLimit || statusBytes > byteLimit; }
};
// What a walk found at the end of the name, from the file it holds open there: one status call
// more, so that the caller need not walk the name again to learn it.
struct FileNameEnd {
    bool regularFile = false;  // an existing regular file, or a link to one
    std::string identity;      // equal for every name of that file; empty when nothing is there
};
// ResolveFileName, adding what it took to work and stopping at its limits; fills end when given.
[[nodiscard]] std::string ResolveFileName(const std::string& name, FileNameWork& work, FileNameEnd* end = nullptr);

// True when the resolved name is an existing regular file (or a link to one).
[[nodiscard]] bool FileExists(const std::string& name);

// True when the resolved name is an existing directory.
[[nodiscard]] bool DirectoryExists(const std::string& name);

