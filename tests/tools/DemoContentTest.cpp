// The generated content folder as the program will meet it: the defaults load and declare what
// start-up, mode loading and the keyboard read; every file they name exists; the waves, MIDI
// files and pictures load through the program's own loaders and agree with one another; and two
// runs write the same bytes.
#include "app/keyboard/HotKeyTable.h"
#include "config/TDVContext.h"
#include "demo/DemoKeyboard.h"
#include "demo/DemoModel.h"
#include "demo/HotKeyHelp.h"
#include "demo/MidiContent.h"
#include "demo/SkinCatalog.h"
#include "demo/WaveContent.h"
#include "image/PixImage.h"
#include "platform/system/Exception.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/system/TStringList.h"
#include "sound/midi/MIDIData.h"
#include "sound/TWaveContainer.h"
#include "TestFolder.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The content generated into a fresh folder, removed with the returned object.
std::unique_ptr<TestFolder> RunGenerator()
{
    auto dir = std::make_unique<TestFolder>("demo-content-test-");
    const std::string command = std::string(MAKE_DEMO_CONTENT) + " '" + dir->Path().string() + "' > /dev/null";
    if (std::system(command.c_str()) != 0)
        throw Exception("generator failed: " + command);
    return dir;
}

std::string Content(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A name as the configuration writes it, "\" separated below the content folder.
std::string InFolder(const fs::path& dir, const std::string& relative)
{
    return dir.string() + "\\" + relative;
}

class DemoContent : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        content_ = RunGenerator();
        dir_ = content_->Path();
    }
    static void TearDownTestSuite() { content_.reset(); }

    // The defaults as start-up loads them (no user file exists yet).
    static void LoadDefaults(TDVContext& root)
    {
        root.LoadFromFile((dir_ / "Korvane.DEF").string(), true);
        root.LoadFromFile((dir_ / "Korvane.INI").string(), false);
    }

    static std::vector<std::string> Ids(TDVContext& context, const std::string& list)
    {
        TStringList ids;
        context.EnumListIDs(list, ids);
        return ids.Lines();
    }

    static inline std::unique_ptr<TestFolder> content_;
    static inline fs::path dir_;
};

TEST_F(DemoContent, DefaultsLoadWithoutUserFile)
{
    EXPECT_TRUE(fs::exists(dir_ / "Korvane.DEF"));
    EXPECT_FALSE(fs::exists(dir_ / "Korvane.INI"));
    TDVContext root;
    ASSERT_NO_THROW(LoadDefaults(root));
    EXPECT_EQ(root.GetValueText("general.ApplicationTitle"), "Korvane 2");
    EXPECT_FALSE(root.GetValueText("general.Version").empty());
}

TEST_F(DemoContent, StartUpKeysAreDeclared)
{
    TDVContext root;
    LoadDefaults(root);
    for (const char* key : {"general.Version", "general.ApplicationTitle", "general.RMP_Autoswitch",
                            "Audio.W98_BufferSize", "Audio.W2K_BufferSize", "Audio.WV_BufferSize",
                            "settings.current_mode", "settings.riff_volume", "settings.groove_volume",
                            "settings.ShowHints", "settings.QuantizeMode", "settings.StepAdvanceThroughClipsBy",
                            "settings.ShowFingering", "settings.ShowFilledShapes", "settings.ShowColorSpots",
                            "settings.ShowShapes", "settings.ShowUpcomingNotes", "settings.UpcomingNoteInterval",
                            "settings.ShowFingeringOnTranscriptions", "settings.UseInvertedVideo",
                            "settings.RiffListColumnWidths", "general.RiffListDialog.ColumnFontSize",
                            "keyboard.key_skins", "keyboard.key", "color_schemes", "mode"})
        EXPECT_TRUE(root.Exists(key)) << key;

    // No mode is selected yet: the first one loads.
    EXPECT_EQ(root.GetValueText("settings.current_mode"), "-1");
    // The fingering option is shown only with finger labels.
    EXPECT_EQ(root.GetCount("general.Fretboard.BLabel"), 4);
    for (int label = 1; label <= 4; ++label)
        EXPECT_EQ(root.GetValueTextAt("general.Fretboard.BLabel[#].Caption", label), std::to_string(label));
    // The interval edit keeps 100 .. 2000 ms.
    const int interval = root.GetInteger("settings.UpcomingNoteInterval");
    EXPECT_GE(interval, 100);
    EXPECT_LE(interval, 2000);
    EXPECT_EQ(root.GetCount("general.RiffListDialog.ColumnFontSize"), 6);

    TDVContext* general = root.GetContext("general");
    EXPECT_FALSE(general->GetValueTextByID("Hints[#]", "PlayButton").empty());
    EXPECT_EQ(general->GetValueTextByID("Hints[#]", "NoSuchControl"), "");
    EXPECT_NO_THROW((void)root.GetContext("general.RiffListDialog")->GetValueTextByID("Hints[#]", "Grid"));
    EXPECT_NO_THROW((void)root.GetContext("general.RiffVideoDialog")->GetValueTextByID("Hints[#]", "PlayButton"));
    for (const std::string& id : Ids(*general, "VideoHelp")) {
        EXPECT_FALSE(general->GetValueTextByID("VideoHelp[#].Description", id).empty()) << id;
        EXPECT_FALSE(general->GetValueTextByID("VideoHelp[#].FileName", id).empty()) << id;
    }
}

