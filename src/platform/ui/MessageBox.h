#pragma once
// Message boxes and the beep, as the class library's application object offers them. With a
// display a box is modal and waits for the user; under the offscreen (or minimal) platform, or
// with no application object, nothing blocks: the text goes to stderr and the box answers with
// its default button. Tests and tools install their own handler to see and answer the boxes.
//
// Thread: GUI thread only. Nothing here throws; a handler that throws is treated as answering
// the default button.
#include <functional>
#include <string>

using UINT = unsigned int;

// Buttons (low four bits of the flags).
constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_OKCANCEL = 0x0001;
constexpr UINT MB_YESNOCANCEL = 0x0003;
constexpr UINT MB_YESNO = 0x0004;
// Icons.
constexpr UINT MB_ICONERROR = 0x0010;
constexpr UINT MB_ICONQUESTION = 0x0020;
constexpr UINT MB_ICONWARNING = 0x0030;
constexpr UINT MB_ICONINFORMATION = 0x0040;
// Which button is the default (answered without a user); the first when none is given.
constexpr UINT MB_DEFBUTTON2 = 0x0100;
constexpr UINT MB_DEFBUTTON3 = 0x0200;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// One box as a handler sees it.
struct TMessageBoxRequest {
    std::string text;
    std::string caption;
    UINT flags = MB_OK;
};
using TMessageBoxHandler = std::function<int(const TMessageBoxRequest& request)>;

// Shows text with caption (empty: the application's title) and the buttons and icon of flags;
// returns the button chosen (IDOK, IDCANCEL, IDYES or IDNO).
int MessageBox(const std::string& text, const std::string& caption, UINT flags);
// A box with the application's title, the text and an OK button.
void ShowMessage(const std::string& text);
// The answer a box gives without a user: its default button.
[[nodiscard]] int DefaultMessageBoxAnswer(UINT flags);
// Sends every box to handler instead (null: back to the real boxes); returns the one before.
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler);

// The system's beep; silent without a display.
void Beep();
// Sends every beep to handler instead (null: back to the real beep); returns the one before.
using TBeepHandler = std::function<void()>;
TBeepHandler SetBeepHandler(TBeepHandler handler);
