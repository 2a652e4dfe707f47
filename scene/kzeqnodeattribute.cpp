#include "scene/kzeqnodeattribute.h"

#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

void KZeqNodeAttribute::SetNode(KZeqNode& node) {
    mNode = &node;
    for (int i = 0; i < node.GetTakeNodeCount(); ++i) AddChannels(node.GetTakeNode(i));
}

void KZeqNodeAttribute::UnsetNode() {
    if (!mNode) return;
    for (int i = 0; i < mNode->GetTakeNodeCount(); ++i) RemoveChannels(mNode->GetTakeNode(i));
    mNode = nullptr;
}

}  // namespace zeqsdk_400
