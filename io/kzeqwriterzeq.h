#ifndef ZEQ_IO_KZEQWRITERZEQ_H
#define ZEQ_IO_KZEQWRITERZEQ_H

#include "io/kzeqwriterzeqbase.h"

namespace zeqsdk_400 {

class KZeqLink;
class KZeqNode;

// Writes scenes as version-5.8 Zeq files (5800, the layout before version 6):
// media, camera switcher, models, password, takes, gobos, marker sets, actors
// and characters, generic persistence, constraints, global settings, then the
// "Summary". The sections' writers are the rows of kZeq58WriteSteps.
class KZeqWriterZeq : public KZeqWriterZeqBase {
public:
    KZeqWriterZeq(KZeqSdkManager& manager, KZeqExporter& exporter);

    // Every node below the root, parent before children, through the node
    // record writer, with progress "Storing models".
    void WriteNode(KZeqNode* root);
    // A geometry's "Link" record, Transform and the associate model's relative
    // to TransformLink; nothing for a link without link node.
    static bool WriteKZeqLink(KZeqWriterZeqBase& writer, KZeqLink& link);
};

}  // namespace zeqsdk_400

#endif
