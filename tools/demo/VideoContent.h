#pragma once
// The demo's videos: short Windows Media files (ASF container) of a test picture with a running
// counter and a tone, one per riff plus the tutorial videos, and the pictures of the video
// window's button bar. Encoding runs GStreamer's command-line tool (package gstreamer1.0-tools)
// with raw frames on its standard input; the file and creation stamps the muxer makes up are then
// replaced by fixed ones, so two runs write the same bytes.
#include "platform/system/TStringList.h"

#include <QColor>
#include <QRect>

#include <filesystem>
#include <string>
#include <vector>

namespace demo {

inline constexpr const char* kVideoFolder = "video";
inline constexpr int kVideoWidth = 320;
inline constexpr int kVideoHeight = 180;
inline constexpr int kVideoFps = 15;

// The solid colour bars of every frame, for tests that look at decoded pictures.
struct VideoBar {
    QRect box;
    QColor colour;
};
[[nodiscard]] const std::vector<VideoBar>& VideoBars();

struct VideoJob {
    std::filesystem::path file;
    std::string title;  // written at the top of every frame
    int seconds = 3;
    int toneHz = 440;
};

// Encodes the jobs, a few at a time. Throws Exception naming the file when the tool is missing
// or fails.
void WriteVideoFiles(const std::vector<VideoJob>& jobs);

// The bar pictures of the video window: "<button>VideoInitial/Mouse/Pressed.png" for play, pause,
// stop, slow, repeat and close, the slider's thumb and its track pieces.
void WriteVideoBarPictures(const std::filesystem::path& skinDir);

// The video folder with every riff's video, the inverted version of one, a riff's override file
// and the tutorial videos; and the bar pictures of the video window in the skin folder.
void WriteVideos(const std::filesystem::path& dir);

// Configuration lines: the tutorial entries of the defaults file, and the riff that names its own
// video file (its key "file_override_video" is declared by the riff template).
void AddVideoHelp(TStringList& defaults);
void AddRiffVideoOverrides(TStringList& modes);

} // namespace demo
