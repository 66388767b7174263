#pragma once
// Small helpers shared by the configuration tests: texts are built in the test, loaded from
// memory, and failures are compared by their message.
#include "config/TDVContext.h"
#include "platform/system/Exception.h"
#include "platform/system/TStringList.h"

#include <functional>
#include <string>

inline TStringList Lines(const std::string& text)
{
    TStringList lines;
    lines.SetText(text);
    return lines;
}

inline void Load(TDVContext& root, const std::string& text) { root.LoadFromStrings(Lines(text), 0, 0); }

// The message of the Exception that f throws, or "<no error>".
inline std::string ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.what();
    }
    return "<no error>";
}

inline std::string Written(TDVContext& context)
{
    TStringList lines;
    context.SaveToStrings(lines);
    return lines.Text();
}
