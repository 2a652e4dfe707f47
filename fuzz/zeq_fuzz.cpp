// Opens arbitrary bytes as a field file and walks every section, field, value and
// block, unlocking protected sections with a password taken from the input and
// extracting embedded files into a scratch directory emptied on every run.
//
// Input: mode byte, a byte giving the password's length (mod 32) and in bit 7
// whether fields are read whole first, the password, then the rest.
// The mode chooses how the rest is presented: as a whole file (any encoding), as
// the main section of a valid plain or encrypted binary file (so the checksums
// hold and the body parser is reached), as such a section after a data area that
// its chunk references can point into (two bytes give the area's length), or as
// the fields of an ASCII file.
//
// With ZEQ_FUZZ_SEEDS=<dir> in the environment the target first writes its seed
// corpus there: whole files made by the writer (plain, encrypted, with and without
// password, embedded file, extension sections) and sections with a chunk.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fileio/kchainedfile.h"
#include "fileio/kpath.h"
#include "fileio/kzeq.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzzscratch.h"

using namespace zeqsdk_400;

namespace {

constexpr const char* kScratch = "zeq-fuzz";
// Where embedded files are extracted: a folder in the scratch folder, removed after each input.
std::string gScratch;
std::string gPassword;
// Read every field whole as doubles first, without looking at the types, as
// array readers do (a chunk is then read straight into the array).
bool gWhole = false;

void WalkValues(KZeq& zeq) {
    double doubles[7];
    int ints[5];
    if (gWhole && zeq.FieldReadGetRemain() < (1 << 22)) {
        std::vector<double> all(static_cast<std::size_t>(zeq.FieldReadGetRemain()) + 1);
        zeq.FieldReadDn(all.data(), static_cast<int>(all.size()));
    }
    while (zeq.FieldReadGetRemain() > 0) {
        switch (zeq.FieldReadGetType()) {
            case 'D':
                zeq.FieldReadDn(doubles, 7);
                break;
            case 'F':
                zeq.FieldReadF();
                break;
            case 'I':
                zeq.FieldReadIn(ints, 5);
                break;
            case 'L':
                zeq.FieldReadT();
                break;
            case 'C':
                zeq.FieldReadCH();
                break;
            case 'E': {
                KString name("x");
                KString relative("../x");
                zeq.FieldReadEmbeddedFile(name, relative, gScratch.c_str());
                break;
            }
            default:
                zeq.FieldReadC();
                break;
        }
    }
    zeq.FieldReadD();
}

void WalkBlock(KZeq& zeq, int depth) {
    if (zeq.IsPasswordProtected()) zeq.CheckPassword(gPassword.c_str());
    const int count = zeq.FieldGetBlockFieldCount();
    for (int i = 0; i < count; ++i) {
        const KString name = zeq.FieldGetBlockFieldName(i);
        zeq.FieldGetInstanceCount(name.Buffer());
        if (!zeq.FieldReadBegin(name.Buffer(), name.GetLen())) continue;
        zeq.FieldReadGetCount();
        WalkValues(zeq);
        if (zeq.FieldReadBlockBegin()) {
            WalkBlock(zeq, depth + 1);
            zeq.FieldReadBlockEnd();
        }
        zeq.FieldReadEnd();
    }
    zeq.FieldReadResetPosition();
    zeq.FieldReadI("Version", 0);
    zeq.FieldReadTS("LocalTime");
}

void WalkFile(KChainedFile& stream) {
    KZeq zeq;
    KZeqFileHeaderInfo header;
    if (!zeq.ProjectOpenStream(stream, false, false, &header)) return;
    if (zeq.ProjectOpenMainSection()) {
        WalkBlock(zeq, 0);
        zeq.ProjectCloseSection();
    }
    for (int i = 0; i < zeq.ProjectGetExtensionSectionCount(); ++i) {
        if (zeq.ProjectOpenExtensionSection(i)) WalkBlock(zeq, 0);
    }
    zeq.ProjectCloseSection();
    // Write a summary back where the file allows it, then read it again.
    zeq.GetError().ClearLastError();
    if (zeq.ProjectCreateExtensionSection(true)) {
        zeq.FieldWriteBegin("Summary");
        zeq.FieldWriteBlockBegin();
        zeq.FieldWriteBegin("Version");
        zeq.FieldWriteI(101);
        zeq.ProjectCloseSection();
        if (zeq.ProjectOpenExtensionSection(zeq.ProjectGetExtensionSectionCount() - 1)) WalkBlock(zeq, 0);
    }
    zeq.ProjectClose();
}

// --- seeds ---------------------------------------------------------------------------------

// Made by the writer in the scratch folder, then written as the seed name in seeds.
void Seed(const KHeldFolder& seeds, const char* name, const std::string& password, bool binary, bool encrypted,
          bool embedded, int extensions) {
    const KScratchFolder& scratch = zeqfuzz::ScratchFolder(kScratch);
    const std::string temporary = std::string(name) + ".tmp.zeq";
    const std::string path = scratch.PathOf(temporary.c_str()), media = scratch.PathOf("media.tmp");
    zeqfuzz::Store(scratch.GetFolder(), "media.tmp", std::string("embedded bytes"));
    KZeq z;
    if (!z.ProjectCreate(path.c_str(), binary, encrypted)) return;
    if (!password.empty()) z.ProjectSetPassword(password.c_str());
    z.FieldWriteBegin("Model");
    z.FieldWriteC("Model::Cube");
    z.FieldWriteBlockBegin();
    z.FieldWriteBegin("Version");
    z.FieldWriteI(232);
    z.FieldWriteBegin("LocalTime");
    z.FieldWriteT(KTime(0));
    z.FieldWriteT(KTime(46186158000LL));
    z.FieldWriteBlockEnd();
    z.FieldWriteBegin("Vertices");
    std::vector<double> values(12);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<double>(i) * 0.5;
    z.FieldWriteDn(values.data(), static_cast<int>(values.size()));
    const float floats[2] = {1.5f, -2.0f};
    z.FieldWriteFn(floats, 2);
    z.FieldWriteCH('a');
    if (embedded) {
        z.FieldWriteBegin("Media");
        z.FieldWriteEmbeddedFile(KString(media.c_str()), KString("tex/wood.tif"));
    }
    for (int i = 0; i < extensions; ++i) {
        z.ProjectCloseSection();
        z.ProjectCreateExtensionSection(false);
        z.FieldWriteBegin("Summary");
        z.FieldWriteL(i);
    }
    if (!z.ProjectClose()) std::fprintf(stderr, "seed %s: %s\n", name, z.GetLastErrorString());
    const std::string head{'\0', static_cast<char>(password.size())};
    zeqfuzz::Store(seeds, name, head + password + zeqfuzz::Load(path));
    scratch.GetFolder().RemoveFile(temporary.c_str());
    scratch.GetFolder().RemoveFile("media.tmp");
}

template <class T>
std::string Raw(T value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof(T));
}

