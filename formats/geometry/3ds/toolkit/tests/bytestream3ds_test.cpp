// Error stack, file contexts and the byte stream.

#include "fileio/tests/kfilesizelimit.h"
#include "formats/geometry/3ds/toolkit/tests/toolkit_test_support.h"

namespace tk3dstest {
namespace {

class ErrorStack3ds : public ToolkitTest {};

TEST_F(ErrorStack3ds, NineteenEntriesThenOverflowThenNErrors) {
    PushErrList3ds(0);
    EXPECT_EQ(toolkiterr3ds, 0);
    for (int i = 1; i <= 19; ++i) PushErrList3ds(i);
    const errorentry3ds* stack = ReturnErrorList3ds();
    EXPECT_EQ(stack[18].code, 19);
    EXPECT_EQ(stack[19].code, 0);
    EXPECT_EQ(stack[20].code, 0);
    PushErrList3ds(ERR_NO_MEM);  // the 20th lands in the overflow entry with its code
    EXPECT_EQ(stack[20].code, ERR_NO_MEM);
    PushErrList3ds(ERR_INVALID_ARG);  // the 21st turns it into N_ERRORS
    EXPECT_EQ(stack[20].code, N_ERRORS);
    EXPECT_STREQ(stack[20].text, "N_ERRORS: More errors were reported than could be recorded.");
    EXPECT_EQ(toolkiterr3ds, 1);

    // Clearing keeps the overflow entry: the next overflow reads N_ERRORS at once.
    ClearErrList3ds();
    EXPECT_EQ(toolkiterr3ds, 0);
    EXPECT_EQ(stack[0].code, 0);
    EXPECT_EQ(stack[20].code, N_ERRORS);
    for (int i = 0; i < 20; ++i) PushErrList3ds(ERR_READING_FILE);
    EXPECT_EQ(stack[20].code, N_ERRORS);
}

TEST_F(ErrorStack3ds, MessagesNameTheirCodeAndDumpNewestFirst) {
    for (std::int32_t code : {13, 14, 15, 16, 17}) EXPECT_NE(std::string(ErrCodeToString3ds(code)).find("occurred"), std::string::npos);
    EXPECT_STREQ(ErrCodeToString3ds(0), "NO_ERRORS: No errors are pending");
    EXPECT_STREQ(ErrCodeToString3ds(5), "ERR_INVALID_DATABASE: The database passed as an argument has not been created yet.");
    EXPECT_NE(std::string(ErrCodeToString3ds(18)).find("uninitialized pointer"), std::string::npos);
    EXPECT_NE(std::string(ErrCodeToString3ds(ERR_TOO_MANY_NODES)).find("32768 nodes"), std::string::npos);
    for (std::int32_t code : {21, -1, 23})
        EXPECT_STREQ(ErrCodeToString3ds(code), "Unknown error code was encountered") << code;

    PushErrList3ds(ERR_NO_MEM);
    PushErrList3ds(ERR_OPENING_FILE);
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    DumpErrList3ds(out);
    std::fclose(out);
    EXPECT_EQ(std::string(text), std::string(ErrCodeToString3ds(11)) + "\n" + ErrCodeToString3ds(1) + "\n");
    std::free(text);
}

class FileContexts3ds : public ToolkitTest {};

TEST_F(FileContexts3ds, SameNameAndModeReturnsTheOpenContext) {
    const std::string path = mDir / "a.3ds";
    WriteFile(path, Chunk(0x4D4D, ""));
    file3ds* first = OpenFile3ds(path.c_str(), "rb");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(OpenFile3ds(path.c_str(), "r+"), first);  // 'r' decides, the rest is ignored
    EXPECT_EQ(GetContextByName3ds(path.c_str()), first);
    EXPECT_FALSE(IsValidFileIndex3ds(255));
    EXPECT_EQ(GetContextByIndex3ds(NextFileContext), nullptr);
}

TEST_F(FileContexts3ds, ModeWithoutReadOrWriteLeavesNoContext) {
    const std::string path = mDir / "a.3ds";
    WriteFile(path, "x");
    EXPECT_EQ(OpenFile3ds(path.c_str(), "a+"), nullptr);
    EXPECT_EQ(FirstError(), ERR_INIT_FAILED);
    EXPECT_EQ(GetContextByName3ds(path.c_str()), nullptr);
}

TEST_F(FileContexts3ds, MissingFileIsCode11AndAPendingErrorStopsTheNextOpen) {
    const std::string path = mDir / "missing.3ds";
    EXPECT_EQ(OpenFile3ds(path.c_str(), "rb"), nullptr);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_OPENING_FILE});
    EXPECT_EQ(GetContextByName3ds(path.c_str()), nullptr);
    EXPECT_EQ(OpenFile3ds(path.c_str(), "rb"), nullptr);
    EXPECT_EQ(Errors().back(), ERR_INIT_FAILED);
    ClearErrList3ds();
    EXPECT_EQ(OpenFile3ds(path.c_str(), "rb"), nullptr);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_OPENING_FILE});
}

