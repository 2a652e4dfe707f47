// Look-at rigs as a property over generated scenes. Each case writes a file of several sets, each
// set 1 to 4 cameras under the root or under one shared parent, each camera alone or in a group
// (named as the host names its groups, or as another program would: a null or a node without
// attribute, with a user property), named as cameras are, or below the top as one of the host's own
// cameras or their shapes, scaled (uniformly or not), with a roll and with a node below it; aimed at a
// target of every kind (a bare null, a mesh, a light or another camera beside it, a null or a keyed
// null elsewhere, a null below the camera, one of the host's own cameras at the top, or none), with
// an up node of every kind, with rotation and scaling pivots and offsets or none. Through the
// stand-in host: (a) every model of the file arrives once, with the world matrix the SDK evaluates
// for it from the file (a camera turned onto the host's forward axis, an aimed one in place and
// scale alone; where the log says a node could not hold its place, its position); (b) a
// host round trip gives back the same tree, names and world matrices, twice (a camera without the
// scaling the export leaves out); (c) every aim or up node that the host's rig could not take is
// named in the log; (d) the file the host writes gives no roll to a camera it aims at nothing.
#include "importtest_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmesh.h"
#include "fcurve/kfcurve.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzequserproperty.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtuloutility.h"
#include "tfnanimcurve.h"
#include "tulo.h"

using namespace zeqsdk_400;
using namespace importtest;

namespace {

const int kSetsPerFile = 8;

// Names (or paths) as a set.
using NameSet = std::map<std::string, bool>;
// The seeds of the property test: few, for the sanitizer build's time, and reaching every kind
// the generator makes (RigGeneratorTest).
const unsigned kCases = 16;

// What the file says of one model: its world matrix at 0 s, as the host should show it.
struct Model {
    std::vector<std::string> mPath;  // names from the top
    double mWorld[4][4];
    double mScaling[3] = {1, 1, 1};  // its own
    bool mCamera = false, mTargeted = false;
};

// A camera's targets as the file gives them.
struct Aimed {
    std::string mCamera, mAim, mUp;
    std::vector<std::string> mPath;  // the camera's, names from the top
};

struct Generated {
    std::vector<Model> mModels;
    std::vector<Aimed> mAimed;
    std::map<std::string, double> mGroupProperties;  // group name -> its "Focus"
    NameSet mKinds;  // the kinds of node the file holds ("aim 3", "group 2 none", ...): AllKinds
};

class Generator {
public:
    Generator(KZeqSdkManager& manager, KZeqScene& scene, unsigned seed)
        : mManager(manager), mScene(scene), mRandom(seed), mPivotRandom(seed * 2654435761u + 1) {}

    void Set(int set) {
        KZeqNode* root = mScene.GetRootNode();
        KZeqNode* parent = Pick(2) ? Placed(root, "Set" + std::to_string(set), "null") : root;
        Made(parent == root ? "cameras at the top" : "cameras under a parent");
        KZeqNode* elsewhere = Placed(root, "Else" + std::to_string(set), "null");
        const int cameras = 1 + Pick(4);
        for (int c = 0; c < cameras; ++c) Camera(parent, elsewhere, set, c);
    }

    Generated mOut;

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(mRandom); }
    double Value(double low, double high) { return std::uniform_real_distribution<double>(low, high)(mRandom); }

