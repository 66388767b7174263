#pragma once
// The MIDI sequencer. Prepare packs the channel events of a MIDIData into one schedule sorted by
// tick and starts a clock at a position in milliseconds; a chain of one-shot multimedia timers then
// handles the due entries on the timer thread: events of reported channels are posted to the event
// window, events of channels that are not muted go to the MIDI output, the sounding notes are kept
// for Silence, tempo entries re-base the clock, and the stop window hears of the stop marker and of
// the end of the schedule.
//
// Threads: the GUI thread calls everything here; the timer callback runs on the timer thread.
// One re-entrant lock serialises them; the callback only posts to windows. Failures are reported by
// bool results; nothing throws.
#include "platform/multimedia/MidiOut.h"
#include "platform/multimedia/MmTimer.h"
#include "platform/system/TCriticalSection.h"
#include "platform/ui/WindowMessages.h"
#include "sound/midi/MIDIData.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class Player {
public:
    // One schedule entry: ticks is the sort key (tick plus a fraction by channel and kind), message
    // the packed short message as midiOutShortMsg takes it (status | data1 << 8 | data2 << 16). A
    // tempo entry holds 0x51 in its low byte and the tempo (microseconds per quarter) above it.
    struct short_msg_t {
        float ticks = 0;
        std::uint32_t message = 0;
    };

    // The clock of the schedule: the tick at the time of the last Set and the milliseconds per
    // tick, read against the timer clock in microseconds (whole milliseconds would make every
    // event up to 1 ms late). Its operations take the owner's lock.
    class MIDIClock {
    public:
        // Takes the timer's finest period for the clock's life.
        explicit MIDIClock(Player& owner);
        ~MIDIClock();
        MIDIClock(const MIDIClock&) = delete;
        MIDIClock& operator=(const MIDIClock&) = delete;

        // Restarts the time base at tick with the tick length of tempo, division and speed.
        void Set(std::uint32_t tick, int division, std::uint32_t tempo, double speed);
        // The tick reached now (while running), else the tick banked at the last read or kill.
        std::uint32_t GetTick();
        // Arms a one-shot timer for the time tick is reached (at once when that has passed; one
        // resolution from now while the tick length is not a usable number). False when no
        // timer could be armed; the clock is then not running.
        bool Schedule(std::uint32_t tick);
        // Kill, Set, then Schedule(tick + 1).
        bool Start(std::uint32_t tick, int division, std::uint32_t tempo, double speed);
        // Cancels the pending timer (waiting for its callback when that runs on the timer thread)
        // and banks the tick reached. False when the timer could not be killed.
        bool Kill();
        [[nodiscard]] bool IsRunning() const { return timerId_.load() != 0; }
        [[nodiscard]] UINT TimerId() const { return timerId_.load(); }
        // Waits until the last timer armed is neither pending nor running (not under the lock).
        void WaitForLastTimer();

    private:
        Player& owner_;
        UINT resolution_ = 1;
        std::atomic<UINT> timerId_{0};
        UINT lastArmed_ = 0;
        std::uint64_t startUs_ = 0;
        std::uint32_t startTick_ = 0;
        std::uint32_t bankedTick_ = 0;
        double msPerTick_ = 0;

        [[nodiscard]] bool Usable() const;
        [[nodiscard]] std::uint32_t TickAt(std::uint64_t us) const;
    };

    // Opens MIDI output device 0. GUI thread.
    Player();
    // Stops, closes the devices and returns only when no callback of this player runs any more.
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // A control change of controller and value stops the walk and posts message to window, as the
    // end of the schedule does. False when value > 127 or the window does not exist.
    bool SetStopMarker(std::uint8_t controller, std::uint8_t value, HWND window, UINT message);
    // Reported events are posted to window as message (wParam 0, lParam the packed message).
    // False when the window does not exist.
    bool SetEventWindow(HWND window, UINT message);
    void AddReportChannel(std::uint8_t channel);
    void AddMuteChannel(std::uint8_t channel);

    // Makes output device n the open one (closing the one open before). False for an unknown
    // device or when it cannot be opened; true when n is already open.
    [[nodiscard]] bool OpenDevice(int n);
    [[nodiscard]] int GetDeviceCount() const;
    [[nodiscard]] int GetInDeviceCount() const;
    // Stops and closes output device n when it is the open one. True when nothing was open or n is
    // another device; false when n is not a device.
    bool CloseDevice(int n);
    bool CloseInDevice(int n);
    // Sends one message to the open device; false without one or when the device refused it.
    bool SendShortMsg(std::uint32_t message);

    // Stops, builds the schedule from data and starts playing at startMs (negative counts as 0).
    // Opens device 0 first when none is open, unless noOpen. False when stopping or opening
    // fails, when the data has no tick length (division 0), no tempo at tick 0 or tempo records out
    // of tick order, or when the timer cannot be armed. True, without playing, when nothing is
    // left to play from startMs. The data may change or go once this returns.
    bool Prepare(const MIDIData& data, int startMs, bool noOpen);
    // Stops the clock and silences what sounds; true when nothing ran. False when the timer could
    // not be killed.
    bool Stop();
    // Sends the release of every sounding note, sustain and pitch bend to the open device.
    void Silence();
    [[nodiscard]] double GetSpeed() const { return speed_; }
    // False unless 0 < factor <= 3.0. A running clock restarts at its current tick at the new
    // speed (false when that fails).
    bool SetSpeed(double factor);
    [[nodiscard]] bool IsPlaying() const { return clock_.IsRunning(); }

    // Milliseconds of ticks at division and tempo, rounded; -1 when division is 0 or the result
    // does not fit.
    [[nodiscard]] static int TicksToMs(int ticks, int division, int tempo);
    // The event as a short message (the velocity of a note-off is not sent); 0 for kinds that are
    // not channel messages.
    [[nodiscard]] static std::uint32_t PackShortMsg(const MIDIEvent& event);
    // The tick of the first note-on at or after startMs (tracks in order, each track in order),
    // counting with the first tempo; in milliseconds when inMs. Without one: startMs when inMs,
    // else the start tick (0 without a usable tempo).
    [[nodiscard]] static int FirstNoteOnAfter(const MIDIData& data, int startMs, bool inMs);

private:
    static void TimerProc(UINT timerId, UINT msg, DWORD_PTR user, DWORD_PTR dw1, DWORD_PTR dw2);
    void OnTimer(UINT timerId);
    // Sends one channel message and keeps the sounding list; true at the stop marker.
    bool HandleChannelMessage(std::uint32_t message);

    TCriticalSection lock_;
    std::uint8_t stopController_ = 255;
    std::uint8_t stopValue_ = 255;
    HWND stopWindow_ = nullptr;
    HWND eventWindow_ = nullptr;
    UINT stopMessage_ = 0;
    UINT eventMessage_ = 0;
    HMIDIOUT midiOut_ = nullptr;
    int device_ = -2;
    HMIDIIN midiIn_ = nullptr;
    int inDevice_ = -1;
    int division_ = 120;
    std::uint32_t tempo_ = 500000;
    double speed_ = 1.0;
    std::vector<short_msg_t> schedule_;
    std::size_t cursor_ = 0;
    std::vector<std::uint32_t> reportMessages_;
    std::vector<std::uint8_t> reportChannels_;
    std::vector<std::uint8_t> muteChannels_;
    std::vector<std::uint32_t> sounding_;
    std::atomic<int> callbacksInFlight_{0};
    MIDIClock clock_{*this};
};
