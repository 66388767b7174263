// The player on the real timer service: a dense 10-second schedule of reported events, each
// post's lateness against its due time (measured where the window receives it, which adds at most
// the 0.1 ms poll of the receiving loop), and the CPU time of the timer thread that runs the player.
// Two runs, each in a process of its own (the timer service starts its thread once per process):
// - BM_PlayerLateness, with what this process may do: the receiving loop asks for the timer
//   thread's real-time priority, so on a loaded machine the figures are the timer's, not the
//   scheduling of the loop that watches it;
// - BM_PlayerLateness_OrdinaryUser, as an ordinary user runs the program: no real-time priority and
//   no raised one for any thread (the child drops root and both limits), so the timer thread falls
//   back as the program's does and the receiver is an ordinary thread, as the program's GUI is.
// Run it beside a load (a parallel build, stress-ng) for the loaded figures.
#include "platform/multimedia/MmTimer.h"
#include "platform/multimedia/MmTimerService.h"
#include "platform/ui/WindowMessages.h"
#include "sound/midi/MIDIData.h"
#include "sound/midi/MIDIMemoryStream.h"
#include "sound/midi/Player.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <pthread.h>
#include <sched.h>
#include <future>
#include <thread>
#include <vector>

#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kDivision = 480;
constexpr std::uint32_t kTempo = 500000;  // 120 beats per minute: 1.0417 ms per tick
constexpr std::uint32_t kTicks = 9600;    // 10 seconds
constexpr std::uint32_t kStep = 2;        // an event every 2 ticks, about 480 per second

struct Expected {
    std::uint32_t message = 0;
    double dueMs = 0;  // after the clock's start
};

void putVarLen(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    std::uint8_t bytes[5];
    int n = 0;
    bytes[n++] = value & 0x7F;
    while (value >>= 7)
        bytes[n++] = 0x80 | (value & 0x7F);
    while (n)
        out.push_back(bytes[--n]);
}

// One track: the tempo, then notes on channels 10 to 15 in turn, on and off.
MIDIData denseFile(std::vector<Expected>& expected)
{
    std::vector<std::uint8_t> track = {0x00, 0xFF, 0x51, 0x03, std::uint8_t(kTempo >> 16), std::uint8_t(kTempo >> 8),
                                       std::uint8_t(kTempo)};
    const double msPerTick = kTempo * 0.001 / kDivision;
    std::uint32_t last = 0;
    for (std::uint32_t tick = kStep, i = 0; tick <= kTicks; tick += kStep, ++i) {
        const std::uint8_t channel = std::uint8_t(10 + i % 6);
        const std::uint8_t note = std::uint8_t(40 + i % 40);
        const std::uint8_t status = std::uint8_t((i / 6) % 2 ? 0x80 : 0x90) | channel;
        putVarLen(track, tick - last);
        track.insert(track.end(), {status, note, 100});
        last = tick;
        // Channel events carry a fractional key and fall due one tick after their own.
        const std::uint32_t packed = (status & 0xF0) == 0x80 ? (status | note << 8) : (status | note << 8 | 100u << 16);
        expected.push_back({packed, (tick + 1) * msPerTick});
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});

    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, kDivision >> 8, kDivision & 0xFF,
                                      'M', 'T', 'r', 'k'};
    for (int shift = 24; shift >= 0; shift -= 8)
        file.push_back(std::uint8_t(track.size() >> shift));
    file.insert(file.end(), track.begin(), track.end());
    MIDIMemoryStream stream(file);
    MIDIData data;
    if (!data.Read(&stream))
        std::abort();
    return data;
}

