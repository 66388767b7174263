#pragma once
// The main window: a fixed 1016 x 710 board of skinned areas and picture buttons (built from the
// skin folder "Pics01\"), the start-up that loads the settings, sets up the sound and the
// environment, the game mode loading, the transport (Play, Pause, Stop) and the two timers that
// drive the environment and the bar display; the key road (computer keys and the on-screen keyboard
// start and stop riffs), the sound and MIDI notifications that drive the fretboard and the
// transcription, clips, and the riff navigation. It owns the MIDI player, the environment, the
// keyboard and its bindings, the riff history and clips, and the per-mode riff records.
//
// Thread: GUI thread only; the sound engine's threads reach it only through the messages posted
// to Handle(). Ownership: the window owns every control (through GlobalPanel), the timers, the
// player, the environment and its skin pictures; the configuration root is borrowed from the
// settings holder. Failure: handlers show their errors in message boxes; a failure the program
// cannot go on from (skin, sound set-up, mode load) ends it through EndProgram (ProgramEnd.h).
#include <QPixmap>
#include <QWidget>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/keyboard/KeyBindings.h"
#include "app/keyboard/OnScreenKeyboard.h"
#include "app/riffs/RiffClips.h"
#include "app/riffs/RiffHistory.h"
#include "app/riffs/RiffStruct.h"
#include "platform/ui/TControl.h"
#include "platform/ui/TKeyEventRouter.h"
#include "platform/ui/TShiftState.h"
#include "platform/system/TStringList.h"
#include "platform/ui/WindowMessages.h"

class Player;
class TBitmap;
class TDVContext;
class THVList;
class THVPanel;
class THVSlider;
class TImage;
class TKorvaneEnv;
class TLabel;
class TPanel;
class TVideoTutorialForm;
class TRiffListDlg;
class TPicture;
class TTimer;
class TBusyFrm;
class TPrintForm;
class TSplashScreen;
class TSettingsForm;
struct settings_t;

// Message numbers of the main window's dispatch.
constexpr UINT WM_WAVESCENE_NOTIFY = WM_USER;      // wave-scene notifications queued
constexpr UINT WM_MIDI_SCHEDULE_END = WM_APP + 100;  // the player's schedule ended
constexpr UINT WM_MIDI_EVENT = WM_APP + 101;       // one reported MIDI event

class TKorvaneForm : public QWidget {
    Q_OBJECT

public:
    // appPath: the content folder (with a trailing separator); empty: the executable's folder.
    // Creates the controls (in their design state), the timers (disabled) and the player; sets
    // _app_path and _ImagesDir.
    explicit TKorvaneForm(QWidget* owner = nullptr, const std::string& appPath = {});
    ~TKorvaneForm() override;

    // ---- start-up and shutdown ----
    void FormCreate(TObject* sender);
    // The start-up after all forms exist: settings, sound, skin, environment, modes, timers.
    // Returns early when a step ended the program (EndRequested()).
    void InitApplication();
    // First activation only: hints, the riff list's column fonts, the tutorial video list.
    void FormActivate(TObject* sender);
    // Stores the per-mode selections into "settings" and writes "Korvane.INI". A failed write is
    // shown; it never keeps the window from closing.
    void FormClose();
    // Writes the "settings" context to fileName, atomically (a temporary file of this save's own
    // renamed over it). Throws Exception "Cannot create file \"<name>\": <the system's reason>"
    // when it cannot be written.
    void SaveSettings(const std::string& fileName);
    // A user's change of a setting: while the user file is held (the defaults did not load) it
    // will not be written, and the user is told so once per run, after the event in hand.
    void SettingChanged();
    void FormResize();
    // Raises a proposed client size to at least the global panel's.
    void FormCanResize(int& newWidth, int& newHeight);
    void FormPaint();
    // The window-message map of Handle().
    void Dispatch(TMessage& message);
    // Receives the messages of the sound engine's threads; valid while the window lives.
    [[nodiscard]] HWND Handle() const { return handle_; }

    // True once a step ended the program (the end handler returned: tests); start-up stops there.
    [[nodiscard]] bool EndRequested() const { return endRequested_; }

