#include "io/kzeqreaderzeq.h"

#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "fileio/kpath.h"
#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq_steps.h"
#include "io/kzeqscenerecords.h"
#include "object/izeqobject.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {

namespace {

// The field file's open errors keep their number; anything else is unidentified.
int ReaderErrorFromFile(int fileError) {
    return fileError >= KZeq::eFileCorrupted && fileError <= KZeq::eFileNotCreated ? fileError
                                                                                  : KZeqReader::eUnidentifiedError;
}

const char* const kTemplateMark = "~zeqexport~";

// The part after the last ':' (the whole text without one).
bool IsTemplateName(const KString& name) {
    const int colon = name.ReverseFind(':');
    return (colon < 0 ? name : name.Mid(static_cast<unsigned>(colon) + 1)) == kTemplateMark;
}

// The records of a main section (of either layout) that the extension sections hold, each once,
// in the order the sections hold them.
std::vector<int> MainSectionRecordsOutsideIt(IZeqObject& file) {
    std::vector<int> outside;
    std::vector<bool> seen(static_cast<std::size_t>(kZeqMainSectionRecordCount), false);
    for (int i = 0; i < file.ProjectGetExtensionSectionCount(); ++i) {
        const bool clean = file.GetLastErrorID() == -1;
        if (!file.ProjectOpenExtensionSection(i)) {
            // A damaged section is the "Summary" reader's to pass over.
            if (clean && file.GetLastErrorID() == KZeq::eFileCorrupted) file.GetError().ClearLastError();
            continue;
        }
        for (int f = 0; f < file.FieldGetBlockFieldCount(); ++f) {
            const KString name = file.FieldGetBlockFieldName(f);
            for (int r = 0; r < kZeqMainSectionRecordCount; ++r) {
                if (name == kZeqMainSectionRecords[r].mName && !seen[static_cast<std::size_t>(r)])
                    seen[static_cast<std::size_t>(r)] = true, outside.push_back(r);
            }
        }
        file.ProjectCloseSection();
    }
    return outside;
}

// The first of those records, of the file's layout, that the main section lacks: the scene was
// split there. Null when it holds them all, as beside a whole scene another program's own records
// of familiar names ("Settings", "Takes") are. A main section that shows nothing (one a password
// locks) holds none.
const char* RecordTheMainSectionLacks(IZeqObject& file, const std::vector<int>& outside) {
    const bool before6 = file.IsBeforeVersion6();
    std::vector<bool> lacked(static_cast<std::size_t>(kZeqMainSectionRecordCount), false);
    for (int r : outside) {
        const ZeqMainSectionRecord& row = kZeqMainSectionRecords[r];
        lacked[static_cast<std::size_t>(r)] = before6 ? row.mBeforeVersion6 : row.mVersion6;
    }
    if (file.ProjectOpenMainSection()) {
        for (int f = 0; f < file.FieldGetBlockFieldCount(); ++f) {
            const KString name = file.FieldGetBlockFieldName(f);
            for (int r : outside)
                if (name == kZeqMainSectionRecords[r].mName) lacked[static_cast<std::size_t>(r)] = false;
        }
        file.ProjectCloseSection();
    }
    for (int r : outside)
        if (lacked[static_cast<std::size_t>(r)]) return kZeqMainSectionRecords[r].mName;
    return nullptr;
}

}  // namespace

// Take files are named by the file being read: only regular files are
// opened, so that a name of a pipe or device cannot stall the read.
bool ZeqIsRegularFile(const char* path) {
    KPathWalk walk;
    return path && KWalkPath(path, walk) && walk.mExists && S_ISREG(walk.mStat.st_mode);
}

KZeqReaderZeq::KZeqReaderZeq(KZeqSdkManager& manager, KZeqImporter& importer)
    : KZeqReader(manager), mImporter(importer) {
    for (KCharPtrSet* set : {&mNodeNames, &mTargets, &mUpNodes, &mCameraBackgrounds}) set->SetCaseSensitive(true);
}

KZeqReaderZeq::~KZeqReaderZeq() {
    if (mOwnedFile) FileClose();
}

