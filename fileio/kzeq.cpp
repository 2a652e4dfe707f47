#include "fileio/kzeq.h"

// KZeq: the public calls, each guarded so that no exception leaves the object.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "fileio/kpath.h"
#include "fileio/kzeqimpl.h"

namespace zeqsdk_400 {

using namespace zeqdetail;

namespace zeqdetail {
const char* const kZeqErrorTable[KZeq::eErrorCount] = {
    "File is corrupted",
    "File version is not supported yet",
    "File version is not supported anymore",
    "File not opened",
    "File not created",
    "File write error",
    "Operation not allowed on this file",
    "Embedded file cannot be extracted",
    "Out of memory",
};
}  // namespace zeqdetail

// --- KZeqFileHeaderInfo --------------------------------------------------------------

KZeqFileHeaderInfo::KZeqFileHeaderInfo() { Reset(); }

void KZeqFileHeaderInfo::Reset() {
    mCameraName = "";
    mResolutionMode = "";
    mResolutionW = 0.0;
    mResolutionH = 0.0;
    mCreationTimeStamp = kLocalTime{0, 0, 0, 0, 0, 0, 0};
    mCreator = "";
    mFileVersion = KZeq::kDefaultFileVersion;
}

// --- KZeq ---------------------------------------------------------------------------------------------

namespace {

void NoteOutOfMemory(KZeq::Impl& impl) noexcept {
    try {
        impl.mError.SetLastErrorID(KZeq::eOutOfMemory);
    } catch (...) {
    }
}

// Keeps exceptions (only std::bad_alloc can arise) inside the object.
template <class R, class F>
R Guard(KZeq::Impl& impl, R fallback, F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        NoteOutOfMemory(impl);
        return fallback;
    }
}

// The same for a text: the fallback is made only when it is needed (a string
// read is the most frequent call of a read).
template <class F>
KString GuardText(KZeq::Impl& impl, const char* fallback, F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        NoteOutOfMemory(impl);
        try {
            return KString(fallback);
        } catch (...) {
            return KString();
        }
    }
}

}  // namespace

KZeq::KZeq() : mImpl(new Impl()) {}

KZeq::~KZeq() {
    if (mImpl->mMode != Impl::Mode::eClosed) ProjectClose();
}

bool KZeq::ProjectOpen(const char* pName, bool pReadOnly, bool pOpenMainSection, KZeqFileHeaderInfo* pHeader) {
    return Guard(*mImpl, false, [&] {
        if (!pName || !*pName) return mImpl->Open(pName, pReadOnly, pOpenMainSection, pHeader);
        // A name without an extension gets ".zeq" only when it names nothing to open as it is
        // (a folder named like the file beside it included).
        KString path(pName);
        struct stat st;
        if (ExtractFileExtension(pName).IsEmpty() && (::stat(pName, &st) != 0 || S_ISDIR(st.st_mode)))
            path += ".zeq";
        return mImpl->Open(path.Buffer(), pReadOnly, pOpenMainSection, pHeader);
    });
}

bool KZeq::ProjectOpenDirect(const char* pName, bool pReadOnly, bool pOpenMainSection, KZeqFileHeaderInfo* pHeader) {
    return Guard(*mImpl, false, [&] { return mImpl->Open(pName, pReadOnly, pOpenMainSection, pHeader); });
}

bool KZeq::ProjectOpenStream(KChainedFile& pStream, bool pReadOnly, bool pOpenMainSection,
                             KZeqFileHeaderInfo* pHeader) {
    return Guard(*mImpl, false, [&] {
        if (mImpl->mMode != Impl::Mode::eClosed) mImpl->Close();
        mImpl->ResetState();
        mImpl->mError.ClearLastError();
        mImpl->mStream = &pStream;
        return mImpl->OpenCommon(pReadOnly, pOpenMainSection, pHeader);
    });
}

bool KZeq::ProjectCreate(const char* pName, bool pBinary, bool pEncrypted, KZeqFileHeaderInfo* pHeader) {
    return Guard(*mImpl, false, [&] { return mImpl->Create(pName, pBinary, pEncrypted, pHeader); });
}

