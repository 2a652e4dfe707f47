#ifndef ZEQ_PLUGIN_EXPORT_ZEQTULOEXPORTNODEREGISTRY_H
#define ZEQ_PLUGIN_EXPORT_ZEQTULOEXPORTNODEREGISTRY_H

#include <memory>
#include <unordered_map>
#include <vector>

#include "base/kdefs.h"
#include "base/kset.h"
#include "plugin/zeqtulopathkey.h"
#include "tdagpath.h"

class ZeqTuloNode;

// The nodes the first walk made, entered with the host path each stands for. Looked up by path at
// the cost of a hash; the by-name view of a table of full path names (sorted, letter case ignored,
// the first entered first) is made only when asked for, for callers that look nodes up by name.
class ZeqTuloExportNodeRegistry {
public:
    void Add(const TDagPath& path, ZeqTuloNode* node);
    // The first node entered for exactly this path whose own path it is; null when none.
    ZeqTuloNode* Find(const TDagPath& path) const;

    // By full path name, as a name table answers.
    int GetCount() const { return static_cast<int>(mEntries.size()); }
    zeqsdk_400::kReference Get(const char* fullPathName, int* index = nullptr) const;
    zeqsdk_400::kReference GetFromIndex(int index, const char** fullPathName = nullptr) const;

private:
    struct Entry {
        TDagPath mPath;
        ZeqTuloNode* mNode;
        int mNext;  // the next entry with the same path, -1 at the last
    };
    struct Run {
        int mFirst, mLast;
    };
    const zeqsdk_400::KCharPtrSet& Named() const;

    std::vector<Entry> mEntries;
    std::unordered_map<ZeqTuloPathKey, Run, ZeqTuloPathKeyHash> mByPath;
    mutable std::unique_ptr<zeqsdk_400::KCharPtrSet> mNamed;  // for mNamedCount entries
    mutable int mNamedCount = -1;
};

#endif
