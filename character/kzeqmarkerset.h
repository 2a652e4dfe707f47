#ifndef ZEQ_CHARACTER_KZEQMARKERSET_H
#define ZEQ_CHARACTER_KZEQMARKERSET_H

#include <vector>

#include "base/kstring.h"
#include "base/kzeqvector.h"
#include "character/kzeqactor.h"
#include "scene/kzeqobject.h"

namespace zeqsdk_400 {

class KZeqNode;

// One marker of a marker set; copied in and out by value.
struct KZeqMarkerSetLink {
    void Reset() { *this = KZeqMarkerSetLink(); }

    KString mName;
    KZeqNode* mNode = nullptr;  // not owned
    bool mOriented = false;
    KZeqVector4 mTranslationOffset{0.0, 0.0, 0.0, 1.0};
    KZeqVector4 mRotationOffset{0.0, 0.0, 0.0, 1.0};
};

// Markers tied to body parts. Links keep the order in which they were added
// (their global index) and their order within their part (their local index);
// both maps answer in constant time.
class KZeqMarkerSet : public KZeqObject {
public:
    KZeqMarkerSet(KZeqSdkManager& manager, const char* name);

    ENameSpace GetNameSpace() const override { return eMarkerSet; }

    // Drops every link.
    void Reset();

    // Adds a copy, never looking for duplicates; false for a part outside 0..20.
    bool AddMarkerSetLink(EActorBodyPart part, const KZeqMarkerSetLink& link);
    int GetMarkerSetLinkCount() const { return static_cast<int>(mLinks.size()); }
    // 0 for a part outside 0..20.
    int GetMarkerSetLinkCount(EActorBodyPart part) const;

    // Lookups leave their outputs alone when they fail.
    bool GetGlobalFromLocal(EActorBodyPart part, int local, int& global) const;
    bool GetLocalFromGlobal(int global, EActorBodyPart& part, int& local) const;
    bool GetMarkerSetLink(int global, KZeqMarkerSetLink& link) const;
    bool GetMarkerSetLink(EActorBodyPart part, int local, KZeqMarkerSetLink& link) const;

    // The name (same kind only) and copies of the links, re-added in global
    // order so that every index is kept.
    KZeqMarkerSet& operator=(KZeqMarkerSet& other);

private:
    struct Entry {
        KZeqMarkerSetLink mLink;
        EActorBodyPart mPart;
        int mLocal;
    };

    bool ValidGlobal(int global) const { return global >= 0 && global < GetMarkerSetLinkCount(); }
    bool ValidLocal(EActorBodyPart part, int local) const {
        return IsValidActorBodyPart(part) && local >= 0 && local < static_cast<int>(mPartLinks[part].size());
    }

    std::vector<Entry> mLinks;                         // by global index
    std::vector<int> mPartLinks[kActorBodyPartCount];  // global indices by local index
};

}  // namespace zeqsdk_400

#endif
