// The import pass: reads the open file into a scene and builds the host objects, one step after
// the other in the order of kImportSteps. A step answers eStepFail only for a failed read; the
// pass then returns failure with the host scene as it was.
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>

#include "io/kzeqimporter.h"
#include "io/kzeqpivotreplacement.h"
#include "io/zeqlogfile.h"
#include "plugin/import/zeqtulomergenodematcher.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulocharacter.h"
#include "plugin/zeqtulocommand.h"
#include "plugin/zeqtulodialogs.h"
#include "plugin/zeqtuloimageconverters.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqscene.h"
#include "tfnanimcurve.h"
#include "tglobal.h"
#include "tunits.h"

using namespace zeqsdk_400;

namespace {

ZeqTuloUserParams* Params() { return ZeqTuloUserParams::Instance(); }
bool Param(unsigned int index) { return Params()->GetBoolParam(index); }
bool IsExclusiveMerge() { return Params()->GetImportType() == KZeqUserParams::kExclusiveMerge; }

}  // namespace

const ZeqTuloImport::ImportStep ZeqTuloImport::kImportSteps[] = {
    {"destroy a leftover scene", &ZeqTuloImport::StepDestroyScene},
    {"open the log", &ZeqTuloImport::StepOpenLog},
    {"register the image converters", &ZeqTuloImport::StepRegisterImageConverters},
    {"create the scene", &ZeqTuloImport::StepCreateScene},
    {"characters before the read", &ZeqTuloImport::StepCharacterPreLoad},
    {"read the file", &ZeqTuloImport::StepReadFile},
    // A new host scene only once the file has been read: a bad file leaves the open scene alone.
    {"new host scene", &ZeqTuloImport::StepNewHostScene},
    {"old-version test, locked-attribute policy", &ZeqTuloImport::StepOldVersionAndPolicy},
    {"preprocess", &ZeqTuloImport::StepPreprocess},
    {"current take", &ZeqTuloImport::StepCurrentTake},
    {"progress reset", &ZeqTuloImport::StepResetProgress},
    {"old-version pivots", &ZeqTuloImport::StepOldVersionPivots},
    {"names", &ZeqTuloImport::StepResolveNames},
    {"hard edges", &ZeqTuloImport::StepHardEdges},
    {"geometry section", &ZeqTuloImport::StepGeometrySection},
    {"node set", &ZeqTuloImport::StepFillNodeArray},
    {"match host nodes", &ZeqTuloImport::StepMatchHostNodes},
    // Once the nodes that come in are known: it says nothing of the others.
    {"bad scale check", &ZeqTuloImport::StepCheckBadScale},
    {"world correction", &ZeqTuloImport::StepPropagateWorldTransform},
    {"current time", &ZeqTuloImport::StepCurrentTime},
    {"pivots", &ZeqTuloImport::StepConvertPivots},
    {"deforming nulls as joints", &ZeqTuloImport::StepDeformNullsAsJoints},
    {"geometry", &ZeqTuloImport::StepGeometry},
    {"materials", &ZeqTuloImport::StepMaterials},
    {"animation", &ZeqTuloImport::StepAnimation},
    {"playback range", &ZeqTuloImport::StepPlaybackRange},
    {"apply bind poses", &ZeqTuloImport::StepApplyBindPoses},
    {"skin clusters", &ZeqTuloImport::StepSkinClusters},
    {"restore bind poses", &ZeqTuloImport::StepRestoreBindPoses},
    {"characters after the read", &ZeqTuloImport::StepCharacterPostLoad},
    {"blend-shape warning", &ZeqTuloImport::StepBlendShapeWarning},
    {"destroy the scene", &ZeqTuloImport::StepDestroyScene},
    {"write the log", &ZeqTuloImport::StepCloseLog},
    {"done", &ZeqTuloImport::StepDone},
};
const int ZeqTuloImport::kImportStepCount = static_cast<int>(std::size(kImportSteps));
static_assert(std::size(ZeqTuloImport::kImportSteps) == 34, "the import pass has 34 steps");

