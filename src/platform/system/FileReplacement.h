#pragma once
// A file's new content put in its place whole or not at all. The content goes into a temporary
// file of this object's own beside the file: a name no other writer takes, created new (never an
// existing file, never through a link), kept open and synced. The content is read back through
// that descriptor, and once the caller accepts it, that same file (never whatever else has come
// to stand at its name) is renamed over the file and the folder is synced, so that the new
// content also outlives a crash. One thread per object; nothing here throws but std::bad_alloc.
#include <string>

class TFileReplacement {
public:
    // A temporary file's name is the file's name, this, and random letters. Temporary files that
    // a crash left are not removed: no writer can tell them from one another writer still writes.
    static constexpr const char* TempSuffix = ".tmp";

    // Writes text into a temporary file beside target, or beside the file target leads to when it
    // is a symbolic link, however dangling (the link stays). Refuses a target that is, or leads
    // to, something other than a regular file (a device, a folder): nothing is created then. The
    // temporary file takes the permission bits of that file, or 0644 when it does not exist (the
    // umask applies to both).
    TFileReplacement(const std::string& target, const std::string& text);
    // Removes the temporary file unless it replaced the file or its name now holds another file.
    ~TFileReplacement();
    TFileReplacement(const TFileReplacement&) = delete;
    TFileReplacement& operator=(const TFileReplacement&) = delete;

    // True when the temporary file was created, written and synced.
    [[nodiscard]] bool Written() const { return fd_ >= 0 && !committed_ && error_.empty(); }
    // Why creating, writing or committing failed, in the system's words ("Read-only file system");
    // empty while nothing failed.
    [[nodiscard]] const std::string& Error() const { return error_; }
    // A name that opens the written content through this object's own descriptor, whatever has
    // happened to the temporary file's name since; valid while Written().
    [[nodiscard]] std::string ContentName() const;
    // Renames the temporary file over the file, then syncs the folder. False, with Error() set,
    // when nothing was written, when the temporary name no longer holds the file written here
    // (then nothing is renamed) or when the rename failed; the file is then as it was.
    [[nodiscard]] bool Commit();

private:
    void Fail(const std::string& reason) { error_ = reason; }
    void FailWithErrno();
    // True when the temporary name still holds the file of fd_.
    [[nodiscard]] bool TempIsOurs() const;

    int folder_ = -1;  // the folder of the file, held so that every name below is taken in it
    int fd_ = -1;      // the temporary file
    std::string folderName_;
    std::string name_; // the file's name within folder_
    std::string temp_; // the temporary file's name within folder_
    std::string error_;
    bool committed_ = false;
};
