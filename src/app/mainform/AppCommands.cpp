#include "app/mainform/AppCommands.h"

#include "app/dialogs/TTextViewer.h"

#include "platform/system/LinuxFileNames.h"
#include "platform/ui/MessageBox.h"
#include "platform/system/ShellExecute.h"

namespace {

// True when the file was handed to the desktop; otherwise the user has been told why not.
bool OpenOrTell(const std::string& file)
{
    if (!FileExists(file)) {
        ShowMessage("Help file not found: " + ResolveFileName(file));
        return true;
    }
    return ShellOpenFile(file);
}

}  // namespace

std::string CannotOpenText(const std::string& file)
{
    return "Cannot open " + ResolveFileName(file) +
           (FileExists(file) ? "\nThe desktop has no program for this kind of file." : "\nThe file does not exist.");
}

std::string CompiledHelpFileName(const std::string& executable)
{
    const std::string exe = ".exe";
    if (executable.size() >= exe.size() && executable.compare(executable.size() - exe.size(), exe.size(), exe) == 0)
        return executable.substr(0, executable.size() - exe.size()) + ".chm";
    return executable + ".chm";
}

void ShowHelp(const std::string& executable, const std::string& folder, const std::string& helpFile,
              QWidget* owner)
{
    const std::string compiled = CompiledHelpFileName(executable);
    if (!executable.empty() && FileExists(compiled)) {
        if (!OpenOrTell(compiled))
            ShowMessage(CannotOpenText(compiled));
        return;
    }
    // No desktop program reads the help file's format; as plain text the program shows it itself.
    const std::string help = folder + helpFile;
    if (!OpenOrTell(help) && TTextViewer::ShowFile(help, owner) == nullptr)
        ShowMessage(CannotOpenText(help));
}

bool OpenReadme(const std::string& folder)
{
    const std::string readme = folder + "readme.txt";
    if (!FileExists(readme))
        return false;
    if (!ShellOpenFile(readme))
        ShowMessage(CannotOpenText(readme));
    return true;
}

const std::vector<std::vector<std::string>>& VolumeMixers()
{
    static const std::vector<std::vector<std::string>> mixers = {
        {"pavucontrol"},
        {"pavucontrol-qt"},
        {"pwvucontrol"},
        {"mate-volume-control"},
        {"gnome-control-center", "sound"},
    };
    return mixers;
}

void StartVolumeMixer()
{
    for (const std::vector<std::string>& mixer : VolumeMixers())
        if (StartProcess(mixer.front(), std::vector<std::string>(mixer.begin() + 1, mixer.end())))
            return;
    ShowMessage("No volume mixer found. Install pavucontrol (or another mixer of your desktop) to set the volume.");
}