bool KZeqReaderZeq::FileOpen(const char* fileName) {
    mRenderResolution = false;
    if (!mOwnedFile) mOwnedFile.reset(KZeqObjectCreate());
    mFile = mOwnedFile.get();
    if (mFile->IsOpen()) mFile->ProjectClose();
    if (!fileName || !*fileName) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    KString path = KAbsolutePath(fileName);
    KZeqFileHeaderInfo header;
    if (!mFile->ProjectOpen(path.Buffer(), false, false, &header)) {
        mError.CopyLastError(ReaderErrorFromFile(mFile->GetLastErrorID()), mFile->GetError());
        // What the system refused is said with the path; what is no regular file keeps the file's text.
        if (const int reason = mError.GetLastSystemError(); reason != 0 && mError.GetLastErrorID() == eFileNotOpened) {
            mError.SetLastError(eFileNotOpened, FileNotOpenedText(path.Buffer(), reason).Buffer());
            mError.SetLastSystemError(reason);
        }
        return false;
    }
    // A section line between the records of the scene leaves those after it in another section,
    // where no read looks: refused with the reason, rather than read as a scene without them.
    const std::vector<int> outside = MainSectionRecordsOutsideIt(*mFile);
    if (!outside.empty()) SetIsBeforeVersion6WithMainSection(true);  // the layout names the records
    if (const char* record = outside.empty() ? nullptr : RecordTheMainSectionLacks(*mFile, outside)) {
        mFile->ProjectClose();
        mError.SetLastError(eFileCorrupted, (KString("File is corrupted: a section line splits the scene, and its \"") +
                                             record + "\" record lies outside the main section")
                                                .Buffer());
        return false;
    }
    if (header.mResolutionW != 0.0 && header.mResolutionH != 0.0 && !header.mResolutionMode.IsEmpty()) {
        mRenderResolution = true;
        mRenderCamera = header.mCameraName;
        mRenderMode = header.mResolutionMode;
        mRenderWidth = header.mResolutionW;
        mRenderHeight = header.mResolutionH;
    }
    return true;
}

bool KZeqReaderZeq::FileClose() {
    if (!mOwnedFile) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    const bool closed = mOwnedFile->ProjectClose();
    if (!closed) {
        const int id = mOwnedFile->GetLastErrorID();
        if (id == KZeq::eFileNotOpened)
            mError.SetLastErrorID(eFileNotOpened);
        else
            mError.CopyLastError(eUnidentifiedError, mOwnedFile->GetError());
    }
    mOwnedFile.reset();
    mFile = nullptr;
    return closed;
}

// An object whose open failed is no open file.
bool KZeqReaderZeq::IsFileOpen() { return mOwnedFile && mOwnedFile->IsOpen(); }

int KZeqReaderZeq::GetImportMode() const {
    if (!mFile) return 0;
    return mFile->IsEncrypted() ? 2 : mFile->IsBinary() ? 1 : 0;
}

void KZeqReaderZeq::GetVersion(int& major, int& minor, int& revision) const {
    KZeq::ProjectConvertVersionNumber(mFile ? mFile->ProjectGetSectionVersion(0) : 0, major, minor, revision);
}

bool KZeqReaderZeq::GetDefaultRenderResolution(KString& camera, KString& mode, double& width,
                                               double& height) const {
    if (!mRenderResolution) return false;
    camera = mRenderCamera;
    mode = mRenderMode;
    width = mRenderWidth;
    height = mRenderHeight;
    return true;
}

KStreamOptions* KZeqReaderZeq::GetReadOptions(bool parseFile) { return GetReadOptions(nullptr, parseFile); }

