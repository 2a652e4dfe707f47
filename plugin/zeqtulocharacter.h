#ifndef ZEQ_PLUGIN_ZEQTULOCHARACTER_H
#define ZEQ_PLUGIN_ZEQTULOCHARACTER_H

namespace zeqsdk_400 {
class KZeqCharacter;
class KZeqScene;
}  // namespace zeqsdk_400

// Character transfer between the scene and the host's character-rig procedures ("QIR..."). Each
// entry point first asks the host for the procedures it needs and does nothing without them. A
// character node is addressed by "-lti" (its group + 1; the reference node 0) and "-li" (its index
// in the group; the reference 0); identifiers in no group are skipped. A reply the host leaves
// empty counts as absent (or 0).

// True when the host knows the procedure ("exists <name>" answers 1).
bool ProcedureExist(const char* name);
// Before a save or load: nothing.
bool ZEQCharacterPreLoad(zeqsdk_400::KZeqScene* scene);
bool ZEQCharacterPreSave(zeqsdk_400::KZeqScene* scene);
// Export: one scene character per host character, linked to the scene nodes named like the
// host's nodes. False without "QIRGetCharacterCount".
bool ZEQCharacterPostSave(zeqsdk_400::KZeqScene* scene);
// Import: one host character per scene character, its links with their offsets (rotation in
// radians), then characterized. False without "QIRCreateCharacter".
bool ZEQCharacterPostLoad(zeqsdk_400::KZeqScene* scene);
bool ExtractCharacterFromTulo(int hostCharacter, zeqsdk_400::KZeqScene* scene, zeqsdk_400::KZeqCharacter* character);
bool ExtractCharacterFromZeq(zeqsdk_400::KZeqCharacter* character, int hostCharacter);
// The hooks for character properties: nothing is transferred.
void QIRProperty2ZEQParam(int hostCharacter, zeqsdk_400::KZeqCharacter* character);
void ZEQParam2QIRProperty(zeqsdk_400::KZeqCharacter* character, int hostCharacter);

#endif
