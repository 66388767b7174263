#include "platform/multimedia/MidiOutAlsa.h"

#ifdef RT_HAVE_ALSA
#include <alsa/asoundlib.h>

#include <unistd.h>
#include <vector>

namespace {

struct PortAddress {
    int client = 0;
    int port = 0;
};

snd_seq_t* openSequencer()
{
    // A machine without the sequencer device is normal (build machines, containers); asking the
    // library anyway would print its complaint on every device count.
    if (access("/dev/snd/seq", F_OK) != 0)
        return nullptr;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0)
        return nullptr;
    return seq;
}

std::vector<PortAddress> writablePorts(snd_seq_t* seq)
{
    std::vector<PortAddress> ports;
    const int self = snd_seq_client_id(seq);
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq, client) >= 0) {
        const int id = snd_seq_client_info_get_client(client);
        if (id == self || id == SND_SEQ_CLIENT_SYSTEM)
            continue;
        snd_seq_port_info_set_client(port, id);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            const unsigned caps = snd_seq_port_info_get_capability(port);
            const unsigned want = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
            if ((caps & want) == want && !(caps & SND_SEQ_PORT_CAP_NO_EXPORT))
                ports.push_back({id, snd_seq_port_info_get_port(port)});
        }
    }
    return ports;
}

} // namespace

struct MidiOutAlsa::Impl {
    snd_seq_t* seq = nullptr;
    int port = -1;
    ~Impl()
    {
        if (seq)
            snd_seq_close(seq);
    }
};

unsigned MidiOutAlsa::PortCount()
{
    snd_seq_t* seq = openSequencer();
    if (!seq)
        return 0;
    const auto count = static_cast<unsigned>(writablePorts(seq).size());
    snd_seq_close(seq);
    return count;
}

std::unique_ptr<MidiOutAlsa> MidiOutAlsa::Open(unsigned index)
{
    auto impl = std::make_unique<Impl>();
    impl->seq = openSequencer();
    if (!impl->seq)
        return nullptr;
    const std::vector<PortAddress> ports = writablePorts(impl->seq);
    if (index >= ports.size())
        return nullptr;
    snd_seq_set_client_name(impl->seq, "Korvane");
    impl->port = snd_seq_create_simple_port(impl->seq, "MIDI out",
                                            SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                            SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (impl->port < 0 || snd_seq_connect_to(impl->seq, impl->port, ports[index].client, ports[index].port) < 0)
        return nullptr;
    return std::unique_ptr<MidiOutAlsa>(new MidiOutAlsa(std::move(impl)));
}

bool MidiOutAlsa::Send(std::uint32_t message)
{
    const unsigned status = message & 0xFF;
    const int channel = static_cast<int>(status & 0x0F);
    const int d1 = static_cast<int>((message >> 8) & 0x7F);
    const int d2 = static_cast<int>((message >> 16) & 0x7F);
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    switch (status & 0xF0) {
    case 0x80: snd_seq_ev_set_noteoff(&ev, channel, d1, d2); break;
    case 0x90: snd_seq_ev_set_noteon(&ev, channel, d1, d2); break;
    case 0xA0: snd_seq_ev_set_keypress(&ev, channel, d1, d2); break;
    case 0xB0: snd_seq_ev_set_controller(&ev, channel, d1, d2); break;
    case 0xC0: snd_seq_ev_set_pgmchange(&ev, channel, d1); break;
    case 0xD0: snd_seq_ev_set_chanpress(&ev, channel, d1); break;
    case 0xE0: snd_seq_ev_set_pitchbend(&ev, channel, (d1 | (d2 << 7)) - 0x2000); break;
    default: return false;
    }
    snd_seq_ev_set_source(&ev, impl_->port);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    return snd_seq_event_output_direct(impl_->seq, &ev) >= 0;
}

#else

struct MidiOutAlsa::Impl {};

unsigned MidiOutAlsa::PortCount()
{
    return 0;
}

std::unique_ptr<MidiOutAlsa> MidiOutAlsa::Open(unsigned)
{
    return nullptr;
}

bool MidiOutAlsa::Send(std::uint32_t)
{
    return false;
}

#endif

MidiOutAlsa::MidiOutAlsa(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
MidiOutAlsa::~MidiOutAlsa() = default;
