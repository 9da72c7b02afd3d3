// Hands arbitrary bytes to the reader of saved files, as --send does with any
// file it is given: it never reads past the end, and what it accepts is what
// t2tk writes: the module's messages, whole, in t2tk's order.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "convert/message_schedule.h"
#include "convert/saved_messages.h"
#include "tests/support/message_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const t2tk::SavedMessages saved = t2tk::ReadSavedMessages({data, size});
    if (!saved.failure.empty()) {
        if (!saved.messages.empty()) {
            std::fprintf(stderr, "invariant broken: messages kept with a refusal: %s\n", saved.failure.c_str());
            std::abort();
        }
        return 0;
    }
    // Accepted: whole presets of the module's messages, each preset's store
    // request going to its own program.
    const t2tk::SendSchedule schedule(saved.messages);
    const int presets = schedule.presets();
    if (presets < 1) {
        std::fprintf(stderr, "invariant broken: accepted without a preset\n");
        std::abort();
    }
    // The check wants a conversion's stream, which begins with an init request.
    std::vector<std::uint8_t> stream = {0xF0, 0x3E, 0x11, 0x00, 0x07, 0x04, 0x30, 0x00, 0x3B, 0xF7};
    const bool initFirst = std::equal(stream.begin(), stream.end(), saved.messages.begin(),
                                      saved.messages.begin() + std::min(saved.messages.size(), stream.size()));
    if (initFirst) {
        stream.clear();
    }
    stream.insert(stream.end(), saved.messages.begin(), saved.messages.end());
    if (const std::string problem = t2tk::test::CheckMessages(stream.data(), stream.size(), presets);
        !problem.empty()) {
        std::fprintf(stderr, "invariant broken: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
