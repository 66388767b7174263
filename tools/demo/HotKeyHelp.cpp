#include "demo/HotKeyHelp.h"

#include "app/keyboard/HotKeyTable.h"
#include "platform/system/Exception.h"
#include "platform/ui/VirtualKeys.h"

#include <array>

namespace demo {

namespace {

// The held modifiers of each column after the key's name, as the window reports them.
constexpr std::array<TShiftState, 4> kColumnShift = {0, ssShift, ssAlt, ssCtrl};

std::string Words(const THotKeyCell& cell)
{
    using C = THotKeyCommand;
    switch (cell.command) {
    case C::None: return "-";
    case C::Stop: return "stop";
    case C::Play: return "play";
    case C::Pause: return "pause";
    case C::Help: return "help";
    case C::Settings: return "preferences";
    case C::CloseWindow: return "quit";
    case C::Latch: return "latch riff";
    case C::PlayRiff: return "play riff";
    case C::PlayRiffWhileHeld: return "play riff (held)";
    case C::PrevClip: return "previous clip";
    case C::PlayClip: return "play clips";
    case C::NextClip: return "next clip";
    case C::RiffVideo: return "riff video";
    case C::TutorialVideos: return "tutorial videos";
    case C::RiffList: return "riff list";
    case C::HalfSpeed: return "half speed";
    case C::CreateWave: return "save WAV";
    case C::Print: return "print";
    case C::NextPage: return "next page";
    case C::PrevPage: return "previous page";
    case C::NextRiff: return "next riff";
    case C::PrevRiff: return "previous riff";
    case C::HistoryPrevRiff: return "history back";
    case C::HistoryNextRiff: return "history forward";
    // A higher slider position is a lower volume.
    case C::RhythmSlider: return cell.argument > 0 ? "rhythm volume -" : "rhythm volume +";
    case C::SoloSlider: return cell.argument > 0 ? "solo volume -" : "solo volume +";
    case C::StepSetting: {
        static const std::array<const char*, 5> steps = {"step note groups", "step whole bars", "step half bars",
                                                         "step quarter bars", "step eighth bars"};
        if (cell.argument >= -1 && cell.argument + 1 < int(steps.size()))
            return steps[std::size_t(cell.argument + 1)];
        break;
    }
    }
    throw Exception("the help has no words for hot-key command " + std::to_string(int(cell.command)) +
                    " with argument " + std::to_string(cell.argument));
}

// The text and blanks up to width; at least one blank must follow the text.
std::string Padded(std::string text, std::size_t width)
{
    if (text.size() >= width)
        throw Exception("\"" + text + "\" is too wide for the help's hot-key table");
    text.resize(width, ' ');
    return text;
}

std::string Row(const std::string& name, const std::array<std::string, 4>& cells)
{
    std::string line = std::string(kHotKeyIndent, ' ') + Padded(name, kHotKeyNameWidth);
    for (const std::string& cell : cells)
        line += Padded(cell, kHotKeyCellWidth);
    line.erase(line.find_last_not_of(' ') + 1);
    return line;
}

} // namespace

std::string HotKeyName(std::uint16_t key)
{
    switch (key) {
    case VK_ESCAPE: return "Esc";
    case VK_SPACE: return "Space";
    case VK_MULTIPLY: return "keypad *";
    case VK_ADD: return "keypad +";
    case VK_SUBTRACT: return "keypad -";
    case VK_DIVIDE: return "keypad /";
    default: break;
    }
    if (key >= VK_F1 && key <= VK_F24)
        return "F" + std::to_string(key - VK_F1 + 1);
    return {};
}

std::vector<std::string> HotKeyHelpLines()
{
    std::vector<std::string> lines{Row("Key", {"alone", "Shift+", "Alt+", "Ctrl+"})};
    for (unsigned code = 1; code <= 0xFF; ++code) {
        const auto key = std::uint16_t(code);
        std::array<std::string, 4> cells;
        bool hot = false;
        for (std::size_t column = 0; column < cells.size(); ++column) {
            const THotKeyCell cell = HotKeyTable::Lookup(key, kColumnShift[column]);
            hot = hot || cell.command != THotKeyCommand::None;
            cells[column] = Words(cell);
        }
        if (!hot)
            continue;
        const std::string name = HotKeyName(key);
        if (name.empty())
            throw Exception("the help has no name for hot key " + std::to_string(code));
        lines.push_back(Row(name, cells));
    }
    return lines;
}

} // namespace demo
