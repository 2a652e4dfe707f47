#ifndef ZEQ_IO_KZEQCHARACTERSLOTS_H
#define ZEQ_IO_KZEQCHARACTERSLOTS_H

// Block names of a character record's single links and link groups, shared
// by the Zeq character reader and writer so that both keep one order.

#include "character/kzeqcharacternodeid.h"

namespace zeqsdk_400 {

struct ZeqCharacterSlot {
    const char* mName;
    int mId;
};
inline constexpr ZeqCharacterSlot kZeqCharacterSingleLinks[] = {
    {"REFERENCE", eCharacterReference},          {"LEFT_FLOOR", eCharacterLeftFloor},
    {"RIGHT_FLOOR", eCharacterRightFloor},       {"LEFT_HANDFLOOR", eCharacterLeftHandFloor},
    {"RIGHT_HANDFLOOR", eCharacterRightHandFloor},
};
// A control set has the first ten groups: all but "PROPS".
inline constexpr ZeqCharacterSlot kZeqCharacterGroups[] = {
    {"BASE", 0},     {"AUXILIARY", 1}, {"SPINE", 2},     {"NECK", 9},       {"ROLL", 3},      {"SPECIAL", 4},
    {"LEFTHAND", 5}, {"RIGHTHAND", 6}, {"LEFTFOOT", 10}, {"RIGHTFOOT", 11}, {"PROPS", 7},
};
inline constexpr int kZeqControlSetGroupCount = 10;

}  // namespace zeqsdk_400

#endif
