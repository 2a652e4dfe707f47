#include "character/kcharactermodes.h"

namespace {

template <int N>
const char* TextOf(const char* const (&texts)[N], int value) {
    return static_cast<unsigned>(value) < static_cast<unsigned>(N) ? texts[value] : nullptr;
}

constexpr const char* kPosture[] = {"Biped", "Quadruped"};
constexpr const char* kOffAutoUser[] = {"Off", "Auto", "User"};
constexpr const char* kAutoUser[] = {"Auto", "User"};
constexpr const char* kRollExtraction[] = {"Relative", "Absolute"};
constexpr const char* kFootFloorPivot[] = {"Auto", "Ankle", "Toes"};
constexpr const char* kHandFloorPivot[] = {"Auto", "Wrist", "Fingers"};
constexpr const char* kFootContactType[] = {"Normal", "Ankle", "ToeBase", "Hoof"};
constexpr const char* kHandContactType[] = {"Normal", "Wrist", "FingerBase", "Hoof"};
constexpr const char* kFingerContact[] = {"Sticky", "Spread", "Sticky & Spread"};
constexpr const char* kHipsTranslation[] = {"World Rigid", "Body Rigid"};
constexpr const char* kContactBehaviour[] = {"Never Sync", "Sync On Key", "Always Sync"};

}  // namespace

const char* KCharacter_GetPostureString(kCharacterPosture value) { return TextOf(kPosture, value); }
const char* KCharacter_GetOffAutoUserModeString(kCharacterOffAutoUser value) { return TextOf(kOffAutoUser, value); }
const char* KCharacter_GetAutoUserModeString(kCharacterAutoUser value) { return TextOf(kAutoUser, value); }
const char* KCharacter_GetRollExtractionModeString(kCharacterRollExtractionMode value) {
    return TextOf(kRollExtraction, value);
}
const char* KCharacter_GetFootFloorPivotString(kCharacterFloorPivot value) { return TextOf(kFootFloorPivot, value); }
const char* KCharacter_GetHandFloorPivotString(kCharacterFloorPivot value) { return TextOf(kHandFloorPivot, value); }
const char* KCharacter_GetFootContactTypeString(kCharacterFloorContactType value) {
    return TextOf(kFootContactType, value);
}
const char* KCharacter_GetHandContactTypeString(kCharacterFloorContactType value) {
    return TextOf(kHandContactType, value);
}
const char* KCharacter_GetFingerContactModeString(kCharacterFingerContactMode value) {
    return TextOf(kFingerContact, value);
}
const char* KCharacter_GetHipsTranslationModeString(kCharacterHipsTranslationMode value) {
    return TextOf(kHipsTranslation, value);
}
const char* KCharacter_GetContactBehaviourString(kCharacterContactBehaviour value) {
    return TextOf(kContactBehaviour, value);
}
