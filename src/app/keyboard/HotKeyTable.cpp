#include "app/keyboard/HotKeyTable.h"

#include "platform/ui/VirtualKeys.h"

#include <array>

namespace {

using C = THotKeyCommand;

// A command with the form as sender, one with a null sender, and the argument-carrying ones.
constexpr THotKeyCell Form(C command) { return {command, true, 0}; }
constexpr THotKeyCell Null(C command) { return {command, false, 0}; }
constexpr THotKeyCell Rhythm(int sign) { return {C::RhythmSlider, false, sign}; }
constexpr THotKeyCell Solo(int sign) { return {C::SoloSlider, false, sign}; }
constexpr THotKeyCell Step(int setting) { return {C::StepSetting, false, setting}; }

struct TRow {
    std::uint16_t key;
    std::array<THotKeyCell, 4> columns;  // Plain, Shift, Alt, Ctrl
};

constexpr std::array<TRow, 17> kTable = {{
    {VK_ESCAPE, {Form(C::Stop), Form(C::Stop), Form(C::Stop), Form(C::Stop)}},
    {VK_MULTIPLY, {Null(C::NextPage), Null(C::NextPage), Null(C::NextPage), Null(C::NextPage)}},
    {VK_ADD, {Null(C::NextRiff), Null(C::NextRiff), Null(C::NextRiff), Null(C::NextRiff)}},
    {VK_SUBTRACT, {Null(C::PrevRiff), Null(C::PrevRiff), Null(C::PrevRiff), Null(C::PrevRiff)}},
    {VK_DIVIDE, {Null(C::PrevPage), Null(C::PrevPage), Null(C::PrevPage), Null(C::PrevPage)}},
    {VK_F1 + 0, {Form(C::Help), Form(C::TutorialVideos), Form(C::Help), Form(C::Help)}},
    {VK_F1 + 1, {Form(C::Stop), Null(C::RiffList), Form(C::Stop), Form(C::Stop)}},
    {VK_F1 + 2, {Form(C::Pause), Null(C::HalfSpeed), Form(C::Pause), Form(C::Pause)}},
    {VK_F1 + 3, {Form(C::Play), Form(C::Play), Null(C::CloseWindow), Form(C::Play)}},
    {VK_F1 + 4, {Null(C::Latch), Null(C::HistoryPrevRiff), Null(C::Latch), Null(C::Latch)}},
    {VK_F1 + 5, {Form(C::RiffVideo), Null(C::HistoryNextRiff), Form(C::RiffVideo), Form(C::RiffVideo)}},
    {VK_F1 + 6, {Form(C::CreateWave), Form(C::Settings), Form(C::CreateWave), Form(C::CreateWave)}},
    {VK_F1 + 7, {Form(C::Print), Form(C::HalfSpeed), Form(C::Print), Form(C::Print)}},
    {VK_F1 + 8, {Form(C::PlayRiff), Rhythm(+1), Form(C::PlayRiffWhileHeld), Form(C::PlayRiff)}},
    {VK_F1 + 9, {Form(C::PrevClip), Rhythm(-1), Step(1), Step(-1)}},
    {VK_F1 + 10, {Form(C::PlayClip), Solo(+1), Step(2), Step(0)}},
    {VK_F1 + 11, {Form(C::NextClip), Solo(-1), Step(3), Form(C::NextClip)}},
}};

}  // namespace

THotKeyCell HotKeyTable::Cell(std::uint16_t key, THotKeyColumn column)
{
    if (key == VK_SPACE)
        key = VK_F1 + 8;
    for (const TRow& row : kTable)
        if (row.key == key)
            return row.columns[std::size_t(column)];
    return {};
}

THotKeyCell HotKeyTable::Lookup(std::uint16_t key, TShiftState shift)
{
    static constexpr std::array<std::pair<TShiftStateFlag, THotKeyColumn>, 3> order = {{
        {ssShift, THotKeyColumn::Shift},
        {ssAlt, THotKeyColumn::Alt},
        {ssCtrl, THotKeyColumn::Ctrl},
    }};
    for (const auto& [flag, column] : order)
        if (InShift(shift, flag)) {
            const THotKeyCell cell = Cell(key, column);
            if (cell.command != THotKeyCommand::None)
                return cell;
        }
    return Cell(key, THotKeyColumn::Plain);
}

bool HotKeyTable::RepeatsWhileHeld(const THotKeyCell& cell)
{
    return cell.command == THotKeyCommand::RhythmSlider || cell.command == THotKeyCommand::SoloSlider;
}
