#include "plugin/export/zeqtuloexportnoderegistry.h"

#include "plugin/zeqtulonode.h"

using namespace zeqsdk_400;

void ZeqTuloExportNodeRegistry::Add(const TDagPath& path, ZeqTuloNode* node) {
    const int index = static_cast<int>(mEntries.size());
    mEntries.push_back(Entry{path, node, -1});
    ZeqTuloPathKey key;
    if (!ZeqTuloPathKey::Of(path, key)) return;
    auto placed = mByPath.emplace(key, Run{index, index});
    if (!placed.second) {
        mEntries[static_cast<std::size_t>(placed.first->second.mLast)].mNext = index;
        placed.first->second.mLast = index;
    }
}

ZeqTuloNode* ZeqTuloExportNodeRegistry::Find(const TDagPath& path) const {
    ZeqTuloPathKey key;
    if (!ZeqTuloPathKey::Of(path, key)) return nullptr;
    const auto found = mByPath.find(key);
    if (found == mByPath.end()) return nullptr;
    for (int i = found->second.mFirst; i >= 0; i = mEntries[static_cast<std::size_t>(i)].mNext) {
        ZeqTuloNode* node = mEntries[static_cast<std::size_t>(i)].mNode;
        const TDagPath* own = node ? node->GetDagPath() : nullptr;
        if (own && *own == path) return node;
    }
    return nullptr;
}

const KCharPtrSet& ZeqTuloExportNodeRegistry::Named() const {
    if (!mNamed || mNamedCount != GetCount()) {
        mNamed = std::make_unique<KCharPtrSet>(20);
        for (const Entry& entry : mEntries)
            mNamed->Add(entry.mPath.isValid() ? entry.mPath.fullPathName().asChar() : "",
                        reinterpret_cast<kReference>(entry.mNode));
        mNamedCount = GetCount();
    }
    return *mNamed;
}

kReference ZeqTuloExportNodeRegistry::Get(const char* fullPathName, int* index) const {
    return Named().Get(fullPathName, index);
}

kReference ZeqTuloExportNodeRegistry::GetFromIndex(int index, const char** fullPathName) const {
    return Named().GetFromIndex(index, fullPathName);
}
