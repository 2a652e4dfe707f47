// The 3DS toolkit's read side on arbitrary bytes: as a whole file, or as the data
// of one tag inside a mesh file (so every catalogued layout meets hostile bytes).
// Every chunk's data is read, the tree copied and written back, and everything
// released; the toolkit's global state is reset after each input.
//
// Input: a mode byte; mode 0 presents the rest as a whole file, otherwise two
// bytes pick a tag and the rest is its chunk's data (the chunk length comes from
// the bytes present, or, in mode 2, from the next four bytes, so that lengths lie).
// A raw 3DS file begins 0x4D, which reads as mode 2: the seeds in
// fuzz/corpus/3dstoolkit_fuzz are the sample files behind a 0 byte ("file-*") and
// single chunks' data cut from them behind a 1 and their tag ("tag-*").

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/geometry/3ds/toolkit/toolkit3ds.h"
#include "fuzz/fuzzscratch.h"

using namespace zeqsdk_400;

namespace {

constexpr const char* kScratch = "3dstoolkit-fuzz";

void Put16(std::string& s, std::uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}

void Put32(std::string& s, std::uint32_t v) {
    Put16(s, static_cast<std::uint16_t>(v));
    Put16(s, static_cast<std::uint16_t>(v >> 16));
}

void ReadAll(chunk3ds* chunk, int depth) {
    for (; chunk; chunk = chunk->sibling) {
        ReadChunkData3ds(chunk);
        CheckChunk3ds(chunk);
        ClearErrList3ds();
        if (depth < 80) ReadAll(chunk->children, depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::string file;
    const std::uint8_t mode = data[0] % 3;
    if (mode == 0) {
        file.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    } else {
        if (size < 3) return 0;
        const std::uint16_t tag = static_cast<std::uint16_t>(data[1] | (data[2] << 8));
        std::size_t at = 3;
        std::uint32_t length = 0;
        if (mode == 2 && size >= 7) {
            length = static_cast<std::uint32_t>(data[3] | (data[4] << 8) | (data[5] << 16) |
                                                (static_cast<std::uint32_t>(data[6]) << 24));
            at = 7;
        }
        const std::string body(reinterpret_cast<const char*>(data + at), size - at);
        if (mode == 1) length = static_cast<std::uint32_t>(body.size() + 6);
        std::string chunk;
        Put16(chunk, tag);
        Put32(chunk, length);
        chunk += body;
        Put16(file, 0x4D4D);
        Put32(file, static_cast<std::uint32_t>(chunk.size() + 6));
        file += chunk;
    }
    const std::string in = zeqfuzz::Put(kScratch, "in.3ds", file);
    if (in.empty()) return 0;
    const std::string out = zeqfuzz::ScratchFolder(kScratch).PathOf("out.3ds");
    database3ds* db = nullptr;
    InitDatabase3ds(&db);
    file3ds* input = OpenFile3ds(in.c_str(), "rb");
    if (input) CreateDatabase3ds(input, db);
    ClearErrList3ds();
    if (db->top) {
        ReadAll(db->top, 0);
        database3ds* copy = nullptr;
        InitDatabase3ds(&copy);
        CopyDatabase3ds(db, copy);
        ClearErrList3ds();
        if (file3ds* output = OpenFile3ds(out.c_str(), "wb")) {
            WriteDatabase3ds(output, copy);
            CloseFile3ds(output);
        }
        ClearErrList3ds();
        ReleaseDatabase3ds(&copy);
    }
    ReleaseDatabase3ds(&db);
    CloseAllFiles3ds();
    ClearErrList3ds();
    return 0;
}
