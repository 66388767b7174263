#include "demo/DemoOutput.h"
#include "demo/DemoRandom.h"
#include "demo/FretboardGeometry.h"
#include "demo/Skin.h"
#include "demo/SkinPainting.h"

#include <QPainterPath>
#include <QRadialGradient>

namespace demo {

namespace {

QImage ControlsArea()
{
    QImage img = NewPicture(1016, 112, false);
    QPainter p(&img);
    FillGradient(p, img.rect(), QColor(54, 59, 68), QColor(24, 26, 30));
    p.setPen(QColor(96, 104, 118));
    p.drawLine(0, 0, 1015, 0);
    p.setPen(QColor(10, 10, 12));
    p.drawLine(0, 111, 1015, 111);
    // A groove under the transport and two wells behind the sliders.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(14, 15, 18), 1));
    p.setBrush(QColor(30, 33, 38));
    p.drawRoundedRect(QRect(376, 52, 197, 55), 8, 8);
    p.drawRoundedRect(QRect(670, 4, 61, 106), 6, 6);
    p.drawRoundedRect(QRect(762, 4, 61, 106), 6, 6);
    DrawCentredText(p, QRect(670, 6, 61, 14), "RHYTHM", QColor(200, 205, 215), UiFont(10, true));
    DrawCentredText(p, QRect(762, 6, 61, 14), "SOLO", QColor(200, 205, 215), UiFont(10, true));
    p.setFont(UiFont(13, true));
    p.setPen(QColor(170, 178, 192));
    p.drawText(QRect(220, 12, 112, 39), Qt::AlignVCenter | Qt::AlignRight, QStringLiteral("Game mode:"));
    return img;
}

QImage AnimationArea()
{
    QImage img = NewPicture(508, 178, false);
    QPainter p(&img);
    FillGradient(p, img.rect(), QColor(44, 48, 56), QColor(22, 24, 28));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(70, 76, 88), 1));
    p.setBrush(QColor(12, 16, 20));
    p.drawRoundedRect(QRect(183, 36, 287, 100), 10, 10);  // the display behind the bar counter
    DrawCentredText(p, QRect(183, 38, 287, 16), "GROOVE POSITION", QColor(120, 170, 210), UiFont(10, true));
    p.setFont(UiFont(11, true));
    p.setPen(QColor(150, 158, 172));
    // Under the riff buttons: the riff position bar covers the area's top rows.
    p.drawText(QRect(23, 160, 156, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("RIFF CONTROL"));
    p.drawText(QRect(183, 146, 287, 20), Qt::AlignCenter, QStringLiteral("Korvane demo content"));
    return img;
}

QImage NotationArea()
{
    QImage img = NewPicture(1016, 249, false);
    QPainter p(&img);
    FillGradient(p, img.rect(), QColor(70, 62, 52), QColor(40, 34, 28));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(110, 98, 84), 1, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRect(8, 24, 1000, 200), 6, 6);  // where the transcription page appears
    DrawCentredText(p, QRect(8, 24, 1000, 200), "Press a riff key or click the keyboard to see its transcription",
                    QColor(190, 178, 160), UiFont(18, false));
    return img;
}

QImage KeyboardArea()
{
    QImage img = NewPicture(508, 178, false);
    QPainter p(&img);
    FillGradient(p, img.rect(), QColor(36, 40, 46), QColor(18, 20, 24));
    p.setPen(QColor(60, 66, 76));
    for (int y = 6; y < 178; y += 8)
        p.drawLine(0, y, 507, y);
    p.setFont(UiFont(11, true));
    p.setPen(QColor(170, 178, 192));
    p.drawText(QRect(326, 124, 170, 44), Qt::AlignCenter | Qt::TextWordWrap,
               QStringLiteral("Hold Shift or Alt for more riffs"));
    return img;
}

QImage Background()
{
    QImage img = NewPicture(64, 64, false, QColor(28, 30, 34));
    QPainter p(&img);
    p.setPen(QColor(36, 39, 44));
    for (int k = -64; k < 64; k += 8)
        p.drawLine(k, 0, k + 64, 64);
    return img;
}

QImage FretboardArea()
{
    QImage img = NewPicture(kFretboardWidth, kFretboardHeight, false, QColor(58, 36, 22));
    QPainter p(&img);
    // Rosewood with a faint grain; the same grain every run.
    DemoRandom random(7);
    for (int y = 0; y < kFretboardHeight; y += 3) {
        const int shade = 50 + static_cast<int>(random.Next() * 8.0f);
        p.fillRect(QRect(0, y, kFretboardWidth, 3), QColor(shade + 8, shade - 14, shade - 30));
    }
    p.fillRect(QRect(0, 0, FretWireX(0) - 3, kFretboardHeight), QColor(24, 20, 18));  // headstock side
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(225, 220, 200));
    const int mid = (StringY(2) + StringY(3)) / 2;
    for (int fret : {3, 5, 7, 9, 12, 15, 17, 19, 21, 24}) {
        const int x = FretSpotX(fret);
        if (fret == 12 || fret == 24) {
            p.drawEllipse(QPoint(x, (StringY(1) + StringY(2)) / 2), 6, 6);
            p.drawEllipse(QPoint(x, (StringY(3) + StringY(4)) / 2), 6, 6);
        } else {
            p.drawEllipse(QPoint(x, mid), 6, 6);
        }
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(FretWireX(0) - 3, 0, 6, kFretboardHeight), QColor(236, 230, 210));  // nut
    for (int k = 1; k < kFrets; ++k)
        p.fillRect(QRect(FretWireX(k) - 1, 0, 3, kFretboardHeight), QColor(190, 192, 198));
    for (int s = 0; s < 6; ++s) {
        const int thickness = 1 + s / 2;
        const QColor colour = s < 2 ? QColor(225, 228, 232) : QColor(205, 170, 110);
        p.fillRect(QRect(0, StringY(s) - thickness / 2, kFretboardWidth, thickness), colour);
    }
    p.setFont(UiFont(10, true));
    p.setPen(QColor(200, 190, 170));
    for (int fret : {3, 5, 7, 9, 12, 15, 17, 19, 21, 24})
        p.drawText(QRect(FretSpotX(fret) - 12, kFretboardHeight - 14, 24, 14), Qt::AlignCenter,
                   QString::number(fret));
    return img;
}

} // namespace

QImage AreaPicture(SkinArea area)
{
    switch (area) {
    case SkinArea::Controls:
        return ControlsArea();
    case SkinArea::Animation:
        return AnimationArea();
    case SkinArea::Notation:
        return NotationArea();
    }
    return {};
}

void WriteAreaPictures(const std::filesystem::path& skinDir)
{
    SavePicture(ControlsArea(), skinDir / "ControlsArea.png");
    SavePicture(FretboardArea(), skinDir / "FretboardArea.png");
    SavePicture(NotationArea(), skinDir / "NoteArea.png");
    SavePicture(KeyboardArea(), skinDir / "KeyboardArea.png");
    SavePicture(AnimationArea(), skinDir / "AnimationArea.png");
    SavePicture(Background(), skinDir / "BGN01.png");
}

void WriteSkin(const std::filesystem::path& dir)
{
    const auto skinDir = Folder(dir, kSkinFolder);
    WriteAreaPictures(skinDir);
    WriteButtonPictures(skinDir);
    WriteSpotPictures(skinDir);
    // A splash picture left in a folder written over would still cover the version.
    std::error_code ignored;
    std::filesystem::remove(skinDir / "splash.bmp", ignored);
}

} // namespace demo
