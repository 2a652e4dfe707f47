#ifndef ZEQ_FILEIO_KZEQ_H
#define ZEQ_FILEIO_KZEQ_H

#include <cstddef>
#include <memory>
#include <string_view>

#include "base/kdefs.h"
#include "base/kerror.h"
#include "base/klib.h"
#include "base/kstring.h"
#include "base/ktime.h"

namespace zeqsdk_400 {

class KHeldFolder;

class KChainedFile;
namespace zeqdetail {
class ZeqBodyReader;
class ZeqBodyWriter;
struct ZeqRecordShape;
}

// The header record of a Zeq file. ProjectOpen fills it; ProjectCreate writes it
// (a zero creation time stamp is replaced by the current local time, an empty
// creator by the SDK's name).
struct KZeqFileHeaderInfo {
    KZeqFileHeaderInfo();
    void Reset();

    KString mCameraName;
    KString mResolutionMode;
    double mResolutionW;
    double mResolutionH;
    kLocalTime mCreationTimeStamp;
    KString mCreator;
    // 1000 to 6999; 5800 and 6000 are the versions the writers produce.
    int mFileVersion;
};

// One field of a known layout, for KZeq::FieldReadPattern: texts first, then
// numbers, then a block.
struct KZeqFieldPattern {
    const char* mName;
    const char* const* mTexts;  // the texts its first values are (a null entry: any text); null: none
    int mTextCount;
    int mNumbers;              // the numbers after them, taken in order; -1: any values, none taken
    const char* mNumberTypes;  // the stored types they may have ('D', 'F', 'I', 'L', 'C'); null: any of those
    bool mOptional;            // may be missing (a field of a block only)
    const KZeqFieldPattern* mBlock;  // the fields of its block, in order; null: its block is not read
    int mBlockCount;
    const double* mEqual;  // the values its numbers must have; null: any
};

// The field file: named records ("fields"), each holding zero or more typed values
// and optionally a nested block of fields, grouped in sections (a main section and
// extension sections). Three encodings: binary, encrypted binary and ASCII.
//
// Value types (FieldReadGetType): 'D' double, 'F' float, 'I' 32-bit int, 'L' 64-bit
// int, 'C' char, 'S' string (bytes, any value), 'E' embedded file. Reading converts
// between the numeric types; an ASCII file keeps no types, so its numbers read as
// 'I', 'L' or 'D' by their text.
//
// Times (FieldWriteT): raw 64-bit ticks when the section's version is above 2000,
// else seconds as a double. FieldReadT takes 'L' as ticks, 'D'/'F' as seconds and
// 'I' as ticks above version 2000, else as seconds.
//
// Passwords. A writer gives the password of the section it is writing with
// ProjectSetPassword at any time before that section is closed; it applies to the
// whole section. The file stores only a salt and a salted, iterated hash of it.
// In an encrypted file the section's content key is derived from the password,
// so the content stays unreadable until CheckPassword is given the right one; in
// a plain binary or ASCII file the password is a check only (the bytes are
// plain), but in every encoding a protected section reads nothing until
// CheckPassword succeeds. Encrypted sections without a password use a key built
// into the SDK: that only obfuscates the content.
//
// Errors: GetError() holds the last one (-1 none). While an error is pending,
// nothing is written: write calls answer false and a file being created is
// discarded by ProjectClose. Reading stops at corrupted data with error 0; it
// never reads outside the data, and allocates in proportion to the file's size
// (at most about ten times it for ASCII text), whatever the file claims. In binary
// files big values lie outside the section's body, each piece with its own
// checksum, and are loaded when they are read (big arrays straight into the
// caller's array): damage there ends the reading of that field with error 0,
// the values before it delivered and the rest of the caller's array unspecified.
//
// No call throws. One KZeq is used by one thread at a time.
class KZeq {
public:
    enum EError {
        eFileCorrupted = 0,
        eFileVersionNotSupportedYet = 1,
        eFileVersionNotSupportedAnymore = 2,
        eFileNotOpened = 3,
        eFileNotCreated = 4,
        eFileWriteError = 5,
        eOperationNotAllowed = 6,
        eEmbeddedFileError = 7,
        eOutOfMemory = 8,
        eErrorCount
    };

