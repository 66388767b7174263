#pragma once
// One row of the riff list: a riff bound to at least one key of the current mode, with its texts,
// the keys that play it and the small picture of its transcription.
//
// Thread: GUI thread only. Ownership: the row owns its thumbnail; copying a row copies the
// picture, so rows can be kept in any container.
#include <memory>
#include <string>

#include "platform/drawing/TBitmap.h"
#include "platform/ui/TShiftState.h"

struct RiffInfo {
    std::string riff;     // the value of the binding: the riff's ID in the mode
    std::string info1;    // "info[1]": column "Riff"
    std::string HotKey;   // modifier prefix + key caption, several keys separated by a line feed
    std::string info2;    // "info[2]": column "Description"
    std::string info3;    // "info[3]": column "Difficulty"
    std::string info4;    // "info[4]": column "Bars", compared as an integer
    TShiftState set = 0;  // the binding set of the first key found for the riff
    std::unique_ptr<TBitmap> thumbnail;  // null: the row shows "no image"

    RiffInfo() = default;
    RiffInfo(const RiffInfo& other);
    RiffInfo& operator=(const RiffInfo& other);
    RiffInfo(RiffInfo&&) noexcept = default;
    RiffInfo& operator=(RiffInfo&&) noexcept = default;
    ~RiffInfo() = default;

    // The text of a list column (0 "Riff" .. 4 "Bars"); empty for any other column.
    [[nodiscard]] const std::string& ColumnText(int column) const;
};

// Orders two rows by a list column: below 0 when a comes first, 0 when they tie. Columns 0 to 3
// compare their texts with the locale's case-sensitive comparison; column 4 compares the integer
// values (a text that is not an integer in the 32-bit range counts as 0); any other column ties.
[[nodiscard]] int CompareRiffRows(const RiffInfo& a, const RiffInfo& b, int column);

// The integer a "Bars" text stands for: optional blanks and sign, then decimal digits to its
// end; anything else, or a value outside the 32-bit range, gives 0.
[[nodiscard]] int RiffBarsValue(const std::string& text);
