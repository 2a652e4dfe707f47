// The steps of an export in the order they run, and their bodies. A step marked as ending the run
// fails the export when it answers false: "File Export Failed." is logged and nothing is written.
#include <cmath>
#include <string>

#include "plugin/export/zeqtuloexport.h"
#include "plugin/zeqtulocharacter.h"
#include "plugin/zeqtuloimageconverters.h"
#include "plugin/zeqtulouserparams.h"
#include "io/kzeqpivotreplacement.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakeinfo.h"
#include "tfnanimcurve.h"
#include "tglobal.h"

using namespace zeqsdk_400;

const ZeqTuloExport::Step ZeqTuloExport::smSteps[] = {
    {"selection", nullptr, &ZeqTuloExport::StepSelection, false},
    {"log", nullptr, &ZeqTuloExport::StepOpenLog, false},
    {"characters before saving", nullptr, &ZeqTuloExport::StepCharacterPreSave, false},
    {"joint display scale", nullptr, &ZeqTuloExport::StepJointDisplayScale, false},
    {"texture converters", nullptr, &ZeqTuloExport::StepImageConverters, false},
    {"geometry walk", "Exporting geometry...", &ZeqTuloExport::StepGeometry, true},
    {"hierarchy walk", "Exporting hierarchy...", &ZeqTuloExport::StepHierarchy, false},
    {"user properties", nullptr, &ZeqTuloExport::StepUserProperties, false},
    {"name clashes", nullptr, &ZeqTuloExport::StepResolveNames, false},
    {"namespace warnings", nullptr, &ZeqTuloExport::StepNamespaceWarnings, false},
    {"duplicate names", nullptr, &ZeqTuloExport::StepDuplicateNames, true},
    {"transforms", "Exporting animations...", &ZeqTuloExport::StepTransforms, true},
    {"global transforms", nullptr, &ZeqTuloExport::StepGlobalTransforms, false},
    {"master scale", nullptr, &ZeqTuloExport::StepMasterScale, false},
    {"rigid binding", "Exporting clusters...", &ZeqTuloExport::StepRigidBinding, false},
    {"pivots to nulls", nullptr, &ZeqTuloExport::StepPivotsToNulls, false},
    {"smooth binding", "Exporting skin clusters...", &ZeqTuloExport::StepSmoothBinding, false},
    {"shapes", "Exporting shapes...", &ZeqTuloExport::StepShapes, false},
    {"characters after saving", nullptr, &ZeqTuloExport::StepCharacterPostSave, false},
    {"target shapes removed", nullptr, &ZeqTuloExport::StepRemoveTargets, false},
    {"hard edges", nullptr, &ZeqTuloExport::StepHardEdges, false},
    {"take information", nullptr, &ZeqTuloExport::StepTakeInformation, false},
    {"current take", "Writing output file...", &ZeqTuloExport::StepCurrentTake, false},
    {"write", nullptr, &ZeqTuloExport::StepWrite, true},
};
const int ZeqTuloExport::smStepCount = static_cast<int>(sizeof(smSteps) / sizeof(smSteps[0]));

namespace {

const char kTakeName[] = "Take 001";

bool BoolParam(unsigned int index) { return ZeqTuloUserParams::Instance()->GetBoolParam(index); }

}  // namespace

bool ZeqTuloExport::StepSelection(const char*) {
    mSelection.reset();
    if (BoolParam(ZeqTuloUserParams::kExportSelectionOnly)) {
        mSelection.reset(new TSelectionList);
        TGlobal::getActiveSelectionList(*mSelection);
    }
    return true;
}

bool ZeqTuloExport::StepOpenLog(const char* fileName) {
    std::string title = std::string("File Export : ") + fileName;
    mLog.reset(new ZeqLogFile("zeqtulolog.txt", title.c_str(), true, true));
    return true;
}

bool ZeqTuloExport::StepCharacterPreSave(const char*) {
    ZEQCharacterPreSave(mScene);
    return true;
}

bool ZeqTuloExport::StepJointDisplayScale(const char*) {
    double scale = 1.0;
    if (TGlobal::executeCommand("jointDisplayScale -q -a", scale, false, false)) {
        if (!(scale >= 1e-7)) scale = 1e-7;  // a NaN answer is raised too
    } else {
        scale = 1.0;
    }
    mJointDisplayScale = scale * 100.0;
    return true;
}