// A file the toolkit cannot open says which and why after its code, in the dump: a save
// into a missing folder, a read of a folder.
TEST_F(FileContexts3ds, AnOpenThatFailsSaysWhichFileAndWhy) {
    const std::string missing = mDir / "none/a.3ds";
    EXPECT_EQ(OpenFile3ds(missing.c_str(), "wb"), nullptr);
    EXPECT_EQ(ENOENT, SystemError3ds());
    const auto dumped = [] {
        char* text = nullptr;
        std::size_t size = 0;
        std::FILE* out = open_memstream(&text, &size);
        DumpErrList3ds(out);
        std::fclose(out);
        const std::string dump(text ? text : "");
        std::free(text);
        return dump;
    };
    EXPECT_EQ(std::string(ErrCodeToString3ds(ERR_OPENING_FILE)) + ": Cannot write \"" + missing +
                  "\": No such file or directory\n",
              dumped());
    ClearErrList3ds();
    EXPECT_EQ(OpenFile3ds(mDir.Path().c_str(), "rb"), nullptr);
    EXPECT_NE(std::string::npos, dumped().find("is not read: it is a directory")) << dumped();
    ClearErrList3ds();
    EXPECT_EQ("", dumped());
}

// A stream opened elsewhere is written through as a file opened by name, and
// belongs to its context: closed with it, or at once when it is refused.
TEST_F(FileContexts3ds, AnAdoptedStreamIsWrittenAndClosedWithItsContext) {
    const std::string path = mDir / "adopted.3ds";
    file3ds* file = AdoptFile3ds(std::fopen(path.c_str(), "wb"), "the temporary");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(GetContextByName3ds("the temporary"), file);
    SetContext3ds(file);
    WriteHeader3ds(0x4D4D, 6);
    CloseFile3ds(file);
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Chunk(0x4D4D, ""), ReadFile(path));
    int ends[2];
    ASSERT_EQ(0, ::pipe(ends));
    EXPECT_EQ(AdoptFile3ds(::fdopen(ends[1], "wb"), nullptr), nullptr);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_ARG});
    char byte = 0;
    EXPECT_EQ(0, ::read(ends[0], &byte, 1)) << "the refused stream is closed";
    ::close(ends[0]);
    ClearErrList3ds();
    EXPECT_EQ(AdoptFile3ds(nullptr, "none"), nullptr);
}

TEST_F(FileContexts3ds, WritingAFileBeingReadKeepsItsChunksReadable) {
    // A file read lazily and then written anew: the old chunks still read the old
    // bytes, the name takes the new file complete, at its close, and nothing else
    // is left beside it.
    const std::string path = mDir / "same.3ds";
    const std::string old = Chunk(0x4D4D, Chunk(0x0100, F32(2.5f)));
    database3ds* db = Open(old, "same.3ds");
    file3ds* reading = GetContextByName3ds(path.c_str());
    ASSERT_NE(reading, nullptr);
    file3ds* writing = OpenFile3ds(path.c_str(), "wb");
    ASSERT_NE(writing, nullptr);
    EXPECT_NE(writing, reading);
    EXPECT_EQ(GetContextByName3ds(path.c_str()), writing);
    SetContext3ds(writing);
    WriteHeader3ds(0x4D4D, 6);
    EXPECT_EQ(ReadFile(path), old);
    CloseFile3ds(writing);
    EXPECT_EQ(ReadFile(path), Chunk(0x4D4D, ""));

    chunk3ds* scale = nullptr;
    FindChunk3ds(db->top, 0x0100, &scale);
    ASSERT_NE(scale, nullptr);
    const auto* data = static_cast<floatdata3ds*>(ReadChunkData3ds(scale));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->value, 2.5f);
    CloseFile3ds(reading);
    EXPECT_EQ(ReadFile(path), Chunk(0x4D4D, ""));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(mDir.Path()), {}), 1);
    EXPECT_TRUE(Errors().empty());
}

