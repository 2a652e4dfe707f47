// Skin clusters and their bind poses: one link per deformed geometry and influence with the
// influence's weights, the geometry's bind matrix and the influence's bind-pose matrix; one bind
// pose per skin cluster with the geometries, the influences and their ancestors, kept only when
// it holds entries and nothing contradicted it. A missing bind pose is asked about once per node.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/kzeqmatrix.h"
#include "content/kzeqgeometry.h"
#include "content/kzeqlink.h"
#include "content/kzeqnurb.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/export/zeqtuloexport_binding.h"
#include "plugin/export/zeqtuloexport_tables.h"
#include "plugin/export/zeqtuloexportnodeindex.h"
#include "plugin/zeqtulodialogs.h"
#include "plugin/zeqtulohelpers.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "tfncomponent.h"
#include "tfndeformer.h"
#include "tfnmesh.h"
#include "tfnnurbssurface.h"
#include "tglobal.h"
#include "titdependencygraph.h"

using namespace zeqsdk_400;

namespace {

const char kWarningTitle[] = "ZEQ Export Warning";
const char kQuestionTitle[] = "ZEQ Export Question";
const char kConflictText[] = "Unable to export bind poses because of conflicting data on these elements : ";
const char kNoBindPose[] = "Could not retrieve bind pose for object : ";
const char kUseCurrent[] =
    "\\n\\nUse the current transform instead?\\n\\n(If you answer No, no bind poses in the hierarchy containing the "
    "object will be exported)";
// Compared as the host's single-precision weights: a weight of 0.001 is left out.
const float kWeightThreshold = 0.001f;

bool BoolParam(unsigned int index) { return ZeqTuloUserParams::Instance()->GetBoolParam(index); }

// The node sets of the driver key 32-bit values: a pointer is folded into its key and its value
// tells it apart from another whose key is the same.
unsigned int KeyOf(const void* pointer) {
    const auto value = reinterpret_cast<std::uintptr_t>(pointer);
    return static_cast<unsigned int>(value ^ (static_cast<std::uint64_t>(value) >> 32));
}

bool Holds(const KSet& set, const void* pointer) {
    int index = -1;
    const unsigned int key = KeyOf(pointer);
    set.Get(key, &index);
    if (index < 0) return false;
    const auto value = reinterpret_cast<kReference>(pointer);
    for (int i = index; i >= 0; --i) {
        unsigned int k = 0;
        const kReference v = set.GetFromIndex(i, &k);
        if (k != key) break;
        if (v == value) return true;
    }
    for (int i = index + 1; i < set.GetCount(); ++i) {
        unsigned int k = 0;
        const kReference v = set.GetFromIndex(i, &k);
        if (k != key) break;
        if (v == value) return true;
    }
    return false;
}

void Insert(KSet& set, const void* pointer) {
    if (!Holds(set, pointer)) set.Add(KeyOf(pointer), reinterpret_cast<kReference>(pointer));
}

bool Contains(const KZeqNode* node, const char* text) { return node && std::strstr(node->GetName(), text); }

bool NamedAfter(const KZeqNode* node, const KZeqNode* base, const char* suffix) {
    if (!node || !base) return false;
    const std::size_t length = std::strlen(base->GetName());
    return std::strncmp(node->GetName(), base->GetName(), length) == 0 &&
           std::strcmp(node->GetName() + length, suffix) == 0;
}

// A x B with A applied first (row vectors).
KZeqXMatrix Then(const KZeqMatrix& a, const KZeqMatrix& b) { return KZeqXMatrix(b) * KZeqXMatrix(a); }

// The pure rotation a pivot node carries.
KZeqXMatrix PivotRotation(KZeqNode* pivot) {
    KZeqVector4 rotation;
    pivot->GetDefaultR(rotation);
    return KZeqXMatrix(KZeqVector4(0, 0, 0, 1), rotation, KZeqVector4(1, 1, 1, 1));
}

// matrix without the rotation of the node's "__Post_" first child, when it has one.
void WithoutPostRotation(KZeqNode* node, KZeqMatrix& matrix) {
    KZeqNode* first = node->GetChildCount(false) > 0 ? node->GetChild(0) : nullptr;
    if (Contains(first, "__Post_")) matrix = Then(PivotRotation(first).Inverse(), matrix);
}

// The skin cluster's bind matrix of its geometry; the identity unless the host gives 16 values.
KZeqMatrix GeometryMatrix(const TFnSkinCluster& skin) {
    KZeqMatrix matrix;
    TStatus status;
    const TPlug plug = skin.findPlug("geomMatrix", &status);
    DebugCheckStatus(status, nullptr);
    if (!status || plug.isNull()) return matrix;
    TString command("getAttr ");
    command += plug.info();
    TDoubleArray values;
    status = TGlobal::executeCommand(command, values, false, false);
    DebugCheckStatus(status, nullptr);
    if (status) ZeqMatrixFromReply(values, matrix);
    return matrix;
}

// The control points the skin weights are asked for: all vertices of a mesh, or the CVs of a
// NURBS surface in the order of the Zeq attribute's control points. Null when there are none.
TObject PointsOf(const TObject& shape, ZeqTuloNode* node) {
    TStatus status;
    if (shape.hasFn(kHostNurbsSurface)) {
        KZeqNodeAttribute* attribute = node->GetNodeAttribute();
        if (!attribute || attribute->GetAttributeType() != KZeqNodeAttribute::eNURB) return TObject();
        const KZeqNurb* nurb = static_cast<KZeqNurb*>(attribute);
        TFnNurbsSurface surface(shape, &status);
        DebugCheckStatus(status, nullptr);
        TFnDoubleIndexedComponent cvs;
        TObject component = cvs.create(kHostSurfaceCVComponent, &status);
        DebugCheckStatus(status, nullptr);
        for (int u = 0; u < nurb->GetVCount(); ++u)
            for (int v = 0; v < nurb->GetUCount(); ++v) cvs.addElement(u, v);
        return component;
    }
    if (shape.hasFn(kHostMesh)) {
        const TFnMesh mesh(shape, &status);
        TFnSingleIndexedComponent vertices;
        TObject component = vertices.create(kHostMeshVertexComponent, &status);
        DebugCheckStatus(status, nullptr);
        vertices.setCompleteData(mesh.numVertices());
        return component;
    }
    return TObject();
}

}  // namespace

