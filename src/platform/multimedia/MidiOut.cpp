#include "platform/multimedia/MidiOut.h"

#include "platform/multimedia/MidiOutAlsa.h"

#include <map>
#include <memory>
#include <mutex>

namespace {

struct OpenDevice {
    UINT deviceId = 0;
    std::unique_ptr<MidiOutAlsa> port;  // null for the silent device 0
};

struct Devices {
    std::mutex mutex;
    std::map<HMIDIOUT, std::unique_ptr<OpenDevice>> open;
    std::function<void(UINT, DWORD)> monitor;
};

Devices& devices()
{
    static Devices d;
    return d;
}

} // namespace

UINT midiOutGetNumDevs()
{
    return 1 + MidiOutAlsa::PortCount();
}

MMRESULT midiOutOpen(HMIDIOUT* out, UINT deviceId, DWORD_PTR callback, DWORD_PTR, DWORD flags)
{
    if (!out)
        return MMSYSERR_INVALPARAM;
    *out = nullptr;
    if (callback != 0 || flags != CALLBACK_NULL)
        return MMSYSERR_INVALPARAM;
    auto device = std::make_unique<OpenDevice>();
    device->deviceId = deviceId;
    if (deviceId != 0) {
        if (deviceId > MidiOutAlsa::PortCount())
            return MMSYSERR_BADDEVICEID;
        device->port = MidiOutAlsa::Open(deviceId - 1);
        if (!device->port)
            return MMSYSERR_NODRIVER;
    }
    HMIDIOUT handle = reinterpret_cast<HMIDIOUT>(device.get());
    Devices& d = devices();
    std::lock_guard lock(d.mutex);
    d.open.emplace(handle, std::move(device));
    *out = handle;
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutShortMsg(HMIDIOUT out, DWORD message)
{
    Devices& d = devices();
    std::lock_guard lock(d.mutex);
    auto it = d.open.find(out);
    if (it == d.open.end())
        return MMSYSERR_INVALHANDLE;
    if ((message & 0x80) == 0 || (message & 0xF0) == 0xF0)
        return MMSYSERR_INVALPARAM;
    if (d.monitor)
        d.monitor(it->second->deviceId, message);
    if (it->second->port && !it->second->port->Send(message))
        return MMSYSERR_ERROR;
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutClose(HMIDIOUT out)
{
    std::unique_ptr<OpenDevice> closing;
    Devices& d = devices();
    std::lock_guard lock(d.mutex);
    auto it = d.open.find(out);
    if (it == d.open.end())
        return MMSYSERR_INVALHANDLE;
    closing = std::move(it->second);
    d.open.erase(it);
    return MMSYSERR_NOERROR;
}

UINT midiInGetNumDevs()
{
    return 0;
}

MMRESULT midiInStop(HMIDIIN)
{
    return MMSYSERR_NOERROR;
}

MMRESULT midiInClose(HMIDIIN)
{
    return MMSYSERR_NOERROR;
}

void SetMidiOutMonitor(std::function<void(UINT deviceId, DWORD message)> monitor)
{
    Devices& d = devices();
    std::lock_guard lock(d.mutex);
    d.monitor = std::move(monitor);
}
