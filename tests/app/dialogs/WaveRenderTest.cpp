// The WAV render: its figures, its save dialog, and how a render ends (Esc, a failing file) with
// the sound output given back. The render of a real performance is in WaveRenderEndToEndTest.
#include "app/KorvaneFormTestContent.h"
#include "app/RenderDeadline.h"

#include "app/dialogs/TBusyFrm.h"
#include "app/dialogs/TWaveFileRender.h"
#include "controls/THVPanel.h"
#include "sound/TDeviceWaveWriter.h"
#include "sound/TFileWaveWriter.h"
#include "sound/WavFile.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>

#include <unistd.h>

namespace {

using korvane_test::FormTest;
using korvane_test::PumpUntil;

constexpr std::uint32_t kPeriodBytes = 5292 * 4;

std::uint32_t WavSize(const std::string& path)
{
    WavFile wav;
    return wav.Open(path, nullptr, WavFile::ModeRead) == 0 ? wav.GetSize() : 0;
}

// The output clock while recording, without a device: the test says when a period passes.
class ClockWriter : public TWaveWriter {
public:
    ClockWriter() : TWaveWriter(nullptr, nullptr) {}
    void Open(const std::string&, TWaveBuffer&) override { written_ = 0; }
    void Close() override {}
    void WriteBuffer(const void*) override {}
    int GetFreeBuffers() const override { return 0; }
    bool IsOpen() const override { return true; }
    void StopThread() override {}
    void Pass(std::int32_t periods) { written_ += periods; }
};

// The program's scene (44100 Hz, 16-bit stereo, 120 ms periods) holding a recorded performance
// of a looping tone that ends `periods` periods after Play, then playing on wave-out device 0.
class WaveRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApplication();
        ui = std::make_unique<CapturedUi>();
        std::vector<std::int16_t> s(44100 * 2);
        for (std::size_t i = 0; i < s.size(); ++i)
            s[i] = std::int16_t(1 + i % 5000);
        WAVEFORMATEX f;
        InitWaveFormat(f, 44100, 2, 16);
        tone = std::make_unique<TWaveBuffer>(44100, f, s.data());
        WaveScene.SetSceneFormat(44100, 16, 2, 120);
    }
    void TearDown() override
    {
        korvane_test::ResetSound();
        ui.reset();
    }
    // With more voices (quiet copies of the tone) each period takes longer to render.
    void Record(std::int32_t periods, int voices = 1)
    {
        for (int v = 0; v < voices; ++v)
            WaveScene.AddInstance(tone.get(), "voice" + std::to_string(v), 0);
        auto clock = std::make_unique<ClockWriter>();
        ClockWriter* ticks = clock.get();
        WaveScene.SetWriter(std::move(clock), "clock");
        WaveScene.ClearLog();
        WaveScene.StartRecordClock();
        WaveScene.Recording = true;
        const std::vector<float> quiet{0.01f, 0.01f};
        for (int v = 0; v < voices; ++v)
            WaveScene.PlayInstance("voice" + std::to_string(v), 1000000, &quiet, -1, 0);
        ticks->Pass(periods);
        WaveScene.StopAllInstances();
        WaveScene.Recording = false;
        WaveScene.SetoutputDevice(TWaveScene::OutputDevice, "0");
        WaveScene.Play();
    }
    // The output as the program runs it: device 0, playing, notifications reaching the queue.
    static void ExpectOutputRestored()
    {
        EXPECT_NE(dynamic_cast<TDeviceWaveWriter*>(WaveScene.GetWriter()), nullptr);
        EXPECT_EQ(WaveScene.GetState(), 1);
        EXPECT_FALSE(WaveScene.IsReplaying());
        WaveScene.PushInstanceMessage("voice0", TWaveScene::NotifyStarted);
        EXPECT_FALSE(WaveScene.IsMessageQueueEmpty()) << "notifications enabled again";
        WaveScene.ClearMessages();
    }

    std::unique_ptr<CapturedUi> ui;
    std::unique_ptr<TWaveBuffer> tone;
    TempFolder out;
};

TEST(WaveRenderFigures, SongLengthAndEstimatedSize)
{
    struct Case {
        std::uint32_t ms;
        const char* length;
        const char* size;
    };
    const Case cases[] = {
        {0, "00:00", "0 KB"},
        {59999, "00:59", "10335 KB"},
        {125000, "02:05", "21533 KB"},
        {3661000, "61:01", "630664 KB"},  // whole minutes beyond the hour
        {36000000, "600:00", "6201562 KB"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TWaveFileRender::SongLengthText(c.ms), c.length) << c.ms;
        EXPECT_EQ(TWaveFileRender::FileSizeText(c.ms), c.size) << c.ms;
    }
}

