// The first walk over the host DAG: every exportable path is classified by the table of node kinds
// and handed to its builder, which makes one unattached node. FindObject finds the shape a mesh or
// NURBS builder reads and, with the bind-pose option on, looks at the deformers upstream of it.
#include "plugin/export/zeqtuloexport.h"

#include <vector>

#include "plugin/zeqtulodialogs.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "tfndagnode.h"
#include "tfndeformer.h"
#include "tglobal.h"
#include "tplug.h"

using namespace zeqsdk_400;


const ZeqTuloExport::NodeKindRow ZeqTuloExport::smNodeKinds[] = {
    {TFn::kMesh, 0, &ZeqTuloExport::BuildMeshGeometry, false},
    {TFn::kNurbsSurface, TFn::kNurbsSurfaceOther, &ZeqTuloExport::ExportGeometryNurb, false},
    {TFn::kClusterHandle, 0, &ZeqTuloExport::BuildNullGeometry, false},
    {TFn::kJoint, 0, &ZeqTuloExport::BuildJointGeometry, true},
    {TFn::kBlendShape, 0, nullptr, false},
    {TFn::kLight, 0, &ZeqTuloExport::BuildLightGeometry, false},
    {TFn::kCamera, 0, &ZeqTuloExport::BuildUnreservedCamera, false},
    {TFn::kLookAt, 0, &ZeqTuloExport::BuildLookAtGeometry, false},
    {TFn::kLocator, 0, &ZeqTuloExport::BuildNullGeometry, false},
    {TFn::kTransform, 0, &ZeqTuloExport::BuildTaggedTransform, false},
};
const int ZeqTuloExport::smNodeKindCount = static_cast<int>(sizeof(smNodeKinds) / sizeof(smNodeKinds[0]));

bool ZeqTuloExport::IsExportable(TDagPath& path, TFnDagNode&) { return path.hasFn(TFn::kTransform); }

namespace {

// What TDagPath::hasFn answers for the path ending at `end`, asked of the node and its direct shape
// children once: the rows are tested without walking the path again for each.
class PathTypes {
public:
    explicit PathTypes(const TObject& end) : mEnd(end) {
        if (!end.hasFn(TFn::kTransform)) return;
        TFnDagNode fn(end);
        for (unsigned i = 0, n = fn.childCount(); i < n; ++i) {
            TObject child = fn.child(i);
            if (child.hasFn(TFn::kShape)) mShapes.push_back(child);
        }
    }
    bool Has(int type) const {
        if (mEnd.hasFn(type)) return true;
        for (const TObject& shape : mShapes)
            if (shape.hasFn(type)) return true;
        return false;
    }

private:
    TObject mEnd;
    std::vector<TObject> mShapes;
};

}  // namespace

TStatus ZeqTuloExport::BuildGeometry(TItDag::TraversalType traversal, TFn::Type filter) {
    TStatus status;
    TItDag it(traversal, filter, &status);
    if (!status) {
        status.perror("TItDag constructor");
        return status;
    }
    TDagPath path;
    for (; !it.isDone(); it.next()) {
        status = it.getPath(path);
        if (!status) {
            status.perror("TItDag::getPath");
            continue;
        }
        if (mSelection && !mSelection->hasItem(path, TObject::kNullObj)) continue;
        TFnDagNode fn(path, &status);
        if (!status) {
            status.perror("TFnDagNode constructor");
            continue;
        }
        if (!IsExportable(path, fn)) continue;
        const PathTypes types(path.node());
        ZeqTuloNode* node = nullptr;
        bool joint = false;
        for (int i = 0; i < smNodeKindCount; ++i) {
            const NodeKindRow& row = smNodeKinds[i];
            if (!types.Has(row.mType) && !(row.mOtherType && types.Has(row.mOtherType))) continue;
            if (row.mBuilder) node = (this->*row.mBuilder)(path, fn);
            joint = row.mJoint;
            // A joint carrying a mesh answers the mesh row first, but the mesh builder cannot read
            // a joint's mesh: the joint row keeps the joint in the scene.
            if (!node && row.mType == TFn::kMesh && path.apiType() == TFn::kJoint) {
                node = BuildJointGeometry(path, fn);
                joint = true;
            }
            break;
        }
        if (!node) continue;
        ZeqTuloProgressMeter::Activate(node->GetName());
        node->SetTransformationInheritType(joint ? eINHERIT_Rrs : eINHERIT_RSrs);
    }
    return TStatus::kSuccess;
}

