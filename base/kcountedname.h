#ifndef ZEQ_BASE_KCOUNTEDNAME_H
#define ZEQ_BASE_KCOUNTEDNAME_H

#include "base/kstepcount.h"
#include "base/kstring.h"

namespace zeqsdk_400 {

// The name of a record whose name is a public member, read by searches with no accessor between:
// each read of its text or comparison counts as a search step, as a property's name read does, so
// that the tests bounding searches see one done in place. Otherwise a KString.
class KCountedName : public KString {
public:
    using KString::KString;
    using KString::operator=;
    KCountedName() = default;
    KCountedName(const KString& text) : KString(text) {}

    const char* Buffer() const { return Counted().KString::Buffer(); }
    char* Buffer() { return Counted(), KString::Buffer(); }
    const char* GetBuffer() const { return Buffer(); }
    char* GetBuffer() { return Buffer(); }
    operator const char*() const { return Buffer(); }
    bool operator==(const KString& other) const { return Counted().KString::operator==(other); }
    bool operator!=(const KString& other) const { return !(*this == other); }
    bool operator==(const char* text) const { return Counted().KString::operator==(text); }
    bool operator!=(const char* text) const { return !(*this == text); }
    bool operator<(const KString& other) const { return Counted().KString::operator<(other); }
    int Compare(const char* text) const { return Counted().KString::Compare(text); }
    int CompareNoCase(const char* text) const { return Counted().KString::CompareNoCase(text); }

    // For a search that counts its own steps (KFindNamed): the name, not counted again.
    const KString& Uncounted() const { return *this; }

private:
    const KCountedName& Counted() const {
        KCountSteps(KStepKind::eSearch, 1);
        return *this;
    }
};

}  // namespace zeqsdk_400

#endif
