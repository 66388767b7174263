#include "platform/ui/ApplicationInstance.h"

#include "platform/ui/KeyboardTaken.h"
#include "platform/ui/TFocusReturn.h"

#include <QApplication>
#include <QToolTip>

#include <algorithm>
#include <cstdlib>

void EnsureApplication()
{
    if (QCoreApplication::instance())
        return;
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt keeps references to argc and argv for the life of the application.
    static int argc = 1;
    static char name[] = "korvane";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives until the process ends
    StampProgramVersion();
    InstallFocusReturn();
    InstallKeyboardTakenWatch();
}

void StampProgramVersion()
{
    if (QCoreApplication::instance())
        QCoreApplication::setApplicationVersion(QString::fromStdString(ProgramVersion()));
}

std::string ProgramVersion()
{
    // The build defines the number once, in the project's own description.
    return RT_PROGRAM_VERSION;
}

void TApplication::SetHintPause(int milliseconds) { hintPause_ = std::max(milliseconds, 0); }

int TApplication::NextHintPause() const
{
    return QToolTip::isVisible() ? hintShortPause_ : hintPause_;
}

void TApplication::SetHintShortPause(int milliseconds) { hintShortPause_ = std::max(milliseconds, 0); }

void TApplication::SetHintHidePause(int milliseconds) { hintHidePause_ = std::max(milliseconds, 0); }

TApplication& Application()
{
    static TApplication application;
    return application;
}
