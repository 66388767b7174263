#pragma once
// The one way event handlers are called from the window system: an exception that escapes a
// handler is shown as the class library's exception box shows it (a message box; without a
// display, a line on stderr) and goes no further, so it never unwinds through the event loop.
// GUI thread only.
#include <functional>
#include <string>

// Runs call; catches everything it throws and hands the message to ShowException.
void CallEventHandler(const std::function<void()>& call) noexcept;

// Shows the text of an exception that nobody caught, with a full stop appended when it ends in
// a character that sorts after "." (as the class library's box does).
void ShowException(const std::string& message);

// The text ShowException shows for a message.
[[nodiscard]] std::string ExceptionBoxText(const std::string& message);

// Where ShowException sends its text instead of the box (tests, a program's own log); null
// restores the box. Returns the sink in force before.
using TExceptionSink = std::function<void(const std::string& text)>;
TExceptionSink SetExceptionSink(TExceptionSink sink);
