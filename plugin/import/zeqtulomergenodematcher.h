#ifndef ZEQ_PLUGIN_IMPORT_ZEQTULOMERGENODEMATCHER_H
#define ZEQ_PLUGIN_IMPORT_ZEQTULOMERGENODEMATCHER_H

#include <string>
#include <unordered_map>
#include <vector>

#include "tdagpath.h"
#include "tobject.h"
#include "tstatus.h"

namespace zeqsdk_400 {
class KZeqNode;
class KZeqUserProperty;
}  // namespace zeqsdk_400

class TDagPath;
class ZeqTuloImport;
class ZeqTuloNode;
class ZeqTuloSdkManager;

// Binds the scene's nodes to host nodes that exist before the import: top down, each node to the
// child of its parent's host node (the world for the scene root's children) that has the node's
// name in its namespace. A camera that the host keeps in a look-at group of its own (one the file
// has no node for) is looked for, with its aim and up node, in such a group below its parent's
// host node; nodes of the user's beside them in the group stay the user's. A bound node keeps the host path, counts as present and learns which host attributes
// already carry its user properties.
class ZeqTuloMergeNodeMatcher {
public:
    explicit ZeqTuloMergeNodeMatcher(ZeqTuloSdkManager& manager) : mManager(manager) {}

    // Binds the subtree below root (the root itself stands for the world). Always success.
    TStatus Apply(zeqsdk_400::KZeqNode* root, TFn::Type filter);
    void ResolveUserPropertyNames(zeqsdk_400::KZeqNode* node);
    // A numeric attribute of that unit type can carry the property.
    static bool UserPropertyTypesMatch(zeqsdk_400::KZeqUserProperty* property, int unitType);

    ZeqTuloSdkManager& mManager;
    ZeqTuloImport* mImport = nullptr;

private:
    // Binds the subtree below parent, whose host node is at parentPath.
    void BindChildren(zeqsdk_400::KZeqNode* parent, const TDagPath& parentPath, TFn::Type filter);
    // Binds the node alone to the host child of that name not bound yet (taken out of children).
    bool Bind(ZeqTuloNode* node, const char* name, std::unordered_map<std::string, TObject>& children,
              const TDagPath& parentPath, TFn::Type filter);
    // Binds the rigs of the parent's cameras left unbound to the host's look-at groups not bound yet
    // among children (below parentPath) that hold nodes of the rig; the nodes bound.
    std::vector<ZeqTuloNode*> BindRigs(zeqsdk_400::KZeqNode& parent, std::unordered_map<std::string, TObject>& children,
                                       const TDagPath& parentPath, TFn::Type filter);
};

#endif
