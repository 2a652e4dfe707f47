#ifndef ZEQ_CONTENT_KZEQGEOMETRY_H
#define ZEQ_CONTENT_KZEQGEOMETRY_H

#include <vector>

#include "base/kerror.h"
#include "base/kstring.h"
#include "base/kzeqmatrix.h"
#include "content/kzeqlayercontainer.h"

namespace zeqsdk_400 {

class KFCurve;
class KFCurveNode;
class KZeqLink;
class KZeqShape;
class KZeqTakeNode;

// The base of mesh, NURBS and patch: a layer container with skin links, named
// blend shapes and a pivot. Each shape has one channel per take of the node
// (a child of the take's root curve node, named like the shape, whose curve
// holds the shape's weight) and one property on the node. Links and shapes
// die with the geometry, through the manager. Failures set one of the ten
// errors below.
class KZeqGeometry : public KZeqLayerContainer {
public:
    enum EError {
        eParameterOutOfRange = 0,
        eParameterIsNull = 1,
        eMaterialNotFound = 2,
        eMaterialAlreadyAdded = 3,
        eTextureNotFound = 4,
        eTextureAlreadyAdded = 5,
        eShapeAlreadyAdded = 6,
        eShapeNameIsInvalid = 7,
        eShapeNameIsAlreadyUsed = 8,
        eNoShapeCurveFound = 9,
        eErrorCount = 10
    };
    // How surfaces are displayed; read and written, not used here.
    enum ESurfaceMode : int { eRAW = 0, eLOW_NO_NORMALS = 1, eLOW = 2, eHIGH_NO_NORMALS = 3, eHIGH = 4 };

    explicit KZeqGeometry(KZeqSdkManager& manager);
    // Destroys the links and the shapes through the manager.
    ~KZeqGeometry() override;

    // ---- Node attachment: shape channels, properties and entity follow the node --------
    void SetNode(KZeqNode& node) override;
    void UnsetNode() override;
    void AddChannels(KZeqTakeNode* take) override;
    void RemoveChannels(KZeqTakeNode* take) override;

    // ---- Materials and textures: the container's, with errors ------------------------
    int AddTexture(KZeqTexture* texture, unsigned int layer = 0) override;
    KZeqTexture* GetTexture(int index, unsigned int layer = 0) override;
    int GetTextureIndex(const char* name, unsigned int layer = 0) override;
    int AddMaterial(KZeqMaterial* material, unsigned int layer = 0) override;
    KZeqMaterial* GetMaterial(int index, unsigned int layer = 0) override;
    int GetMaterialIndex(const char* name, unsigned int layer = 0) override;

    // ---- Links (held, not checked) -----------------------------------------------------
    int GetLinkCount() const { return static_cast<int>(mLinks.size()); }
    // Null with error 0 out of range.
    KZeqLink* GetLink(int index);
    // Appends; answers the index.
    int AddLink(KZeqLink* link);
    // Takes the link out (not destroyed); null with error 0 out of range.
    KZeqLink* RemoveLink(int index);
    // Empties the list; the links are not destroyed.
    void ClearLink();

    // ---- Shapes ------------------------------------------------------------------------
    // The index, or -1 for a null shape (1), one already held (6), a name
    // blank once trimmed at both ends (7), taken ignoring case or naming one of
    // the node's own channels or properties ("Visibility", "Lcl Scaling") (8). The name is
    // kept trimmed; attached, the node gets the shape's property and a
    // channel in every take. The shape joins the geometry's entity.
    int AddShape(KZeqShape* shape, const char* name);
    // Takes the shape channels out of every take and the shapes out of the
    // entity, then empties the list (shapes not destroyed).
    void ClearShape();
    int GetShapeCount() const { return static_cast<int>(mShapes.size()); }
    // Null with error 0 out of range.
    KZeqShape* GetShape(int index);
    const char* GetShapeName(int index);
    // The child of the take's root named as the shape (ignoring case). Null with
    // error 0 for an index out of range, error 1 for a null take; null for a
    // blank name or when none.
    KFCurveNode* GetShapeCurveNode(KZeqTakeNode* take, int index);
    // Its curve; error 9 when the lookup finds no curve.
    KFCurve* GetShapeChannel(KZeqTakeNode* take, int index);
    // The weight as the default value of the channel in the node's default
    // take (0.0 when the channel is missing); on no node the geometry keeps
    // it, and the channels start from it once attached.
    void SetDefaultShape(int index, double weight);
    double GetDefaultShape(int index);

