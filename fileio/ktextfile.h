#ifndef ZEQ_FILEIO_KTEXTFILE_H
#define ZEQ_FILEIO_KTEXTFILE_H

#include <cstddef>
#include <cstdio>
#include <memory>
#include <functional>
#include <string>
#include <vector>

#include "base/kstring.h"

namespace zeqsdk_400 {

class KFileReplacement;

// One entry of a keyword table; a table ends with an entry whose keyword is
// empty (or null).
struct KToken {
    const char* mKeyword;
    int mCount;  // times Handle matched the keyword since InitTokens
};

// Line-oriented tokenizer and printer for text formats. Lines end with LF, CR
// or CRLF and are held without their end; a line buffer of 10240 bytes grows
// for longer lines (up to kMaxLineLength). One set of delimiter characters both
// separates words and is skipped as blank space.
class KTextFile {
public:
    using MessageCallback = std::function<void(const char* message)>;

    static constexpr std::size_t kInitialLineSize = 10240;
    // Longer lines fail to load rather than exhausting memory.
    static constexpr std::size_t kMaxLineLength = std::size_t(64) << 20;
    // GetString(KString&) takes at most this many characters.
    static constexpr int kMaxStringLength = 1023;

    // type names the format in messages; caseSensitive governs the "inf" word of
    // GetDouble; messages enables Error and Warning reports.
    KTextFile(const char* type, const char* delimiters, const char* comments, bool caseSensitive, bool messages);
    virtual ~KTextFile();
    KTextFile(const KTextFile&) = delete;
    KTextFile& operator=(const KTextFile&) = delete;

    // Opens path with the fopen mode and, when readable, loads its first line. A
    // mode for reading opens a regular file only (KOpenFileForReading); one for
    // writing ("w") writes a new file that takes the path's name only at a Close
    // that succeeds (KFileReplacement: a failed write leaves the file as it was);
    // one for appending appends as KFileReplacement::OpenForAppending does.
    // Answers false on success and true on failure.
    bool Open(const char* path, const char* mode);
    // Takes stream, open with the fopen mode (a writer's stream on the file it
    // created, never reopened by name), as the file Close closes. Null (or no
    // mode) fails. Answers as Open.
    bool Adopt(std::FILE* stream, const char* mode);
    // Closes the file and empties the line; false when writing the file failed
    // (a write error of any Print, or of the data still buffered). The
    // destructor closes too, but cannot report: writers call Close.
    bool Close();
    // Pushes printed text to the file; false when that or an earlier write failed.
    bool Flush();
    bool IsOpen() const { return mFile != nullptr; }
    // The system's error number (errno) of the first write that failed since
    // Open, 0 while none did; Close keeps it, for the caller to say why.
    int GetSystemError() const { return mSystemError; }

    // Rewinds and loads the first line holding more than delimiters (a comment
    // line included: only NextLine skips comments).
    bool FirstLine();
    // Loads the next line holding more than delimiters whose first word does not
    // start with a comment character. False at the end of the file (which sets
    // the end flag) and for a line that cannot be read.
    bool NextLine();
    // Set while no file is open and once NextLine or FirstLine met the end of the file.
    bool IsEndOfFile() const { return mEnd; }
    // Physical number of the current line, from 1.
    int GetLineNumber() const { return mLineNumber; }
    // The rest of the current line from the cursor.
    const char* GetCursor() const { return mLine.c_str() + mPos; }

    // Resets the hit counts of a table.
    void InitTokens(KToken* table);
    // Matches the table's keywords in order, case-insensitively, as prefixes of
    // the text at the cursor. At the first match the keyword and the delimiters
    // after it are consumed, its count is raised and its index returned; -1 when
    // none matches.
    int Handle(KToken* table);
    // Handle without consuming or counting.
    int Check(const KToken* table) const;

    // Copies up to max characters of the word at the cursor into buffer (which
    // holds max + 1 bytes), moves past the whole word (a longer word is cut, not
    // split) and skips the delimiters after it. False at the end of the line.
    bool GetString(char* buffer, int max);
    bool GetString(KString& text);
    // Each number reader skips the delimiters after what it read and answers
    // false, leaving the value and the cursor alone, when nothing reads.
    bool GetInteger(int& value);
    // "inf" or "-inf" when the rest of the line is exactly that word, else a number.
    bool GetDouble(double& value, double scale);
    // Two numbers; "inf" and "-inf" in any letter case.
    bool GetPair(double* values, double scale);
    // Three numbers separated by white space; all three or nothing.
    bool GetVector(double* values, double scale);
    // The character at the cursor, advancing by one without skipping delimiters.
    bool GetChar(char& c);
    bool PeakChar(char& c) const;

    // Replaces the delimiter characters; answers the previous ones.
    KString SetDel(const char* delimiters);
    const char* GetDel() const { return mDelimiters.c_str(); }

    // With messages on and a callback set, reports "<type> read error (line N): "
    // followed by the formatted text. Error answers true, Warning false.
    bool Error(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool Warning(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void SetErrorCallback(MessageCallback callback) { mErrorCallback = std::move(callback); }
    void SetWarningCallback(MessageCallback callback) { mWarningCallback = std::move(callback); }
    void SetMessages(bool messages) { mMessages = messages; }

    // Writes two blanks per indentation level, then the formatted text. False
    // when no file is open or a write failed. Text is buffered: a failure to
    // store it may show only at Flush or Close.
    bool Print(int indent, const char* format, ...) __attribute__((format(printf, 3, 4)));

private:
    enum class ReadResult { kLine, kEnd, kFailed };

    // Starts on the open mFile as mode says.
    void Start(const char* mode);

    ReadResult ReadRawLine();
    bool FillBuffer();
    bool LoadLine(bool skipComments);
    void ClearLine();
    void SkipDelimiters();
    bool IsDelimiter(char c) const { return mIsDelimiter[static_cast<unsigned char>(c)]; }
    bool AtLineEnd() const { return mPos >= mLine.size(); }
    std::size_t WordLength() const;
    bool ReadPairValue(double& value);
    // False when a write has failed; the first failure's errno is kept.
    bool WriteChecked();

    KString mType;
    std::string mDelimiters;
    bool mIsDelimiter[256];
    bool mIsComment[256];
    bool mCaseSensitive;
    bool mMessages;
    MessageCallback mErrorCallback;
    MessageCallback mWarningCallback;

    std::FILE* mFile = nullptr;
    // A file Open writes, until Close puts it in place.
    std::unique_ptr<KFileReplacement> mReplacement;
    bool mReadable = false;
    bool mEnd = true;
    bool mFailed = false;
    int mSystemError = 0;
    int mLineNumber = 0;

    // Read-ahead block of the file, scanned for line ends.
    std::vector<char> mBlock;
    std::size_t mBlockPos = 0;
    std::size_t mBlockLen = 0;
    // The last line ended with CR: an LF right after it belongs to that end.
    bool mPendingCR = false;

    std::string mLine;
    std::size_t mPos = 0;
};

}  // namespace zeqsdk_400

#endif
