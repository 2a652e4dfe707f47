#ifndef ZEQ_FORMATS_GEOMETRY_DEFORM_KZEQDEFORMATION_H
#define ZEQ_FORMATS_GEOMETRY_DEFORM_KZEQDEFORMATION_H

#include <unordered_map>
#include <unordered_set>

#include "base/kzeqmatrix.h"
#include "base/kzeqvector.h"
#include "scene/kzeqtransformcache.h"

namespace zeqsdk_400 {

class KZeqGeometry;
class KZeqNode;
class KZeqSdkManager;

// Where a static export places nodes, each node evaluated once while it lives (one write):
// placing every node of a scene costs one evaluation per node, whatever the depth. The transforms
// must not change while it is used.
class KZeqStaticPlacement {
public:
    // Where a static export puts the node's control points: pivot set 0's global matrix, the whole
    // product (a node turned under an unevenly scaled parent keeps its shear), unless the node or
    // one above it needs the full transform; then its geometric transform followed by the full
    // global transform of its default values.
    KZeqXMatrix Of(KZeqNode& node);
    // KZeqDeformation::GetGlobalPosition of the node.
    const KZeqXMatrix& GlobalPosition(KZeqNode& node);

private:
    KZeqTransformCache mFull;
    std::unordered_map<const KZeqNode*, KZeqXMatrix> mPositions;
    // Each node's root, and the roots whose trees' pivot-set matrices are computed.
    std::unordered_map<const KZeqNode*, KZeqNode*> mRoots;
    std::unordered_set<const KZeqNode*> mComputed;
};

// A geometry as its blend shapes and skin links deform it, for writers that
// export static meshes. Every operation works on an array of points that the
// caller owns (a copy of the control points, or of points tied to them such as
// normal tips): the geometry itself is never changed, so exporting twice gives
// the same file. Entry i of an array follows control point controlPoints[i],
// or control point i when no such map is given; entries whose control point
// lies outside the geometry are left where they are.
class KZeqDeformation {
public:
    // Each entry moves by the sum over shapes of the shape's weight in the
    // default take (unscaled) times (shape point - geometry point). A shape
    // with fewer points than the geometry is skipped.
    static void ComputeShapeDeformation(KZeqGeometry* geometry, KZeqVector4* points, int count,
                                        const int* controlPoints = nullptr);

    // The weighted blend of the links' vertex transforms, global being the
    // geometry node's global matrix as the writer computed it. The first
    // link's mode holds for all: normalize divides by the weight sum, total
    // one completes it with the entry as given, additive chains the
    // transforms. Links without a link node, pairs of weight 0 and indices
    // outside the geometry count for nothing; entries no pair reaches stay.
    // The link nodes' global positions come from placement when given (a
    // writer's, so that each is evaluated once per write).
    static void ComputeLinkDeformation(const KZeqXMatrix& global, KZeqGeometry* geometry, KZeqVector4* points,
                                       int count, const int* controlPoints = nullptr,
                                       KZeqStaticPlacement* placement = nullptr);

    // Shapes (when there are any), then links (when there are any): the
    // order every writer applies them in.
    static void Deform(const KZeqXMatrix& global, KZeqGeometry* geometry, KZeqVector4* points, int count,
                       const int* controlPoints = nullptr, KZeqStaticPlacement* placement = nullptr);

    // Replaces the node's mesh, NURBS or patch by a triangulated mesh, as the
    // geometry converter does, then gives the new mesh's shapes the weights
    // the default take had (the converter starts them over), so that what is
    // exported next is deformed as before. False when it cannot.
    static bool TriangulateInPlace(KZeqSdkManager& manager, KZeqNode* node);

    // The node's default translation, rotation and scaling as a matrix.
    static KZeqXMatrix GetLocalPosition(KZeqNode* node);
    // The local matrices of the node and its ancestors composed, the
    // parent's applied last.
    static KZeqXMatrix GetGlobalPosition(KZeqNode* node);

    // All sixteen entries times factor; the four diagonal entries plus value;
    // the sum entry by entry.
    static void MatrixScale(KZeqXMatrix& matrix, double factor);
    static void MatrixAddToDiagonal(KZeqXMatrix& matrix, double value);
    static void MatrixAdd(KZeqXMatrix& matrix, const KZeqXMatrix& other);
};

}  // namespace zeqsdk_400

#endif
