#pragma once
// The class library's string list: an ordered list of 8-bit text lines. Files are read with
// CR, LF and CRLF all ending a line, and written with CRLF after every line. Not thread-safe;
// one owner at a time.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::string> lines) : lines_(lines) {}

    [[nodiscard]] int Count() const { return static_cast<int>(lines_.size()); }
    // Index 0 .. Count()-1; anything else throws Exception "List index out of bounds (<i>)".
    [[nodiscard]] const std::string& operator[](int index) const;
    [[nodiscard]] std::string& operator[](int index);
    [[nodiscard]] const std::vector<std::string>& Lines() const { return lines_; }

    void Add(const std::string& line) { lines_.push_back(line); }
    void Add(std::string&& line) { lines_.push_back(std::move(line)); }
    void Clear() { lines_.clear(); }

    // Replaces the contents by the lines of text; a line break at the very end adds no empty line.
    void SetText(const std::string& text);
    // The lines of text as SetText cuts them, as views into text (for readers that keep no copy).
    static void SplitLines(std::string_view text, std::vector<std::string_view>& lines);
    // The whole file, read as LoadFromFile reads it (same name resolution and errors).
    [[nodiscard]] static std::string ReadFile(const std::string& fileName);
    // Every line followed by CRLF.
    [[nodiscard]] std::string Text() const;

    // The name goes through ResolveFileName. A file that cannot be opened or read throws
    // Exception "Cannot open file \"<name>\"" and leaves the list unchanged.
    void LoadFromFile(const std::string& fileName);
    // Replaces the file. Failure throws Exception "Cannot create file \"<name>\"" (a partly
    // written file may remain).
    void SaveToFile(const std::string& fileName) const;

private:
    std::vector<std::string> lines_;
};