TEST_F(WaveRender, TheSaveDialogShowsTheFiguresAndRefusesAFileItCannotCreate)
{
    // 125 000 ms: periods of one second make the length exact.
    WaveScene.SetSceneFormat(44100, 16, 2, 1000);
    Record(125);
    TWaveFileRender render;
    QFileDialog* dialog = render.SaveDialog();
    ASSERT_NE(dialog, nullptr);

    dialog->setDirectory(QString::fromStdString(out.path.string()));
    dialog->open();
    ASSERT_TRUE(PumpUntil([&] { return dialog->isVisible(); }, kEventDeadlineMs));
    korvane_test::PumpFor(50);  // the layout settles
    EXPECT_EQ(render.SongLength->text(), "02:05");
    EXPECT_EQ(render.FileSize->text(), "21533 KB");
    EXPECT_EQ(render.InPanel->parentWidget(), dialog);
    // Below the file list (the splitter with the places and the files), as wide as that list.
    QWidget* list = dialog->findChild<QWidget*>("splitter");
    ASSERT_NE(list, nullptr);
    EXPECT_GT(render.InPanel->y(), list->y() + list->height());
    EXPECT_LE(render.InPanel->y() + render.InPanel->height(), dialog->height());
    EXPECT_EQ(render.InPanel->width(), list->width());

    // A folder that cannot take a file: refused in the dialog, which stays open.
    std::filesystem::create_directory(out.path / "locked");
    std::filesystem::permissions(out.path / "locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::string name = "locked/take.wav";
    if (::access((out.path / "locked").c_str(), W_OK) == 0) {
        out.Write("file", "");  // privileged, so permissions stop nothing: a "folder" that is a file
        name = "file/take.wav";
    }
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    edit->setText(QString::fromStdString(name));
    QMetaObject::invokeMethod(dialog, "accept");
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, "Can't open selected file for write!");
    EXPECT_TRUE(dialog->isVisible());

    // A new file: the dialog closes, the name gets its suffix, and the test leaves no file behind.
    edit->setText("take");
    QMetaObject::invokeMethod(dialog, "accept");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->selectedFiles(), QStringList{QString::fromStdString((out.path / "take.wav").string())});
    EXPECT_FALSE(out.Exists("take.wav"));

    // An existing file is neither truncated nor removed by the test.
    out.Write("old.wav", "keep");
    EXPECT_TRUE(render.SaveDialogCanClose((out.path / "old.wav").string()));
    EXPECT_EQ(out.Read("old.wav"), "keep");
}

TEST_F(WaveRender, EscEndsTheRenderOnlyAfterTheFirstTickAndTheSoundComesBack)
{
    constexpr std::int32_t kPeriods = 30000;  // an hour: far longer than the test lets it run
    Record(kPeriods, 40);  // slow enough not to write much before Esc
    const std::string path = (out.path / "esc.wav").string();
    auto busy = [] { return dynamic_cast<TBusyFrm*>(QApplication::activeModalWidget()); };
    auto esc = [](QWidget* w) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &press);
    };
    bool earlyEscIgnored = false;
    QTimer::singleShot(20, [&] {
        if (TBusyFrm* b = busy(); b != nullptr && b->Tag() == 0) {
            esc(b);
            earlyEscIgnored = b->isVisible() && WaveScene.IsReplaying();
        }
    });
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (TBusyFrm* b = busy(); b != nullptr && b->Tag() != 0) {
            poll.stop();
            esc(b);
        }
    });
    poll.start();
    TWaveFileRender render;
    EXPECT_FALSE(korvane_test::RenderWithin(render, path)) << "ended early";
    EXPECT_TRUE(earlyEscIgnored);
    ExpectOutputRestored();
    EXPECT_TRUE(ui->boxes.empty());

    // What was rendered until then is a valid file of whole periods.
    WavFile wav;
    ASSERT_EQ(wav.Open(path, nullptr, WavFile::ModeRead), 0);
    EXPECT_GT(wav.GetSize(), 0u);
    EXPECT_LT(wav.GetSize(), std::uint64_t(kPeriods) * kPeriodBytes);
    EXPECT_EQ(wav.GetSize() % kPeriodBytes, 0u);
    EXPECT_EQ(std::filesystem::file_size(path), 56 + std::uint64_t(wav.GetSize()));
}

