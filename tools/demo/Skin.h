#pragma once
// The skin folder "Pics01": area pictures, buttons in their states, the mode list, the volume
// sliders, the fretboard spots and the key skin. It holds no splash picture: the splash window's
// own picture leaves its product name and version in view, and any picture, centred at the top,
// would lie over the version shown right of the window's middle.
#include "demo/SkinCatalog.h"

#include <QImage>

#include <filesystem>

namespace demo {

// The background a button of that area lies on (the notation area's buttons are transparent).
[[nodiscard]] QImage AreaPicture(SkinArea area);

void WriteAreaPictures(const std::filesystem::path& skinDir);
void WriteButtonPictures(const std::filesystem::path& skinDir);
void WriteSpotPictures(const std::filesystem::path& skinDir);

// All of the above into dir/"Pics01".
void WriteSkin(const std::filesystem::path& dir);

} // namespace demo
