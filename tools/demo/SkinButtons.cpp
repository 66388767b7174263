#include "demo/Skin.h"
#include "demo/SkinPainting.h"

#include <QPainterPath>
#include <QPolygon>

namespace demo {

namespace {

// The look of one state: idle is dark, the hovered state lit with a blue rim, the pressed state
// amber and pushed one pixel down and right.
struct Face {
    QColor top, bottom, rim, text;
    int shift;
};

Face FaceOf(const std::string& state)
{
    if (state == "Mouse")
        return {QColor(92, 104, 130), QColor(52, 60, 80), QColor(130, 190, 255), QColor(255, 255, 255), 0};
    if (state == "Pressed")
        return {QColor(240, 160, 50), QColor(170, 95, 10), QColor(255, 220, 150), QColor(30, 18, 0), 1};
    return {QColor(66, 72, 84), QColor(34, 37, 44), QColor(12, 13, 16), QColor(210, 214, 222), 0};
}

void DrawIcon(QPainter& p, const std::string& stem, QRect box, QColor colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const QPoint c = box.center();
    if (stem == "Play")
        p.drawPolygon(QPolygon({QPoint(c.x() - 6, c.y() - 8), QPoint(c.x() + 8, c.y()), QPoint(c.x() - 6, c.y() + 8)}));
    else if (stem == "Stop")
        p.drawRect(QRect(c.x() - 7, c.y() - 7, 14, 14));
    else if (stem == "Pause") {
        p.drawRect(QRect(c.x() - 7, c.y() - 8, 5, 16));
        p.drawRect(QRect(c.x() + 2, c.y() - 8, 5, 16));
    }
}

QImage ButtonPicture(const SkinButton& b, const std::string& state)
{
    const Face face = FaceOf(state);
    QImage img = b.alpha ? NewPicture(b.width, b.height, true)
                         : AreaPicture(b.area).copy(QRect(b.left, b.top, b.width, b.height));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF body = QRectF(1.5 + face.shift, 1.5 + face.shift, b.width - 3.0, b.height - 3.0);
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0.0, face.top);
    g.setColorAt(1.0, face.bottom);
    p.setBrush(g);
    p.setPen(QPen(face.rim, state == "Initial" ? 1.0 : 2.0));
    const double radius = std::min(b.height, b.width) / 4.0;
    p.drawRoundedRect(body, radius, radius);

    const QRect inner = body.toRect().adjusted(2, 2, -2, -2);
    if (b.stem == "Play" || b.stem == "Stop" || b.stem == "Pause") {
        DrawIcon(p, b.stem, QRect(inner.left(), inner.top() + 1, inner.width(), 22), face.text);
        DrawCentredText(p, QRect(inner.left(), inner.top() + 23, inner.width(), 16), b.label, face.text, UiFont(11, true));
    } else if (b.stem == "GameMode") {
        // The control writes the mode's title at the left; the picture only adds the drop arrow.
        p.setPen(Qt::NoPen);
        p.setBrush(face.text);
        const int x = inner.right() - 22, y = inner.center().y();
        p.drawPolygon(QPolygon({QPoint(x, y - 4), QPoint(x + 12, y - 4), QPoint(x + 6, y + 4)}));
    } else if (b.stem == "Korvane" || b.stem == "HVLogo") {
        DrawCentredText(p, inner, b.label, face.text, UiFont(b.stem == "Korvane" ? 22 : 26, true));
    } else {
        const int size = b.height <= 26 ? (b.label.size() > 2 ? 12 : 15) : 12;
        DrawCentredText(p, inner, b.label, face.text, UiFont(size, true));
    }
    return img;
}

QImage ModeListPicture(const std::string& state)
{
    // The list writes the item text itself, white and bold, so every state stays dark enough.
    QImage img = NewPicture(249, 22, false);
    QPainter p(&img);
    if (state == "Mouse")
        FillGradient(p, img.rect(), QColor(70, 100, 150), QColor(40, 62, 100));
    else if (state == "Pressed")
        FillGradient(p, img.rect(), QColor(190, 110, 20), QColor(130, 70, 5));
    else
        FillGradient(p, img.rect(), QColor(50, 55, 64), QColor(30, 33, 38));
    p.setPen(QColor(14, 15, 18));
    p.drawLine(0, 21, 248, 21);
    return img;
}

QImage SliderTrack()
{
    QImage img = NewPicture(35, 90, false, QColor(30, 33, 38));
    QPainter p(&img);
    p.fillRect(QRect(15, 6, 5, 78), QColor(10, 11, 13));
    p.fillRect(QRect(16, 7, 3, 76), QColor(60, 140, 220));
    p.setPen(QColor(110, 118, 130));
    for (int y = 10; y <= 80; y += 10)
        p.drawLine(5, y, 10, y);
    return img;
}

QImage SliderThumb(bool held)
{
    // Black is the slider's see-through colour, so the thumb avoids it.
    QImage img = NewPicture(25, 14, false, QColor(1, 1, 1));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(held ? QColor(255, 220, 150) : QColor(150, 156, 168));
    p.setBrush(held ? QColor(235, 150, 40) : QColor(200, 204, 212));
    p.drawRect(QRect(0, 0, 24, 13));
    p.setPen(held ? QColor(120, 60, 0) : QColor(90, 96, 108));
    p.drawLine(4, 6, 20, 6);
    p.drawLine(4, 7, 20, 7);
    return img;
}

} // namespace

void WriteButtonPictures(const std::filesystem::path& skinDir)
{
    for (const SkinButton& b : SkinButtons())
        for (const std::string& state : ButtonStates(b))
            SavePicture(ButtonPicture(b, state), skinDir / (b.stem + state + ".png"));
    for (const char* state : {"Initial", "Mouse", "Pressed"})
        SavePicture(ModeListPicture(state), skinDir / (std::string("GameModeList") + state + ".png"));
    SavePicture(SliderTrack(), skinDir / "RhythmVolume.png");
    SavePicture(SliderThumb(false), skinDir / "VolumeInitial.png");
    SavePicture(SliderThumb(true), skinDir / "VolumeMouse.png");
}

} // namespace demo
