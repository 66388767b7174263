#include "demo/DemoOutput.h"

#include "platform/system/Exception.h"

#include <fstream>
#include <iostream>

namespace fs = std::filesystem;

namespace demo {

fs::path Folder(const fs::path& dir, const std::string& sub)
{
    const fs::path folder = sub.empty() ? dir : dir / sub;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        throw Exception("cannot create " + folder.string() + ": " + ec.message());
    return folder;
}

void SaveLines(const TStringList& lines, const fs::path& file)
{
    lines.SaveToFile(file.string());
    Report(file, std::to_string(lines.Count()) + " lines");
}

void SaveBytes(const std::vector<std::uint8_t>& bytes, const fs::path& file)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw Exception("cannot write " + file.string());
}

void Report(const fs::path& file, const std::string& what)
{
    std::cout << "wrote " << file.string() << " (" << what << ")\n";
}

} // namespace demo