    // File versions: below the minimum "not supported anymore", from the first
    // unsupported one on "not supported yet".
    static constexpr int kMinimumFileVersion = 1000;
    static constexpr int kFirstUnsupportedFileVersion = 7000;
    static constexpr int kDefaultFileVersion = 6000;
    // Deepest nesting of blocks, in reading and in writing.
    static constexpr int kMaxDepth = 256;

    KZeq();
    // Closes the file; a file being created is completed as by ProjectClose.
    ~KZeq();
    KZeq(const KZeq&) = delete;
    KZeq& operator=(const KZeq&) = delete;

    // --- Project -------------------------------------------------------------

    // Opens an existing file, in any of the three encodings. A name without an
    // extension opens as it is when it names something other than a folder, else
    // with ".zeq" added. Only a regular file (or a link to one) opens: anything
    // else fails at once, without waiting on a pipe, with error 3 and a text
    // naming the path and what it is (a folder: the system's EISDIR instead).
    // pReadOnly refuses every later write-back (ProjectCreateExtensionSection);
    // pOpenMainSection opens the main section at once. The header record, when
    // given, receives the file's header.
    bool ProjectOpen(const char* pName, bool pReadOnly = false, bool pOpenMainSection = false,
                     KZeqFileHeaderInfo* pHeader = nullptr);
    // The same with the path exactly as given.
    bool ProjectOpenDirect(const char* pName, bool pReadOnly = false, bool pOpenMainSection = false,
                           KZeqFileHeaderInfo* pHeader = nullptr);
    // Opens a file held by a stream (not owned; it must outlive ProjectClose).
    // Such a file has no directory: paths resolve against the current directory
    // and embedded files cannot be extracted.
    bool ProjectOpenStream(KChainedFile& pStream, bool pReadOnly = false, bool pOpenMainSection = false,
                           KZeqFileHeaderInfo* pHeader = nullptr);

    // Creates a file (".zeq" added when the name has no extension) and opens its
    // main section for writing. The file appears under its name only when
    // ProjectClose completes it (synced, then renamed into place, then its
    // directory synced); until then an existing file of that name and its data
    // directory (".zqd") stay, and then that data directory is deleted, as far as
    // it belongs to this process's user (GetLastNotice says what stayed). A writer
    // that dies leaves nothing where the file system makes unnamed files, else
    // its temporary, which a later write of the file removes (KFileReplacement).
    // What may be replaced is KFileReplacement's rule: a symbolic link is
    // followed and the file it names replaced (the link stays); a pipe, device or
    // directory, or a link to one, or a file this process may not write, is
    // refused with error 4 and a text saying why. While written the file is the
    // writer's alone; once complete it gets the mode of the one it replaces, and
    // its owner and group where the process may set them.
    // Without a header record the file gets kDefaultFileVersion. An encrypted file
    // is always binary.
    bool ProjectCreate(const char* pName, bool pBinary = true, bool pEncrypted = false,
                       KZeqFileHeaderInfo* pHeader = nullptr);
    // Creates the file in a stream (not owned), written from its start.
    bool ProjectCreateStream(KChainedFile& pStream, bool pBinary = true, bool pEncrypted = false,
                             KZeqFileHeaderInfo* pHeader = nullptr);

    // Closes the open section and the file; false with error 3 when nothing was
    // open, and false (the file discarded) when an error is pending in a file
    // being created.
    bool ProjectClose();
    // Closes a file being created without putting it in place: the file it was
    // to replace stays as it was and nothing new remains. False when no file
    // is being created.
    bool ProjectDiscard();