TStatus ZeqTuloImport::Import() {
    mPassStatus = TStatus::kSuccess;
    // Lines about the file's nodes wait until the merge has bound them (SayHeldNodeLines).
    mHeldLines.clear();
    mNodesBound = false;
    for (const ImportStep& step : kImportSteps)
        if ((this->*step.mRun)() == eStepFail) break;
    return mPassStatus;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepOpenLog() {
    KString title("File import: ");
    if (mImporter) title += mImporter->GetFileName();
    delete mLogFile;
    mLogFile = new ZeqLogFile("zeqtulolog.txt", title.Buffer(), true, true);
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepRegisterImageConverters() {
    ZeqTuloRegisterImageConverters(&mSdkManager);
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepCreateScene() {
    mScene = mSdkManager.CreateKZeqScene();
    mRootNode = mScene ? static_cast<ZeqTuloNode*>(mScene->GetRootNode()) : nullptr;
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepCharacterPreLoad() {
    ZEQCharacterPreLoad(mScene);
    return eStepNext;
}

// The most samples a take's span widens the bake of its layers and time warps to, so keys a
// channel: the host takes each key at a cost the SDK's curves do not, so that a take cycling over a
// day (millions of keys a channel) would import for minutes in gigabytes. At this bound (over two
// hours at 30 a second) the worst such file imports within seconds and a few hundred megabytes;
// past it the bake covers the keys alone, and the import says so.
constexpr kULongLong kHostBakeSamples = 250000;

ZeqTuloImport::EStepResult ZeqTuloImport::StepReadFile() {
    // The host plays plain curves: a take's layers and time warps come in baked into them. The
    // file's own options are read first (as the read would), so that this one holds.
    if (mImporter) {
        mImporter->GetTakeCount();
        mImporter->SetState(KZeqImporter::eMERGE_LAYER_AND_TIMEWARP, true);
        mImporter->SetMostBakeSamples(kHostBakeSamples);
    }
    const bool read = mImporter && mScene && mImporter->Import(*mScene, nullptr);
    // What the reader set aside or left out, before the error of a read that failed.
    ShowReaderMessage(read);
    if (read) return eStepNext;
    const char* error = mImporter ? ReadErrorText(*mImporter) : "No file is open";
    // The SDK's text of a file not opened names the path and the reason, which FileProblem adds.
    if (mImporter && mImporter->GetLastErrorID() == KZeqIO::eFileNotOpened && mImporter->GetError().GetLastSystemError())
        error = mImporter->GetError().GetErrorString(KZeqIO::eFileNotOpened);
    if (!error || !*error) error = "The file could not be read";
    // As the command says it: the file and the system's reason with the error.
    const std::string problem =
        mImporter ? ZeqTuloCommand::FileProblem(error, mImporter->GetFileName(),
                                                mImporter->GetError().GetLastSystemError())
                  : std::string(error);
    LogLine(problem.c_str());
    ShowDialog("ZEQ import Error", problem.c_str());
    ZEQCharacterPostLoad(mScene);
    StepDestroyScene();
    StepCloseLog();
    mPassStatus = TStatus::kFailure;
    return eStepFail;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepNewHostScene() {
    const KZeqUserParams::ELoadMode mode = Params()->GetImportType();
    if (mode != KZeqUserParams::kMerge && mode != KZeqUserParams::kExclusiveMerge) {
        TStringArray result;
        TGlobal::executeCommand("file -f -new", result, false, false);
    }
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepOldVersionAndPolicy() {
    mIsOldVersion = IsOldVersion(mRootNode, mImporter);
    mLockedAttributePolicy = 1;
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepPreprocess() {
    DropRootAsTarget();
    Preprocess(mRootNode);
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepCurrentTake() {
    mScene->SetCurrentTake(mTakeName.Buffer());
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepResetProgress() {
    ZeqTuloProgressMeter::Reset(Param(ZeqTuloUserParams::kImportShowUI), "ZEQIMPORTWINDOW");
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepOldVersionPivots() {
    if (!mIsOldVersion) return eStepNext;
    if (Param(KZeqUserParams::kImportNullsToPivot)) {
        ValidatePreAndPostJoints(mRootNode);
        ReplacePivotImport(mRootNode, KZeqNode::eSOURCE_SET, mSdkManager);
    } else {
        EnablePivotUse(mRootNode);
    }
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepResolveNames() {
    mSdkManager.ResolveNameClashing();
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepHardEdges() {
    if (Param(ZeqTuloUserParams::kImportHardEdges)) MergeMeshOnNormalPerPolyVertex(mRootNode);
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepGeometrySection() {
    if (!IsExclusiveMerge()) ZeqTuloProgressMeter::Section("Importing geometry...");
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepFillNodeArray() {
    FillQuorbelNodeArray(mRootNode);
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepMatchHostNodes() {
    ZeqTuloMergeNodeMatcher* matcher = mSdkManager.CreateZeqTuloMergeNodeMatcher();
    if (matcher) {
        matcher->mImport = this;
        matcher->Apply(mRootNode, TFn::kInvalid);
        mSdkManager.DestroyZeqTuloMergeNodeMatcher(matcher);
    }
    // What waited for the nodes that come in.
    SayHeldNodeLines();
    // The cameras' rigs as the bound host nodes leave them.
    SettleLookAtRigs();
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepCheckBadScale() {
    CheckBadScale(*mRootNode);
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepPropagateWorldTransform() {
    PropagateWorldTransformToChildrenOf(mRootNode);
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepCurrentTime() {
    mCurrentTime.SetSecondDouble(TAnimControl::currentTime().as(TTime::kSeconds));
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepConvertPivots() {
    if (mIsOldVersion) {
        if (Params()->GetImportType() == KZeqUserParams::kCreate)
            RemoveRotationPivot(mRootNode);
        else
            RemoveRotationPivotOnNotPresentNode(mRootNode);
        mRootNode->ConvertPivotAnimation(KZeqNode::eSOURCE_SET, Params()->GetResamplingRate(true), true);
    } else {
        SetTuloPivotsRecursive(mRootNode);
        mRootNode->ConvertPivotAnimationRecursive(KZeqNode::eDESTINATION_SET, Params()->GetResamplingRate(false),
                                                  true);
    }
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepDeformNullsAsJoints() {
    if (Param(ZeqTuloUserParams::kImportDeformNullsAsJoints)) ReplaceNullsUsedAsLinks(mRootNode, mSdkManager);
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepGeometry() {
    ImportGeometry();
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepMaterials() {
    if (!IsExclusiveMerge()) ZeqTuloProgressMeter::Section("Importing materials...");
    for (int i = 0; i < mRootNode->GetChildCount(); ++i)
        BuildMaterialInformation(static_cast<ZeqTuloNode*>(mRootNode->GetChild(i)));
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepAnimation() {
    ZeqTuloProgressMeter::Section("Importing animations...");
    mAttributeEditorChecked = false;
    for (int i = 0; i < mRootNode->GetChildCount(); ++i)
        ImportAnimation(*static_cast<ZeqTuloNode*>(mRootNode->GetChild(i)));
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepPlaybackRange() {
    KTime start(std::numeric_limits<std::int64_t>::max()), stop(std::numeric_limits<std::int64_t>::min());
    mRootNode->GetAnimationInterval(start, stop);
    // No keys, or all at one time: the take spans nothing, and the host's range stays as it was.
    if (!(start.Get() < stop.Get())) return eStepNext;
    const TTime min(start.GetSecondDouble(), TTime::kSeconds), max(stop.GetSecondDouble(), TTime::kSeconds);
    // Both bounds at once: one after the other, the host refuses a minimum above its maximum (or a
    // maximum below its minimum) when the take lies wholly after (or before) the old range.
    if (!TAnimControl::setMinMaxTime(min, max)) {
        const std::string line = "The host refused the playback range " + std::to_string(start.GetSecondDouble()) +
                                 " s to " + std::to_string(stop.GetSecondDouble()) + " s; it stays as it was.";
        LogLine(line.c_str());
        return eStepNext;
    }
    TAnimControl::setCurrentTime(min);
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepSkinClusters() {
    ZeqTuloProgressMeter::Section("Importing deformations...");
    for (int i = 0; i < mRootNode->GetChildCount(); ++i)
        BuildClusterInformation(static_cast<ZeqTuloNode*>(mRootNode->GetChild(i)));
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepCharacterPostLoad() {
    ZEQCharacterPostLoad(mScene);
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepBlendShapeWarning() {
    DisplayBlendShapeImportWarningDialog();
    mBlendShapeFailures.Clear();
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepDestroyScene() {
    if (mScene) mSdkManager.DestroyKZeqScene(mScene, true);
    mScene = nullptr;
    mRootNode = nullptr;
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepCloseLog() {
    delete mLogFile;
    mLogFile = nullptr;
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepDone() { return eStepNext; }