    // A node with random values under parent.
    KZeqNode* Placed(KZeqNode* parent, const std::string& name, const char* kind) {
        return Randomized(kind == std::string("mesh") ? AddTriangle(mManager, parent, name.c_str())->GetNode()
                                                      : AddNode(mManager, parent, name.c_str(), kind));
    }
    KZeqNode* Randomized(KZeqNode* node) {
        KZeqTakeNode* take = node->GetDefaultTakeNode();
        KFCurve* translation[3] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ()};
        KFCurve* rotation[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
        KFCurve* scaling[3] = {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
        // A camera unscaled, scaled alike on its axes, or not: the export leaves its scaling out.
        const int cameraScaling = node->GetCamera() ? Pick(3) : 2;
        if (node->GetCamera()) Made("camera scaling " + std::to_string(cameraScaling));
        const double uniform = Value(0.5, 2);
        for (int axis = 0; axis < 3; ++axis) {
            translation[axis]->SetValue(static_cast<float>(Value(-10, 10)));
            rotation[axis]->SetValue(static_cast<float>(Value(-90, 90)));
            scaling[axis]->SetValue(
                static_cast<float>(cameraScaling == 0 ? 1.0 : cameraScaling == 1 ? uniform : Value(0.5, 2)));
        }
        // Its roll becomes the twist of the look-at group the host aims it with.
        if (node->GetCamera()) take->GetCameraRoll()->SetValue(static_cast<float>(Value(-60, 60)));
        if (node->GetCamera()) Pivots(node);
        return node;
    }

    // A camera without pivots, with a rotation pivot and offset, or with scaling ones too: the host
    // turns a camera it does not aim inside them. Drawn apart from the rest, which stays as it was.
    void Pivots(KZeqNode* node) {
        const int pivots = std::uniform_int_distribution<int>(0, 2)(mPivotRandom);
        Made("camera pivots " + std::to_string(pivots));
        if (pivots == 0) return;
        const auto any = [this] {
            std::uniform_real_distribution<double> value(-3, 3);
            return KZeqVector4(value(mPivotRandom), value(mPivotRandom), value(mPivotRandom), 0);
        };
        const KZeqNode::EPivotSet set = KZeqNode::eSOURCE_SET;
        node->SetPivotState(set, KZeqNode::ePIVOT_STATE_ACTIVE);
        node->SetRotationPivot(set, any());
        node->SetRotationOffset(set, any());
        if (pivots < 2) return;
        node->SetScalingPivot(set, any());
        node->SetScalingOffset(set, any());
    }

    KZeqNode* Keyed(KZeqNode* node) {
        // The take reaches the nodes that exist when it is made.
        mScene.CreateTake("Take 001");
        node->SetCurrentTakeNode("Take 001");
        KFCurve* curve = node->GetCurrentTakeNode()->GetTranslationX();
        Key(curve, 0.0, static_cast<float>(Value(-5, 5)));
        Key(curve, 1.0, static_cast<float>(Value(-5, 5)));
        return node;
    }

    void FocusProperty(KZeqNode* node) {
        KZeqPropertyHandler* handler = node->GetPropertyHandler();
        KProperty* property = handler->CreatePropertyFromType("Focus", kPropertyTypeDouble, nullptr, true, true, nullptr);
        KZeqUserProperty* user = mManager.CreateKZeqUserProperty(property);
        user->SetPropertyHandler(handler);
        user->ModifyFlag(KZeqUserProperty::eUSER, true);
        node->AddProperty(user);
        const double value = std::round(Value(1, 100));
        node->FindPropertyByName("Focus")->SetDefaultValue(value);
        mOut.mGroupProperties[node->GetNameWithoutNameSpacePrefix().Buffer()] = value;
    }

    // A name the host gives its own cameras or their shapes, not yet taken in the file (the import
    // makes names unique over the scene); empty when each is.
    std::string HostCameraName(bool shapes) {
        static const char* const kNames[] = {"persp", "top", "front", "side",
                                             "perspShape", "topShape", "frontShape", "sideShape"};
        const int offered = shapes ? 8 : 4, first = Pick(offered);
        for (int i = 0; i < offered; ++i) {
            const std::string name = kNames[(first + i) % offered];
            if (mHostCameraNames.emplace(name, true).second) return name;
        }
        return "";
    }

    // A target of one of the kinds: beside (under `beside`), elsewhere or below the camera, one of
    // the host's own cameras at the top (which the import leaves out).
    KZeqNode* Target(KZeqNode* beside, KZeqNode* elsewhere, KZeqNode* camera, const std::string& name, int kind) {
        switch (kind) {
        case 0: return Placed(beside, name, "null");
        case 1: return Placed(beside, name, "mesh");
        case 2: {
            KZeqNode* light = Placed(beside, name, "light:0");
            light->GetLight()->SetDefaultIntensity(50);
            return light;
        }
        case 3: return Placed(beside, name, "camera");
        case 4: return Placed(elsewhere, name, "null");
        case 5: return Keyed(Placed(elsewhere, name, "null"));
        case 6: return Placed(camera, name, "null");
        default: {
            const std::string view = HostCameraName(false);
            if (view.empty()) return Placed(elsewhere, name, "null");
            Made("target 7");
            return Placed(mScene.GetRootNode(), view, "camera");
        }
        }
    }

    void Camera(KZeqNode* parent, KZeqNode* elsewhere, int set, int c) {
        const int naming = Pick(3);
        // 0 to 7: the kinds of Target; 8: no aim.
        const int aimKind = Pick(9), upKind = Pick(9);
        const bool aim = aimKind < 8, up = upKind < 8;
        // 0: no group; 1: a group as the host names it (the host makes one for a camera whose
        // targets are beside it alone); 2: another program's group, a null or without attribute,
        // with a property.
        int grouping = Pick(3);
        const auto beside = [](int kind) { return kind <= 3; };
        if (grouping == 1 && (!aim || !beside(aimKind) || (up && upKind != 0))) grouping = 2;
        KZeqNode* holder = parent;
        const char* const attribute = grouping > 0 && Pick(2) ? "null" : "none";
        if (grouping == 1) {
            holder = AddNode(mManager, parent, HostGroupName().c_str(), attribute);
        } else if (grouping == 2) {
            holder = Placed(parent, Pick(2) ? "Shot" + std::to_string(set) + "_" + std::to_string(c) + "_group"
                                            : "Rig" + std::to_string(set) + "_" + std::to_string(c),
                            attribute);
            FocusProperty(holder);
            if (Pick(2)) {
                Keyed(holder);
                Made("group keyed");
            }
        }
        Made("group " + std::to_string(grouping) + (grouping > 0 ? std::string(" ") + attribute : ""));
        // Below the top, a camera may bear the name of one of the host's own cameras or their
        // shapes: it is the file's camera all the same.
        std::string name = naming == 2 && holder != mScene.GetRootNode() ? HostCameraName(true) : "";
        if (!name.empty())
            Made(name.find("Shape") == std::string::npos ? "named as a view camera" : "named as its shape");
        if (name.empty())
            name = naming == 0 ? "camera" + std::to_string(++mHostCameras) : "Cam" + std::to_string(set) + "_" + std::to_string(c);
        KZeqNode* camera = Placed(holder, name, "camera");
        Aimed aimed{name, "", "", {}};
        for (KZeqNode* at = camera; at && at->GetParent(); at = at->GetParent())
            aimed.mPath.insert(aimed.mPath.begin(), at->GetNameWithoutNameSpacePrefix().Buffer());
        Made("aim " + std::to_string(aimKind));
        Made("up " + std::to_string(upKind));
        if (aim) {
            KZeqNode* target = Target(holder, elsewhere, camera, name + "_aim", aimKind);
            camera->SetTarget(target);
            aimed.mAim = target->GetNameWithoutNameSpacePrefix().Buffer();
        }
        if (up) {
            KZeqNode* target = Target(holder, elsewhere, camera, name + "_up", upKind);
            camera->SetTargetUp(target);
            aimed.mUp = target->GetNameWithoutNameSpacePrefix().Buffer();
        }
        // What hangs below the camera keeps its place whatever the host makes of the camera.
        const char* const kid = Pick(2) ? Pick(2) ? "null" : "mesh" : nullptr;
        if (kid) Placed(camera, "Kid" + std::to_string(set) + "_" + std::to_string(c), kid);
        Made(std::string("below the camera ") + (kid ? kid : "nothing"));
        mOut.mAimed.push_back(aimed);
    }

    void Made(const std::string& kind) { mOut.mKinds[kind] = true; }

    // camera1_group, camera1_group1, ...: the host names every group after the camera it first
    // made, "camera1".
    std::string HostGroupName() {
        const int n = mHostGroups++;
        return n == 0 ? "camera1_group" : "camera1_group" + std::to_string(n);
    }

    KZeqSdkManager& mManager;
    KZeqScene& mScene;
    std::mt19937 mRandom, mPivotRandom;
    int mHostCameras = 0, mHostGroups = 0;
    NameSet mHostCameraNames;
};

// Every kind the generator makes (Generated::mKinds).
NameSet AllKinds() {
    NameSet all;
    for (const char* kind : {"cameras at the top", "cameras under a parent", "group 0", "group 1 null", "group 1 none",
                             "group 2 null", "group 2 none", "group keyed", "named as a view camera",
                             "named as its shape", "target 7", "below the camera nothing", "below the camera null",
                             "below the camera mesh"})
        all[kind] = true;
    for (int kind = 0; kind <= 8; ++kind) all["aim " + std::to_string(kind)] = all["up " + std::to_string(kind)] = true;
    for (int scaling = 0; scaling < 3; ++scaling)
        all["camera scaling " + std::to_string(scaling)] = all["camera pivots " + std::to_string(scaling)] = true;
    return all;
}

// The kinds no file of the seeds holds.
std::string MissedKinds(const std::vector<unsigned>& seeds) {
    NameSet missed = AllKinds();
    for (unsigned seed : seeds) {
        KZeqSdkManager manager;
        Generator generator(manager, *manager.CreateKZeqScene(), seed);
        for (int set = 0; set < kSetsPerFile; ++set) generator.Set(set);
        for (const auto& kind : generator.mOut.mKinds) missed.erase(kind.first);
    }
    std::string text;
    for (const auto& kind : missed) text += "\"" + kind.first + "\" ";
    return text;
}

// The scene of a Zeq file as the SDK reads it; false when it cannot.
bool Read(KZeqSdkManager& manager, KZeqScene& scene, const std::string& path) {
    KZeqImporter* importer = manager.CreateKZeqImporter();
    return importer->Initialize(path.c_str()) && importer->Import(scene);
}

// The models of the file and their world matrices at 0 s as the SDK evaluates them: their pivots
// made part of their translation, rotation and scaling (the SDK's conversion to a neutral set).
void Collect(const std::string& path, Generated& out) {
    KZeqSdkManager manager;
    KZeqScene& scene = *manager.CreateKZeqScene();
    ASSERT_TRUE(Read(manager, scene, path)) << path;
    scene.SetCurrentTake("Take 001");
    KZeqNode* root = scene.GetRootNode();
    VisitDepthFirst(root, [](KZeqNode& node) {
        const KZeqNode::EPivotSet set = KZeqNode::eDESTINATION_SET;
        for (auto setter : {&KZeqNode::SetRotationPivot, &KZeqNode::SetRotationOffset, &KZeqNode::SetScalingPivot,
                            &KZeqNode::SetScalingOffset, &KZeqNode::SetPreRotation, &KZeqNode::SetPostRotation})
            (node.*setter)(set, KZeqVector4());
        node.SetRotationOrder(set, eEULER_XYZ);
        node.SetPivotState(set, KZeqNode::ePIVOT_STATE_ACTIVE);
    });
    root->ConvertPivotAnimationRecursive(KZeqNode::eDESTINATION_SET, 30.0, false);
    KTime zero;
    zero.SetSecondDouble(0.0);
    VisitDepthFirst(root, [&](KZeqNode& node) {
        if (&node == root) return;
        // One of the host's own cameras at the top is the host's, which the import leaves out.
        if (node.GetParent() == root && node.GetCamera() &&
            ZeqTuloUtility::IsCameraNameReserved(node.GetNameWithoutNameSpacePrefix().Buffer()))
            return;
        Model model;
        for (KZeqNode* at = &node; at && at != root; at = at->GetParent())
            model.mPath.insert(model.mPath.begin(), at->GetNameWithoutNameSpacePrefix().Buffer());
        KZeqMatrix world = node.GetGlobalFromCurrentTake(zero);
        const double* w = world;
        std::copy(w, w + 16, &model.mWorld[0][0]);
        KZeqVector4 scaling;
        node.GetDefaultS(scaling);
        for (int i = 0; i < 3; ++i) model.mScaling[i] = scaling[i];
        model.mCamera = node.GetCamera() != nullptr;
        model.mTargeted = model.mCamera && node.GetTarget();
        out.mModels.push_back(model);
    });
}

// One of the host's own view cameras: a camera directly under the world named as the host names
// them. A node of such a name deeper down is the file's.
bool HostViewCamera(const TDagPath& path) {
    return path.length() == 1 && path.hasFn(TFn::kCamera) &&
           ZeqTuloUtility::IsCameraNameReserved(TFnDependencyNode(path.node()).name().asChar());
}

// The host's transforms but its own cameras, by full path, with their world matrices.
// With rigsByCamera, a look-at group is named after the camera it holds first ("<Cam>"): the
// import makes names unique over the whole scene, so a host-made group name that the first import
// gave under two parents takes a number on the trip after it.
template <class Visit>
void ForEachHostTransform(bool rigsByCamera, Visit visit) {
    for (TItDag it(TItDag::kDepthFirst, TFn::kTransform); !it.isDone(); it.next()) {
        TDagPath path;
        it.getPath(path);
        if (HostViewCamera(path)) continue;
        std::string key;
        for (TDagPath at = path; at.length() > 0; at.pop(1)) {
            std::string segment = TFnDependencyNode(at.node()).name().asChar();
            if (rigsByCamera && at.apiType() == TFn::kLookAt && at.childCount() > 0)
                segment = "<" + std::string(TFnDependencyNode(at.child(0)).name().asChar()) + ">";
            key = "|" + segment + key;
        }
        visit(key, path);
    }
}
using Tree = std::map<std::string, TMatrix>;
Tree HostTree(bool rigsByCamera = false) {
    Tree tree;
    ForEachHostTransform(rigsByCamera, [&](const std::string& key, const TDagPath& path) { tree[key] = path.inclusiveMatrix(); });
    return tree;
}
// The keys HostTree gives the host's cameras.
NameSet HostCameras(bool rigsByCamera) {
    NameSet cameras;
    ForEachHostTransform(rigsByCamera, [&](const std::string& key, const TDagPath& path) {
        if (path.hasFn(TFn::kCamera)) cameras[key] = true;
    });
    return cameras;
}

// The host paths that stand for the file's path: the same names, where the host may have put a
// look-at group of its own above a node. A look-at group may carry the file's name with the host's
// number for a clash: a group the host made for another camera took the name first.
std::vector<std::string> HostPathsOf(const std::vector<std::string>& file) {
    std::vector<std::string> exact, found;
    for (TItDag it(TItDag::kDepthFirst, TFn::kTransform); !it.isDone(); it.next()) {
        TDagPath path;
        it.getPath(path);
        if (std::string(TFnDependencyNode(path.node()).name().asChar()).rfind(file.back(), 0) != 0) continue;
        std::vector<std::pair<std::string, bool>> host;  // name, look-at group
        for (TDagPath at = path; at.length() > 0; at.pop(1))
            host.insert(host.begin(), {TFnDependencyNode(at.node()).name().asChar(), at.apiType() == TFn::kLookAt});
        const auto matches = [&](bool loose) {
            std::size_t j = 0;
            for (std::size_t i = 0; i < host.size(); ++i) {
                const bool numbered = loose && host[i].second && j < file.size() &&
                                      host[i].first.rfind(file[j], 0) == 0 &&
                                      host[i].first.find_first_not_of("0123456789", file[j].size()) == std::string::npos;
                if (j < file.size() && (host[i].first == file[j] || numbered)) ++j;
                else if (!host[i].second) j = file.size() + 1;
            }
            return j == file.size();
        };
        if (matches(false)) exact.push_back(path.fullPathName().asChar());
        else if (matches(true)) found.push_back(path.fullPathName().asChar());
    }
    return exact.empty() ? found : exact;
}

// The file's values are floats (1e-7 relative), and a world value sums products of them of up to
// the generator's sizes (positions within 10 below scalings up to 2, a few levels deep): within
// 1e-6 of the larger of them and 10.
bool Close(double a, double b) { return std::fabs(a - b) <= 1e-6 * std::max({10.0, std::fabs(a), std::fabs(b)}); }

::testing::AssertionResult Near(const double (&a)[4][4], const double (&b)[4][4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!Close(a[i][j], b[i][j]))
                return ::testing::AssertionFailure() << "[" << i << "][" << j << "] " << a[i][j] << " against " << b[i][j];
    return ::testing::AssertionSuccess();
}

// A camera the host aims: its orientation comes from the look-at, which the host's world matrix
// leaves out, so its place and scale (the lengths of the axis rows) are what can be compared.
::testing::AssertionResult NearPlaceAndScale(const double (&a)[4][4], const double (&b)[4][4]) {
    for (int j = 0; j < 4; ++j)
        if (!Close(a[3][j], b[3][j]))
            return ::testing::AssertionFailure() << "[3][" << j << "] " << a[3][j] << " against " << b[3][j];
    for (int i = 0; i < 3; ++i) {
        const double la = std::hypot(a[i][0], a[i][1], a[i][2]), lb = std::hypot(b[i][0], b[i][1], b[i][2]);
        if (!Close(la, lb)) return ::testing::AssertionFailure() << "scale " << i << " " << la << " against " << lb;
    }
    return ::testing::AssertionSuccess();
}

// The file's camera looks down its +X, the host's down its -Z: a free camera's host world matrix
// is the file's with this turn first (rows are the images of the host's axes: -Z onto +X).
const double kHostCameraFromFile[4][4] = {{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 0, 1}};

void Times(const double (&a)[4][4], const double (&b)[4][4], double (&out)[4][4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            out[i][j] = 0;
            for (int k = 0; k < 4; ++k) out[i][j] += a[i][k] * b[k][j];
        }
}

// The axis rows made unit: a camera without its scaling.
void Unscaled(const double (&m)[4][4], double (&out)[4][4]) {
    for (int i = 0; i < 4; ++i) {
        const double length = i < 3 ? std::hypot(m[i][0], m[i][1], m[i][2]) : 1.0;
        for (int j = 0; j < 4; ++j) out[i][j] = length > 0 ? m[i][j] / length : m[i][j];
    }
}

::testing::AssertionResult NearPlace(const double (&a)[4][4], const double (&b)[4][4]) {
    for (int j = 0; j < 3; ++j)
        if (!Close(a[3][j], b[3][j]))
            return ::testing::AssertionFailure() << "[3][" << j << "] " << a[3][j] << " against " << b[3][j];
    return ::testing::AssertionSuccess();
}

// The nodes the log says could not keep their whole place: their position holds.
NameSet PlacedOnly(const std::string& log) {
    NameSet names;
    for (std::size_t at = 0, end = 0; at < log.size(); at = end + 1) {
        end = std::min(log.find('\n', at), log.size());
        const std::string line = log.substr(at, end - at);
        if (line.find(" shears it,") == std::string::npos && line.find(" without its pivots") == std::string::npos &&
            line.find(" changes with the keys of its parent") == std::string::npos)
            continue;
        std::size_t from = line.find_first_not_of('\t');
        for (const std::string prefix : {"ZEQ Export Warning: ", "Node "})
            if (line.compare(from, prefix.size(), prefix) == 0) from += prefix.size();
        names[line.substr(from, line.find(": ", from) - from)] = true;
    }
    return names;
}

// A model of the file where the host holds it (host: its world matrix): a camera the host aims by
// its place and scale alone (the look-at gives its orientation, which the host's matrix leaves out);
// another camera with its own rotation turned onto the host's forward axis after its scaling, S turn
// S^-1 times the file's world matrix; a node the log places only (placedOnly) by its position; any
// other node exactly.
::testing::AssertionResult InFilePlace(const Model& model, const double (&host)[4][4], bool aimed,
                                       const NameSet& placedOnly) {
    if (placedOnly.count(model.mPath.back())) return NearPlace(host, model.mWorld) << " (placed only)";
    if (model.mCamera && aimed) return NearPlaceAndScale(host, model.mWorld) << " (aimed)";
    if (!model.mCamera) return Near(host, model.mWorld);
    double turn[4][4], turned[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            turn[i][j] = kHostCameraFromFile[i][j] * (i < 3 ? model.mScaling[i] : 1) / (j < 3 ? model.mScaling[j] : 1);
    Times(turn, model.mWorld, turned);
    return Near(host, turned) << " (turned)";
}

// The world matrices of a host path before and after a trip: a camera's without its scaling, which
// the export writes as 1 (the nodes below it take it), a node the log names in placedOnly by its
// position alone, any other exactly.
::testing::AssertionResult SameWorld(const std::string& path, const TMatrix& a, const TMatrix& b, bool camera,
                                     const NameSet& placedOnly) {
    if (placedOnly.count(path.substr(path.rfind('|') + 1))) return NearPlace(a.matrix, b.matrix);
    if (!camera) return Near(a.matrix, b.matrix);
    double x[4][4], y[4][4];
    Unscaled(a.matrix, x);
    Unscaled(b.matrix, y);
    return Near(x, y);
}

// cameras: keys whose matrices are compared without scaling; placedOnly: names whose position alone
// is (SameWorld).
::testing::AssertionResult SameTree(const Tree& a, const Tree& b, const NameSet& cameras = {},
                                    const NameSet& placedOnly = {}) {
    std::string gone, added;
    for (const auto& entry : a) if (!b.count(entry.first)) gone += " " + entry.first;
    for (const auto& entry : b) if (!a.count(entry.first)) added += " " + entry.first;
    if (!gone.empty() || !added.empty()) return ::testing::AssertionFailure() << "gone:" << gone << "\nnew:" << added;
    for (const auto& [path, matrix] : a) {
        const auto found = b.find(path);
        if (found == b.end()) return ::testing::AssertionFailure() << path << " is gone";
        const ::testing::AssertionResult near =
            SameWorld(path, matrix, found->second, cameras.count(path) > 0, placedOnly);
        if (!near) return ::testing::AssertionFailure() << path << ": " << near.message();
    }
    for (const auto& entry : b)
        if (!a.count(entry.first)) return ::testing::AssertionFailure() << entry.first << " is new";
    return ::testing::AssertionSuccess();
}

// The node's transform children, shapes left out.
std::vector<std::string> Children(const TObject& node) {
    std::vector<std::string> names;
    TFnDagNode dag(node);
    for (unsigned i = 0; i < dag.childCount(); ++i)
        if (!dag.child(i).hasFn(2002)) names.push_back(TFnDependencyNode(dag.child(i)).name().asChar());
    return names;
}

double PlugDouble(const std::string& name) {
    const TPlug plug = standin::plug(name);
    double value = std::nan("");
    if (!plug.isNull()) plug.getValue(value);
    return value;
}

class RigPropertyTest : public ZeqTuloImportTest, public ::testing::WithParamInterface<unsigned> {
protected:
    bool ImportAtZero(const std::string& path) {
        if (!Run("file -f -new") || !Run("ZEQImport -f \"" + path + "\" -take 0")) return false;
        TAnimControl::setCurrentTime(TTime(0.0, TTime::kSeconds));
        return true;
    }
};

// (d) The cameras of the file that aim at nothing, each with its roll in every take: a camera in a
// look-at group that is not the group's camera (its aim, say) takes none of the group's twist.
std::string RolledWithoutAim(const std::string& path) {
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    if (!Read(manager, *scene, path)) return "<unread>";
    std::string rolled;
    VisitDepthFirst(scene->GetRootNode(), [&](KZeqNode& node) {
        if (!node.GetCamera() || node.GetTarget()) return;
        for (int t = 0; t < node.GetTakeNodeCount(); ++t) {
            KFCurve* roll = node.GetTakeNode(t)->GetCameraRoll();
            if (roll && (roll->GetValue() != 0 || roll->KeyGetCount() > 0))
                rolled += std::string(" ") + node.GetNameWithoutNameSpacePrefix().Buffer();
        }
    });
    return rolled;
}

TEST_P(RigPropertyTest, ArriveInPlaceAndComeBackAlike) {
    Generated generated;
    const std::string file = Write(
        "rigs",
        [&](KZeqSdkManager& m, KZeqScene& s) {
            Generator generator(m, s, GetParam());
            for (int set = 0; set < kSetsPerFile; ++set) generator.Set(set);
            generated = generator.mOut;
        },
        GetParam() % 2 == 0);
    Collect(file, generated);
    ASSERT_TRUE(Run("ZEQExportShowUI 0") && Run("ZEQImportShowUI 0"));
    ASSERT_TRUE(ImportAtZero(file));
    const std::string log = Log();

    // (c) An aim or up node the camera's look-at group does not hold is named in the log.
    std::map<std::vector<std::string>, bool> aimKeptOf;  // by the camera's file path
    for (const Aimed& aimed : generated.mAimed) {
        const std::vector<std::string> cameras = HostPathsOf(aimed.mPath);
        ASSERT_EQ(cameras.size(), 1u) << aimed.mCamera;
        TDagPath group;
        const TObject camera = standin::find(cameras[0]);
        ASSERT_TRUE(TDagPath::getAPathTo(camera, group) && group.pop(1));
        // What the host makes of the camera's look-at group.
        const ZeqTuloHostRig rig = group.length() > 0 ? ReadHostRig(group.node()) : ZeqTuloHostRig();
        const auto named = [](const TObject& node, const std::string& name) {
            return !node.isNull() && name == TFnDependencyNode(node).name().asChar();
        };
        const bool aimKept = !aimed.mAim.empty() && rig.Camera() == camera && named(rig.Aim(), aimed.mAim);
        const bool upKept = !aimed.mUp.empty() && aimKept && named(rig.Up(), aimed.mUp);
        aimKeptOf[aimed.mPath] = aimKept;
        const std::string about = "Camera " + aimed.mCamera + ": ";
        if (!aimed.mAim.empty() && !aimKept) {
            EXPECT_NE(log.find(about + "the host cannot aim it at " + aimed.mAim + " ("), std::string::npos)
                << aimed.mCamera << "\n" << log;
        }
        if (!aimed.mUp.empty() && !upKept) {
            EXPECT_TRUE(log.find(about + "its up-vector target " + aimed.mUp) != std::string::npos ||
                        log.find(about + "the host cannot take " + aimed.mUp) != std::string::npos)
                << aimed.mCamera << "\n" << log;
        }
    }

    // (a) Each model once, where the file has it. A camera the host does not aim (none in the file,
    // or its aim dropped) keeps its own rotation, turned onto the host's forward axis after its
    // scaling; what hangs below it keeps the file's place all the same, or its position where the
    // log says the rest could not be kept.
    const Tree imported = HostTree();
    const NameSet placedOnce = PlacedOnly(log);
    for (const Model& model : generated.mModels) {
        const std::vector<std::string> paths = HostPathsOf(model.mPath);
        std::string filePath, hostPaths;
        for (const std::string& n : model.mPath) filePath += "|" + n;
        for (const auto& entry : imported)
            if (entry.first.find(model.mPath.back()) != std::string::npos) hostPaths += " " + entry.first;
        ASSERT_EQ(paths.size(), 1u) << filePath << " is not in the host once:" << hostPaths;
        const auto kept = aimKeptOf.find(model.mPath);
        ASSERT_TRUE(!model.mTargeted || kept != aimKeptOf.end()) << filePath;
        EXPECT_TRUE(InFilePlace(model, imported.at(paths[0]).matrix, model.mTargeted && kept->second, placedOnce))
            << paths[0];
    }
    const auto groupsKeepTheirProperty = [&](const char* when) {
        for (const auto& [group, focus] : generated.mGroupProperties)
            EXPECT_DOUBLE_EQ(PlugDouble(group + ".Focus"), focus) << group << " " << when;
    };
    groupsKeepTheirProperty("imported");

    // (b) A host round trip gives back the tree of the first import (its rigs known by their
    // cameras, the cameras without the scaling the export leaves out), and a second one the first
    // trip's exactly; each where the log leaves a node its position alone.
    const NameSet cameras = HostCameras(true);
    const Tree first = HostTree(true);
    const std::string once = mDirectory + "once.zeq", twice = mDirectory + "twice.zeq";
    ASSERT_TRUE(Run("ZEQExport -f \"" + once + "\"") && ImportAtZero(once));
    EXPECT_TRUE(SameTree(first, HostTree(true), cameras, PlacedOnly(Log())));
    groupsKeepTheirProperty("after a round trip");
    // (d) on the host's file.
    EXPECT_EQ(RolledWithoutAim(once), "");
    const Tree second = HostTree();
    ASSERT_TRUE(Run("ZEQExport -f \"" + twice + "\"") && ImportAtZero(twice));
    EXPECT_TRUE(SameTree(second, HostTree(), {}, PlacedOnly(Log())));

    // The host program under --strict takes the file and its round trips as well (one case in
    // four: a process each).
    if (GetParam() % 4 == 1) {
        std::string script = "ZEQImportShowUI 0; ZEQExportShowUI 0; ZEQImport -f \"" + file + "\" -take 0";
        for (const char* trip : {"strict1.zeq", "strict2.zeq"})
            script += "; ZEQExport -f \"" + mDirectory + trip + "\"; file -f -new; ZEQImport -f \"" + mDirectory +
                      trip + "\" -take 0";
        std::string output;
        EXPECT_EQ(RunStandin(mDirectory, "--strict -c '" + script + "'", output), 0) << output;
        EXPECT_EQ(output.find("Host fault"), std::string::npos) << output;
    }
}

INSTANTIATE_TEST_SUITE_P(Rigs, RigPropertyTest, ::testing::Range(1u, 1u + kCases),
                         [](const ::testing::TestParamInfo<unsigned>& info) {
                             return "Seed" + std::to_string(info.param);
                         });

// ---- Merges (kImportLoadMode kMerge and kExclusiveMerge) of the generated files. (i) The file a
// scene was exported to, merged back into it, changes nothing; (ii) merged into a scene holding part
// of what its import makes (that scene less some of its nodes), a file gives what its import into
// an empty scene gives, and merged into all of it, nothing changes; (iii) an exclusive merge makes
// no node.

// The seeds of each merge mode, and the host program's (RigGeneratorTest); seed 2 makes no look-at
// group of three that EditSome can give a fourth node.
const unsigned kMergeSeeds[] = {1, 3, 4, 5, 6, 7, 8, 9};
const unsigned kStrictMergeSeeds[] = {4, 5};

// What a merge must keep of one host transform: its world matrix, its kind, the nodes a look-at
// group holds in order (its camera, aim and up: the camera's aims), its user property and its curves'
// keys.
struct NodeState {
    TMatrix mWorld;
    bool mCamera = false;
    std::string mType, mHeld, mValues;
    std::string mPath;  // the host's
};
using State = std::map<std::string, NodeState>;

// The host's transforms (its own cameras left out) by path, a look-at group named after the node it
// holds first (HostTree): the names of the groups the host makes for cameras of the file depend on
// the groups the scene holds already.
State HostState() {
    State state;
    ForEachHostTransform(true, [&state](const std::string& key, const TDagPath& path) {
        NodeState& node = state[key];
        node.mWorld = path.inclusiveMatrix();
        node.mPath = path.fullPathName().asChar();
        TFnDependencyNode fn(path.node());
        node.mType = fn.typeName().asChar();
        node.mCamera = path.hasFn(TFn::kCamera);
        if (path.apiType() == TFn::kLookAt)
            for (const std::string& child : Children(path.node())) node.mHeld += child + " ";
        for (const char* plug : {"translateX", "translateY", "translateZ", "rotateX", "rotateY", "rotateZ", "scaleX",
                                 "scaleY", "scaleZ", "visibility", "twist", "Focus"}) {
            const TPlug found = fn.findPlug(plug);
            if (found.isNull()) continue;
            TStatus animated;
            TFnAnimCurve curve(found, &animated);
            if (animated) {
                node.mValues += std::string(plug) + ":";
                for (unsigned k = 0; k < curve.numKeys(); ++k) {
                    char key[64];
                    std::snprintf(key, sizeof key, " %.9g %.9g", curve.time(k).as(TTime::kSeconds), curve.value(k));
                    node.mValues += key;
                }
                node.mValues += " ; ";
            } else if (std::string(plug) == "Focus" || std::string(plug) == "twist") {
                double value = 0;
                found.getValue(value);
                char text[64];
                std::snprintf(text, sizeof text, "%s %.9g ; ", plug, value);
                node.mValues += text;
            }
        }
    });
    return state;
}

// With values false, the nodes alone: their paths, kinds and what look-at groups hold. With
// exported, what the scene's own export merged back may change: a camera's own scaling, which the
// export writes as 1 (the nodes below it take it in), and the place of a node the export's log
// leaves its position alone (placedOnly, SameWorld). The world matrices of the host paths in
// elsewhere are left to another check.
::testing::AssertionResult SameState(const State& want, const State& got, bool values = true, bool exported = false,
                                     const NameSet& placedOnly = {}, const NameSet& elsewhere = {}) {
    std::string gone, added, differ;
    for (const auto& entry : want)
        if (!got.count(entry.first)) gone += " " + entry.first;
    for (const auto& entry : got)
        if (!want.count(entry.first)) added += " " + entry.first;
    for (const auto& [path, node] : want) {
        const auto found = got.find(path);
        if (found == got.end()) continue;
        const NodeState& other = found->second;
        const ::testing::AssertionResult near =
            SameWorld(path, node.mWorld, other.mWorld, exported && node.mCamera, placedOnly);
        if (!near && values && !elsewhere.count(other.mPath)) differ += "\n" + path + ": world " + near.message();
        if (node.mType != other.mType) differ += "\n" + path + ": " + node.mType + " against " + other.mType;
        if (node.mHeld != other.mHeld) differ += "\n" + path + ": holds " + node.mHeld + "against " + other.mHeld;
        if (values && !SameWords(node.mValues, other.mValues))
            differ += "\n" + path + ": " + node.mValues + "\n  against " + other.mValues;
    }
    if (gone.empty() && added.empty() && differ.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "gone:" << gone << "\nnew:" << added << differ;
}

// The dump less what the scene's own export merged back may change (SameState's exported): the
// scaling of each camera that `scaled` (a dump) shows scaled and its scaling offset, which takes what
// that scaling about its scaling pivot moved, and the transform values of the nodes directly below
// it, which take that scaling in. Their world matrices are RigMergeTest's to compare.
std::string WithoutCameraScaling(const std::string& dump, const std::string& scaled) {
    struct Block {
        std::string mPath, mType;
        std::vector<std::string> mLines;
    };
    const auto blocks = [](const std::string& text) {
        std::vector<Block> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("node ", 0) == 0) {
                const std::size_t blank = line.find(' ', 5);
                const std::string type = blank == std::string::npos ? "" : line.substr(blank + 1);
                out.push_back({line.substr(5, blank - 5), type, {}});
            } else if (out.empty()) {
                out.push_back({"", "", {}});
            }
            out.back().mLines.push_back(line);
        }
        return out;
    };
    const auto parent = [](const std::string& path) { return path.substr(0, path.rfind('|')); };
    const auto isValue = [](const std::string& line, std::initializer_list<const char*> plugs) {
        for (const char* plug : plugs)
            if (line.rfind(std::string("  value ") + plug + ".", 0) == 0) return true;
        return false;
    };
    // The camera shapes' transforms that show a scaling.
    std::map<std::string, bool> cameras;
    const std::vector<Block> shown = blocks(scaled);
    for (const Block& block : shown)
        if (block.mType == "camera") cameras[parent(block.mPath)] = false;
    for (const Block& block : shown)
        if (cameras.count(block.mPath))
            for (const std::string& line : block.mLines) cameras[block.mPath] |= isValue(line, {"scale"});
    std::string out;
    for (const Block& block : blocks(dump)) {
        const auto camera = cameras.find(block.mPath), above = cameras.find(parent(block.mPath));
        const bool own = camera != cameras.end() && camera->second;
        const bool below = above != cameras.end() && above->second && block.mType != "camera";
        for (const std::string& line : block.mLines)
            if (!(own && isValue(line, {"scale", "scalePivotTranslation"})) &&
                !(below && isValue(line, {"translate", "rotate", "scale"})))
                out += line + "\n";
    }
    return out;
}

// The lines of the log about the file's nodes ("Node ...", "Camera ...", "Light ...") but those
// saying that one of the host's own cameras is left out, which no mode makes.
std::string NodeLines(const std::string& log) {
    std::string lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        const std::size_t from = line.find_first_not_of('\t');
        if (from == std::string::npos) continue;
        const std::string text = line.substr(from);
        if (text.rfind("Node ", 0) != 0 && text.rfind("Camera ", 0) != 0 && text.rfind("Light ", 0) != 0) continue;
        const std::string leftOut = ": the host has its own camera of this name; it is left out.";
        if (text.size() > leftOut.size() && text.compare(text.size() - leftOut.size(), leftOut.size(), leftOut) == 0)
            continue;
        lines += text + "\n";
    }
    return lines;
}