bool KZeq::ProjectCreateStream(KChainedFile& pStream, bool pBinary, bool pEncrypted, KZeqFileHeaderInfo* pHeader) {
    return Guard(*mImpl, false, [&] {
        Impl& impl = *mImpl;
        if (impl.mMode != Impl::Mode::eClosed) impl.Close();
        impl.ResetState();
        impl.mError.ClearLastError();
        const int version = pHeader ? pHeader->mFileVersion : kDefaultFileVersion;
        if (version >= kFirstUnsupportedFileVersion) return impl.Fail(eFileVersionNotSupportedYet);
        if (version < kMinimumFileVersion) return impl.Fail(eFileVersionNotSupportedAnymore);
        impl.mStream = &pStream;
        if (!impl.CreateCommon(pBinary, pEncrypted, pHeader)) {
            impl.Discard();
            return false;
        }
        return true;
    });
}

bool KZeq::ProjectClose() {
    return Guard(*mImpl, false, [&] { return mImpl->Close(); });
}

bool KZeq::ProjectDiscard() {
    return Guard(*mImpl, false, [&] {
        if (mImpl->mMode != Impl::Mode::eWrite) return false;
        mImpl->Discard();
        return true;
    });
}

bool KZeq::ProjectOpenMainSection() {
    return Guard(*mImpl, false, [&] { return mImpl->OpenSection(0); });
}

int KZeq::ProjectGetExtensionSectionCount() const {
    const std::size_t count = mImpl->mSections.size();
    return count > 1 ? static_cast<int>(count - 1) : 0;
}

bool KZeq::ProjectOpenExtensionSection(int pIndex) {
    if (pIndex < 0 || pIndex >= ProjectGetExtensionSectionCount()) return false;
    return Guard(*mImpl, false, [&] { return mImpl->OpenSection(pIndex + 1); });
}

bool KZeq::ProjectCreateExtensionSection(bool pOverwriteLast) {
    return Guard(*mImpl, false, [&] { return mImpl->CreateExtensionSection(pOverwriteLast); });
}

bool KZeq::ProjectCloseSection() {
    return Guard(*mImpl, false, [&] { return mImpl->CloseSection(); });
}

int KZeq::ProjectGetCurrentSectionIndex() const { return mImpl->mCurrent; }

int KZeq::ProjectGetSectionVersion(int pSection) const { return mImpl->SectionVersion(pSection); }

void KZeq::ProjectConvertVersionNumber(int pVersion, int& pMajor, int& pMinor, int& pRevision) {
    pMajor = pVersion / 1000;
    pMinor = (pVersion % 1000) / 100;
    pRevision = pVersion % 100;
}

bool KZeq::ProjectSetPassword(const char* pPassword) {
    return Guard(*mImpl, false, [&] {
        Impl& impl = *mImpl;
        if (!impl.CanWrite()) return false;
        impl.mSectionPasswordSet = pPassword && *pPassword;
        impl.mSectionPassword = impl.mSectionPasswordSet ? pPassword : "";
        return true;
    });
}

bool KZeq::CheckPassword(const char* pPassword) {
    return Guard(*mImpl, false, [&] { return mImpl->CheckPassword(pPassword); });
}

bool KZeq::IsOpen() const { return mImpl->mMode != Impl::Mode::eClosed; }
bool KZeq::IsBinary() const { return mImpl->mBinary; }
bool KZeq::IsEncrypted() const { return mImpl->mEncrypted; }

bool KZeq::IsPasswordProtected() const {
    if (mImpl->mSectionWriting) return mImpl->mSectionPasswordSet;
    return mImpl->mCurrent >= 0 && mImpl->mLocked;
}

bool KZeq::IsVersion2000OrLater() const { return IsOpen() && mImpl->mHeader.mFileVersion > 1999; }
int KZeq::GetFileVersion() const { return IsOpen() ? mImpl->mHeader.mFileVersion : 0; }

KString KZeq::GetFilePath() const {
    return Guard(*mImpl, KString(""), [&] { return mImpl->mPath; });
}

KError& KZeq::GetError() { return mImpl->mError; }
const KError& KZeq::GetError() const { return mImpl->mError; }
int KZeq::GetLastErrorID() const { return mImpl->mError.GetLastErrorID(); }
const char* KZeq::GetLastErrorString() const { return mImpl->mError.GetLastErrorString(); }
const char* KZeq::GetLastRefusal() const { return mImpl->mRefusal.Buffer(); }

const char* KZeq::GetLastNotice() const { return mImpl->mNotice.Buffer(); }

// --- writing --------------------------------------------------------------------------------------