ZeqTuloNode* ZeqTuloExport::BuildUnreservedCamera(TDagPath& path, TFnDagNode& node) {
    if (IsHostViewCamera(path)) return nullptr;
    return BuildCameraGeometry(path, node);
}

bool ZeqTuloExport::IsHostViewCamera(const TDagPath& path) {
    return path.length() == 1 && path.hasFn(TFn::kCamera) &&
           ZeqTuloUtility::IsCameraNameReserved(TFnDependencyNode(path.node()).name().asChar());
}

ZeqTuloNode* ZeqTuloExport::BuildTaggedTransform(TDagPath& path, TFnDagNode& node) {
    TObject object = path.node();
    const int id = FMGetQuorbelID(object);
    if (id == 0 || id == 1) {
        if (node.name() == "groundPlane_transform") return nullptr;
        return BuildNullGeometry(path, node);
    }
    if (id < 2 || id > 5) return nullptr;
    ZeqTuloNode* made = mSdkManager.CreateZeqTuloNode(node.name().asChar(), &path);
    if (!made) return nullptr;
    RegisterNode(made, path);
    WriteNodeJoint(made);
    return made;
}

namespace {

const char kWarningTitle[] = "ZEQ Export Warning";
const char kS1[] = "\\n";
const char kS2[] = "\\n\\n";

void Log(ZeqLogFile* log, const KString& line) {
    if (log) *log += line.Buffer();
}

void ShowWarning(const KString& message) {
    ZeqTuloConfirmDialog dialog;
    dialog.Title(kWarningTitle);
    dialog.Message(message);
    dialog.Button(0, "Ok");
    dialog.Pop();
}

bool ShowUI() { return ZeqTuloUserParams::Instance()->GetBoolParam(ZeqTuloUserParams::kExportShowUI); }

// "setAttr "<plug>" <value>" as the host's script takes it.
TString SetAttrCommand(const TString& plug, int value) {
    TString command("setAttr \"");
    command += plug;
    command += "\" ";
    command += value;
    return command;
}

void AppendCommand(TString& commands, const TString& command) {
    if (commands.length() > 0) commands += "; ";
    commands += command;
}

}  // namespace

