#include "character/kzeqmarkerset.h"

namespace zeqsdk_400 {

KZeqMarkerSet::KZeqMarkerSet(KZeqSdkManager& manager, const char* name) : KZeqObject(manager, name) {}

void KZeqMarkerSet::Reset() {
    mLinks.clear();
    for (std::vector<int>& links : mPartLinks) links.clear();
}

bool KZeqMarkerSet::AddMarkerSetLink(EActorBodyPart part, const KZeqMarkerSetLink& link) {
    if (!IsValidActorBodyPart(part)) return false;
    std::vector<int>& partLinks = mPartLinks[part];
    mLinks.push_back(Entry{link, part, static_cast<int>(partLinks.size())});
    partLinks.push_back(GetMarkerSetLinkCount() - 1);
    return true;
}

int KZeqMarkerSet::GetMarkerSetLinkCount(EActorBodyPart part) const {
    return IsValidActorBodyPart(part) ? static_cast<int>(mPartLinks[part].size()) : 0;
}

bool KZeqMarkerSet::GetGlobalFromLocal(EActorBodyPart part, int local, int& global) const {
    if (!ValidLocal(part, local)) return false;
    global = mPartLinks[part][local];
    return true;
}

bool KZeqMarkerSet::GetLocalFromGlobal(int global, EActorBodyPart& part, int& local) const {
    if (!ValidGlobal(global)) return false;
    part = mLinks[global].mPart;
    local = mLinks[global].mLocal;
    return true;
}

bool KZeqMarkerSet::GetMarkerSetLink(int global, KZeqMarkerSetLink& link) const {
    if (!ValidGlobal(global)) return false;
    link = mLinks[global].mLink;
    return true;
}

bool KZeqMarkerSet::GetMarkerSetLink(EActorBodyPart part, int local, KZeqMarkerSetLink& link) const {
    if (!ValidLocal(part, local)) return false;
    link = mLinks[mPartLinks[part][local]].mLink;
    return true;
}

KZeqMarkerSet& KZeqMarkerSet::operator=(KZeqMarkerSet& other) {
    if (&other == this) return *this;
    Reset();
    KZeqObject::operator=(other);
    mLinks.reserve(other.mLinks.size());
    for (const Entry& entry : other.mLinks) AddMarkerSetLink(entry.mPart, entry.mLink);
    return *this;
}

}  // namespace zeqsdk_400
