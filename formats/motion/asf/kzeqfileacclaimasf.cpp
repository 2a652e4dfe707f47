// Acclaim ASF skeleton text, as this reader takes it:
//
//   :version 1.10
//   :name VICON
//   :units            mass 1.0 / length 0.45 / angle deg|rad (one per line)
//   :documentation    free text up to the next section
//   :root             axis XYZ / order TX TY TZ RX RY RZ / position x y z / orientation x y z
//   :bonedata         begin ... end per bone: id, name, direction x y z, length,
//                     axis x y z XYZ, dof rx ry rz (and tx ty tz, l), limits (min max)
//                     per dof across lines, bodymass, cofmass
//   :hierarchy        begin / "parent child child ..." per line / end
//   :skin             up to three file names
//
// Keywords match case-insensitively as prefixes; commas and parentheses are
// blanks; "#" starts a comment line. Lengths are in file units (inches over
// the length unit); angles in degrees or, with "angle rad", radians.

#include "formats/motion/asf/kzeqfileacclaimasf.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <optional>

#include "formats/motion/asf/kzeqasfscene.h"

namespace zeqsdk_400 {

namespace {

const char kDelimiters[] = " \t, ()\r\n";

// Each axis word names its Euler order, first axis applied first.
const int kAxisOrderCodes[6] = {10, 2, 6, 4, 8, 0};
const char* const kOrderNames[6] = {"tx", "ty", "tz", "rz", "ry", "rx"};

template <std::size_t N>
void Fill(KToken (&table)[N], std::initializer_list<const char*> words) {
    std::size_t i = 0;
    for (const char* word : words) table[i++] = {word, 0};
    for (; i < N; ++i) table[i] = {nullptr, 0};
}

bool SameWordNoCase(const char* text, const char* word) {
    std::size_t i = 0;
    for (; word[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) return false;
    return text[i] == '\0' || std::strchr(kDelimiters, text[i]) != nullptr;
}

}  // namespace

struct KZeqFileAcclaimAsf::Tokens {
    KToken mMain[10], mUnits[4], mRoot[5], mGroup[3], mBoneData[10], mAngle[3], mAxis[7], mOrder[7], mDof[8];

