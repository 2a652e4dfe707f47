#ifndef ZEQ_FILEIO_KZEQASCII_H
#define ZEQ_FILEIO_KZEQASCII_H

// The ASCII encoding of field files. Layout:
//
//   ; comment lines anywhere (';' to the end of the line), blank lines ignored
//   @Zeq: 6000                      file version; the first directive
//   @Header: {                      the header record, as fields
//       CameraName: "Producer Perspective"
//       ...
//   }
//   @Section: 6000                  a section and its version; the first is the main one
//   Name: value, value, ... {       a field; the block is optional
//       Child: "text"
//   }
//   @Password: "PBKDF2-SHA256", "<salt hex>", "<verifier hex>"   optional, after the
//                                   section's fields (writers stream the fields out
//                                   before the password is final) or before them
//   @End                            the file is complete
//
// Names made only of letters, digits and "_-.|~+/()[]<>!?#$%&*=^" are written bare,
// any other name quoted. Values: numbers (ints as integers, doubles in "%.15g"
// form, floats shortest), strings quoted with the escapes \" \\ \n \r \t \0 and \xHH
// for other control bytes, and chars bare when they are letters, else as a quoted
// one-byte string. Long value lists continue on the next line after a comma.
// Reading turns the text into the binary body (kzeqbody.h), so both encodings
// read alike; numbers read back as 'I', 'L' or 'D' by their text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fileio/kchainedfile.h"
#include "fileio/kzeqbinary.h"
#include "fileio/kzeqbody.h"

namespace zeqsdk_400 {
namespace zeqdetail {

// Takes the text of a section as it is written.
class ZeqTextSink {
public:
    virtual bool PutText(const std::uint8_t* text, std::size_t size) = 0;

protected:
    ~ZeqTextSink() = default;
};

// Writes fields as text into a buffer; with a sink, the buffer is handed over
// whenever it holds about a chunk's worth, so it stays small and in the cache.
class ZeqAsciiWriter {
public:
    // Room a formatted number needs at most.
    static constexpr std::size_t kNumberRoom = 40;

    ZeqAsciiWriter(ZeqBuffer& out, int baseIndent, ZeqTextSink* sink = nullptr)
        : mOut(&out), mBaseIndent(baseIndent), mSink(sink) {}

    void Reset();
    bool Failed() const { return mFailed || mOut->Failed(); }
    bool OutOfMemory() const { return mOut->Failed(); }
    int Depth() const { return mDepth; }
    bool ValueOpen() const { return !mFields.empty() && !mFields.back().mBlockOpen && !mFields.back().mBlockDone; }

    bool FieldBegin(std::string_view name);
    bool FieldEnd();
    bool BlockBegin();
    bool BlockEnd();
    void CloseAll();

    bool WriteDouble(double v);
    bool WriteInt(std::int32_t v);
    bool WriteLong(std::int64_t v);
    bool WriteChar(char v);
    bool WriteString(std::string_view text);
    bool WriteDoubles(const double* v, std::size_t count);
    bool WriteFloats(const float* v, std::size_t count);
    bool WriteInts(const std::int32_t* v, std::size_t count);
    bool WriteLongs(const std::int64_t* v, std::size_t count);
    bool Comment(std::string_view text);
    // Hands the text written so far to the sink (nothing without one).
    bool Flush();

private:
    // Room for the separator before a value: ",\n" and the indentation past the depth.
    static constexpr std::size_t kSeparatorRoom = 3;

    struct OpenField {
        bool mBlockOpen;
        bool mBlockDone;
        bool mHasValues;
    };
    // Separator before the next value (" " first, "," after, wrapping long lines).
    bool BeginValue();
    std::uint8_t* Separator(std::uint8_t* p, OpenField& field);
    template <class T, class Format>
    bool WriteNumbers(const T* v, std::size_t count, Format format);
    // Room for count more bytes of text, after handing a full buffer to the sink.
    std::uint8_t* Room(std::size_t count);
    // Position in the section's text of the end of what is written.
    std::uint64_t End() const { return mFlushed + mOut->Size(); }
    void Indent(int level);
    void EndTop();
    void FlushComments();
    void WriteCommentLines(std::string_view text);

    ZeqBuffer* mOut;
    int mBaseIndent;
    ZeqTextSink* mSink;
    std::vector<OpenField> mFields;
    int mDepth = 0;
    // Text handed to the sink since Reset.
    std::uint64_t mFlushed = 0;
    std::uint64_t mLineStart = 0;
    std::string mPendingComments;
    bool mHavePendingComments = false;
    bool mFailed = false;
};

// A double as the shortest text that reads back exactly, laid out as "%.15g"
// lays out its digits: the same text as "%.15g" whenever that reads back
// exactly (normal numbers), one or two digits more otherwise. Answers the length
// (at most 24 characters); out must have room for kNumberRoom (40) bytes.
std::size_t FormatDouble(double v, char* out);

// Quoted, escaped text as the ASCII encoding writes it.
void AppendQuoted(ZeqBuffer& out, std::string_view text);

struct ZeqAsciiFile {
    int mFileVersion = 0;
    KZeqFileHeaderInfo mHeader;
    std::vector<ZeqSectionInfo> mSections;
};

ZeqOpenResult ParseAsciiFile(const std::uint8_t* text, std::size_t size, ZeqAsciiFile& file);
// The same for size bytes read from the stream's current position, through a
// window of about window bytes; eIoError when the stream ends early.
ZeqOpenResult ParseAsciiStream(KChainedFile& stream, std::uint64_t size, ZeqAsciiFile& file,
                               std::size_t window = kChunkBytes);

bool AppendAsciiPrologue(ZeqBuffer& out, const KZeqFileHeaderInfo& header);
bool AppendAsciiSectionStart(ZeqBuffer& out, int version);
bool AppendAsciiPassword(ZeqBuffer& out, const ZeqPasswordInfo& password);
bool AppendAsciiEnd(ZeqBuffer& out);

}  // namespace zeqdetail
}  // namespace zeqsdk_400

#endif
