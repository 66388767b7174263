#pragma once
// MIDI output devices. Device 0 always exists and is silent: it stands for the system's default
// synthesizer, which this program never lets sound. Devices 1..n are the ports of the machine's
// MIDI sequencer that accept events, when it has one. MIDI input has no devices; closing it
// always succeeds. Any thread may call these; one handle is used by one thread at a time.
#include "platform/multimedia/MmTimer.h"
#include "platform/multimedia/WaveOut.h"  // the shared MMSYSERR_ result codes and CALLBACK_NULL

#include <functional>

struct HMIDIOUT__;
using HMIDIOUT = HMIDIOUT__*;
struct HMIDIIN__;
using HMIDIIN = HMIDIIN__*;

// Number of output devices: at least 1 (the silent device 0).
[[nodiscard]] UINT midiOutGetNumDevs();
// Opens device deviceId; only CALLBACK_NULL is supported. MMSYSERR_BADDEVICEID for an unknown
// device, MMSYSERR_INVALPARAM for a null handle pointer or a callback, MMSYSERR_NODRIVER when the
// sequencer refuses the connection; *out is null then. The caller owns the handle.
[[nodiscard]] MMRESULT midiOutOpen(HMIDIOUT* out, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance,
                                   DWORD flags);
// Sends one packed channel message (status | data1 << 8 | data2 << 16). MMSYSERR_INVALHANDLE for
// a handle that is not open, MMSYSERR_INVALPARAM for a status byte that is not a channel message.
MMRESULT midiOutShortMsg(HMIDIOUT out, DWORD message);
// Closes the handle; MMSYSERR_INVALHANDLE when it is not open.
MMRESULT midiOutClose(HMIDIOUT out);

// Number of input devices: always 0.
[[nodiscard]] UINT midiInGetNumDevs();
MMRESULT midiInStop(HMIDIIN in);
MMRESULT midiInClose(HMIDIIN in);

// Tests: sees every message that midiOutShortMsg accepts, with its device number (on the
// sending thread). An empty function stops watching.
void SetMidiOutMonitor(std::function<void(UINT deviceId, DWORD message)> monitor);
