#pragma once
// The work one configuration load may do, counted in entries: every array element, list entry
// or member the load creates, every element an index list or a morph addresses, and long texts
// by their size. A short text could otherwise ask for billions of entries, since the index lists
// of nested scopes multiply and repeated ranges add up; the limit lies far above any real
// content (the program's own files need a few thousand). One budget per thread: the outermost
// load opens it, and the loads it starts (included files) draw on the same one.
#include <cstddef>
#include <cstdint>

namespace tdv_detail {

class LoadBudget {
public:
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // Fuzzed inputs meet the limit often: there it should cost little.
    static constexpr std::int64_t MaxEntries = 5'000;
#else
    static constexpr std::int64_t MaxEntries = 100'000;
#endif
    static constexpr std::size_t TextBytesPerEntry = 256;

    // Opens a full budget unless a load on this thread holds one already.
    LoadBudget();
    ~LoadBudget();
    LoadBudget(const LoadBudget&) = delete;
    LoadBudget& operator=(const LoadBudget&) = delete;

    // Takes n entries before they are created or addressed; raises "Configuration text too
    // large: ..." when they do not fit. Outside a load (the program's own setters) it counts
    // nothing.
    static void Spend(std::int64_t n);
    // A text stored by the load: one entry for every TextBytesPerEntry bytes, about what an entry
    // costs, so that a long value assigned to many entries is bounded as well.
    static void SpendText(std::size_t bytes)
    {
        if (bytes >= TextBytesPerEntry)
            Spend(static_cast<std::int64_t>(bytes / TextBytesPerEntry));
    }
};

} // namespace tdv_detail