// A save that cannot be stored leaves the file as it was, and no temporary:
// a write fails, the close cannot store the buffered tail, or the name no
// longer holds a file to replace when the new one is to take it.
struct FailedSave {
    const char* name;
    std::uint32_t bytes;    // written under a limit of 4096 bytes a file
    bool folderTakesName;   // a folder is put under the name before the close
    std::vector<std::int32_t> errors;
    int systemError;
};

class FailedSave3ds : public ToolkitTest, public testing::WithParamInterface<FailedSave> {};

TEST_P(FailedSave3ds, LeavesTheFileAsItWas) {
    const FailedSave& save = GetParam();
    const std::string path = mDir / "keep.3ds";
    WriteFile(path, "OLD");
    file3ds* file = OpenFile3ds(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    SetContext3ds(file);
    const std::vector<char> bytes(save.bytes, 'x');
    {
        zeqtest::ScopedFileSizeLimit limit(4096);
        WriteVoid3ds(save.bytes, bytes.data());
        if (save.folderTakesName) {
            std::filesystem::rename(path, mDir / "moved.3ds");
            std::filesystem::create_directory(path);
        }
        CloseFile3ds(file);
    }
    EXPECT_EQ(Errors(), save.errors);
    EXPECT_EQ(SystemError3ds(), save.systemError);
    const std::string kept = save.folderTakesName ? mDir / "moved.3ds" : path;
    EXPECT_EQ(ReadFile(kept), "OLD");
    EXPECT_EQ(save.folderTakesName, std::filesystem::is_directory(path));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(mDir.Path()), {}), save.folderTakesName ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    FileContexts3ds, FailedSave3ds,
    testing::Values(FailedSave{"AtAWrite", 20000, false, {ERR_WRITING_FILE, ERR_CLOSING_FILE}, EFBIG},
                    FailedSave{"AtTheClose", 5000, false, {ERR_CLOSING_FILE}, EFBIG},
                    FailedSave{"AtTheRename", 10, true, {ERR_CLOSING_FILE}, 0}),
    [](const testing::TestParamInfo<FailedSave>& info) { return std::string(info.param.name); });

TEST_F(FileContexts3ds, AStreamSetOnAContextIsReadFromThen) {
    // The tree was read through the old stream; data read after the swap comes
    // from the new one, not from bytes kept of the old.
    database3ds* db = Open(Chunk(0x4D4D, Chunk(0x0100, F32(2.5f))));
    const std::string other = mDir / "other.3ds";
    WriteFile(other, Chunk(0x4D4D, Chunk(0x0100, F32(7.0f))));
    file3ds* ctx = GetContextByIndex3ds(db->top->readindex);
    ASSERT_NE(ctx, nullptr);
    std::FILE* old = ctx->stream;
    SetContext3ds(ctx);
    SetFile3ds(std::fopen(other.c_str(), "rb"));
    std::fclose(old);
    const auto* data = static_cast<floatdata3ds*>(ReadChunkData3ds(db->top->children));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->value, 7.0f);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(FileContexts3ds, TwoHundredFiftyThirdFileIsRefusedAndAFreedSlotIsReused) {
    std::vector<file3ds*> open;
    for (int i = 0; i < MaxFileContext; ++i) {
        const std::string path = mDir / ("f" + std::to_string(i));
        open.push_back(OpenFile3ds(path.c_str(), "wb"));
        ASSERT_NE(open.back(), nullptr) << i;
    }
    const std::string extra = mDir / "extra";
    EXPECT_EQ(OpenFile3ds(extra.c_str(), "wb"), nullptr);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_TOO_MANY_FILES});
    const std::uint8_t freed = open[7]->index;
    CloseFile3ds(open[7]);
    ClearErrList3ds();
    file3ds* again = OpenFile3ds(extra.c_str(), "wb");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->index, freed);
}

