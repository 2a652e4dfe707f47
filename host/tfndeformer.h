// Function sets on deformers: geometry filters, skin clusters and blend shapes. Deformers do not
// deform here: they link an original shape (input) to a final one (output) and carry weights.
#pragma once

#include "tdagpath.h"
#include "tfndependencynode.h"

class TFnGeometryFilter : public TFnDependencyNode {
public:
    TFnGeometryFilter() = default;
    TFnGeometryFilter(const TObject& object, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    // The first shape upstream of each input, the first downstream of each output.
    TStatus getInputGeometry(TObjectArray& shapes) const;
    TStatus getOutputGeometry(TObjectArray& shapes) const;
    float envelope(TStatus* status = nullptr) const;
    TStatus setEnvelope(float envelope);

protected:
    bool fits(const TObject& object, int type);
    // The output element whose downstream shape is the shape of the path's end; -1 when none.
    std::int32_t outputIndexOf(std::uint32_t shape) const;
};

class TFnSkinCluster : public TFnGeometryFilter {
public:
    TFnSkinCluster() = default;
    TFnSkinCluster(const TObject& object, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    // A skin cluster upstream of the shape of `shape` (a mesh or NURBS shape, or its transform):
    // what fed the shape feeds the cluster, the cluster feeds the shape. The influences (paths to
    // distinct transforms) in order, every weight 0, bound where they stand: "bindPreMatrix"[i]
    // the inverse of influence i's world matrix, "geomMatrix" the shape's, a joint's "bindPose"
    // its world matrix, other influences members of a bind dag pose. Fails, making nothing, on a
    // shape without points, no influence, an invalid or repeated one.
    TObject create(const TObject& shape, const TDagPathArray& influences, TStatus* status = nullptr);
    // Paths of the influences; returns their count.
    unsigned influenceObjects(TDagPathArray& paths, TStatus* status = nullptr) const;
    unsigned indexForInfluenceObject(const TDagPath& path, TStatus* status = nullptr) const;
    // One weight per element of the component (all points for null) for one influence; empty and
    // failing for a path the cluster does not deform, a bad influence or element index.
    TStatus getWeights(const TDagPath& shape, const TObject& components, unsigned influence, TFloatArray& weights) const;
    // The weights of one influence, one per element of the component (null: every point, in
    // order; NURBS CVs as u x numCVsInV + v); the other influences keep theirs. Fails, changing
    // nothing, for a path the cluster does not deform, a bad influence, a component of another
    // kind or with an element outside the shape, a count unlike the elements', a weight that is
    // not a finite number.
    TStatus setWeights(const TDagPath& shape, const TObject& components, unsigned influence, const TDoubleArray& weights);
};

class TFnBlendShapeDeformer : public TFnGeometryFilter {
public:
    enum Origin { kLocalOrigin = 0, kWorldOrigin = 1 };
    TFnBlendShapeDeformer() = default;
    TFnBlendShapeDeformer(const TObject& object, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    // A deformer upstream of the first shape of `base` (a shape or its transform).
    TObject create(const TObject& base, int origin = kLocalOrigin, TStatus* status = nullptr);
    TStatus addBaseObject(const TObject& base);
    // Weight `index` of the base gets the target (same point count) and exists with value 0,
    // labelled with the target's name.
    TStatus addTarget(const TObject& base, int index, const TObject& target, double fullWeight);
    TStatus getBaseObjects(TObjectArray& bases) const;
    unsigned numWeights(TStatus* status = nullptr) const;
    TStatus weightIndexList(TIntArray& indices) const;
    TStatus getTargets(const TObject& base, int index, TObjectArray& targets) const;

private:
    int baseIndex(const TObject& base) const;
};
