#ifndef ZEQ_IO_KZEQPIVOTREPLACEMENT_H
#define ZEQ_IO_KZEQPIVOTREPLACEMENT_H

#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

class KZeqSdkManager;

// For a host without pre- and post-rotation: below and including node, every
// node with a pre-rotation gets a parent "<name>__Pre_" carrying it as its
// rotation (and the node's translation with its curves), every node with a
// post-rotation a child "<name>__Post_" carrying it above the former children.
// True when node itself was replaced. Only pivot set 0 is read and written.
bool ReplacePivotExport(KZeqNode* node, KZeqNode::EPivotSet set, KZeqSdkManager& manager);

// Folds such nodes back into the pre- and post-rotation of the node between
// them, below node (never node itself); the folded nodes are left detached.
// A node where nothing was folded gets pivot state 0 on both sets.
void ReplacePivotImport(KZeqNode* node, KZeqNode::EPivotSet set, KZeqSdkManager& manager);

}  // namespace zeqsdk_400

#endif