TEST_F(DemoContent, FretboardPlacesEveryStringAndFret)
{
    TDVContext root;
    LoadDefaults(root);
    TDVContext* general = root.GetContext("general");
    int previous = -1;
    for (int fret = 1; fret <= 25; ++fret) {
        const int x = general->GetIntegerAt("Fretboard.X[#]", fret);
        EXPECT_GT(x, previous) << "fret " << fret - 1;
        EXPECT_LT(x, 1016);
        previous = x;
        for (int string = 1; string <= 6; ++string) {
            const int y = general->GetIntegerAt("Fretboard.chord[#].Y[#]", string, fret);
            EXPECT_GT(y, 0);
            EXPECT_LT(y, 171);
        }
    }
}

TEST_F(DemoContent, ModesHaveNonNumericIdsAndEverythingTheyLoad)
{
    TDVContext root;
    LoadDefaults(root);
    const auto modes = Ids(root, "mode");
    ASSERT_GE(modes.size(), 2u);
    for (const std::string& id : modes) {
        SCOPED_TRACE(id);
        EXPECT_EQ(id.find_first_not_of("0123456789-"), 0u);
        TDVContext* mode = root.GetContextByID("mode[#]", id);
        EXPECT_FALSE(mode->GetValueText("title_in_combo").empty());
        EXPECT_FALSE(mode->GetValueText("title_in_drop").empty());
        EXPECT_GT(mode->GetInteger("size"), 0);
        EXPECT_TRUE(FileExists(InFolder(dir_, "wavs\\" + mode->GetValueText("groove_file"))));
        EXPECT_TRUE(FileExists(InFolder(dir_, "Pics01\\" + mode->GetValueText("fretboard_image"))));
        const auto riffs = Ids(*mode, "riff");
        ASSERT_FALSE(riffs.empty());
        for (const std::string& riffId : riffs) {
            SCOPED_TRACE(riffId);
            TDVContext* riff = mode->GetContextByID("riff[#]", riffId);
            const std::string prefix = riff->GetValueText("file_prefix");
            EXPECT_TRUE(FileExists(InFolder(dir_, "wavs\\" + prefix + ".wav")));
            EXPECT_TRUE(FileExists(InFolder(dir_, "MIDI\\" + prefix + ".mid")));
            EXPECT_TRUE(FileExists(InFolder(dir_, "MIDI\\" + prefix + "_sa.mid")));
            EXPECT_TRUE(root.Exists("color_schemes[" + riff->GetValueText("color_scheme") + "]"));
            for (int i = 1; i <= 4; ++i)
                EXPECT_FALSE(riff->GetValueTextAt("info[#]", i).empty());
            EXPECT_GE(riff->GetCount("notegrp_before"), 5);
            EXPECT_GE(riff->GetCount("notegrp_after"), 5);

            // Every page has its picture, and its positions add up to the riff's steps.
            auto pages = Ids(*riff, "file_prefix");
            pages.insert(pages.begin(), "");
            int steps = 0;
            for (const std::string& page : pages) {
                const std::string pagePrefix = riff->GetValueTextByID("file_prefix[#]", page);
                EXPECT_TRUE(FileExists(InFolder(dir_, "Pics01\\" + pagePrefix + ".png"))) << pagePrefix;
                ASSERT_TRUE(riff->Exists("x" + page)) << page;
                const int count = riff->GetCount("x" + page);
                int previous = 0;
                for (int i = 1; i <= count; ++i) {
                    const int x = riff->GetIntegerAt("x" + page + "[#]", i);
                    EXPECT_GT(x, previous);
                    EXPECT_LE(x, 1000);
                    previous = x;
                }
                if (!page.empty()) {
                    EXPECT_EQ(std::stoi(page), steps + 1) << "a page's ID is its first step";
                }
                steps += count - 1;
            }
            EXPECT_EQ(riff->GetInteger("size"), steps);
        }
    }
}

