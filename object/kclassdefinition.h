#ifndef ZEQ_OBJECT_KCLASSDEFINITION_H
#define ZEQ_OBJECT_KCLASSDEFINITION_H

namespace zeqsdk_400 {

class KPlug;
class KPlugFilter;

// Static record of an object-model class. Constant-initialised by each class
// ({&ClassId, &Parent::ClassDefinition, "Name", nullptr}); registration fills
// the filter and the class identifier.
struct KClassDefinition {
    int* mClassId;
    KClassDefinition* mParent;
    const char* mClassName;
    KPlugFilter* mFilter;  // null until registered
};

// Accepts the plugs of one class and of the classes derived from it.
// Class identifier -1 accepts every plug.
class KPlugFilter {
public:
    KPlugFilter(int classId, KClassDefinition* definition) : mClassId(classId), mDefinition(definition) {}

    int GetClassId() const { return mClassId; }
    // Null for the "None" filter.
    KClassDefinition* GetClassDefinition() const { return mDefinition; }
    bool IsMatching(const KPlug* plug) const;

private:
    int mClassId;
    KClassDefinition* mDefinition;
};

// Registers a class definition (its parents first when they are not yet
// registered) and answers its identifier, also stored through mClassId. With
// -1 the next free identifier is taken. A definition registered before keeps
// its identifier. An identifier already held by another definition, or a null
// definition, answers -1 and registers nothing. Registration never depends on
// static-initialisation order: the registry is built on first use.
int KPlug_RegisterClassId(KClassDefinition* definition, int classId);
// The filter of a registered class identifier; -1 gives the "None" filter that
// accepts every plug; null for an unregistered identifier.
KPlugFilter* KPlug_GetFilter(int classId);
// The definition registered under an identifier, null when none.
KClassDefinition* KPlug_GetClassDefinition(int classId);
// The identifier registered under a class name (exact), -1 when none.
int KPlug_GetClassIdByName(const char* className);

// Identifier of a definition, registering it on first use.
int KClassDefinition_GetId(KClassDefinition* definition);
// True when the definition or one of its ancestors has the identifier.
bool KClassDefinition_Is(KClassDefinition* definition, int classId);

}  // namespace zeqsdk_400

// Class identity of an object-model class: put the first macro in the class
// body and the second in its source file.
#define KZEQ_CLASS_DECLARE(ClassName_)                                           \
public:                                                                          \
    static int ClassId;                                                          \
    static zeqsdk_400::KClassDefinition ClassDefinition;                         \
    static const char* ClassName;                                                \
    bool Is(int classId) const override;                                         \
    int GetClassId() const override;                                             \
    const char* GetClassIdName() const override;                                 \
    zeqsdk_400::KClassDefinition* GetClassDefinition() const override;

#define KZEQ_CLASS_IMPLEMENT(ClassName_, ParentName_, NameText_)                 \
    zeqsdk_400::KClassDefinition ClassName_::ClassDefinition = {                 \
        &ClassName_::ClassId, &ParentName_::ClassDefinition, NameText_, nullptr}; \
    [[maybe_unused]] const char* ClassName_::ClassName = NameText_;                               \
    int ClassName_::ClassId = zeqsdk_400::KPlug_RegisterClassId(&ClassName_::ClassDefinition, -1); \
    bool ClassName_::Is(int classId) const {                                     \
        return zeqsdk_400::KClassDefinition_Is(&ClassDefinition, classId);       \
    }                                                                            \
    int ClassName_::GetClassId() const { return zeqsdk_400::KClassDefinition_GetId(&ClassDefinition); } \
    const char* ClassName_::GetClassIdName() const { return ClassDefinition.mClassName; } \
    zeqsdk_400::KClassDefinition* ClassName_::GetClassDefinition() const { return &ClassDefinition; }

#endif
