#pragma once
// A list of 8-bit text lines that reports every change, for controls that lay themselves out
// from their items. GUI thread only.
#include <functional>
#include <string>
#include <vector>

class TStringList;

class TNotifyStringList {
public:
    TNotifyStringList() = default;

    [[nodiscard]] int Count() const { return int(lines_.size()); }
    // Index 0 .. Count()-1; anything else throws Exception "List index out of bounds (<i>)".
    [[nodiscard]] const std::string& operator[](int index) const;
    [[nodiscard]] const std::vector<std::string>& Lines() const { return lines_; }

    // Each change below calls OnChange once, after it is made.
    void Add(const std::string& line);
    void Insert(int index, const std::string& line);  // index 0 .. Count(), else the exception above
    void Delete(int index);                            // index 0 .. Count()-1, else the exception above
    void Put(int index, const std::string& line);      // index 0 .. Count()-1, else the exception above
    void Clear();
    void Assign(const std::vector<std::string>& lines);
    void Assign(const TStringList& lines);
    void Assign(const TNotifyStringList& lines) { Assign(lines.lines_); }
    // Lines split at CR, LF and CRLF; a break at the very end adds no empty line.
    void SetText(const std::string& text);

    std::function<void()> OnChange;

private:
    void Check(int index, int limit) const;
    void Changed();

    std::vector<std::string> lines_;
};
