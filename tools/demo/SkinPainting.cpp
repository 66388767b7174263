#include "demo/SkinPainting.h"

#include "demo/DemoOutput.h"
#include "platform/system/Exception.h"

#include <QLinearGradient>

namespace demo {

QImage NewPicture(int width, int height, bool alpha, QColor fill)
{
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(alpha ? QColor(0, 0, 0, 0) : fill);
    return image;
}

void SavePicture(const QImage& image, const std::filesystem::path& file)
{
    const bool bmp = file.extension() == ".bmp";
    const QImage out = bmp ? image.convertToFormat(QImage::Format_RGB888) : image;
    if (!out.save(QString::fromStdString(file.string()), bmp ? "BMP" : "PNG"))
        throw Exception("cannot write " + file.string());
    Report(file, std::to_string(image.width()) + " x " + std::to_string(image.height()));
}

QFont UiFont(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

void DrawCentredText(QPainter& painter, const QRect& box, const std::string& utf8, QColor colour, const QFont& font)
{
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(box, Qt::AlignCenter, QString::fromUtf8(utf8.c_str()));
}

void FillGradient(QPainter& painter, const QRect& box, QColor top, QColor bottom)
{
    QLinearGradient g(box.topLeft(), box.bottomLeft());
    g.setColorAt(0.0, top);
    g.setColorAt(1.0, bottom);
    painter.fillRect(box, g);
}

} // namespace demo