bool ZeqMatrixFromReply(const TDoubleArray& reply, KZeqMatrix& matrix) {
    if (reply.length() < 16) return false;
    for (unsigned k = 0; k < 16; ++k) matrix.mData[k / 4][k % 4] = reply[k];
    return true;
}

void ZeqTuloExport::ExportSmoothBinding() {
    TStatus status;
    int count = 0;
    for (TItDependencyNodes it(kHostSkinCluster, &status); !it.isDone(); it.next()) ++count;
    if (count == 0) return;
    mBindPoseAborted = false;
    mNodeIndex = std::make_shared<ZeqTuloExportNodeIndex>(mRootNode);
    const bool makePoses = BoolParam(kExportBindPoseOption);
    int number = 0;
    for (TItDependencyNodes it(kHostSkinCluster, &status); !it.isDone(); it.next()) {
        TObject skin = it.item();
        const TString name = TFnDependencyNode(skin).name();
        KZeqPose* pose = makePoses ? mSdkManager.CreateKZeqPose(name.asChar(), true) : nullptr;
        ExportSmoothBinding(skin, ++number, count, pose);
        if (pose && pose->GetCount() > 0 && !mBindPoseAborted)
            mScene->AddPose(pose);
        else if (pose)
            mSdkManager.DestroyKZeqPose(pose);
        if (mBindPoseConflicts.GetCount() == 0) continue;

        // The conflicts in the set's order: their names, case-insensitively.
        KString text(kConflictText);
        text += "\\n\\n";
        KString title(kWarningTitle);
        title += ": ";
        if (mLog) *mLog += title.Buffer();
        for (int i = 0; i < mBindPoseConflicts.GetCount(); ++i) {
            auto* node = reinterpret_cast<ZeqTuloNode*>(mBindPoseConflicts.GetFromIndex(i));
            const KString path = ZeqTuloUtility::MakeReadablePath(node ? node->GetDagPath() : nullptr);
            text += "    ";
            text += path;
            text += "\\n";
            if (mLog) *mLog += path.Buffer();
        }
        if (mLog) *mLog += "";
        if (BoolParam(ZeqTuloUserParams::kExportShowUI)) {
            ZeqTuloConfirmDialog dialog;
            dialog.Title(kWarningTitle);
            dialog.Message(text);
            dialog.Button(0, "Ok");
            dialog.Pop();
        }
        mBindPoseConflicts.Clear();
    }
    mNodeIndex.reset();
}