// What the log says of nodes is true of the nodes that come in: an exclusive merge into a new scene
// makes none and says nothing of any (a node renamed beside a host camera's name, the nodes below
// a left-out host camera, a child the turn shears, a non-uniform scale, an aim the host cannot
// take, an up vector at the scene's root); into the scene the file's import made, it says all of it
// again. A scaling without keys is no animated one, whatever else of its node the take keys.
TEST_F(ImportModeTest, MessagesOnlyOfTheNodesThatComeIn) {
    const std::string file = Write(
        "said",
        [](KZeqSdkManager& m, KZeqScene& s) {
            const SceneNodes nodes =
                BuildScene(m, s, "persp=camera(Kid) top Cam=camera(Sheared) Stretched*(Inner) Away(Far) Aimer@Far");
            KZeqNode* camera = nodes.at("Cam").mNode;
            camera->SetDefaultS(KZeqVector4(1, 2, 3, 0));
            nodes.at("Sheared").mNode->SetDefaultR(KZeqVector4(30, 40, 0, 0));
            nodes.at("Stretched").mNode->SetDefaultS(KZeqVector4(1, 2, 1, 0));
        },
        true);
    std::string text = ZeqTuloReadFile(file);
    const std::string connections = "Connections: {\n";
    ASSERT_NE(text.find(connections), std::string::npos);
    text.insert(text.find(connections) + connections.size(),
                "\tConnect: \"OP\",\"Model::Scene\",\"Model::Aimer\",\"UpVectorProperty\"\n");
    std::ofstream(file, std::ios::binary) << text;
    const std::vector<std::string> said = {
        "Node top: the host has its own camera of this name; this node comes in as top1.",
        "Camera persp: the host has its own camera of this name; it is left out, and the 1 node below it comes in "
        "at the top.",
        "Node Sheared: the forward-axis turn of the camera Cam shears it",
        "Node Stretched: a non-uniform scale over children",
        "Camera Aimer: the host cannot aim it at Far (it is not beside the camera)",
        "Camera Aimer: its UpVectorProperty names the scene root"};
    ASSERT_TRUE(ImportAtZero(file));
    const std::string created = Log();
    for (const std::string& line : said) EXPECT_NE(created.find(line), std::string::npos) << line << "\n" << created;
    EXPECT_EQ(created.find("Node Stretched: an animated non-uniform scale"), std::string::npos) << created;

    LoadMode("kExclusiveMerge");
    std::size_t before = Log().size();
    ASSERT_TRUE(ImportAtZero(file));
    const std::string merged = Log().substr(before);
    for (const std::string& line : said) EXPECT_NE(merged.find(line), std::string::npos) << line << "\n" << merged;

    ASSERT_TRUE(Run("file -f -new"));
    before = Log().size();
    ASSERT_TRUE(ImportAtZero(file));
    const std::string none = Log().substr(before);
    EXPECT_EQ(NodeLines(none), "") << none;
    EXPECT_NE(none.find("Camera persp: the host has its own camera of this name; it is left out."), std::string::npos)
        << none;
}

