#include "character/kcharactermodes.h"

#include <gtest/gtest.h>

#include <string>

// Each text function over its whole range, joined by '|', and null one past each end.
TEST(CharacterModes, TextsAndNullOutside) {
#define KZEQ_TEXT(Function, Type) [](int v) { return Function(static_cast<Type>(v)); }
    const struct {
        const char* (*mText)(int);
        const char* mTexts;
    } rows[] = {
        {KZEQ_TEXT(KCharacter_GetPostureString, kCharacterPosture), "Biped|Quadruped"},
        {KZEQ_TEXT(KCharacter_GetOffAutoUserModeString, kCharacterOffAutoUser), "Off|Auto|User"},
        {KZEQ_TEXT(KCharacter_GetAutoUserModeString, kCharacterAutoUser), "Auto|User"},
        {KZEQ_TEXT(KCharacter_GetRollExtractionModeString, kCharacterRollExtractionMode), "Relative|Absolute"},
        {KZEQ_TEXT(KCharacter_GetFootFloorPivotString, kCharacterFloorPivot), "Auto|Ankle|Toes"},
        {KZEQ_TEXT(KCharacter_GetHandFloorPivotString, kCharacterFloorPivot), "Auto|Wrist|Fingers"},
        {KZEQ_TEXT(KCharacter_GetFootContactTypeString, kCharacterFloorContactType), "Normal|Ankle|ToeBase|Hoof"},
        {KZEQ_TEXT(KCharacter_GetHandContactTypeString, kCharacterFloorContactType), "Normal|Wrist|FingerBase|Hoof"},
        {KZEQ_TEXT(KCharacter_GetFingerContactModeString, kCharacterFingerContactMode),
         "Sticky|Spread|Sticky & Spread"},
        {KZEQ_TEXT(KCharacter_GetHipsTranslationModeString, kCharacterHipsTranslationMode), "World Rigid|Body Rigid"},
        {KZEQ_TEXT(KCharacter_GetContactBehaviourString, kCharacterContactBehaviour),
         "Never Sync|Sync On Key|Always Sync"},
    };
#undef KZEQ_TEXT
    for (const auto& row : rows) {
        std::string joined;
        int v = 0;
        for (; row.mText(v); ++v) joined += (v ? "|" : "") + std::string(row.mText(v));
        EXPECT_EQ(row.mTexts, joined);
        EXPECT_TRUE(v < 5 && !row.mText(-1)) << row.mTexts;
    }
}
