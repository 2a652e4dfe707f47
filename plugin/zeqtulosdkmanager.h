#ifndef ZEQ_PLUGIN_ZEQTULOSDKMANAGER_H
#define ZEQ_PLUGIN_ZEQTULOSDKMANAGER_H

#include "io/kzeqpluginrenamingstrategy.h"
#include "scene/kzeqsdkmanager.h"

class TDagPath;
class ZeqTuloNode;
class ZeqTuloMergeNodeMatcher;

// The plug-in's renaming: the strategy's, with the namespace separator ":" kept.
class ZeqTuloRenamingStrategy : public KZeqPluginRenamingStrategy {
public:
    using KZeqPluginRenamingStrategy::KZeqPluginRenamingStrategy;
    zeqsdk_400::KString& ReplaceNonAlphaNum(zeqsdk_400::KString& text, const char* replacement) override;
};

// The SDK manager of an export (mode 0) or an import (mode 1): every node it creates is a
// ZeqTuloNode.
class ZeqTuloSdkManager : public zeqsdk_400::KZeqSdkManager {
public:
    enum EMode : int { eExport = 0, eImport = 1 };

    explicit ZeqTuloSdkManager(EMode mode);
    ~ZeqTuloSdkManager() override;

    EMode GetMode() const { return mMode; }

    // A node named "Model::" + name, holding a copy of the path (null: none).
    ZeqTuloNode* CreateZeqTuloNode(const char* name, const TDagPath* path);
    // With recursive the node's subtree goes with it.
    bool DestroyZeqTuloNode(ZeqTuloNode* node, bool recursive);

    // Gives every node a unique name the host accepts and records each node's namespace (the text
    // of its initial name after the "Model::" prefix up to the next ":"). Export: clashes are
    // marked the Zeq way. Import: clash marks are read back, names made host-valid and unique,
    // the first node of each namespace asks for it to be added, and pose entries follow their
    // nodes' new names.
    void ResolveNameClashing();

    zeqsdk_400::KZeqNode* AllocateKZeqNode(const char* name) override;

    // The import's one merge matcher, made on first call (plugin/import); Destroy deletes the one
    // held. The import destroys it after each use.
    ZeqTuloMergeNodeMatcher* CreateZeqTuloMergeNodeMatcher();
    void DestroyZeqTuloMergeNodeMatcher(ZeqTuloMergeNodeMatcher* matcher);

private:
    EMode mMode;
    ZeqTuloMergeNodeMatcher* mMergeNodeMatcher = nullptr;
};

#endif
