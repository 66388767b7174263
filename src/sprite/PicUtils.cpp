#include "sprite/PicUtils.h"

#include "image/PixImage.h"
#include "platform/system/Exception.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TPicture.h"
#include "sprite/SpriteSourcePaths.h"

namespace {

[[noreturn]] void ThrowFileNotFound(const std::string& fileName, const char* operation, const char* line)
{
    throw Exception("File not found:" + ResolveFileName(fileName) + " src=" + sprite_source::kPicUtils + ":" + operation + ":" +
                    line);
}

void LoadInto(TBitmap* bitmap, const std::string& fileName)
{
    HBITMAP handle = nullptr;
    {
        PixImage image;
        image.Load(ResolveFileName(fileName).c_str(), 0);
        handle = image.MakeBitmap(nullptr);
    }
    if (HBITMAP old = bitmap->ReleaseHandle())
        DeleteObject(old);
    bitmap->SetHandle(handle);
}

}  // namespace

void LoadImageToBitmap(TBitmap* bitmap, const std::string& fileName)
{
    if (!FileExists(fileName))
        ThrowFileNotFound(fileName, "LoadImageToBitmap", "179");
    if (bitmap)
        LoadInto(bitmap, fileName);
}

void LoadImageToPicture(TPicture* picture, const std::string& fileName)
{
    if (!FileExists(fileName))
        ThrowFileNotFound(fileName, "LoadImageToPicture", "192");
    if (picture)
        LoadInto(picture->Bitmap(), fileName);
}
