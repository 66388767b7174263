#include "demo/GrooveDocuments.h"

#include "demo/DemoOutput.h"
#include "demo/PageLayout.h"
#include "demo/TranscriptionPages.h"
#include "platform/system/Exception.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <fstream>
#include <iterator>

namespace demo {

namespace {

constexpr int kPagesPerSheet = 4;
constexpr int kResolution = 150;  // dots per inch of the document's layout

// The writer stamps the time of writing; a fixed stamp of the same length keeps every byte
// offset of the file, so the cross-reference table stays valid.
void FixCreationDate(const std::filesystem::path& file)
{
    std::string bytes;
    {
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::string key = "/CreationDate (D:";
    const std::string fixed = "20260101000000";
    for (std::size_t at = bytes.find(key); at != std::string::npos; at = bytes.find(key, at + 1)) {
        const std::size_t digits = at + key.size();
        if (digits + fixed.size() <= bytes.size())
            bytes.replace(digits, fixed.size(), fixed);
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
        throw Exception("cannot write " + file.string());
}

void WriteDocument(const DemoMode& mode, const std::filesystem::path& file)
{
    int sheets = 0;
    {
        QPdfWriter writer(QString::fromStdString(file.string()));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(kResolution);
        writer.setCreator(QStringLiteral("Korvane 2 demo content"));
        writer.setTitle(QString::fromStdString(mode.dropTitle));
        QPainter painter;
        if (!painter.begin(&writer))
            throw Exception("cannot write " + file.string());
        const QRect area = writer.pageLayout().paintRectPixels(kResolution);
        const int slot = area.height() / kPagesPerSheet;
        const int width = area.width();
        const int height = width * kPageHeight / kPageWidth;
        int onSheet = 0;
        sheets = 1;
        for (const DemoRiff& riff : mode.riffs)
            for (int bar = 0; bar < riff.bars; ++bar) {
                if (onSheet == kPagesPerSheet) {
                    writer.newPage();
                    onSheet = 0;
                    ++sheets;
                }
                const QRect target(0, onSheet * slot + (slot - height) / 2, width, height);
                painter.drawImage(target, TranscriptionPage(mode, riff, bar, false));
                ++onSheet;
            }
        painter.end();
    }
    FixCreationDate(file);
    Report(file, std::to_string(sheets) + (sheets == 1 ? " page" : " pages"));
}

} // namespace

std::string GrooveDocumentName(const DemoMode& mode)
{
    const std::size_t dot = mode.grooveFile.find('.');
    return (dot == std::string::npos ? mode.grooveFile : mode.grooveFile.substr(0, dot + 1)) + "pdf";
}

void WriteGrooveDocuments(const std::filesystem::path& dir)
{
    const auto skinDir = Folder(dir, kSkinFolder);
    for (const DemoMode& mode : DemoModes())
        WriteDocument(mode, skinDir / GrooveDocumentName(mode));
}

} // namespace demo
