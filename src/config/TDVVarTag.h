#pragma once
// One named value, or array or list of values of one type, held by a TDVContext. GUI thread;
// every failure throws Exception with the text given at the operation.
#include "config/ConfigKeywords.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TDVContext;

class TDVVarTag {
public:
    // ArraySize n >= 1 makes n elements; any negative value makes a list (stored as -1) with one
    // element of its own, the default entry. Throws "Can not create zero length tag" for 0 and
    // " Unknown ValType" for a type other than 0-4 and 6. Context elements are owned here.
    TDVVarTag(const std::string& name, ValType type, int arraySize, TDVContext* owner);
    ~TDVVarTag();
    TDVVarTag(const TDVVarTag&) = delete;
    TDVVarTag& operator=(const TDVVarTag&) = delete;

    // Element i (0-based), which stays owned by the tag. Throw
    // "TDVVarTag::<Accessor>: index out of range or ValType is invalid" on a wrong index or type;
    // String serves string and pointer tags.
    [[nodiscard]] std::int32_t* Integer(int i);
    [[nodiscard]] float* Float(int i);
    [[nodiscard]] std::uint8_t* Bool(int i);
    [[nodiscard]] std::string* String(int i);
    [[nodiscard]] TDVContext* Context(int i);

    [[nodiscard]] bool IsList() const { return arraySize_ == -1; }
    [[nodiscard]] int Count() const { return arraySize_ < 1 ? 1 : arraySize_; }
    [[nodiscard]] int ArraySize() const { return arraySize_; }
    [[nodiscard]] ValType Type() const { return type_; }
    [[nodiscard]] const std::string& Name() const { return name_; }
    [[nodiscard]] TDVContext* Owner() const { return owner_; }
    // The element storage: int32_t[], float[], uint8_t[], std::string[] or
    // std::unique_ptr<TDVContext>[] by type; owned by the tag.
    [[nodiscard]] void* Data();

    // Same type and Count required, else "TDVVarTag::CopyTagValue: Type or ArraySize different!".
    // Context elements are not copied.
    void CopyTagValue(TDVVarTag& source);
    // Copies every element into caller storage laid out as Data() describes; nothing for contexts.
    void CopyValuesTo(void* buffer);

    // Element index as text, or every element joined by "," for -1 (string elements of a whole
    // array each in double quotes); pointers as "&" + path; a context gives
    // "Invalid tag type or Context".
    [[nodiscard]] std::string ValueToText(int index);
    // Element start + k receives values[k], converted by the tag's type; " Invalid tag type" for
    // a context, the accessor's text beyond the end, the conversion error for a bad number.
    void SetFromStrings(const std::vector<std::string>& values, int start);

    // A value list converted for one type, to be assigned to many elements at the cost of one
    // conversion: the numbers up to the first text that does not convert, and that text's error.
    struct Converted {
        std::vector<std::uint32_t> bits; // int32_t, float or 0/1, by type
        std::string error;               // the conversion error of value bits.size(), if any
    };
    [[nodiscard]] static Converted Convert(ValType type, const std::vector<std::string>& values);
    // As SetFromStrings(values, start), with the numbers taken from converted (made by Convert for
    // this tag's type from the same values): the same elements change and the same error is
    // raised at the same element.
    void SetFromConverted(const std::vector<std::string>& values, const Converted& converted, int start);

    // The entries of a list in creation order (entry tags live in the list's context).
    [[nodiscard]] const std::vector<TDVVarTag*>& Entries() const { return entries_; }
    void AddEntry(TDVVarTag* entry)
    {
        entries_.push_back(entry);
        entry->list_ = this;
    }
    // The list an entry tag was added to; null for any other tag.
    [[nodiscard]] TDVVarTag* List() const { return list_; }

private:
    // Most tags hold one value or a short array: their elements live in the tag itself (up to
    // four numbers, one string or one context), the rest in the vectors; the data pointers below
    // lead to whichever holds them, so that a tag costs one allocation, not two.
    union InlineNumbers {
        std::int32_t ints[4];
        float floats[4];
        std::uint8_t bools[16];
    };
    InlineNumbers inlineNumbers_{};
    std::string inlineString_;
    std::unique_ptr<TDVContext> inlineContext_;
    std::vector<std::int32_t> ints_;
    std::vector<float> floats_;
    std::vector<std::uint8_t> bools_;
    std::vector<std::string> strings_;
    std::vector<std::unique_ptr<TDVContext>> contexts_;
    void* numberData_ = nullptr;
    std::string* stringData_ = nullptr;
    std::unique_ptr<TDVContext>* contextData_ = nullptr;
    std::string name_;
    TDVContext* owner_ = nullptr;
    ValType type_ = vtNone;
    int arraySize_ = 1;
    std::vector<TDVVarTag*> entries_;
    TDVVarTag* list_ = nullptr;
};
