// A folder of a test's own under the system's temporary folder. mkdtemp gives it a name no other
// process has taken, so two runs of the suite on one machine, or two tests of one run, never fill
// or remove each other's folders.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class TestFolder {
public:
    // Makes the folder, named `prefix` followed by six random characters, readable by the owner
    // only. Throws std::system_error when the system refuses.
    explicit TestFolder(const std::string& prefix = "rt-test-")
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
        if (!::mkdtemp(pattern.data()))
            throw std::system_error(errno, std::generic_category(), "cannot make a test folder " + pattern);
        path_ = pattern;
    }
    // Removes the folder with everything in it, quietly, also folders a test made unwritable or
    // unreadable. Links are removed, never followed.
    ~TestFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        if (!ignored)
            return;
        OpenUp();
        std::filesystem::remove_all(path_, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    // The full name of `name` (which may hold folders) inside the folder.
    [[nodiscard]] std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    // Gives the owner every right on each folder below, so that its entries can be listed and
    // removed; a folder is opened before the walk enters it.
    void OpenUp() const noexcept
    {
        namespace fs = std::filesystem;
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        std::error_code walk;
        for (fs::recursive_directory_iterator it(path_, walk), end; !walk && it != end; it.increment(walk)) {
            if (it->symlink_status(ignored).type() == fs::file_type::directory)
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }

    std::filesystem::path path_;
};
