#include "demo/VideoContent.h"

#include "demo/DemoModel.h"
#include "demo/DemoOutput.h"
#include "demo/SkinPainting.h"
#include "platform/system/Exception.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace fs = std::filesystem;

namespace demo {

namespace {

constexpr int kParallelJobs = 4;
constexpr int kJobTimeoutMs = 60000;

// The riff whose override names its own file, and the one with an inverted ("_180") version.
constexpr const char* kOverrideMode = "blues";
constexpr const char* kOverrideRiff = "Turnaround";
constexpr const char* kOverrideFile = "TurnaroundLesson.wmv";
constexpr const char* kInvertedPrefix = "blues01";

struct Tutorial {
    const char* id;
    const char* description;
    int size;
    const char* file;
    const char* extra;  // further assignments of the entry
    bool written;       // false: the entry names a file that does not exist
};

const std::vector<Tutorial>& Tutorials()
{
    static const std::vector<Tutorial> tutorials{
        {"Intro", "Getting started (window in the middle)", 1, "Intro.wmv", "\tLeft=-1\n\tTop=40\n\tWidth=640\n\tHeight=360",
         true},
        {"Keys", "Playing riffs from the keyboard (full screen)", 2, "Keys.wmv", "", true},
        {"Groove", "The rhythm section (wide)", 3, "Groove.wmv", "", true},
        {"Transcription", "Reading the transcription (16:9)", 4, "Transcription.wmv", "\tAspect=1.777778", true},
        {"Lost", "A lesson that is not installed", 4, "Missing.wmv", "", false},
    };
    return tutorials;
}

QImage Frame(const VideoJob& job, int index, int frames)
{
    QImage image(kVideoWidth, kVideoHeight, QImage::Format_RGB32);
    image.fill(QColor(20, 22, 28));
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    // The title shrinks until it fits the frame.
    QFont titleFont = UiFont(18, true);
    while (titleFont.pixelSize() > 9 &&
           QFontMetrics(titleFont).horizontalAdvance(QString::fromUtf8(job.title.c_str())) > kVideoWidth - 8)
        titleFont.setPixelSize(titleFont.pixelSize() - 1);
    DrawCentredText(p, QRect(0, 2, kVideoWidth, 34), job.title, QColor(235, 235, 240), titleFont);
    for (const VideoBar& bar : VideoBars())
        p.fillRect(bar.box, bar.colour);
    // A block sweeping across under the bars, so motion shows at a glance.
    const int x = (kVideoWidth - 24) * index / std::max(1, frames - 1);
    p.fillRect(QRect(x, 122, 24, 8), QColor(255, 255, 255));
    const double seconds = double(index) / kVideoFps;
    const std::string counter = "Frame " + std::to_string(index + 1) + "   " + std::to_string(int(seconds)) + "." +
                                std::to_string(int(seconds * 10) % 10) + " s";
    DrawCentredText(p, QRect(0, 134, kVideoWidth, 44), counter, QColor(255, 255, 255), UiFont(26, true));
    return image;
}

std::vector<char> RawFrames(const VideoJob& job)
{
    const int frames = job.seconds * kVideoFps;
    const std::size_t frameBytes = std::size_t(kVideoWidth) * kVideoHeight * 4;
    std::vector<char> bytes(frameBytes * std::size_t(frames));
    for (int i = 0; i < frames; ++i) {
        const QImage image = Frame(job, i, frames);
        for (int y = 0; y < kVideoHeight; ++y)
            std::memcpy(bytes.data() + frameBytes * std::size_t(i) + std::size_t(y) * kVideoWidth * 4,
                        image.constScanLine(y), std::size_t(kVideoWidth) * 4);
    }
    return bytes;
}

QStringList Pipeline(const VideoJob& job, const QString& file)
{
    const int samplesPerBuffer = 44100 / kVideoFps;
    const QString raw = QString("fdsrc fd=0 ! rawvideoparse width=%1 height=%2 format=bgrx framerate=%3/1")
                            .arg(kVideoWidth)
                            .arg(kVideoHeight)
                            .arg(kVideoFps);
    // The video encoder stamps its output 1000 hours late (room for decoding times before the first
    // picture) and the muxer keeps the stamps as they come: the tone starts at the same moment, or
    // the demuxer would hold the pictures back behind 1000 hours of sound.
    const QString audio = QString("audiotestsrc timestamp-offset=3600000000000000 num-buffers=%1 samplesperbuffer=%2 "
                                  "freq=%3 volume=0.25 ! "
                                  "audio/x-raw,rate=44100,channels=1 ! audioconvert ! avenc_wmav2 ! m.")
                              .arg(job.seconds * kVideoFps)
                              .arg(samplesPerBuffer)
                              .arg(job.toneHz);
    const QString line = "-q " + raw + " ! videoconvert ! avenc_wmv2 ! asfmux name=m ! filesink location=\"" + file +
                         "\" " + audio;
    return QProcess::splitCommand(line);
}

std::vector<std::uint8_t> ReadAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The muxer stamps each file with a random file ID (repeated in the data and index objects) and
// the time of day; both become fixed values derived from the file's name.
void FixStamps(const fs::path& file)
{
    std::vector<std::uint8_t> bytes = ReadAll(file);
    constexpr std::size_t kFileIdAt = 30 + 24;  // inside the file properties object
    constexpr std::size_t kCreationAt = kFileIdAt + 16 + 8;
    if (bytes.size() < kCreationAt + 8)
        throw Exception("cannot read the video header of " + file.string());
    std::uint8_t id[16];
    std::memcpy(id, bytes.data() + kFileIdAt, 16);
    std::uint8_t fixed[16];
    std::uint32_t h = 2166136261u;
    for (const char c : file.filename().string())
        h = (h ^ std::uint8_t(c)) * 16777619u;
    for (std::uint8_t& b : fixed) {
        h = h * 1664525u + 1013904223u;
        b = std::uint8_t(h >> 24);
    }
    for (std::size_t at = 0; at + 16 <= bytes.size(); ++at)
        if (std::memcmp(bytes.data() + at, id, 16) == 0) {
            std::memcpy(bytes.data() + at, fixed, 16);
            at += 15;
        }
    // 2026-01-01 00:00 UTC in 100-ns units since 1601.
    const std::uint64_t creation = 134116992000000000ull;
    for (int i = 0; i < 8; ++i)
        bytes[kCreationAt + std::size_t(i)] = std::uint8_t(creation >> (8 * i));
    SaveBytes(bytes, file);
}

} // namespace

void WriteVideoBarPictures(const fs::path& skinDir)
{
    struct Button {
        const char* stem;
        const char* label;
    };
    static const Button buttons[] = {{"Play", ""},     {"Pause", ""},   {"Stop", ""},
                                     {"Slow", "1/2"},  {"Repeat", ""},  {"Close", "X"}};
    for (const Button& b : buttons)
        for (const char* state : {"Initial", "Mouse", "Pressed"}) {
            const std::string s = state;
            const QColor top = s == "Mouse" ? QColor(92, 104, 130) : s == "Pressed" ? QColor(240, 160, 50) : QColor(66, 72, 84);
            const QColor bottom = s == "Mouse" ? QColor(52, 60, 80) : s == "Pressed" ? QColor(170, 95, 10) : QColor(34, 37, 44);
            const QColor ink = s == "Pressed" ? QColor(30, 18, 0) : QColor(225, 228, 235);
            QImage img = NewPicture(50, 44, false, QColor(18, 19, 23));
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing);
            FillGradient(p, QRect(2, 2, 46, 40), top, bottom);
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            const QString stem = b.stem;
            if (stem == "Play")
                p.drawPolygon(QPolygon({QPoint(18, 12), QPoint(34, 22), QPoint(18, 32)}));
            else if (stem == "Pause") {
                p.drawRect(QRect(16, 12, 6, 20));
                p.drawRect(QRect(28, 12, 6, 20));
            } else if (stem == "Stop")
                p.drawRect(QRect(16, 13, 18, 18));
            else if (stem == "Repeat") {
                p.setPen(QPen(ink, 3));
                p.setBrush(Qt::NoBrush);
                p.drawArc(QRect(14, 11, 22, 22), 60 * 16, 300 * 16);
                p.setPen(Qt::NoPen);
                p.setBrush(ink);
                p.drawPolygon(QPolygon({QPoint(30, 8), QPoint(38, 14), QPoint(29, 17)}));
            } else
                DrawCentredText(p, QRect(0, 0, 50, 44), b.label, ink, UiFont(15, true));
            p.end();
            const std::string suffix = s == "Initial" ? "VideoInitial.png" : s == "Mouse" ? "VideoMouse.png" : "VideoPressed.png";
            SavePicture(img, skinDir / (std::string(b.stem) + suffix));
        }
    QImage track = NewPicture(16, 44, false, QColor(18, 19, 23));
    {
        QPainter p(&track);
        p.fillRect(QRect(0, 19, 16, 6), QColor(60, 140, 220));
    }
    SavePicture(track, skinDir / "ScrollbarBackground.png");
    for (const char* end : {"ScrollbarLeft.png", "ScrollbarRight.png"}) {
        QImage cap = NewPicture(6, 44, false, QColor(18, 19, 23));
        QPainter p(&cap);
        p.fillRect(QRect(0, 17, 6, 10), QColor(110, 118, 130));
        p.end();
        SavePicture(cap, skinDir / end);
    }
    for (const bool held : {false, true}) {
        // Black is the slider's see-through colour, so the thumb avoids it.
        QImage thumb = NewPicture(14, 44, false, QColor(1, 1, 1));
        QPainter p(&thumb);
        p.fillRect(QRect(1, 8, 12, 28), held ? QColor(235, 150, 40) : QColor(200, 204, 212));
        p.end();
        SavePicture(thumb, skinDir / (held ? "SliderMouse.png" : "SliderInitial.png"));
    }
}

