#include "platform/system/LinuxFileNames.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool EqualNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool Exists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(fs::path(path), ec);
}

// The entry of dir whose name matches component without regard to case, or "" when none does.
std::string MatchInDirectory(const std::string& dir, const std::string& component)
{
    std::error_code ec;
    fs::directory_iterator it(dir.empty() ? fs::path(".") : fs::path(dir), ec);
    if (ec)
        return {};
    std::vector<std::string> matches;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            break;
        std::string entry = it->path().filename().string();
        if (EqualNoCase(entry, component))
            matches.push_back(std::move(entry));
    }
    if (matches.empty())
        return {};
    return *std::min_element(matches.begin(), matches.end());
}

} // namespace

std::string ResolveFileName(const std::string& name)
{
    std::string unified = name;
    std::replace(unified.begin(), unified.end(), '\\', '/');
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
    bool matching = true;
    for (std::size_t i = 0; i < components.size(); ++i) {
        const std::string& component = components[i];
        std::string chosen = component;
        if (matching && component != "." && component != "..") {
            const std::string candidate = result + component;
            if (!Exists(candidate)) {
                std::string found = MatchInDirectory(result, component);
                if (found.empty())
                    matching = false;
                else
                    chosen = found;
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
