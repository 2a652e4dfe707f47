#include "character/kzeqcharacternodeid.h"

#include <cstring>

namespace zeqsdk_400 {

namespace {

struct NodeRow {
    const char* mName;  // null: not in the vocabulary
    int mVersion;
};

constexpr NodeRow kNodes[kCharacterNodeIdCount] = {
#define KZEQ_NAMED_NODE(Name, Version) {#Name, Version},
#define KZEQ_UNNAMED_NODE(Name) {nullptr, 0},
    KZEQ_CHARACTER_NODE_IDS(KZEQ_NAMED_NODE, KZEQ_UNNAMED_NODE)
#undef KZEQ_NAMED_NODE
#undef KZEQ_UNNAMED_NODE
};

// Group members by element index.
constexpr int kBase[] = {0, 1, 2, 3, 5, 6, 7, 9, 12, 13, 14, 16, 17, 18, 20};
constexpr int kAuxiliary[] = {4, 8, 11, 15, 19, 90, 91};
constexpr int kSpine[] = {10, 29, 30, 31, 32, 33, 34, 35, 36};
constexpr int kRoll[] = {21, 22, 23, 24, 25, 26, 27, 28};
constexpr int kSpecial[] = {70};
constexpr int kLeftHand[] = {37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,  48,  49,  50,  51,
                             101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115};
constexpr int kRightHand[] = {52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,  64,  65,  66,
                              116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130};
constexpr int kProps[] = {71, 72, 73, 74, 75};
constexpr int kGameModeParent[] = {76, 77, 78, 79, 80, 81, 82, 83, 84, 85, 86, 87};
constexpr int kNeck[] = {92, 93, 94, 95, 96, 97, 98, 99, 100};
constexpr int kLeftFoot[] = {131, 132, 133, 134, 135, 136, 137, 138, 139, 140, 141, 142, 143, 144, 145,
                             146, 147, 148, 149, 150, 151, 152, 153, 154, 155, 156, 157, 158, 159, 160};
constexpr int kRightFoot[] = {161, 162, 163, 164, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 175,
                              176, 177, 178, 179, 180, 181, 182, 183, 184, 185, 186, 187, 188, 189, 190};

struct GroupRow {
    const char* mName;
    const char* mBlockName;
    const int* mNodes;
    int mCount;
};

#define KZEQ_GROUP(Name, Block) {#Name, Block, k##Name, static_cast<int>(sizeof(k##Name) / sizeof(int))}
constexpr GroupRow kGroups[kCharacterGroupCount] = {
    KZEQ_GROUP(Base, "BASE"),           KZEQ_GROUP(Auxiliary, "AUXILIARY"),
    KZEQ_GROUP(Spine, "SPINE"),         KZEQ_GROUP(Roll, "ROLL"),
    KZEQ_GROUP(Special, "SPECIAL"),     KZEQ_GROUP(LeftHand, "LEFTHAND"),
    KZEQ_GROUP(RightHand, "RIGHTHAND"), KZEQ_GROUP(Props, "PROPS"),
    KZEQ_GROUP(GameModeParent, "GAMEMODEPARENT"), KZEQ_GROUP(Neck, "NECK"),
    KZEQ_GROUP(LeftFoot, "LEFTFOOT"),   KZEQ_GROUP(RightFoot, "RIGHTFOOT"),
};
#undef KZEQ_GROUP

// Where each node sits in the groups, built from the group lists once at
// compile time so that lookups by identifier index directly.
struct Place {
    int mGroup = -1;
    int mIndex = -1;
};
struct Places {
    Place mOf[kCharacterNodeIdCount];
};

constexpr Places MakePlaces() {
    Places places{};
    for (int g = 0; g < kCharacterGroupCount; ++g)
        for (int i = 0; i < kGroups[g].mCount; ++i) places.mOf[kGroups[g].mNodes[i]] = Place{g, i};
    return places;
}
constexpr Places kPlaces = MakePlaces();

// The vocabulary's invariants: each node in at most one place, every grouped
// node named, and only the Reference node named outside the groups.
constexpr bool VocabularyConsistent() {
    int grouped = 0;
    for (int g = 0; g < kCharacterGroupCount; ++g)
        for (int i = 0; i < kGroups[g].mCount; ++i) {
            const int id = kGroups[g].mNodes[i];
            if (kPlaces.mOf[id].mGroup != g || kPlaces.mOf[id].mIndex != i || !kNodes[id].mName) return false;
            ++grouped;
        }
    for (int id = 0; id < kCharacterNodeIdCount; ++id)
        if (kPlaces.mOf[id].mGroup < 0 && kNodes[id].mName && id != eCharacterReference) return false;
    return grouped == 186;
}
static_assert(VocabularyConsistent(), "character node groups");

bool ValidGroup(ECharacterGroupId group) { return static_cast<unsigned>(group) < kCharacterGroupCount; }
bool ValidElement(ECharacterGroupId group, int index) {
    return ValidGroup(group) && index >= 0 && index < kGroups[group].mCount;
}
bool ValidNode(ECharacterNodeId id) { return static_cast<unsigned>(id) < kCharacterNodeIdCount; }

}  // namespace

int KZeqCharacterGroups::GetCharacterGroupCount(ECharacterGroupId group) {
    return ValidGroup(group) ? kGroups[group].mCount : 0;
}

ECharacterNodeId KZeqCharacterGroups::GetCharacterGroupElementByIndex(ECharacterGroupId group, int index) {
    return static_cast<ECharacterNodeId>(ValidElement(group, index) ? kGroups[group].mNodes[index] : -1);
}

const char* KZeqCharacterGroups::GetCharacterGroupNameByIndex(ECharacterGroupId group, int index) {
    return ValidElement(group, index) ? kNodes[kGroups[group].mNodes[index]].mName : nullptr;
}

int KZeqCharacterGroups::GetCharacterGroupVersionByIndex(ECharacterGroupId group, int index) {
    return ValidElement(group, index) ? kNodes[kGroups[group].mNodes[index]].mVersion : 0;
}

const char* KZeqCharacterGroups::GetCharacterGroupName(ECharacterGroupId group) {
    return ValidGroup(group) ? kGroups[group].mName : nullptr;
}

const char* KZeqCharacterGroups::GetCharacterGroupBlockName(ECharacterGroupId group) {
    return ValidGroup(group) ? kGroups[group].mBlockName : nullptr;
}

bool KZeqCharacterGroups::FindCharacterGroupIndexByName(const char* name, bool limit, ECharacterGroupId& group,
                                                        int& index) {
    if (!name) return false;
    // An invalid incoming group must not bound the search past the tables.
    int bound = kCharacterGroupCount;
    if (limit && group < kCharacterGroupCount) bound = group < 0 ? 0 : group + 1;
    for (int g = 0; g < bound; ++g)
        for (int i = 0; i < kGroups[g].mCount; ++i)
            if (std::strcmp(kNodes[kGroups[g].mNodes[i]].mName, name) == 0) {
                group = static_cast<ECharacterGroupId>(g);
                index = i;
                return true;
            }
    return false;
}

bool KZeqCharacterGroups::GetCharacterGroupIndexByElement(ECharacterNodeId id, ECharacterGroupId& group, int& index) {
    if (!ValidNode(id) || kPlaces.mOf[id].mGroup < 0) return false;
    group = static_cast<ECharacterGroupId>(kPlaces.mOf[id].mGroup);
    index = kPlaces.mOf[id].mIndex;
    return true;
}

bool KZeqCharacterGroups::GetCharacterGroupNameByElement(ECharacterNodeId id, const char*& name) {
    if (!ValidNode(id) || !kNodes[id].mName) return false;
    name = kNodes[id].mName;
    return true;
}

bool KZeqCharacterGroups::GetCharacterGroupVersionByElement(ECharacterNodeId id, int& version) {
    if (!ValidNode(id) || !kNodes[id].mName) return false;
    version = kNodes[id].mVersion;
    return true;
}

bool KZeqCharacterGroups::FindCharacterGroupElementByName(const char* name, ECharacterNodeId& id) {
    ECharacterGroupId group = eCharacterGroup_Base;
    int index = 0;
    if (FindCharacterGroupIndexByName(name, false, group, index)) {
        id = static_cast<ECharacterNodeId>(kGroups[group].mNodes[index]);
        return true;
    }
    // Named nodes outside the groups (the Reference node).
    if (!name) return false;
    for (int n = 0; n < kCharacterNodeIdCount; ++n)
        if (kPlaces.mOf[n].mGroup < 0 && kNodes[n].mName && std::strcmp(kNodes[n].mName, name) == 0) {
            id = static_cast<ECharacterNodeId>(n);
            return true;
        }
    return false;
}

}  // namespace zeqsdk_400
