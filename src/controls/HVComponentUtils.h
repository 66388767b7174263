#pragma once
// What the skinned controls share: antialiased fonts and the picture-file property rule.
// GUI thread only.
#include <functional>
#include <string>

class TFont;
class TPicture;

// Makes the font draw antialiased: its logical font is read back, given ANTIALIASED_QUALITY and
// made the font's new handle (the font's other attributes follow that record). Null does nothing.
void SetFontAntialiased(TFont* font);
// Copies a state font and keeps the copy antialiased, as every per-state font of a control is.
void AssignFontAntialiased(TFont& target, const TFont* source);

// The setter of a picture-file property. Returns false, doing nothing, when name equals stored.
// A name that names no file clears stored and throws Exception "File not found : " + name (what
// was loaded before stays). Otherwise stored becomes name and load runs; if it throws anything,
// stored is cleared and Exception "Error loading : " + name is thrown instead.
bool SetPictureFile(std::string& stored, const std::string& name, const std::function<void()>& load);

// LoadImageToPicture, and a file that exists but does not decode (the picture stays empty)
// throws Exception "Cannot decode <file>" too.
void LoadPictureFile(TPicture* picture, const std::string& file);
