// The scene read driver: the layout decision, the password check, the
// clearing of the scene and the section steps in their fixed order.

#include <cstring>

#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
#include "io/kzeqscenerollback.h"
#include "object/izeqobject.h"
#include "object/kprogress.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodeproperties.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {

void KZeqReaderZeq::SetIsBeforeVersion6WithMainSection(bool openMainSection) {
    if (!mFile) return;
    int major = 0, minor = 0, revision = 0;
    GetVersion(major, minor, revision);
    if (major == 5 && minor == 8 && revision == 0) {
        // 5.8.0 files come in both layouts; only version-6 ones have "Definitions".
        if (openMainSection && !mFile->ProjectOpenMainSection()) return;
        mFile->SetIsBeforeVersion6(mFile->FieldGetInstanceCount("Definitions") == 0);
        if (openMainSection) mFile->ProjectCloseSection();
        return;
    }
    mFile->SetIsBeforeVersion6(major <= 4 || (major == 5 && minor <= 7));
}

bool KZeqReaderZeq::Read(KZeqScene& scene, KStreamOptions* options) { return Read(scene, options, nullptr); }

bool KZeqReaderZeq::Read(KZeqScene& scene, KStreamOptions* options, IZeqObject* object) {
    mOptions = nullptr;
    KProgress& progress = *KGetGlobalProgress();
    progress.ProgressBegin();
    bool failed = false;
    mMessage.Empty();
    if (!mWriteBackRefusal.IsEmpty()) AddMessageLine(mWriteBackRefusal);
    mWriteBackRefusal.Empty();
    if (!options || !options->Is(KStreamOptionsZeq::ClassId)) {
        mError.SetLastErrorID(eStreamOptionsNotSet);
        failed = true;
    }
    IZeqObject* own = mFile;
    bool nested = false;
    if (!failed) {
        mOptions = static_cast<KStreamOptionsZeq*>(options);
        if (object) {
            mFile = object;
            object->ObjectNameSetPush();
            nested = true;
        } else if (!IsFileOpen()) {
            mError.SetLastErrorID(eFileNotOpened);
            failed = true;
        } else {
            // Names registered by an earlier read would shadow this read's objects.
            mFile->ObjectNameSetPush();
        }
    }
    const bool pushed = !failed;
    int sections = 1;
    if (!failed)
        for (int i = 0; i < mOptions->GetTakeInfoCount(); ++i) sections += mOptions->GetTakeInfo(i)->mSelect ? 1 : 0;
    progress.DivideSection(sections);

    if (!failed) {
        const bool opened = mFile->ProjectGetCurrentSectionIndex() == -1;
        if (opened && !mFile->ProjectOpenMainSection()) {
            mError.SetLastError(eFileCorrupted, mFile->GetLastErrorString());
            failed = true;
        } else if (!opened && !nested) {
            mFile->FieldReadResetPosition();
        }
        // The password first: the layout decision of a 5.8.0 file looks into
        // the section, which stays unreadable until the password is given.
        if (!failed && !nested && !ReadPassword(mOptions->GetPassword().Buffer())) {
            mError.SetLastErrorID(eWrongPassword);
            failed = true;
        }
        if (!failed && opened) SetIsBeforeVersion6WithMainSection(false);
    }

    scene.Clear();
    for (KCharPtrSet* set : {&mNodeNames, &mTargets, &mUpNodes, &mCameraBackgrounds}) set->Clear();
    mNodesRead.clear();
    mTexturesRead.clear();
    mSceneRootName = "Model::Scene";
    mCycleParents.clear();
    mUndefinedParents.clear();
    mDamagedTakeFile = false;
    KZeqSceneRollback rollback(mManager, &scene);
    bool result = !failed && ReadSections(scene);
    mNodesRead.clear();
    mTexturesRead.clear();
    mNodeIndex.clear();
    mCycleParents.clear();
    mUndefinedParents.clear();
    // Damage met on the way (text that is no number where one belongs, a
    // chunk that fails its checksum) fails the whole read: what was read
    // around it is not delivered.
    const bool damaged = !failed && (mFile->GetLastErrorID() == KZeq::eFileCorrupted || mDamagedTakeFile);
    if (damaged) {
        if (!mDamagedTakeFile) mError.SetLastError(eFileCorrupted, mFile->GetLastErrorString());
        result = false;
    }

    if (pushed) mFile->ObjectNameSetPop();
    if (nested) mFile = own;
    if (damaged) {
        scene.Clear();
        // Materials and textures live in the manager, not in the scene.
        rollback.Undo();
    }
    mObjectTypes.clear();
    mOptions = nullptr;
    progress.CloseSection();
    progress.ProgressDone();
    return result;
}

bool KZeqReaderZeq::ReadSections(KZeqScene& scene) {
    const bool before6 = mFile->IsBeforeVersion6();
    bool ok = true;
    for (int i = 0; i < kZeqReadStepCount; ++i) {
        const ZeqReadStep& step = kZeqReadSteps[i];
        if (step.mLayout == (before6 ? eZeqVersion6Layout : eZeqBeforeVersion6Layout)) continue;
        if (!ok && !(step.mFlags & eZeqRunsAfterFailure)) continue;
        if (step.mOption >= 0 && !mOptions->GetOption(step.mOption)) continue;
        if ((step.mFlags & eZeqNeedsTakes) && mOptions->GetTakeInfoCount() == 0) continue;
        const bool read = step.mRead ? step.mRead(*this, scene) : true;
        if (!read && (step.mFlags & eZeqEndsReadOnFailure)) ok = false;
    }
    return ok;
}

bool ZeqReadRewindMainSection(KZeqReaderZeq& reader, KZeqScene&) {
    reader.GetZeqObject()->FieldReadResetPosition();
    return true;
}

bool ZeqReadRegisterSceneRoot(KZeqReaderZeq& reader, KZeqScene& scene) {
    reader.RegisterSceneRoot(scene);
    return true;
}

bool ZeqReadVersion5Block(KZeqReaderZeq& reader, KZeqScene& scene) {
    KZeq& file = *reader.GetZeqObject();
    if (!file.FieldReadBegin("Version5")) return true;
    if (file.FieldReadBlockBegin()) {
        if (kZeqReaderHooks.mGlobalLightSettings) kZeqReaderHooks.mGlobalLightSettings(reader, scene);
        if (kZeqReaderHooks.mGlobalTimeSettings) kZeqReaderHooks.mGlobalTimeSettings(reader, scene);
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
    return true;
}

bool ZeqReadTopLevelGlobalSettings(KZeqReaderZeq& reader, KZeqScene& scene) {
    if (kZeqReaderHooks.mGlobalLightSettings) kZeqReaderHooks.mGlobalLightSettings(reader, scene);
    if (kZeqReaderHooks.mGlobalCameraAndTimeSettings) kZeqReaderHooks.mGlobalCameraAndTimeSettings(reader, scene);
    return true;
}

bool ZeqReadSceneGenericPersistence(KZeqReaderZeq& reader, KZeqScene& scene) {
    reader.ReadSceneGenericPersistenceSection(scene);
    return true;
}

}  // namespace zeqsdk_400
