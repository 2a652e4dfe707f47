#ifndef ZEQ_CONTENT_KZEQIMAGECONVERTER_H
#define ZEQ_CONTENT_KZEQIMAGECONVERTER_H

#include <sys/types.h>

#include <memory>

#include "base/kset.h"
#include "base/kstring.h"

namespace zeqsdk_400 {

class KHeldFolder;

class KZeqSdkManager;

// An uncompressed image handed to and from the converter functions: rows in
// file order, the samples of a pixel side by side, one byte each. The
// buffer owns its pixels from Init to its end.
class ImageConverterBuffer {
public:
    enum EPixelType : int { eRGB = 0, eYCBCR = 1 };

    ImageConverterBuffer() = default;
    ImageConverterBuffer(const ImageConverterBuffer&) = delete;
    ImageConverterBuffer& operator=(const ImageConverterBuffer&) = delete;
    ~ImageConverterBuffer();

    // Frees any pixels held, then stores the sizes. The parameters are good
    // for width and height of 1 or more, type 0 or 1 and 1 channel or more;
    // the buffer is valid when they are good or when nothing is to be
    // allocated. Good parameters with allocate get width x height x channels
    // bytes (contents undefined), or no data when memory runs out.
    void Init(int width, int height, bool allocate, int type, char channels);
    void SetOriginalFormat(bool original) { mOriginalFormat = original; }
    void SetOriginalFileName(KString name) { mOriginalFileName = name; }
    // The folder the files named to this buffer lie in, held (null: none): a
    // converter reads and writes them there by their file name, never by their
    // path (ReadFromTif, WriteToTif do). Not owned; it must outlive the use.
    void SetFolder(const KHeldFolder* folder) { mFolder = folder; }
    const KHeldFolder* GetFolder() const { return mFolder; }
    // The files written for this buffer (WriteToTif) get no more permission bits than these: an
    // image converted from another file no more access than that one has.
    void LimitPermissions(mode_t permissions) { mPermissionLimit = permissions & 0777; }
    mode_t GetPermissionLimit() const { return mPermissionLimit; }
    // Why a file to be written for this buffer was refused (WriteToTif: another user's link), ""
    // when none was: its caller says it.
    const KString& GetRefusal() const { return mRefusal; }
    void SetRefusal(const KString& refusal) { mRefusal = refusal; }
    // width x height x channels, in 64 bits; 0 for negative sizes.
    long long GetDataSize() const;

    int mWidth = 0;
    int mHeight = 0;
    int mPixelType = eRGB;
    int mChannels = 3;
    unsigned char* mData = nullptr;  // owned, array
    bool mOriginalFormat = true;     // still in the form of its original file
    KString mOriginalFileName;
    bool mValid = false;
    bool mAllocated = false;
    const KHeldFolder* mFolder = nullptr;
    mode_t mPermissionLimit = 0777;
    KString mRefusal;
};

// Direction 0 reads the named image file into the buffer, 1 writes the
// buffer to the file; 0 answers success.
typedef int (*KZeqImageConverterFunction)(int direction, KString& fileName, ImageConverterBuffer& buffer);

// Converter functions by file extension (without the dot, letter case
// ignored), registered by the host at start-up. Made and ended by the manager.
class KZeqImageConverter {
public:
    explicit KZeqImageConverter(KZeqSdkManager& manager);
    KZeqImageConverter(const KZeqImageConverter&) = delete;
    KZeqImageConverter& operator=(const KZeqImageConverter&) = delete;

    // The first registration of an extension wins; null functions and
    // empty extensions are ignored.
    void RegisterConverterFunction(KString extension, KZeqImageConverterFunction function);
    // Removes the first entry, in the table's sorted order, holding the function.
    void UnregisterConverterFunction(KZeqImageConverterFunction function);
    // Calls the function registered for the file's extension; true exactly
    // when there is one and it answers 0.
    bool Convert(int direction, KString& fileName, ImageConverterBuffer& buffer);

private:
    std::unique_ptr<KCharPtrSet> mTable;
    [[maybe_unused]] KZeqSdkManager* mManager;  // the manager that made it; nothing here needs it
};

// ---- TIFF ---------------------------------------------------------------------------------------
// 8-bit contiguous RGB (any number of samples from 3) or YCbCr (3 samples,
// horizontal subsampling 1 or 2, vertical 1) into the buffer as RGB or YCbCr
// triplets (each pixel its own Y with the Cb and Cr of its group). Anything
// else, or a strip that cannot be read whole, answers false. The file is
// removed after a successful read when asked (only a file of this process's
// user). Where the buffer holds a folder, the file is read there by its name.
bool ReadFromTif(KString fileName, ImageConverterBuffer& buffer, bool deleteFile);
// The buffer as an 8-bit contiguous TIFF, Deflate-compressed when asked,
// YCbCr without subsampling for pixel type 1, else RGB; 4 channels carry
// associated alpha. False, with no file made, for a buffer without data.
// The file is replaced as KFileReplacement replaces one (complete or not at
// all; another user's link in a shared sticky folder is not followed); where
// the buffer holds a folder (what a read extracted), it is written there by its
// name as a file nobody named (KNamedBy::eNobody: another user's link where others
// may write is not followed). It gets no more permission than the buffer's limit.
// A refusal is kept in the buffer (GetRefusal).
bool WriteToTif(KString fileName, bool compress, ImageConverterBuffer& buffer);
// The same into the open file descriptor (read and write, at its start; it
// stays the caller's).
bool WriteToTif(int descriptor, bool compress, ImageConverterBuffer& buffer);
// True for a .tif or .tiff file (letter case ignored) whose compression is
// not none; false for other names, without opening them.
bool IsCompressedTif(KString fileName);

}  // namespace zeqsdk_400

#endif
