#ifndef ZEQ_BASE_KNAME_H
#define ZEQ_BASE_KNAME_H

#include <string>
#include <unordered_map>
#include <unordered_set>

#include "base/kstring.h"

namespace zeqsdk_400 {

// An initial name and the current name derived from it.
class KName {
public:
    KName(const char* name = "");

    // Sets the initial name and resets the current name to it.
    void SetInitialName(const char* name);
    const char* GetInitialName() const { return mInitial.Buffer(); }
    void SetCurrentName(const char* name);
    // The current name's own buffer; callers may shorten it in place.
    char* GetCurrentName() { return mCurrent.Buffer(); }
    const char* GetCurrentName() const { return mCurrent.Buffer(); }
    bool IsRenamed() const;

private:
    KString mInitial;
    KString mCurrent;
};

class KRenamingStrategy {
public:
    virtual ~KRenamingStrategy() = default;
    virtual void Clear() = 0;
    // True when the current name was changed.
    virtual bool Rename(KName& name) = 0;
    virtual KRenamingStrategy* Clone() = 0;
};

// Appends a number to a name seen before (LINE, LINE1, LINE2, ...), skipping
// numbers whose result was itself seen, so no name is handed out twice.
class KNumberRenamingStrategy : public KRenamingStrategy {
public:
    void Clear() override { mSeen.clear(); }
    bool Rename(KName& name) override;
    KRenamingStrategy* Clone() override { return new KNumberRenamingStrategy(*this); }

private:
    std::unordered_map<std::string, long long> mSeen;  // name -> times seen again
};

// Records one unique name per object key.
class KUniqueNameObjectList {
public:
    KUniqueNameObjectList(unsigned int initialNames = 8, unsigned int initialObjects = 64);

    // Records name (trimmed; "Default" when blank) for key, made unique by a
    // number suffix; answers the recorded name.
    const char* AddObject(const char* name, const void* key);
    // The name recorded for key, null when none.
    const char* GetNameByObject(const void* key) const;
    bool IsNameTaken(const char* name) const;
    void Clear();

private:
    std::unordered_set<std::string> mNames;
    std::unordered_map<const void*, KString> mObjects;
};

}  // namespace zeqsdk_400

#endif
