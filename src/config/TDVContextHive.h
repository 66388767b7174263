#pragma once
// The contexts open while one text is parsed: blocks and context declarations stay open across
// lines until their "}" or "endcontext". Borrows every context; GUI thread.
#include <vector>

class TDVContext;

class TDVContextHive {
public:
    explicit TDVContextHive(TDVContext* base) : current_(base), base_(base) {}

    // Makes context current and open.
    void Push(TDVContext* context);
    // Closes the innermost open context; the next one (or the base) becomes current.
    void Pop();
    // Makes context current without opening it (a "." scope, for the rest of one line).
    void SetCurrent(TDVContext* context) { current_ = context; }
    // Current becomes the innermost open context, or the base.
    void UpdateCurrent();
    [[nodiscard]] int Depth() const { return static_cast<int>(stack_.size()); }
    [[nodiscard]] TDVContext* Current() const { return current_; }
    [[nodiscard]] TDVContext* Base() const { return base_; }

private:
    std::vector<TDVContext*> stack_;
    TDVContext* current_ = nullptr;
    TDVContext* base_ = nullptr;
};
