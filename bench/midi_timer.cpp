// The player on the real timer service: a dense 10-second schedule of reported events, each
// post's lateness against its due time (measured where the window receives it, which adds at most
// the 0.1 ms poll of the receiving loop), and the CPU time of the timer thread that runs the player.
// The receiving loop asks for the timer thread's real-time priority (where the system grants it),
// so that on a loaded machine the figures are the timer's, not the scheduling of the loop that
// watches it. Run it beside a load (a parallel build, stress-ng) for the loaded figures.
#include "platform/MmTimer.h"
#include "platform/MmTimerService.h"
#include "platform/WindowMessages.h"
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

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(values.size() - 1, std::size_t(std::ceil(p * values.size())) - 1);
    return values[index];
}

void BM_PlayerLateness(benchmark::State& state)
{
    std::vector<Expected> expected;
    const MIDIData data = denseFile(expected);
    for (auto _ : state) {
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

        sched_param normal{}, raised{};
        int policy = SCHED_OTHER;
        pthread_getschedparam(pthread_self(), &policy, &normal);
        raised.sched_priority = sched_get_priority_min(SCHED_FIFO);
        const bool realTime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &raised) == 0;
        state.counters["receiver_real_time"] = realTime ? 1 : 0;

        const double cpuBefore = timerThreadCpuSeconds();
        // The clock counts from the millisecond in which it starts; start just after a boundary.
        const DWORD before = timeGetTime();
        while (timeGetTime() == before) {
        }
        startUs = double(timeGetTime()) * 1000.0;
        if (!player.Prepare(data, 0, false)) {
            state.SkipWithError("Prepare failed");
            break;
        }
        // Like a GUI thread, wait between deliveries instead of spinning: a spinning thread is the
        // first the scheduler preempts on a busy machine, which would be measured as lateness.
        while (!ended) {
            ProcessMessages();
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        const double cpuAfter = timerThreadCpuSeconds();
        if (realTime)
            pthread_setschedparam(pthread_self(), policy, &normal);
        DeallocateHWnd(window);

        bool inOrder = received.size() == expected.size();
        for (std::size_t i = 0; inOrder && i < received.size(); ++i)
            inOrder = received[i] == expected[i].message;
        if (!inOrder)
            state.SkipWithError("posted events differ from the schedule");
        const double p50 = percentile(lateness, 0.50), p99 = percentile(lateness, 0.99);
        const auto worst = std::max_element(lateness.begin(), lateness.end());
        const double max = lateness.empty() ? 0 : *worst;
        const double min = lateness.empty() ? 0 : *std::min_element(lateness.begin(), lateness.end());
        state.counters["events"] = double(received.size());
        state.counters["late_p50_ms"] = p50;
        state.counters["late_p99_ms"] = p99;
        state.counters["late_max_ms"] = max;
        state.counters["late_min_ms"] = min;
        state.counters["timer_cpu_ms"] = (cpuAfter - cpuBefore) * 1000.0;
        std::printf("events %zu  lateness ms: p50 %.3f  p99 %.3f  max %.3f (event %td)  min %.3f  timer thread CPU %.1f ms\n",
                    received.size(), p50, p99, max, worst - lateness.begin(), min, (cpuAfter - cpuBefore) * 1000.0);
    }
}

} // namespace

BENCHMARK(BM_PlayerLateness)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond)->UseRealTime();