#define ZEQ_WRITE(binaryCall, asciiCall)                                                   \
    do {                                                                                   \
        Impl& impl = *mImpl;                                                               \
        if (!impl.CanWrite()) return false;                                                \
        return impl.AfterWrite(impl.mBinary ? impl.mBodyWriter.binaryCall : impl.mAsciiWriter.asciiCall); \
    } while (false)

bool KZeq::FieldWriteBegin(const char* pName) { return FieldWriteBegin(pName, pName ? std::strlen(pName) : 0); }

bool KZeq::FieldWriteBegin(const char* pName, std::size_t pLength) {
    const std::string_view name(pName ? pName : "", pName ? pLength : 0);
    return Guard(*mImpl, false, [&] { ZEQ_WRITE(FieldBegin(name), FieldBegin(name)); });
}

bool KZeq::FieldWriteEnd() { ZEQ_WRITE(FieldEnd(), FieldEnd()); }

bool KZeq::FieldWriteRecord(const char* pName, const std::string_view* pTexts, int pTextCount, const char* pTypes,
                            const double* pNumbers, int pNumberCount) {
    if (pTextCount < 0 || pNumberCount < 0 || (pTextCount > 0 && !pTexts) || (pNumberCount > 0 && (!pTypes || !pNumbers)))
        return false;
    const std::string_view name = View(pName);
    Impl& impl = *mImpl;
    return Guard(impl, false, [&] {
        if (!impl.CanWrite()) return false;
        if (impl.mBinary)
            return impl.AfterWrite(impl.mBodyWriter.WriteRecord(name, pTexts, pTextCount, pTypes, pNumbers, pNumberCount));
        ZeqAsciiWriter& writer = impl.mAsciiWriter;
        bool ok = impl.AfterWrite(writer.FieldBegin(name));
        for (int i = 0; ok && i < pTextCount; ++i) ok = impl.AfterWrite(writer.WriteString(pTexts[i]));
        for (int i = 0; ok && i < pNumberCount; ++i)
            ok = impl.AfterWrite(pTypes[i] == 'I' ? writer.WriteInt(static_cast<std::int32_t>(pNumbers[i]))
                                                  : writer.WriteDouble(pNumbers[i]));
        return impl.AfterWrite(writer.FieldEnd()) && ok;
    });
}
bool KZeq::FieldWriteBlockBegin() { ZEQ_WRITE(BlockBegin(), BlockBegin()); }
bool KZeq::FieldWriteBlockEnd() { ZEQ_WRITE(BlockEnd(), BlockEnd()); }

bool KZeq::FieldWriteC(const char* pValue) { return FieldWriteC(pValue, pValue ? std::strlen(pValue) : 0); }

bool KZeq::FieldWriteC(const char* pValue, std::size_t pLength) {
    const std::string_view text(pValue ? pValue : "", pValue ? pLength : 0);
    ZEQ_WRITE(WriteString(text), WriteString(text));
}

bool KZeq::FieldWriteI(int pValue) { ZEQ_WRITE(WriteInt(pValue), WriteInt(pValue)); }
bool KZeq::FieldWriteL(kLongLong pValue) { ZEQ_WRITE(WriteLong(pValue), WriteLong(pValue)); }
bool KZeq::FieldWriteD(double pValue) { ZEQ_WRITE(WriteDouble(pValue), WriteDouble(pValue)); }
bool KZeq::FieldWriteCH(char pValue) { ZEQ_WRITE(WriteChar(pValue), WriteChar(pValue)); }

bool KZeq::FieldWriteT(KTime pValue) {
    if (mImpl->mWriteVersion > 2000) return FieldWriteL(pValue.Get());
    return FieldWriteD(pValue.GetSecondDouble());
}

bool KZeq::FieldWriteTS(KTimeSpan pValue) { return FieldWriteT(pValue.GetStart()) && FieldWriteT(pValue.GetStop()); }

bool KZeq::FieldWriteDn(const double* pValues, int pCount) {
    if (pCount < 0 || (!pValues && pCount > 0)) return false;
    const std::size_t n = static_cast<std::size_t>(pCount);
    ZEQ_WRITE(WriteArray(kTagDouble, pValues, n), WriteDoubles(pValues, n));
}