class RigMergeTest : public ImportModeTest,
                     public ::testing::WithParamInterface<std::tuple<unsigned, std::string>> {
protected:
    // The generated file of the case.
    std::string File(Generated* generated = nullptr) {
        return Write(
            "rigs",
            [&](KZeqSdkManager& m, KZeqScene& s) {
                Generator generator(m, s, std::get<0>(GetParam()));
                for (int set = 0; set < kSetsPerFile; ++set) generator.Set(set);
                if (generated) *generated = generator.mOut;
            },
            std::get<0>(GetParam()) % 2 == 1);
    }
    // The file of the case and what it says of its models.
    std::string File(Generated& generated) {
        const std::string file = File(&generated);
        Collect(file, generated);
        return file;
    }
    // How many look-at groups EditSome changed, by the change.
    struct Edits {
        int mAimsDeleted = 0, mGroupsOfFour = 0;
    };
    // The part of its import a file is merged into: every other look-at group of two loses its aim
    // (its camera is aimed at nothing then), every other one of three that is a node of the file
    // takes a node of the user's ("Extra<n>": the host aims a group of four as one of three), and so does
    // every other look-at group the host made (which a merge finds by the rig's nodes it holds, and
    // completes before the user's node), each keeping the rest of its nodes and its parents; then
    // about a fifth of the other transforms go (each with what hangs below it), and the look-at
    // groups of the host's own left holding no node of the file.
    Edits EditSome(const std::vector<std::string>& fileNodes) {
        std::mt19937 random(std::get<0>(GetParam()) * 7919u);
        std::vector<std::string> doomed, groups, aims, fours;
        int twos = 0, threes = 0, hosts = 0, usersInHosts = 0;
        for (TItDag it(TItDag::kDepthFirst, TFn::kTransform); !it.isDone(); it.next()) {
            TDagPath path;
            it.getPath(path);
            if (HostViewCamera(path)) continue;
            const std::string full = path.fullPathName().asChar();
            if (path.apiType() == TFn::kLookAt) {
                const bool own = std::find(fileNodes.begin(), fileNodes.end(), full) == fileNodes.end();
                if (own) groups.push_back(full);
                const std::vector<std::string> held = Children(path.node());
                if (held.size() == 2 && twos++ % 2 == 0) aims.push_back(full + "|" + held[1]);
                // A node of the file's, or one the host made (found by the nodes of the rig it holds).
                if (held.size() == 3 && !own && threes++ % 2 == 0) fours.push_back(full);
                if (own && hosts++ % 2 == 0) {
                    fours.push_back(full);
                    ++usersInHosts;
                }
            }
            if (std::uniform_int_distribution<int>(0, 4)(random) == 0) doomed.push_back(full);
        }
        std::vector<std::string> kept = fours;
        for (const std::string& aim : aims) kept.push_back(aim.substr(0, aim.rfind('|')));
        const auto related = [](const std::string& a, const std::string& b) {
            return a == b || b.rfind(a + "|", 0) == 0 || a.rfind(b + "|", 0) == 0;
        };
        doomed.erase(std::remove_if(doomed.begin(), doomed.end(),
                                    [&](const std::string& path) {
                                        return std::any_of(kept.begin(), kept.end(),
                                                           [&](const std::string& group) { return related(path, group); });
                                    }),
                     doomed.end());
        doomed.insert(doomed.end(), aims.begin(), aims.end());
        for (std::size_t i = 0; i < fours.size(); ++i) {
            TFnTransform make;
            TFnDagNode(make.create(standin::find(fours[i]))).setName(TString(("Extra" + std::to_string(i)).c_str()));
        }
        // The deepest first: a node deleted with its parent is gone.
        std::sort(doomed.begin(), doomed.end(), [](const std::string& a, const std::string& b) {
            return std::count(a.begin(), a.end(), '|') > std::count(b.begin(), b.end(), '|');
        });
        for (const std::string& path : doomed) {
            const TObject node = standin::find(path);
            if (!node.isNull()) {
                EXPECT_TRUE(TGlobal::deleteNode(node)) << path;
            }
        }
        for (const std::string& path : groups) {
            const TObject group = standin::find(path);
            if (!group.isNull() && Children(group).empty()) {
                EXPECT_TRUE(TGlobal::deleteNode(group)) << path;
            }
        }
        return {static_cast<int>(aims.size()), static_cast<int>(fours.size()) - usersInHosts};
    }
};