TEST_F(WaveRender, TheBusyWindowFollowsTheShareOfThePerformanceWritten)
{
    constexpr std::int32_t kPeriods = 1500;  // three minutes
    Record(kPeriods, 8);
    // The program's one busy window, as loading a mode of two riffs leaves it.
    TBusyFrm busy;
    busy.ProgressBar->setMaximum(2);
    _BusyFrm = &busy;
    // Every 10 ms: the share the bar shows against the share of the periods in the file.
    int shown = 0;
    int distinct = 0;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const auto* writer = dynamic_cast<TFileWaveWriter*>(WaveScene.GetWriter());
        if (!busy.isVisible() || writer == nullptr)
            return;
        const QProgressBar& bar = *busy.ProgressBar;
        const int now = (bar.value() - bar.minimum()) * 100 / std::max(1, bar.maximum() - bar.minimum());
        const int written = writer->GetBuffersCompleted() * 100 / kPeriods;
        EXPECT_GE(now, shown) << "the bar never goes back";
        EXPECT_LE(now, written + 1) << "the bar runs ahead of the file";
        distinct += now != shown ? 1 : 0;
        shown = now;
    });
    poll.start();
    TWaveFileRender render;
    // An unoptimised, sanitized build renders this in about 20 s, more on a loaded machine.
    const bool finished = korvane_test::RenderWithin(render, (out.path / "long.wav").string(), 240);
    _BusyFrm = nullptr;
    EXPECT_TRUE(finished);
    EXPECT_GE(distinct, 5) << "the bar rises as the file grows";
    EXPECT_EQ(busy.ProgressBar->value(), busy.ProgressBar->maximum()) << "full at the end";
}

TEST_F(WaveRender, AFileThatFailsIsReportedWithItsNameAndTheSoundComesBack)
{
    Record(50);
    TWaveFileRender render;
    EXPECT_FALSE(korvane_test::RenderWithin(render, "/dev/full"));
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, "Error writing wav file: /dev/full");
    ExpectOutputRestored();
}

TEST_F(WaveRender, AnErrorWhileGivingTheSoundBackIsPassedOnAfterEveryOtherStep)
{
    Record(50);
    TWaveFileRender render;
    // The device cannot be opened again: the render's last step fails.
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    std::string error;
    try {
        (void)korvane_test::RenderWithin(render, (out.path / "take.wav").string());
    } catch (const std::exception& e) {
        error = e.what();
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(error, "TDeviceWaveWriter::Open: Cant open wave device");
    WaveScene.Play();
    ExpectOutputRestored();
    EXPECT_EQ(WavSize((out.path / "take.wav").string()), 52u * kPeriodBytes) << "the file was finished whole";
}

using WaveButton = FormTest;

TEST_F(WaveButton, SaysWhyThereIsNothingToRender)
{
    TKorvaneForm& f = Start();
    f.WaveButtonClick(f.WaveButton);
    f.PlayButtonClick(f.PlayButton);
    f.WaveButtonClick(f.WaveButton);
    f.StopButtonClick(f.StopButton);
    f.WaveButtonClick(f.WaveButton);  // a performance shorter than a second
    ASSERT_EQ(ui->boxes.size(), 3u);
    EXPECT_EQ(ui->boxes[0].text, "Nothing to save!");
    EXPECT_EQ(ui->boxes[1].text, "Stop playing before saving wav file!");
    EXPECT_EQ(ui->boxes[2].text, "Nothing to save!");
}

TEST_F(WaveButton, APauseKeepsTheRecordedPerformanceInOrder)
{
    TKorvaneForm& f = Start();
    // The device has been writing since start-up: the clock starts at Play, so wait for buffers
    // written after it.
    const auto atPlay = WaveScene.GetWriter()->GetBuffersWritten();
    f.PlayButtonClick(f.PlayButton);
    ASSERT_TRUE(PumpUntil([&] { return WaveScene.GetWriter()->GetBuffersWritten() > atPlay + 6; }, kEventDeadlineMs));
    WaveScene.SetInstanceVolume("groove", 0, 0.5f, 0);
    const std::uint32_t beforePause = WaveScene.GetLogRecord(WaveScene.GetRecordCount() - 1).stamp;
    ASSERT_GT(beforePause, 0u);
    f.PauseButtonClick(f.PauseButton);
    korvane_test::PumpFor(100);
    f.PauseButtonClick(f.PauseButton);
    WaveScene.SetInstanceVolume("groove", 0, 1.0f, 0);
    EXPECT_GE(WaveScene.GetLogRecord(WaveScene.GetRecordCount() - 1).stamp, beforePause)
        << "the replay would skip everything stamped before the clock it has reached";
}

}  // namespace
