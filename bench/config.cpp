// Configuration loading speed: parsing a generated 5,000-line defaults file and a user file
// against only reading the same files and splitting them into lines, with fread and with the
// string list (the ratio of the times is the parser's cost per byte read), and look-ups of an
// indexed path.
#include "config/TDVContext.h"
#include "platform/TStringList.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
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

// The plain floor: fread the whole file and cut it into lines, nothing else.
std::size_t FreadLines(const std::string& path, std::vector<std::string>& lines)
{
    lines.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return 0;
    std::string text;
    char chunk[65536];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
        text.append(chunk, n);
    std::fclose(f);
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t to = text.find('\n', from);
        if (to == std::string::npos)
            to = text.size();
        std::size_t end = to;
        if (end > from && text[end - 1] == '\r')
            --end;
        lines.emplace_back(text, from, end - from);
        from = to + 1;
    }
    return lines.size();
}

void BM_ParseDefaultsAndUser_ref_FreadLines(benchmark::State& state)
{
    const Files& f = TheFiles();
    std::vector<std::string> a, b;
    for (auto _ : state)
        benchmark::DoNotOptimize(FreadLines(f.defaults, a) + FreadLines(f.user, b));
}
BENCHMARK(BM_ParseDefaultsAndUser_ref_FreadLines)->Unit(benchmark::kMillisecond);

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
