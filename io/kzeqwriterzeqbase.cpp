#include "io/kzeqwriterzeqbase.h"

#include <vector>

#include "fileio/kpath.h"
#include "fileio/kzeq.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqfields.h"
#include "io/kzeqscenerecords.h"
#include "io/kzeqwriterzeq_steps.h"
#include "object/izeqobject.h"
#include "object/kprogress.h"
#include "object/kproperty.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {

KZeqWriterZeqBase::KZeqWriterZeqBase(KZeqSdkManager& manager, KZeqExporter& exporter, const ZeqWriterLayout& layout)
    : KZeqWriter(manager), mLayout(layout), mExporter(exporter) {}

KZeqWriterZeqBase::~KZeqWriterZeqBase() {
    if (mOwnedFile) FileClose();
}

bool KZeqWriterZeqBase::FileCreate(const char* fileName) {
    if (!mOwnedFile) mOwnedFile.reset(KZeqObjectCreate());
    mFile = mOwnedFile.get();
    if (mFile->IsOpen()) mFile->ProjectClose();
    mRefused = false;
    mFile->SetIsBeforeVersion6(mLayout.mBeforeVersion6);
    if (!fileName || !*fileName) {
        mError.SetLastErrorID(eFileNotCreated);
        return false;
    }
    KZeqFileHeaderInfo header;
    header.mFileVersion = mLayout.mFileVersion;
    const KString path = KAbsolutePath(fileName);
    if (mFile->ProjectCreate(path.Buffer(), mExportMode != eASCII, mExportMode == eENCRYPTED, &header)) return true;
    const int fileError = mFile->GetLastErrorID();
    const int error = fileError == KZeq::eFileCorrupted    ? eFileCorrupted
                      : fileError == KZeq::eFileNotCreated ? eFileNotCreated
                                                           : eUnidentifiedError;
    mError.CopyLastError(error, mFile->GetError());
    return false;
}

bool KZeqWriterZeqBase::FileClose() {
    if (!mOwnedFile) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    // A scene or options refused by Write leave nothing: the file it was to replace stays.
    if (mRefused) {
        mRefused = false;
        mOwnedFile->ProjectDiscard();
        mOwnedFile.reset();
        mFile = nullptr;
        return false;
    }
    const bool closed = mOwnedFile->ProjectClose();
    if (!closed) {
        // A complete file that could not take its name is no full disk; a write that failed
        // at the end is (with the system's reason either way).
        const int fileError = mOwnedFile->GetLastErrorID();
        if (fileError == KZeq::eFileNotOpened)
            mError.SetLastErrorID(eFileNotOpened);
        else
            mError.CopyLastError(fileError == KZeq::eFileNotCreated  ? eFileNotCreated
                                 : fileError == KZeq::eFileWriteError ? eOutOfDiskSpace
                                                                      : eUnidentifiedError,
                                 mOwnedFile->GetError());
        // What failed when the complete file could not take its name (its access control
        // list could not be given ...): the error holds the system's reason alone.
        const char* refusal = mOwnedFile->GetLastRefusal();
        if (fileError == KZeq::eFileNotCreated && *refusal) mMessage += KString(refusal) + ".\n";
    } else if (*mOwnedFile->GetLastNotice()) {
        // Written, with what was left undone (another user's data folder beside it).
        mMessage += KString(mOwnedFile->GetLastNotice()) + ".\n";
    }
    mOwnedFile.reset();
    mFile = nullptr;
    return closed;
}

// An object whose creation failed holds no file.
bool KZeqWriterZeqBase::IsFileOpen() { return mOwnedFile && mOwnedFile->IsOpen(); }

KStreamOptions* KZeqWriterZeqBase::GetWriteOptions() { return GetWriteOptions(nullptr); }

KStreamOptions* KZeqWriterZeqBase::GetWriteOptions(IZeqObject*) { return KStreamOptionsZeqCreate(); }

