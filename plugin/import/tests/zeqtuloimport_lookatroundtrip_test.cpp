// Look-at groups holding the user's nodes, out of the host and back. The host's camera command makes
// each rig (a camera, its aim, with an up node or without), renamed as a user names nodes; the user
// puts one or two nodes of theirs into its group, a null, a mesh or a light, in every place: first,
// after the camera, after the aim, last. Rigs at the top and below a parent, all in one scene.
// Exported and imported into a new scene, every group comes back once, holding the same nodes in
// the same order, its camera aimed at its aim with its up node (as the host reads the group), every
// node of the user's of its kind, with its shape and its values; a second trip changes nothing; and
// the file merged into the scene it came from changes nothing in either merge mode.
#include "importtest_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/zeqtulolookatrig.h"
#include "tulo.h"

using namespace importtest;

namespace {

enum class Kind { kNull, kMesh, kLight };

struct UsersNode {
    Kind mKind;
    int mSlot;  // before the rig's node of that index (0 first, 1 after the camera, ...), or last
};

struct RigCase {
    bool mUp;
    bool mBelow;  // below the parent Holder, else at the top
    std::vector<UsersNode> mUsers;
};

// Every kind in every slot alone, and every pair of slots (in order) with kinds in turn; with an up
// node and without, at the top and below a parent.
std::vector<RigCase> Cases() {
    std::vector<RigCase> cases;
    for (bool below : {false, true})
        for (bool up : {false, true}) {
            const int slots = up ? 4 : 3;
            for (int kind = 0; kind < 3; ++kind)
                for (int slot = 0; slot < slots; ++slot) cases.push_back({up, below, {{Kind(kind), slot}}});
            int turn = 0;
            for (int first = 0; first < slots; ++first)
                for (int second = first; second < slots; ++second, ++turn)
                    cases.push_back({up, below, {{Kind(turn % 3), first}, {Kind((turn + 1) % 3), second}}});
        }
    return cases;
}

std::string Name(const TObject& node) { return TFnDependencyNode(node).name().asChar(); }

// The host's dump, the members of each set in the order of their paths: a set takes its members
// in the order the import meets them, and the import makes a look-at group at the top before the
// other nodes there, so that the world's order changes on the first trip.
std::string MembersInOrder(const std::string& dump) {
    std::istringstream in(dump);
    std::string out;
    std::vector<std::string> members;
    const auto flush = [&] {
        std::sort(members.begin(), members.end());
        for (const std::string& member : members) out += member + "\n";
        members.clear();
    };
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("  member ", 0) == 0) {
            members.push_back(line);
            continue;
        }
        flush();
        out += line + "\n";
    }
    flush();
    return out;
}

// The node's rotation in degrees, as a file of floats keeps it.
std::string Turn(const TObject& node) {
    TEulerRotation turn;
    TFnTransform(node).getRotation(turn);
    char text[64];
    std::snprintf(text, sizeof(text), "%.4f %.4f %.4f", turn.x * 180 / M_PI, turn.y * 180 / M_PI, turn.z * 180 / M_PI);
    return text;
}

