// Converts the presets of the corpus and compares every byte with the files an
// independent model of the conversion wrote (see corpus/README.md).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/test_support.h"

namespace t2tk {
namespace {

struct CorpusCase {
    std::string expected;  // file name of the expected MIDI file (or .syx: the raw messages)
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
        const bool raw = c.expected.ends_with(".syx");
        ASSERT_TRUE(test::ConvertToFile(c.presets, dir.File("out"), c.firstSlot, c.compatibility != 0,
                                        raw ? OutputFormat::SysEx : OutputFormat::Midi)
                        .written);
        EXPECT_TRUE(test::SameBytes(test::ReadBytes(dir.File("out")), test::ReadBytes(T2TK_CORPUS_DIR "/" + c.expected)))
            << c.expected;
    }
}

}  // namespace
}  // namespace t2tk