    bool ProjectOpenMainSection();
    int ProjectGetExtensionSectionCount() const;
    // Opens extension section pIndex (0 is the first after the main section).
    bool ProjectOpenExtensionSection(int pIndex);
    // Opens a new extension section for writing, with no section open. In a file
    // being created, in any encoding. In a file opened for reading, only when it
    // is binary, unencrypted and not read-only: the section is appended, or with
    // pOverwriteLast replaces the last extension section (never the main one);
    // the file on disk changes when ProjectCloseSection commits it, and a crash
    // before that leaves the previous file intact. Write-backs to one file take
    // turns: while one is in progress another fails with error 6, as does one
    // into a file that was replaced since it was opened, and replacing the last
    // section after another writer added one. Sections added by others meanwhile
    // are kept (and then listed by this object).
    bool ProjectCreateExtensionSection(bool pOverwriteLast = false);
    // Closes the open section; a section being written is stored.
    bool ProjectCloseSection();
    // -1 while no section is open, 0 for the main section, i + 1 for extension i.
    int ProjectGetCurrentSectionIndex() const;
    // The version of section pSection (index as above); 0 for a bad index.
    int ProjectGetSectionVersion(int pSection) const;
    // major = version / 1000, minor = hundreds digit, revision = last two digits.
    static void ProjectConvertVersionNumber(int pVersion, int& pMajor, int& pMinor, int& pRevision);

    // Writer side of passwords: sets the password of the section being written
    // (null or "" removes it). False when no section is open for writing.
    bool ProjectSetPassword(const char* pPassword);
    // True when the open section (the main section when none is open) carries no
    // password, or pPassword is its password; then the section is readable and
    // the password is kept for other sections of the file. A wrong password
    // answers false and reads nothing; it sets no error.
    bool CheckPassword(const char* pPassword);

    // --- Flags -----------------------------------------------------------------

    bool IsOpen() const;
    // True for binary and encrypted binary files, false for ASCII.
    bool IsBinary() const;
    bool IsEncrypted() const;
    // True while the open section carries a password not yet given to CheckPassword
    // (or, while writing, when a password is set for the section).
    bool IsPasswordProtected() const;
    // Set when the header is read or written: file version above 1999.
    bool IsVersion2000OrLater() const;
    int GetFileVersion() const;
    // Full path of the open file ("" for a stream).
    KString GetFilePath() const;

    // --- Errors ------------------------------------------------------------------

    KError& GetError();
    const KError& GetError() const;
    int GetLastErrorID() const;
    const char* GetLastErrorString() const;
    // The whole text of the last open or rename the system refused ("Cannot replace
    // "<file>": ..." with what failed and the system's reason), where the error holds
    // the table's text and the reason's number only; "" before any.
    const char* GetLastRefusal() const;
    // What the last ProjectClose of a file created left undone although the file
    // was written, and why: its data directory (".zqd"), or part of it, stays
    // where it or something in it belongs to another user (only the writer's
    // own is removed). "" when nothing was left, and before any.
    const char* GetLastNotice() const;

    // --- Writing (in the open section; nothing is written once an error is pending)

    // Starts a field in the current block. Names are bytes (the sized form takes
    // any byte). Starting a field while one without block is open ends that one.
    bool FieldWriteBegin(const char* pName);
    bool FieldWriteBegin(const char* pName, std::size_t pLength);
    bool FieldWriteEnd();
    // Opens and closes the nested block of the field being written; values come
    // before the block.
    bool FieldWriteBlockBegin();
    bool FieldWriteBlockEnd();

    // A whole field written at once: pTexts, then pNumbers, each written by
    // FieldWriteI when its type is 'I' (a value the double holds exactly) and
    // by FieldWriteD when 'D', between FieldWriteBegin and FieldWriteEnd; the
    // same bytes as those calls write.
    bool FieldWriteRecord(const char* pName, const std::string_view* pTexts, int pTextCount, const char* pTypes,
                          const double* pNumbers, int pNumberCount);
    bool FieldWriteC(const char* pValue);
    bool FieldWriteC(const char* pValue, std::size_t pLength);
    bool FieldWriteI(int pValue);
    bool FieldWriteL(kLongLong pValue);
    bool FieldWriteD(double pValue);
    bool FieldWriteCH(char pValue);
    bool FieldWriteT(KTime pValue);
    // Start then stop.
    bool FieldWriteTS(KTimeSpan pValue);

    // Arrays, appended as values of the open field at memory speed (binary) or as
    // one value list (ASCII). pCount may be 0.
    bool FieldWriteDn(const double* pValues, int pCount);
    bool FieldWriteFn(const float* pValues, int pCount);
    bool FieldWriteIn(const int* pValues, int pCount);
    bool FieldWriteLn(const kLongLong* pValues, int pCount);

