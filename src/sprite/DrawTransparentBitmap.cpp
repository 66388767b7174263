#include "sprite/PicUtils.h"

void DrawTransparentBitmap(HDC dc, short x, short y, HBITMAP bitmap, short xSrc, short ySrc, short width,
                           short height, COLORREF transparent)
{
    const int w = width, h = height;
    if (w <= 0 || h <= 0)
        return;

    HDC srcDC = CreateCompatibleDC(dc);
    HGDIOBJ srcOld = SelectObject(srcDC, bitmap);
    if (!srcOld) {
        // Not a bitmap: the masks would be built from the empty stock bitmap and paint black.
        DeleteDC(srcDC);
        return;
    }
    SetMapMode(srcDC, GetMapMode(dc));

    HDC invDC = CreateCompatibleDC(dc);
    HDC maskDC = CreateCompatibleDC(dc);
    HDC workDC = CreateCompatibleDC(dc);
    HDC saveDC = CreateCompatibleDC(dc);
    HBITMAP invBmp = CreateBitmap(w, h, 1, 1, nullptr);
    HBITMAP maskBmp = CreateBitmap(w, h, 1, 1, nullptr);
    HBITMAP workBmp = CreateCompatibleBitmap(dc, w, h);
    HBITMAP saveBmp = CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ invOld = SelectObject(invDC, invBmp);
    HGDIOBJ maskOld = SelectObject(maskDC, maskBmp);
    HGDIOBJ workOld = SelectObject(workDC, workBmp);
    HGDIOBJ saveOld = SelectObject(saveDC, saveBmp);

    BitBlt(saveDC, 0, 0, w, h, srcDC, xSrc, ySrc, SRCCOPY);

    // Colour to monochrome gives 1 exactly where a pixel equals the source's background colour.
    const COLORREF oldBk = SetBkColor(srcDC, transparent);
    BitBlt(maskDC, 0, 0, w, h, srcDC, xSrc, ySrc, SRCCOPY);
    SetBkColor(srcDC, oldBk);
    BitBlt(invDC, 0, 0, w, h, maskDC, 0, 0, NOTSRCCOPY);

    BitBlt(workDC, 0, 0, w, h, dc, x, y, SRCCOPY);
    BitBlt(workDC, 0, 0, w, h, maskDC, 0, 0, SRCAND);
    BitBlt(srcDC, xSrc, ySrc, w, h, invDC, 0, 0, SRCAND);
    BitBlt(workDC, 0, 0, w, h, srcDC, xSrc, ySrc, SRCPAINT);
    BitBlt(dc, x, y, w, h, workDC, 0, 0, SRCCOPY);
    BitBlt(srcDC, xSrc, ySrc, w, h, saveDC, 0, 0, SRCCOPY);

    SelectObject(invDC, invOld);
    SelectObject(maskDC, maskOld);
    SelectObject(workDC, workOld);
    SelectObject(saveDC, saveOld);
    SelectObject(srcDC, srcOld);
    DeleteObject(invBmp);
    DeleteObject(maskBmp);
    DeleteObject(workBmp);
    DeleteObject(saveBmp);
    DeleteDC(invDC);
    DeleteDC(maskDC);
    DeleteDC(workDC);
    DeleteDC(saveDC);
    DeleteDC(srcDC);
}
