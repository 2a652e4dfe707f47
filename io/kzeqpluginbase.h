#ifndef ZEQ_IO_KZEQPLUGINBASE_H
#define ZEQ_IO_KZEQPLUGINBASE_H

#include "base/karray.h"
#include "base/kgemath.h"
#include "base/kstring.h"

namespace zeqsdk_400 {

class KZeqNode;

// Base of a host's export driver: knows the root node "Zeq_Root" that a host
// may put above the nodes it exchanges.
class KZeqPluginBase {
public:
    KZeqPluginBase();
    KZeqPluginBase(const KZeqPluginBase&) = delete;
    KZeqPluginBase& operator=(const KZeqPluginBase&) = delete;
    virtual ~KZeqPluginBase();

    // A root node by its name (the root-node name anywhere in it, prefix
    // included) or by the driver's own test; false for null.
    bool IsZeqRootNode(KZeqNode* node);
    virtual bool IsAlternativeZeqRootNode(KZeqNode* node);

protected:
    // The driver names the root node it creates with it.
    const KString& GetZeqRootNodeName() const { return mZeqRootNodeName; }

private:
    KString mZeqRootNodeName;
};

// Base of a host's import driver: decides, before host objects are built,
// which top-level nodes of the read scene stand for themselves and which root
// nodes give way to their children, and applies the host's correction matrix.
class KZeqPluginImportBase : public KZeqPluginBase {
public:
    KZeqPluginImportBase();
    ~KZeqPluginImportBase() override;

    // A root node that gave way to its children.
    bool IsExcludedZeqRoot(KZeqNode* node);
    // False for the nodes that stand as roots of their own and for excluded root nodes.
    virtual bool NeedZeqRoot(KZeqNode* node);
    // Fills the correction matrix (for example a unit or axis conversion); it comes in as the identity.
    virtual void ComputeWorldTransform(KgeAMatrix& matrix) = 0;
    // Gives the node the translation, rotation and scaling of the matrix; the flag tells
    // whether the matrix is the identity (not read here).
    virtual void CustomApplyWorldTransform(KZeqNode* node, KgeAMatrix& matrix, bool identity);

    // Rebuilds the preprocessed list from the root's "Zeq_Root" children, then applies
    // the correction to the root. Nothing for a null root.
    void Preprocess(KZeqNode* root);

protected:
    // The top-level nodes that the import handles as roots of their own.
    const KArrayTemplate<KZeqNode*>& GetPreprocessedNodes() const { return mPreprocessed; }

private:
    KArrayTemplate<KZeqNode*> mPreprocessed;
    KArrayTemplate<KZeqNode*> mExcludedRoots;  // only grows
};

}  // namespace zeqsdk_400

#endif
