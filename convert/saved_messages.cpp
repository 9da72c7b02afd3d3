#include "convert/saved_messages.h"

#include <cstring>

#include "convert/message_layout.h"

namespace t2tk {

namespace {

SavedMessages Refuse(std::string why)
{
    return {{}, std::move(why)};
}

// Reads bytes of a MIDI file from a position, never past its end.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    bool AtEnd() const { return m_position >= m_bytes.size(); }
    std::size_t Position() const { return m_position; }
    bool Byte(std::uint8_t& byte)
    {
        if (AtEnd()) {
            return false;
        }
        byte = m_bytes[m_position++];
        return true;
    }
    bool Number(std::size_t size, std::uint32_t& number)
    {
        number = 0;
        for (std::uint8_t byte = 0; size-- > 0;) {
            if (!Byte(byte)) {
                return false;
            }
            number = (number << 8) | byte;
        }
        return true;
    }
    // A variable-length quantity: at most four bytes of seven bits.
    bool Quantity(std::uint32_t& number)
    {
        number = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint8_t byte = 0;
            if (!Byte(byte)) {
                return false;
            }
            number = (number << 7) | (byte & 0x7Fu);
            if ((byte & 0x80) == 0) {
                return true;
            }
        }
        return false;
    }
    bool Take(std::size_t size, std::span<const std::uint8_t>& taken)
    {
        if (size > m_bytes.size() - m_position) {
            return false;
        }
        taken = m_bytes.subspan(m_position, size);
        m_position += size;
        return true;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
};

std::string Nth(std::size_t count)
{
    return "message " + std::to_string(count + 1);
}

SavedMessages ReadSysEx(std::span<const std::uint8_t> file)
{
    SavedMessages saved;
    for (std::size_t position = 0, count = 0; position < file.size(); ++count) {
        const void* end = std::memchr(file.data() + position, kMessageEnd, file.size() - position);
        const std::size_t length = end != nullptr
                                       ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - file.data()) -
                                             position + 1
                                       : file.size() - position;
        if (!IsModuleMessage(file.data() + position, length)) {
            return Refuse(Nth(count) + " (at byte " + std::to_string(position) + ") is not one of the module's messages");
        }
        saved.messages.insert(saved.messages.end(), file.begin() + static_cast<std::ptrdiff_t>(position),
                              file.begin() + static_cast<std::ptrdiff_t>(position + length));
        position += length;
    }
    return saved;
}

SavedMessages ReadMidiFile(std::span<const std::uint8_t> file)
{
    SavedMessages saved;
    Reader reader(file);
    std::size_t count = 0;
    while (!reader.AtEnd()) {
        std::span<const std::uint8_t> type;
        std::uint32_t length = 0;
        std::span<const std::uint8_t> chunk;
        if (!reader.Take(4, type) || !reader.Number(4, length) || !reader.Take(length, chunk)) {
            return Refuse("the MIDI file ends inside a chunk");
        }
        if (std::memcmp(type.data(), "MTrk", 4) != 0) {
            continue;  // the header, and chunks of others
        }
        Reader track(chunk);
        while (!track.AtEnd()) {
            std::uint32_t delta = 0;
            std::uint8_t status = 0;
            if (!track.Quantity(delta) || !track.Byte(status)) {
                return Refuse("a track of the MIDI file ends inside an event");
            }
            const std::size_t at = static_cast<std::size_t>(chunk.data() - file.data()) + track.Position() - 1;
            std::uint8_t meta = 0;
            std::uint32_t size = 0;
            std::span<const std::uint8_t> data;
            if (status == 0xFF ? !track.Byte(meta) || !track.Quantity(size) || !track.Take(size, data)
                : status == 0xF0 ? !track.Quantity(size) || !track.Take(size, data)
                                 : false) {
                return Refuse("a track of the MIDI file ends inside an event");
            }
            if (status == 0xFF) {
                continue;  // tempo, meter, names: nothing that goes to the module
            }
            std::vector<std::uint8_t> message;
            if (status == 0xF0) {
                message.push_back(0xF0);
                message.insert(message.end(), data.begin(), data.end());
            }
            if (status != 0xF0 || !IsModuleMessage(message.data(), message.size())) {
                return Refuse(Nth(count) + " (at byte " + std::to_string(at) + ") is not one of the module's messages");
            }
            saved.messages.insert(saved.messages.end(), message.begin(), message.end());
            ++count;
        }
    }
    return saved;
}

}  // namespace

FileKind KindOfFile(std::span<const std::uint8_t> head)
{
    if (head.size() >= 4 && std::memcmp(head.data(), "MThd", 4) == 0) {
        return FileKind::MidiFile;
    }
    return !head.empty() && head[0] == 0xF0 ? FileKind::SysEx : FileKind::Preset;
}

SavedMessages ReadSavedMessages(std::span<const std::uint8_t> file)
{
    SavedMessages saved;
    switch (KindOfFile(file)) {
    case FileKind::MidiFile:
        saved = ReadMidiFile(file);
        break;
    case FileKind::SysEx:
        saved = ReadSysEx(file);
        break;
    case FileKind::Preset:
        return Refuse("it is neither a MIDI file nor SysEx messages");
    }
    if (saved.failure.empty() && saved.messages.empty()) {
        return Refuse("it holds no message for the module");
    }
    return saved;
}

}  // namespace t2tk
