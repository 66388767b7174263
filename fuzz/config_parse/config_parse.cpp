// Arbitrary text through the configuration parser over a small fixed set of declarations, then
// through the writer. Any Exception is an expected outcome; crashes, leaks and hangs are not.
#include "config/TDVContext.h"
#include "platform/system/Exception.h"
#include "platform/system/TStringList.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {
const char* const kDeclarations = R"(
context general
    string Version="2.0"
    string ApplicationTitle="Demo"
    bool RMP_Autoswitch=1
endcontext
context Audio
    integer W2K_BufferSize=120
endcontext
context settings
    integer current_mode=0
    float riff_volume=0.8
    float groove_volume=0.7
    context SelectedRiff[]
        string Riff=""
        string Set=""
    endcontext
endcontext
integer a[5]=1,2,3,4,5
float f[3]
integer t[]=0
pointer p=&a[2]
context mode[]
    string title_in_combo="mode"
    context riff[]
        string file_prefix[]="none"
        integer x1[4]
        integer size=0
    endcontext
endcontext
context grid[3]
    integer v=1
    context cell[2]
        float w=0.5
    endcontext
endcontext
)";
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 16384)
        return 0;
    TDVContext root;
    TStringList declarations;
    declarations.SetText(kDeclarations);
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
