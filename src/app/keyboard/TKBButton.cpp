#include "app/keyboard/TKBButton.h"

#include "config/TDVContext.h"

TKBButton TKBButton::FromContext(const std::string& name, TDVContext* key)
{
    TKBButton b;
    b.name = name;
    b.Caption = key->GetString("Caption");
    b.left = key->GetInteger("left");
    b.top = key->GetInteger("top");
    b.width = key->GetInteger("width");
    b.height = key->GetInteger("height");
    b.skin = key->GetString("skin");
    b.scan_code = key->GetInteger("scan_code");
    b.slim = key->GetBool("slim");
    b.state = key->GetString("state");
    return b;
}

bool TKBButton::Contains(int x, int y) const
{
    const std::int64_t right = std::int64_t{left} + width;
    const std::int64_t bottom = std::int64_t{top} + height;
    return x >= left && x <= right && y >= top && y <= bottom;
}