TEST_F(DemoContent, BindingsNameKeysAndRiffsThatExist)
{
    TDVContext root;
    LoadDefaults(root);
    const auto keys = Ids(root, "keyboard.key");
    const std::set<std::string> keySet(keys.begin(), keys.end());
    for (const char* modifier : {"SHIFT", "ALT", "CTRL"})
        EXPECT_TRUE(keySet.count(modifier)) << modifier;
    // Key skins are read by position.
    const int skins = root.GetCount("keyboard.key_skins");
    EXPECT_GT(skins, 0);
    for (int i = 1; i <= skins; ++i)
        EXPECT_TRUE(FileExists(InFolder(dir_, "Pics01\\" + root.GetValueTextAt("keyboard.key_skins[#]", i) + ".png"))) << i;
    for (const std::string& scheme : Ids(root, "color_schemes"))
        for (const char* state : {"initial", "mouse", "pressed"})
            EXPECT_EQ(root.GetContextByID("color_schemes[#]", scheme)->GetCount(std::string(state) + ".fill_color"), 3);

    for (const std::string& id : Ids(root, "mode")) {
        TDVContext* mode = root.GetContextByID("mode[#]", id);
        const auto riffs = Ids(*mode, "riff");
        const std::set<std::string> riffSet(riffs.begin(), riffs.end());
        std::set<std::string> bound;
        for (const char* set : {"INITIAL_", "SHIFT_", "ALT_"}) {
            SCOPED_TRACE(id + " " + set);
            TDVContext* toggle = mode->GetContextByID("toggle[#]", set);
            const auto names = Ids(*toggle, "bind");
            EXPECT_FALSE(names.empty());
            for (const std::string& name : names) {
                EXPECT_TRUE(keySet.count(name)) << name;
                const std::string riff = toggle->GetValueTextByID("bind[#]", name);
                if (!riff.empty()) {
                    EXPECT_TRUE(riffSet.count(riff)) << riff;
                    bound.insert(riff);
                }
            }
        }
        EXPECT_EQ(bound, riffSet) << "every riff of " << id << " has a key";
    }
}

TEST_F(DemoContent, KeysFitTheKeyboardAreaApart)
{
    TDVContext root;
    LoadDefaults(root);
    TDVContext* keyboard = root.GetContext("keyboard");
    struct Box {
        std::string name;
        int left, top, right, bottom;
    };
    std::vector<Box> boxes;
    std::set<int> codes;
    for (const std::string& name : Ids(root, "keyboard.key")) {
        SCOPED_TRACE(name);
        TDVContext* key = keyboard->GetContextByID("key[#]", name);
        const Box box{name, key->GetInteger("left"), key->GetInteger("top"),
                      key->GetInteger("left") + key->GetInteger("width"), key->GetInteger("top") + key->GetInteger("height")};
        EXPECT_GE(box.left, 0);
        EXPECT_GE(box.top, demo::kRiffBarBottom) << "clear of the riff position bar";
        EXPECT_LT(box.right, 508);
        EXPECT_LT(box.bottom, 178);
        // A hit test includes the edges, so neighbours keep at least one pixel apart.
        for (const Box& other : boxes)
            EXPECT_TRUE(box.left > other.right || other.left > box.right || box.top > other.bottom ||
                        other.top > box.bottom) << "overlaps " << other.name;
        boxes.push_back(box);
        EXPECT_TRUE(codes.insert(key->GetInteger("scan_code")).second) << "one key per key code";
        EXPECT_FALSE(key->GetValueText("Caption").empty());
        EXPECT_EQ(key->GetValueText("state"), "initial");
    }
    for (const auto& [name, code] : std::map<std::string, int>{{"SHIFT", 16}, {"CTRL", 17}, {"ALT", 18}}) {
        EXPECT_EQ(keyboard->GetIntegerByID("key[#].scan_code", name), code) << name;
        EXPECT_EQ(keyboard->GetValueTextByID("key[#].slim", name), "1") << name;
    }
}

