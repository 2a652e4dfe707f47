#ifndef ZEQ_CONTENT_KZEQGEOMETRYCONVERTER_H
#define ZEQ_CONTENT_KZEQGEOMETRYCONVERTER_H

#include "base/karray.h"
#include "base/kzeqvector.h"

namespace zeqsdk_400 {

class KZEQSurfaceEvaluator;
class KZeqGeometry;
class KZeqLayerContainer;
class KZeqLink;
class KZeqMesh;
class KZeqNode;
class KZeqNurb;
class KZeqPatch;
class KZeqSdkManager;
class KZeqWeightedMapping;

// Turns geometry into other geometry: triangle meshes from meshes, patches
// and NURBS surfaces (texture coordinates, normals, shapes and skin links
// carried over), NURBS surfaces from patches, NURBS surfaces with U and V
// swapped, and meshes whose normals given per polygon vertex become per
// control point. Every new object comes from the manager and belongs to it;
// the caller attaches or destroys the results. Made and ended by the manager.
class KZeqGeometryConverter {
public:
    explicit KZeqGeometryConverter(KZeqSdkManager& manager) : mManager(manager) {}
    KZeqGeometryConverter(const KZeqGeometryConverter&) = delete;
    KZeqGeometryConverter& operator=(const KZeqGeometryConverter&) = delete;

    // ---- Triangulation ---------------------------------------------------------------------
    // A copy of the mesh made only of triangles; polygons of fewer than 3
    // vertices are dropped. Every element mapped by polygon or by polygon
    // vertex follows the triangles. Null for a null mesh.
    KZeqMesh* TriangulateMesh(KZeqMesh* mesh);
    // The tessellated surface as a triangle mesh: a grid of evaluated points
    // with normals by control point and four texture coordinates per cell;
    // shapes and links follow. Null for a null surface.
    KZeqMesh* TriangulatePatch(KZeqPatch* patch);
    KZeqMesh* TriangulateNurb(KZeqNurb* nurb);
    // The node's mesh, patch or NURBS (in that order of preference) replaced
    // by its triangle mesh; the shape curves of every take but the default
    // are kept. False, nothing changed, when the node has none of them.
    bool TriangulateInPlace(KZeqNode* node);

    // A new empty mesh with the source's layers and pivot.
    KZeqMesh* CreateMeshFromParametricSurface(KZeqGeometry* geometry);
    // The fourth component of every control point (of every normal of the
    // first layer holding normals) becomes 1.
    static void InitializeWeightInControlPoints(KZeqLayerContainer* container);
    static void InitializeWeightInNormals(KZeqLayerContainer* container);
    // Adds the triangles of a grid of X points per row and Y rows (closed
    // where the evaluator's mode is 1), with four new texture coordinates
    // per cell in layer 0. Nothing for X or Y below 2.
    void TriangulateContinuousSurface(KZeqMesh* mesh, KZEQSurfaceEvaluator* evaluator, unsigned int countX,
                                      unsigned int countY, bool flip);
    // Every shape of the source, tessellated by the evaluator (which keeps
    // its settings), added to the destination under the same name. A shape
    // with fewer points than countU x countV is read as if the missing
    // points were zero.
    void ConvertShapes(KZeqGeometry* source, KZeqGeometry* destination, KZEQSurfaceEvaluator* evaluator, int countU,
                       int countV);
    // The destination's links (destroyed) replaced by links carried from the
    // source's through the mapping (source control points -> destination's).
    void ConvertLinks(KZeqGeometry* source, KZeqGeometry* destination, KZeqWeightedMapping* mapping);
    // One new link per source link appended to destination. The mapping is
    // normalised per destination element first.
    void ConvertLinks(KArrayTemplate<KZeqLink*>& sourceLinks, int sourceCount,
                      KArrayTemplate<KZeqLink*>& destinationLinks, int destinationCount, KZeqWeightedMapping* mapping);
    // The relation (i, c, w) for each control point c of weight w of link i.
    static void BuildLinkToSourceMapping(KArrayTemplate<KZeqLink*>& links, KZeqWeightedMapping* mapping);
    // The new link's points: each destination element with the sum, over the
    // control points linking it to link i, of |link weight x surface weight|,
    // in element order, those of weight 0 left out.
    static void ConvertLink(int linkIndex, KZeqWeightedMapping& linkMapping, KZeqWeightedMapping& surfaceMapping,
                            KZeqLink* link);

    // ---- Other conversions -------------------------------------------------------------------
    // A NURBS surface of the patch (Bezier, B-spline and linear directions
    // only; null otherwise), with no shape weight at 0 or below.
    KZeqNurb* ConvertPatchToNurb(KZeqPatch* patch);
    // As TriangulateInPlace for the node's patch; false, nothing changed,
    // without a patch or for an unsupported type.
    bool ConvertPatchToNurbInPlace(KZeqNode* node);
    KZeqNurb* CreateNurbFromPatch(KZeqPatch* patch);
    // Shape point weights and shape normals' fourth components at 0 or below become 1.
    static void CheckForZeroWeightInShape(KZeqGeometry* geometry);
    // A copy of the surface with U and V swapped (every U and V value, the
    // points and whatever follows them transposed) and with link indices
    // renumbered to the transposed grid. Null for null.
    KZeqNurb* FlipNurb(KZeqNurb* nurb, bool swapUV, bool swapLinks);
    // One control point per polygon vertex, normals and shapes by control
    // point, links carried over. False, nothing changed, unless layer 0's
    // normals and every shape's match the polygon vertices and every
    // polygon vertex names an existing control point.
    bool EmulateNormalsByPolygonVertex(KZeqMesh* mesh);
    // points becomes (old[indices[0]], old[indices[1]], ...); an index
    // outside the old points gives a zero point.
    static void DuplicateControlPoints(KArrayTemplate<KZeqVector4>& points, KArrayTemplate<int>& indices);

private:
    // Saves the shape curves of old, attaches the new attribute, restores the
    // curves and destroys old.
    void ReplaceAttribute(KZeqNode* node, KZeqGeometry* old, KZeqGeometry* replacement);
    // The mesh's control points and normals sized for the evaluator's grid
    // and set as its destination; false when they cannot be.
    bool PrepareGrid(KZeqLayerContainer& target, KZEQSurfaceEvaluator& evaluator);
    // Evaluates the surface set up in the evaluator into the mesh, then its
    // shapes, its links and the triangles.
    void Tessellate(KZeqGeometry& surface, KZeqMesh& mesh, KZEQSurfaceEvaluator& evaluator, int countU, int countV);

    KZeqSdkManager& mManager;
};

}  // namespace zeqsdk_400

#endif
