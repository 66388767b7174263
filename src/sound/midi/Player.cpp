#include "sound/midi/Player.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <chrono>
#include <thread>

namespace {

// Holds the critical section for a scope.
class Hold {
public:
    explicit Hold(TCriticalSection& section) : section_(section) { section_.Enter(); }
    ~Hold() { section_.Leave(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    TCriticalSection& section_;
};

// Leaves a critical section that was already entered, at the end of the scope.
class Held {
public:
    explicit Held(TCriticalSection& section) : section_(section) {}
    ~Held() { section_.Leave(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

private:
    TCriticalSection& section_;
};

template <typename T>
bool contains(const std::vector<T>& list, T value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

// Truncates toward zero into [0, 2^32 - 1]; NaN gives 0.
std::uint32_t clampTick(double value)
{
    if (!(value > 0))
        return 0;
    if (value >= 4294967295.0)
        return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(value);
}

// a * b / c rounded half away from zero; -1 when c is 0 or the result leaves the int range.
int mulDiv(std::int64_t a, std::int64_t b, std::int64_t c)
{
    if (c == 0)
        return -1;
    const long double exact = static_cast<long double>(a) * b / c;
    const long double rounded = std::round(exact);
    if (rounded > std::numeric_limits<int>::max() || rounded < std::numeric_limits<int>::min())
        return -1;
    return static_cast<int>(rounded);
}

// The same for a span of ticks that may exceed int.
std::int64_t ticksToMs64(std::uint64_t ticks, int division, std::uint32_t tempo)
{
    if (division <= 0)
        return 0;
    const long double exact = static_cast<long double>(tempo) * ticks / (static_cast<long double>(division) * 1000);
    return static_cast<std::int64_t>(std::round(exact));
}

} // namespace

// ---- clock ---------------------------------------------------------------------------------------

Player::MIDIClock::MIDIClock(Player& owner) : owner_(owner)
{
    TIMECAPS caps;
    resolution_ = timeGetDevCaps(&caps, sizeof caps) == TIMERR_NOERROR && caps.wPeriodMin ? caps.wPeriodMin : 1;
    timeBeginPeriod(resolution_);
    Set(0, 120, 500000, 1.0);
}

Player::MIDIClock::~MIDIClock()
{
    Kill();
    WaitForLastTimer();
    timeEndPeriod(resolution_);
}

void Player::MIDIClock::Set(std::uint32_t tick, int division, std::uint32_t tempo, double speed)
{
    Hold lock(owner_.lock_);
    startUs_ = timeGetTimeUs();
    startTick_ = bankedTick_ = tick;
    msPerTick_ = tempo * 0.001 / (division * speed);
}

bool Player::MIDIClock::Usable() const { return msPerTick_ > 0 && std::isfinite(msPerTick_); }

std::uint32_t Player::MIDIClock::TickAt(std::uint64_t us) const
{
    const double elapsedMs = us > startUs_ ? double(us - startUs_) / 1000.0 : 0.0;
    return clampTick(std::trunc(elapsedMs / msPerTick_ + startTick_));
}

std::uint32_t Player::MIDIClock::GetTick()
{
    Hold lock(owner_.lock_);
    if (IsRunning() && Usable())
        bankedTick_ = TickAt(timeGetTimeUs());
    return bankedTick_;
}

bool Player::MIDIClock::Schedule(std::uint32_t tick)
{
    Hold lock(owner_.lock_);
    const std::uint64_t now = timeGetTimeUs();
    std::uint64_t due = now + std::uint64_t(resolution_) * 1000;
    if (Usable()) {
        // The first microsecond at which GetTick reads tick: rounding of the product may leave
        // the exact time one microsecond short of it.
        const double offsetUs = std::ceil((double(tick) - double(startTick_)) * msPerTick_ * 1000.0);
        // Beyond about 24 days a timer is pointless; the clamp keeps the conversion defined.
        due = startUs_ + std::uint64_t(std::clamp(offsetUs, 0.0, double(0x7FFFFFFF) * 1000.0));
        for (int step = 0; step < 4 && TickAt(due) < tick; ++step)
            ++due;
        due = std::max(due, now);
    }
    // The id must be the clock's before the timer can fire: when this thread is held up after
    // arming, a timer due by then runs at once, and its callback gives up on a timer that is not
    // the clock's, which would end the schedule without a sound.
    const UINT id = timeSetEventAtUs(due, &Player::TimerProc, DWORD_PTR(&owner_), &timerId_);
    if (id)
        lastArmed_ = id;
    else
        timerId_ = 0;
    return id != 0;
}

bool Player::MIDIClock::Start(std::uint32_t tick, int division, std::uint32_t tempo, double speed)
{
    Hold lock(owner_.lock_);
    Kill();
    Set(tick, division, tempo, speed);
    return Schedule(startTick_ + 1);
}

bool Player::MIDIClock::Kill()
{
    Hold lock(owner_.lock_);
    // Clearing the id first lets a callback of this timer that waits for the lock give up, so
    // the wait inside timeKillEvent ends.
    const UINT id = timerId_.exchange(0);
    const bool killed = id == 0 || timeKillEvent(id) == TIMERR_NOERROR;
    if (Usable())
        bankedTick_ = TickAt(timeGetTimeUs());
    return killed;
}

void Player::MIDIClock::WaitForLastTimer()
{
    UINT last = 0;
    {
        Hold lock(owner_.lock_);
        last = lastArmed_;
    }
    if (last)
        timeKillEvent(last);
}

// ---- player --------------------------------------------------------------------------------------

Player::Player()
{
    (void)OpenDevice(0);
}

Player::~Player()
{
    Stop();
    CloseInDevice(inDevice_);
    if (!CloseDevice(device_) && midiOut_) {
        midiOutClose(midiOut_);
        midiOut_ = nullptr;
    }
    clock_.WaitForLastTimer();
    // A callback that ended the chain itself may still be returning.
    while (callbacksInFlight_.load() != 0)
        std::this_thread::yield();
}

bool Player::SetStopMarker(std::uint8_t controller, std::uint8_t value, HWND window, UINT message)
{
    Hold lock(lock_);
    if (value > 127 || !IsWindow(window))
        return false;
    stopController_ = controller;
    stopValue_ = value;
    stopWindow_ = window;
    stopMessage_ = message;
    return true;
}

bool Player::SetEventWindow(HWND window, UINT message)
{
    Hold lock(lock_);
    if (!IsWindow(window))
        return false;
    eventWindow_ = window;
    eventMessage_ = message;
    return true;
}

void Player::AddReportChannel(std::uint8_t channel)
{
    Hold lock(lock_);
    if (!contains(reportChannels_, channel))
        reportChannels_.push_back(channel);
}

void Player::AddMuteChannel(std::uint8_t channel)
{
    Hold lock(lock_);
    if (!contains(muteChannels_, channel))
        muteChannels_.push_back(channel);
}

bool Player::OpenDevice(int n)
{
    Hold lock(lock_);
    if (n < 0 || n >= GetDeviceCount())
        return false;
    if (midiOut_ && n == device_)
        return true;
    HMIDIOUT handle = nullptr;
    if (midiOutOpen(&handle, UINT(n), 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
        return false;
    if (CloseDevice(device_)) {
        midiOut_ = handle;
        device_ = n;
        return true;
    }
    midiOutClose(handle);
    return false;
}

int Player::GetDeviceCount() const
{
    return int(midiOutGetNumDevs());
}

int Player::GetInDeviceCount() const
{
    return int(midiInGetNumDevs());
}

bool Player::CloseDevice(int n)
{
    Hold lock(lock_);
    if (!midiOut_ || n != device_)
        return true;
    if (n < 0 || n >= GetDeviceCount())
        return false;
    Stop();
    midiOutClose(midiOut_);
    midiOut_ = nullptr;
    device_ = -2;
    return true;
}

bool Player::CloseInDevice(int n)
{
    Hold lock(lock_);
    if (!midiIn_ || n != inDevice_)
        return true;
    if (n < 0 || n >= GetInDeviceCount())
        return false;
    midiInStop(midiIn_);
    midiInClose(midiIn_);
    midiIn_ = nullptr;
    inDevice_ = -1;
    return true;
}

bool Player::SendShortMsg(std::uint32_t message)
{
    Hold lock(lock_);
    return midiOut_ && midiOutShortMsg(midiOut_, message) == MMSYSERR_NOERROR;
}

bool Player::Prepare(const MIDIData& data, int startMs, bool noOpen)
{
    Hold lock(lock_);
    if (!Stop())
        return false;
    if (!midiOut_ && !noOpen && !OpenDevice(0))
        return false;

    schedule_.clear();
    cursor_ = 0;
    std::size_t total = data.GetTempoEvents().size();
    for (std::size_t t = 0; t < data.GetTrackCount(); ++t)
        total += data.GetTrack(t)->GetEvents().size();
    schedule_.reserve(total);
    for (std::size_t t = 0; t < data.GetTrackCount(); ++t) {
        for (const MIDIEvent& event : data.GetTrack(t)->GetEvents()) {
            const std::uint32_t message = PackShortMsg(event);
            if (message == 0)
                continue;
            // At one tick: lower channels first and, within a channel, control changes first.
            const double key = double(event.GetTick()) + 0.01 * event.GetChannel() +
                               (event.GetType() == 0xB0 ? 0.0 : 0.001);
            schedule_.push_back({float(key), message});
        }
    }
    if (schedule_.empty())
        return true;
    // Events without a tick length (a model built in code) cannot be timed.
    if (data.GetDivision() == 0)
        return false;
    division_ = data.GetDivision();

    const TempoEvent* first = data.NextTempoEvent(nullptr);
    if (!first || first->tick != 0)
        return false;
    const double start = std::max(startMs, 0);
    std::uint32_t startTick = clampTick(std::trunc(start / (first->tempo * 0.001 / division_)));
    const std::int64_t limit = static_cast<std::int64_t>(std::trunc(start * speed_));
    std::int64_t elapsed = 0;
    std::uint32_t startTempo = first->tempo;
    const TempoEvent* previous = first;
    for (const TempoEvent* t = data.NextTempoEvent(first); t; t = data.NextTempoEvent(t)) {
        if (t->tick < previous->tick)
            return false;
        schedule_.push_back({float(t->tick), 0x51u | (t->tempo << 8)});
        const std::uint64_t segmentTicks = t->tick - previous->tick;
        const std::int64_t segmentMs = ticksToMs64(segmentTicks, division_, previous->tempo);
        // A start inside the first tick: the position within the segment that passes the limit.
        if (startTick == 0 && elapsed <= limit && elapsed + segmentMs > limit && segmentMs > 0)
            startTick = clampTick(std::trunc(double(limit - elapsed) / double(segmentMs) * double(segmentTicks)));
        elapsed += segmentMs;
        if (elapsed <= limit)
            startTempo = t->tempo;
        previous = t;
    }

    // Entries with equal keys keep their file order: a note-off and a note-on of one pitch at
    // one tick must not swap.
    std::stable_sort(schedule_.begin(), schedule_.end(),
                     [](const short_msg_t& a, const short_msg_t& b) { return a.ticks < b.ticks; });
    const auto from = std::find_if(schedule_.begin(), schedule_.end(),
                                   [&](const short_msg_t& e) { return double(e.ticks) >= double(startTick); });
    cursor_ = std::size_t(from - schedule_.begin());
    if (cursor_ == schedule_.size())
        return true;
    tempo_ = startTempo;
    return clock_.Start(startTick, division_, tempo_, speed_);
}

bool Player::Stop()
{
    Hold lock(lock_);
    if (!clock_.IsRunning())
        return true;
    const bool killed = clock_.Kill();
    Silence();
    return killed;
}

void Player::Silence()
{
    Hold lock(lock_);
    if (midiOut_) {
        for (std::uint32_t message : sounding_)
            midiOutShortMsg(midiOut_, message);
    }
    sounding_.clear();
}

bool Player::SetSpeed(double factor)
{
    Hold lock(lock_);
    if (!(factor > 0 && factor <= 3.0))
        return false;
    speed_ = factor;
    if (!clock_.IsRunning())
        return true;
    return clock_.Start(clock_.GetTick(), division_, tempo_, speed_);
}

int Player::TicksToMs(int ticks, int division, int tempo)
{
    return mulDiv(tempo, ticks, std::int64_t(division) * 1000);
}

std::uint32_t Player::PackShortMsg(const MIDIEvent& event)
{
    const std::uint32_t status = event.GetStatus();
    const std::uint32_t d1 = event.GetData1();
    const std::uint32_t d2 = event.GetData2();
    switch (event.GetType()) {
    case 0x80:
        return status | d1 << 8;
    case 0x90:
    case 0xA0:
    case 0xB0:
        return status | d1 << 8 | d2 << 16;
    case 0xC0:
    case 0xD0:
        return status | d1 << 8;
    case 0xE0: {
        const std::uint32_t value = d1 | d2 << 7;
        return status | (value & 0x7F) << 8 | ((value >> 7) & 0x7F) << 16;
    }
    default:
        return 0;
    }
}

int Player::FirstNoteOnAfter(const MIDIData& data, int startMs, bool inMs)
{
    const TempoEvent* first = data.NextTempoEvent(nullptr);
    const int division = data.GetDivision();
    if (!first || first->tempo == 0 || division == 0)
        return inMs ? startMs : 0;
    const std::uint32_t startTick =
        clampTick(std::trunc(std::max(startMs, 0) / (first->tempo * 0.001 / division)));
    for (std::size_t t = 0; t < data.GetTrackCount(); ++t) {
        for (const MIDIEvent& event : data.GetTrack(t)->GetEvents()) {
            if (event.GetType() == 0x90 && event.GetTick() >= startTick) {
                const int tick = int(std::min<std::uint32_t>(event.GetTick(), std::numeric_limits<int>::max()));
                return inMs ? TicksToMs(tick, division, int(first->tempo)) : tick;
            }
        }
    }
    return inMs ? startMs : int(std::min<std::uint32_t>(startTick, std::numeric_limits<int>::max()));
}

// ---- timer thread --------------------------------------------------------------------------------

void Player::TimerProc(UINT timerId, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    auto* player = reinterpret_cast<Player*>(user);
    player->callbacksInFlight_.fetch_add(1);
    player->OnTimer(timerId);
    player->callbacksInFlight_.fetch_sub(1);  // the last touch of the player
}

void Player::OnTimer(UINT timerId)
{
    // The GUI thread may hold the lock while it kills this very timer and waits for this callback
    // to end: give up as soon as the timer is no longer the clock's.
    for (int spins = 0; !lock_.TryEnter(); ++spins) {
        if (clock_.TimerId() != timerId)
            return;
        if (spins < 64)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    Held lock(lock_);
    if (clock_.TimerId() != timerId)
        return;

    const std::uint32_t now = clock_.GetTick();
    while (cursor_ < schedule_.size() && double(now) >= double(schedule_[cursor_].ticks)) {
        const short_msg_t entry = schedule_[cursor_];
        const std::uint32_t message = entry.message;
        const std::uint8_t channel = message & 0x0F;
        if (contains(reportChannels_, channel) || contains(reportMessages_, message)) {
            if (IsWindow(eventWindow_))
                PostMessage(eventWindow_, eventMessage_, 0, LPARAM(message));
        }
        // A tempo entry's low nibble is 1: it counts as channel 1 here.
        if (contains(muteChannels_, channel)) {
            ++cursor_;
            continue;
        }
        if ((message & 0xFF) < 0x80) {
            const std::uint32_t tempo = message >> 8;
            if ((message & 0xFF) == 0x51 && tempo != 0) {
                tempo_ = tempo;
                clock_.Set(clampTick(entry.ticks), division_, tempo_, speed_);
            }
            ++cursor_;
            continue;
        }
        ++cursor_;
        if (HandleChannelMessage(message)) {
            cursor_ = schedule_.size();
            break;
        }
    }

    if (cursor_ < schedule_.size()) {
        // A fractional key (channel events sort after others at their tick) is reached with the
        // next whole tick.
        clock_.Schedule(clampTick(std::ceil(schedule_[cursor_].ticks)));
    } else {
        clock_.Kill();
        if (IsWindow(stopWindow_))
            PostMessage(stopWindow_, stopMessage_, 0, 0);
    }
}

bool Player::HandleChannelMessage(std::uint32_t message)
{
    if (midiOut_)
        midiOutShortMsg(midiOut_, message);
    const std::uint32_t status = message & 0xFF;
    auto remove = [this](std::uint32_t m) {
        auto it = std::find(sounding_.begin(), sounding_.end(), m);
        if (it != sounding_.end())
            sounding_.erase(it);
    };
    switch (status & 0xF0) {
    case 0x90:
        sounding_.push_back(message & 0xFF8F);
        break;
    case 0x80:
        remove(message);
        break;
    case 0xB0: {
        const std::uint32_t controller = (message >> 8) & 0x7F;
        const std::uint32_t value = (message >> 16) & 0x7F;
        if (controller == 64) {
            const std::uint32_t release = message & 0xFFFF;
            if (value != 0) {
                if (!contains(sounding_, release))
                    sounding_.push_back(release);
            } else {
                remove(release);
            }
            break;
        }
        PostMessage(eventWindow_, eventMessage_, 0, LPARAM(message));
        if (controller == stopController_ && value == stopValue_) {
            if (IsWindow(stopWindow_))
                PostMessage(stopWindow_, stopMessage_, 0, 0);
            return true;
        }
        break;
    }
    case 0xE0: {
        const std::uint32_t centre = status | 0x400000;
        if (message == centre)
            remove(centre);
        else if (!contains(sounding_, centre))
            sounding_.push_back(centre);
        break;
    }
    default:
        break;
    }
    return false;
}
