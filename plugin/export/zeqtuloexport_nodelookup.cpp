// The exported node that stands for a host path: a node stands for its own path and for the paths
// of its host children. Nodes are searched before their descendants, host and Zeq children from
// the highest index, and the first match wins. Also the walk of the binding and shape steps, which
// holds the index of these look-ups, and the geometry attribute those steps read.
#include <cstring>
#include <vector>

#include "content/kzeqgeometry.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/export/zeqtuloexportnodeindex.h"

using namespace zeqsdk_400;

namespace {

template <class Matches>
ZeqTuloNode* FirstStandingFor(ZeqTuloNode* start, Matches matches) {
    std::vector<ZeqTuloNode*> pending;
    if (start) pending.push_back(start);
    while (!pending.empty()) {
        ZeqTuloNode* node = pending.back();
        pending.pop_back();
        if (const TDagPath* path = node->GetDagPath()) {
            if (matches(*path)) return node;
            for (int i = static_cast<int>(path->childCount()) - 1; i >= 0; --i) {
                TStatus status;
                const TDagPath child = TDagPath::getAPathTo(path->child(static_cast<unsigned>(i)), &status);
                if (status && matches(child)) return node;
            }
        }
        // Pushed lowest first, so the highest index is searched first.
        const int count = node->GetChildCount(false);
        for (int j = 0; j < count; ++j) pending.push_back(static_cast<ZeqTuloNode*>(node->GetChild(j)));
    }
    return nullptr;
}

}  // namespace

ZeqTuloNode* ZeqTuloExport::GetNodeWithThisChildren(ZeqTuloNode* node, TDagPath* path) {
    if (!path) return nullptr;
    // Within a binding or shape step the tree stands still: its index answers.
    if (mNodeIndex && node == mNodeIndex->GetRoot() && path->isValid()) return mNodeIndex->StandingFor(*path);
    return FirstStandingFor(node, [path](const TDagPath& candidate) { return candidate == *path; });
}

ZeqTuloNode* ZeqTuloExport::GetNodeWithThisChildren(ZeqTuloNode* node, const char* name) {
    if (!name) return nullptr;
    return FirstStandingFor(
        node, [name](const TDagPath& candidate) { return std::strcmp(candidate.partialPathName().asChar(), name) == 0; });
}

void ZeqTuloExport::VisitWithNodeIndex(ZeqTuloNode* start, const std::function<void(ZeqTuloNode*)>& visit) {
    const bool ownIndex = start == mRootNode && !mNodeIndex;
    if (ownIndex) mNodeIndex = std::make_shared<ZeqTuloExportNodeIndex>(mRootNode);
    std::vector<ZeqTuloNode*> pending{start};
    while (!pending.empty()) {
        ZeqTuloNode* node = pending.back();
        pending.pop_back();
        visit(node);
        const int count = node->GetChildCount(false);
        for (int j = 0; j < count; ++j) pending.push_back(static_cast<ZeqTuloNode*>(node->GetChild(j)));
    }
    if (ownIndex) mNodeIndex.reset();
}

KZeqGeometry* GeometryAttribute(KZeqNode* node) {
    KZeqNodeAttribute* attribute = node ? node->GetNodeAttribute() : nullptr;
    if (!attribute) return nullptr;
    const int type = attribute->GetAttributeType();
    return type == KZeqNodeAttribute::eMESH || type == KZeqNodeAttribute::eNURB || type == KZeqNodeAttribute::ePATCH
               ? static_cast<KZeqGeometry*>(attribute)
               : nullptr;
}
