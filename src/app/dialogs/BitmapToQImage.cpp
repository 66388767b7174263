#include "app/dialogs/BitmapToQImage.h"

#include "platform/drawing/Gdi.h"

QImage BitmapToQImage(TBitmap& bitmap)
{
    if (bitmap.Empty())
        return {};
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    BITMAPINFO info;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as QImage keeps its rows
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // 32-bit DIB rows are BGRx little-endian words, which is Format_RGB32's layout; both strides
    // are width * 4 bytes.
    static_assert(sizeof(RGBQUAD) == 4);
    if (image.bytesPerLine() != qsizetype(width) * 4)
        return {};
    const int lines = GetDIBits(nullptr, bitmap.Handle(), 0, UINT(height), image.bits(), &info, DIB_RGB_COLORS);
    if (lines != height)
        return {};
    // The unused byte comes back as 0; Format_RGB32 wants 0xFF there.
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] |= 0xFF000000u;
    }
    return image;
}
