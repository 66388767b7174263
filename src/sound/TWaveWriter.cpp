#include "sound/TWaveWriter.h"

void TWaveWriter::DoCallback(std::uint8_t deviceState) noexcept
{
    if (!callback_)
        return;
    try {
        callback_(object_, deviceState);
    } catch (...) {
        // The audio thread has nobody to report to; the count shows it happened.
        callbackErrors_.fetch_add(1);
    }
}
