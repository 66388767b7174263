#include "sprite/TASpriteLibrary.h"

TASpriteLibrary::~TASpriteLibrary() = default;

void TASpriteLibrary::CheckInstances() const
{
    for (const auto& sprite : sprites_)
        sprite->CheckInstances();
}

void TASpriteLibrary::AddSprite(TASprite* sprite)
{
    if (sprite)
        sprites_.emplace_back(sprite);
}

TASprite* TASpriteLibrary::GetSprite(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return sprites_[std::size_t(index)].get();
}

TASpriteInstance* TASpriteLibrary::CreateInstance(const std::string& name)
{
    for (const auto& sprite : sprites_)
        if (sprite->GetName() == name)
            return sprite->CreateInstance();
    return nullptr;
}
