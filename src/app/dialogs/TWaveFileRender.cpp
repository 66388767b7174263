#include "app/dialogs/TWaveFileRender.h"

#include "app/dialogs/TBusyFrm.h"
#include "app/mainform/TKorvaneForm.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/ui/MessageBox.h"
#include "sound/TFileWaveWriter.h"
#include "sound/TWaveScene.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kPanelMargin = 8;

TFileWaveWriter* FileWriter()
{
    return dynamic_cast<TFileWaveWriter*>(WaveScene.GetWriter());
}

} // namespace

// The non-native dialog, so that the panel can live in it; a name is tested before the dialog
// may close (and before it asks whether to replace an existing file).
class TWaveFileRender::SaveWaveDialog : public QFileDialog {
public:
    SaveWaveDialog(QWidget* parent, TWaveFileRender& owner) : QFileDialog(parent), owner_(owner)
    {
        setObjectName("SaveDialog");
        setOption(QFileDialog::DontUseNativeDialog);
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        setDefaultSuffix("wav");
        setNameFilter("Wav files (*.wav)");
        setSizeGripEnabled(true);
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        if (!event->spontaneous())
            owner_.SaveDialogShow();
        QFileDialog::showEvent(event);
    }
    void accept() override
    {
        const QStringList files = selectedFiles();
        // A folder typed as the name is opened by the dialog itself.
        if (files.size() == 1 && !QFileInfo(files.front()).isDir() &&
            !owner_.SaveDialogCanClose(QFile::encodeName(files.front()).toStdString()))
            return;
        QFileDialog::accept();
    }

private:
    TWaveFileRender& owner_;
};

// Ends the render and gives the scene its sound device back, on every way out of RenderTo.
class TWaveFileRender::OutputRestorer {
public:
    OutputRestorer(TWaveFileRender& form, TBusyFrm& busy) : form_(form), busy_(busy) {}
    OutputRestorer(const OutputRestorer&) = delete;
    OutputRestorer& operator=(const OutputRestorer&) = delete;
    ~OutputRestorer()
    {
        if (!done_) {
            try {
                Run();
            } catch (...) {
                // Already unwinding from the error that ended the render; that one is reported.
            }
        }
    }

    void MessagesDisabled() { enableMessages_ = true; }

    // Every step runs even when one before it failed; the first failure is thrown at the end.
    void Run()
    {
        done_ = true;
        std::exception_ptr first;
        auto step = [&first](const auto& f) {
            try {
                f();
            } catch (...) {
                if (!first)
                    first = std::current_exception();
            }
        };
        step([this] {
            form_.Timer->stop();
            busy_.SetDone(true);  // else the busy window's own timer shows it again
            busy_.hide();
        });
        step([] { WaveScene.StopReplay(); });
        step([] { WaveScene.StopAllInstances(); });
        step([] { WaveScene.Stop(); });
        step([this] {
            // Closing checks the file on disk, so a loss found only then is reported as well.
            if (TFileWaveWriter* writer = FileWriter()) {
                if (writer->IsOpen())
                    writer->Close();
                fileFailed_ = writer->Failed();
            }
        });
        step([] { WaveScene.SetoutputDevice(TWaveScene::OutputDevice, "0"); });
        if (enableMessages_)
            step([] { WaveScene.EnableMessages(); });
        step([] { WaveScene.Play(); });
        if (first)
            std::rethrow_exception(first);
    }

    [[nodiscard]] bool FileFailed() const { return fileFailed_; }

private:
    TWaveFileRender& form_;
    TBusyFrm& busy_;
    bool done_ = false;
    bool enableMessages_ = false;
    bool fileFailed_ = false;
};

TWaveFileRender::TWaveFileRender(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("WaveFileRender");

    Timer = new QTimer(this);
    Timer->setObjectName("Timer");
    Timer->setInterval(100);
    connect(Timer, &QTimer::timeout, this, [this] { TimerTimer(); });

    InPanel = new QWidget(this);
    InPanel->setObjectName("InPanel");
    auto* grid = new QGridLayout(InPanel);
    grid->setContentsMargins(0, 0, 0, 0);
    Label3 = new QLabel("Song length:", InPanel);
    Label3->setObjectName("Label3");
    Label4 = new QLabel("Estimated file size:", InPanel);
    Label4->setObjectName("Label4");
    SongLength = new QLabel("-----", InPanel);
    SongLength->setObjectName("SongLength");
    FileSize = new QLabel("-----", InPanel);
    FileSize->setObjectName("FileSize");
    grid->addWidget(Label3, 0, 0);
    grid->addWidget(SongLength, 0, 1);
    grid->addWidget(Label4, 1, 0);
    grid->addWidget(FileSize, 1, 1);
    grid->setColumnStretch(1, 1);

    saveDialog_ = new SaveWaveDialog(parent != nullptr ? parent : this, *this);
}

