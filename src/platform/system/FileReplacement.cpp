#include "platform/system/FileReplacement.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// A new file of its own at name: exclusive creation fails on any name that exists, a link
// included, instead of opening what it leads to. What stands there is removed once (a stale file
// must not block every later write); a name taken again at once is left alone.
int CreateNew(const std::string& name, mode_t mode)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST || attempt > 0 || ::unlink(name.c_str()) != 0)
            return fd;
    }
    return -1;
}

// Makes a rename in folder durable. A file system that cannot sync a folder keeps the rename as
// it keeps anything else: the file is in place either way, so a failure changes nothing here.
void SyncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

TFileReplacement::TFileReplacement(const std::string& target, const std::string& text) : target_(target)
{
    std::error_code error;
    const std::filesystem::path real = std::filesystem::weakly_canonical(target_, error);
    if (!error && !real.empty())
        target_ = real.string();
    temp_ = target_ + TempSuffix;

    struct stat old {};
    const mode_t mode = ::stat(target_.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    const int fd = CreateNew(temp_, mode);
    if (fd < 0)
        return;
    created_ = true;
    const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
    written_ = ::close(fd) == 0 && written;
}

TFileReplacement::~TFileReplacement()
{
    if (created_)
        ::unlink(temp_.c_str());
}

bool TFileReplacement::Commit()
{
    if (!written_)
        return false;
    written_ = false;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        ::unlink(temp_.c_str());
        created_ = false;
        return false;
    }
    created_ = false;
    SyncFolder(std::filesystem::path(target_).parent_path());
    return true;
}
