// The program's entry: one instance per user, the forms in their order, the start-up, the message
// loop. Returns 0 in every case, as a second instance does.
#include <QApplication>

#include <cstdlib>
#include <memory>

#include "app/dialogs/TBusyFrm.h"
#include "app/mainform/TKorvaneForm.h"
#include "app/dialogs/TPrintForm.h"
#include "app/dialogs/TRiffListDlg.h"
#include "app/dialogs/TSplashScreen.h"
#include "app/video/TVideoTutorialForm.h"
#include "platform/ui/ApplicationInstance.h"
#include "platform/ui/EventBridge.h"
#include "platform/ui/KeyboardTaken.h"
#include "platform/ui/TFocusReturn.h"
#include "platform/system/SingleInstance.h"

int main(int argc, char** argv)
{
    // Videos play through GStreamer; Qt's other media backend crashes without a sound device.
    if (std::getenv("QT_MEDIA_BACKEND") == nullptr)
        setenv("QT_MEDIA_BACKEND", "gstreamer", 1);
    QApplication application(argc, argv);

    SingleInstance instance("HV.Korvane");
    if (!instance.Claim())
        return 0;

    QCoreApplication::setApplicationName("Korvane 2");
    StampProgramVersion();
    InstallFocusReturn();
    InstallKeyboardTakenWatch();
    try {
        // Created in this order; the main window is the first and so the main form.
        auto form = std::make_unique<TKorvaneForm>();
        auto splash = std::make_unique<TSplashScreen>(form.get());
        _SplashScreen = splash.get();
        auto print = std::make_unique<TPrintForm>(form.get());
        _PrintForm = print.get();
        auto busy = std::make_unique<TBusyFrm>(form.get());
        _BusyFrm = busy.get();
        auto tutorials = std::make_unique<TVideoTutorialForm>(form.get());
        _VideoTutorialForm = tutorials.get();
        auto riffList = std::make_unique<TRiffListDlg>(form.get());
        _RiffListDlg = riffList.get();

        instance.SetOnActivate([window = form.get()] {
            window->showMaximized();
            window->raise();
            window->activateWindow();
        });

        form->InitApplication();
        if (!form->EndRequested()) {
            form->showMaximized();
            form->activateWindow();
            QApplication::exec();
        }

        _RiffListDlg = nullptr;
        _VideoTutorialForm = nullptr;
        _BusyFrm = nullptr;
        _PrintForm = nullptr;
        _SplashScreen = nullptr;
        riffList.reset();
        tutorials.reset();
        busy.reset();
        print.reset();
        splash.reset();
        form.reset();
    } catch (const std::exception& error) {
        ShowException(error.what());
    }
    return 0;
}
