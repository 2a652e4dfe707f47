#include "plugin/export/zeqtuloexport.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/kgemath.h"
#include "fileio/kpath.h"
#include "fcurve/kfcurvefiltermatrixconverter.h"
#include "io/kzeqexporter.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;

ZeqTuloExport::ZeqTuloExport()
    : mSdkManager(ZeqTuloSdkManager::eExport),
      mBindPoseConflicts(20),
      mFallbackPromptedNodes(20),
      mTargetShapeNodes(16) {
    mScene = mSdkManager.CreateKZeqScene();
    mRootNode = mScene ? static_cast<ZeqTuloNode*>(mScene->GetRootNode()) : nullptr;
}

ZeqTuloExport::~ZeqTuloExport() = default;

TStatus ZeqTuloExport::Export(const char* fileName) {
    if (!fileName) fileName = "";
    bool ok = mScene && mRootNode;
    for (int i = 0; ok && i < smStepCount; ++i) {
        const Step& step = smSteps[i];
        if (step.mSection) ZeqTuloProgressMeter::Section(step.mSection);
        if (!(this->*step.mRun)(fileName) && step.mEndsRunOnFailure) ok = false;
    }
    if (!ok && mLog) *mLog += "File Export Failed.";
    // Clean-up on every path: the selection goes, the log is written by its destruction.
    mSelection.reset();
    mLog.reset();
    return ok ? TStatus::kSuccess : TStatus::kFailure;
}

TStatus ZeqTuloExport::WriteZeqFile(const char* fileName) {
    KZeqExporter* exporter = mSdkManager.CreateKZeqExporter();
    if (!exporter || !mScene) return TStatus::kFailure;
    exporter->Initialize(fileName);
    exporter->SetState(KZeqExporter::eEMBED_MEDIA, ZeqTuloUserParams::Instance()->GetBoolParam(7));
    exporter->SetFileFormat(KZeqExporter::eZEQ_BINARY);
    if (exporter->Export(*mScene, nullptr)) {
        // Written, with what the writer left undone (another user's data folder beside the file).
        KString notes;
        exporter->GetMessage(notes);
        while (!notes.IsEmpty() && notes[notes.GetLen() - 1] == '\n') notes = notes.Left(notes.GetLen() - 1);
        if (!notes.IsEmpty() && mLog) *mLog += notes.Buffer();
        return TStatus::kSuccess;
    }
    mWriteSystemError = exporter->GetError().GetLastSystemError();
    exporter->GetMessage(mWriteFailure);
    if (!mWriteFailure.IsEmpty() && mLog) *mLog += mWriteFailure.Buffer();
    // A write the system failed (a full disk) has no message of the writer's: its reason goes to the log.
    if (mWriteFailure.IsEmpty() && mWriteSystemError != 0 && mLog) {
        const KString path = MakeFullPath(KGetCurrentDirectory().Buffer(), fileName);
        *mLog += (std::string("Cannot write \"") + path.Buffer() + "\": " + std::strerror(mWriteSystemError)).c_str();
    }
    return TStatus::kFailure;
}

void ZeqTuloExport::SetCurrentTakeOnNode(ZeqTuloNode& node, const char* takeName) {
    if (!takeName) return;
    const char* current = node.GetCurrentTakeNodeName();
    if (current && std::strcmp(current, takeName) == 0) return;
    if (!node.SetCurrentTakeNode(takeName)) {
        node.CreateTakeNode(takeName);
        node.SetCurrentTakeNode(takeName);
    }
}

void ZeqTuloExport::DisablePivotUse(ZeqTuloNode* node) {
    // Parent before children, without recursion: chains may be deep.
    std::vector<KZeqNode*> pending;
    if (node) pending.push_back(node);
    while (!pending.empty()) {
        KZeqNode* current = pending.back();
        pending.pop_back();
        static_cast<ZeqTuloNode*>(current)->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
        for (int i = current->GetChildCount(false) - 1; i >= 0; --i) pending.push_back(current->GetChild(i));
    }
}

void ZeqTuloExport::ApplyMasterScale(double scale) {
    std::vector<KZeqNode*> roots, others;
    for (int i = 0; i < mRootNode->GetChildCount(false); ++i) {
        KZeqNode* child = mRootNode->GetChild(i);
        (IsZeqRootNode(child) ? roots : others).push_back(child);
    }
    if (!others.empty()) {
        ZeqTuloNode* zeqRoot = mSdkManager.CreateZeqTuloNode(GetZeqRootNodeName().Buffer(), nullptr);
        if (zeqRoot) {
            zeqRoot->SetDefaultS(KZeqVector4(scale, scale, scale, 1.0));
            for (KZeqNode* node : others) zeqRoot->AddChild(node);
            mRootNode->AddChild(zeqRoot);
        }
    }
    if (roots.empty()) return;
    KZeqXMatrix m(KZeqVector4(0, 0, 0, 1), KZeqVector4(0, 0, 0, 1), KZeqVector4(scale, scale, scale, 1));
    KFCurveFilterMatrixConverter converter;
    double rate = ZeqTuloUserParams::Instance()->GetResamplingRate(false);
    if (!std::isfinite(rate) || rate <= 0.0) {
        // A period from such a rate would never end the resampling.
        std::string line = "ZEQ Export Warning: The export sampling rate " + std::to_string(rate) +
                           " cannot be used; 30 is used instead.";
        if (mLog) *mLog += line.c_str();
        rate = 30.0;
    }
    KTime period;
    period.SetSecondDouble(1.0 / rate);
    converter.SetResamplingPeriod(period);
    converter.SetGenerateLastKeyExactlyAtEndTime(true);
    converter.SetApplyUnroll(false);
    converter.SetResampleTranslation(false);
    converter.SetApplyConstantKeyReducer(true);
    converter.SetSourceMatrix(KFCurveFilterMatrixConverter::eBeforeAll, m);
    for (KZeqNode* root : roots) {
        KZeqXMatrix g(root->GetGlobalMatrix(KZeqNode::eSOURCE_SET, false));
        KmAA(g.mData, m.mData, g.mData);
        bool identity = true;
        for (int row = 0; row < 4 && identity; ++row)
            for (int column = 0; column < 3 && identity; ++column)
                identity = std::fabs(g.mData[row][column] - (row == column ? 1.0 : 0.0)) <= 0.0001;
        if (identity) {
            // The root only undid the master scale: its children take its place.
            KZeqNode* parent = root->GetParent();
            if (parent) parent->RemoveChild(root);
            while (parent && root->GetChildCount(false) > 0)
                if (!parent->AddChild(root->GetChild(0))) break;
        } else if (KZeqTakeNode* take = root->GetCurrentTakeNode()) {
            if (take->GetKFCurveNode()) converter.Apply(*take->GetKFCurveNode(), true);
        }
    }
}
