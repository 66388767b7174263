// make_demo_content DIR: creates DIR and writes the content folder the program starts from: the
// defaults file and its modes, the skin, the transcription pages, the waves, the MIDI files, the
// readme, the help file and the videos. The same build writes the same bytes every time. No user file is
// written; the program creates "Korvane.INI" when it closes.
// Exit code 0 on success, 1 with the error text on stderr.
#include "demo/ConfigFiles.h"
#include "demo/DemoOutput.h"
#include "demo/Documents.h"
#include "demo/GrooveDocuments.h"
#include "demo/MidiContent.h"
#include "demo/Skin.h"
#include "demo/TranscriptionPages.h"
#include "demo/VideoContent.h"
#include "demo/WaveContent.h"
#include "platform/system/Exception.h"

#include <QGuiApplication>

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_demo_content DIR\n";
        return 1;
    }
    // Pictures are drawn off screen; a build machine has no display.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    try {
        const auto dir = demo::Folder(argv[1], "");
        demo::WriteDefaultsFile(dir);
        demo::WriteModesFile(dir);
        demo::WriteSkin(dir);
        demo::WriteTranscriptionPages(dir);
        demo::WriteGrooveDocuments(dir);
        demo::WriteWaves(dir);
        demo::WriteMidiFiles(dir);
        demo::WriteVideos(dir);
        demo::WriteReadme(dir);
        demo::WriteHelpFile(dir);
    } catch (const Exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
