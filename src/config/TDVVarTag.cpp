#include "config/TDVVarTag.h"

#include "config/LoadBudget.h"
#include "config/TDVContext.h"
#include "platform/system/Exception.h"
#include "platform/system/NumberText.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {
[[noreturn]] void AccessorError(const char* accessor)
{
    throw Exception(std::string("TDVVarTag::") + accessor + ": index out of range or ValType is invalid");
}

// A number of an integer, float or bool tag as the 32 bits it is stored in (a bool: 0 or 1).
std::uint32_t NumberBits(ValType type, const std::string& text)
{
    if (type == vtFloat) {
        const float f = StrToFloat(text);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &f, sizeof bits);
        return bits;
    }
    const std::int32_t n = StrToInt(text);
    return type == vtBool ? (n != 0 ? 1u : 0u) : static_cast<std::uint32_t>(n);
}

// Writes values into tag's elements from start on: texts as they are, numbers as bitsOf(k) gives
// them. Each element is checked before its number is asked for, so an element out of range is
// refused before a bad number in it.
template <typename BitsOf>
void AssignValues(TDVVarTag& tag, const std::vector<std::string>& values, int start, BitsOf bitsOf)
{
    if (tag.Type() == vtContext)
        throw Exception(" Invalid tag type");
    for (std::size_t k = 0; k < values.size(); ++k) {
        const std::int64_t at = static_cast<std::int64_t>(start) + static_cast<std::int64_t>(k);
        const int i = at > 0x7FFFFFFF ? -1 : static_cast<int>(at); // -1: refused by every accessor
        switch (tag.Type()) {
        case vtInteger: {
            std::int32_t* p = tag.Integer(i);
            const std::uint32_t bits = bitsOf(k);
            std::memcpy(p, &bits, sizeof bits);
            break;
        }
        case vtFloat: {
            float* p = tag.Float(i);
            const std::uint32_t bits = bitsOf(k);
            std::memcpy(p, &bits, sizeof bits);
            break;
        }
        case vtBool: {
            std::uint8_t* p = tag.Bool(i);
            *p = static_cast<std::uint8_t>(bitsOf(k));
            break;
        }
        default: {
            std::string* p = tag.String(i);
            tdv_detail::LoadBudget::SpendText(values[k].size());
            *p = values[k];
            break;
        }
        }
    }
}
} // namespace

TDVVarTag::TDVVarTag(const std::string& name, ValType type, int arraySize, TDVContext* owner)
    : name_(name), owner_(owner), type_(type)
{
    if (arraySize == 0)
        throw Exception("Can not create zero length tag");
    if (type > vtString && type != vtPointer)
        throw Exception(" Unknown ValType");
    arraySize_ = arraySize < 0 ? -1 : arraySize;
    const auto n = static_cast<std::size_t>(Count());
    switch (type) {
    case vtContext:
        if (n == 1) {
            inlineContext_ = std::make_unique<TDVContext>(this);
            contextData_ = &inlineContext_;
        } else {
            contexts_.reserve(n);
            for (std::size_t i = 0; i < n; ++i)
                contexts_.push_back(std::make_unique<TDVContext>(this));
            contextData_ = contexts_.data();
        }
        break;
    case vtInteger:
        if (n <= std::size(inlineNumbers_.ints)) {
            numberData_ = inlineNumbers_.ints;
        } else {
            ints_.assign(n, 0);
            numberData_ = ints_.data();
        }
        break;
    case vtFloat:
        if (n <= std::size(inlineNumbers_.floats)) {
            std::fill_n(inlineNumbers_.floats, n, 0.0f);
            numberData_ = inlineNumbers_.floats;
        } else {
            floats_.assign(n, 0.0f);
            numberData_ = floats_.data();
        }
        break;
    case vtBool:
        if (n <= std::size(inlineNumbers_.bools)) {
            std::fill_n(inlineNumbers_.bools, n, std::uint8_t(0));
            numberData_ = inlineNumbers_.bools;
        } else {
            bools_.assign(n, 0);
            numberData_ = bools_.data();
        }
        break;
    default:
        if (n == 1) {
            stringData_ = &inlineString_;
        } else {
            strings_.assign(n, std::string());
            stringData_ = strings_.data();
        }
        break;
    }
}

TDVVarTag::~TDVVarTag() = default;

std::int32_t* TDVVarTag::Integer(int i)
{
    if (static_cast<unsigned>(i) >= static_cast<unsigned>(Count()) || type_ != vtInteger)
        AccessorError("Integer");
    return static_cast<std::int32_t*>(numberData_) + i;
}

