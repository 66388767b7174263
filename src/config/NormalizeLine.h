#pragma once
#include <string>
#include <string_view>

// A configuration line as the parser and the key-path operations see it: TABs become blanks;
// outside double quotes ";" starts a comment, runs of blanks shrink to one and no blank stays
// next to any of , . - [ ] ( ) = { }; leading and trailing blanks go. Quoted text is kept as it
// is (there is no escape: a double quote always opens or closes).
[[nodiscard]] std::string NormalizeLine(const std::string& line);
// The same into out (its storage is reused: the loader normalises every line into one buffer).
void NormalizeLineInto(std::string_view line, std::string& out);