    // A comment line in ASCII files (readers skip it); nothing in binary files.
    bool WriteComments(const char* pComment);

    // Stores the bytes of the file pFileName (streamed, not held in memory) as the
    // next value of the open field; pRelativeFileName is the name the reader will
    // use for the extracted copy. False when the file is not binary, and (without
    // failing the file) when the source is missing or cannot be read, or is
    // reached through another user's link in a sticky folder others may write
    // (GetLastRefusal says why). The file written gets no more permission than
    // the files embedded in it have (a copy gets no more access than its source).
    bool FieldWriteEmbeddedFile(KString pFileName, KString pRelativeFileName);
    // The same for the bytes of the open file pDescriptor (from its start, the
    // descriptor staying the caller's), stored under the name pStoredName.
    bool FieldWriteEmbeddedContent(int pDescriptor, KString pStoredName);

    // --- Reading (in the current block of the open section) ----------------------

    // Opens the next not yet visited field of that name in the current block;
    // false when there is none. Fields of one name are walked in file order, in
    // any order of names. Opening a field while one is open ends that one.
    bool FieldReadBegin(const char* pName);
    bool FieldReadBegin(const char* pName, std::size_t pLength);
    bool FieldReadEnd();
    // Enters the block of the open field (false when it has none) / leaves it.
    bool FieldReadBlockBegin();
    bool FieldReadBlockEnd();
    // Every field of the current block counts as not visited again.
    bool FieldReadResetPosition();
    int FieldGetInstanceCount(const char* pName);
    // The fields of the current block in file order, whatever their names.
    int FieldGetBlockFieldCount();
    KString FieldGetBlockFieldName(int pIndex);

    // Values of the open field.
    int FieldReadGetCount() const;
    int FieldReadGetRemain() const;
    // Type of the next value, 'S' when none is left.
    char FieldReadGetType() const;

    // The next value of the open field, converted; "" / 0 when none is left.
    // FieldReadC answers a KString by value: "const char* s = FieldReadC(...)" dangles, keep the KString.
    KString FieldReadC();
    // The same text without a string: a view valid until the next value is read.
    std::string_view FieldReadCView();
    int FieldReadI();
    kLongLong FieldReadL();
    double FieldReadD();
    float FieldReadF();
    char FieldReadCH();
    KTime FieldReadT();
    KTimeSpan FieldReadTS();

    // Open the next field of that name, read its first value(s), end it; the
    // default when no further field of the name exists.
    KString FieldReadC(const char* pName, const char* pDefault = "");
    int FieldReadI(const char* pName, int pDefault = 0);
    kLongLong FieldReadL(const char* pName, kLongLong pDefault = 0);
    double FieldReadD(const char* pName, double pDefault = 0.0);
    char FieldReadCH(const char* pName, char pDefault = 0);
    KTime FieldReadT(const char* pName);
    KTimeSpan FieldReadTS(const char* pName);
    // Reads pCount doubles of the next field of that name into pValues (values the
    // field lacks stay untouched); without such a field copies pDefaults when given,
    // else leaves pValues untouched. True when the field was found.
    bool FieldReadDn(const char* pName, double* pValues, const double* pDefaults, unsigned int pCount);

    // Arrays from the open field: up to pCount next values, converted; answers the
    // number read.
    int FieldReadDn(double* pValues, int pCount);
    int FieldReadFn(float* pValues, int pCount);
    int FieldReadIn(int* pValues, int pCount);
    int FieldReadLn(kLongLong* pValues, int pCount);

    // Fields of a known layout read in one pass over the file's bytes: the
    // next pCount fields of that name not visited yet in the current block
    // (with pAll, all of them, and exactly pCount), when they are pPatterns in
    // order (a block holding exactly the fields its pattern lists, in that
    // order, but for optional ones missing) and every field, block and value
    // read is sound. Their numbers then go to pNumbers in file order (*pTaken
    // of them, pRoom at most) and the fields count as visited, as if each had
    // been read. Otherwise false, with nothing read or visited: read them
    // field by field, as before.
    bool FieldReadPattern(const char* pName, const KZeqFieldPattern* pPatterns, int pCount, bool pAll,
                          double* pNumbers, int pRoom, int* pTaken);