TWaveFileRender::~TWaveFileRender()
{
    if (TBusyFrm* busy = _BusyFrm != nullptr ? _BusyFrm : ownBusy_.get())
        busy->hide();
    delete saveDialog_.data();
}

TBusyFrm* TWaveFileRender::Busy()
{
    if (_BusyFrm != nullptr)
        return _BusyFrm;
    if (!ownBusy_)
        ownBusy_ = std::make_unique<TBusyFrm>();
    return ownBusy_.get();
}

std::string TWaveFileRender::SongLengthText(std::uint32_t ms)
{
    const std::uint32_t seconds = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u", seconds / 60, seconds % 60);
    return text;
}

std::string TWaveFileRender::FileSizeText(std::uint32_t ms)
{
    // 176 400 bytes a second, that is 176.4 bytes a millisecond, in whole KB.
    return std::to_string(std::uint64_t(ms) * 1764 / 10240) + " KB";
}

void TWaveFileRender::SaveDialogShow()
{
    std::uint32_t ms = 0;
    try {
        ms = WaveScene.GetRecordLengthMs();
    } catch (const std::exception&) {
        // No scene format: nothing recorded.
    }
    SongLength->setText(QString::fromStdString(SongLengthText(ms)));
    FileSize->setText(QString::fromStdString(FileSizeText(ms)));
    QFileDialog* dialog = saveDialog_.data();
    if (panelPlaced_ || dialog == nullptr)
        return;
    panelPlaced_ = true;
    // Below the file list (and the name and type rows), across the dialog's whole width.
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout())) {
        grid->addWidget(InPanel, grid->rowCount(), 0, 1, std::max(1, grid->columnCount()));
    } else {
        InPanel->setParent(dialog);
        InPanel->setGeometry(kPanelMargin, dialog->height() - InPanel->sizeHint().height() - kPanelMargin,
                             dialog->width() - 2 * kPanelMargin, InPanel->sizeHint().height());
    }
    InPanel->show();
    dialog->resize(dialog->width(), dialog->height() + InPanel->sizeHint().height() + kPanelMargin);
}

bool TWaveFileRender::SaveDialogCanClose(const std::string& name)
{
    const std::string path = ResolveFileName(name);
    const bool existed = ::access(path.c_str(), F_OK) == 0;
    // Neither truncated (the dialog asks about that next) nor blocking on a pipe without reader.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        (void)MessageBox("Can't open selected file for write!", std::string(), MB_OK | MB_ICONERROR);
        return false;
    }
    ::close(fd);
    if (!existed)
        ::unlink(path.c_str());
    return true;
}

void TWaveFileRender::TimerTimer()
{
    TBusyFrm* busy = Busy();
    // Asked before the share: a replay that ends between the two questions still leaves the bar
    // at the share it ended at, never at the one just before.
    const bool replaying = WaveScene.IsReplaying();
    busy->ProgressBar->setValue(int(WaveScene.GetReplayProgress()));
    busy->SetTag(1);
    const TFileWaveWriter* writer = FileWriter();
    if (!replaying || (writer != nullptr && writer->Failed())) {
        busy->hide();
        busy->close();
        WaveScene.StopReplay();
        WaveScene.StopAllInstances();
    }
}

void TWaveFileRender::Render()
{
    QFileDialog* dialog = saveDialog_.data();
    if (dialog == nullptr || dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return;
    (void)RenderTo(QFile::encodeName(dialog->selectedFiles().front()).toStdString());
}

bool TWaveFileRender::RenderTo(const std::string& name)
{
    TBusyFrm* busy = Busy();
    OutputRestorer restorer(*this, *busy);
    WaveScene.Stop();
    WaveScene.DisableMessages();
    restorer.MessagesDisabled();
    WaveScene.SetoutputDevice(TWaveScene::OutputFile, name);
    if (TFileWaveWriter* writer = FileWriter()) {
        // The writer runs far ahead of the clock: the file ends with the period in which the
        // replay passes its last record, and so the replay ends.
        const std::uint32_t records = WaveScene.GetRecordCount();
        const std::uint64_t periods = records > 0 ? std::uint64_t(WaveScene.GetLogRecord(records - 1).stamp) + 2 : 1;
        writer->SetBufferLimit(std::int32_t(std::min<std::uint64_t>(periods, 0x7FFFFFFF)));
    }
    Timer->start();
    WaveScene.StartReplay();
    WaveScene.Play();
    // The busy window is shared, and a mode's loading leaves its bar counting riffs: the render
    // shows percentages, and a bar of another range would ignore most of them.
    busy->ProgressBar->setRange(0, 100);
    busy->ProgressBar->setValue(0);
    busy->SetDone(false);
    (void)busy->ShowModal();
    const bool replayed = !WaveScene.IsReplaying();
    restorer.Run();
    if (restorer.FileFailed()) {
        (void)MessageBox("Error writing wav file: " + name, std::string(), MB_OK | MB_ICONERROR);
        return false;
    }
    return replayed;
}