TEST_F(DemoContent, UserFileWrittenOnClosingLoadsBack)
{
    TDVContext root;
    LoadDefaults(root);
    root.SetString("settings.current_mode", "1");
    root.SetFloat("settings.groove_volume", 0.25f);
    root.SetStringAt("settings.SelectedRiff[#].Riff", "Turnaround", 1);
    root.SetStringAt("settings.SelectedRiff[#].Set", "shift", 1);
    root.SetIntegerAt("settings.RiffListColumnWidths[#]", 140, 2);
    TDVContext::SetBlockThreshold(1);
    TStringList lines;
    root.SaveTagToStrings("settings", lines);
    TDVContext::SetBlockThreshold(3);
    const fs::path ini = dir_ / "written.ini";
    lines.SaveToFile(ini.string());

    TDVContext again;
    LoadDefaults(again);
    ASSERT_NO_THROW(again.LoadFromFile(ini.string(), true));
    fs::remove(ini);
    EXPECT_EQ(again.GetValueText("settings.current_mode"), "1");
    EXPECT_FLOAT_EQ(again.GetFloat("settings.groove_volume"), 0.25f);
    EXPECT_EQ(again.GetValueTextAt("settings.SelectedRiff[#].Riff", 1), "Turnaround");
    EXPECT_EQ(again.GetValueTextAt("settings.SelectedRiff[#].Set", 1), "shift");
    EXPECT_EQ(again.GetIntegerAt("settings.RiffListColumnWidths[#]", 2), 140);
}

// Largest step between neighbouring frames of one channel, the step from the last frame back to
// the first included when `acrossSeam`.
int LargestStep(const TWaveBuffer& wave, int channel, bool acrossSeam)
{
    const auto* s = reinterpret_cast<const std::int16_t*>(wave.GetData(0));
    const std::uint32_t n = wave.GetFrames();
    int largest = 0;
    for (std::uint32_t i = 1; i < n; ++i)
        largest = std::max(largest, std::abs(s[2 * i + channel] - s[2 * (i - 1) + channel]));
    if (acrossSeam)
        return std::abs(s[channel] - s[2 * (n - 1) + channel]);
    return largest;
}

int Peak(const TWaveBuffer& wave)
{
    const auto* s = reinterpret_cast<const std::int16_t*>(wave.GetData(0));
    int peak = 0;
    for (std::uint32_t i = 0; i < 2 * wave.GetFrames(); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(s[i])));
    return peak;
}

double Rms(const TWaveBuffer& wave, std::uint32_t from, std::uint32_t frames)
{
    const auto* s = reinterpret_cast<const std::int16_t*>(wave.GetData(0));
    double sum = 0.0;
    for (std::uint32_t i = from; i < from + frames && i < wave.GetFrames(); ++i)
        sum += double(s[2 * i]) * s[2 * i];
    return std::sqrt(sum / frames);
}

TEST_F(DemoContent, OneLineAskingForMillionsOfEntriesMakesTheDefaultsABrokenFile)
{
    const fs::path overgrown = dir_ / "Overgrown.DEF";
    std::ofstream(overgrown, std::ios::binary)
        << Content(dir_ / "Korvane.DEF") << "\nmode[1-3000].riff[1-3000].title=\"x\"\n";
    TDVContext root;
    std::string message;
    try {
        root.LoadFromFile(overgrown.string(), true);
    } catch (const Exception& e) {
        message = e.what();
    }
    EXPECT_NE(message.find("Configuration text too large"), std::string::npos) << message;
    EXPECT_NE(message.find("; File=" + overgrown.string()), std::string::npos) << message;
}

