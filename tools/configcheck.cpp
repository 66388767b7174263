// configcheck DIR: loads DIR/Korvane.DEF (must exist) and then DIR/Korvane.INI (may be missing)
// into one root, as the program does at start-up, and prints a short summary or the error text.
// Exit code 0 when both load, 1 otherwise.
#include "config/TDVContext.h"
#include "platform/system/Exception.h"
#include "platform/system/TStringList.h"

#include <iostream>
#include <string>

namespace {

void PrintSummary(TDVContext& root)
{
    std::cout << "general.ApplicationTitle: " << root.GetValueText("general.ApplicationTitle") << "\n";
    std::cout << "general.Version: " << root.GetValueText("general.Version") << "\n";
    for (const char* key : {"Audio.W98_BufferSize", "Audio.W2K_BufferSize", "Audio.WV_BufferSize",
                            "settings.current_mode", "settings.riff_volume", "settings.groove_volume"})
        if (root.Exists(key))
            std::cout << key << ": " << root.GetValueText(key) << "\n";
    if (!root.Exists("mode")) {
        std::cout << "modes: none\n";
        return;
    }
    TStringList modes;
    const int count = root.EnumListIDs("mode", modes);
    std::cout << "modes: " << count << "\n";
    for (const auto& id : modes.Lines()) {
        std::cout << "  " << id << " \"" << root.GetStringByID("mode[#].title_in_combo", id) << "\"";
        TDVContext* mode = root.GetContextByID("mode[#]", id);
        TStringList riffs;
        const int n = mode->EnumListIDs("riff", riffs);
        std::cout << ", " << n << " riffs";
        if (mode->Exists("toggle")) {
            TStringList sets;
            mode->EnumListIDs("toggle", sets);
            for (const auto& set : sets.Lines()) {
                TStringList keys;
                int bound = 0;
                mode->GetContextByID("toggle[#]", set)->EnumListIDs("bind", keys);
                for (const auto& key : keys.Lines())
                    bound += !mode->GetValueTextByID("toggle[#].bind[#]", set, key).empty();
                std::cout << ", " << set << " " << bound << "/" << keys.Count() << " keys bound";
            }
        }
        std::cout << "\n";
    }
    for (const char* list : {"keyboard.key", "color_schemes"})
        if (root.Exists(list)) {
            TStringList ids;
            std::cout << list << ": " << root.EnumListIDs(list, ids) << "\n";
        }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: configcheck DIR\n";
        return 1;
    }
    const std::string dir = argv[1];
    TDVContext root;
    try {
        root.LoadFromFile(dir + "/Korvane.DEF", true);
        root.LoadFromFile(dir + "/Korvane.INI", false);
        PrintSummary(root);
    } catch (const Exception& e) {
        const std::string message = e.what();
        std::cout << "error:" << (message.empty() || message[0] == ' ' ? "" : " ") << message << "\n";
        return 1;
    }
    return 0;
}
