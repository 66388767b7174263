#pragma once
// The module paths that the sprite engine's file messages quote after " src=". Users and logs
// match these texts, so they stay fixed whatever the build's real paths are.
namespace sprite_source {

inline constexpr const char* kASprite = "common\\SpriteEngine\\src\\ASprite.cpp";
inline constexpr const char* kPicUtils = "common\\SpriteEngine\\src\\PicUtils.cpp";

}  // namespace sprite_source
