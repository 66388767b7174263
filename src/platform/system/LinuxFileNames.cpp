#include "platform/system/LinuxFileNames.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string LowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

struct Status {
    bool exists = false;     // links followed
    bool realFolder = false; // a directory that is no link: its ".." is the directory above it
};

Status StatusOf(const std::string& path, FileNameWork& work)
{
    struct stat st {};
    ++work.statusCalls;
    work.statusBytes += static_cast<std::int64_t>(path.size());
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    if (!S_ISLNK(st.st_mode))
        return {true, S_ISDIR(st.st_mode)};
    ++work.statusCalls;
    work.statusBytes += static_cast<std::int64_t>(path.size());
    return {::stat(path.c_str(), &st) == 0, false};
}

// Each directory's entries by their lower-case spelling, read once per name resolved: the
// spelling that sorts first among those equal without regard to case.
using Listing = std::unordered_map<std::string, std::string>;

const Listing& ListingOf(const std::string& dir, std::unordered_map<std::string, Listing>& listings,
                         FileNameWork& work)
{
    const auto [it, added] = listings.try_emplace(dir);
    if (!added)
        return it->second;
    std::error_code ec;
    fs::directory_iterator entries(dir.empty() ? fs::path(".") : fs::path(dir), ec);
    if (ec)
        return it->second;
    for (const fs::directory_iterator end; entries != end; entries.increment(ec)) {
        if (ec)
            break;
        ++work.entriesRead;
        std::string entry = entries->path().filename().string();
        const auto [spelling, fresh] = it->second.try_emplace(LowerAscii(entry), entry);
        if (!fresh && entry < spelling->second)
            spelling->second = std::move(entry);
    }
    return it->second;
}

// dir + "/" + component, as a path the system reads ("" is the current directory).
void Append(std::string& dir, const std::string& component)
{
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    dir += component;
}

std::string Joined(std::string dir, const std::string& component)
{
    Append(dir, component);
    return dir;
}

} // namespace

std::string ResolveFileName(const std::string& name)
{
    FileNameWork ignored;
    return ResolveFileName(name, ignored);
}

std::string ResolveFileName(const std::string& name, FileNameWork& work)
{
    std::string unified = name;
    std::replace(unified.begin(), unified.end(), '\\', '/');
    if (unified.size() > PATH_MAX)
        return unified;
    const bool absolute = !unified.empty() && unified[0] == '/';

    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= unified.size()) {
        std::size_t slash = unified.find('/', start);
        if (slash == std::string::npos)
            slash = unified.size();
        if (slash > start)
            components.push_back(unified.substr(start, slash - start));
        start = slash + 1;
    }

    std::string result = absolute ? "/" : "";
    // The directory reached so far, as the status calls are given it: "." dropped, and each ".."
    // that leaves a real directory taken back with it (what the system does when it walks them).
    std::string walked = result;
    struct Level {
        std::size_t walkedBefore;
        bool realFolder;
    };
    std::vector<Level> levels;
    std::unordered_map<std::string, Listing> listings;
    bool matching = true;
    for (std::size_t i = 0; i < components.size(); ++i) {
        const std::string& component = components[i];
        std::string chosen = component;
        if (matching && component == "..") {
            if (!levels.empty() && levels.back().realFolder) {
                walked.resize(levels.back().walkedBefore);
                levels.pop_back();
            } else if (!absolute || !levels.empty()) { // the root's ".." is the root
                levels.push_back({walked.size(), false});
                Append(walked, component);
            }
        } else if (matching && component != ".") {
            Status status = StatusOf(Joined(walked, component), work);
            if (!status.exists) {
                const Listing& listing = ListingOf(walked, listings, work);
                const auto found = listing.find(LowerAscii(component));
                if (found == listing.end()) {
                    matching = false;
                } else {
                    chosen = found->second;
                    status = StatusOf(Joined(walked, chosen), work);
                }
            }
            if (matching) {
                levels.push_back({walked.size(), status.realFolder});
                Append(walked, chosen);
            }
        }
        result += chosen;
        if (i + 1 < components.size())
            result += '/';
    }
    if (result.empty() && !name.empty())
        return absolute ? "/" : ".";
    return result;
}

bool FileExists(const std::string& name)
{
    std::error_code ec;
    return fs::is_regular_file(fs::path(ResolveFileName(name)), ec);
}

bool DirectoryExists(const std::string& name)
{
    std::error_code ec;
    return fs::is_directory(fs::path(ResolveFileName(name)), ec);
}

std::string FileIdentity(const std::string& name)
{
    const std::string resolved = ResolveFileName(name);
    std::error_code ec;
    fs::path canonical = fs::canonical(fs::path(resolved), ec);
    if (ec)
        return resolved;
    return canonical.string();
}
