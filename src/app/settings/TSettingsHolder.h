#pragma once
// The holder of the program's one configuration tree: the defaults file "Korvane.DEF" loaded
// first and the user file "Korvane.INI" loaded over it into the same root, and the write of the
// "settings" context back into the user file. The preferences dialog keeps it as a member; every
// other part reads its keys from its root.
//
// Thread: GUI thread only. Ownership: the holder owns the root and everything in it; contexts and
// tags handed out stay owned by the tree. Failure: loading and saving throw Exception (the
// configuration layer's errors, "Cannot create file \"<name>\": <the system's reason>"); a failed
// load keeps what was parsed before the error.
#include "config/TDVContext.h"

#include <string>

struct settings_t {
    static constexpr const char* DefaultsFileName = "Korvane.DEF";
    static constexpr const char* UserFileName = "Korvane.INI";
    // Appended to the user file's name when it cannot be read, so the next write cannot lose it;
    // when that name is taken, a number follows (".bad1", ".bad2", ...): no kept copy is replaced.
    static constexpr const char* UnreadableSuffix = ".bad";

    settings_t() = default;
    virtual ~settings_t();
    settings_t(const settings_t&) = delete;
    settings_t& operator=(const settings_t&) = delete;

    // Loads the defaults file into the root; a missing file is an error. Keeps the name. When it
    // fails, the user file is not read, so it stays where it is and UserFileWritable() turns
    // false until the defaults load again.
    void LoadDefaults(const std::string& fileName);
    // Loads the user file over the root; a missing file is skipped. Keeps the name. A file that
    // fails to load is moved aside (KeptUserFile says where) before the error passes on, so the
    // settings written later do not overwrite it.
    void LoadUser(const std::string& fileName);
    // folder + "Korvane.DEF", then folder + "Korvane.INI" (folder ends with a separator).
    void Load(const std::string& folder);
    // Clears the root and loads the two files named last, as Load does.
    void Reload();
    // Writes the "settings" context of the root, every context with a line as a block, into
    // fileName: the text goes to a temporary file of this save's own in the file's folder
    // (fileName + ".tmp" and random letters, created new; after a symbolic link, in its target's
    // folder, and the link stays) that is then renamed over the old file, so a failed write or
    // another writer saving at the same time leaves the old file whole. Throws "Cannot create
    // file \"<fileName>\": <reason>" when the file cannot be written, when fileName is or leads to
    // no regular file (a device: nothing is written) or when another program took the temporary
    // file's name. The new text replaces the old file only when it loads over the defaults as
    // the next start will load it; else (a text too large to write or to load, or a check that
    // throws anything, of any type) the old file stays, the temporary file is removed and the
    // Exception says so ("Changed settings were not saved: ..."). A text too large is refused at
    // the load's limits, before more of it is made.
    void SaveSettings(const std::string& fileName);

    [[nodiscard]] TDVContext* GetContext() { return &root; }
    // False while the defaults failed to load (the tree lacks the user's settings, and writing it
    // into the user file would replace every one of them), or while an unreadable user file could
    // not be moved aside.
    [[nodiscard]] bool UserFileWritable() const { return !userFileHeld_; }
    // The resolved name the last unreadable user file was moved to; empty when none was moved
    // (or the move failed).
    [[nodiscard]] const std::string& KeptUserFile() const { return keptUserFile_; }

    std::string INIFileName;
    std::string DEFFileName;
    TDVContext root;

protected:
    // The error of loading the defaults and then the written file (named through the save's
    // own descriptor) into a new root, as the next start does; empty when it loads (or when the
    // defaults alone do not). The configuration's own errors are returned; anything else it
    // throws passes on. Virtual so that a test can make the check fail as no file can.
    [[nodiscard]] virtual std::string RefusalOf(const std::string& written) const;

private:
    // Moves an existing user file aside to the first free name of its name + ".bad", ".bad1"...
    void KeepUnreadable(const std::string& fileName);

    bool userFileHeld_ = false;
    std::string keptUserFile_;
};