bool KZeq::FieldWriteFn(const float* pValues, int pCount) {
    if (pCount < 0 || (!pValues && pCount > 0)) return false;
    const std::size_t n = static_cast<std::size_t>(pCount);
    ZEQ_WRITE(WriteArray(kTagFloat, pValues, n), WriteFloats(pValues, n));
}

bool KZeq::FieldWriteIn(const int* pValues, int pCount) {
    if (pCount < 0 || (!pValues && pCount > 0)) return false;
    const std::size_t n = static_cast<std::size_t>(pCount);
    ZEQ_WRITE(WriteArray(kTagInt, pValues, n), WriteInts(pValues, n));
}

bool KZeq::FieldWriteLn(const kLongLong* pValues, int pCount) {
    if (pCount < 0 || (!pValues && pCount > 0)) return false;
    const std::size_t n = static_cast<std::size_t>(pCount);
    ZEQ_WRITE(WriteArray(kTagLong, pValues, n), WriteLongs(pValues, n));
}

#undef ZEQ_WRITE

bool KZeq::WriteComments(const char* pComment) {
    return Guard(*mImpl, false, [&] {
        Impl& impl = *mImpl;
        if (!impl.CanWrite()) return false;
        if (impl.mBinary) return true;
        return impl.AfterWrite(impl.mAsciiWriter.Comment(View(pComment)));
    });
}

bool KZeq::FieldWriteEmbeddedFile(KString pFileName, KString pRelativeFileName) {
    return Guard(*mImpl, false, [&] { return mImpl->WriteEmbedded(pFileName, pRelativeFileName); });
}

bool KZeq::FieldWriteEmbeddedContent(int pDescriptor, KString pStoredName) {
    return Guard(*mImpl, false, [&] {
        KChainedStdioFile source;
        const int fd = pDescriptor >= 0 ? ::fcntl(pDescriptor, F_DUPFD_CLOEXEC, 0) : -1;
        if (fd >= 0 && ::lseek(fd, 0, SEEK_SET) != 0) ::close(fd);
        // OpenDescriptor closes what it cannot take.
        else if (fd >= 0 && source.OpenDescriptor(fd, "rb"))
            return mImpl->WriteEmbeddedFrom(source, pStoredName);
        return false;
    });
}

const KHeldFolder& KZeq::GetEmbeddedFolder() const { return mImpl->mEmbeddedFolder; }

// --- reading --------------------------------------------------------------------------------------

bool KZeq::FieldReadBegin(const char* pName) { return FieldReadBegin(pName, pName ? std::strlen(pName) : 0); }

bool KZeq::FieldReadBegin(const char* pName, std::size_t pLength) {
    Impl& impl = *mImpl;
    if (!impl.Readable()) return false;
    const std::string_view name(pName ? pName : "", pName ? pLength : 0);
    return Guard(impl, false, [&] { return impl.AfterRead(impl.mReader.FieldBegin(name)); });
}

bool KZeq::FieldReadEnd() {
    Impl& impl = *mImpl;
    return impl.Readable() && impl.AfterRead(impl.mReader.FieldEnd());
}

bool KZeq::FieldReadBlockBegin() {
    Impl& impl = *mImpl;
    return impl.Readable() && impl.AfterRead(impl.mReader.BlockBegin());
}

bool KZeq::FieldReadBlockEnd() { return mImpl->Readable() && mImpl->mReader.BlockEnd(); }

bool KZeq::FieldReadResetPosition() {
    if (!mImpl->Readable()) return false;
    mImpl->mReader.ResetPosition();
    return true;
}

int KZeq::FieldGetInstanceCount(const char* pName) {
    Impl& impl = *mImpl;
    if (!impl.Readable()) return 0;
    return Guard(impl, 0, [&] {
        const int count = impl.mReader.InstanceCount(View(pName));
        impl.AfterRead(true);
        return count;
    });
}

int KZeq::FieldGetBlockFieldCount() {
    Impl& impl = *mImpl;
    if (!impl.Readable()) return 0;
    return Guard(impl, 0, [&] {
        const int count = impl.mReader.BlockFieldCount();
        impl.AfterRead(true);
        return count;
    });
}

KString KZeq::FieldGetBlockFieldName(int pIndex) {
    Impl& impl = *mImpl;
    return GuardText(impl, "", [&] {
        if (!impl.Readable()) return KString("");
        const std::string_view name = impl.mReader.BlockFieldName(pIndex);
        impl.AfterRead(true);
        return KString(name.data() ? name.data() : "", name.size());
    });
}

