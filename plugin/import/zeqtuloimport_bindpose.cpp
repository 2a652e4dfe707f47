// Bind poses: the host transforms of the imported nodes are put into their bind pose while the
// skin clusters are built, then set back.
#include <cstring>
#include <string>
#include <unordered_map>

#include "base/kgemath.h"
#include "io/kzeqpluginrenamingstrategy.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulohelpers.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"

using namespace zeqsdk_400;

namespace {

bool Contains(const char* text, const char* part) { return text && std::strstr(text, part) != nullptr; }

// The name without its type prefix, as its own string (NoPrefixName shares one buffer).
std::string WithoutPrefix(const char* name) {
    const char* text = KZeqPluginRenamingStrategy::NoPrefixName(name);
    return text ? text : "";
}

// A node's initial name without its namespace prefix ("Model::").
std::string InitialNameWithoutPrefix(KZeqNode* node) {
    std::string name = node->GetInitialName() ? node->GetInitialName() : "";
    const KString prefix = node->GetNameSpacePrefix();
    if (prefix.GetLen() > 0 && name.compare(0, prefix.GetLen(), prefix.Buffer()) == 0) name.erase(0, prefix.GetLen());
    return name;
}

void ReadHostTransform(ZeqTuloNode* node, KZeqMatrix& matrix) {
    TStatus status;
    TFnTransform transform(*node->GetDagPath(), &status);
    DebugCheckStatus(status, nullptr);
    if (status) ZeqTuloUtility::GetTFnTransformNode(transform, matrix);
}

void WriteHostTransform(ZeqTuloNode* node, KZeqMatrix& matrix) {
    const TDagPath* path = node->GetDagPath();
    if (!path) return;
    TStatus status;
    TFnTransform transform(*path, &status);
    DebugCheckStatus(status, nullptr);
    if (status) ZeqTuloUtility::SetTFnTransformNode(transform, matrix);
}

}  // namespace

