// Characters and character poses. 5.8 keeps no axis flag and auxiliary set 1 only; 6.0 no input, no filter
// set beyond the properties, no floor node and of a control set what its plug holds.

#include "character/kzeqcharacter.h"
#include "character/kzeqcharacterpose.h"
#include "character/kzeqcontrolset.h"
#include "character/kzeqfilterset.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"

using namespace zeqsdk_400;

namespace zeqiotest {

namespace {

KString NameOf(const KZeqObject* object) { return KString(object ? object->GetName() : "-"); }

// The input by type and index (an actor as 1000).
int Input(KZeqScene& scene, KZeqCharacter& character) {
    int index = character.GetInputObject() ? 1000 : -1;
    for (int i = 0; i < scene.GetCharacterCount(); ++i)
        if (scene.GetCharacter(i) == character.GetInputObject()) index = i;
    return character.GetInputType() * 10000 + index;
}

int Flags(const KZeqEffector& e) { return e.mShow | e.mTActive << 1 | e.mRActive << 2 | e.mCandidateTActive << 3; }

void CompareControlSet(const std::string& path, KZeqControlSet& a, KZeqControlSet& b, bool v58, ZeqDiff& diff) {
    diff.Check(path + ".type", static_cast<int>(a.GetType()), static_cast<int>(b.GetType()));
    diff.Check(path + ".flags", v58 ? a.GetLockTransform() * 2 + a.GetLock3DPick() : a.GetUseAxis() * 4,
               v58 ? b.GetLockTransform() * 2 + b.GetLock3DPick() : b.GetUseAxis() * 4);
    for (int id = 0; id < kCharacterNodeIdCount; ++id) {
        KZeqControlSetLink x, y;
        const auto node = static_cast<ECharacterNodeId>(id);
        a.GetControlSetLink(node, &x), b.GetControlSetLink(node, &y);
        diff.Check(path + ".link" + std::to_string(id), NameOf(x.mNode) + (v58 ? x.mTemplateName : ""),
                   NameOf(y.mNode) + (v58 ? y.mTemplateName : ""));
    }
    for (int id = 0; id < kEffectorNodeIdCount; ++id) {
        const auto effector = static_cast<EEffectorNodeId>(id);
        KZeqEffector x, y;
        a.GetEffector(effector, &x), b.GetEffector(effector, &y);
        const std::string at = path + "." + KZeqControlSet::GetEffectorNodeName(effector);
        diff.Check(at, NameOf(x.mNode) + (v58 ? Flags(x) : 0), NameOf(y.mNode) + (v58 ? Flags(y) : 0));
        for (int set = eEffectorSetFirst; set <= (v58 ? eEffectorSetFirst : eEffectorSetLast); ++set) {
            KZeqNode *nx = nullptr, *ny = nullptr;
            const auto which = static_cast<EEffectorSetId>(set);
            a.GetEffectorAux(effector, &nx, which), b.GetEffectorAux(effector, &ny, which);
            diff.Check(at + ".aux" + std::to_string(set), NameOf(nx), NameOf(ny));
        }
    }
}

void CompareCharacter(KZeqScene& sa, KZeqScene& sb, KZeqCharacter& a, KZeqCharacter& b, bool v58, ZeqDiff& diff) {
    const std::string path = std::string("character[") + a.GetName() + "]";
    diff.Check(path + ".name", KString(a.GetName()), KString(b.GetName()));
    if (v58) {
        diff.Check(path + ".input", Input(sa, a), Input(sb, b));
        KZeqFilterSet &x = *a.GetFilterSet(), &y = *b.GetFilterSet();
        for (int i = 0; i < x.GetParameterCount(); ++i)
            diff.Check(path + "." + x.GetParameterName(i), x.GetParameterValue(i) + 1000 * x.GetParameterMode(i),
                       y.GetParameterValue(i) + 1000 * y.GetParameterMode(i));
    }
    for (int id = 0; id < kCharacterNodeIdCount; ++id) {
        KZeqCharacterLink x, y;
        const bool setX = a.GetCharacterLink(static_cast<ECharacterNodeId>(id), &x) && x.IsSet();
        const bool setY = b.GetCharacterLink(static_cast<ECharacterNodeId>(id), &y) && y.IsSet();
        const char* name = nullptr;
        if (!v58 && !KZeqCharacterGroups::GetCharacterGroupNameByElement(static_cast<ECharacterNodeId>(id), name)) {
            x.mNode = y.mNode = nullptr;  // no list to carry it
            if (x.mTemplateName.IsEmpty()) continue;
        }
        const std::string at = path + ".link" + std::to_string(id);
        diff.Check(at, NameOf(setX ? x.mNode : nullptr) + x.mTemplateName,
                   NameOf(setY ? y.mNode : nullptr) + y.mTemplateName);
        for (int axis = 0; setX && setY && axis < 3; ++axis) {
            diff.Check(at + ".t", x.mOffsetT[axis], y.mOffsetT[axis]);
            diff.Check(at + ".r", x.mOffsetR[axis], y.mOffsetR[axis]);
            diff.Check(at + ".s", x.mOffsetS[axis], y.mOffsetS[axis]);
        }
    }
    CompareControlSet(path + ".controlSet", *a.GetControlSet(), *b.GetControlSet(), v58, diff);
}

}  // namespace

void CompareCharacters(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    const bool v58 = (diff.mLosses & eZeqLosesPropertyBlock) != 0;
    diff.Check("characters", expected.GetCharacterCount(), actual.GetCharacterCount());
    for (int i = 0; i < expected.GetCharacterCount() && i < actual.GetCharacterCount(); ++i)
        CompareCharacter(expected, actual, *expected.GetCharacter(i), *actual.GetCharacter(i), v58, diff);
    diff.Check("characterPoses", expected.GetCharacterPoseCount(), actual.GetCharacterPoseCount());
    for (int i = 0; i < expected.GetCharacterPoseCount() && i < actual.GetCharacterPoseCount(); ++i) {
        KZeqCharacterPose &a = *expected.GetCharacterPose(i), &b = *actual.GetCharacterPose(i);
        const std::string path = std::string("characterPose[") + a.GetName() + "]";
        diff.Check(path + ".name", KString(a.GetName()), KString(b.GetName()));
        for (const std::string& field : CompareScenes(*a.GetPoseScene(), *b.GetPoseScene(), diff.mLosses).mFields)
            diff.mFields.push_back(path + "." + field);
    }
}

}  // namespace zeqiotest
