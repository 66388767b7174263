#include "demo/DemoKeyboard.h"
#include "demo/Skin.h"
#include "demo/SkinPainting.h"

#include <QPolygon>
#include <QRadialGradient>

#include <array>
#include <cstdio>

namespace demo {

namespace {

// Spot 1 is an open string; spots 2 to 5 carry the colours of fingers 1 to 4, as the finger
// labels of the configuration do.
constexpr std::array<std::array<int, 3>, kSpotPictures> kSpotColours{
    {{245, 140, 30}, {40, 90, 230}, {220, 40, 40}, {30, 150, 60}, {230, 190, 20}}};

QImage Spot(QColor colour)
{
    QImage img = NewPicture(kSpotSize, kSpotSize, true);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(9, 8), 14);
    g.setColorAt(0.0, colour.lighter(170));
    g.setColorAt(1.0, colour.darker(130));
    p.setBrush(g);
    p.setPen(QPen(QColor(255, 255, 255, 230), 1.5));
    p.drawEllipse(QRectF(1.5, 1.5, kSpotSize - 3.0, kSpotSize - 3.0));
    return img;
}

QColor Grey(const std::array<int, 3>& c)
{
    const int v = (c[0] * 3 + c[1] * 6 + c[2]) / 10;
    return QColor(v / 2 + 64, v / 2 + 64, v / 2 + 64);
}

QImage UpcomingSpot(int step)
{
    // Later steps are nearer to the note: a stronger, fuller ring.
    QImage img = NewPicture(kSpotSize, kSpotSize, true);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const int alpha = 70 + step * 50;
    p.setBrush(QColor(255, 255, 255, alpha / 3));
    p.setPen(QPen(QColor(255, 255, 255, alpha), 2.0 + step * 0.5));
    const double inset = 6.0 - step * 1.5;
    p.drawEllipse(QRectF(inset, inset, kSpotSize - 2 * inset, kSpotSize - 2 * inset));
    return img;
}

QImage KeySkin()
{
    // Drawn over a key with white as the see-through colour, so no smoothing at the edges.
    QImage img = NewPicture(14, 14, false, QColor(255, 255, 255));
    QPainter p(&img);
    p.setPen(QColor(120, 80, 0));
    p.setBrush(QColor(240, 190, 40));
    p.drawPolygon(QPolygon({QPoint(2, 2), QPoint(11, 2), QPoint(12, 5), QPoint(7, 12), QPoint(1, 5)}));
    return img;
}

} // namespace

void WriteSpotPictures(const std::filesystem::path& skinDir)
{
    for (int i = 0; i < kSpotPictures; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Spot%02d", i + 1);
        const auto& c = kSpotColours[static_cast<std::size_t>(i)];
        SavePicture(Spot(QColor(c[0], c[1], c[2])), skinDir / (std::string(name) + ".png"));
        SavePicture(Spot(Grey(c)), skinDir / (std::string(name) + "C.png"));
    }
    for (int i = 0; i < kUpcomingSpots; ++i)
        SavePicture(UpcomingSpot(i), skinDir / ("UpcSpot" + std::to_string(i) + ".png"));
    SavePicture(KeySkin(), skinDir / (std::string(kKeySkinName) + ".png"));
}

} // namespace demo