bool ZeqTuloExport::StepImageConverters(const char*) {
    ZeqTuloRegisterImageConverters(&mSdkManager);
    return true;
}

bool ZeqTuloExport::StepGeometry(const char*) {
    mWrapWarningShown = false;
    // Without the walk the scene would be empty: writing it would pass off nothing as the scene.
    return BuildGeometry(TItDag::kDepthFirst, TFn::kInvalid);
}

bool ZeqTuloExport::StepHierarchy(const char*) {
    BuildHierarchy(TItDag::kDepthFirst, TFn::kInvalid);
    return true;
}

bool ZeqTuloExport::StepUserProperties(const char*) {
    AddUserProperties(mRootNode);
    return true;
}

bool ZeqTuloExport::StepResolveNames(const char*) {
    mSdkManager.ResolveNameClashing();
    return true;
}

bool ZeqTuloExport::StepNamespaceWarnings(const char*) {
    WarnForNamespacesInMaterialsAndTextures(mLog.get(), mSdkManager);
    WarnForNamespacesInFirstChildren(mLog.get(), mSdkManager, mRootNode);
    return true;
}

bool ZeqTuloExport::StepDuplicateNames(const char*) { return CheckDuplicateName(mRootNode); }

bool ZeqTuloExport::StepTransforms(const char*) { return ExportTransform(*mRootNode); }

bool ZeqTuloExport::StepGlobalTransforms(const char*) {
    ExtractGlobalTransforms(mRootNode);
    return true;
}

bool ZeqTuloExport::StepMasterScale(const char*) {
    const double scale = ZeqTuloUserParams::Instance()->GetDoubleParam(4);
    if (scale == 1.0) return true;
    // A scale that is no number, infinite or not positive would wreck the scene: leave it unscaled.
    if (!std::isfinite(scale) || scale <= 0.0) {
        std::string line = "ZEQ Export Warning: The master scale " + std::to_string(scale) +
                           " cannot be applied; the scene is exported unscaled.";
        if (mLog) *mLog += line.c_str();
        return true;
    }
    ApplyMasterScale(scale);
    return true;
}

bool ZeqTuloExport::StepRigidBinding(const char*) {
    ExportRigidBinding(mRootNode);
    return true;
}

bool ZeqTuloExport::StepPivotsToNulls(const char*) {
    if (BoolParam(15)) ReplacePivotExport(mRootNode, KZeqNode::eSOURCE_SET, mSdkManager);
    return true;
}

bool ZeqTuloExport::StepSmoothBinding(const char*) {
    ExportSmoothBinding();
    return true;
}

bool ZeqTuloExport::StepShapes(const char*) {
    ExportShape(mRootNode);
    return true;
}

bool ZeqTuloExport::StepCharacterPostSave(const char*) {
    ZEQCharacterPostSave(mScene);
    return true;
}

bool ZeqTuloExport::StepRemoveTargets(const char*) {
    RemoveTargetShapeGeometry();
    return true;
}

bool ZeqTuloExport::StepHardEdges(const char*) {
    if (BoolParam(ZeqTuloUserParams::kExportHardEdges)) SplitMeshOnNormalPerPolyVertex(mRootNode);
    return true;
}

bool ZeqTuloExport::StepTakeInformation(const char*) {
    KArrayTemplate<KString*> names;
    mScene->FillTakeNameArray(names);
    KTime start, stop;
    start.SetSecondDouble(TAnimControl::minTime().as(TTime::kSeconds));
    stop.SetSecondDouble(TAnimControl::maxTime().as(TTime::kSeconds));
    KZeqTakeInfo info;
    for (int i = 0; i < names.GetCount(); ++i) {
        info.mName = *names[i];
        info.mLocalTimeSpan.Set(start, stop);
        info.mReferenceTimeSpan.Set(start, stop);
        mScene->SetTakeInfo(info);
    }
    for (int i = 0; i < names.GetCount(); ++i) delete names[i];
    return true;
}

bool ZeqTuloExport::StepCurrentTake(const char*) {
    mScene->SetCurrentTake(kTakeName);
    return true;
}

bool ZeqTuloExport::StepWrite(const char* fileName) { return WriteZeqFile(fileName); }