TEST_F(DemoContent, WavesLoadAsWholeBarLoops)
{
    using namespace demo;
    for (const DemoMode& mode : DemoModes()) {
        SCOPED_TRACE(mode.id);
        TWaveContainer container;
        ASSERT_NO_THROW(container.AddWaveFromFile(InFolder(dir_, "wavs\\" + mode.grooveFile), "groove"));
        const TWaveBuffer* groove = container.GetWave("groove");
        EXPECT_EQ(groove->GetFormat().nSamplesPerSec, 44100u);
        EXPECT_EQ(groove->GetFormat().wBitsPerSample, 16);
        EXPECT_EQ(groove->GetFormat().nChannels, 2);
        const std::uint32_t bar = static_cast<std::uint32_t>(StepFrames(mode) * kStepsPerBar);
        EXPECT_EQ(groove->GetFrames(), bar * kGrooveBars);
        // The bar counter divides the groove's milliseconds by its bars: whole milliseconds per bar.
        EXPECT_EQ(bar * 1000u % 44100u, 0u);
        for (int channel = 0; channel < 2; ++channel)
            EXPECT_LE(LargestStep(*groove, channel, true), LargestStep(*groove, channel, false)) << "seam";
        for (const DemoRiff& riff : mode.riffs) {
            SCOPED_TRACE(riff.id);
            ASSERT_NO_THROW(container.AddWaveFromFile(InFolder(dir_, "wavs\\" + riff.prefix + ".wav"), riff.id));
            const TWaveBuffer* wave = container.GetWave(riff.id);
            EXPECT_EQ(wave->GetFrames(), bar * static_cast<std::uint32_t>(riff.bars));
            const std::uint32_t longer = std::max(groove->GetFrames(), wave->GetFrames());
            EXPECT_EQ(longer % std::min(groove->GetFrames(), wave->GetFrames()), 0u)
                << "a locked riff wraps with the groove";
            // Groove and riff at full volume stay below the mixer's saturation.
            EXPECT_LE(Peak(*groove) + Peak(*wave), 16383);
        }
    }
}

struct SoundingNote {
    std::uint32_t on;
    std::uint32_t off;
    int note;
};

std::vector<SoundingNote> NotesOf(const MIDIData& midi)
{
    std::vector<SoundingNote> notes;
    for (std::size_t t = 0; t < midi.GetTrackCount(); ++t) {
        const MIDITrack* track = midi.GetTrack(t);
        for (const MIDIEvent* e = track->NextEvent(nullptr); e; e = track->NextEvent(e)) {
            if (e->GetType() == 0x90)
                notes.push_back({e->GetTick(), 0, e->GetData1()});
            else if (e->GetType() == 0x80)
                for (auto& n : notes)
                    if (n.note == e->GetData1() && n.off == 0)
                        n.off = e->GetTick();
        }
    }
    return notes;
}

// The strongest period between 40 and 1200 Hz by normalised autocorrelation, as a frequency;
// the shortest lag that comes close to the best one, so an octave below is not taken.
double PitchAt(const TWaveBuffer& wave, std::uint32_t from, std::uint32_t frames)
{
    const auto* s = reinterpret_cast<const std::int16_t*>(wave.GetData(0));
    std::vector<double> r;
    const int minLag = 44100 / 1200, maxLag = 44100 / 40;
    for (int lag = minLag; lag <= maxLag; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (std::uint32_t i = from; i < from + frames; ++i) {
            const double x = s[2 * i], y = s[2 * (i + lag)];
            xy += x * y;
            xx += x * x;
            yy += y * y;
        }
        r.push_back(xy / std::sqrt(xx * yy + 1e-9));
    }
    const double best = *std::max_element(r.begin(), r.end());
    for (std::size_t k = 0; k < r.size(); ++k)
        if (r[k] >= 0.9 * best && (k + 1 >= r.size() || r[k] >= r[k + 1]))
            return 44100.0 / (minLag + static_cast<int>(k));
    return 0.0;
}

