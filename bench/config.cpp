// Configuration loading speed: parsing against only reading the same files and cutting them into
// line views, as the parser itself reads them (the ratio of the times is the parser's cost per
// byte read), and look-ups of an indexed path. Three inputs: a generated 5,000-line defaults file
// with a user file; the demo's own defaults with the modes file they include; and those two made
// into one file of about 5,000 lines by repeating them.
#include "config/TDVContext.h"
#include "demo/ConfigFiles.h"
#include "platform/system/TStringList.h"

#include "InterleavedRounds.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRiffs = 400;

struct Files {
    fs::path dir;
    std::string defaults;
    std::string user;
};

// Defaults: settings, a fretboard table with morphs, and a riff list of 400 entries written
// both as blocks and as prefixed lines; padded with comments and values to 5,000 lines.
TStringList DefaultsText()
{
    TStringList d;
    d.Add("context settings");
    for (int i = 0; i < 40; ++i)
        d.Add("\tinteger value" + std::to_string(i) + "=" + std::to_string(i * 3) + " ; setting " + std::to_string(i));
    d.Add("\tfloat riff_volume=0.8");
    d.Add("\tcontext SelectedRiff[]");
    d.Add("\t\tstring Riff=\"\"");
    d.Add("\tendcontext");
    d.Add("endcontext");
    d.Add("integer X[24]=10,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,480");
    d.Add("auto_morph(X[#])");
    d.Add("context riff[]");
    d.Add("\tstring file_prefix[]=\"\"");
    d.Add("\tinteger x[8]");
    d.Add("\tinteger size=0");
    d.Add("\tfloat gain=1.0");
    d.Add("endcontext");
    for (int r = 1; r <= kRiffs; ++r) {
        const std::string id = std::to_string(r);
        if (r % 2) {
            d.Add("riff[" + id + "] {");
            d.Add("\tfile_prefix=\"riff" + id + "\"");
            d.Add("\tfile_prefix[1]=\"riff" + id + "_p1\"");
            d.Add("\tx=10,20,30,40,0,0,0,0");
            d.Add("\tsize=8");
            d.Add("\tgain=0.75");
            d.Add("}");
        } else {
            d.Add("riff[" + id + "].file_prefix=\"riff" + id + "\"");
            d.Add("riff[" + id + "].x[1-4]=5");
            d.Add("riff[" + id + "].size=4");
            d.Add("riff[" + id + "].gain=0.5");
        }
    }
    for (int i = 0; d.Count() < 5000; ++i) {
        if (i % 2)
            d.Add("; filler comment line " + std::to_string(i));
        else
            d.Add("integer filler" + std::to_string(i) + "[3]=1,2,3");
    }
    return d;
}

TStringList UserText()
{
    TStringList u;
    u.Add("settings {");
    for (int i = 0; i < 40; ++i)
        u.Add("\tvalue" + std::to_string(i) + "=" + std::to_string(i));
    for (int r = 1; r <= 20; ++r)
        u.Add("\tSelectedRiff[" + std::to_string(r) + "] {\n\t\tRiff=\"" + std::to_string(r) + "\"\n\t\t}");
    u.Add("\t}");
    return u;
}

const Files& TheFiles()
{
    static const Files files = [] {
        Files f;
        f.dir = fs::temp_directory_path() / "bench_config";
        fs::create_directories(f.dir);
        f.defaults = (f.dir / "Korvane.DEF").string();
        f.user = (f.dir / "Korvane.INI").string();
        DefaultsText().SaveToFile(f.defaults);
        UserText().SaveToFile(f.user);
        return f;
    }();
    return files;
}

void BM_ReadAndSplitLines(benchmark::State& state)
{
    const Files& f = TheFiles();
    for (auto _ : state) {
        TStringList a;
        a.LoadFromFile(f.defaults);
        TStringList b;
        b.LoadFromFile(f.user);
        benchmark::DoNotOptimize(a.Count() + b.Count());
    }
}
BENCHMARK(BM_ReadAndSplitLines)->Unit(benchmark::kMillisecond);

// The plain floor: fread the whole file and cut it into line views, nothing else.
std::size_t FreadLines(const std::string& path, std::string& text, std::vector<std::string_view>& lines)
{
    text.clear();
    lines.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return 0;
    char chunk[65536];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
        text.append(chunk, n);
    std::fclose(f);
    const std::string_view all(text);
    std::size_t from = 0;
    while (from < all.size()) {
        std::size_t to = all.find('\n', from);
        if (to == std::string_view::npos)
            to = all.size();
        std::size_t end = to;
        if (end > from && all[end - 1] == '\r')
            --end;
        lines.push_back(all.substr(from, end - from));
        from = to + 1;
    }
    return lines.size();
}

