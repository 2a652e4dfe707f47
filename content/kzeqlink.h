#ifndef ZEQ_CONTENT_KZEQLINK_H
#define ZEQ_CONTENT_KZEQLINK_H

#include "base/karray.h"
#include "base/kstring.h"
#include "base/kzeqmatrix.h"
#include "base/kzeqvector.h"

namespace zeqsdk_400 {

class KZeqDeformer;
class KZeqNode;

// A skin link: the control points of one geometry, each with a weight, bound
// to the node that drives them, with the reference transforms of the binding
// (geometry, link node, associate model, parent) as translation, Euler
// rotation in degrees and scaling. A plain value: no properties, no
// animation. The index and weight arrays always have the same count and the
// indices are never negative. Node pointers are not owned; a link must not
// outlive its nodes.
class KZeqLink {
public:
    enum ELinkMode : int { eNORMALIZE = 0, eADDITIVE = 1, eTOTAL1 = 2 };

    KZeqLink();
    KZeqLink(const KZeqLink&) = delete;
    virtual ~KZeqLink() = default;

    // Nodes and names empty, mode additive, every T and R (0, 0, 0, 1), every
    // S (1, 1, 1, 1), no parent transform, no indices (storage freed).
    void Reset();

    // A null node changes nothing. The name is copied now and never refreshed.
    void SetLink(KZeqNode* node);
    KZeqNode* GetLink() const { return mLink; }
    KString GetLinkName() const { return mLinkName; }
    // Null allowed (the name becomes empty).
    void SetAssociateModel(KZeqNode* node);
    KZeqNode* GetAssociateModel() const { return mAssociateModel; }
    // Refreshed from the model, when there is one, before it is answered.
    KString GetAssociateModelName();

    void SetUserData(const KString& id, const KString& data);
    KString GetUserDataID() const { return mUserDataID; }
    KString GetUserData() const { return mUserData; }
    // The data when id matches the stored one ignoring case, else "".
    KString GetUserData(const KString& id) const;

    void SetLinkMode(ELinkMode mode) { mLinkMode = mode; }
    ELinkMode GetLinkMode() const { return mLinkMode; }

    // The four transform sets. A matrix setter stores the matrix's rotation,
    // translation and scaling; a matrix getter composes them. Any
    // TransformParent setter marks the parent transform as set.
#define KZEQ_LINK_SET(Name, Index)                                                                      \
    void Set##Name##T(const KZeqVector4& t) { Store(Index, 0, t); }                                     \
    void Set##Name##R(const KZeqVector4& r) { Store(Index, 1, r); }                                     \
    void Set##Name##S(const KZeqVector4& s) { Store(Index, 2, s); }                                     \
    KZeqVector4& Get##Name##T(KZeqVector4& t) const { return t = mSets[Index][0]; }                    \
    KZeqVector4& Get##Name##R(KZeqVector4& r) const { return r = mSets[Index][1]; }                    \
    KZeqVector4& Get##Name##S(KZeqVector4& s) const { return s = mSets[Index][2]; }                    \
    void Set##Name##Matrix(const KZeqXMatrix& matrix) { StoreMatrix(Index, matrix); }                    \
    KZeqXMatrix& Get##Name##Matrix(KZeqXMatrix& matrix) const { return ComposeMatrix(Index, matrix); }
    KZEQ_LINK_SET(Transform, 0)
    KZEQ_LINK_SET(TransformLink, 1)
    KZEQ_LINK_SET(TransformAssociateModel, 2)
    KZEQ_LINK_SET(TransformParent, 3)
#undef KZEQ_LINK_SET

    // A negative index is ignored; duplicates are kept.
    void AddControlPointIndex(int index, double weight);
    int GetControlPointIndicesCount() const { return mIndices.GetCount(); }
    // Contiguous, valid until the next change; null when empty.
    int* GetControlPointIndices() { return mIndices.GetArray(); }
    double* GetControlPointWeights() { return mWeights.GetArray(); }

    // Reset, then the other link's node (so no name without a node),
    // associate model, user data, mode, the twelve vectors, the parent flag
    // and the index and weight arrays.
    KZeqLink& operator=(const KZeqLink& other);
    // Reset, then for a cluster deformer its mode, user data, index/weight
    // pairs and the four matrices; the parent flag is the deformer's. Pairs
    // stop at the shorter of its two arrays and negative indices are dropped,
    // so that a damaged file cannot break the link's arrays. The nodes are
    // left to the caller.
    KZeqLink& operator=(const KZeqDeformer& deformer);

private:
    // The deformer carries the parent flag, which has no getter; the file
    // reader and writer set and read the names and arrays directly.
    friend class KZeqDeformer;
    friend class KZeqMesh;  // a merge renumbers the pairs in place
    friend class KZeqReaderZeq;
    friend class KZeqWriterZeq;
    enum { kSetCount = 4 };
    void Store(int set, int part, const KZeqVector4& value);
    void StoreMatrix(int set, const KZeqXMatrix& matrix);
    KZeqXMatrix& ComposeMatrix(int set, KZeqXMatrix& matrix) const;

    KZeqNode* mLink = nullptr;
    KString mLinkName;
    ELinkMode mLinkMode = eADDITIVE;
    KZeqNode* mAssociateModel = nullptr;
    KString mAssociateModelName;
    KString mUserDataID;
    KString mUserData;
    // Transform, TransformLink, TransformAssociateModel, TransformParent: T, R, S each.
    KZeqVector4 mSets[kSetCount][3];
    bool mParentSet = false;
    KArrayTemplate<int> mIndices{256};
    KArrayTemplate<double> mWeights{256};
};

}  // namespace zeqsdk_400

#endif