TEST_F(FileContexts3ds, CurrentContextByIndexAndItsFileName) {
    const std::string a = mDir / "a.3ds", b = mDir / "b.3ds";
    file3ds* first = OpenFile3ds(a.c_str(), "wb");
    file3ds* second = OpenFile3ds(b.c_str(), "wb");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    SetContextByIndex3ds(first->index);
    EXPECT_EQ(GetContext3ds(), first);
    EXPECT_EQ(GetContextIndex3ds(), first->index);
    EXPECT_STREQ(GetFileName3ds(), a.c_str());
    // A slot past the last one used, or emptied by a close, leaves the current context.
    SetContextByIndex3ds(NextFileContext);
    SetContextByIndex3ds(InvalidFileContext3ds);
    EXPECT_EQ(GetContext3ds(), first);
    const std::uint8_t closed = second->index;
    CloseFile3ds(second);
    SetContextByIndex3ds(closed);
    EXPECT_EQ(GetContextIndex3ds(), first->index);

    // The current context is found under its new name; a name over 512 characters is refused.
    SetFileName3ds("renamed.3ds");
    EXPECT_STREQ(GetFileName3ds(), "renamed.3ds");
    EXPECT_EQ(GetContextByName3ds("renamed.3ds"), first);
    EXPECT_EQ(GetContextByName3ds(a.c_str()), nullptr);
    SetFileName3ds(std::string(512, 'n').c_str());
    EXPECT_EQ(std::strlen(GetFileName3ds()), 512u);
    EXPECT_TRUE(Errors().empty());
    SetFileName3ds(std::string(513, 'n').c_str());
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_STRING_TOO_LONG});
    EXPECT_EQ(std::strlen(GetFileName3ds()), 512u);
}

class ByteStream3ds : public ToolkitTest {
protected:
    // Runs `write` on a new file and returns the bytes written.
    template <typename F>
    std::string Written(F write) {
        const std::string path = mDir / "bytes";
        file3ds* file = OpenFile3ds(path.c_str(), "wb");
        SetContext3ds(file);
        write();
        CloseFile3ds(file);
        return ReadFile(path);
    }
    // Makes a new file of `bytes` current for reading.
    void Reading(const std::string& bytes) {
        const std::string path = mDir / ("read" + std::to_string(mReads++));
        WriteFile(path, bytes);
        SetContext3ds(OpenFile3ds(path.c_str(), "rb"));
    }
    int mReads = 0;
};

TEST_F(ByteStream3ds, RecordsHaveTheirFileWidths) {
    const point3ds p = {1, 2, 3};
    EXPECT_EQ(Written([&] { WritePoint3ds(&p); }), F32(1) + F32(2) + F32(3));
    const keyheader3ds key = {7, 0x0005, 0.25f, 9.0f, 0.5f, 9.0f, 9.0f};
    const std::string keyBytes = Written([&] { WriteKeyHeader3ds(&key); });
    EXPECT_EQ(keyBytes, U32(7) + U16(5) + F32(0.25f) + F32(0.5f));  // 14 bytes: tension and bias only
    Reading(keyBytes);
    keyheader3ds back;
    ReadKeyHeader3ds(&back);
    EXPECT_EQ(back.tension, 0.25f);
    EXPECT_EQ(back.bias, 0.5f);
    EXPECT_EQ(back.continuity, 0.0f);
    EXPECT_EQ(back.easeto, 0.0f);
    EXPECT_EQ(back.easefrom, 0.0f);
    const trackheader3ds track = {3, 0, 0, 9};
    EXPECT_EQ(Written([&] { WriteTrackHeader3ds(&track); }).size(), TrackHeaderSize3ds);
    EXPECT_EQ(Written([] { WriteFixedString3ds("Cam01", 11); }), std::string("Cam01") + std::string(6, '\0'));
    EXPECT_EQ(Written([] { WriteFixedString3ds("ElevenChars", 11); }), Z("ElevenChar"));  // cut to the field
}

