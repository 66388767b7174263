#pragma once
// The work one configuration load may do. A short text could otherwise ask for billions of
// steps: index lists of nested scopes multiply, repeated ranges add up, block lines run once per
// element, files include each other over and over. Three measures, each charged where the work
// is done and before it is done:
//   - entries: every array element, list entry or member the load creates or addresses, every
//     further element a value list writes, every pointer step, stored or looked-up texts
//     (values and names) by their size, every step of a name table's probe run far longer than
//     its hash gives, and every status call and directory entry read to find a file;
//   - bytes: every byte read from a file and every byte parsed, once per pass and per element
//     (block lines, the rest of a "." scope, numbers converted, the paths a morph or pointer
//     resolves), the file names given to status calls and the base directory a climb ("..")
//     touches, plus a fixed amount per file loaded;
//   - lines: every line visited, by every block pass and in every included file.
// The limits lie far above any real content (the program's own files need a few thousand
// entries and a few tens of kilobytes) and keep any load they let through to a fraction of a
// second. One budget per thread: the outermost load opens it, and the loads it starts (included
// files) draw on the same one. The writer opens one too and charges every line and name it makes,
// so that it never writes more than a load may read.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tdv_detail {

// The limits a load opens with, and what it has used of them.
struct LoadLimits {
    std::int64_t entries = 100'000;
    std::int64_t bytes = std::int64_t(8) << 20;
    std::int64_t lines = 100'000;
};
struct LoadUse {
    std::int64_t entries = 0;
    std::int64_t bytes = 0;
    std::int64_t lines = 0;
};
// The budget of this thread's open load: plain data, reached without a call on every charge.
struct LoadBudgetState {
    int openLoads = 0;
    LoadLimits limits;
    LoadUse used;
    LoadUse last;
};
inline thread_local LoadBudgetState t_loadBudget;

class LoadBudget {
public:
    using Limits = LoadLimits;
    using Used = LoadUse;
    static constexpr std::int64_t MaxEntries = LoadLimits{}.entries;
    static constexpr std::int64_t MaxBytes = LoadLimits{}.bytes;
    static constexpr std::int64_t MaxLines = LoadLimits{}.lines;
    // About what creating an entry costs, in bytes of stored text or parsing.
    static constexpr std::size_t TextBytesPerEntry = 64;
    // What opening, resolving and reading one file costs beyond its bytes.
    static constexpr std::int64_t BytesPerFile = 16 * 1024;
    // One file may be loaded this often in one load (its includes over and over would otherwise
    // multiply with every level).
    static constexpr int MaxLoadsPerFile = 256;

    // Opens a full budget unless a load on this thread holds one already.
    LoadBudget();
    ~LoadBudget();
    LoadBudget(const LoadBudget&) = delete;
    LoadBudget& operator=(const LoadBudget&) = delete;

    // Each takes its amount before the work is done; raises "Configuration text too large: ..."
    // (lines: "Configuration text too complex: ...") when it does not fit. Outside a load (the
    // program's own getters and setters) they count nothing.
    static void Spend(std::int64_t entries)
    {
        if (t_loadBudget.openLoads != 0)
            Take(t_loadBudget.used.entries, t_loadBudget.limits.entries, entries, kEntries);
    }
    static void SpendBytes(std::int64_t bytes)
    {
        if (t_loadBudget.openLoads != 0)
            Take(t_loadBudget.used.bytes, t_loadBudget.limits.bytes, bytes, kBytes);
    }
    static void SpendLine()
    {
        if (t_loadBudget.openLoads != 0)
            Take(t_loadBudget.used.lines, t_loadBudget.limits.lines, 1, kLines);
    }
    // A text stored or looked up by name: one entry for every TextBytesPerEntry bytes, so that a
    // long value or name used for many entries is bounded as well.
    static void SpendText(std::size_t bytes)
    {
        if (bytes >= TextBytesPerEntry)
            Spend(static_cast<std::int64_t>(bytes / TextBytesPerEntry));
    }
    // One load of the file known by identity, of size bytes: BytesPerFile plus its size, and
    // "...a file loaded more than 256 times" past MaxLoadsPerFile.
    static void SpendFile(const std::string& identity, std::int64_t size);
    // The lines a load may still visit; unlimited outside a load.
    [[nodiscard]] static std::int64_t LinesLeft();
    // What the open load may still spend of each measure; unlimited outside a load. For work
    // done outside this layer (a file name's walk) that stops where the budget ends.
    [[nodiscard]] static Used Left();

    // What the last finished load on this thread spent: tests count work with it.
    [[nodiscard]] static Used LastLoad() { return t_loadBudget.last; }
    // The limits the next loads on this thread open with; returns the previous ones. For tests
    // and fuzzing: the program keeps the defaults.
    static Limits SetLimits(const Limits& limits);

private:
    enum Measure { kEntries, kBytes, kLines };
    static void Take(std::int64_t& used, std::int64_t limit, std::int64_t n, Measure measure)
    {
        if (n > limit - used)
            Refuse(used, limit, measure);
        used += n;
    }
    [[noreturn]] static void Refuse(std::int64_t& used, std::int64_t limit, Measure measure);
};

} // namespace tdv_detail
