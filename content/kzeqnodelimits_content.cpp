// What the automatic limits read of the node attributes: the children's
// skeleton kinds that decide where a bone ends, and the geometry whose
// farthest point ends a bone without children.
#include <cmath>

#include "content/kzeqskeleton.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"

namespace zeqsdk_400 {

namespace {

// The groups among which a bone's end is chosen.
enum EEndGroup { eAnyChild, eNoAttribute, eMarkerChild, eRootSkeleton, eOtherSkeleton, eNoGroup, eGroupCount = eNoGroup };

EEndGroup GroupOf(const KZeqNode& node) {
    const KZeqNodeAttribute* attribute = node.GetNodeAttribute();
    if (!attribute) return eNoAttribute;
    if (attribute->GetAttributeType() == KZeqNodeAttribute::eMARKER) return eMarkerChild;
    if (const KZeqSkeleton* skeleton = node.GetSkeleton())
        return skeleton->GetSkeletonType() == KZeqSkeleton::eROOT ? eRootSkeleton : eOtherSkeleton;
    return eNoGroup;
}

double Length3(const KZeqVector4& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

}  // namespace

KZeqVector4 KZeqNodeLimits::GetEndPointTranslation(KZeqNode* node) {
    if (!node) return KZeqVector4(0.0, 0.0, 0.0, 1.0);
    KZeqVector4 best[eGroupCount];
    double bestLength[eGroupCount] = {0.0, 0.0, 0.0, 0.0, 0.0};
    for (int i = 0; i < node->GetChildCount(false); ++i) {
        KZeqNode* child = node->GetChild(i);
        if (!child) continue;
        const KZeqVector4 t = child->GetLocalFromDefaultTake().GetT();
        const double length = Length3(t);
        for (EEndGroup group : {eAnyChild, GroupOf(*child)}) {
            if (group == eNoGroup || !(length > bestLength[group])) continue;
            best[group] = t;
            bestLength[group] = length;
        }
    }
    const EEndGroup chosen = GroupOf(*node);
    if (chosen != eNoGroup && bestLength[chosen] > 0.0) return best[chosen];
    if (bestLength[eAnyChild] > 0.0) return best[eAnyChild];
    return GetEndSite(node);
}

KZeqVector4 KZeqNodeLimits::GetEndSite(KZeqNode* node) {
    int count = 0;
    const KZeqVector4* points = node ? node->GetGeometryControlPoints(count) : nullptr;
    if (!points || count <= 0) return KZeqVector4(0.0, 0.0, 0.0, 1.0);
    int farthest = -1;
    double farthestLength = 0.0;
    for (int i = 0; i < count; ++i) {
        const double length = Length3(points[i]);
        if (length > farthestLength) {
            farthest = i;
            farthestLength = length;
        }
    }
    return farthest < 0 ? KZeqVector4() : points[farthest];
}

}  // namespace zeqsdk_400
