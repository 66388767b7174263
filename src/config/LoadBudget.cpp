#include "config/LoadBudget.h"

#include "platform/system/Exception.h"
#include "platform/system/NumberText.h"

namespace tdv_detail {

namespace {
thread_local int t_openLoads = 0;
thread_local std::int64_t t_entriesLeft = 0;
} // namespace

LoadBudget::LoadBudget()
{
    if (t_openLoads++ == 0)
        t_entriesLeft = MaxEntries;
}

LoadBudget::~LoadBudget() { --t_openLoads; }

void LoadBudget::Spend(std::int64_t n)
{
    if (t_openLoads == 0)
        return;
    if (n > t_entriesLeft) {
        t_entriesLeft = 0;
        throw Exception("Configuration text too large: more than " + IntToStr(MaxEntries) +
                        " entries created or addressed");
    }
    t_entriesLeft -= n;
}

} // namespace tdv_detail
