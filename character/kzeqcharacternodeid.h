#ifndef ZEQ_CHARACTER_KZEQCHARACTERNODEID_H
#define ZEQ_CHARACTER_KZEQCHARACTERNODEID_H

namespace zeqsdk_400 {

// The character node vocabulary, one row per identifier in identifier order:
// X(name, version) for a named node, U(name) for the four floor contacts that
// have no name in the vocabulary (they stay ordinary link slots). The version
// is the format revision that introduced the node.
#define KZEQ_CHARACTER_NODE_IDS(X, U) \
    /*   0 */ X(Hips, 4000) X(LeftUpLeg, 4000) X(LeftLeg, 4000) X(LeftFoot, 4000) X(LeftToeBase, 4000) \
    /*   5 */ X(RightUpLeg, 4000) X(RightLeg, 4000) X(RightFoot, 4000) X(RightToeBase, 4000) X(Spine, 4000) \
    /*  10 */ X(Spine1, 4000) X(LeftShoulder, 4000) X(LeftArm, 4000) X(LeftForeArm, 4000) X(LeftHand, 4000) \
    /*  15 */ X(RightShoulder, 4000) X(RightArm, 4000) X(RightForeArm, 4000) X(RightHand, 4000) X(Neck, 4000) \
    /*  20 */ X(Head, 4000) X(LeftUpLegRoll, 4000) X(LeftLegRoll, 4000) X(RightUpLegRoll, 4000) \
    /*  24 */ X(RightLegRoll, 4000) X(LeftArmRoll, 4000) X(LeftForeArmRoll, 4000) X(RightArmRoll, 4000) \
    /*  28 */ X(RightForeArmRoll, 4000) X(Spine2, 4000) X(Spine3, 4000) X(Spine4, 4000) X(Spine5, 4000) \
    /*  33 */ X(Spine6, 4000) X(Spine7, 4000) X(Spine8, 4000) X(Spine9, 4000) X(LeftHandThumb1, 4000) \
    /*  38 */ X(LeftHandThumb2, 4000) X(LeftHandThumb3, 4000) X(LeftHandIndex1, 4000) X(LeftHandIndex2, 4000) \
    /*  42 */ X(LeftHandIndex3, 4000) X(LeftHandMiddle1, 4000) X(LeftHandMiddle2, 4000) X(LeftHandMiddle3, 4000) \
    /*  46 */ X(LeftHandRing1, 4000) X(LeftHandRing2, 4000) X(LeftHandRing3, 4000) X(LeftHandPinky1, 4000) \
    /*  50 */ X(LeftHandPinky2, 4000) X(LeftHandPinky3, 4000) X(RightHandThumb1, 4000) X(RightHandThumb2, 4000) \
    /*  54 */ X(RightHandThumb3, 4000) X(RightHandIndex1, 4000) X(RightHandIndex2, 4000) X(RightHandIndex3, 4000) \
    /*  58 */ X(RightHandMiddle1, 4000) X(RightHandMiddle2, 4000) X(RightHandMiddle3, 4000) X(RightHandRing1, 4000) \
    /*  62 */ X(RightHandRing2, 4000) X(RightHandRing3, 4000) X(RightHandPinky1, 4000) X(RightHandPinky2, 4000) \
    /*  66 */ X(RightHandPinky3, 4000) X(Reference, 4000) U(LeftFloor) U(RightFloor) X(HipsTranslation, 4000) \
    /*  71 */ X(Props0, 4000) X(Props1, 4000) X(Props2, 4000) X(Props3, 4000) X(Props4, 4000) \
    /*  76 */ X(GameModeParentLeftHipRoll, 4000) X(GameModeParentLeftKnee, 4000) X(GameModeParentLeftKneeRoll, 4000) \
    /*  79 */ X(GameModeParentRightHipRoll, 4000) X(GameModeParentRightKnee, 4000) \
    /*  81 */ X(GameModeParentRightKneeRoll, 4000) X(GameModeParentLeftShoulderRoll, 4000) \
    /*  83 */ X(GameModeParentLeftElbow, 4000) X(GameModeParentLeftElbowRoll, 4000) \
    /*  85 */ X(GameModeParentRightShoulderRoll, 4000) X(GameModeParentRightElbow, 4000) \
    /*  87 */ X(GameModeParentRightElbowRoll, 4000) U(LeftHandFloor) U(RightHandFloor) X(LeftFingerBase, 4500) \
    /*  91 */ X(RightFingerBase, 4500) X(Neck1, 4500) X(Neck2, 4500) X(Neck3, 4500) X(Neck4, 4500) X(Neck5, 4500) \
    /*  97 */ X(Neck6, 4500) X(Neck7, 4500) X(Neck8, 4500) X(Neck9, 4500) X(LeftInHandThumb, 4500) \
    /* 102 */ X(LeftHandThumb4, 4500) X(LeftInHandIndex, 4500) X(LeftHandIndex4, 4500) X(LeftInHandMiddle, 4500) \
    /* 106 */ X(LeftHandMiddle4, 4500) X(LeftInHandRing, 4500) X(LeftHandRing4, 4500) X(LeftInHandPinky, 4500) \
    /* 110 */ X(LeftHandPinky4, 4500) X(LeftInHandExtraFinger, 4500) X(LeftHandExtraFinger1, 4500) \
    /* 113 */ X(LeftHandExtraFinger2, 4500) X(LeftHandExtraFinger3, 4500) X(LeftHandExtraFinger4, 4500) \
    /* 116 */ X(RightInHandThumb, 4500) X(RightHandThumb4, 4500) X(RightInHandIndex, 4500) X(RightHandIndex4, 4500) \
    /* 120 */ X(RightInHandMiddle, 4500) X(RightHandMiddle4, 4500) X(RightInHandRing, 4500) X(RightHandRing4, 4500) \
    /* 124 */ X(RightInHandPinky, 4500) X(RightHandPinky4, 4500) X(RightInHandExtraFinger, 4500) \
    /* 127 */ X(RightHandExtraFinger1, 4500) X(RightHandExtraFinger2, 4500) X(RightHandExtraFinger3, 4500) \
    /* 130 */ X(RightHandExtraFinger4, 4500) X(LeftInFootThumb, 4500) X(LeftFootThumb1, 4500) \
    /* 133 */ X(LeftFootThumb2, 4500) X(LeftFootThumb3, 4500) X(LeftFootThumb4, 4500) X(LeftInFootIndex, 4500) \
    /* 137 */ X(LeftFootIndex1, 4500) X(LeftFootIndex2, 4500) X(LeftFootIndex3, 4500) X(LeftFootIndex4, 4500) \
    /* 141 */ X(LeftInFootMiddle, 4500) X(LeftFootMiddle1, 4500) X(LeftFootMiddle2, 4500) X(LeftFootMiddle3, 4500) \
    /* 145 */ X(LeftFootMiddle4, 4500) X(LeftInFootRing, 4500) X(LeftFootRing1, 4500) X(LeftFootRing2, 4500) \
    /* 149 */ X(LeftFootRing3, 4500) X(LeftFootRing4, 4500) X(LeftInFootPinky, 4500) X(LeftFootPinky1, 4500) \
    /* 153 */ X(LeftFootPinky2, 4500) X(LeftFootPinky3, 4500) X(LeftFootPinky4, 4500) X(LeftInFootExtraFinger, 4500) \
    /* 157 */ X(LeftFootExtraFinger1, 4500) X(LeftFootExtraFinger2, 4500) X(LeftFootExtraFinger3, 4500) \
    /* 160 */ X(LeftFootExtraFinger4, 4500) X(RightInFootThumb, 4500) X(RightFootThumb1, 4500) \
    /* 163 */ X(RightFootThumb2, 4500) X(RightFootThumb3, 4500) X(RightFootThumb4, 4500) X(RightInFootIndex, 4500) \
    /* 167 */ X(RightFootIndex1, 4500) X(RightFootIndex2, 4500) X(RightFootIndex3, 4500) X(RightFootIndex4, 4500) \
    /* 171 */ X(RightInFootMiddle, 4500) X(RightFootMiddle1, 4500) X(RightFootMiddle2, 4500) \
    /* 174 */ X(RightFootMiddle3, 4500) X(RightFootMiddle4, 4500) X(RightInFootRing, 4500) X(RightFootRing1, 4500) \
    /* 178 */ X(RightFootRing2, 4500) X(RightFootRing3, 4500) X(RightFootRing4, 4500) X(RightInFootPinky, 4500) \
    /* 182 */ X(RightFootPinky1, 4500) X(RightFootPinky2, 4500) X(RightFootPinky3, 4500) X(RightFootPinky4, 4500) \
    /* 186 */ X(RightInFootExtraFinger, 4500) X(RightFootExtraFinger1, 4500) X(RightFootExtraFinger2, 4500) \
    /* 189 */ X(RightFootExtraFinger3, 4500) X(RightFootExtraFinger4, 4500)

enum ECharacterNodeId : int {
#define KZEQ_CHARACTER_NODE_ENUM(Name, Version) eCharacter##Name,
#define KZEQ_CHARACTER_UNNAMED_ENUM(Name) eCharacter##Name,
    KZEQ_CHARACTER_NODE_IDS(KZEQ_CHARACTER_NODE_ENUM, KZEQ_CHARACTER_UNNAMED_ENUM)
#undef KZEQ_CHARACTER_NODE_ENUM
#undef KZEQ_CHARACTER_UNNAMED_ENUM
};
constexpr int kCharacterNodeIdCount = 191;
static_assert(eCharacterRightFootExtraFinger4 + 1 == kCharacterNodeIdCount, "identifiers run from 0 to 190");

// The groups, in order; each lists its nodes by element index.
enum ECharacterGroupId : int {
    eCharacterGroup_Base = 0,
    eCharacterGroup_Auxiliary,
    eCharacterGroup_Spine,
    eCharacterGroup_Roll,
    eCharacterGroup_Special,
    eCharacterGroup_LeftHand,
    eCharacterGroup_RightHand,
    eCharacterGroup_Props,
    eCharacterGroup_GameModeParent,
    eCharacterGroup_Neck,
    eCharacterGroup_LeftFoot,
    eCharacterGroup_RightFoot,
};
constexpr int kCharacterGroupCount = 12;

// Lookups between node identifiers, group positions and names. Names compare
// exactly, case included. Stateless; the character class offers them as its
// own statics.
class KZeqCharacterGroups {
public:
    // By group and element index: 0, -1, null and 0 outside the tables.
    static int GetCharacterGroupCount(ECharacterGroupId group);
    static ECharacterNodeId GetCharacterGroupElementByIndex(ECharacterGroupId group, int index);
    static const char* GetCharacterGroupNameByIndex(ECharacterGroupId group, int index);
    static int GetCharacterGroupVersionByIndex(ECharacterGroupId group, int index);
    // The group's name and the name of its block in stored files ("Base", "BASE"); null outside.
    static const char* GetCharacterGroupName(ECharacterGroupId group);
    static const char* GetCharacterGroupBlockName(ECharacterGroupId group);

    // Searches groups 0 to 11, or 0 up to the incoming group when limit is
    // set; the outputs change only on a match.
    static bool FindCharacterGroupIndexByName(const char* name, bool limit, ECharacterGroupId& group, int& index);
    static bool GetCharacterGroupIndexByElement(ECharacterNodeId id, ECharacterGroupId& group, int& index);
    // These also answer for the ungrouped Reference node.
    static bool GetCharacterGroupNameByElement(ECharacterNodeId id, const char*& name);
    static bool GetCharacterGroupVersionByElement(ECharacterNodeId id, int& version);
    static bool FindCharacterGroupElementByName(const char* name, ECharacterNodeId& id);
};

}  // namespace zeqsdk_400

#endif