TEST_F(DemoContent, RiffWavesSoundTheirMidiNotes)
{
    using namespace demo;
    int checkedPitches = 0;
    for (const DemoMode& mode : DemoModes())
        for (const DemoRiff& riff : mode.riffs) {
            SCOPED_TRACE(riff.id);
            TWaveContainer container;
            container.AddWaveFromFile(InFolder(dir_, "wavs\\" + riff.prefix + ".wav"), "riff");
            const TWaveBuffer* wave = container.GetWave("riff");
            MIDIData midi;
            ASSERT_TRUE(midi.LoadFromFile(InFolder(dir_, "MIDI\\" + riff.prefix + ".mid")));
            const double framesPerTick = double(StepFrames(mode)) / kTicksPerStep;
            const auto notes = NotesOf(midi);
            ASSERT_FALSE(notes.empty());
            for (const SoundingNote& n : notes) {
                const auto at = static_cast<std::uint32_t>(n.on * framesPerTick);
                EXPECT_GT(Rms(*wave, at + 200, 2205), 300.0) << "note at tick " << n.on;
                // Alone on the string set, a note's pitch can be measured.
                const bool alone = std::none_of(notes.begin(), notes.end(), [&](const SoundingNote& o) {
                    return &o != &n && o.on < n.off && o.off > n.on;
                });
                if (!alone)
                    continue;
                const double expected = 440.0 * std::pow(2.0, (n.note - 69) / 12.0);
                const double measured = PitchAt(*wave, at + 2000, 4096);
                EXPECT_NEAR(measured / expected, 1.0, 0.03) << "note " << n.note << " at tick " << n.on;
                ++checkedPitches;
            }
        }
    EXPECT_GT(checkedPitches, 20);
}

TEST_F(DemoContent, MidiFilesDriveTheFretboardAndStopAtTheMarker)
{
    using namespace demo;
    for (const DemoMode& mode : DemoModes()) {
        const auto open = OpenStrings(mode);
        for (const DemoRiff& riff : mode.riffs)
            for (const std::string& name : {riff.prefix + ".mid", riff.prefix + "_sa.mid"}) {
                SCOPED_TRACE(name);
                MIDIData midi;
                ASSERT_TRUE(midi.LoadFromFile(InFolder(dir_, "MIDI\\" + name)));
                EXPECT_EQ(midi.GetDivision(), kDivision);
                ASSERT_FALSE(midi.GetTempoEvents().empty());
                EXPECT_EQ(midi.GetTempoEvents().front().tick, 0u) << "the player needs a tempo at tick 0";
                EXPECT_EQ(midi.GetTempoEvents().front().tempo, static_cast<std::uint32_t>(TempoMicroseconds(mode)));
                std::map<int, std::uint32_t> spotChosen;  // channel -> tick of its last spot picture choice
                int notes = 0;
                const MIDIEvent* last = nullptr;
                for (std::size_t t = 0; t < midi.GetTrackCount(); ++t)
                    for (const MIDIEvent* e = midi.GetTrack(t)->NextEvent(nullptr); e; e = midi.GetTrack(t)->NextEvent(e)) {
                        last = e;
                        const int channel = e->GetChannel();
                        EXPECT_GE(channel, kFirstDisplayChannel);
                        EXPECT_LE(channel, 15);
                        const int string = channel - kFirstDisplayChannel;
                        if (e->GetType() == 0xB0) {
                            EXPECT_EQ(e->GetData1(), kMarkerController);
                            if (e->GetData2() >= kSpotPictureBase && e->GetData2() < kStopMarkerValue) {
                                EXPECT_LT(e->GetData2() - kSpotPictureBase, kSpotPictures) << "a spot picture exists";
                                spotChosen[channel] = e->GetTick();
                            }
                        } else if (e->GetType() == 0x90) {
                            ++notes;
                            const int fret = e->GetData1() - open[static_cast<std::size_t>(string)];
                            EXPECT_GE(fret, 0);
                            EXPECT_LT(fret, 25);
                            ASSERT_TRUE(spotChosen.count(channel));
                            EXPECT_EQ(spotChosen[channel], e->GetTick()) << "each note chooses its spot picture";
                        }
                    }
                EXPECT_EQ(notes, static_cast<int>(riff.notes.size()));
                ASSERT_NE(last, nullptr);
                EXPECT_EQ(last->GetType(), 0xB0);
                EXPECT_EQ(last->GetData1(), kMarkerController);
                EXPECT_EQ(last->GetData2(), kStopMarkerValue);
                EXPECT_EQ(last->GetTick(), static_cast<std::uint32_t>(riff.bars * kStepsPerBar * kTicksPerStep));
            }
    }
}

TEST_F(DemoContent, SkinPicturesLoadAtTheirPlacedSizes)
{
    for (const demo::SkinPicture& picture : demo::SkinPictures()) {
        SCOPED_TRACE(picture.file);
        const std::string name = ResolveFileName(InFolder(dir_, "Pics01\\" + picture.file));
        PixImage image(name.c_str(), 0);
        ASSERT_TRUE(image.IsValid()) << image.GetLastError();
        EXPECT_EQ(image.GetWidth(), picture.width);
        EXPECT_EQ(image.GetHeight(), picture.height);
    }
}