    Tokens() {
        Fill(mMain, {":version", ":name", ":units", ":documentation", ":root", ":bonedata", ":hierarchy", ":skin", ":"});
        Fill(mUnits, {"mass", "length", "angle"});
        Fill(mRoot, {"axis", "order", "position", "orientation"});
        Fill(mGroup, {"begin", "end"});
        Fill(mBoneData, {"id", "name", "direction", "length", "axis", "dof", "limits", "bodymass", "cofmass"});
        Fill(mAngle, {"deg", "rad"});
        Fill(mAxis, {"zyx", "xzy", "yxz", "yzx", "zxy", "xyz"});
        Fill(mOrder, {"tx", "ty", "tz", "rz", "ry", "rx"});
        Fill(mDof, {"tx", "ty", "tz", "rz", "ry", "rx", "l"});
    }
};

KZeqFileAcclaimAsf::KZeqFileAcclaimAsf(bool messages)
    : KTextFile("ASF", kDelimiters, "#", true, messages), mTokens(std::make_unique<Tokens>()) {}

KZeqFileAcclaimAsf::~KZeqFileAcclaimAsf() = default;

bool KZeqFileAcclaimAsf::AtSection() const { return Check(mTokens->mMain) >= 0; }

KZeqFileAcclaimAsf::ESection KZeqFileAcclaimAsf::SkipToSection() {
    while (NextLine())
        if (AtSection()) return ESection::kNext;
    return IsEndOfFile() ? ESection::kEnd : ESection::kError;
}

bool KZeqFileAcclaimAsf::ReadNumber(double& value) {
    double read = 0.0;
    if (!GetDouble(read, 1.0) || !std::isfinite(read)) return false;
    value = read;
    return true;
}

bool KZeqFileAcclaimAsf::ReadVector(double* values) {
    double read[3];
    if (!GetVector(read, 1.0)) return false;
    for (double v : read)
        if (!std::isfinite(v)) return false;
    std::memcpy(values, read, sizeof(read));
    return true;
}

int KZeqFileAcclaimAsf::ReadAxisOrder() {
    InitTokens(mTokens->mAxis);
    const int index = Handle(mTokens->mAxis);
    return index >= 0 ? kAxisOrderCodes[index] : -1;
}

// ---- Reading ---------------------------------------------------------------------------------

bool KZeqFileAcclaimAsf::Read(KZeqAsfScene* scene, bool removeDummies) {
    mScene = scene;
    if (!scene) return false;
    bool loaded = FirstLine();
    // FirstLine keeps a leading comment line, which is no section.
    if (loaded && *GetCursor() == '#') loaded = NextLine();
    ESection state = loaded ? ESection::kNext : (IsEndOfFile() ? ESection::kEnd : ESection::kError);
    Tokens& t = *mTokens;
    while (state == ESection::kNext) {
        InitTokens(t.mMain);
        switch (Handle(t.mMain)) {
            case 0: state = ReadVersion(); break;
            case 1: state = ReadName(); break;
            case 2: state = ReadUnits(); break;
            case 3: state = ReadDocumentation(); break;
            case 4: state = ReadRoot(); break;
            case 5: state = ReadBoneData(); break;
            case 6: state = ReadHierarchy(); break;
            case 7: state = ReadSkin(); break;
            default:
                Warning("Ignoring unknown keyword (:%s)\n", GetCursor());
                state = SkipToSection();
                break;
        }
    }
    if (state == ESection::kError) return false;
    KZeqAsfNode* root = scene->GetRoot();
    if (!root) {
        Error("No root\n");
        return false;
    }
    if (root->GetHeight() > KZeqAsfScene::kMaxDepth) {
        Error("Skeleton hierarchy too deep\n");
        return false;
    }
    root->SetupPosition();
    if (removeDummies) root->RemoveDummy();
    return true;
}

KZeqFileAcclaimAsf::ESection KZeqFileAcclaimAsf::ReadVersion() {
    double version = 0.0;
    if (GetDouble(version, 1.0)) {
        if (!(std::trunc(100.0 * version) == 110.0)) Warning("Bad File format version (%f), trying 1.10\n", version);
    } else {
        Warning("Can't read file format version (%s), trying version 1.10\n", GetCursor());
    }
    return SkipToSection();
}

KZeqFileAcclaimAsf::ESection KZeqFileAcclaimAsf::ReadName() {
    char name[KZeqAsfScene::kMaxSceneNameLength + 1];
    if (GetString(name, KZeqAsfScene::kMaxSceneNameLength)) {
        mScene->SetName(name);
    } else {
        mScene->SetName("Untitled");
        Warning("Can't read skeleton name, using \"%s\"\n", mScene->GetName());
    }
    // Unit lines may follow the name without a ":units" line.
    return ReadUnits();
}

KZeqFileAcclaimAsf::ESection KZeqFileAcclaimAsf::ReadUnits() {
    Tokens& t = *mTokens;
    while (NextLine()) {
        if (AtSection()) return ESection::kNext;
        InitTokens(t.mUnits);
        switch (Handle(t.mUnits)) {
            case 0:
                if (!ReadNumber(mScene->mMassUnit)) Warning("Can't read mass unit, using %f\n", mScene->mMassUnit);
                break;
            case 1:
                if (!ReadNumber(mScene->mLengthUnit))
                    Warning("Can't read length unit, using %f\n", mScene->mLengthUnit);
                break;
            case 2:
                InitTokens(t.mAngle);
                switch (Handle(t.mAngle)) {
                    case 0: mScene->mAngleFactor = 1.0; break;
                    case 1: mScene->mAngleFactor = KM_RAD_TO_DEG; break;
                    default: Warning("Unknown angle unit, using default (deg)\n"); break;
                }
                break;
            default: Warning("Unknown unit token\n"); break;
        }
    }
    return IsEndOfFile() ? ESection::kEnd : ESection::kError;
}

KZeqFileAcclaimAsf::ESection KZeqFileAcclaimAsf::ReadDocumentation() { return SkipToSection(); }

KZeqFileAcclaimAsf::ESection KZeqFileAcclaimAsf::ReadRoot() {
    Tokens& t = *mTokens;
    auto root = std::make_unique<KZeqAsfNode>("root");
    while (NextLine()) {
        if (AtSection()) {
            // Axis angles are kept in degrees, whatever the file's angle unit.
            for (double& angle : root->mAxis) angle *= mScene->mAngleFactor;
            root->ComputeAxisMatrix();
            mScene->SetRoot(std::move(root));
            return ESection::kNext;
        }
        InitTokens(t.mRoot);
        switch (Handle(t.mRoot)) {
            case 0: {
                const int order = ReadAxisOrder();
                if (order < 0) {
                    Error("Unknown rotation order\n");
                    return ESection::kError;
                }
                root->mAxisOrder = order;
                break;
            }
            case 1: {
                root->mDofCount = 0;
                InitTokens(t.mOrder);
                for (int code; (code = Handle(t.mOrder)) >= 0;) {
                    if (!root->AddDof(code)) {
                        Error("Too many degrees of freedom\n");
                        return ESection::kError;
                    }
                }
                break;
            }
            case 2: {
                double position[3];
                if (ReadVector(position)) {
                    // A length like any other: file units to centimetres.
                    const double scale = mScene->LengthToScene();
                    root->mPosition = KZeqVector4(position[0] * scale, position[1] * scale, position[2] * scale, 0.0);
                } else {
                    root->mPosition = KZeqVector4();
                    Warning("Can't read position, using 0.0 0.0 0.0\n");
                }
                break;
            }
            case 3:
                if (!ReadVector(root->mAxis)) {
                    root->mAxis[0] = root->mAxis[1] = root->mAxis[2] = 0.0;
                    Warning("Can't read orientation, using 0.0 0.0 0.0\n");
                }
                break;
            default: Warning("Unknown %s token (%s)\n", ":root", GetCursor()); break;
        }
    }
    Error("Unexpected end of file\n");
    return ESection::kError;
}

KZeqFileAcclaimAsf::ESection KZeqFileAcclaimAsf::ReadBoneData() {
    Tokens& t = *mTokens;
    bool advance = true;
    for (;;) {
        if (advance && !NextLine()) return IsEndOfFile() ? ESection::kEnd : ESection::kError;
        advance = true;
        if (AtSection()) return ESection::kNext;
        InitTokens(t.mGroup);
        const int group = Handle(t.mGroup);
        if (group == 0) {
            const ESection bone = ReadBone();
            if (bone != ESection::kNext) return bone;
            // The line that closed the bone: "end" is done with, "begin" opens the next.
            if (Check(t.mGroup) == 0) advance = false;
        } else if (group != 1) {
            Warning("Begin/End keyword expected\n");
        }
    }
}

KZeqFileAcclaimAsf::ESection KZeqFileAcclaimAsf::ReadBone() {
    Tokens& t = *mTokens;
    auto bone = std::make_unique<KZeqAsfNode>("");
    InitTokens(t.mBoneData);
    auto fail = [this](const char* message) {
        Error("%s", message);
        return ESection::kError;
    };
    while (NextLine()) {
        if (Check(t.mGroup) >= 0) {
            if (t.mBoneData[1].mCount == 0) return fail("Bone has no name\n");
            if (t.mBoneData[2].mCount == 0) return fail("Bone has no direction\n");
            if (t.mBoneData[3].mCount == 0) return fail("Bone has no length\n");
            KZeqAsfNode* root = mScene->GetRoot();
            if (!root) return fail("Bone data before the root\n");
            for (double& angle : bone->mAxis) angle *= mScene->mAngleFactor;
            bone->ComputeAxisMatrix();
            root->AddChild(std::move(bone));
            return ESection::kNext;
        }
        switch (Handle(t.mBoneData)) {
            case 0: {
                int id = 0;
                if (!GetInteger(id)) Warning("Can't read bone id value\n");
                break;
            }
            case 1: {
                char name[KZeqAsfNode::kMaxNameLength + 1];
                if (!GetString(name, KZeqAsfNode::kMaxNameLength)) return fail("Can't read bone name\n");
                if (std::strcmp(name, "root") == 0) return fail("Forbidden bone name\n");
                bone->SetName(name);
                break;
            }
            case 2: {
                double direction[3];
                if (!ReadVector(direction)) return fail("Can't read bone direction\n");
                bone->mDirection = KZeqVector4(direction[0], direction[1], direction[2], 0.0);
                bone->mDirection.Normalize();
                break;
            }
            case 3: {
                double length = 0.0;
                if (!ReadNumber(length)) return fail("Can't read bone length\n");
                if (mScene->mLengthUnit > 0.0) length = length * 2.54 / mScene->mLengthUnit;
                bone->mLength = length;
                break;
            }
            case 4: {
                if (!ReadVector(bone->mAxis)) return fail("Can't read bone local coordinate system\n");
                const int order = ReadAxisOrder();
                if (order < 0) return fail("Unknown rotation order\n");
                bone->mAxisOrder = order;
                break;
            }
            case 5: {
                InitTokens(t.mDof);
                for (int code; (code = Handle(t.mDof)) >= 0;) {
                    // "l" keeps its place in the value list of a motion line.
                    if (code == eDofLength) Warning("Unknown degree of freedom (%s)\n", "l");
                    if (!bone->AddDof(code)) return fail("Too many degrees of freedom\n");
                }
                break;
            }
            case 6: {
                for (int i = 0; i < bone->mDofCount; ++i) {
                    double pair[2];
                    while (!GetPair(pair, 1.0)) {
                        if (*GetCursor() != '\0' || !NextLine() || AtSection()) return fail("Can't read dof limits\n");
                    }
                }
                break;
            }
            case 7: {
                double mass = 0.0;
                if (!GetDouble(mass, mScene->mMassUnit)) Warning("Can't read bodymass value\n");
                break;
            }
            case 8: {
                double mass = 0.0;
                if (!GetDouble(mass, 1.0)) Warning("Can't read cofmass value\n");
                break;
            }
            default: Warning("Unknown bonedata token\n"); break;
        }
    }
    return fail("Unexpected end of file\n");
}

KZeqFileAcclaimAsf::ESection KZeqFileAcclaimAsf::ReadHierarchy() {
    Tokens& t = *mTokens;
    bool inList = false;
    // Bones by name: thousands of them hang below one another in time linear in their number.
    KZeqAsfNode* root = mScene->GetRoot();
    std::optional<KZeqAsfBoneIndex> bones;
    if (root) bones.emplace(*root);
    while (NextLine()) {
        if (AtSection()) return ESection::kNext;
        if (!inList) {
            InitTokens(t.mGroup);
            const int group = Handle(t.mGroup);
            if (group == 0)
                inList = true;
            else if (group != 1)
                Warning("Begin/End keyword expected\n");
            continue;
        }
        // Whole words only: a bone may be named "endsite".
        if (SameWordNoCase(GetCursor(), "end")) {
            inList = false;
            continue;
        }
        char parentName[KZeqAsfNode::kMaxNameLength + 1];
        if (!GetString(parentName, KZeqAsfNode::kMaxNameLength)) {
            Warning("Can't read parent bone name\n");
            continue;
        }
        // The bones already hang below the root.
        if (std::strcmp(parentName, "root") == 0) continue;
        KZeqAsfNode* parent = bones ? bones->Find(parentName) : nullptr;
        if (!parent) {
            Error("Unknown parent bone name (%s)\n", parentName);
            return ESection::kError;
        }
        char childName[KZeqAsfNode::kMaxNameLength + 1];
        while (GetString(childName, KZeqAsfNode::kMaxNameLength)) {
            KZeqAsfNode* child = bones->Find(childName);
            if (!child) {
                Error("Unknown child bone name (%s)\n", childName);
                return ESection::kError;
            }
            // Bones never climb: a parent this deep makes a skeleton the read refuses, and the
            // walk below stays short.
            if (parent->IsDeeperThan(KZeqAsfScene::kMaxDepth)) {
                Error("Skeleton hierarchy too deep\n");
                return ESection::kError;
            }
            // "A B" after "B A" would make a loop that no walk of the tree leaves.
            if (child->IsSelfOrAncestorOf(parent)) {
                Error("Bone %s cannot hang below %s\n", childName, parentName);
                return ESection::kError;
            }
            // A child attached elsewhere already stays there.
            if (child->GetParent() == root) bones->Move(*child, *parent);
        }
    }
    return IsEndOfFile() ? ESection::kEnd : ESection::kError;
}

KZeqFileAcclaimAsf::ESection KZeqFileAcclaimAsf::ReadSkin() {
    for (int i = 0; i < 3; ++i) {
        KString word;
        GetString(word);
        if (!NextLine()) return IsEndOfFile() ? ESection::kEnd : ESection::kError;
        if (AtSection()) return ESection::kNext;
    }
    return SkipToSection();
}

// ---- Writing ---------------------------------------------------------------------------------

bool KZeqFileAcclaimAsf::Write(KZeqAsfScene* scene) {
    mScene = scene;
    if (!scene || !scene->GetRoot()) return false;
    bool ok = Print(0, "%s 1.10\n", ":version");
    ok = Print(0, "%s %s\n", ":name", scene->GetName()) && ok;
    ok = Print(0, ":units\n") && ok;
    ok = Print(1, "%s %g\n", "mass", 1.0) && ok;
    ok = Print(1, "%s %g\n", "length", scene->mLengthUnit) && ok;
    ok = Print(1, "angle deg\n") && ok;
    ok = Print(0, ":documentation\n") && ok;
    ok = Print(1, "# Generated by the Vonex Zeq SDK\n") && ok;
    ok = WriteRoot() && ok;
    ok = WriteBoneData() && ok;
    ok = WriteHierarchy() && ok;
    return Flush() && ok;
}

bool KZeqFileAcclaimAsf::WriteRoot() {
    const KZeqAsfNode* root = mScene->GetRoot();
    bool ok = Print(0, ":root\n");
    ok = Print(1, "%s %s\n", "axis", "xyz") && ok;
    ok = Print(1, "%s ", "order") && ok;
    for (int i = 0; i < root->mDofCount; ++i)
        if (root->mDof[i] <= eDofRX) ok = Print(0, " %s", kOrderNames[root->mDof[i]]) && ok;
    ok = Print(0, "\n") && ok;
    ok = Print(1, "%s %g %g %g\n", "position", 0.0, 0.0, 0.0) && ok;
    return Print(1, "%s %g %g %g\n", "orientation", 0.0, 0.0, 0.0) && ok;
}

bool KZeqFileAcclaimAsf::WriteBoneData() {
    bool ok = Print(0, ":bonedata\n");
    int id = 1;
    KZeqAsfNode* root = mScene->GetRoot();
    for (int i = 0; i < root->GetChildCount(); ++i) ok = WriteBone(root->GetChild(i), id) && ok;
    return ok;
}

bool KZeqFileAcclaimAsf::WriteBone(KZeqAsfNode* node, int& id) {
    bool ok = Print(1, "begin\n");
    ok = Print(2, "%s %d\n", "id", id) && ok;
    ok = Print(2, "%s %s\n", "name", node->GetName()) && ok;
    // Adding 0 turns negative zeros into plain ones ("0", not "-0").
    ok = Print(2, "%s %g %g %g\n", "direction", node->mDirection[0] + 0.0, node->mDirection[1] + 0.0,
               node->mDirection[2] + 0.0) &&
         ok;
    ok = Print(2, "%s %g\n", "length", node->mLength / mScene->LengthToScene()) && ok;
    ok = Print(2, "%s %g %g %g %s\n", "axis", node->mAxis[0] + 0.0, node->mAxis[1] + 0.0, node->mAxis[2] + 0.0, "xyz") &&
         ok;
    if (node->mDofCount > 0) {
        ok = Print(2, "dof") && ok;
        for (int i = 0; i < node->mDofCount; ++i)
            if (node->mDof[i] <= eDofRX) ok = Print(0, " %s", kOrderNames[node->mDof[i]]) && ok;
        ok = Print(0, "\n") && ok;
    }
    ok = Print(1, "end\n") && ok;
    ++id;
    for (int i = 0; i < node->GetChildCount(); ++i) ok = WriteBone(node->GetChild(i), id) && ok;
    return ok;
}

bool KZeqFileAcclaimAsf::WriteHierarchy() {
    bool ok = Print(0, ":hierarchy\n");
    ok = Print(1, "begin\n") && ok;
    ok = WriteHierarchyRecursive(mScene->GetRoot()) && ok;
    return Print(1, "end\n") && ok;
}

bool KZeqFileAcclaimAsf::WriteHierarchyRecursive(KZeqAsfNode* node) {
    bool ok = true;
    if (node->GetChildCount() > 0) ok = WriteFamily(node);
    for (int i = 0; i < node->GetChildCount(); ++i) ok = WriteHierarchyRecursive(node->GetChild(i)) && ok;
    return ok;
}

bool KZeqFileAcclaimAsf::WriteFamily(KZeqAsfNode* node) {
    bool ok = Print(2, "%s", node->GetName());
    for (int i = 0; i < node->GetChildCount(); ++i) ok = Print(0, " %s", node->GetChild(i)->GetName()) && ok;
    return Print(0, "\n") && ok;
}

}  // namespace zeqsdk_400
