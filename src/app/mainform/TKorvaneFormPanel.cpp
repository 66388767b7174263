// The smaller control panel commands of the main window: print, and the fretboard area's mouse.
#include "app/mainform/TKorvaneForm.h"

#include "app/game/TKorvaneEnv.h"
#include "app/dialogs/TPrintForm.h"
#include "app/mainform/AppCommands.h"
#include "config/TDVContext.h"
#include "platform/ui/EventBridge.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/ui/MessageBox.h"
#include "platform/system/ShellExecute.h"
#include "platform/drawing/TBitmap.h"
#include "platform/ui/TPanel.h"
#include "sprite/PicUtils.h"

#include <QRadioButton>

namespace {

// The printable page of a riff: its first transcription page. A riff whose prefix ends in "u"
// may share the page of the riff without the "u".
std::string RiffPageFile(const std::string& prefix)
{
    const std::string file = _ImagesDir + prefix + ".png";
    if (FileExists(file) || prefix.empty() || prefix.back() != 'u')
        return file;
    return _ImagesDir + prefix.substr(0, prefix.size() - 1) + ".png";
}

// The mode's document of all its riffs: the groove file's name up to and including its first
// "." with "pdf" after it, in the images folder.
std::string ModeDocumentFile(const std::string& grooveFile)
{
    const std::size_t dot = grooveFile.find('.');
    return _ImagesDir + (dot == std::string::npos ? grooveFile : grooveFile.substr(0, dot + 1)) + "pdf";
}

}  // namespace

void TKorvaneForm::PrintButtonClick(TObject* /*sender*/)
{
    if (loading_ || env_ == nullptr || _PrintForm == nullptr)
        return;
    if (env_->GameState() != TGameEnvObj::StateReady)
        StopButtonClick(GlobalPanel);
    if (_PrintForm->exec() != QDialog::Accepted)
        return;
    TDVContext* mode = env_->FindMode("");
    if (mode == nullptr)
        return;
    try {
        if (_PrintForm->PrintAll->isChecked()) {
            const std::string document = ModeDocumentFile(mode->GetString("groove_file"));
            // The desktop's viewer prints it; a missing document or viewer must not pass unnoticed.
            if (!ShellOpenFile(document))
                ShowMessage(CannotOpenText(document));
        } else if (_PrintForm->PrintLast->isChecked()) {
            const RiffStruct* record = CurrentRecord();
            if (record == nullptr || record->riffName.empty()) {
                ShowMessage("No riff selected");
                return;
            }
            TBitmap page;
            TDVContext* riff = mode->GetContextByID("riff[#]", record->riffName);
            LoadImageToBitmap(&page, RiffPageFile(riff->GetString("file_prefix")));
            // The job is named after the riff, so the user finds it in the printer's queue.
            _PrintForm->PrintGraphic(&page, riff->Exists("title") ? riff->GetString("title") : record->riffName);
        }
    } catch (const std::exception& error) {
        ShowException(error.what());
    }
}

void TKorvaneForm::FretboardAreaImageMouseDown(TObject* /*sender*/, TMouseButton /*button*/, TShiftState /*shift*/,
                                               int /*x*/, int /*y*/)
{
    // The fretboard only shows; a click on it does nothing.
}