int KZeq::FieldReadGetCount() const { return mImpl->Readable() ? mImpl->mReader.Count() : 0; }
int KZeq::FieldReadGetRemain() const { return mImpl->Readable() ? mImpl->mReader.Remain() : 0; }

char KZeq::FieldReadGetType() const {
    Impl& impl = *mImpl;
    const std::uint8_t type = impl.Readable() ? impl.mReader.PeekType() : 0;
    impl.AfterRead(true);
    return type ? static_cast<char>(type) : 'S';
}

// Value reads: a failure is either "no value left" or damage, which AfterRead reports.
KString KZeq::FieldReadC() {
    Impl& impl = *mImpl;
    return GuardText(impl, "", [&] {
        KString value;
        if (impl.Readable() && !impl.mReader.ReadString(value)) impl.AfterRead(false);
        return value;
    });
}

std::string_view KZeq::FieldReadCView() {
    Impl& impl = *mImpl;
    std::string_view value;
    if (impl.Readable() && !impl.mReader.ReadText(value, impl.mText)) impl.AfterRead(false);
    return value;
}

bool KZeq::FieldReadPattern(const char* pName, const KZeqFieldPattern* pPatterns, int pCount, bool pAll,
                            double* pNumbers, int pRoom, int* pTaken) {
    Impl& impl = *mImpl;
    int taken = 0;
    if (!impl.Readable() || !pPatterns || pCount <= 0 || pRoom < 0 || (pRoom > 0 && !pNumbers)) return false;
    const bool read = Guard(impl, false, [&] {
        return impl.mReader.ReadPattern(View(pName), pPatterns, pCount, pAll, pNumbers, pRoom, taken);
    });
    if (read && pTaken) *pTaken = taken;
    return read;
}

// The reader has an open field only while its section is readable, so the value
// is taken first and the state looked at only when there was none.
int KZeq::FieldReadI() {
    Impl& impl = *mImpl;
    std::int32_t value = 0;
    if (!impl.mReader.ReadInt(value) && impl.Readable()) impl.AfterRead(false);
    return value;
}

kLongLong KZeq::FieldReadL() {
    Impl& impl = *mImpl;
    std::int64_t value = 0;
    if (!impl.mReader.ReadLong(value) && impl.Readable()) impl.AfterRead(false);
    return value;
}

double KZeq::FieldReadD() {
    Impl& impl = *mImpl;
    double value = 0.0;
    if (!impl.mReader.ReadDouble(value) && impl.Readable()) impl.AfterRead(false);
    return value;
}

float KZeq::FieldReadF() { return static_cast<float>(FieldReadD()); }

char KZeq::FieldReadCH() {
    Impl& impl = *mImpl;
    char value = 0;
    if (!impl.mReader.ReadChar(value) && impl.Readable()) impl.AfterRead(false);
    return value;
}

KTime KZeq::FieldReadT() {
    Impl& impl = *mImpl;
    std::int64_t ticks = 0;
    if (!impl.mReader.ReadTicks(ticks) && impl.Readable() &&
        !impl.mReader.ReadTime(ticks, impl.SectionVersion(impl.mCurrent))) {
        impl.AfterRead(false);
    }
    return KTime(ticks);
}

KTimeSpan KZeq::FieldReadTS() {
    const KTime start = FieldReadT();
    const KTime stop = FieldReadT();
    return KTimeSpan(start, stop);
}

KString KZeq::FieldReadC(const char* pName, const char* pDefault) {
    Impl& impl = *mImpl;
    return GuardText(impl, pDefault ? pDefault : "", [&] {
        KString value(pDefault ? pDefault : "");
        if (!FieldReadBegin(pName)) return value;
        impl.AfterRead(impl.mReader.ReadString(value));
        FieldReadEnd();
        return value;
    });
}

int KZeq::FieldReadI(const char* pName, int pDefault) {
    std::int32_t value = pDefault;
    if (!FieldReadBegin(pName)) return pDefault;
    mImpl->AfterRead(mImpl->mReader.ReadInt(value));
    FieldReadEnd();
    return value;
}

kLongLong KZeq::FieldReadL(const char* pName, kLongLong pDefault) {
    std::int64_t value = pDefault;
    if (!FieldReadBegin(pName)) return pDefault;
    mImpl->AfterRead(mImpl->mReader.ReadLong(value));
    FieldReadEnd();
    return value;
}

