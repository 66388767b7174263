#pragma once
// The work one configuration load may do. A short text could otherwise ask for billions of
// steps: index lists of nested scopes multiply, repeated ranges add up, block lines run once per
// element, files include each other over and over. Three measures, each charged where the work
// is done and before it is done:
//   - entries: every array element, list entry or member the load creates or addresses, every
//     further element a value list writes, every pointer step, and stored texts (values and
//     names) by their size;
//   - bytes: every byte read from a file and every byte parsed, once per pass and per element
//     (block lines, the rest of a "." scope, the paths a morph or pointer resolves), plus a
//     fixed amount per file loaded;
//   - lines: every line visited, by every block pass and in every included file.
// The limits lie far above any real content (the program's own files need a few thousand
// entries and a few hundred kilobytes). One budget per thread: the outermost load opens it, and
// the loads it starts (included files) draw on the same one.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tdv_detail {

class LoadBudget {
public:
    static constexpr std::int64_t MaxEntries = 100'000;
    static constexpr std::int64_t MaxBytes = std::int64_t(8) << 20;
    static constexpr std::int64_t MaxLines = 100'000;
    // About what creating an entry costs, in bytes of stored text or parsing.
    static constexpr std::size_t TextBytesPerEntry = 64;
    // What opening, resolving and reading one file costs beyond its bytes.
    static constexpr std::int64_t BytesPerFile = 16 * 1024;
    // One file may be loaded this often in one load (its includes over and over would otherwise
    // multiply with every level).
    static constexpr int MaxLoadsPerFile = 256;

    struct Limits {
        std::int64_t entries = MaxEntries;
        std::int64_t bytes = MaxBytes;
        std::int64_t lines = MaxLines;
    };
    struct Used {
        std::int64_t entries = 0;
        std::int64_t bytes = 0;
        std::int64_t lines = 0;
    };

    // Opens a full budget unless a load on this thread holds one already.
    LoadBudget();
    ~LoadBudget();
    LoadBudget(const LoadBudget&) = delete;
    LoadBudget& operator=(const LoadBudget&) = delete;

    // Each takes its amount before the work is done; raises "Configuration text too large: ..."
    // (lines: "Configuration text too complex: ...") when it does not fit. Outside a load (the
    // program's own getters and setters) they count nothing.
    static void Spend(std::int64_t entries);
    static void SpendBytes(std::int64_t bytes);
    static void SpendLine();
    // A text stored or looked up by name: one entry for every TextBytesPerEntry bytes, so that a
    // long value or name used for many entries is bounded as well.
    static void SpendText(std::size_t bytes)
    {
        if (bytes >= TextBytesPerEntry)
            Spend(static_cast<std::int64_t>(bytes / TextBytesPerEntry));
    }
    // One load of the file known by identity, of size bytes: BytesPerFile plus its size, and
    // "...loaded more than 256 times" past MaxLoadsPerFile.
    static void SpendFile(const std::string& identity, std::int64_t size);
    // The bytes a load may still read or parse (for readers that stop early); unlimited outside
    // a load.
    [[nodiscard]] static std::int64_t BytesLeft();
    [[nodiscard]] static std::int64_t LinesLeft();

    // What the last finished load on this thread spent: tests count work with it.
    [[nodiscard]] static Used LastLoad();
    // The limits the next loads on this thread open with; returns the previous ones. For tests
    // and fuzzing: the program keeps the defaults.
    static Limits SetLimits(const Limits& limits);
};

} // namespace tdv_detail
