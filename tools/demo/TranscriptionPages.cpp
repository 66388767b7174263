#include "demo/TranscriptionPages.h"

#include "demo/DemoOutput.h"
#include "demo/PageLayout.h"
#include "demo/SkinCatalog.h"
#include "demo/SkinPainting.h"

namespace demo {

QImage TranscriptionPage(const DemoMode& mode, const DemoRiff& riff, int bar, bool fingering)
{
    QImage img = NewPicture(kPageWidth, kPageHeight, false, QColor(252, 250, 244));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    p.setFont(UiFont(16, true));
    p.setPen(QColor(30, 30, 30));
    const QString title = QString::fromStdString(riff.title + "  -  " + mode.comboTitle);
    p.drawText(QRect(30, 8, 700, 26), Qt::AlignLeft | Qt::AlignVCenter, title);
    p.setFont(UiFont(13, false));
    p.drawText(QRect(700, 8, 270, 26), Qt::AlignRight | Qt::AlignVCenter,
               QString::fromStdString("bar " + std::to_string(bar + 1) + " of " + std::to_string(riff.bars)));

    p.setPen(QPen(QColor(60, 60, 60), 1));
    for (int s = 0; s < 6; ++s)
        p.drawLine(30, PageLineY(s), 990, PageLineY(s));
    p.setPen(QPen(QColor(20, 20, 20), 2));
    for (int k : {0, kStepsPerBar})
        p.drawLine(PageStepX(k), PageLineY(0), PageStepX(k), PageLineY(5));
    const char* tab = "TAB";
    p.setFont(UiFont(20, true));
    p.setPen(QColor(40, 40, 40));
    for (int i = 0; i < 3; ++i)
        p.drawText(QRect(40, PageLineY(0) + 8 + i * 26, 40, 26), Qt::AlignCenter, QString(QChar(tab[i])));

    // Counting under the staff: the eighth notes of the bar.
    static const char* const counts[] = {"1", "&", "2", "&", "3", "&", "4", "&"};
    p.setFont(UiFont(12, false));
    p.setPen(QColor(120, 120, 120));
    for (int k = 0; k < kStepsPerBar; ++k)
        p.drawText(QRect(PageStepX(k) + 4, 172, 24, 18), Qt::AlignCenter, QString::fromLatin1(counts[k]));

    for (const DemoNote& n : riff.notes) {
        const int k = n.step - bar * kStepsPerBar;
        if (k < 0 || k >= kStepsPerBar)
            continue;
        const int x = PageStepX(k) + 16;
        const int y = PageLineY(n.string);
        const QRect box(x - 10, y - 9, 20, 18);
        p.fillRect(box, QColor(252, 250, 244));
        DrawCentredText(p, box, std::to_string(n.fret), QColor(0, 0, 0), UiFont(15, true));
        if (fingering && n.finger > 0)
            DrawCentredText(p, QRect(x + 8, y - 2, 14, 14), std::to_string(n.finger), QColor(30, 80, 220),
                            UiFont(11, true));
    }
    return img;
}

void WriteTranscriptionPages(const std::filesystem::path& dir)
{
    const auto skinDir = Folder(dir, kSkinFolder);
    for (const DemoMode& mode : DemoModes())
        for (const DemoRiff& riff : mode.riffs) {
            for (int bar = 0; bar < riff.bars; ++bar) {
                SavePicture(TranscriptionPage(mode, riff, bar, false), skinDir / (PagePrefix(riff, bar) + ".png"));
                SavePicture(TranscriptionPage(mode, riff, bar, true), skinDir / (PagePrefix(riff, bar) + "f.png"));
            }
            if (!riff.thumbnail)
                continue;
            const QImage thumb = TranscriptionPage(mode, riff, 0, false)
                                     .scaled(kThumbWidth, kThumbHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            SavePicture(thumb, skinDir / (riff.prefix + "sm.png"));
        }
}

} // namespace demo
