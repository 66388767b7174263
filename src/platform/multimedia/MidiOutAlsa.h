#pragma once
// The Linux side of the MIDI output devices: the ALSA sequencer's ports that accept events from
// other clients, and one connection to such a port. Without a sequencer (or without ALSA at build
// time) there are no ports.
#include <cstdint>
#include <memory>

class MidiOutAlsa {
public:
    // Number of ports that accept events, in the sequencer's client and port order. Any thread.
    [[nodiscard]] static unsigned PortCount();
    // Connects a new output of this program to the index-th port (counted from 0); null when the
    // port is gone or the sequencer refuses. The caller owns the connection.
    [[nodiscard]] static std::unique_ptr<MidiOutAlsa> Open(unsigned index);
    ~MidiOutAlsa();
    MidiOutAlsa(const MidiOutAlsa&) = delete;
    MidiOutAlsa& operator=(const MidiOutAlsa&) = delete;

    // Sends one packed channel message at once. False when the sequencer refused it.
    bool Send(std::uint32_t message);

private:
    struct Impl;
    explicit MidiOutAlsa(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};
