#include "config/LoadBudget.h"

#include "platform/system/Exception.h"
#include "platform/system/NumberText.h"

#include <limits>
#include <unordered_map>

namespace tdv_detail {

namespace {
// Loads of each file (by identity) in the open load of this thread.
thread_local std::unordered_map<std::string, int> t_fileLoads;
} // namespace

LoadBudget::LoadBudget()
{
    if (t_loadBudget.openLoads++ == 0) {
        t_loadBudget.used = {};
        t_fileLoads.clear();
    }
}

LoadBudget::~LoadBudget()
{
    if (--t_loadBudget.openLoads == 0) {
        t_loadBudget.last = t_loadBudget.used;
        t_fileLoads.clear();
    }
}

void LoadBudget::Refuse(std::int64_t& used, std::int64_t limit, Measure measure)
{
    used = limit;
    const std::string most = IntToStr(limit);
    switch (measure) {
    case kEntries: throw Exception("Configuration text too large: more than " + most + " entries created or addressed");
    case kBytes: throw Exception("Configuration text too large: more than " + most + " bytes read or parsed");
    default: throw Exception("Configuration text too complex: more than " + most + " lines read");
    }
}

void LoadBudget::SpendFile(const std::string& identity, std::int64_t size)
{
    if (t_loadBudget.openLoads == 0)
        return;
    int& loads = t_fileLoads[identity];
    if (loads >= MaxLoadsPerFile)
        throw Exception("Configuration text too complex: a file loaded more than " + IntToStr(MaxLoadsPerFile) +
                        " times");
    SpendBytes(BytesPerFile);
    SpendBytes(size);
    ++loads;
}

std::int64_t LoadBudget::LinesLeft()
{
    if (t_loadBudget.openLoads == 0)
        return std::numeric_limits<std::int64_t>::max();
    return t_loadBudget.limits.lines - t_loadBudget.used.lines;
}

LoadBudget::Used LoadBudget::Left()
{
    if (t_loadBudget.openLoads == 0) {
        constexpr std::int64_t kUnlimited = std::numeric_limits<std::int64_t>::max();
        return {kUnlimited, kUnlimited, kUnlimited};
    }
    const LoadLimits& limits = t_loadBudget.limits;
    const LoadUse& used = t_loadBudget.used;
    return {limits.entries - used.entries, limits.bytes - used.bytes, limits.lines - used.lines};
}

LoadBudget::Limits LoadBudget::SetLimits(const Limits& limits)
{
    const Limits before = t_loadBudget.limits;
    t_loadBudget.limits = limits;
    return before;
}

} // namespace tdv_detail
