#include "controls/HVComponentUtils.h"

#include "platform/system/Exception.h"
#include "platform/drawing/Gdi.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/drawing/TFont.h"
#include "platform/drawing/TPicture.h"
#include "sprite/PicUtils.h"

void SetFontAntialiased(TFont* font)
{
    if (!font)
        return;
    LOGFONT logFont;
    if (GetObject(font->Handle(), sizeof logFont, &logFont) != int(sizeof logFont))
        return;
    logFont.lfQuality = ANTIALIASED_QUALITY;
    font->SetHandle(CreateFontIndirect(&logFont));
}

bool SetPictureFile(std::string& stored, const std::string& name, const std::function<void()>& load)
{
    if (name == stored)
        return false;
    if (!FileExists(name)) {
        stored.clear();
        throw Exception("File not found : " + ResolveFileName(name));
    }
    stored = name;
    try {
        load();
    } catch (...) {
        stored.clear();
        throw Exception("Error loading : " + ResolveFileName(name));
    }
    return true;
}

void LoadPictureFile(TPicture* picture, const std::string& file)
{
    LoadImageToPicture(picture, file);
    if (picture->Width() <= 0 || picture->Height() <= 0)
        throw Exception("Cannot decode " + ResolveFileName(file));
}

void AssignFontAntialiased(TFont& target, const TFont* source)
{
    target.Assign(source);
    SetFontAntialiased(&target);
}