// Whether the host aims the camera at the path: the camera of its look-at group, with an aim.
bool AimedWhereItIs(const TDagPath& camera) {
    TDagPath group = camera;
    if (!group.pop(1) || group.length() == 0) return false;
    const ZeqTuloHostRig rig = ReadHostRig(group.node());
    return rig.mPlaces.Aims() && rig.Camera() == camera.node();
}

// How many cameras hold a place after the first in their look-at group.
int LaterCameras(const State& state) {
    int later = 0;
    for (const auto& [key, node] : state) {
        if (node.mType != "lookAt") continue;
        std::istringstream held(node.mHeld);
        std::string name;
        held >> name;
        while (held >> name) {
            const auto found = state.find(key + "|" + name);
            if (found != state.end() && found->second.mCamera) ++later;
        }
    }
    return later;
}

TEST_P(RigMergeTest, ChangesOnlyWhatTheFileChanges) {
    const std::string mode = std::get<1>(GetParam());
    Generated generated;
    const std::string file = File(generated);
    ASSERT_TRUE(Run("ZEQExportShowUI 0") && ImportAtZero(file));
    const State imported = HostState();
    std::vector<std::string> fileNodes;
    for (const Model& model : generated.mModels)
        for (const std::string& path : HostPathsOf(model.mPath)) fileNodes.push_back(path);

    // (i) The scene's own file, merged back.
    const std::string own = mDirectory + "own.zeq";
    const std::size_t before = Log().size();
    ASSERT_TRUE(Run("ZEQExport -f \"" + own + "\""));
    LoadMode(mode);
    ASSERT_TRUE(ImportAtZero(own));
    EXPECT_TRUE(SameState(imported, HostState(), true, true, PlacedOnly(Log().substr(before))))
        << "merged with its own export\n" << Log().substr(before);
    // (ii) The file merged into all of its import.
    ASSERT_TRUE(ImportAtZero(file));
    EXPECT_TRUE(SameState(imported, HostState())) << "merged into its import";

    // (ii), (iii) The file merged into part of its import: a merge gives the nodes of the import and
    // keeps the user's, an exclusive one makes none; the nodes of the file are where the file has
    // them, each camera aimed or turned as it ends in the host, the rest as they were. The part
    // reaches the shapes the host's aiming turns on: a look-at group left with its camera alone, one
    // of four, a camera after the first place of one.
    const Edits edits = EditSome(fileNodes);
    EXPECT_GT(edits.mAimsDeleted, 0) << "no look-at group of two";
    EXPECT_GT(edits.mGroupsOfFour, 0) << "no look-at group of three";
    EXPECT_GT(LaterCameras(imported), 0) << "no camera aimed at or up to by another";
    const State part = HostState();
    const std::size_t merging = Log().size();
    ASSERT_TRUE(ImportAtZero(file));
    const std::string log = Log().substr(merging);
    State want = part;
    if (mode == "kMerge") {
        // The user's nodes stay, in their look-at groups after the rig's nodes.
        want = imported;
        for (const auto& [key, node] : part) {
            if (key.compare(key.rfind('|') + 1, 5, "Extra") == 0) want[key] = node;
            if (node.mHeld.find(" Extra") == std::string::npos) continue;
            NodeState& group = want[key];
            group = node;
            if (imported.count(key)) group.mHeld = imported.at(key).mHeld;
            std::istringstream held(node.mHeld);
            for (std::string name; held >> name;)
                if (name.rfind("Extra", 0) == 0) group.mHeld += name + " ";
        }
    }
    const NameSet placedOnly = PlacedOnly(log);
    NameSet fileHeld;
    for (const Model& model : generated.mModels) {
        const std::vector<std::string> paths = HostPathsOf(model.mPath);
        if (paths.empty()) continue;
        ASSERT_EQ(paths.size(), 1u) << model.mPath.back();
        TDagPath path;
        ASSERT_TRUE(TDagPath::getAPathTo(standin::find(paths[0]), path)) << paths[0];
        EXPECT_TRUE(InFilePlace(model, path.inclusiveMatrix().matrix, AimedWhereItIs(path), placedOnly))
            << paths[0] << " merged into part of its import\n" << log;
        fileHeld[paths[0]] = true;
    }
    EXPECT_TRUE(SameState(want, HostState(), true, false, placedOnly, fileHeld))
        << "merged into part of its import\n" << log;
    // Said only of a camera outside a look-at group.
    const std::string outside = ": it was in the host scene before, outside a look-at group";
    std::istringstream said(log);
    for (std::string line; std::getline(said, line);) {
        const std::size_t from = line.find("Camera "), to = line.find(outside);
        if (from == std::string::npos || to == std::string::npos) continue;
        const TObject camera = standin::find(line.substr(from + 7, to - from - 7));
        EXPECT_FALSE(!camera.isNull() && TFnDagNode(camera).parent(0).hasFn(TFn::kLookAt)) << line;
    }

    // (iii) An exclusive merge into a new scene speaks of none of the nodes it does not make.
    if (mode == "kExclusiveMerge") {
        ASSERT_TRUE(Run("file -f -new"));
        const std::size_t fresh = Log().size();
        ASSERT_TRUE(ImportAtZero(file));
        EXPECT_EQ(NodeLines(Log().substr(fresh)), "") << Log().substr(fresh);
    }
}