const std::vector<VideoBar>& VideoBars()
{
    static const std::vector<VideoBar> bars{
        {QRect(0, 40, 80, 80), QColor(220, 30, 30)},
        {QRect(80, 40, 80, 80), QColor(30, 200, 40)},
        {QRect(160, 40, 80, 80), QColor(40, 60, 230)},
        {QRect(240, 40, 80, 80), QColor(240, 220, 40)},
    };
    return bars;
}

void WriteVideoFiles(const std::vector<VideoJob>& jobs)
{
    const QString tool = QStandardPaths::findExecutable("gst-launch-1.0");
    if (tool.isEmpty())
        throw Exception("gst-launch-1.0 not found (package gstreamer1.0-tools)");
    struct Running {
        const VideoJob* job;
        std::unique_ptr<QProcess> process;
    };
    std::vector<Running> running;
    auto finish = [&](Running& r) {
        QProcess& p = *r.process;
        const bool ended = p.waitForFinished(kJobTimeoutMs);
        if (!ended || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            throw Exception("cannot encode " + r.job->file.string() + ": " +
                            QString::fromLocal8Bit(p.readAllStandardError()).trimmed().toStdString());
        FixStamps(r.job->file);
        Report(r.job->file, std::to_string(r.job->seconds) + " s of " + std::to_string(kVideoWidth) + " x " +
                                std::to_string(kVideoHeight) + " video");
    };
    for (const VideoJob& job : jobs) {
        if (running.size() >= std::size_t(kParallelJobs)) {
            finish(running.front());
            running.erase(running.begin());
        }
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::SeparateChannels);
        process->setStandardOutputFile(QProcess::nullDevice());
        process->start(tool, Pipeline(job, QString::fromStdString(job.file.string())));
        if (!process->waitForStarted(kJobTimeoutMs))
            throw Exception("cannot start " + tool.toStdString());
        const std::vector<char> raw = RawFrames(job);
        process->write(raw.data(), qint64(raw.size()));
        while (process->bytesToWrite() > 0)
            if (!process->waitForBytesWritten(kJobTimeoutMs))
                break;
        process->closeWriteChannel();
        running.push_back({&job, std::move(process)});
    }
    for (Running& r : running)
        finish(r);
}