float* TDVVarTag::Float(int i)
{
    if (static_cast<unsigned>(i) >= static_cast<unsigned>(Count()) || type_ != vtFloat)
        AccessorError("Float");
    return static_cast<float*>(numberData_) + i;
}

std::uint8_t* TDVVarTag::Bool(int i)
{
    if (static_cast<unsigned>(i) >= static_cast<unsigned>(Count()) || type_ != vtBool)
        AccessorError("Bool");
    return static_cast<std::uint8_t*>(numberData_) + i;
}

std::string* TDVVarTag::String(int i)
{
    if (static_cast<unsigned>(i) >= static_cast<unsigned>(Count()) ||
        (type_ != vtString && type_ != vtPointer))
        AccessorError("String");
    return stringData_ + i;
}

TDVContext* TDVVarTag::Context(int i)
{
    if (static_cast<unsigned>(i) >= static_cast<unsigned>(Count()) || type_ != vtContext)
        AccessorError("Context");
    return contextData_[i].get();
}

void* TDVVarTag::Data()
{
    switch (type_) {
    case vtContext: return contextData_;
    case vtInteger:
    case vtFloat:
    case vtBool: return numberData_;
    default: return stringData_;
    }
}

void TDVVarTag::CopyTagValue(TDVVarTag& source)
{
    if (source.type_ != type_ || source.Count() != Count())
        throw Exception("TDVVarTag::CopyTagValue: Type or ArraySize different!");
    source.CopyValuesTo(Data());
}

void TDVVarTag::CopyValuesTo(void* buffer)
{
    switch (type_) {
    case vtContext: break;
    case vtInteger: std::memcpy(buffer, numberData_, std::size_t(Count()) * sizeof(std::int32_t)); break;
    case vtFloat: std::memcpy(buffer, numberData_, std::size_t(Count()) * sizeof(float)); break;
    case vtBool: std::memcpy(buffer, numberData_, std::size_t(Count())); break;
    case vtString:
    case vtPointer: {
        auto* out = static_cast<std::string*>(buffer);
        for (int i = 0; i < Count(); ++i) {
            tdv_detail::LoadBudget::SpendText(stringData_[i].size());
            out[i] = stringData_[i];
        }
        break;
    }
    default: throw Exception(" Unknown ValType");
    }
}

std::string TDVVarTag::ValueToText(int index)
{
    if (type_ == vtContext)
        return "Invalid tag type or Context";
    const bool whole = index == -1;
    const int first = whole ? 0 : index;
    const int last = whole ? Count() - 1 : index;
    std::string out;
    for (int i = first; i <= last; ++i) {
        if (i > first)
            out += ',';
        switch (type_) {
        case vtInteger: out += IntToStr(*Integer(i)); break;
        case vtFloat: out += FloatToStr(*Float(i)); break;
        case vtBool: out += *Bool(i) ? "1" : "0"; break;
        case vtString:
            if (whole && Count() > 1)
                out += '"' + *String(i) + '"';
            else
                out += *String(i);
            break;
        case vtPointer: out += "&" + *String(i); break;
        default: break;
        }
    }
    return out;
}

void TDVVarTag::SetFromStrings(const std::vector<std::string>& values, int start)
{
    if (type_ == vtInteger || type_ == vtFloat || type_ == vtBool) {
        std::size_t bytes = 0;
        for (const auto& v : values)
            bytes += v.size();
        tdv_detail::LoadBudget::SpendBytes(static_cast<std::int64_t>(bytes)); // converted
    }
    AssignValues(*this, values, start, [&](std::size_t k) { return NumberBits(type_, values[k]); });
}

TDVVarTag::Converted TDVVarTag::Convert(ValType type, const std::vector<std::string>& values)
{
    Converted out;
    if (type != vtInteger && type != vtFloat && type != vtBool)
        return out;
    std::size_t bytes = 0;
    for (const auto& v : values)
        bytes += v.size();
    tdv_detail::LoadBudget::SpendBytes(static_cast<std::int64_t>(bytes));
    out.bits.reserve(values.size());
    try {
        for (const auto& v : values)
            out.bits.push_back(NumberBits(type, v));
    } catch (const Exception& e) {
        out.error = e.what();
    }
    return out;
}

void TDVVarTag::SetFromConverted(const std::vector<std::string>& values, const Converted& converted, int start)
{
    AssignValues(*this, values, start, [&](std::size_t k) {
        if (k >= converted.bits.size())
            throw Exception(converted.error);
        return converted.bits[k];
    });
}