    // ---- skin and layout ----
    void PlaceControls();
    // Loads every picture of the skin; a missing required picture ends the program with the
    // layout message.
    void InitLayout();

    // ---- game modes ----
    void LoadGame(int modeIndex, bool reload);
    void SelectRiff(const std::string& riff, TShiftState set);
    void CurrentModeClick(TObject* sender);
    void ModeListMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void ModeListChange(TObject* sender);
    void ShowRiff(const std::string& riff);
    void HideRiff();

    // ---- keys and the on-screen keyboard ----
    // Rebuilds the active binding set for the held modifiers plus the on-screen ones.
    void BuildKeyBindings(TShiftState shift);
    // The window's keys (every key of its controls is previewed here); key becomes 0 when used.
    void FormKeyDown(TObject* sender, std::uint16_t& key, TShiftState shift);
    void FormKeyUp(TObject* sender, std::uint16_t& key, TShiftState shift);
    void PressKey(const std::string& name);
    void ReleaseKey(const std::string& name);
    // The bound key under a point of the keyboard image; "" for none.
    [[nodiscard]] std::string KeyAtPoint(int x, int y) const;
    void KeyboardAreaImageMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void KeyboardAreaImageMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void KeyboardAreaImageMouseMove(TObject* sender, TShiftState shift, int x, int y);
    // Mouse moves off the keyboard: a hovered key returns to "initial" once.
    void AnimationAreaImageMouseMove(TObject* sender, TShiftState shift, int x, int y);
    // The application lost the focus: every held riff key is released.
    void ApplicationEvents1Deactivate(TObject* sender);
    // The keyboard comes back from another window (a dialog, a message box, a video) or from a
    // window manager's grab, which took the key-ups: no hot key stays held, a riff held by the
    // play-riff hot key ends, the held keys are released and the binding set follows the
    // modifiers the keyboard holds now.
    void ResyncKeyRoad();
    void RefreshKeyStates();
    void RefreshHover();
    void DrawKeyboard();
    void SetModifierKeysFromShift(TShiftState shift);
    void StepBindingSet(int step);
    // The hot key that keeps the sounding riff after its key-up, until the next key press.
    void LatchSoundingKey();
    [[nodiscard]] const OnScreenKeyboard& Keyboard() const { return keyboard_; }
    [[nodiscard]] const KeyBindings& Bindings() const { return bindings_; }

    // ---- riffs: triggering, stopping, notifications ----
    // Starts the riff's instance locked to the groove, quantised (Ctrl) or at once; the riff
    // becomes the current one and enters the history. The configuration's Exception passes
    // through for a riff the mode does not have.
    void TriggerRiff(const std::string& riff, TShiftState shift);
    // Fades the riff out (or drops it from its start delay), stops the player, "MIDIOFF".
    void StopRiff(const std::string& riff);
    void RemoveRiffSound(const std::string& riff);
    // Plays the current riff, or stops it when it sounds or sender is null.
    void PlayRiffButtonClick(TObject* sender);
    void OnSceneMessage();
    // Starts the current riff's MIDI (or its clip's) at positionMs of its wave.
    void PositionToClip(RiffStruct& record, int positionMs);
    void OnMidiNote(LPARAM message);
    void OnMidiOff();
    [[nodiscard]] const std::string& SoundingRiff() const { return soundingRiff_; }
    [[nodiscard]] const RiffHistory& History() const { return history_; }

    // ---- riff MIDI and clips ----
    // Throws Exception "Error while loading Midi file: <file>".
    void LoadRiffMidi(RiffStruct& record);
    // The number of clips built; 0 without a current riff or a usable MIDI file.
    int BuildRiffClips();
    void ClearRecordedEvents();
    void SetStepAdvance(int step);
    void PlayClipButtonClick(TObject* sender);
    void NextClipButtonClick(TObject* sender);
    void PrevClipButtonClick(TObject* sender);
    void OnClipEnd();
    [[nodiscard]] const RiffClips& Clips() const { return clips_; }