// The host program under --strict: a generated file merged into the scene its import made, and
// that scene's own export merged back, change no line of the host's dump (but for the scaling of
// cameras, which the export writes into the nodes below them); an exclusive merge into a new scene
// makes no node.
using RigMergeStrictTest = RigMergeTest;

TEST_P(RigMergeStrictTest, TheHostProgramMergesAlike) {
    const std::string mode = std::get<1>(GetParam());
    const std::string file = File();
    std::ofstream(mDirectory + "zeqplugins6.0registry.txt") << "[Tulo60]\nkImportLoadMode = " << mode << "\n";
    const auto quoted = [this](const char* name) { return "\"" + mDirectory + name + "\""; };
    const std::string import = "ZEQImport -f \"" + file + "\" -take 0";
    std::string script = "--strict -c 'ZEQExportShowUI 0; ZEQImportShowUI 0' -c 'standin_dump -o " + quoted("new.dump") +
                         "' -c '" + import + "' -c 'standin_dump -o " + quoted("first.dump") + "'";
    if (mode == "kMerge")
        script += " -c '" + import + "' -c 'standin_dump -o " + quoted("again.dump") + "' -c 'ZEQExport -f " +
                  quoted("own.zeq") + "; ZEQImport -f " + quoted("own.zeq") + " -take 0' -c 'standin_dump -o " +
                  quoted("own.dump") + "'";
    std::string output;
    ASSERT_EQ(RunStandin(mDirectory, script, output), 0) << output;
    EXPECT_EQ(output.find("Host fault"), std::string::npos) << output;
    const auto dump = [this](const char* name) { return ZeqTuloReadFile(mDirectory + name); };
    if (mode == "kMerge") {
        EXPECT_TRUE(SameDump(dump("first.dump"), dump("again.dump"))) << "the file merged into its import";
        EXPECT_TRUE(SameDump(WithoutCameraScaling(dump("first.dump"), dump("first.dump")),
                             WithoutCameraScaling(dump("own.dump"), dump("first.dump"))))
            << "the import's own export merged back";
    } else {
        EXPECT_TRUE(SameDump(dump("new.dump"), dump("first.dump"))) << "an exclusive merge into a new scene";
    }
}