TEST_F(ByteStream3ds, IntegersFloatsAndRecordsLittleEndianInTheirWidths) {
    const face3ds face = {1, 2, 0x0300, FaceABVisable3ds | FaceUWrap3ds};
    const textvert3ds uv = {0.25f, -1.0f};
    const std::string bytes = Written([&] {
        WriteByte3ds(static_cast<char>(-2));
        WriteUByte3ds(200);
        WriteShort3ds(-2);
        WriteLong3ds(-70000);
        WriteDouble3ds(1.5);
        WriteString3ds("Box");
        WriteString3ds("");
        WriteTextVert3ds(&uv);
        WriteFace3ds(&face);
    });
    std::string doubleBits(8, '\0');
    doubleBits[6] = '\xF8';  // 1.5: 0x3FF8000000000000
    doubleBits[7] = '\x3F';
    const std::string expected = U8(0xFE) + U8(200) + U16(0xFFFE) + U32(static_cast<std::uint32_t>(-70000)) + doubleBits +
                                 Z("Box") + Z("") + F32(0.25f) + F32(-1.0f) + U16(1) + U16(2) + U16(0x0300) + U16(0xC);
    EXPECT_EQ(bytes, expected);

    // Read back, with a point and a track header after a skipped block.
    Reading(bytes + "skip" + F32(1) + F32(2) + F32(3) + U16(0x23) + U32(0) + U32(0) + U32(9));
    EXPECT_EQ(ReadByte3ds(), -2);
    EXPECT_EQ(ReadUByte3ds(), 200);
    EXPECT_EQ(ReadShort3ds(), -2);
    EXPECT_EQ(ReadLong3ds(), -70000);
    EXPECT_EQ(ReadDouble3ds(), 1.5);
    SkipVoid3ds(5);  // "Box" and the empty string with their NULs
    textvert3ds uvBack;
    ReadTextVert3ds(&uvBack);
    EXPECT_EQ(uvBack.u, 0.25f);
    EXPECT_EQ(uvBack.v, -1.0f);
    face3ds faceBack;
    ReadFace3ds(&faceBack);
    EXPECT_EQ(std::memcmp(&faceBack, &face, sizeof face), 0);
    SkipVoid3ds(4);
    point3ds p;
    ReadPoint3ds(&p);
    EXPECT_EQ(p.x + p.y * 10 + p.z * 100, 321.0f);
    trackheader3ds track;
    ReadTrackHeader3ds(&track);
    EXPECT_EQ(track.flags, 0x23);
    EXPECT_EQ(track.keycount, 9u);
    EXPECT_TRUE(Errors().empty());

    // Short reads: code 13, the field that failed 0, the fields after it their defaults.
    Reading(U16(5) + U32(7));
    ReadTrackHeader3ds(&track);
    EXPECT_EQ(track.flags, 5);
    EXPECT_EQ(track.nu1, 7u);
    EXPECT_EQ(track.nu2, 0u);
    EXPECT_EQ(track.keycount, 1u);  // DefTrackHeader3ds
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_READING_FILE});
    ClearErrList3ds();
    Reading(U16(4) + U16(5));
    ReadFace3ds(&faceBack);
    EXPECT_EQ(faceBack.a, 4);
    EXPECT_EQ(faceBack.b, 5);
    EXPECT_EQ(faceBack.c, 0);
    EXPECT_EQ(faceBack.flags, 0);
    ClearErrList3ds();
    Reading("abc");
    SkipVoid3ds(4);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_READING_FILE});
    ClearErrList3ds();
    WriteByte3ds('x');  // on a stream open for reading
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_WRITING_FILE});
}