// CPU seconds the timer thread has used so far, read on the timer thread itself.
double timerThreadCpuSeconds()
{
    std::promise<double> result;
    const UINT id = timeSetEvent(
        1, 1,
        [](UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
            timespec ts{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
            reinterpret_cast<std::promise<double>*>(user)->set_value(ts.tv_sec + ts.tv_nsec * 1e-9);
        },
        DWORD_PTR(&result), TIME_ONESHOT);
    return id ? result.get_future().get() : 0.0;
}

// Whether the timer thread runs with a real-time policy, asked on the timer thread itself.
bool timerThreadRealTime()
{
    std::promise<bool> result;
    const UINT id = timeSetEvent(
        1, 1,
        [](UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
            reinterpret_cast<std::promise<bool>*>(user)->set_value(sched_getscheduler(0) != SCHED_OTHER);
        },
        DWORD_PTR(&result), TIME_ONESHOT);
    return id && result.get_future().get();
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(values.size() - 1, std::size_t(std::ceil(p * values.size())) - 1);
    return values[index];
}

struct Figures {
    bool ok = false;
    bool inOrder = false;
    bool receiverRealTime = false;
    bool timerRealTime = false;
    double events = 0, p50 = 0, p99 = 0, max = 0, min = 0, timerCpuMs = 0;
    std::ptrdiff_t worst = 0;
};

// One run of the schedule on this process's timer service. With privileged, the receiving loop
// asks for real-time priority.
Figures Measure(const MIDIData& data, const std::vector<Expected>& expected, bool privileged)
{
    Figures f;
    std::vector<double> lateness;
    std::vector<std::uint32_t> received;
    bool ended = false;
    double startUs = 0;
    lateness.reserve(expected.size());
    HWND window = AllocateHWnd([&](UINT msg, WPARAM, LPARAM l) {
        const double nowUs = double(MmTimerService::Instance().NowUs());
        if (msg == WM_APP + 100) {
            ended = true;
            return;
        }
        const std::size_t i = received.size();
        received.push_back(std::uint32_t(l));
        if (i < expected.size())
            lateness.push_back((nowUs - startUs) / 1000.0 - expected[i].dueMs);
    });
    Player player;
    for (std::uint8_t c = 0; c < 16; ++c)
        player.AddMuteChannel(c);
    for (std::uint8_t c = 10; c < 16; ++c)
        player.AddReportChannel(c);
    (void)player.SetStopMarker(85, 127, window, WM_APP + 100);
    (void)player.SetEventWindow(window, WM_APP + 101);

    if (privileged) {
        sched_param raised{};
        raised.sched_priority = sched_get_priority_min(SCHED_FIFO);
        f.receiverRealTime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &raised) == 0;
    }

    f.timerRealTime = timerThreadRealTime();
    const double cpuBefore = timerThreadCpuSeconds();
    // The clock counts from the millisecond in which it starts; start just after a boundary.
    const DWORD before = timeGetTime();
    while (timeGetTime() == before) {
    }
    startUs = double(timeGetTime()) * 1000.0;
    if (!player.Prepare(data, 0, false))
        return f;
    // Like a GUI thread, wait between deliveries instead of spinning: a spinning thread is the
    // first the scheduler preempts on a busy machine, which would be measured as lateness.
    while (!ended) {
        ProcessMessages();
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    const double cpuAfter = timerThreadCpuSeconds();
    DeallocateHWnd(window);

    f.ok = true;
    f.inOrder = received.size() == expected.size();
    for (std::size_t i = 0; f.inOrder && i < received.size(); ++i)
        f.inOrder = received[i] == expected[i].message;
    f.events = double(received.size());
    f.p50 = percentile(lateness, 0.50);
    f.p99 = percentile(lateness, 0.99);
    const auto worst = std::max_element(lateness.begin(), lateness.end());
    f.max = lateness.empty() ? 0 : *worst;
    f.worst = worst - lateness.begin();
    f.min = lateness.empty() ? 0 : *std::min_element(lateness.begin(), lateness.end());
    f.timerCpuMs = (cpuAfter - cpuBefore) * 1000.0;
    return f;
}

// Gives up what an ordinary user does not have: root (for nobody's ids) and any real-time or
// raised-priority allowance. False when that cannot be done.
bool BecomeOrdinaryUser()
{
    const rlimit none{0, 0};
    if (setrlimit(RLIMIT_RTPRIO, &none) != 0 || setrlimit(RLIMIT_NICE, &none) != 0)
        return false;
    if (geteuid() != 0)
        return true;
    const uid_t nobody = 65534;
    return setgroups(0, nullptr) == 0 && setresgid(nobody, nobody, nobody) == 0 &&
           setresuid(nobody, nobody, nobody) == 0;
}

// Measures in a child process, whose timer service starts afresh; the figures come back through
// a pipe.
Figures MeasureInChild(const MIDIData& data, const std::vector<Expected>& expected, bool privileged)
{
    Figures f;
    int fds[2];
    if (pipe(fds) != 0)
        return f;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        Figures mine;
        if (privileged || BecomeOrdinaryUser())
            mine = Measure(data, expected, privileged);
        const ssize_t written = write(fds[1], &mine, sizeof mine);
        _exit(written == ssize_t(sizeof mine) ? 0 : 1);
    }
    close(fds[1]);
    if (child > 0) {
        if (read(fds[0], &f, sizeof f) != ssize_t(sizeof f))
            f = Figures{};
        waitpid(child, nullptr, 0);
    }
    close(fds[0]);
    return f;
}

void RunLateness(benchmark::State& state, bool privileged)
{
    std::vector<Expected> expected;
    const MIDIData data = denseFile(expected);
    for (auto _ : state) {
        const Figures f = MeasureInChild(data, expected, privileged);
        if (!f.ok) {
            state.SkipWithError(privileged ? "the measuring process failed" : "could not run as an ordinary user");
            break;
        }
        if (!f.inOrder)
            state.SkipWithError("posted events differ from the schedule");
        state.counters["receiver_real_time"] = f.receiverRealTime ? 1 : 0;
        state.counters["timer_real_time"] = f.timerRealTime ? 1 : 0;
        state.counters["events"] = f.events;
        state.counters["late_p50_ms"] = f.p50;
        state.counters["late_p99_ms"] = f.p99;
        state.counters["late_max_ms"] = f.max;
        state.counters["late_min_ms"] = f.min;
        state.counters["timer_cpu_ms"] = f.timerCpuMs;
        std::printf("%s: events %.0f  lateness ms: p50 %.3f  p99 %.3f  max %.3f (event %td)  min %.3f  timer thread CPU "
                    "%.1f ms\n",
                    privileged ? "privileged" : "ordinary user", f.events, f.p50, f.p99, f.max, f.worst, f.min,
                    f.timerCpuMs);
    }
}

void BM_PlayerLateness(benchmark::State& state) { RunLateness(state, true); }
void BM_PlayerLateness_OrdinaryUser(benchmark::State& state) { RunLateness(state, false); }

} // namespace

BENCHMARK(BM_PlayerLateness)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlayerLateness_OrdinaryUser)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond)->UseRealTime();