void ZeqTuloImport::FreeBindPoseLists() {
    for (int i = 0; i < mBindPoseLists.GetCount(); ++i) {
        KArrayTemplate<TempPoseData*>* list = mBindPoseLists[i];
        for (int r = 0; r < list->GetCount(); ++r) delete (*list)[r];
        delete list;
    }
    mBindPoseLists.Clear();
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepApplyBindPoses() {
    FreeBindPoseLists();
    ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    const bool nullsToPivot = params->GetBoolParam(KZeqUserParams::kImportNullsToPivot);

    KArrayTemplate<KZeqPose*> bindPoses;
    for (int i = 0; i < mScene->GetPoseCount(); ++i)
        if (KZeqPose* pose = mScene->GetPose(i); pose && pose->IsBindPose()) bindPoses.Add(pose);

    if (bindPoses.GetCount() == 0) {
        int links = 0;
        CountNbZeqLinks(mRootNode, links);
        if (links > 0 && params->GetImportType() != KZeqUserParams::kExclusiveMerge) {
            const char* first = "This .zeq file does not contain a BindPose section. ";
            const char* second = "Executing the command 'Go to Bind Pose' may not give the expected results.";
            LogLine(first);
            LogLine(second);
            ShowDialog("ZEQ import Warning", (std::string(first) + "\\n" + second).c_str());
        }
        return eStepNext;
    }
    for (int i = 0; i < bindPoses.GetCount(); ++i) mBindPoseLists.Add(new KArrayTemplate<TempPoseData*>(16));

    // Old files kept a node's bind matrix on its "__Post_" node: every bind pose takes that one.
    if (nullsToPivot && mIsOldVersion) {
        for (int p = 0; p < bindPoses.GetCount(); ++p) {
            KZeqPose* pose = bindPoses[p];
            struct Record {
                std::string mName;
                KZeqMatrix mMatrix;
            };
            std::vector<Record> records;
            for (int e = 0; e < pose->GetCount(); ++e) {
                const char* name = pose->GetNodeName(e);
                if (Contains(name, "__Pre_") || Contains(name, "__Post_")) continue;
                const int post = pose->Find((std::string(name) + "__Post_").c_str());
                records.push_back({name, post >= 0 ? pose->GetMatrix(post) : pose->GetMatrix(e)});
            }
            for (Record& record : records) {
                KArrayTemplate<KZeqPose*> holders;
                KArrayTemplate<int> indices;
                if (!KZeqPose::GetBindPoseContaining(mSdkManager, record.mName.c_str(), holders, indices)) continue;
                for (int h = 0; h < holders.GetCount(); ++h) holders[h]->Remove(indices[h]);
                for (int h = 0; h < holders.GetCount(); ++h) holders[h]->Add(record.mName.c_str(), record.mMatrix, false);
            }
        }
    }

    // The nodes by initial name without namespace prefix, first in the set's sorted order.
    std::unordered_map<std::string, ZeqTuloNode*> byName;
    byName.reserve(static_cast<std::size_t>(mQuorbelNodeArray.GetCount()));
    for (int i = 0; i < mQuorbelNodeArray.GetCount(); ++i) {
        ZeqTuloNode* node = reinterpret_cast<ZeqTuloNode*>(mQuorbelNodeArray[i]);
        if (node) byName.emplace(InitialNameWithoutPrefix(node), node);
    }

    for (int p = 0; p < bindPoses.GetCount(); ++p) {
        KZeqPose* pose = bindPoses[p];
        KArrayTemplate<TempPoseData*>& list = *mBindPoseLists[p];
        for (int e = 0; e < pose->GetCount(); ++e)
            if (Contains(WithoutPrefix(pose->GetNodeName(e)).c_str(), "RootNode")) {
                pose->Remove(e);
                break;
            }
        for (int e = 0; e < pose->GetCount(); ++e) {
            const std::string name = WithoutPrefix(pose->GetNodeName(e));
            if (nullsToPivot && mIsOldVersion && (Contains(name.c_str(), "__Pre_") || Contains(name.c_str(), "__Post_")))
                continue;
            auto found = byName.find(name);
            ZeqTuloNode* node = found == byName.end() ? nullptr : found->second;
            if (!node || !node->GetDagPath()) continue;
            TempPoseData* record = new TempPoseData;
            record->mNode = node;
            record->mBindMatrix = pose->GetMatrix(e);
            ReadHostTransform(node, record->mSavedMatrix);
            list.Add(record);
        }
        KArrayTemplate<TempPoseData*> dropped;
        ReOrder(list, mRootNode, &dropped);
        for (int d = 0; d < dropped.GetCount(); ++d) delete dropped[d];

        // Records of parents come first: a parent's bind matrix is found by name among the earlier ones.
        std::unordered_map<std::string, int> recordByInitialName;
        for (int r = 0; r < list.GetCount(); ++r) {
            TempPoseData* record = list[r];
            KZeqNode* parent = record->mNode->GetParent();
            const std::string parentName = parent && parent->GetInitialName() ? parent->GetInitialName() : "";
            KZeqMatrix parentMatrix;
            auto earlier = recordByInitialName.find(parentName);
            if (earlier != recordByInitialName.end()) {
                parentMatrix = list[earlier->second]->mBindMatrix;
            } else if (parent && !Contains(parentName.c_str(), "RootNode")) {
                // A parent the import neither made nor matched stands at the identity.
                ZeqTuloNode* hostParent = static_cast<ZeqTuloNode*>(parent);
                if (hostParent->GetDagPath()) ReadHostTransform(hostParent, parentMatrix);
            }
            recordByInitialName[record->mNode->GetInitialName() ? record->mNode->GetInitialName() : ""] = r;
            if (record->mNode->mIsPresent) continue;
            KZeqMatrix inverse, local;
            KmAi(inverse, parentMatrix);
            KmAA(local, inverse, record->mBindMatrix);  // the bind matrix first, then the parent's inverse
            ZeqTuloUtility::RemovePreAndPostFromRotation(record->mNode, local);
            WriteHostTransform(record->mNode, local);
        }
    }
    return eStepNext;
}

ZeqTuloImport::EStepResult ZeqTuloImport::StepRestoreBindPoses() {
    for (int p = mBindPoseLists.GetCount() - 1; p >= 0; --p) {
        KArrayTemplate<TempPoseData*>& list = *mBindPoseLists[p];
        for (int r = 0; r < list.GetCount(); ++r)
            if (!list[r]->mNode->mIsPresent) WriteHostTransform(list[r]->mNode, list[r]->mSavedMatrix);
    }
    FreeBindPoseLists();
    return eStepNext;
}
