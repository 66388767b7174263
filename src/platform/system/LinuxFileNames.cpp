#include "platform/system/LinuxFileNames.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
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

// The file a walk has reached, held open without reading it (no device or pipe is touched by
// opening it this way): the current directory, nothing (a component that did not open), or an
// owned descriptor. Later components are opened from it, so that each ".." is the parent the
// system gives, whichever links led here.
class Reached {
public:
    static Reached CurrentDirectory() { return Reached(AT_FDCWD); }
    Reached() = default;
    Reached(const Reached& from, const std::string& component)
        : fd_(from.Valid() ? ::openat(from.fd_, component.c_str(), O_PATH | O_CLOEXEC) : kNone)
    {
    }
    ~Reached() { Close(); }
    Reached(Reached&& other) noexcept : fd_(std::exchange(other.fd_, kNone)) {}
    Reached& operator=(Reached&& other) noexcept
    {
        if (this != &other) {
            Close();
            fd_ = std::exchange(other.fd_, kNone);
        }
        return *this;
    }
    Reached(const Reached&) = delete;
    Reached& operator=(const Reached&) = delete;

    [[nodiscard]] bool Valid() const { return fd_ >= 0 || fd_ == AT_FDCWD; }
    [[nodiscard]] int Fd() const { return fd_; }

private:
    static constexpr int kNone = -1;
    explicit Reached(int fd) : fd_(fd) {}
    void Close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = kNone;
    }
    int fd_ = kNone;
};

// Each directory's entries by their lower-case spelling: the spelling that sorts first among
// those equal without regard to case.
using Listing = std::unordered_map<std::string, std::string>;
// The directories read for one name, by device and inode.
using Listings = std::map<std::pair<dev_t, ino_t>, Listing>;

// The component opened from the file reached, as one status call.
Reached Open(const Reached& from, const std::string& component, FileNameWork& work)
{
    ++work.statusCalls;
    work.statusBytes += static_cast<std::int64_t>(component.size());
    if (work.Passed())
        return {};
    return Reached(from, component);
}

// The entries of the directory reached, read once per name and charged one by one; empty when
// it is no directory or cannot be read, and left incomplete when the work passes its limit.
const Listing& ListingOf(const Reached& dir, Listings& listings, FileNameWork& work)
{
    static const Listing kNothing;
    ++work.statusCalls;
    struct stat st {};
    if (work.Passed() || !dir.Valid() || ::fstatat(dir.Fd(), "", &st, AT_EMPTY_PATH) != 0 || !S_ISDIR(st.st_mode))
        return kNothing;
    const auto [it, added] = listings.try_emplace({st.st_dev, st.st_ino});
    if (!added)
        return it->second;
    const int fd = ::openat(dir.Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::unique_ptr<DIR, int (*)(DIR*)> entries(fd >= 0 ? ::fdopendir(fd) : nullptr, ::closedir);
    if (!entries) {
        if (fd >= 0)
            ::close(fd);
        return it->second;
    }
    while (const dirent* entry = ::readdir(entries.get())) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        ++work.entriesRead;
        if (work.Passed())
            break;
        std::string spelling = entry->d_name;
        const auto [known, fresh] = it->second.try_emplace(LowerAscii(spelling), spelling);
        if (!fresh && spelling < known->second)
            known->second = std::move(spelling);
    }
    return it->second;
}

} // namespace

std::string ResolveFileName(const std::string& name)
{
    FileNameWork ignored;
    return ResolveFileName(name, ignored);
}

std::string ResolveFileName(const std::string& name, FileNameWork& work, FileNameEnd* end)
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
    Reached reached = absolute ? Open(Reached::CurrentDirectory(), "/", work) : Reached::CurrentDirectory();
    if (work.Passed())
        return unified;
    Listings listings;
    bool matching = true;
    for (std::size_t i = 0; i < components.size(); ++i) {
        const std::string& component = components[i];
        std::string chosen = component;
        if (matching && component != ".") {
            Reached next = Open(reached, component, work);
            if (!next.Valid() && component != ".." && !work.Passed()) {
                const Listing& listing = ListingOf(reached, listings, work);
                const auto found = listing.find(LowerAscii(component));
                if (work.Passed() || found == listing.end()) {
                    matching = false;
                } else {
                    chosen = found->second;
                    next = Open(reached, chosen, work);
                }
            }
            if (work.Passed())
                return unified;
            reached = std::move(next);
        }
        result += chosen;
        if (i + 1 < components.size())
            result += '/';
    }
    if (end && matching) {
        ++work.statusCalls;
        struct stat st {};
        if (!work.Passed() && reached.Valid() && ::fstatat(reached.Fd(), "", &st, AT_EMPTY_PATH) == 0) {
            end->regularFile = S_ISREG(st.st_mode);
            end->identity = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
        }
    }
    if (result.empty() && !name.empty())
        return absolute ? "/" : ".";
    return result;
}

bool FileExists(const std::string& name)
{
    FileNameWork work;
    FileNameEnd end;
    (void)ResolveFileName(name, work, &end);
    return end.regularFile;
}

bool DirectoryExists(const std::string& name)
{
    std::error_code ec;
    return fs::is_directory(fs::path(ResolveFileName(name)), ec);
}