TEST_F(DemoContent, NothingIsDrawnUnderTheRiffPositionBar)
{
    // The bar spans board x 8 to 1008 over the tops of the keyboard area (board x 0) and the
    // animation area (board x 508): there the pictures hold only their plain background rows.
    for (const auto& [file, from, to] : {std::tuple{"KeyboardArea.png", 8, 508}, {"AnimationArea.png", 0, 500}}) {
        SCOPED_TRACE(file);
        const QImage area(QString::fromStdString((dir_ / "Pics01" / file).string()));
        ASSERT_FALSE(area.isNull());
        for (int y = 2; y < demo::kRiffBarBottom; ++y)
            for (int x = from; x < to; ++x)
                ASSERT_EQ(area.pixel(x, y), area.pixel(from, y)) << x << "," << y;
    }
}

TEST_F(DemoContent, ButtonStatesLookDifferent)
{
    for (const demo::SkinButton& button : demo::SkinButtons()) {
        SCOPED_TRACE(button.stem);
        std::vector<QImage> states;
        for (const std::string& state : demo::ButtonStates(button))
            states.emplace_back(QString::fromStdString((dir_ / "Pics01" / (button.stem + state + ".png")).string()));
        for (std::size_t i = 0; i < states.size(); ++i)
            for (std::size_t j = i + 1; j < states.size(); ++j) {
                int differing = 0;
                for (int y = 0; y < states[i].height(); ++y)
                    for (int x = 0; x < states[i].width(); ++x)
                        differing += states[i].pixel(x, y) != states[j].pixel(x, y);
                EXPECT_GT(differing, states[i].width() * states[i].height() / 3) << i << " vs " << j;
            }
    }
}

// "Print all riffs" opens the mode's document: the groove file's name up to its first "." and
// "pdf", in the skin folder.
TEST_F(DemoContent, EachModeHasItsPrintableDocument)
{
    TDVContext root;
    LoadDefaults(root);
    for (const std::string& id : Ids(root, "mode")) {
        const std::string groove = root.GetContextByID("mode[#]", id)->GetValueText("groove_file");
        const std::string name = groove.substr(0, groove.find('.') + 1) + "pdf";
        const std::string pdf = Content(fs::path(ResolveFileName(InFolder(dir_, "Pics01\\" + name))));
        EXPECT_EQ(pdf.substr(0, 5), "%PDF-") << name;
        EXPECT_NE(pdf.find("/Type /Page"), std::string::npos) << name;
    }
}

TEST_F(DemoContent, VideosForEveryRiffAndTheTutorialPlacements)
{
    TDVContext root;
    LoadDefaults(root);
    int overrides = 0;
    int inverted = 0;
    for (const std::string& modeId : Ids(root, "mode")) {
        TDVContext* mode = root.GetContextByID("mode[#]", modeId);
        for (const std::string& riffId : Ids(*mode, "riff")) {
            TDVContext* riff = mode->GetContextByID("riff[#]", riffId);
            const std::string prefix = riff->GetValueText("file_prefix");
            const std::string named = riff->GetValueText("file_override_video");
            overrides += !named.empty();
            EXPECT_TRUE(FileExists(InFolder(dir_, "video\\" + prefix + ".wmv"))) << riffId;
            EXPECT_TRUE(named.empty() || FileExists(InFolder(dir_, "video\\" + named))) << named;
            inverted += FileExists(InFolder(dir_, "video\\" + prefix + "_180.wmv"));
        }
    }
    EXPECT_EQ(overrides, 1);
    EXPECT_EQ(inverted, 1);

    // Sizes 1 (centred) to 4, and one entry whose file is missing.
    std::set<int> sizes;
    int missing = 0;
    for (const std::string& id : Ids(root, "general.VideoHelp")) {
        TDVContext* entry = root.GetContextByID("general.VideoHelp[#]", id);
        const int size = entry->GetInteger("Size");
        sizes.insert(size);
        if (size == 1) {
            EXPECT_EQ(entry->GetInteger("Left"), -1);
        }
        missing += !FileExists(InFolder(dir_, "video\\" + entry->GetValueText("FileName")));
        EXPECT_FALSE(entry->GetValueText("Description").empty());
    }
    EXPECT_EQ(sizes, (std::set<int>{1, 2, 3, 4}));
    EXPECT_EQ(missing, 1);
    // The video window's bar, with its close button.
    for (const char* picture : {"PlayVideoInitial.png", "CloseVideoMouse.png", "SliderInitial.png", "ScrollbarLeft.png"})
        EXPECT_TRUE(FileExists(InFolder(dir_, std::string("Pics01\\") + picture))) << picture;
}

