#pragma once
// The class library's exception: every failure the system reports by throwing carries only
// its message text, which callers show to the user as it stands.
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    [[nodiscard]] std::string Message() const { return what(); }
};