// Reads every file of the list, as a reference for parsing them.
void ReadFiles(benchmark::State& state, const std::vector<std::string>& paths)
{
    std::string text;
    std::vector<std::string_view> lines;
    for (auto _ : state) {
        std::size_t count = 0;
        for (const std::string& path : paths)
            count += FreadLines(path, text, lines);
        benchmark::DoNotOptimize(count);
    }
}

void BM_ParseDefaultsAndUser_ref_FreadViews(benchmark::State& state)
{
    ReadFiles(state, {TheFiles().defaults, TheFiles().user});
}
BENCHMARK(BM_ParseDefaultsAndUser_ref_FreadViews)->Unit(benchmark::kMillisecond);

void BM_ParseDefaultsAndUser(benchmark::State& state)
{
    const Files& f = TheFiles();
    for (auto _ : state) {
        TDVContext root;
        root.LoadFromFile(f.defaults, true);
        root.LoadFromFile(f.user, false);
        benchmark::DoNotOptimize(root.Tags().size());
    }
}
BENCHMARK(BM_ParseDefaultsAndUser)->Unit(benchmark::kMillisecond);

// The demo's defaults as its generator writes them, and the same text with the modes file in
// place of its include, repeated into one file of at least 5,000 lines.
struct DemoFiles {
    std::string defaults;
    std::string modes;
    std::string repeated;
};

const DemoFiles& TheDemoFiles()
{
    static const DemoFiles files = [] {
        const fs::path dir = fs::temp_directory_path() / "bench_config_demo";
        fs::create_directories(dir);
        demo::WriteDefaultsFile(dir);
        demo::WriteModesFile(dir);
        DemoFiles f;
        f.defaults = (dir / demo::kDefaultsFile).string();
        f.modes = (dir / demo::kModesFile).string();
        TStringList defaults, modes, once, all;
        defaults.LoadFromFile(f.defaults);
        modes.LoadFromFile(f.modes);
        const std::string include = std::string("include(\"") + demo::kModesFile + "\")";
        for (int i = 0; i < defaults.Count(); ++i) {
            if (defaults[i] != include) {
                once.Add(defaults[i]);
                continue;
            }
            for (int j = 0; j < modes.Count(); ++j)
                once.Add(modes[j]);
        }
        // Each copy in a context of its own, since a name may be declared only once per context.
        for (int copy = 1; all.Count() < 5000; ++copy) {
            all.Add("context copy" + std::to_string(copy));
            for (int i = 0; i < once.Count(); ++i)
                all.Add(once[i]);
            all.Add("endcontext");
        }
        f.repeated = (dir / "Repeated.DEF").string();
        all.SaveToFile(f.repeated);
        return f;
    }();
    return files;
}

void ParseFile(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        TDVContext root;
        try {
            root.LoadFromFile(path, true);
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
        benchmark::DoNotOptimize(root.Tags().size());
    }
}

void BM_ParseDemoDefaults(benchmark::State& state) { ParseFile(state, TheDemoFiles().defaults); }
BENCHMARK(BM_ParseDemoDefaults)->Unit(benchmark::kMillisecond);

void BM_ParseDemoDefaults_ref_FreadViews(benchmark::State& state)
{
    ReadFiles(state, {TheDemoFiles().defaults, TheDemoFiles().modes});
}
BENCHMARK(BM_ParseDemoDefaults_ref_FreadViews)->Unit(benchmark::kMillisecond);

void BM_ParseDemoRepeated(benchmark::State& state) { ParseFile(state, TheDemoFiles().repeated); }
BENCHMARK(BM_ParseDemoRepeated)->Unit(benchmark::kMillisecond);

void BM_ParseDemoRepeated_ref_FreadViews(benchmark::State& state) { ReadFiles(state, {TheDemoFiles().repeated}); }
BENCHMARK(BM_ParseDemoRepeated_ref_FreadViews)->Unit(benchmark::kMillisecond);

void BM_IndexedLookup(benchmark::State& state)
{
    TDVContext root;
    root.LoadFromFile(TheFiles().defaults, true);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(root.GetValueTextAt("riff[#].file_prefix", i % kRiffs + 1));
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IndexedLookup);

} // namespace
