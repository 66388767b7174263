#pragma once
// The declarations the configuration fuzz targets parse their inputs over: a little of every
// kind the program's defaults declare (contexts, arrays, lists, a pointer, a context list with a
// nested list, a context array with a nested array).
inline const char* const kFuzzDeclarations = R"(
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
