#include "platform/system/AppPath.h"

#include <filesystem>
#include <system_error>

std::string ExecutableName()
{
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

std::string ExecutableFolder()
{
    const std::string exe = ExecutableName();
    const std::size_t slash = exe.rfind('/');
    if (slash == std::string::npos)
        return "./";
    return exe.substr(0, slash + 1);
}
