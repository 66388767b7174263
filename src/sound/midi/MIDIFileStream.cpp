#include "sound/midi/MIDIFileStream.h"

MIDIFileStream::MIDIFileStream(const std::string& fileName)
    : file_(fileName, TFileStream::fmOpenRead | TFileStream::fmShareDenyWrite)
{
}

std::size_t MIDIFileStream::Read(void* buffer, std::size_t count)
{
    if (count > Remaining())
        count = static_cast<std::size_t>(Remaining());
    return static_cast<std::size_t>(file_.Read(buffer, static_cast<std::int64_t>(count)));
}

bool MIDIFileStream::StepBack()
{
    return file_.Position() > 0 && file_.Seek(-1, soCurrent) >= 0;
}

bool MIDIFileStream::Skip(std::uint64_t count)
{
    if (count > Remaining())
        return false;
    return file_.Seek(static_cast<std::int64_t>(count), soCurrent) >= 0;
}

std::uint64_t MIDIFileStream::Remaining() const
{
    const std::int64_t left = file_.Size() - file_.Position();
    return left > 0 ? static_cast<std::uint64_t>(left) : 0;
}
