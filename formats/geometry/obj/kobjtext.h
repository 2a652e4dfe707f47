#ifndef ZEQ_FORMATS_GEOMETRY_OBJ_KOBJTEXT_H
#define ZEQ_FORMATS_GEOMETRY_OBJ_KOBJTEXT_H

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "io/kzeqtextscan.h"

namespace zeqsdk_400 {

// Reads a text file from its current position, block by block, and hands out
// its statements: the first word as keyword, the rest of the line trimmed at
// both ends. Lines end with LF, CR or CRLF; lines holding only blanks are
// skipped; with continuations on, a rest ending in a backslash goes on with
// the next line, the backslash becoming a blank. The buffer grows with the
// longest line, so no statement is ever cut.
class KObjLineReader {
public:
    KObjLineReader(std::FILE* file, bool continuations);

    // False at the end of the file (or on a read error, see Failed). The
    // views stay valid until the next call.
    bool Next(std::string_view& keyword, std::string_view& rest);
    bool Failed() const { return mFailed; }

private:
    // The next physical line without its ending; false at the end.
    bool NextLine(std::string_view& line);
    bool Fill();

    std::FILE* mFile;
    bool mContinuations;
    std::vector<char> mBuffer;
    std::size_t mBegin = 0;
    std::size_t mEnd = 0;
    bool mEof = false;
    bool mFailed = false;
    bool mSkipLineFeed = false;  // the last line ended with CR: a LF right after belongs to it
    std::string mJoined;
};

// A cursor over a statement's text that reads values as the C formats %lf,
// %d and %s do: blanks (space, tab, line ends, vertical tab, form feed)
// skipped first, the value read as far as it goes.
class KObjScanner {
public:
    explicit KObjScanner(std::string_view text) : mAt(text.data()), mEnd(text.data() + text.size()) {}

    bool Double(double& value);
    bool Int(int& value);
    // The next run of non-blanks; empty at the end.
    std::string_view Word();
    bool AtEnd();

    static bool IsBlank(char c) { return ZeqIsBlank(c); }
    static std::string_view Trim(std::string_view text);

private:
    void SkipBlanks();

    const char* mAt;
    const char* mEnd;
};

}  // namespace zeqsdk_400

#endif
