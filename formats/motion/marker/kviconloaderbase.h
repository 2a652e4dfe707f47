#ifndef ZEQ_FORMATS_MOTION_MARKER_KVICONLOADERBASE_H
#define ZEQ_FORMATS_MOTION_MARKER_KVICONLOADERBASE_H

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace zeqsdk_400 {

class KViconLoaderBase;

// A 16-bit word written before its value is known, patched later.
class KViconTag {
public:
    explicit KViconTag(long position) : mPosition(position) {}
    // Stores value and writes it at the tag's place.
    bool Resolve(KViconLoaderBase& loader, unsigned short value);
    long GetPosition() const { return mPosition; }
    unsigned short GetValue() const { return mValue; }

private:
    long mPosition;
    unsigned short mValue = 0;
};

// Reads and writes the blocks of a C3D file: the header, the raw bytes of the
// parameter section and of the point data, converting numbers between the
// three processor layouts (files are written in the DEC layout). Reading goes
// through a buffer of whole blocks; a value may span a block end. Writing is
// buffered too, and a word written earlier can be patched (tags).
class KViconLoaderBase {
public:
    enum EProcessorType { eIntel = 1, eDec = 2, eMips = 3 };
    static constexpr int kBlockSize = 512;
    static constexpr int kMaxEvents = 18;
    // Header scale factors that make no sense become this one (float bits 0x3E1460AA).
    static constexpr float kDefaultScale = 0.1449f;

    struct Event {
        char mLabel[5];
        float mTime;
        bool mDisplay;
    };

    KViconLoaderBase();
    virtual ~KViconLoaderBase();
    KViconLoaderBase(const KViconLoaderBase&) = delete;
    KViconLoaderBase& operator=(const KViconLoaderBase&) = delete;

    // The processor byte of the parameter section starting at block
    // parameterBlock (counted from 1), minus 83; 0 when it cannot be read.
    static int GetFileProcessorType(std::FILE* file, int parameterBlock);
    // The first header word read as DEC/Intel; false when it holds no C3D key.
    static bool ReadKeyWord(std::FILE* file, int& parameterBlock);

    // Reads the header block with the file's processor type (set before):
    // false at the end of the file or without the key. Leaves the reader at
    // the parameter section.
    bool ReadHeader(std::FILE* file);

    // ---- Reading (false at the end of the file) ----
    // To the start of block (counted from 0).
    bool Goto(long block) { return Seek(block * kBlockSize); }
    bool Seek(long offset);
    long Tell() const { return mBufferOffset + static_cast<long>(mBufferPos); }
    bool GetBytes(void* out, std::size_t count) {
        if (mBufferLength - mBufferPos >= count) {
            std::memcpy(out, mBuffer.data() + mBufferPos, count);
            mBufferPos += count;
            return true;
        }
        return GetBytesSlow(out, count);
    }
    bool GetChar(signed char& value) { return GetBytes(&value, 1); }
    bool GetChar(unsigned char& value) { return GetBytes(&value, 1); }
    bool GetShort(short& value);
    bool GetShort(unsigned short& value);
    bool GetFloat(float& value);
    bool Skip(long count) { return count >= 0 && Seek(Tell() + count); }

    // Four bytes in a processor type's layout as a host float, and back.
    static float DecodeFloat(int type, const unsigned char* bytes);
    static void EncodeFloat(int type, float value, unsigned char* bytes);
    static short DecodeShort(int type, const unsigned char* bytes) {
        return static_cast<short>(type == eMips ? bytes[0] << 8 | bytes[1] : bytes[1] << 8 | bytes[0]);
    }
    // Numbers in the layout of one processor type into another's.
    static void ConvertShort(int from, int to, short* value);
    static void ConvertUShort(int from, int to, unsigned short* value);
    static void ConvertFloat(int from, int to, float* value);

    // ---- Writing (DEC layout) ----
    bool BeginWrite(std::FILE* file);
    bool PutChar(char c);
    bool PutShort(unsigned short value);
    bool PutFloat(float value);
    // count characters of text, blanks after its end.
    bool PutString(const char* text, int count);
    bool PadChar(char c, long count);
    std::unique_ptr<KViconTag> PutShortTag(unsigned short value);
    // Writes bytes over what was written at position.
    bool Patch(long position, const void* bytes, std::size_t count);
    long WriteTell() const { return mOutOffset + static_cast<long>(mOut.size()); }
    // Pads with zeros to the next block boundary.
    bool PadToBlock() { return PadChar(0, (kBlockSize - WriteTell() % kBlockSize) % kBlockSize); }
    // Writes the header block (with tags for the key word and the data start)
    // and pads it to its 512 bytes.
    bool WriteHeader(std::FILE* file);
    // Pushes what is buffered to the file; false when a write failed now or before.
    bool FlushOutput();
    // The system's error number (errno) of the first write that failed since
    // BeginWrite; 0 while none did.
    int GetWriteError() const { return mWriteError; }

    // ---- Header values ----
    int GetParameterBlock() const { return mParameterBlock; }
    int GetPointCount() const { return mPointCount; }
    int GetAnalogCount() const { return mAnalogCount; }
    int GetFirstFrame() const { return mFirstFrame; }
    int GetLastFrame() const { return mLastFrame; }
    float GetScaleFactor() const { return mScaleFactor; }
    int GetDataStartBlock() const { return mDataStartBlock; }
    float GetFrameRate() const { return mFrameRate; }
    int GetEventCount() const { return mEventCount; }
    const Event& GetEvent(int i) const { return mEvents[i]; }
    int GetFileProcessorType() const { return mFileProcessorType; }
    void SetFileProcessorType(int type) { mFileProcessorType = type >= eIntel && type <= eMips ? type : eIntel; }

protected:
    bool GetBytesSlow(void* out, std::size_t count);
    bool Refill();
    void ResetReader(std::FILE* file);
    // Marks the output failed, keeping the first failure's errno (cleared before the failed call).
    void WriteFailed();
    // Writes the buffer to the file and empties it.
    void StoreBuffer();

    std::FILE* mFile = nullptr;
    bool mWriteFailed = false;
    int mWriteError = 0;

    // Read buffer: whole blocks from mBufferOffset on.
    std::vector<unsigned char> mBuffer;
    long mBufferOffset = 0;
    std::size_t mBufferPos = 0;
    std::size_t mBufferLength = 0;

    // Write buffer: bytes from mOutOffset on.
    std::vector<unsigned char> mOut;
    long mOutOffset = 0;

    // Header values (16-bit words read unsigned).
    int mParameterBlock = 2;
    int mPointCount = 0;
    int mAnalogCount = 0;
    int mFirstFrame = 0;
    int mLastFrame = 0;
    int mMaxGap = 0;
    float mScaleFactor = kDefaultScale;
    int mDataStartBlock = 0;
    int mAnalogSamplesPerFrame = 0;
    float mFrameRate = 30.0f;
    int mEventCount = 0;
    Event mEvents[kMaxEvents] = {};

    int mFileProcessorType = eIntel;
    std::unique_ptr<KViconTag> mKeyTag;
    std::unique_ptr<KViconTag> mDataStartTag;
};

// One point of one frame: in scene units after the loader's scales.
struct KViconDataRecord {
    double mX = 0.0, mY = 0.0, mZ = 0.0;
    double mResidual = 0.0;
    int mCameras = 0;
    bool mValid = false;

    // Bytes of a record: 8 in integer form (scale >= 0), else 16.
    static std::size_t Size(float scale) { return scale >= 0.0f ? 8 : 16; }
    // Integer form when scale >= 0 (coordinates times scale and unitScale),
    // floats otherwise (times unitScale); non-finite coordinates make the
    // point invalid at the origin.
    bool Read(KViconLoaderBase& loader, float scale, double unitScale);
    // The same from Size(scale) bytes in the layout of processor type.
    void Decode(const unsigned char* bytes, int type, float scale, double unitScale);
    // The point in file units; false when the file refuses it. In integer
    // form a coordinate beyond 32767 steps cannot be stored: the point is
    // written invalid and clipped is set.
    static bool Write(KViconLoaderBase& loader, float scale, const double* xyz, bool valid, double unitScale,
                      bool& clipped);
};

// Text helpers of C3D labels, whose fields are fixed-width and blank-padded.
// dst must hold n + 1 characters: the first n of src (fewer at a zero byte),
// without the trailing blanks, ended by a zero byte.
void Strip(char* dst, const char* src, int n);
// Copies what follows the first ':' of text ("Subject:LASI" gives "LASI"), or
// the whole text when it holds none; dst must hold as much as text.
void RemovePrefix(char* dst, const char* text);
// Replaces every from in text by to, in place (a zero from changes nothing).
void ReplaceChar(char* text, char from, char to);

}  // namespace zeqsdk_400

#endif
