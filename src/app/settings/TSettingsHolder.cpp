#include "app/settings/TSettingsHolder.h"

#include "platform/system/Exception.h"
#include "platform/system/FileReplacement.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/system/TStringList.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

// Restores the writer's process-wide block threshold on the way out.
struct BlockThreshold {
    explicit BlockThreshold(int threshold) : before(TDVContext::BlockThreshold())
    {
        TDVContext::SetBlockThreshold(threshold);
    }
    ~BlockThreshold() { TDVContext::SetBlockThreshold(before); }
    int before;
};

// Moves from to to unless to exists (then errno is EEXIST); never replaces a file.
bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the exclusive rename: a hard link fails as well when the name is taken.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

// Names tried for a kept copy before giving up (the file then stays where it is).
constexpr int kMaxKeptCopies = 1000;

// The start of a load's or the writer's error, without the lines and files it names: the
// reason a written text was not kept.
std::string Reason(const std::string& error)
{
    std::string reason = error.substr(0, error.find("; Line="));
    reason = reason.substr(0, reason.find("; File="));
    const auto first = reason.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : reason.substr(first);
}

std::string NotSaved(const std::string& fileName, const std::string& error)
{
    return "Changed settings were not saved: their text would not load again (" + Reason(error) + "), so \"" +
           ResolveFileName(fileName) + "\" keeps the settings it holds.";
}

}  // namespace

settings_t::~settings_t()
{
    root.Clear();
}

void settings_t::LoadDefaults(const std::string& fileName)
{
    DEFFileName = fileName;
    keptUserFile_.clear();
    userFileHeld_ = true;
    root.LoadFromFile(fileName, true);
    userFileHeld_ = false;
}

void settings_t::LoadUser(const std::string& fileName)
{
    INIFileName = fileName;
    keptUserFile_.clear();
    try {
        root.LoadFromFile(fileName, false);
    } catch (...) {
        KeepUnreadable(fileName);
        // Where it could not be moved aside, the next write must not replace it either.
        if (keptUserFile_.empty() && FileExists(fileName))
            userFileHeld_ = true;
        throw;
    }
}

void settings_t::Load(const std::string& folder)
{
    INIFileName = folder + UserFileName;
    LoadDefaults(folder + DefaultsFileName);
    LoadUser(INIFileName);
}

void settings_t::Reload()
{
    root.Clear();
    LoadDefaults(DEFFileName);
    if (!INIFileName.empty())
        LoadUser(INIFileName);
}

void settings_t::KeepUnreadable(const std::string& fileName)
{
    const std::string current = ResolveFileName(fileName);
    if (!FileExists(current))
        return;
    for (int n = 0; n < kMaxKeptCopies; ++n) {
        const std::string kept =
            ResolveFileName(fileName + UnreadableSuffix + (n == 0 ? std::string() : std::to_string(n)));
        std::error_code error;
        if (std::filesystem::symlink_status(kept, error).type() != std::filesystem::file_type::not_found)
            continue;
        if (RenameNoReplace(current, kept)) {
            keptUserFile_ = kept;
            return;
        }
        if (errno != EEXIST)
            return;
    }
}

void settings_t::SaveSettings(const std::string& fileName)
{
    std::string text;
    try {
        TStringList lines;
        BlockThreshold threshold(1);
        root.SaveTagToStrings("settings", lines);
        text = lines.Text();
    } catch (const std::exception& e) {
        throw Exception(NotSaved(fileName, e.what()));
    }

    // The temporary file is removed on every way out but the rename that puts it in place.
    const std::string target = ResolveFileName(fileName);
    TFileReplacement file(target, text);
    const std::string failure = "Cannot create file \"" + target + "\": ";
    if (!file.Written())
        throw Exception(failure + file.Error());
    std::string refusal;
    try {
        // Through the save's own descriptor: another writer's file at the temporary name is
        // never what is judged.
        refusal = RefusalOf(file.ContentName());
    } catch (const std::exception& e) {
        // A check that cannot finish (no memory left, a library's error) cannot vouch for the text.
        refusal = e.what();
    } catch (...) {
        refusal = "the check of the text failed";
    }
    if (!refusal.empty())
        throw Exception(NotSaved(fileName, refusal));
    if (!file.Commit())
        throw Exception(failure + file.Error());
}

std::string settings_t::RefusalOf(const std::string& written) const
{
    if (DEFFileName.empty())
        return {};
    TDVContext next;
    try {
        next.LoadFromFile(DEFFileName, true);
    } catch (const Exception&) {
        return {}; // without the defaults the next start reads no user file: nothing to judge
    }
    try {
        next.LoadFromFile(written, true);
    } catch (const Exception& e) {
        return e.what();
    }
    return {};
}