    // ---- navigation and the transcription ----
    // Each works only with a null sender (the buttons act on mouse-down).
    void PrevRiffButtonClick(TObject* sender);
    void NextRiffButtonClick(TObject* sender);
    void HistoryPrevRiffButtonClick(TObject* sender);
    void HistoryNextRiffButtonClick(TObject* sender);
    void UpdatePageButtons(bool force);
    void RMP_PrevButtonClick(TObject* sender);
    void RMP_NextButtonClick(TObject* sender);
    // A click on the transcription (or on the riff position bar) plays the riff from there.
    void RiffPositionBkgMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);

    // ---- transport and timers ----
    void PlayButtonClick(TObject* sender);
    void PauseButtonClick(TObject* sender);
    void StopButtonClick(TObject* sender);
    void SetPaused(bool paused);
    [[nodiscard]] bool IsPaused() const;
    void MainTimerTimer(TObject* sender);
    void EventsTimerTimer(TObject* sender);
    void MsgTimerTimer(TObject* sender);
    // The bar label's text for a groove position (ms): "Bar " + 1..4, empty when size or the
    // groove length gives no bar.
    [[nodiscard]] static std::string BarText(double positionMs, int size, double grooveLengthMs);
    // The bar marker's x for a groove position (ms) on a bar display of the given width.
    [[nodiscard]] static int BarMarkerX(double positionMs, int size, double grooveLengthMs, int width);
    [[nodiscard]] int PositionToIndex(float positionMs);
    [[nodiscard]] int FindNotationPosition() const;
    void UpdateNotationWindow(int page);

    // ---- control panel commands ----
    // The riff video of the current riff (both video buttons, F6).
    void VideoButtonClick(TObject* sender);
    // The tutorial video list, then the chosen video, until the list is closed.
    void TutorialVideoButtonClick(TObject* sender);
    // Plays a riff's video (its override file, else its file prefix + ".wmv"); nothing for a
    // missing file.
    void ShowRiffVideo(const std::string& riff);
    // Toggles half speed for the groove, the sounding riff and the MIDI player.
    void HalfSpeedButtonClick(TObject* sender);
    // The riff list dialog; the chosen riff becomes the current one on OK.
    void RiffListButtonClick(TObject* sender);
    // Renders the recorded performance into a WAV file chosen in the render dialog.
    void WaveButtonClick(TObject* sender);
    // The print dialog: the mode's PDF, or the current riff's page.
    void PrintButtonClick(TObject* sender);
    void FretboardAreaImageMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    // The hot-key table: true when the key (with the held modifiers) reached a command.
    bool HotkeyCommand(std::uint16_t key, TShiftState shift);
    void SettingsButtonClick(TObject* sender);
    void HelpClick(TObject* sender);
    void VolumeControlClick(TObject* sender);
    void AboutButtonClick(TObject* sender);
    [[nodiscard]] TSettingsForm* SettingsForm() const { return settingsForm_.get(); }

    // ---- volume ----
    void RiffVolumeChange(TObject* sender);
    void MelodyVolumeChange(TObject* sender);

    // ---- state the other parts of the window share ----
    [[nodiscard]] TDVContext* Root() const { return root_; }
    [[nodiscard]] TKorvaneEnv* Env() const { return env_.get(); }
    [[nodiscard]] Player* MidiPlayer() const { return player_.get(); }
    [[nodiscard]] bool Loading() const { return loading_; }
    [[nodiscard]] bool Playing() const { return playing_; }
    [[nodiscard]] std::uint8_t Busy() const { return busy_; }
    [[nodiscard]] double GrooveLength() const { return grooveLength_; }
    [[nodiscard]] const std::vector<RiffStruct>& ModeRecords() const { return modeRecords_; }
    [[nodiscard]] RiffStruct* CurrentRecord();
    [[nodiscard]] int CurrentModeIndex() const;
    [[nodiscard]] const std::string& RiffLastShown() const { return riffLastShown_; }
    [[nodiscard]] bool RmpAutoswitch() const { return RMP_Autoswitch; }
    [[nodiscard]] const std::array<int, 6>& CurrentTuning() const { return currentTuning_; }
    [[nodiscard]] int LoadedModeIndex() const { return loadedModeIndex_; }
    [[nodiscard]] bool Recording() const { return recording_; }
    [[nodiscard]] const TStringList& KeySkinNames() const { return keySkinNames_; }
    [[nodiscard]] TPicture* BackgroundPicture() const { return background_.get(); }
    [[nodiscard]] TPicture* KeyboardBackground() const { return keyboardBackground_.get(); }

    // ---- controls ----
    TPanel* GlobalPanel = nullptr;
    TPanel* ControlPanel = nullptr;
    TImage* ControlImage = nullptr;
    THVPanel* KorvaneButton = nullptr;
    THVPanel* CurrentMode = nullptr;
    THVPanel* AboutButton2 = nullptr;
    THVPanel* SettingsButton = nullptr;
    THVPanel* VolumeControl = nullptr;
    THVPanel* HelpButton = nullptr;
    THVPanel* TutorialVideoButton = nullptr;
    THVPanel* AboutButton = nullptr;
    THVPanel* PlayButton = nullptr;
    THVPanel* StopButton = nullptr;
    THVPanel* PauseButton = nullptr;
    THVPanel* WaveButton = nullptr;
    THVSlider* MelodyVolume = nullptr;
    THVSlider* RiffVolume = nullptr;
    THVPanel* VideoButton = nullptr;
    THVPanel* PrintButton = nullptr;
    THVList* ModeList = nullptr;
    TPanel* FretboardAreaPanel = nullptr;
    TImage* FretboardAreaImage = nullptr;
    TPanel* NotationAreaPanel = nullptr;
    TImage* NotationAreaImage = nullptr;
    THVPanel* RMP_PrevButton = nullptr;
    THVPanel* RMP_NextButton = nullptr;
    TPanel* KeyboardAreaPanel = nullptr;
    TImage* KeyboardAreaImage = nullptr;
    TPanel* AnimationAreaPanel = nullptr;
    TImage* AnimationAreaImage = nullptr;
    TLabel* BarLabel = nullptr;
    TPanel* BarPositionBkg = nullptr;
    TImage* BarPosImg = nullptr;
    THVPanel* VideoButton2 = nullptr;
    THVPanel* PlayRiffButton = nullptr;
    THVPanel* RiffListButton = nullptr;
    THVPanel* HalfSpeedButton = nullptr;
    THVPanel* PrevRiffButton = nullptr;
    THVPanel* NextRiffButton = nullptr;
    THVPanel* PlayClipButton = nullptr;
    THVPanel* HistoryPrevRiffButton = nullptr;
    THVPanel* HistoryNextRiffButton = nullptr;
    THVPanel* PrevClipButton = nullptr;
    THVPanel* NextClipButton = nullptr;
    TPanel* RiffPositionBkg = nullptr;
    TLabel* RiffPosition = nullptr;
    TLabel* MessageLabel = nullptr;
    TTimer* MainTimer = nullptr;
    TTimer* EventsTimer = nullptr;
    TTimer* MsgTimer = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void BindEvents();
    void LoadSettings();
    void ApplyPreferenceVisibility();
    // The preferences' reset reloaded the tree: fetch every pointer into it again.
    void RenewConfigurationPointers();
    // Shows that the settings will not be saved; waits for the mouse buttons to come up first.
    void TellSettingsNotSaved();
    void SetVolumeSliders();
    void ClearClips();
    void BindKeyRoad();
    // The key road's seam for the router: a key-down or key-up; true when the key was consumed.
    bool RouteKey(const TKeyRoute& route);
    // The hot-key table's seam: keys outside the binding set.
    void HotKeyDown(std::uint16_t& key, TShiftState shift);
    // ResyncKeyRoad once the event loop runs again: after the handler that showed the window has
    // finished, once however many windows closed meanwhile.
    void QueueKeyRoadResync();
    void SetRiffRate(const std::string& riff);
    void PlayCurrentClip();
    // The play-riff button's start of the current riff, at its current page.
    void PlayCurrentRiff();
    // Stops the player and the displays, then starts the riff's MIDI where its instance is, less
    // renderedAheadMs (how far the mixer rendered past the reported moment).
    void StartRiffMidi(RiffStruct& record, std::uint32_t renderedAheadMs);
    // The fretboard's display options from the settings context.
    void ApplyDisplaySettings(TDVContext* settings);
    void DrawBarMarker(int x);
    void PaintBeneathBarLabel();
    void DrawRiffPosition();
    // The x of a riff position on the page shown; with followPage (and the page autoswitch) the
    // page that holds it is shown first.
    [[nodiscard]] int RiffPositionX(RiffStruct& record, float positionMs, bool followPage);
    void SetButtonPictures(THVPanel* button, const std::string& stem, bool optional, bool checked,
                           const std::string& mouseDownStem = {});
    void SelectFirstRiff();
    void LoadModeWaves(int modeIndex, TDVContext* mode);
    [[nodiscard]] std::string ImageFile(const std::string& name) const;
    [[nodiscard]] TDVContext* Settings() const;
    [[nodiscard]] static std::uint32_t NowSeconds();
    // Ends the program (ProgramEnd) after switching the timers off; the caller returns at once.
    void Halt(int code);

    std::unique_ptr<TPanel> globalPanel_;
    std::unique_ptr<TTimer> mainTimer_;
    std::unique_ptr<TTimer> eventsTimer_;
    std::unique_ptr<TTimer> msgTimer_;
    HWND handle_ = nullptr;

    bool RMP_Autoswitch = false;
    std::vector<int> heldHotKeys_;
    bool resyncQueued_ = false;  // a ResyncKeyRoad waits for the event loop
    std::unique_ptr<Player> player_;
    bool playing_ = false;
    std::unique_ptr<TSettingsForm> settingsForm_;
    std::uint32_t lastTickTime_ = 0;
    std::uint8_t busy_ = 0;
    std::vector<RiffStruct> modeRecords_;
    std::string riffLastShown_;
    std::string soundingRiff_;
    double grooveLength_ = 0;
    bool loading_ = true;
    std::map<std::string, bool> riffsInScene_;
    std::unique_ptr<TKorvaneEnv> env_;
    OnScreenKeyboard keyboard_;
    KeyBindings bindings_{keyboard_};
    TKeyEventRouter keyRouter_{[this](const TKeyRoute& route) { return RouteKey(route); }};
    RiffHistory history_;
    RiffClips clips_;
    std::string loadedMidiKey_;  // riff name + step of the MIDI files in the current record
    std::set<std::string> failedMidiFiles_;  // riff MIDI files that failed since the mode loaded
    std::string pageButtonsKey_ = "&";

    // Skin.
    std::unique_ptr<TPicture> background_;
    QPixmap backgroundTile_;  // the background picture as the window paints it
    std::unique_ptr<TPicture> keyboardBackground_;
    TStringList keySkinNames_;
    std::vector<std::unique_ptr<TBitmap>> keySkins_;

    TDVContext* root_ = nullptr;
    int loadedModeIndex_ = -1;
    std::array<int, 6> currentTuning_ = {64, 59, 55, 50, 45, 40};
    bool recording_ = false;
    int barMarkerX_ = -1;
    bool activated_ = false;
    bool endRequested_ = false;
    int endStep_ = 0;
    bool toldSettingsNotSaved_ = false;
};

// Globals of the main window's unit.
extern std::string _app_path;   // content folder, with its trailing separator
extern std::string _ImagesDir;  // _app_path + "Pics01\"
extern int _AudioBufferMs;      // the audio buffer length chosen at start-up
extern TKorvaneForm* _KorvaneForm;
extern Player* _MidiPlayer;     // the main window's player, for the other units
extern settings_t* _Settings;   // the settings holder, set by the start-up
extern TBusyFrm* _BusyFrm;      // the busy window; null leaves mode loads without one
extern TSplashScreen* _SplashScreen;  // null: the start-up shows no splash
extern TPrintForm* _PrintForm;
extern TVideoTutorialForm* _VideoTutorialForm;  // null: first activation fills no tutorial list
extern TRiffListDlg* _RiffListDlg;  // null: first activation sets up no riff list