// A main section whose "Vertices" are a run of doubles in a chunk of the data
// area (enciphered with its own key when encrypted), as modes 4 and 5 present it.
void ChunkSeed(const KHeldFolder& seeds, const char* name, bool encrypted) {
    using namespace zeqsdk_400::zeqdetail;
    std::string chunk = "d" + Raw<std::uint32_t>(6);
    for (int i = 0; i < 6; ++i) chunk += Raw(i * 0.25);
    std::uint8_t nonce[kNonceSize] = {1, 2, 3};
    std::uint8_t key[kKeySize] = {4, 5, 6};
    if (encrypted) {
        ZeqCtrCipher cipher;
        cipher.SetKey(key, nonce);
        cipher.Apply(reinterpret_cast<std::uint8_t*>(&chunk[0]), chunk.size(), 0);
    }
    std::uint64_t offset = 0;
    zeqfuzz::MakeBinaryZeq("", 5800, encrypted, chunk, &offset);
    const std::string values = "X" + Raw<std::uint32_t>(6) + Raw<std::uint64_t>(chunk.size()) + Raw(offset) +
                               Raw(Crc32(0, chunk.data(), chunk.size())) +
                               std::string(reinterpret_cast<const char*>(nonce), kNonceSize) +
                               (encrypted ? std::string(reinterpret_cast<const char*>(key), kKeySize)
                                          : std::string(kKeySize, '\0')) +
                               "I" + Raw<std::int32_t>(7);
    const std::string field = Raw<std::uint64_t>(16 + 8 + values.size()) + Raw<std::uint32_t>(8) +
                              Raw<std::uint32_t>(7) + Raw<std::uint64_t>(values.size()) + "Vertices" + values;
    zeqfuzz::Store(seeds, name,
                   std::string(1, static_cast<char>(encrypted ? 5 : 4)) + '\x80' +
                       Raw(static_cast<std::uint16_t>(chunk.size())) + chunk + field);
}

void WriteSeeds(const KHeldFolder& seeds) {
    Seed(seeds, "binary", "", true, false, false, 0);
    Seed(seeds, "binary-sections", "", true, false, false, 2);
    Seed(seeds, "binary-password-embedded", "pw", true, false, true, 1);
    Seed(seeds, "encrypted-embedded", "", true, true, true, 1);
    Seed(seeds, "encrypted-password", "secret", true, true, true, 1);
    Seed(seeds, "ascii-password", "pw", false, false, false, 1);
    ChunkSeed(seeds, "chunk", false);
    ChunkSeed(seeds, "chunk-encrypted", true);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gScratch = zeqfuzz::ScratchFolder(kScratch).PathOf("embedded");
    if (const KHeldFolder* seeds = zeqfuzz::SeedFolder()) WriteSeeds(*seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t mode = data[0] % 6;
    const std::size_t passwordLength = std::min<std::size_t>(data[1] % 32, size - 2);
    gWhole = (data[1] & 0x80) != 0;
    gPassword.assign(reinterpret_cast<const char*>(data + 2), passwordLength);
    data += 2 + passwordLength;
    size -= 2 + passwordLength;
    std::string file;
    switch (mode) {
        case 0:
            file.assign(reinterpret_cast<const char*>(data), size);
            break;
        case 1:
        case 2:
            file = zeqfuzz::MakeBinaryZeq(std::string(reinterpret_cast<const char*>(data), size), 5800, mode == 2);
            break;
        case 4:
        case 5: {
            // Two bytes (little-endian) give the length of the data area that follows.
            if (size < 2) return 0;
            const std::size_t area = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
            const char* rest = reinterpret_cast<const char*>(data + 2);
            file = zeqfuzz::MakeBinaryZeq(std::string(rest + area, size - 2 - area), 5800, mode == 5,
                                          std::string(rest, area));
            break;
        }
        default:
            file = "@Zeq: 5800\n@Section: 5800\n";
            file.append(reinterpret_cast<const char*>(data), size);
            file += "\n@End\n";
            break;
    }
    KRemoveDirectory(gScratch.c_str());
    KChainedMemoryFile stream(file.data(), file.size());
    WalkFile(stream);
    KRemoveDirectory(gScratch.c_str());
    return 0;
}