    // A value of the open field with its stored type, as FieldReadValues hands
    // it out: 'D' and 'F' in mDouble; 'I', 'L' and 'C' (its signed code) in
    // mLong. The As calls convert it as the one-value reads would.
    struct Value {
        char mType;
        union {
            double mDouble;
            kLongLong mLong;
        };
        double AsDouble() const;      // as FieldReadD
        char AsChar() const;          // as FieldReadCH
        KTime AsTime(int pSectionVersion) const;  // as FieldReadT in a section of that version
    };
    // Up to pCount next values of the open field with their types, in one pass
    // over its runs, for records that mix types value by value. Stops before a
    // string or embedded value (read it with the calls above). Answers the
    // number read.
    int FieldReadValues(Value* pValues, int pCount);

    // Records: values that come in a few fixed layouts, as a curve's keys do,
    // stored as the one-value calls store them and moved a batch of records
    // at a time: KZeqReadRecords and KZeqWriteRecords (fileio/kzeqrecords.h).
    static constexpr int kMaxRecordValues = 16;
    static constexpr int kMaxRecordLayouts = 32;
    struct RecordLayout {
        int mCount;                     // values of a record, 1 to kMaxRecordValues
        char mTypes[kMaxRecordValues];  // their stored types: 'D', 'F', 'I', 'L' or 'C'
        char mCodes[kMaxRecordValues];  // reading: the code each char must have, 0 for any
    };

    // Extracts the embedded file that is the next value of the open field into
    // pDirectory, or when it is empty into the media directory (the open file's
    // path with the extension ".zqm"). The copy is named by pRelativeFileName when
    // that is a clean relative path, else by the file part of pFileName (or the
    // name stored with the content); names that would leave the directory, and
    // symbolic links on the way below it, are refused. Nobody named the copy: the
    // way to the directory follows no link another user put where another user
    // may write (KNamedBy::eNobody). The directory and those
    // below it are entered only where they are this process's effective user's
    // (made where missing): one another user made is refused, GetLastRefusal
    // saying so (and "" after an extraction that failed for any other reason). On success pFileName becomes the written file's full path
    // (pRelativeFileName is left as it is); *pOverwritten (when given) tells
    // whether an existing file was replaced.
    bool FieldReadEmbeddedFile(KString& pFileName, KString& pRelativeFileName, const char* pDirectory = "",
                               bool* pOverwritten = nullptr);
    // The directory the last FieldReadEmbeddedFile wrote into, held: what is done
    // with the file extracted next (a conversion, its removal) is done there, never
    // by its path. Not open before a successful extraction.
    const KHeldFolder& GetEmbeddedFolder() const;

    // --- Paths ---------------------------------------------------------------------

    // pPath made absolute against the open file's directory, as the system walks it there
    // (KResolvePath): a ".." after a linked folder goes up from where the link leads.
    KString GetFullFilePath(const char* pPath) const;
    // pPath relative to the open file's directory (unchanged when outside it).
    KString GetRelativeFilePath(const char* pPath) const;
    // The open file's media directory (its path with the extension ".zqm").
    KString GetMediaDirectory() const;

    class Impl;

private:
    template <class Visit>
    friend int KZeqReadRecords(KZeq& pFile, const RecordLayout* pLayouts, int pLayoutCount, int pMaxRecords,
                               Visit&& pVisit);
    template <class Fill>
    friend bool KZeqWriteRecords(KZeq& pFile, const RecordLayout* pLayouts, int pLayoutCount, int pRecordCount,
                                 Fill&& pFill);

    // The open field's reader while the open section is readable, else null.
    zeqdetail::ZeqBodyReader* OpenFieldReader();
    // The layouts prepared for reading and writing records (kept for the next
    // call with the same layouts); null when one is out of range.
    const zeqdetail::ZeqRecordShape* RecordShapes(const RecordLayout* pLayouts, int pLayoutCount);
    // The body writer of a binary file taking values without an error pending, else null.
    zeqdetail::ZeqBodyWriter* RecordWriter();

    std::unique_ptr<Impl> mImpl;
};

}  // namespace zeqsdk_400

#endif