double KZeq::FieldReadD(const char* pName, double pDefault) {
    double value = pDefault;
    if (!FieldReadBegin(pName)) return pDefault;
    mImpl->AfterRead(mImpl->mReader.ReadDouble(value));
    FieldReadEnd();
    return value;
}

char KZeq::FieldReadCH(const char* pName, char pDefault) {
    char value = pDefault;
    if (!FieldReadBegin(pName)) return pDefault;
    mImpl->AfterRead(mImpl->mReader.ReadChar(value));
    FieldReadEnd();
    return value;
}

KTime KZeq::FieldReadT(const char* pName) {
    if (!FieldReadBegin(pName)) return KTime(0);
    const KTime value = FieldReadT();
    FieldReadEnd();
    return value;
}

KTimeSpan KZeq::FieldReadTS(const char* pName) {
    if (!FieldReadBegin(pName)) return KTimeSpan(KTime(0), KTime(0));
    const KTimeSpan value = FieldReadTS();
    FieldReadEnd();
    return value;
}

bool KZeq::FieldReadDn(const char* pName, double* pValues, const double* pDefaults, unsigned int pCount) {
    if (!FieldReadBegin(pName)) {
        if (pDefaults && pValues && pCount > 0) std::memmove(pValues, pDefaults, pCount * sizeof(double));
        return false;
    }
    if (pValues) mImpl->mReader.ReadDoubles(pValues, pCount);
    mImpl->AfterRead(true);
    FieldReadEnd();
    return true;
}

int KZeq::FieldReadDn(double* pValues, int pCount) {
    if (!pValues || pCount <= 0 || !mImpl->Readable()) return 0;
    const std::size_t read = mImpl->mReader.ReadDoubles(pValues, static_cast<std::size_t>(pCount));
    mImpl->AfterRead(true);
    return static_cast<int>(read);
}

int KZeq::FieldReadFn(float* pValues, int pCount) {
    if (!pValues || pCount <= 0 || !mImpl->Readable()) return 0;
    const std::size_t read = mImpl->mReader.ReadFloats(pValues, static_cast<std::size_t>(pCount));
    mImpl->AfterRead(true);
    return static_cast<int>(read);
}

int KZeq::FieldReadIn(int* pValues, int pCount) {
    if (!pValues || pCount <= 0 || !mImpl->Readable()) return 0;
    const std::size_t read = mImpl->mReader.ReadInts(pValues, static_cast<std::size_t>(pCount));
    mImpl->AfterRead(true);
    return static_cast<int>(read);
}

int KZeq::FieldReadLn(kLongLong* pValues, int pCount) {
    if (!pValues || pCount <= 0 || !mImpl->Readable()) return 0;
    const std::size_t read = mImpl->mReader.ReadLongs(pValues, static_cast<std::size_t>(pCount));
    mImpl->AfterRead(true);
    return static_cast<int>(read);
}

zeqdetail::ZeqBodyReader* KZeq::OpenFieldReader() { return mImpl->Readable() ? &mImpl->mReader : nullptr; }

bool KZeq::FieldReadEmbeddedFile(KString& pFileName, KString& pRelativeFileName, const char* pDirectory,
                                 bool* pOverwritten) {
    return Guard(*mImpl, false,
                 [&] { return mImpl->ReadEmbedded(pFileName, pRelativeFileName, pDirectory, pOverwritten); });
}

// --- paths -------------------------------------------------------------------------------------------

KString KZeq::GetFullFilePath(const char* pPath) const {
    return Guard(*mImpl, KString(""), [&] { return KResolvePath(mImpl->Directory().Buffer(), pPath ? pPath : ""); });
}

KString KZeq::GetRelativeFilePath(const char* pPath) const {
    return Guard(*mImpl, KString(""),
                 [&] { return MakeRelativePath(mImpl->Directory().Buffer(), pPath ? pPath : ""); });
}

KString KZeq::GetMediaDirectory() const {
    return Guard(*mImpl, KString(""), [&] {
        if (mImpl->mPath.IsEmpty()) return KString("");
        return ChangeFileExtension(mImpl->mPath.Buffer(), ".zqm");
    });
}

static_assert(KZeq::kMaxDepth == 256, "kzeqbody.cpp bounds nesting at the same depth");

}  // namespace zeqsdk_400