std::string MergeCaseName(const ::testing::TestParamInfo<std::tuple<unsigned, std::string>>& info) {
    return std::get<1>(info.param).substr(1) + "Seed" + std::to_string(std::get<0>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Rigs, RigMergeTest,
                         ::testing::Combine(::testing::ValuesIn(kMergeSeeds),
                                            ::testing::Values("kMerge", "kExclusiveMerge")),
                         MergeCaseName);
INSTANTIATE_TEST_SUITE_P(Rigs, RigMergeStrictTest,
                         ::testing::Combine(::testing::ValuesIn(kStrictMergeSeeds),
                                            ::testing::Values("kMerge", "kExclusiveMerge")),
                         MergeCaseName);

std::vector<unsigned> SeedsUpTo(unsigned last) {
    std::vector<unsigned> seeds;
    for (unsigned seed = 1; seed <= last; ++seed) seeds.push_back(seed);
    return seeds;
}

// Each rig suite runs few seeds; together they reach every kind of node the generator makes. Where a
// change of the generator leaves a kind out, other seeds are to be chosen.
TEST(RigGeneratorTest, EachSuiteReachesEveryKind) {
    EXPECT_EQ(MissedKinds(SeedsUpTo(kCases)), "") << "RigPropertyTest";
    EXPECT_EQ(MissedKinds({std::begin(kMergeSeeds), std::end(kMergeSeeds)}), "") << "RigMergeTest";
    EXPECT_EQ(MissedKinds({std::begin(kStrictMergeSeeds), std::end(kStrictMergeSeeds)}), "") << "RigMergeStrictTest";
}

}  // namespace
