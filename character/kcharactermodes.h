#ifndef ZEQ_CHARACTER_KCHARACTERMODES_H
#define ZEQ_CHARACTER_KCHARACTERMODES_H

// The discrete settings of a character's solver and their display texts.
// Each text function gives a static text, null for a value outside its type.

enum kCharacterPosture : int { kCharacterPostureBiped = 0, kCharacterPostureQuadruped };

// Three-way parameter mode: 1 is the automatic one.
enum kCharacterOffAutoUser : int { kCharacterOffAutoUserOff = 0, kCharacterOffAutoUserAuto, kCharacterOffAutoUserUser };

// Two-way parameter mode: 0 is the automatic one.
enum kCharacterAutoUser : int { kCharacterAutoUserAuto = 0, kCharacterAutoUserUser };

enum kCharacterRollExtractionMode : int { kCharacterRollExtractionRelative = 0, kCharacterRollExtractionAbsolute };

enum kCharacterFloorPivot : int {
    kCharacterFloorPivotAuto = 0,
    kCharacterFloorPivotAnkleWrist,
    kCharacterFloorPivotToesFingers
};

enum kCharacterFloorContactType : int {
    kCharacterFloorContactNormal = 0,
    kCharacterFloorContactAnkleWrist,
    kCharacterFloorContactToeBaseFingerBase,
    kCharacterFloorContactHoof
};

enum kCharacterFingerContactMode : int {
    kCharacterFingerContactSticky = 0,
    kCharacterFingerContactSpread,
    kCharacterFingerContactStickySpread
};

enum kCharacterHipsTranslationMode : int {
    kCharacterHipsTranslationWorldRigid = 0,
    kCharacterHipsTranslationBodyRigid
};

enum kCharacterContactBehaviour : int {
    kCharacterContactBehaviourNeverSync = 0,
    kCharacterContactBehaviourSyncOnKey,
    kCharacterContactBehaviourAlwaysSync
};

const char* KCharacter_GetPostureString(kCharacterPosture value);
const char* KCharacter_GetOffAutoUserModeString(kCharacterOffAutoUser value);
const char* KCharacter_GetAutoUserModeString(kCharacterAutoUser value);
const char* KCharacter_GetRollExtractionModeString(kCharacterRollExtractionMode value);
const char* KCharacter_GetFootFloorPivotString(kCharacterFloorPivot value);
const char* KCharacter_GetHandFloorPivotString(kCharacterFloorPivot value);
const char* KCharacter_GetFootContactTypeString(kCharacterFloorContactType value);
const char* KCharacter_GetHandContactTypeString(kCharacterFloorContactType value);
const char* KCharacter_GetFingerContactModeString(kCharacterFingerContactMode value);
const char* KCharacter_GetHipsTranslationModeString(kCharacterHipsTranslationMode value);
const char* KCharacter_GetContactBehaviourString(kCharacterContactBehaviour value);

#endif