// Host to file order gives the little-endian bytes of each width (floats by their
// bit pattern); file to host order reads them back; neither touches bytes past its width.
TEST_F(ByteStream3ds, ByteOrderHelpersMapHostValuesToLittleEndianBytes) {
    auto bytes = [](const std::uint8_t* b, std::size_t n) { return std::string(reinterpret_cast<const char*>(b), n); };
    std::uint8_t out[9];
    const std::int32_t lng = -70000;  // 0xFFFEEE90
    const std::int16_t shrt = -2;
    const float flt = -1.5f;   // 0xBFC00000
    const double dbl = 1.5;    // 0x3FF8000000000000
    const std::string lngBytes = U32(0xFFFEEE90u), shrtBytes = U16(0xFFFE), fltBytes = U32(0xBFC00000u);
    const std::string dblBytes = std::string(6, '\0') + "\xF8\x3F";
    struct Case {
        void (*toFile)(const void*, void*);
        void (*toHost)(const void*, void*);
        const void* value;
        const std::string& file;
    };
    const Case cases[] = {{N2ILong3ds, I2NLong3ds, &lng, lngBytes},
                          {N2IShort3ds, I2NShort3ds, &shrt, shrtBytes},
                          {N2IFloat3ds, I2NFloat3ds, &flt, fltBytes},
                          {N2IDouble3ds, I2NDouble3ds, &dbl, dblBytes}};
    for (const Case& c : cases) {
        const std::size_t width = c.file.size();
        std::memset(out, 0xAA, sizeof out);
        c.toFile(c.value, out);
        EXPECT_EQ(bytes(out, width), c.file) << width;
        EXPECT_EQ(out[width], 0xAA) << width;
        std::uint8_t host[9];
        std::memset(host, 0xAA, sizeof host);
        c.toHost(c.file.data(), host);
        EXPECT_EQ(std::memcmp(host, c.value, width), 0) << width;
        EXPECT_EQ(host[width], 0xAA) << width;
    }
}

TEST_F(ByteStream3ds, StringsAreBoundedByTheirRoom) {
    // Room 11: a terminated string of up to 10 characters, or a fixed field of 11
    // bytes whose padding is read with it; 11 bytes without a NUL are code 13.
    struct Case {
        void (*read)(char**, std::uint32_t);
        std::string bytes;
        const char* text;
    };
    const Case cases[] = {{ReadAndAllocString3ds, Z("TenCharsXY"), "TenCharsXY"},
                          {ReadAndAllocFixedString3ds, Z("Cam01") + std::string(5, '\0'), "Cam01"}};
    for (const Case& c : cases) {
        ClearErrList3ds();
        Reading(c.bytes + U8(7) + "ElevenChars");
        char* name = nullptr;
        c.read(&name, 10);
        ASSERT_NE(name, nullptr);
        EXPECT_STREQ(name, c.text);
        std::free(name);
        EXPECT_EQ(ReadUByte3ds(), 7);  // right after the string or the field
        name = nullptr;
        c.read(&name, 10);
        EXPECT_EQ(name, nullptr);
        EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_READING_FILE});
    }
    ClearErrList3ds();
    EXPECT_EQ(strlenf3ds("twelve_chars", 12), 12u);
    EXPECT_EQ(strlenf3ds("thirteen_char", 12), 0u);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_STRING_TOO_LONG});
}

TEST_F(ByteStream3ds, FinishHeaderPatchesTheLengthAndReturnsToTheEnd) {
    const std::string bytes = Written([] {
        WriteVoid3ds(250, std::string(250, 'x').data());
        FinishHeader3ds(100, 250);
        EXPECT_EQ(GetFilePosition3ds(), 250);
    });
    ASSERT_EQ(bytes.size(), 250u);
    EXPECT_EQ(bytes.substr(102, 4), U32(150));
    EXPECT_EQ(bytes.substr(100, 2), "xx");
}

TEST_F(ByteStream3ds, ReadingPastTheEndGivesZeroAndCode13) {
    Reading(U16(0x1234));
    EXPECT_EQ(ReadUShort3ds(), 0x1234);
    EXPECT_EQ(ReadULong3ds(), 0u);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_READING_FILE});
}

}  // namespace
}  // namespace tk3dstest
