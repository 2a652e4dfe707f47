// Drives the text tokenizer over arbitrary file content. The first input byte
// picks the delimiter set and flags, the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fileio/ktextfile.h"
#include "fuzz/fuzzscratch.h"

using namespace zeqsdk_400;

namespace {

const char* const kDelimiterSets[] = {" \t\r\n", " \t,()\r\n", "\t\r\n", ""};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t control = data[0];
    const std::string path = zeqfuzz::Put("zeq-textfile-fuzz", "input.txt", data + 1, size - 1);
    if (path.empty()) return 0;

    KTextFile file("FUZZ", kDelimiterSets[control & 3], (control & 4) ? "#;" : "", (control & 8) != 0, true);
    int messages = 0;
    file.SetErrorCallback([&messages](const char*) { ++messages; });
    file.SetWarningCallback([&messages](const char*) { ++messages; });
    if (file.Open(path.c_str(), "r")) return 0;

    KToken table[] = {{"HIERARCHY", 0}, {"Frame Time:", 0}, {":", 0}, {"begin", 0}, {"inf", 0}, {"", 0}};
    char word[16];
    KString text;
    double values[3];
    int integer = 0;
    char c = 0;

    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1 && !file.FirstLine()) break;
        int lines = 0;
        do {
            file.InitTokens(table);
            file.Check(table);
            file.Handle(table);
            // Each round consumes at least one character or stops, so a line ends.
            for (int round = 0; round < 4096; ++round) {
                const std::size_t before = std::strlen(file.GetCursor());
                switch ((round + lines + pass) % 8) {
                    case 0: file.GetString(word, static_cast<int>(sizeof(word)) - 1); break;
                    case 1: file.GetInteger(integer); break;
                    case 2: file.GetDouble(values[0], 2.54); break;
                    case 3: file.GetPair(values, 1.0); break;
                    case 4: file.GetVector(values, 0.1); break;
                    case 5: file.GetString(text); break;
                    case 6: file.PeakChar(c); break;
                    default: file.GetChar(c); break;
                }
                if (!file.PeakChar(c)) break;
                if (round % 8 == 7 && std::strlen(file.GetCursor()) == before) file.GetChar(c);
            }
            if (lines % 16 == 0) file.Warning("line %d: %s", lines, file.GetCursor());
            ++lines;
        } while (lines < 100000 && file.NextLine());
    }
    file.Close();
    return messages < 0;
}
