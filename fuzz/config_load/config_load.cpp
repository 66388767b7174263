// Configuration files through a load at the shipped limits, as the program loads its defaults,
// then its settings through the writer and back into a new tree over the same files, as the
// program writes them back and checks them before it replaces its file; the write-back counts
// toward a unit's time and memory. The input is a main file and up to eight files it may
// include, named "1.inc" to "8.inc": each line that starts with "%%" begins the next file. The
// main file is named relative to the current folder (whatever folder that is), so that includes
// climb from a relative base. Any Exception is an expected outcome; crashes, leaks, slow inputs
// and large memory are not. Run with -max_len=65536 -timeout=2 -rss_limit_mb=1024: a load the
// limits let through stays far inside. At exit it prints "config_load: main file loaded for N
// of M inputs": the main file is always there, so N < M means the load looked elsewhere and
// tested nothing past the declarations.
#include "config/TDVContext.h"
#include "platform/system/Exception.h"
#include "platform/system/TStringList.h"

#include "../ConfigDeclarations.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace {

constexpr int kIncluded = 8;

// The files of one input live here, rewritten for every input.
std::filesystem::path g_dir;
// The main file, named relative to the current folder.
std::string g_main;
// Inputs run, and those whose main file the load found.
std::size_t g_inputs = 0;
std::size_t g_mainLoaded = 0;

void RemoveDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(g_dir, ignored);
}

void ReportLoads()
{
    std::fprintf(stderr, "config_load: main file loaded for %zu of %zu inputs\n", g_mainLoaded, g_inputs);
}

void WriteFile(const std::filesystem::path& path, std::string_view text)
{
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "fuzz_config_load_XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    g_dir = pattern;
    std::atexit(RemoveDir);
    std::atexit(ReportLoads);
    std::error_code error;
    g_main = std::filesystem::relative(g_dir / "main.def", error).string();
    if (error || g_main.empty())
        g_main = (g_dir / "main.def").string();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view parts[kIncluded + 1];
    int part = 0;
    std::size_t start = 0;
    for (std::size_t line = 0; line < input.size();) {
        const std::size_t next = std::min(input.find('\n', line), input.size() - 1) + 1;
        if (part < kIncluded && input.compare(line, 2, "%%") == 0) {
            parts[part++] = input.substr(start, line - start);
            start = next;
        }
        line = next;
    }
    parts[part] = input.substr(start);
    WriteFile(g_dir / "main.def", parts[0]);
    for (int i = 1; i <= kIncluded; ++i)
        WriteFile(g_dir / (std::to_string(i) + ".inc"), parts[i]);

    TStringList declarations;
    declarations.SetText(kFuzzDeclarations);
    // True when the load found the main file (whatever it then made of it).
    const auto loadDefaults = [&](TDVContext& root) {
        root.LoadFromStrings(declarations, 0, 0);
        try {
            root.LoadFromFile(g_main, true);
        } catch (const Exception& e) {
            return std::string_view(e.what()).rfind("TDVContext::LoadFromFile: file not found", 0) != 0;
        }
        return true;
    };
    TDVContext root;
    ++g_inputs;
    g_mainLoaded += loadDefaults(root) ? 1 : 0;
    // What the program writes back: its settings, every non-empty context as a block.
    TDVContext::SetBlockThreshold(1);
    TStringList out;
    bool written = true;
    try {
        root.SaveTagToStrings("settings", out);
    } catch (const Exception&) {
        written = false;
    }
    TDVContext::SetBlockThreshold(3);
    if (written) {
        WriteFile(g_dir / "written.ini", out.Text());
        TDVContext next;
        loadDefaults(next);
        try {
            next.LoadFromFile((g_dir / "written.ini").string(), true);
        } catch (const Exception&) {
        }
    }
    return 0;
}