class LookAtRoundTripTest : public ImportModeTest {
protected:
    // Runs a host text; false with the host's answer.
    ::testing::AssertionResult Host(const std::string& text) {
        if (Run(text)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the host refused: " << text;
    }

    // The rig of the case, numbered i: made by the camera command, named as a user names nodes, the
    // user's nodes put into its group where the case says (their names before the camera's, as
    // the import meets nodes).
    void BuildRig(int i, const RigCase& c) {
        const std::string n = std::to_string(i);
        ASSERT_TRUE(Host(std::string("camera; cameraMakeNode ") + (c.mUp ? "3" : "2") + " \"\""));
        TSelectionList selection;
        TGlobal::getActiveSelectionList(selection);
        ASSERT_EQ(selection.length(), c.mUp ? 3u : 2u);
        TObject camera, aim, up;
        selection.getDependNode(0, camera);
        selection.getDependNode(c.mUp ? 2 : 1, aim);
        if (c.mUp) selection.getDependNode(1, up);
        TObject group = TFnDagNode(camera).parent(0);
        TFnDagNode(group).setName(TString(("Rig" + n).c_str()));
        TFnDagNode(camera).setName(TString(("View" + n).c_str()));
        TFnDagNode(aim).setName(TString(("Target" + n).c_str()));
        TFnTransform(camera).setTranslation(TVector(i, 2, 3), TSpace::kTransform);
        TFnTransform(aim).setTranslation(TVector(5, i, -2), TSpace::kTransform);
        std::vector<TObject> rig{camera, aim};
        if (c.mUp) {
            TFnDagNode(up).setName(TString(("Up" + n).c_str()));
            TFnTransform(up).setTranslation(TVector(1, 9, i), TSpace::kTransform);
            rig.push_back(up);
        }
        std::vector<TObject> order;
        for (std::size_t slot = 0; slot <= rig.size(); ++slot) {
            for (std::size_t k = 0; k < c.mUsers.size(); ++k)
                if (c.mUsers[k].mSlot == static_cast<int>(slot))
                    order.push_back(UsersNode(i, k, c.mUsers[k].mKind, group));
            if (slot < rig.size()) order.push_back(rig[slot]);
        }
        // In the group's order, as the host's commands move nodes out and back.
        for (TObject& node : order) {
            TFnDagNode(group).removeChild(node);
            TFnDagNode(group).addChild(node);
        }
        if (c.mBelow) {
            ASSERT_TRUE(Host("parent Rig" + n + " Holder"));
        }
    }

    // A node of the user's in the group: a null (a transform with its locator), a mesh or a light,
    // each placed and turned.
    static TObject UsersNode(int i, std::size_t k, Kind kind, const TObject& group) {
        const std::string name = "Mine" + std::to_string(i) + "_" + std::to_string(k);
        TObject node;
        switch (kind) {
        case Kind::kNull:
            node = standin::createNode("transform", name, group);
            standin::createNode("locator", "", node);
            break;
        case Kind::kMesh: node = TFnDagNode(standin::createCube(name, false, 2, group)).parent(0); break;
        case Kind::kLight: {
            TFnPointLight light;
            const TObject shape = light.create(group);
            light.setIntensity(0.5 + i);
            node = TFnDagNode(shape).parent(0);
            TFnDagNode(node).setName(TString(name.c_str()));
            TFnDagNode(shape).setName(TString((name + "Shape").c_str()));
            break;
        }
        }
        TFnTransform transform(node);
        transform.setTranslation(TVector(7, 8, 9 + static_cast<double>(k)), TSpace::kTransform);
        // Radians a float holds exactly, as the file does.
        const double turn[3] = {0.125 * static_cast<double>(i % 7), 0.25, 0.375 * static_cast<double>(k)};
        transform.setRotation(turn, TTransformationMatrix::kXYZ);
        return node;
    }

    void Build() {
        TFnTransform(standin::createNode("transform", "Holder")).setTranslation(TVector(0, 0, 4), TSpace::kTransform);
        const std::vector<RigCase> cases = Cases();
        for (std::size_t i = 0; i < cases.size(); ++i) ASSERT_NO_FATAL_FAILURE(BuildRig(static_cast<int>(i), cases[i]));
    }

    // Each look-at group of the host: its path, its nodes in order, what the host makes of them,
    // and of each node its shape's kind and name and its values.
    static std::map<std::string, std::string> Rigs() {
        std::map<std::string, std::string> rigs;
        for (TItDag it(TItDag::kDepthFirst, TFn::kLookAt); !it.isDone(); it.next()) {
            TDagPath path;
            it.getPath(path);
            const ZeqTuloHostRig rig = ReadHostRig(path.node());
            std::string& text = rigs[path.fullPathName().asChar()];
            text += "camera " + Name(rig.Camera()) + ", aim " +
                    (rig.Aim().isNull() ? "none" : Name(rig.Aim())) + ", up " +
                    (rig.Up().isNull() ? "none" : Name(rig.Up())) + "\n";
            for (const TObject& node : rig.mNodes) {
                const std::string name = Name(node);
                text += "  " + name + " at " + HostAttr(name + ".translate");
                const TFnDagNode dag(node);
                const TObject shape = dag.childCount() > 0 ? dag.child(0) : TObject();
                const bool users = name.rfind("Mine", 0) == 0;
                if (users && !shape.isNull()) {
                    text += " turned " + Turn(node) + ", " + shape.apiTypeStr() + " " + Name(shape);
                    if (shape.hasFn(TFn::kMesh))
                        text += " of " + std::to_string(TFnMesh(shape).numVertices()) + " points";
                    if (shape.hasFn(TFn::kPointLight))
                        text += " at " + std::to_string(TFnPointLight(shape).intensity()) + " intensity";
                }
                text += "\n";
            }
        }
        return rigs;
    }

    // The groups that differ, each as it was and as it is.
    static ::testing::AssertionResult SameRigs(const std::map<std::string, std::string>& want,
                                               const std::map<std::string, std::string>& got) {
        std::string differ;
        for (const auto& [path, text] : want) {
            const auto found = got.find(path);
            if (found == got.end()) differ += path + " is gone\n";
            else if (found->second != text) differ += path + ":\n" + text + "against\n" + found->second;
        }
        for (const auto& entry : got)
            if (!want.count(entry.first)) differ += entry.first + " is new\n";
        if (differ.empty()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << differ;
    }

    // Imports the file (it holds no take).
    ::testing::AssertionResult ImportFile(const std::string& file) { return Host("ZEQImport -f \"" + file + "\""); }

    std::string Export(const char* name) {
        const std::string file = mDirectory + name + ".zeq";
        EXPECT_TRUE(Host("ZEQExport -f \"" + file + "\""));
        return file;
    }
};

TEST_F(LookAtRoundTripTest, EachGroupComesBackWithTheUsersNodesAndTheRigItHeld) {
    ASSERT_TRUE(Host("ZEQExportShowUI 0"));
    ASSERT_NO_FATAL_FAILURE(Build());
    const std::map<std::string, std::string> built = Rigs();
    // The host aims each camera at the aim the command made, with its up node.
    const std::vector<RigCase> cases = Cases();
    ASSERT_EQ(built.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string n = std::to_string(i);
        const auto found = built.find((cases[i].mBelow ? "|Holder|Rig" : "|Rig") + n);
        ASSERT_NE(found, built.end()) << n;
        EXPECT_EQ(found->second.substr(0, found->second.find('\n')),
                  "camera View" + n + ", aim Target" + n + ", up " + (cases[i].mUp ? "Up" + n : std::string("none")));
    }

    const std::string first = Export("first");
    ASSERT_TRUE(Host("file -f -new") && ImportFile(first));
    EXPECT_TRUE(SameRigs(built, Rigs()));
    const std::string imported = MembersInOrder(standin::dump());

    const std::string second = Export("second");
    ASSERT_TRUE(Host("file -f -new") && ImportFile(second));
    EXPECT_TRUE(SameDump(MembersInOrder(standin::dump()), imported));
}

// The file merged into the scene it came from, in either mode, changes nothing.
TEST_F(LookAtRoundTripTest, TheFileMergedIntoItsSceneChangesNothing) {
    ASSERT_TRUE(Host("ZEQExportShowUI 0"));
    ASSERT_NO_FATAL_FAILURE(Build());
    const std::string before = MembersInOrder(standin::dump());
    const std::string file = Export("own");
    for (const char* mode : {"kMerge", "kExclusiveMerge"}) {
        LoadMode(mode);
        const std::size_t logged = Log().size();
        ASSERT_TRUE(ImportFile(file)) << mode;
        EXPECT_TRUE(SameDump(before, MembersInOrder(standin::dump()))) << mode;
        // Nothing to say of a camera: each holds its rig as the file has it.
        EXPECT_EQ(Log().find("Camera ", logged), std::string::npos) << mode << "\n" << Log().substr(logged);
    }
}

}  // namespace
