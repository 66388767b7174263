#pragma once
// The sprites of one display, owned by the library. GUI thread only.
#include <memory>
#include <string>
#include <vector>

#include "sprite/TASprite.h"

class TASpriteLibrary {
public:
    TASpriteLibrary() = default;
    // Deletes every sprite; never throws. Run CheckInstances first (after the scenes are gone).
    ~TASpriteLibrary();
    TASpriteLibrary(const TASpriteLibrary&) = delete;
    TASpriteLibrary& operator=(const TASpriteLibrary&) = delete;

    // Throws the first sprite's (in list order) error when any sprite still has instances:
    // the owner destroyed its library before the scene that borrows them.
    void CheckInstances() const;

    // Takes ownership of sprite (null is ignored).
    void AddSprite(TASprite* sprite);
    // The sprite at index, owned by the library; null outside 0 .. GetCount() - 1.
    [[nodiscard]] TASprite* GetSprite(int index) const;
    [[nodiscard]] int GetCount() const { return static_cast<int>(sprites_.size()); }
    // A new instance of the first sprite named exactly name (owned by that sprite); null when
    // no sprite has that name.
    [[nodiscard]] TASpriteInstance* CreateInstance(const std::string& name);

private:
    std::vector<std::unique_ptr<TASprite>> sprites_;
};
