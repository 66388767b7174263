// Arbitrary text through the configuration parser over a small fixed set of declarations, then
// through the writer. Any Exception is an expected outcome; crashes, leaks and hangs are not.
// The load budget is lowered here, so that inputs that reach it stay cheap and the fuzzer keeps
// its pace; config_load fuzzes at the shipped limits.
#include "config/LoadBudget.h"
#include "config/TDVContext.h"
#include "platform/system/Exception.h"
#include "platform/system/TStringList.h"

#include "../ConfigDeclarations.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    using tdv_detail::LoadBudget;
    LoadBudget::SetLimits({LoadBudget::MaxEntries / 20, LoadBudget::MaxBytes / 20, LoadBudget::MaxLines / 20});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 16384)
        return 0;
    TDVContext root;
    TStringList declarations;
    declarations.SetText(kFuzzDeclarations);
    root.LoadFromStrings(declarations, 0, 0);

    TStringList lines;
    lines.SetText(std::string(reinterpret_cast<const char*>(data), size));
    try {
        root.LoadFromStrings(lines, 0, 0);
    } catch (const Exception&) {
    }
    for (int threshold : {1, 3}) {
        TDVContext::SetBlockThreshold(threshold);
        TStringList out;
        try {
            root.SaveToStrings(out);
        } catch (const Exception&) {
        }
    }
    TDVContext::SetBlockThreshold(3);
    return 0;
}