    // ---- Shape channels --------------------------------------------------------------
    // The channel found or made (with a curve) under the take's root and
    // coloured by index modulo 20; false for a blank name.
    bool AddShapeChannel(KZeqTakeNode* take, int index);
    // True when a channel of the shape's name was found and deleted.
    bool RemoveShapeChannel(KZeqTakeNode* take, int index);
    // Attached, the node's property set gets an animated "Shape" property of
    // that name, 0.0, unless it has one of that name.
    void CreateShapeChannelProperties(const KString& name);

    // ---- Older naming, around the older file version ----------------------------------
    // "Shape %02d (Shape)" of index + 1; empty for a negative index.
    static KString CreateShapeChannelName(int index);
    // The name without trailing blanks, ending in " (Shape)".
    static KString CreateShapeChannelName(const KString& name);
    // Attached only. NURBS and patches take the names "Shape 01", ... and
    // their channels "Shape 01 (Shape)", ...; a mesh keeps its shape names
    // and its channels take the suffix. The names before are kept until
    // ClearTemporaryShapeNames, so the conversion may run for several takes.
    void ConvertShapeNamesToV5Format(KZeqTakeNode* take);
    void RevertShapeNamesToV6Format(KZeqTakeNode* take);
    void ClearTemporaryShapeNames();
    // Attached, not for meshes: a channel of the older name is folded into
    // the one of the shape's name.
    void CleanShapeChannels(KZeqTakeNode* take);

    // ---- Pivot -----------------------------------------------------------------------
    void PivotInit() { mPivot.SetIdentity(); }
    KZeqXMatrix& GetPivot(KZeqXMatrix& pivot) const { return pivot = mPivot; }
    void SetPivot(const KZeqXMatrix& pivot) { mPivot = pivot; }
    void CopyPivot(const KZeqGeometry* other) {
        if (other) mPivot = other->mPivot;
    }
    // Moves the control points by the whole pivot and turns layer 0's
    // normals by its rotation alone; w stays, normals are not renormalised.
    void ApplyPivot();

    // ---- Copy ------------------------------------------------------------------------
    // Layers, control points, links, shapes and pivot.
    KZeqGeometry& operator=(KZeqGeometry& source);
    // New links (and shapes) through the manager, copies of the source's,
    // in place of this geometry's, which are destroyed.
    void CopyLinks(const KZeqGeometry* source);
    void CopyShapes(const KZeqGeometry* source);

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

private:
    bool ShapeInRange(int index);
    KFCurveNode* RootOf(KZeqTakeNode* take) const;
    void CleanShapeChannel(KZeqTakeNode* take, int index);
    void ConvertShapeName(KZeqTakeNode* take, int index);
    void RevertShapeName(KZeqTakeNode* take, int index);
    // Replaces the root's child called from by a copy called to.
    static void RenameChannel(KFCurveNode* root, const KString& from, const KString& to);

    std::vector<KZeqLink*> mLinks;
    std::vector<KZeqShape*> mShapes;
    std::vector<KString> mShapeNames;
    // Each shape's weight while the geometry is on no node (its channels start from it).
    std::vector<double> mDetachedWeights;
    // While in the older naming, by shape: the name before, the older name
    // and the older channel name.
    std::vector<KString> mNamesBefore;
    std::vector<KString> mOlderNames;
    std::vector<KString> mOlderChannelNames;
    KZeqXMatrix mPivot;
    KError mError;
};

}  // namespace zeqsdk_400

#endif
