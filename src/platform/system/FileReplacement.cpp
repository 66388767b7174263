#include "platform/system/FileReplacement.h"

#include "platform/system/RandomBits.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

// Links followed from a name before it is taken for a loop, as the system counts them.
constexpr int kMaxLinks = 40;
// Temporary names tried before giving up; each is taken only when another writer holds it.
constexpr int kMaxTempNames = 100;

std::string SystemReason(int error)
{
    return std::generic_category().message(error);
}

bool WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

// The name a write replaces: name after its symbolic links, a dangling one's too, so that the
// links stay. Fills info when something stands there; sets reason when the links loop or lead
// to what no write may replace.
std::string FollowLinks(std::string name, struct stat& info, bool& exists, std::string& reason)
{
    exists = false;
    for (int links = 0;; ++links) {
        if (::lstat(name.c_str(), &info) != 0)
            return name; // nothing there, or nothing reachable: creating the file says why
        if (!S_ISLNK(info.st_mode)) {
            exists = true;
            if (!S_ISREG(info.st_mode))
                reason = "\"" + name + "\" is not a regular file";
            return name;
        }
        if (links == kMaxLinks) {
            reason = SystemReason(ELOOP);
            return name;
        }
        char to[PATH_MAX];
        const ssize_t n = ::readlink(name.c_str(), to, sizeof to);
        if (n < 0 || n == ssize_t(sizeof to)) {
            reason = SystemReason(n < 0 ? errno : ENAMETOOLONG);
            return name;
        }
        const std::filesystem::path next(std::string(to, std::size_t(n)));
        name = next.is_absolute() ? next.string() : (std::filesystem::path(name).parent_path() / next).string();
    }
}

// Temporary names differ in 8 of 62 letters: two writers meet in one only by chance, and the
// exclusive creation then sends the later one to another.
std::string RandomLetters()
{
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uint64_t bits = RandomBits();
    std::string letters(8, ' ');
    for (char& c : letters) {
        c = kLetters[bits % 62];
        bits /= 62;
    }
    return letters;
}

} // namespace

void TFileReplacement::FailWithErrno()
{
    Fail(SystemReason(errno));
}

TFileReplacement::TFileReplacement(const std::string& target, const std::string& text)
{
    struct stat old {};
    bool exists = false;
    std::string refusal;
    const std::filesystem::path real = FollowLinks(target, old, exists, refusal);
    if (!refusal.empty()) {
        Fail(refusal);
        return;
    }
    const std::filesystem::path folder = real.parent_path().empty() ? "." : real.parent_path();
    folderName_ = folder.string();
    name_ = real.filename().string();
    // Read access lets the folder be synced after the rename; a folder that only lets its
    // files be written is held all the same.
    folder_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0 && errno == EACCES)
        folder_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0) {
        FailWithErrno();
        return;
    }

    const mode_t mode = exists ? (old.st_mode & 07777) : 0644;
    for (int attempt = 0; fd_ < 0; ++attempt) {
        temp_ = name_ + TempSuffix + RandomLetters();
        fd_ = ::openat(folder_, temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd_ < 0 && (errno != EEXIST || attempt + 1 == kMaxTempNames)) {
            FailWithErrno();
            return;
        }
    }
    if (!WriteAll(fd_, text) || ::fsync(fd_) != 0)
        FailWithErrno();
}

TFileReplacement::~TFileReplacement()
{
    if (fd_ >= 0 && !committed_ && TempIsOurs())
        ::unlinkat(folder_, temp_.c_str(), 0);
    if (fd_ >= 0)
        ::close(fd_);
    if (folder_ >= 0)
        ::close(folder_);
}

std::string TFileReplacement::ContentName() const
{
    return "/proc/self/fd/" + std::to_string(fd_);
}

bool TFileReplacement::TempIsOurs() const
{
    struct stat mine {};
    struct stat there {};
    return ::fstat(fd_, &mine) == 0 && ::fstatat(folder_, temp_.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
           mine.st_dev == there.st_dev && mine.st_ino == there.st_ino;
}

bool TFileReplacement::Commit()
{
    if (!Written()) {
        if (error_.empty())
            Fail("nothing was written");
        return false;
    }
    if (!TempIsOurs()) {
        Fail("\"" + (std::filesystem::path(folderName_) / temp_).string() + "\" is no longer the file this save wrote");
        return false;
    }
    if (::renameat(folder_, temp_.c_str(), folder_, name_.c_str()) != 0) {
        FailWithErrno();
        return false;
    }
    committed_ = true;
    // A file system that cannot sync a folder keeps the rename as it keeps anything else: the
    // file is in place either way.
    ::fsync(folder_);
    return true;
}
