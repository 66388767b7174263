// The create-wave command of the main window.
#include "app/mainform/TKorvaneForm.h"

#include "app/game/TKorvaneEnv.h"
#include "app/dialogs/TWaveFileRender.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/ui/MessageBox.h"
#include "sound/TWaveScene.h"

#include <QDir>
#include <QFile>

void TKorvaneForm::WaveButtonClick(TObject* /*sender*/)
{
    if (loading_)
        return;
    // A mode load leaves the environment running without a groove; only a game the user started
    // (the groove recording) or paused is "playing" here.
    if (recording_ || IsPaused()) {
        ShowMessage("Stop playing before saving wav file!");
        return;
    }
    if (WaveScene.GetRecordLengthMs() > 1000) {
        {
            TWaveFileRender render(this);
            render.Render();
        }
        QDir::setCurrent(QFile::decodeName(QByteArray::fromStdString(ResolveFileName(_app_path))));
    } else {
        ShowMessage("Nothing to save!");
    }
}
