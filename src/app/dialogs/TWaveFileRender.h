#pragma once
// The WAV render of the previous performance: the groove and every riff triggered since the last
// Play, as the wave scene's operation log holds them, replayed into a WAV file of the user's
// choice. The form itself is never shown: it carries the save dialog, the panel embedded in that
// dialog (the performance's length and the file's estimated size) and the timer that follows the
// render behind the busy window.
//
// Whichever way a render ends (finished, cancelled with Esc, the file failing, an exception), the
// scene gets wave-out device 0 back, notifications on and playing; a file that could not be
// written completely is reported with its name and still left a valid WAV file.
//
// Thread: GUI thread. Uses the global wave scene and the busy window `_BusyFrm` (one of its own
// when that is null).
#include <QFileDialog>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

class QLabel;
class QTimer;
class TBusyFrm;

class TWaveFileRender : public QWidget {
public:
    explicit TWaveFileRender(QWidget* parent = nullptr);
    // Hides the busy window.
    ~TWaveFileRender() override;

    // Runs the save dialog and renders into the file chosen; nothing on Cancel. Errors of the wave
    // scene while switching outputs are passed on, after the output has been restored.
    void Render();
    // The render into name (already accepted by the dialog): true when the file holds the whole
    // performance, false when the user ended it early or the file failed (which was reported).
    bool RenderTo(const std::string& name);

    // The dialog opens: the panel is placed below the file list and shows the recording's figures.
    void SaveDialogShow();
    // The user confirmed name: true when it can be created for writing. Nothing is truncated or
    // left behind by the test. Otherwise shows "Can't open selected file for write!".
    bool SaveDialogCanClose(const std::string& name);
    // Every 100 ms while rendering: the busy window's progress; its end when the replay ends.
    void TimerTimer();

    // A length in ms as whole minutes and seconds, "mm:ss" (beyond an hour the minutes go on).
    [[nodiscard]] static std::string SongLengthText(std::uint32_t ms);
    // The size of that length as 16-bit stereo at 44100 Hz in KB: "<n> KB".
    [[nodiscard]] static std::string FileSizeText(std::uint32_t ms);

    QFileDialog* SaveDialog() const { return saveDialog_.data(); }
    QTimer* Timer = nullptr;
    QWidget* InPanel = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* SongLength = nullptr;
    QLabel* FileSize = nullptr;

private:
    class SaveWaveDialog;
    class OutputRestorer;

    TBusyFrm* Busy();

    QPointer<QFileDialog> saveDialog_;
    std::unique_ptr<TBusyFrm> ownBusy_;
    bool panelPlaced_ = false;
};
