#include "app/video/VideoChoice.h"

#include "config/TDVContext.h"
#include "platform/system/LinuxFileNames.h"

std::string InvertedVideoName(const std::string& file)
{
    const std::size_t separator = file.find_last_of("\\/");
    const std::size_t dot = file.rfind('.');
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator))
        return file + "_180";
    return file.substr(0, dot) + "_180" + file.substr(dot);
}

std::string ChooseVideoFile(const std::string& file, TDVContext* settings)
{
    if (settings == nullptr || !settings->Exists("UseInvertedVideo") || !settings->GetBool("UseInvertedVideo"))
        return file;
    const std::string inverted = InvertedVideoName(file);
    return FileExists(inverted) ? inverted : file;
}

TVideoPlacement TutorialVideoPlacement(int size, int left, int top, int width, int height, float aspect,
                                       int screenWidth, int screenHeight, int barHeight)
{
    TVideoPlacement p;
    p.width = screenWidth;
    switch (size) {
    case 1:
        // Integer halves round toward zero, as the window's own arithmetic does.
        p.left = left < 0 ? (screenWidth - width) / 2 : left;
        p.top = top < 0 ? (screenHeight - height) / 2 : top;
        p.width = width;
        p.height = height + barHeight;
        p.sizeRatio = height != 0 ? float(width) / float(height) : 0.0f;
        break;
    case 2:
        p.sizeRatio = float(screenWidth) / float(screenHeight - 32);
        p.fullScreenPending = true;
        break;
    case 3:
        p.sizeRatio = float(screenWidth * 2.0 / screenHeight);
        break;
    case 4:
        p.sizeRatio = aspect;
        break;
    default:
        break;
    }
    return p;
}
