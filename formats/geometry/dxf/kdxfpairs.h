#ifndef ZEQ_FORMATS_GEOMETRY_DXF_KDXFPAIRS_H
#define ZEQ_FORMATS_GEOMETRY_DXF_KDXFPAIRS_H

#include <cstdio>
#include <string>
#include <string_view>

namespace zeqsdk_400 {

// The group-code / value pairs of an ASCII DXF file, read from memory so
// that readers can note a position and come back to it. A pair is two lines:
// a decimal group code (one that does not parse keeps the code before), then
// a value of which only the first word counts (a blank line keeps the value
// before).
class KDxfPairs {
public:
    // Reads the rest of the file; false when it cannot be read.
    bool Load(std::FILE* file);

    // The next pair; false at the end of the file, with nothing changed.
    bool Next();
    int Code() const { return mCode; }
    std::string_view Value() const { return mValue; }
    bool Is(int code, std::string_view value) const { return mCode == code && mValue == value; }
    // The value as "%lf" and "%d" read it (0 when it does not read).
    double Double() const;
    int Int() const;

    std::size_t Tell() const { return mAt; }
    void Seek(std::size_t at) { mAt = at < mText.size() ? at : mText.size(); }
    std::size_t Size() const { return mText.size(); }

private:
    // The next line without its ending; false at the end.
    bool Line(std::string_view& line);

    std::string mText;
    std::size_t mAt = 0;
    int mCode = 0;
    std::string_view mValue;
};

}  // namespace zeqsdk_400

#endif
