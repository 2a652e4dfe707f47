#ifndef ZEQ_FORMATS_MOTION_MARKER_KVICONPARAMETER_H
#define ZEQ_FORMATS_MOTION_MARKER_KVICONPARAMETER_H

#include <memory>
#include <string>
#include <vector>

namespace zeqsdk_400 {

class KViconLoaderBase;

// The typed, multi-dimensional value of a C3D parameter, held in the host's
// layout. Dimensions are kept in file order (fastest first); a character
// array's first dimension is the width of its texts.
class KViconArray {
public:
    enum EType : int {
        eByte = 1,
        eShort = static_cast<int>(0x80000002u),
        eFloat = static_cast<int>(0xA0000004u),
        eChar = 0x40000001,
    };

    // Reads type, dimensions and values from the loader, within remaining
    // bytes of the record (lowered by what is read). Null for an unknown type
    // or a record too short for its dimensions.
    static std::unique_ptr<KViconArray> Read(KViconLoaderBase& loader, long& remaining);

    static std::unique_ptr<KViconArray> MakeShort(const std::vector<short>& values, bool scalar);
    static std::unique_ptr<KViconArray> MakeFloat(float value);
    // rows texts of width characters each, blank-padded or cut.
    static std::unique_ptr<KViconArray> MakeChar(const std::vector<std::string>& rows, int width, bool scalar);

    // Type byte, dimension count, dimensions, values (floats in the DEC layout).
    bool Write(KViconLoaderBase& loader) const;

    int GetType() const { return mType; }
    int GetElementSize() const { return mType & 0xF; }
    int GetDimensionCount() const { return static_cast<int>(mDimensions.size()); }
    // Dimension d in file order; 0 outside them.
    int GetSize(int d) const { return d >= 0 && d < GetDimensionCount() ? mDimensions[static_cast<std::size_t>(d)] : 0; }
    int GetElementCount() const { return static_cast<int>(mData.size()) / GetElementSize(); }
    const unsigned char* GetVectorPtr() const { return mData.data(); }
    // Element i as a number (bytes unsigned); 0 for characters or outside the array.
    double GetValue(int i) const;
    // Row i of a character array (its width the first dimension), whole.
    std::string GetRow(int i) const;
    int GetRowCount() const;

private:
    int mType = eChar;
    std::vector<int> mDimensions;
    std::vector<unsigned char> mData;
};

// One record of a C3D parameter section: a group (negative id) or a
// parameter of the group |id|, with its array and description.
class KViconParameter {
public:
    // The record at the loader's position; null at the section's end (a zero
    // name length or id, or nothing left before limit). next receives where
    // the following record starts, -1 when this was the last.
    static std::unique_ptr<KViconParameter> Read(KViconLoaderBase& loader, long limit, long& next);

    KViconParameter(const char* name, int id, std::unique_ptr<KViconArray> array, const char* description = "");

    // Writes the record with the offset to the record after it.
    bool Write(KViconLoaderBase& loader) const;

    const std::string& GetName() const { return mName; }
    bool IsGroup() const { return mId < 0; }
    bool IsParameter() const { return mId > 0; }
    int Id() const { return mId < 0 ? -mId : mId; }
    bool IsLocked() const { return mLocked; }
    const KViconArray* GetArray() const { return mArray.get(); }
    const std::string& GetDescription() const { return mDescription; }
    void SetLocked(bool locked) { mLocked = locked; }

private:
    KViconParameter() = default;

    std::string mName;
    bool mLocked = false;
    int mId = 0;
    std::unique_ptr<KViconArray> mArray;
    std::string mDescription;
};

}  // namespace zeqsdk_400

#endif
