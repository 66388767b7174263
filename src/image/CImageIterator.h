#pragma once
// Walks the pixel rows of a PixImage for the decoders. Rows are bottom-up as in the image; the
// iterator never points outside the image's rows (a y out of range leaves it where it was).
#include <cstdint>

class PixImage;

class CImageIterator {
public:
    explicit CImageIterator(PixImage* image);

    // Accepts 0 <= y < height and points at that row; other values change nothing.
    void SetY(std::int32_t y);
    std::uint8_t* GetRow(std::int32_t y);
    [[nodiscard]] std::uint8_t* GetRow() const { return row_; }
    // To the top storage row (x 0, y height - 1).
    void Upset();
    // One row down; false (and no move) once below row 0.
    bool PrevRow();
    [[nodiscard]] bool ItOK() const;
    // Copies min(n, stride) bytes (the whole stride when n < 0) into the current row.
    void SetRow(const std::uint8_t* buffer, std::int32_t n);
    // Copies n bytes (at most a stride; the whole stride when n < 0) of the current row out.
    void GetRow(std::uint8_t* buffer, std::int32_t n) const;
    [[nodiscard]] std::int32_t GetY() const { return y_; }

private:
    [[nodiscard]] std::int32_t Clamp(std::int32_t n) const;

    PixImage* image_ = nullptr;
    std::int32_t x_ = 0;
    std::int32_t y_ = 0;
    std::int32_t stepX_ = 0;
    std::int32_t stepY_ = 0;
    std::uint8_t* row_ = nullptr;
};
