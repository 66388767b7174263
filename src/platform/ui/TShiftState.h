#pragma once
// The class library's mouse button and shift-state set, as mouse events receive them.

// Which button a press or release concerns.
enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Keys and buttons held while a mouse event happened; ssDouble marks the second press of a
// double click.
enum TShiftStateFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
};
using TShiftState = unsigned;  // a set of TShiftStateFlag bits

[[nodiscard]] constexpr bool InShift(TShiftState shift, TShiftStateFlag flag) { return (shift & flag) != 0; }