bool FindObject(ZeqLogFile* log, TDagPath& path, TFnDagNode& node, TStatus& status, int index, TObject& shape,
                TObject& inputShape, TObject& inputGeometry, TString& restoreCommand, bool& wrapWarningShown) {
    (void)node;
    bool found = false;
    status = TStatus::kSuccess;
    if (path.apiType() == TFn::kTransform && path.childCount() > 0) {
        shape = path.child(static_cast<unsigned>(index));
        found = true;
    } else {
        TDagPath parent = path;
        if (parent.pop(1) && parent.apiType() == TFn::kTransform && parent.childCount() > 1) {
            shape = path.node();
            found = true;
        }
    }
    inputShape = shape;
    if (!found) return false;
    if (!ZeqTuloUserParams::Instance()->GetBoolParam(14)) return true;

    TFnDagNode shapeFn(shape);
    TPlug visibility;
    status = ZeqTuloUtility::FindPlug(&path, visibility, "visibility");

    TObject start = path.child(0);
    TObject deformer;
    if (ZeqTuloUtility::GetDependencyOfThisType(&start, TFn::kWrap, &deformer, TItDependencyGraph::kUpstream,
                                                TFn::kInvalid)) {
        KString warning("A Wrap deformer has been detected on the following object: ");
        warning += ZeqTuloUtility::MakeItReadable(KString(shapeFn.fullPathName().asChar()));
        KString line(kWarningTitle);
        line += ": ";
        line += warning;
        Log(log, line);
        Log(log, KString());
        if (ShowUI() && !wrapWarningShown) {
            wrapWarningShown = true;
            KString message = warning;
            message += kS2;
            message += "The object will be exported without the deforming influences.";
            message += kS2;
            message += "NOTE: This dialog will not popup anymore for subsequent identical errors\\n(the other messages "
                       "can be found in the log file)";
            ShowWarning(message);
        }
        return true;
    }

    TObject skin;
    if (!ZeqTuloUtility::GetDependencyOfThisType(&start, TFn::kSkinCluster, &skin, TItDependencyGraph::kUpstream,
                                                 TFn::kInvalid))
        return true;
    TFnSkinCluster skinFn(skin, &status);
    if (!status) return true;

    TObject facet;
    if (ZeqTuloUtility::GetDependencyOfThisType(&skin, TFn::kSmoothFacet, &facet, TItDependencyGraph::kDownstream,
                                                TFn::kInvalid) ||
        ZeqTuloUtility::GetDependencyOfThisType(&skin, TFn::kSmoothFacet, &facet, TItDependencyGraph::kUpstream,
                                                TFn::kInvalid)) {
        static const char* const kLines[] = {
            "The plugin has detected a polygonSmoothFacet operator and a skinCluster.",
            "This combination of operators is not supported by the plugin. The 'divisions' ",
            "attribute is reset to 0 while exporting.",
        };
        KString first(kWarningTitle);
        first += ": ";
        first += kLines[0];
        Log(log, first);
        Log(log, KString(kLines[1]));
        Log(log, KString(kLines[2]));
        Log(log, KString());
        if (ShowUI()) {
            KString message(kLines[0]);
            message += kS1;
            message += kLines[1];
            message += kS1;
            message += kLines[2];
            message += kS2;
            ShowWarning(message);
        }
        TString divisions(TFnDependencyNode(facet).name());
        divisions += ".divisions";
        TString query("getAttr \"");
        query += divisions;
        query += "\"";
        int former = 0;
        status = TGlobal::executeCommand(query, former, false, false);
        // Without the former value there is nothing to give back: the operator is left alone.
        if (status) {
            status = TGlobal::executeCommand(SetAttrCommand(divisions, 0), false, false);
            if (status) AppendCommand(restoreCommand, SetAttrCommand(divisions, former));
        }
    }

    TPlug input = skinFn.findPlug("input", &status);
    if (!status) return true;
    input.elementByLogicalIndex(0).child(0).getValue(inputGeometry, TDGContext::fsNormal);

    TFnGeometryFilter filter(skin, &status);
    if (!status) return true;
    TObjectArray inputs;
    status = filter.getInputGeometry(inputs);
    if (!status) return true;
    if (inputs.length() > 0) inputShape = inputs[0];

    // A skinned shape is exported with its transform's visibility: the builders read it from the
    // transform (SkinnedVisibility) instead of writing it onto the shape, so the host keeps its own.
    return true;
}

ShapeRead::ShapeRead(ZeqLogFile* log, TDagPath& path, TFnDagNode& node, bool& wrapWarningShown) {
    TObject start = path.child(0);
    if (ZeqTuloUtility::GetDependencyOfThisType(&start, TFn::kBlendShape, &mDeformer, TItDependencyGraph::kUpstream,
                                                TFn::kInvalid)) {
        TStatus status;
        TFnBlendShapeDeformer blend(mDeformer, &status);
        if (status) {
            mEnvelope = blend.envelope();
            mEnvelopeChanged = static_cast<bool>(blend.setEnvelope(0.0f));
        }
    }
    mFound = FindObject(log, path, node, mStatus, 0, mShape, mInputShape, mInputGeometry, mRestoreCommand,
                        wrapWarningShown);
}

ShapeRead::~ShapeRead() {
    if (mRestoreCommand.length() > 0) TGlobal::executeCommand(mRestoreCommand, false, false);
    if (mEnvelopeChanged) TFnBlendShapeDeformer(mDeformer).setEnvelope(mEnvelope);
}
