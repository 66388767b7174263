#pragma once
// A file's new content put in its place whole or not at all. The content goes into a temporary
// file beside the file, one that this object created new (never an existing file, never through
// a link), and is synced; once the caller accepts it, the temporary file is renamed over the file
// and the folder is synced, so that the new content also outlives a crash. One thread at a time;
// nothing here throws but std::bad_alloc.
#include <string>

class TFileReplacement {
public:
    // Appended to the file's name to name the temporary file. Whatever stands at that name (a
    // file a crash left, a link) is removed, never written through.
    static constexpr const char* TempSuffix = ".tmp";

    // Writes text into the temporary file of target, or of the file target names when it is a
    // symbolic link (the link stays). The temporary file takes the permission bits of that file,
    // or 0644 when it does not exist (the umask applies to both).
    TFileReplacement(const std::string& target, const std::string& text);
    // Removes the temporary file unless it replaced the file.
    ~TFileReplacement();
    TFileReplacement(const TFileReplacement&) = delete;
    TFileReplacement& operator=(const TFileReplacement&) = delete;

    // True when the temporary file was created, written and synced.
    [[nodiscard]] bool Written() const { return written_; }
    // The temporary file, to read the content back before it is accepted.
    [[nodiscard]] const std::string& TempName() const { return temp_; }
    // Renames the temporary file over the file, then syncs the folder. False when nothing was
    // written or the rename failed; the temporary file is then removed and the file is as it was.
    [[nodiscard]] bool Commit();

private:
    std::string target_;
    std::string temp_;
    bool created_ = false;
    bool written_ = false;
};
