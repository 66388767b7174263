#include "config/LoadBudget.h"

#include "platform/system/Exception.h"
#include "platform/system/NumberText.h"

#include <limits>
#include <unordered_map>

namespace tdv_detail {

namespace {

struct ThreadBudget {
    int openLoads = 0;
    LoadBudget::Limits limits;
    LoadBudget::Used used;
    LoadBudget::Used last;
    // Loads of each file (by identity) in the open load.
    std::unordered_map<std::string, int> fileLoads;
};

thread_local ThreadBudget t_budget;

std::string I64(std::int64_t n) { return IntToStr(n); }

} // namespace

LoadBudget::LoadBudget()
{
    if (t_budget.openLoads++ == 0) {
        t_budget.used = {};
        t_budget.fileLoads.clear();
    }
}

LoadBudget::~LoadBudget()
{
    if (--t_budget.openLoads == 0) {
        t_budget.last = t_budget.used;
        t_budget.fileLoads.clear();
    }
}

namespace {
// Takes n of a measure, or raises "<refusal> <limit> <unit>" when more than its limit would be used.
void Take(std::int64_t& used, std::int64_t limit, std::int64_t n, const char* refusal, const char* unit)
{
    if (n > limit - used) {
        used = limit;
        throw Exception(std::string(refusal) + I64(limit) + unit);
    }
    used += n;
}
} // namespace

void LoadBudget::Spend(std::int64_t entries)
{
    if (t_budget.openLoads != 0)
        Take(t_budget.used.entries, t_budget.limits.entries, entries, "Configuration text too large: more than ",
             " entries created or addressed");
}

void LoadBudget::SpendBytes(std::int64_t bytes)
{
    if (t_budget.openLoads != 0)
        Take(t_budget.used.bytes, t_budget.limits.bytes, bytes, "Configuration text too large: more than ",
             " bytes read or parsed");
}

void LoadBudget::SpendLine()
{
    if (t_budget.openLoads != 0)
        Take(t_budget.used.lines, t_budget.limits.lines, 1, "Configuration text too complex: more than ",
             " lines read");
}

void LoadBudget::SpendFile(const std::string& identity, std::int64_t size)
{
    if (t_budget.openLoads == 0)
        return;
    int& loads = t_budget.fileLoads[identity];
    if (loads >= MaxLoadsPerFile)
        throw Exception("Configuration text too complex: a file loaded more than " + I64(MaxLoadsPerFile) +
                        " times");
    SpendBytes(BytesPerFile);
    SpendBytes(size);
    ++loads;
}

std::int64_t LoadBudget::BytesLeft()
{
    if (t_budget.openLoads == 0)
        return std::numeric_limits<std::int64_t>::max();
    return t_budget.limits.bytes - t_budget.used.bytes;
}

std::int64_t LoadBudget::LinesLeft()
{
    if (t_budget.openLoads == 0)
        return std::numeric_limits<std::int64_t>::max();
    return t_budget.limits.lines - t_budget.used.lines;
}

LoadBudget::Used LoadBudget::LastLoad() { return t_budget.last; }

LoadBudget::Limits LoadBudget::SetLimits(const Limits& limits)
{
    const Limits before = t_budget.limits;
    t_budget.limits = limits;
    return before;
}

} // namespace tdv_detail
