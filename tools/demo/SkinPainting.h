#pragma once
// Small drawing helpers shared by the pictures of the skin and the transcription pages.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>

#include <filesystem>
#include <string>

namespace demo {

// An opaque picture filled with `fill`, or a fully transparent one when `alpha` is set.
[[nodiscard]] QImage NewPicture(int width, int height, bool alpha, QColor fill = QColor(0, 0, 0));
// Writes PNG (or BMP for a ".bmp" name); throws Exception when the file cannot be written.
void SavePicture(const QImage& image, const std::filesystem::path& file);
[[nodiscard]] QFont UiFont(int pixelSize, bool bold);
void DrawCentredText(QPainter& painter, const QRect& box, const std::string& utf8, QColor colour, const QFont& font);
// A vertical two-colour gradient over the rectangle.
void FillGradient(QPainter& painter, const QRect& box, QColor top, QColor bottom);

} // namespace demo