// The help's hot-key table is the program's: a row for every hot key, and in each cell the same
// words exactly where the program does the same thing (the sender aside).
TEST_F(DemoContent, HelpListsEveryHotKeyOfTheProgram)
{
    using Cells = std::array<std::string, 4>;  // alone, Shift, Alt, Ctrl
    std::map<std::string, Cells> help;
    std::istringstream text(Content(dir_ / "korvane.hlp"));
    bool inTable = false;
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("  Key ", 0) == 0) {
            inTable = true;
        } else if (inTable && line.empty()) {
            break;
        } else if (inTable) {
            auto cut = [&line](std::size_t at, std::size_t width) {
                std::string cell = at < line.size() ? line.substr(at, width) : "";
                cell.erase(cell.find_last_not_of(' ') + 1);
                return cell;
            };
            Cells& cells = help[cut(demo::kHotKeyIndent, demo::kHotKeyNameWidth)];
            for (std::size_t c = 0; c < cells.size(); ++c)
                cells[c] = cut(demo::kHotKeyIndent + demo::kHotKeyNameWidth + c * demo::kHotKeyCellWidth,
                               demo::kHotKeyCellWidth);
        }
    }

    const std::array<TShiftState, 4> shifts = {0, ssShift, ssAlt, ssCtrl};
    std::map<std::pair<THotKeyCommand, int>, std::string> wordsOf;
    std::set<std::string> used;
    std::size_t hotKeys = 0;
    for (unsigned code = 1; code <= 0xFF; ++code) {
        const std::string name = demo::HotKeyName(std::uint16_t(code));
        bool hot = false;
        for (std::size_t c = 0; c < shifts.size(); ++c) {
            const THotKeyCell cell = HotKeyTable::Lookup(std::uint16_t(code), shifts[c]);
            if (cell.command == THotKeyCommand::None)
                continue;
            hot = true;
            SCOPED_TRACE(name + " column " + std::to_string(c));
            ASSERT_TRUE(help.count(name)) << "hot key " << code << " is missing";
            const std::string& words = help[name][c];
            const auto [at, added] = wordsOf.emplace(std::pair(cell.command, cell.argument), words);
            EXPECT_EQ(at->second, words) << "one command, two texts";
            EXPECT_TRUE(!added || used.insert(words).second) << "two commands, one text: " << words;
        }
        hotKeys += hot;
    }
    EXPECT_EQ(help.size(), hotKeys) << "a row for a key that is no hot key";

    // The cells of the commands reached only with a modifier held.
    struct Expected {
        const char* key;
        std::size_t column;
        const char* words;
    };
    const Expected expected[] = {
        {"F1", 1, "tutorial videos"}, {"F2", 1, "riff list"},         {"F8", 1, "half speed"},
        {"F4", 2, "quit"},            {"F9", 2, "play riff (held)"},  {"F10", 2, "step half bars"},
        {"F11", 2, "step quarter bars"}, {"F12", 2, "step eighth bars"}, {"F10", 3, "step note groups"},
        {"F11", 3, "step whole bars"}, {"F12", 3, "next clip"},       {"Space", 1, "rhythm volume -"},
    };
    for (const Expected& e : expected)
        EXPECT_EQ(help[e.key][e.column], e.words) << e.key << " column " << e.column;
}

TEST(DemoContentRuns, SameBytesEveryRun)
{
    const auto first = RunGenerator();
    const auto second = RunGenerator();
    const fs::path& a = first->Path();
    const fs::path& b = second->Path();
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(a))
        if (entry.is_regular_file())
            files.push_back(fs::relative(entry.path(), a));
    EXPECT_GT(files.size(), 100u);
    std::size_t inSecond = 0;
    for (const auto& entry : fs::recursive_directory_iterator(b))
        inSecond += entry.is_regular_file();
    EXPECT_EQ(inSecond, files.size());
    for (const fs::path& file : files)
        EXPECT_EQ(Content(a / file), Content(b / file)) << file.string();
}

} // namespace