bool KZeqWriterZeqBase::Write(KZeqScene& scene, KStreamOptions* options) { return Write(scene, options, nullptr); }

bool KZeqWriterZeqBase::Write(KZeqScene& scene, KStreamOptions* options, IZeqObject* object) {
    mRefused = false;
    if (RefuseSceneWithoutRoot(scene)) {
        mRefused = !object;
        return false;
    }
    KProgress& progress = *KGetGlobalProgress();
    progress.ProgressBegin();
    KStreamOptionsZeq local;
    mMediaCount = 0;
    bool blocked = false;
    if (!options || !(options->Is(KStreamOptionsZeq::ClassId) || options->Is(KStreamOptionsMotion::ClassId))) {
        mError.SetLastErrorID(eStreamOptionsNotSet);
        blocked = true;
        mRefused = !object;
    } else if (options->Is(KStreamOptionsMotion::ClassId)) {
        // Motion options ask for the animated models alone.
        for (int option = 0; option < KStreamOptionsZeq::eOptionCount; ++option) local.SetOption(option, false);
        local.SetOption(KStreamOptionsZeq::eANIMATION, true);
        mOptions = &local;
    } else {
        mOptions = static_cast<KStreamOptionsZeq*>(options);
    }
    IZeqObject* own = mFile;
    if (!blocked) {
        if (object) {
            mFile = object;
        } else if (!IsFileOpen()) {
            mError.SetLastErrorID(eFileNotCreated);
            blocked = true;
        }
    }
    int sections = 1;
    if (!blocked)
        for (int i = 0; i < mOptions->GetTakeInfoCount(); ++i) sections += mOptions->GetTakeInfo(i)->mSelect ? 1 : 0;
    progress.DivideSection(sections);
    if (mLayout.mBeforeSteps) mLayout.mBeforeSteps(*this, scene);

    bool written = !blocked && WriteSections(scene);
    if (!blocked) {
        if (object) {
            mFile = own;
        } else {
            mFile->ProjectCloseSection();
            WriteExtensionSection(scene, mMediaCount);
            // An error now would make the close discard the file.
            if (written && mFile->GetLastErrorID() >= 0) {
                mError.SetLastErrorID(eOutOfDiskSpace);
                mError.SetLastSystemError(mFile->GetError().GetLastSystemError());
                written = false;
            }
        }
    }
    if (mLayout.mAfterSteps) mLayout.mAfterSteps(*this, scene);
    mOptions = nullptr;
    progress.CloseSection();
    progress.ProgressDone();
    return written;
}

bool KZeqWriterZeqBase::WriteSections(KZeqScene& scene) {
    bool ok = true;
    for (int i = 0; i < mLayout.mStepCount; ++i) {
        const ZeqWriteStep& step = mLayout.mSteps[i];
        const bool always = (step.mFlags & eZeqRunsAlways) != 0;
        if (!ok && !always) continue;
        if (step.mOption >= 0 && !mOptions->GetOption(step.mOption)) continue;
        if (step.mWrite) step.mWrite(*this, scene);
        if (step.mFlags & eZeqAdvancesProgress) KGetGlobalProgress()->UpdateSection();
        if (ok && !always && mFile->GetLastErrorID() >= 0) {
            mError.SetLastErrorID(eOutOfDiskSpace);
            mError.SetLastSystemError(mFile->GetError().GetLastSystemError());
            ok = false;
        }
    }
    return ok;
}

void KZeqWriterZeqBase::WritePassword() {
    // A nested scene has no section of its own to protect.
    if (IsNested() || !mOptions) return;
    if (mOptions->GetPasswordProtection() && !mOptions->GetPassword().IsEmpty())
        mFile->ProjectSetPassword(mOptions->GetPassword().Buffer());
}