KStreamOptions* KZeqReaderZeq::GetReadOptions(IZeqObject* object, bool parseFile) {
    KStreamOptionsZeq* options = KStreamOptionsZeqCreate();
    mOptions = options;
    mError.ClearLastError();
    IZeqObject* own = mFile;
    if (object) mFile = object;
    bool ok = false;
    if (!object && !IsFileOpen()) {
        mError.SetLastErrorID(eFileNotOpened);
    } else if (mFile->ProjectGetCurrentSectionIndex() == -1) {
        int sectionIndex = -1;
        if (ReadOptionsInExtensionSection(sectionIndex)) {
            SetIsBeforeVersion6WithMainSection(true);
            ok = true;
        } else if (parseFile && !mFile->ProjectOpenMainSection()) {
            // Mostly a main section that fails its checks: the file's reason.
            mError.CopyLastError(ReaderErrorFromFile(mFile->GetLastErrorID()), mFile->GetError());
        } else if (parseFile) {
            // A protected section shows nothing (no takes above all) until the
            // password is given: its options are read with the importer's
            // password or not at all, and no "Summary" is made from it locked.
            const bool locked = mFile->IsPasswordProtected();
            if (locked && !ReadPassword(mImporter.GetPassword().Buffer())) {
                mError.SetLastErrorID(eWrongPassword);
            } else {
                SetIsBeforeVersion6WithMainSection(false);
                ReadOptionsInMainSection();
                if (locked) mOptions->SetPasswordProtection(true);
                ok = true;
            }
            mFile->ProjectCloseSection();
            if (ok && mFile->GetLastErrorID() != KZeq::eFileCorrupted) WriteOptionsInExtensionSection(false);
        }
    } else if (parseFile) {
        ReadOptionsInMainSection();
        ok = true;
    }
    // Options read over damage would describe what the file does not hold.
    if (ok && mFile->GetLastErrorID() == KZeq::eFileCorrupted) {
        mError.SetLastError(eFileCorrupted, mFile->GetLastErrorString());
        ok = false;
    }
    mFile = own;
    mOptions = nullptr;
    if (ok) return options;
    options->Destroy();
    return nullptr;
}

