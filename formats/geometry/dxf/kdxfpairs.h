#ifndef ZEQ_FORMATS_GEOMETRY_DXF_KDXFPAIRS_H
#define ZEQ_FORMATS_GEOMETRY_DXF_KDXFPAIRS_H

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zeqsdk_400 {

// The group-code / value pairs of an ASCII DXF file, read through a window
// of the file so that readers can note a position and come back to it
// without the whole file in memory. A pair is two lines: a decimal group code
// (one that does not parse keeps the code before), then a value of which only
// the first word counts (a blank line keeps the value before).
class KDxfPairs {
public:
    // Bytes of the file held at once; a longer line widens the window.
    static constexpr std::size_t kWindowSize = std::size_t(1) << 16;

    // Reads the rest of the file, from where it stands, through the window;
    // the file stays the caller's and must stay open. False when it cannot
    // be read or sought.
    bool Load(std::FILE* file);

    // The next pair; false at the end of the file (or when it cannot be
    // read), with nothing changed.
    bool Next();
    int Code() const { return mCode; }
    std::string_view Value() const { return mValue; }
    bool Is(int code, std::string_view value) const { return mCode == code && Value() == value; }
    // The value as "%lf" and "%d" read it (0 when it does not read).
    double Double() const;
    int Int() const;

    // Positions count from where Load found the file.
    std::size_t Tell() const { return mAt; }
    void Seek(std::size_t at) { mAt = at < mSize ? at : mSize; }
    std::size_t Size() const { return mSize; }

private:
    // The next line without its ending; false at the end. The view lasts
    // until the next call.
    bool Line(std::string_view& line);
    // Makes the window start at mAt and hold what follows, at least one more
    // byte than before when the file has it; false when nothing more comes.
    bool Fill();

    std::FILE* mFile = nullptr;
    long mStart = 0;              // the file offset of position 0
    std::size_t mSize = 0;        // bytes from there to the end
    std::vector<char> mWindow;    // bytes from position mBase on
    std::size_t mBase = 0;
    std::size_t mLength = 0;      // bytes of the window that hold the file
    std::size_t mAt = 0;
    int mCode = 0;
    std::string mValue;
};

}  // namespace zeqsdk_400

#endif