void ZeqTuloExport::ExportSmoothBinding(TObject& skinCluster, int clusterNumber, int clusterCount, KZeqPose* bindPose) {
    TStatus status;
    const TFnSkinCluster skin(skinCluster, &status);
    if (!status) return;
    const bool pivotNodes = BoolParam(kExportPivotToNullOption);
    TObjectArray shapes;
    skin.getOutputGeometry(shapes);
    TDagPathArray influences;
    const unsigned influenceCount = skin.influenceObjects(influences);

    for (int s = static_cast<int>(shapes.length()) - 1; s >= 0; --s) {
        TDagPath shapePath;
        if (!TDagPath::getAPathTo(shapes[static_cast<unsigned>(s)], shapePath)) continue;
        ZeqTuloNode* node = GetNodeWithThisChildren(mRootNode, &shapePath);
        if (!node || node->mMeshMismatch) continue;

        const KZeqMatrix geometryMatrix = GeometryMatrix(skin);
        if (bindPose && !mBindPoseAborted && bindPose->Add(node->GetName(), geometryMatrix, false) < 0) {
            mBindPoseAborted = true;
            mBindPoseConflicts.Add(node->GetName(), reinterpret_cast<kReference>(node));
        }
        // Links go on geometry only.
        KZeqGeometry* geometry = GeometryAttribute(node);
        const TObject points = geometry ? PointsOf(shapes[static_cast<unsigned>(s)], node) : TObject();
        if (TFnComponent(points).elementCount() == 0) {
            ZeqTuloProgressMeter::Activate(node->GetName());
            continue;
        }
        const int pointCount = geometry->GetControlPointsCount();

        std::vector<KZeqLink*> links;
        std::vector<ZeqTuloNode*> posed;
        for (unsigned i = 0; i < influenceCount; ++i) {
            char progress[96];
            std::snprintf(progress, sizeof progress, "%d of %d. Processing %u of %u", clusterNumber, clusterCount, i + 1,
                          influenceCount);
            ZeqTuloProgressMeter::Activate(progress);
            ZeqTuloNode* influence = mNodeIndex && mNodeIndex->GetRoot() == mRootNode
                                         ? mNodeIndex->WithPath(&influences[i])
                                         : GetZeqNodeFromDagPath(mRootNode, &influences[i]);
            if (!influence) continue;
            TFloatArray weights;
            const unsigned index = skin.indexForInfluenceObject(influences[i]);
            if (!skin.getWeights(shapePath, points, index, weights) || weights.length() == 0) continue;

            KZeqLink* link = mSdkManager.CreateKZeqLink();
            if (!link) continue;
            links.push_back(link);
            link->SetLinkMode(KZeqLink::eNORMALIZE);
            link->SetLink(influence);
            geometry->AddLink(link);
            // Weights as the host gives them; 0.001 and below are left out, and so are points the
            // geometry does not have.
            for (unsigned j = 0; j < weights.length(); ++j)
                if (weights[j] > kWeightThreshold && static_cast<int>(j) < pointCount)
                    link->AddControlPointIndex(static_cast<int>(j), static_cast<double>(weights[j]));

            KZeqMatrix bind;
            if (!ZeqTuloUtility::GetBindPoseMatrix(influence, bind)) {
                mBindPoseAborted = true;
                if (Holds(mFallbackPromptedNodes, influence)) {
                    mBindPoseAborted = false;
                } else {
                    Insert(mFallbackPromptedNodes, influence);
                    PromptForFallbackMatrix(influence->GetDagPath(), mBindPoseAborted, mLog.get());
                }
                bind = mBindPoseAborted ? KZeqMatrix() : KZeqMatrix(influence->GetGlobalMatrix(KZeqNode::eSOURCE_SET, false));
            }
            if (bindPose && !mBindPoseAborted) {
                WithoutPostRotation(influence, bind);
                if (bindPose->Add(influence->GetName(), bind, false) < 0) {
                    mBindPoseConflicts.Add(influence->GetName(), reinterpret_cast<kReference>(influence));
                    mBindPoseAborted = true;
                } else if (std::find(posed.begin(), posed.end(), influence) == posed.end()) {
                    posed.push_back(influence);
                }
                for (auto* above = static_cast<ZeqTuloNode*>(influence->GetParent());
                     above && !IsZeqRootNode(above) && above != mRootNode;
                     above = static_cast<ZeqTuloNode*>(above->GetParent())) {
                    if (Contains(above, "__Post_") || Contains(above, "__Pre_") || Holds(mFallbackPromptedNodes, above))
                        continue;
                    KZeqMatrix matrix;
                    if (!ZeqTuloUtility::GetBindPoseMatrix(above, matrix)) {
                        mBindPoseAborted = true;
                        Insert(mFallbackPromptedNodes, above);
                        PromptForFallbackMatrix(above->GetDagPath(), mBindPoseAborted, mLog.get());
                        if (!mBindPoseAborted) matrix = above->GetGlobalMatrix(KZeqNode::eSOURCE_SET, false);
                    }
                    if (mBindPoseAborted) continue;
                    WithoutPostRotation(above, matrix);
                    if (bindPose->Add(above->GetName(), matrix, false) < 0) {
                        mBindPoseAborted = true;
                        mBindPoseConflicts.Add(above->GetName(), reinterpret_cast<kReference>(above));
                    } else if (std::find(posed.begin(), posed.end(), above) == posed.end()) {
                        posed.push_back(above);
                    }
                }
            }
            link->SetTransformLinkMatrix(KZeqXMatrix(bind));
            link->SetTransformMatrix(KZeqXMatrix(geometryMatrix));
        }

        // Pivot nodes take their place in the pose around the nodes posed.
        if (pivotNodes && bindPose) {
            for (ZeqTuloNode* posedNode : posed) {
                const int own = bindPose->Find(posedNode->GetName());
                if (own < 0) continue;
                KZeqNode* pre = posedNode->GetParent();
                if (NamedAfter(pre, posedNode, "__Pre_")) {
                    KZeqMatrix above;
                    const int at = pre->GetParent() ? bindPose->Find(pre->GetParent()->GetName()) : -1;
                    if (at >= 0) above = bindPose->GetMatrix(at);
                    const KZeqXMatrix relative = Then(bindPose->GetMatrix(own), KZeqXMatrix(above).Inverse());
                    const KZeqVector4 t = relative.GetRow(3);
                    KZeqVector4 rotation;
                    pre->GetDefaultR(rotation);
                    const KZeqXMatrix local(KZeqVector4(t[0], t[1], t[2], 1), rotation, KZeqVector4(1, 1, 1, 1));
                    bindPose->Add(pre->GetName(), Then(local, above), false);
                }
                KZeqNode* post = posedNode->GetChildCount(false) > 0 ? posedNode->GetChild(0) : nullptr;
                if (NamedAfter(post, posedNode, "__Post_")) {
                    const KZeqMatrix own_matrix = bindPose->GetMatrix(own);
                    bindPose->Add(post->GetName(), Then(PivotRotation(post), own_matrix), false);
                    for (auto it = links.begin(); it != links.end(); ++it) {
                        if ((*it)->GetLink() && std::strcmp((*it)->GetLink()->GetName(), posedNode->GetName()) == 0) {
                            (*it)->SetTransformLinkMatrix(KZeqXMatrix(own_matrix));
                            links.erase(it);
                            break;
                        }
                    }
                }
            }
        }
        ZeqTuloProgressMeter::Activate(node->GetName());
    }
}

void ZeqTuloExport::PromptForFallbackMatrix(TDagPath* path, bool& aborted, ZeqLogFile* log) {
    const KString readable = ZeqTuloUtility::MakeReadablePath(path);
    KString line(kWarningTitle);
    line += ": ";
    line += kNoBindPose;
    line += readable;
    if (BoolParam(ZeqTuloUserParams::kExportShowUI)) {
        KString question(kNoBindPose);
        question += "\\n";
        question += readable;
        question += kUseCurrent;
        ZeqTuloConfirmDialog dialog;
        dialog.Title(kQuestionTitle);
        dialog.Message(question);
        dialog.Button(0, "Yes");
        dialog.Button(1, "No");
        if (dialog.Pop() == 0) aborted = false;
        if (log) {
            *log += line.Buffer();
            *log += aborted ? "User aborted the export of bind poses." : "Used the DAG node current transform.";
            *log += "";
        }
    } else if (log) {
        line += "No bind poses in the hierarchy containing the object will be exported.";
        *log += line.Buffer();
        *log += "";
    }
}