void WriteVideos(const fs::path& dir)
{
    WriteVideoBarPictures(Folder(dir, kSkinFolder));
    const fs::path videos = Folder(dir, kVideoFolder);
    std::vector<VideoJob> jobs;
    int tone = 330;
    for (const DemoMode& mode : DemoModes())
        for (const DemoRiff& riff : mode.riffs) {
            jobs.push_back({videos / (riff.prefix + ".wmv"), riff.title, 3, tone});
            if (riff.prefix == kInvertedPrefix)
                jobs.push_back({videos / (riff.prefix + "_180.wmv"), riff.title + " (inverted)", 3, tone});
            tone += 55;
        }
    jobs.push_back({videos / kOverrideFile, "Turnaround lesson", 3, 660});
    for (const Tutorial& t : Tutorials())
        if (t.written)
            jobs.push_back({videos / t.file, t.description, 3, 523});
    WriteVideoFiles(jobs);
}

void AddVideoHelp(TStringList& defaults)
{
    for (const Tutorial& t : Tutorials()) {
        defaults.Add(std::string("general.VideoHelp[") + t.id + "] {");
        defaults.Add(std::string("\tDescription=\"") + t.description + "\"");
        defaults.Add("\tSize=" + std::to_string(t.size));
        TStringList extra;
        extra.SetText(t.extra);
        for (int i = 0; i < extra.Count(); ++i)
            defaults.Add(extra[i]);
        defaults.Add(std::string("\tFileName=\"") + t.file + "\"");
        defaults.Add("}");
    }
}

void AddRiffVideoOverrides(TStringList& modes)
{
    modes.Add(std::string("mode[") + kOverrideMode + "].riff[" + kOverrideRiff + "].file_override_video=\"" +
              kOverrideFile + "\"");
}

} // namespace demo
