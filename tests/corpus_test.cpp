// Converts the presets of the corpus and compares every byte with the files an
// independent model of the conversion wrote (see corpus/README.md).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "convert/convert.h"
#include "tests/message_checks.h"
#include "tests/test_support.h"

namespace t2tk {
namespace {

struct CorpusCase {
    std::string expected;  // file name of the expected MIDI file
    int firstSlot;
    int compatibility;
    std::vector<std::string> presets;
};

std::vector<CorpusCase> ReadCases()
{
    std::vector<CorpusCase> cases;
    std::ifstream list(T2TK_CORPUS_DIR "/cases.txt");
    std::string line;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        CorpusCase c;
        fields >> c.expected >> c.firstSlot >> c.compatibility;
        for (std::string preset; fields >> preset;) {
            c.presets.push_back(T2TK_CORPUS_DIR "/" + preset);
        }
        cases.push_back(c);
    }
    return cases;
}

TEST(Corpus, EveryCaseMatchesTheModelByteForByte)
{
    const std::vector<CorpusCase> cases = ReadCases();
    ASSERT_GE(cases.size(), 10U);
    test::TempDir dir;
    for (const CorpusCase& c : cases) {
        std::vector<const char*> names;
        for (const std::string& preset : c.presets) {
            names.push_back(preset.c_str());
        }
        names.push_back(nullptr);
        const std::string output = dir.File("out.mid");
        ASSERT_EQ(ConvertFilesToMidi("", names.data(), output.c_str(), c.compatibility, c.firstSlot), 0);
        const test::Bytes file = test::ReadBytes(output);
        EXPECT_EQ(file, test::ReadBytes(T2TK_CORPUS_DIR "/" + c.expected)) << c.expected;
        const test::Bytes messages = test::MessageBytes();
        EXPECT_EQ(test::CheckMessages(messages.data(), messages.size(), static_cast<int>(c.presets.size())), "")
            << c.expected;
        EXPECT_EQ(test::CheckMidiFile(file.data(), file.size(), messages.data(), messages.size()), "") << c.expected;
    }
}

}  // namespace
}  // namespace t2tk
