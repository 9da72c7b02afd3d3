#include "convert/saved_messages.h"

#include <algorithm>
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

std::string At(std::size_t count, std::size_t offset)
{
    return Nth(count) + " (at byte " + std::to_string(offset) + ")";
}

// The messages read so far, and where each began in the file.
struct ReadMessages {
    SavedMessages saved;
    std::vector<std::size_t> offsets;
    void Add(std::span<const std::uint8_t> message, std::size_t offset)
    {
        saved.messages.insert(saved.messages.end(), message.begin(), message.end());
        offsets.push_back(offset);
    }
};

// What t2tk writes in the place after the message before, as the refusal
// says it; slot: the preset's (the program dump's, once known; -1 before).
std::string Expected(int step, int slot)
{
    constexpr int voices = 24;
    if (step == 0) {
        return slot < 0 ? "a program dump" : "the program dump for program " + std::to_string(slot + 1);
    }
    if (step <= voices) {
        return "the voice dump of voice " + std::to_string(step);
    }
    if (step <= voices + 4) {
        return "the dump of effect unit " + std::to_string(step - voices);
    }
    return "the store request for program " + std::to_string(slot + 1);
}

// Whether message is the one t2tk writes at step of a preset (0: its program
// dump, 1 to 24: the voices, 25 to 28: the effect units, 29: its store
// request) for slot (any, for the first program dump: -1).
bool IsStep(const std::uint8_t* message, int step, int slot)
{
    constexpr int voices = 24;
    const std::uint8_t type = message[kTypeOffset];
    if (step == 0) {
        return type == kProgramDumpType && (slot < 0 || message[kIndexOffset] == slot);
    }
    if (step <= voices) {
        return type == kVoiceDumpType && message[kIndexOffset] == step - 1;
    }
    if (step <= voices + 4) {
        return type == kEffectDumpType && message[kIndexOffset] == step - voices - 1;
    }
    return IsStoreRequest(message, kRequestLength) && message[kRecordOffset] == slot;
}

// A saved file holds exactly what t2tk writes, in its order: one init
// request, then 1 to 50 whole presets whose programs follow one another from
// the first (those that would pass the last program all go to it). Anything
// else could store a broken kit, or the module's edit buffer, in a program,
// or overwrite programs the user never chose.
std::string CheckOrder(const ReadMessages& read)
{
    constexpr int stepsPerPreset = 30;
    constexpr int lastSlot = 49;
    constexpr int mostPresets = 50;
    const std::uint8_t* bytes = read.saved.messages.data();
    std::size_t position = 0;
    int step = 0;
    int slot = -1;
    int presets = 0;
    for (std::size_t i = 0; i < read.offsets.size(); ++i) {
        const std::uint8_t* message = bytes + position;
        position += MessageLength(message[kTypeOffset]);
        const bool init = message[kTypeOffset] == kRequestType && message[kCodeOffset] == kInitCode;
        if (i == 0) {
            if (!init) {
                return At(i, read.offsets[i]) + " is out of place: t2tk writes an init request there";
            }
            continue;
        }
        if (step == 0 && presets == mostPresets) {
            return At(i, read.offsets[i]) + " is out of place: t2tk writes at most " + std::to_string(mostPresets) +
                   " presets";
        }
        // The next program: the one after the last, or the last again.
        const int wanted = step == 0 && presets > 0 ? std::min(slot + 1, lastSlot) : slot;
        if (!IsStep(message, step, wanted)) {
            return At(i, read.offsets[i]) + " is out of place: t2tk writes " + Expected(step, wanted) + " there";
        }
        if (step == 0) {
            slot = message[kIndexOffset];
            ++presets;
        }
        step = (step + 1) % stepsPerPreset;
    }
    if (step != 0) {
        return "the file ends inside a preset: t2tk writes " + Expected(step, slot) + " next";
    }
    if (presets == 0) {
        return "it holds no preset, only an init request";
    }
    return {};
}

ReadMessages ReadSysEx(std::span<const std::uint8_t> file)
{
    ReadMessages read;
    for (std::size_t position = 0, count = 0; position < file.size(); ++count) {
        const void* end = std::memchr(file.data() + position, kMessageEnd, file.size() - position);
        const std::size_t length = end != nullptr
                                       ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - file.data()) -
                                             position + 1
                                       : file.size() - position;
        if (!IsModuleMessage(file.data() + position, length)) {
            return {Refuse(At(count, position) + " is not one of the module's messages"), {}};
        }
        read.Add(file.subspan(position, length), position);
        position += length;
    }
    return read;
}

ReadMessages ReadMidiFile(std::span<const std::uint8_t> file)
{
    ReadMessages read;
    Reader reader(file);
    std::size_t count = 0;
    while (!reader.AtEnd()) {
        std::span<const std::uint8_t> type;
        std::uint32_t length = 0;
        std::span<const std::uint8_t> chunk;
        if (!reader.Take(4, type) || !reader.Number(4, length) || !reader.Take(length, chunk)) {
            return {Refuse("the MIDI file ends inside a chunk"), {}};
        }
        if (std::memcmp(type.data(), "MTrk", 4) != 0) {
            continue;  // the header, and chunks of others
        }
        Reader track(chunk);
        while (!track.AtEnd()) {
            std::uint32_t delta = 0;
            std::uint8_t status = 0;
            if (!track.Quantity(delta) || !track.Byte(status)) {
                return {Refuse("a track of the MIDI file ends inside an event"), {}};
            }
            const std::size_t at = static_cast<std::size_t>(chunk.data() - file.data()) + track.Position() - 1;
            std::uint8_t meta = 0;
            std::uint32_t size = 0;
            std::span<const std::uint8_t> data;
            if (status == 0xFF ? !track.Byte(meta) || !track.Quantity(size) || !track.Take(size, data)
                : status == 0xF0 ? !track.Quantity(size) || !track.Take(size, data)
                                 : false) {
                return {Refuse("a track of the MIDI file ends inside an event"), {}};
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
                return {Refuse(At(count, at) + " is not one of the module's messages"), {}};
            }
            read.Add(message, at);
            ++count;
        }
    }
    return read;
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
    ReadMessages read;
    switch (KindOfFile(file)) {
    case FileKind::MidiFile:
        read = ReadMidiFile(file);
        break;
    case FileKind::SysEx:
        read = ReadSysEx(file);
        break;
    case FileKind::Preset:
        return Refuse("it is neither a MIDI file nor SysEx messages");
    }
    if (!read.saved.failure.empty()) {
        return read.saved;
    }
    if (read.saved.messages.empty()) {
        return Refuse("it holds no message for the module");
    }
    if (std::string failure = CheckOrder(read); !failure.empty()) {
        return Refuse(std::move(failure));
    }
    return read.saved;
}

}  // namespace t2tk
