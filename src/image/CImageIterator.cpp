#include "image/CImageIterator.h"

#include "image/PixImage.h"

#include <algorithm>
#include <cstring>

CImageIterator::CImageIterator(PixImage* image) : image_(image), row_(image ? image->GetBits(0) : nullptr) {}

void CImageIterator::SetY(std::int32_t y) {
    if (!image_ || y < 0 || y >= image_->GetHeight()) return;
    y_ = y;
    row_ = image_->GetBits(static_cast<std::uint32_t>(y));
}

std::uint8_t* CImageIterator::GetRow(std::int32_t y) {
    SetY(y);
    return row_;
}

void CImageIterator::Upset() {
    x_ = 0;
    y_ = image_ ? image_->GetHeight() - 1 : 0;
    row_ = image_ ? image_->GetBits(static_cast<std::uint32_t>(y_)) : nullptr;
}

bool CImageIterator::PrevRow() {
    if (y_ - 1 < 0) return false;
    --y_;
    row_ = image_->GetBits(static_cast<std::uint32_t>(y_));
    return true;
}

bool CImageIterator::ItOK() const { return image_ && image_->IsInside(x_, y_); }

std::int32_t CImageIterator::Clamp(std::int32_t n) const {
    const auto stride = static_cast<std::int32_t>(image_->GetEffWidth());
    return n < 0 ? stride : std::min(n, stride);
}

void CImageIterator::SetRow(const std::uint8_t* buffer, std::int32_t n) {
    if (!row_ || !buffer) return;
    const std::int32_t count = Clamp(n);
    if (count < 1) return;
    std::memcpy(row_, buffer, static_cast<std::size_t>(count));
}

void CImageIterator::GetRow(std::uint8_t* buffer, std::int32_t n) const {
    if (!row_ || !buffer) return;
    const std::int32_t count = Clamp(n);
    if (count < 1) return;
    std::memcpy(buffer, row_, static_cast<std::size_t>(count));
}
