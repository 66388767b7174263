#pragma once
// What a loadable part of a MIDI file can do: read itself from a stream, write itself, forget its
// contents. Read reports failure by its result and keeps what it read up to the fault.
class MIDIStream;

class Persist {
public:
    virtual ~Persist() = default;
    [[nodiscard]] virtual bool Read(MIDIStream* stream) = 0;
    virtual bool Write(MIDIStream* stream) = 0;
    virtual void Clear() = 0;
};