bool KZeqReaderZeq::ReadOptionsInExtensionSection(int& sectionIndex) {
    KZeq& file = *mFile;
    bool found = false;
    for (int i = file.ProjectGetExtensionSectionCount() - 1; i >= 0 && !found; --i) {
        const bool clean = file.GetLastErrorID() == -1;
        if (!file.ProjectOpenExtensionSection(i)) {
            // A damaged "Summary" only loses its shortcut: the options are
            // gathered from the main section (and a new one written back).
            if (clean && file.GetLastErrorID() == KZeq::eFileCorrupted) file.GetError().ClearLastError();
            continue;
        }
        found = file.FieldReadBegin("Summary");
        if (found)
            sectionIndex = i;
        else
            file.ProjectCloseSection();
    }
    if (!found) return false;
    if (file.FieldReadBlockBegin()) {
        const int version = file.FieldReadI("Version", 100);
        mOptions->SetTemplate(file.FieldReadI("Template", 0) != 0);
        mOptions->SetPasswordProtection(file.FieldReadI("PasswordProtection", 0) != 0);
        if (file.FieldReadBegin("ContentCount")) {
            if (file.FieldReadBlockBegin()) {
                static const char* const kNames[] = {"Model", "Device", "Character", "Actor", "Constraint", "Media"};
                for (int i = 0; i < KStreamOptionsZeq::eContentCountCount; ++i)
                    mOptions->SetContentCount(i, file.FieldReadI(kNames[i], 0));
                file.FieldReadBlockEnd();
            }
            file.FieldReadEnd();
        }
        if (version > 100) {
            if (KZeqSceneInfo* info = ReadSceneInfo()) {
                if (mOptions->GetSceneInfo()) mManager.DestroyKZeqSceneInfo(mOptions->GetSceneInfo());
                mOptions->SetSceneInfo(info);
            }
        }
        ReadTakeOptions();
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
    file.ProjectCloseSection();
    // Another program's "Summary" may list no takes: the main section's are read all the same,
    // since a take left out of the options is not read at all.
    if (mOptions->GetTakeInfoCount() == 0) ReadTakeOptionsInMainSection();
    return true;
}

void KZeqReaderZeq::ReadTakeOptionsInMainSection() {
    KZeq& file = *mFile;
    const bool clean = file.GetLastErrorID() == -1;
    if (!file.ProjectOpenMainSection()) {
        // The read itself meets and reports what keeps the section shut.
        if (clean) file.GetError().ClearLastError();
        return;
    }
    // A locked section shows its takes to the importer's password only; the read asks for it.
    if (!file.IsPasswordProtected() || file.CheckPassword(mImporter.GetPassword().Buffer())) {
        const KString summaryCurrent = mOptions->GetCurrentTake();
        file.FieldReadResetPosition();
        ReadTakeOptions();
        if (mOptions->GetTakeInfoCount() == 0) mOptions->SetCurrentTake(summaryCurrent.Buffer());
    }
    file.ProjectCloseSection();
}

void KZeqReaderZeq::ReadOptionsInMainSection() {
    KZeq& file = *mFile;
    file.FieldReadResetPosition();
    mOptions->SetPasswordProtection(file.IsPasswordProtected());
    mImporter.ProgressUpdate(nullptr, "Retrieving content information", "", 0.0f);

    mOptions->SetContentCount(KStreamOptionsZeq::eMODEL_COUNT, file.FieldGetInstanceCount("Model"));
    while (file.FieldReadBegin("Model")) {
        const bool isTemplate = IsTemplateName(file.FieldReadC());
        file.FieldReadEnd();
        if (isTemplate) {
            mOptions->SetTemplate(true);
            break;
        }
    }
    mOptions->SetContentCount(KStreamOptionsZeq::eDEVICE_COUNT, file.FieldGetInstanceCount("Device"));
    mOptions->SetContentCount(KStreamOptionsZeq::eCHARACTER_COUNT, file.FieldGetInstanceCount("CHARACTER"));
    mOptions->SetContentCount(KStreamOptionsZeq::eACTOR_COUNT, file.FieldGetInstanceCount("ACTOR"));

    int constraints = 0;
    if (file.FieldReadBegin("Constraints")) {
        if (file.FieldReadBlockBegin()) {
            while (file.FieldReadBegin("Group")) {
                if (file.FieldReadBlockBegin()) {
                    constraints += file.FieldGetInstanceCount("Constraint");
                    file.FieldReadBlockEnd();
                }
                file.FieldReadEnd();
            }
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    mOptions->SetContentCount(KStreamOptionsZeq::eCONSTRAINT_COUNT, constraints);

    int clips = 0;
    if (file.FieldReadBegin("Media")) {
        if (file.FieldReadBlockBegin()) {
            if (file.FieldReadBegin("Video")) {
                if (file.FieldReadBlockBegin()) {
                    while (file.FieldReadBegin("Video")) {
                        if (file.FieldReadBlockBegin()) {
                            if (file.FieldReadC("Type") == "Clip") ++clips;
                            file.FieldReadBlockEnd();
                        }
                        file.FieldReadEnd();
                    }
                    file.FieldReadBlockEnd();
                }
                file.FieldReadEnd();
            }
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    mOptions->SetContentCount(KStreamOptionsZeq::eMEDIA_COUNT, clips);

    ReadTakeOptions();
    ReadOptionsInGenericSection();
    file.FieldReadResetPosition();
}

void KZeqReaderZeq::ReadOptionsInGenericSection() {
    KZeq& file = *mFile;
    if (!file.FieldReadBegin("SceneGenericPersistence")) return;
    if (file.FieldReadBlockBegin()) {
        if (mOptions->GetSceneInfo()) mManager.DestroyKZeqSceneInfo(mOptions->GetSceneInfo());
        mOptions->SetSceneInfo(ReadSceneInfo());
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
}

void KZeqReaderZeq::ReadTakeOptions() {
    KZeq& file = *mFile;
    mOptions->ClearTakeInfos();
    mOptions->SetCurrentTake("");
    if (!file.FieldReadBegin("Takes")) return;
    if (file.FieldReadBlockBegin()) {
        KString current = file.FieldReadC("Current", "");
        bool found = false;
        while (file.FieldReadBegin("Take")) {
            KZeqTakeInfo take;
            take.mName = file.FieldReadC();
            if (file.FieldReadBlockBegin()) {
                ReadTakeDetails(take);
                file.FieldReadBlockEnd();
            }
            file.FieldReadEnd();
            take.mImportName = take.mName;
            found = found || take.mName == current;
            mOptions->AddTakeInfo(take);
        }
        if (!found) current = mOptions->GetTakeInfoCount() > 0 ? mOptions->GetTakeInfo(0)->mName : KString();
        mOptions->SetCurrentTake(current.Buffer());
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
}

void KZeqReaderZeq::ReadTakeDetails(KZeqTakeInfo& take) {
    KZeq& file = *mFile;
    if (file.FieldReadBegin("FileName")) {
        const KString name = file.FieldReadC();
        file.FieldReadEnd();
        const KString path = file.GetFullFilePath(name.Buffer());
        KZeq takeFile;
        if (ZeqIsRegularFile(path.Buffer()) && takeFile.ProjectOpenDirect(path.Buffer(), true, true)) {
            take.mDescription = takeFile.FieldReadC("Comments");
            take.mLocalTimeSpan = takeFile.FieldReadTS("LocalTime");
            take.mReferenceTimeSpan = takeFile.FieldReadTS("ReferenceTime");
            takeFile.ProjectClose();
            return;
        }
        if (file.GetFileVersion() <= 1999) return;
    }
    take.mDescription = file.FieldReadC("Comments");
    take.mLocalTimeSpan = file.FieldReadTS("LocalTime");
    take.mReferenceTimeSpan = file.FieldReadTS("ReferenceTime");
    take.SetTakeThumbnail(ReadThumbnail());
}

bool KZeqReaderZeq::WriteOptionsInExtensionSection(bool overwriteLast) {
    KZeq& file = *mFile;
    if (!file.ProjectCreateExtensionSection(overwriteLast)) {
        // Refused for another user's sake (their link to the file): the user hears why.
        if (*file.GetLastRefusal()) mWriteBackRefusal = KString(file.GetLastRefusal()) + ".";
        file.GetError().ClearLastError();
        return false;
    }
    ZeqSummary summary;
    summary.mTemplate = mOptions->GetTemplate();
    summary.mPasswordProtection = mOptions->GetPasswordProtection();
    for (int i = 0; i < ZeqSummary::eCountCount; ++i) summary.mCounts[i] = mOptions->GetContentCount(i);
    summary.mSceneInfo = mOptions->GetSceneInfo();
    summary.mCurrentTake = mOptions->GetCurrentTake();
    for (int i = 0; i < mOptions->GetTakeInfoCount(); ++i) summary.mTakes.push_back(mOptions->GetTakeInfo(i));
    ZeqWriteSummary(file, summary);
    // A write-back that did not make it leaves the file as it was, and the
    // read goes on as if the file could not take one.
    if (file.ProjectCloseSection() && file.GetLastErrorID() < 0) return true;
    file.GetError().ClearLastError();
    return false;
}

bool KZeqReaderZeq::UpdateImportOptions(KStreamOptions* options) {
    if (!IsFileOpen() || mFile->ProjectGetCurrentSectionIndex() != -1) return false;
    if (!options || !options->Is(KStreamOptionsZeq::ClassId)) return false;
    KStreamOptionsZeq& caller = *static_cast<KStreamOptionsZeq*>(options);
    KStreamOptionsZeq* mine = KStreamOptionsZeqCreate();
    mOptions = mine;
    bool rewritten = false;
    int sectionIndex = -1;
    if (ReadOptionsInExtensionSection(sectionIndex)) {
        if (!caller.GetSceneInfo()) {
            if (mine->GetSceneInfo()) mine->GetSceneInfo()->Clear();
        } else {
            if (!mine->GetSceneInfo()) mine->SetSceneInfo(mManager.CreateKZeqSceneInfo());
            if (mine->GetSceneInfo()) *mine->GetSceneInfo() = *caller.GetSceneInfo();
        }
        const int takes = std::min(mine->GetTakeInfoCount(), caller.GetTakeInfoCount());
        for (int i = 0; i < takes; ++i) *mine->GetTakeInfo(i) = *caller.GetTakeInfo(i);
        rewritten = WriteOptionsInExtensionSection(sectionIndex == mFile->ProjectGetExtensionSectionCount() - 1);
    }
    mOptions = nullptr;
    mine->Destroy();
    return rewritten;
}

KZeqThumbnail* KZeqReaderZeq::ReadThumbnail() { return ZeqReadThumbnail(*mFile, mManager); }
bool KZeqReaderZeq::WriteThumbnail(KZeqThumbnail* thumbnail) { return ZeqWriteThumbnail(*mFile, thumbnail); }
KZeqSceneInfo* KZeqReaderZeq::ReadSceneInfo() { return ZeqReadSceneInfo(*mFile, mManager); }
void KZeqReaderZeq::WriteSceneInfo(KZeqSceneInfo* info) { ZeqWriteSceneInfo(*mFile, info); }

}  // namespace zeqsdk_400
