#pragma once
// The control panel's commands that hand over to outside programs: the help, the read-me file
// and the desktop's volume mixer. The caller (the main window's handler) first stops a running
// game.
//
// Thread: GUI thread. Nothing here throws: what cannot be opened or started is told to the user in
// a message box.
#include <string>
#include <vector>

class QWidget;

// The help file beside the executable: its full name with ".exe" replaced by ".chm" (".chm"
// appended when it has no ".exe").
[[nodiscard]] std::string CompiledHelpFileName(const std::string& executable);
// Opens CompiledHelpFileName(executable) with the desktop's viewer when it exists, else the
// application's help file folder + helpFile ("korvane.hlp"). A missing help file shows
// "Help file not found: " and its name; a compiled help file no program opens shows
// CannotOpenText. A plain-text help file that the desktop cannot open is shown in the program's
// own text viewer (a window of owner).
void ShowHelp(const std::string& executable, const std::string& folder, const std::string& helpFile,
              QWidget* owner = nullptr);
// Opens folder + "readme.txt" with the desktop's viewer when it exists; false when it does not.
// When no program opens it, the user is told (CannotOpenText).
bool OpenReadme(const std::string& folder);
// What the user is told when a file cannot be opened: "Cannot open " and the file's name as it is
// found on this system, then the reason: the file does not exist, or the desktop has no program
// for it.
[[nodiscard]] std::string CannotOpenText(const std::string& file);
// The mixers tried, in order: the program and its arguments.
[[nodiscard]] const std::vector<std::vector<std::string>>& VolumeMixers();
// Starts the first of VolumeMixers that starts, without waiting for it; when none does, says
// which to install.
void StartVolumeMixer();