bool KZeqWriterZeqBase::WriteExtensionSection(KZeqScene& scene, int mediaCount) {
    KZeq& file = *mFile;
    if (!file.ProjectCreateExtensionSection(false)) return false;
    ZeqSummary summary;
    mOptions->SetTemplate(false);
    if (KZeqEntity* entity = scene.GetEntity()) {
        for (int i = 0; i < entity->GetNodeCount(); ++i) {
            const KString name(entity->GetNode(i)->GetName());
            const int colon = name.ReverseFind(':');
            if ((colon < 0 ? name : name.Mid(static_cast<unsigned>(colon) + 1)) == "~zeqexport~") {
                mOptions->SetTemplate(true);
                break;
            }
        }
    }
    summary.mTemplate = mOptions->GetTemplate();
    summary.mPasswordProtection = mOptions->GetPasswordProtection() && !mOptions->GetPassword().IsEmpty();
    summary.mCounts[0] = scene.GetRootNode() ? scene.GetRootNode()->GetChildCount(true) : 0;
    summary.mCounts[2] = scene.GetCharacterCount();
    // "Constraints" lists the actors too.
    summary.mCounts[4] = scene.GetCharacterCount() + scene.GetActorCount();
    summary.mCounts[5] = mediaCount;
    summary.mSceneInfo = scene.GetSceneInfo();
    summary.mCurrentTake = scene.GetCurrentTakeName();
    KArrayTemplate<KString*> names;
    scene.FillTakeNameArray(names);
    for (int i = 0; i < names.GetCount(); ++i) {
        if (*names[i] == "Default") continue;
        const KZeqTakeInfo* info = scene.GetTakeInfoConst(*names[i]);
        if (info && info->mSelect) summary.mTakes.push_back(info);
    }
    ZeqWriteSummary(file, summary);
    for (int i = 0; i < names.GetCount(); ++i) delete names[i];
    file.ProjectCloseSection();
    return true;
}

void KZeqWriterZeqBase::WriteSceneGenericPersistenceSection(KZeqScene& scene) {
    const bool characters = mOptions->GetOption(KStreamOptionsZeq::eCHARACTER);
    if (scene.GetPoseCount() == 0 && !scene.GetSceneInfo() && !(characters && scene.GetCharacterPoseCount() > 0))
        return;
    ZeqWriteBlockBegin(*mFile, "SceneGenericPersistence");
    if (characters && mLayout.mCharacterPoses) mLayout.mCharacterPoses(*this, scene);
    if (mLayout.mPoses) mLayout.mPoses(*this, scene);
    ZeqWriteSceneInfo(*mFile, scene.GetSceneInfo());
    ZeqWriteBlockEnd(*mFile);
}

bool KZeqWriterZeqBase::WriteThumbnail(KZeqThumbnail* thumbnail) { return ZeqWriteThumbnail(*mFile, thumbnail); }

void KZeqWriterZeqBase::WriteSceneInfo(KZeqSceneInfo* info) { ZeqWriteSceneInfo(*mFile, info); }

bool ZeqWritePropertyBlock(IZeqObject& file, KZeqTakeNodeContainer& object) {
    KArrayTemplate<KProperty*> properties;
    object.FillPropertyList(&properties);
    std::vector<KZeqPropertyValues> replaced;
    object.UpdatePropertiesFromDefaultTake(properties, &replaced);
    const bool written = file.FieldWritePropertiesList(properties);
    for (auto was = replaced.rbegin(); was != replaced.rend(); ++was)
        was->mProperty->SetDataFromDoubles(was->mValues, was->mCount);
    return written;
}

bool ZeqWritePassword(KZeqWriterZeqBase& writer, KZeqScene&) {
    writer.WritePassword();
    return true;
}

bool ZeqWriteSceneGenericPersistence(KZeqWriterZeqBase& writer, KZeqScene& scene) {
    writer.WriteSceneGenericPersistenceSection(scene);
    return true;
}

}  // namespace zeqsdk_400
