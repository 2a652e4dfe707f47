#ifndef ZEQ_SCENE_KZEQNODEPROPERTIES_H
#define ZEQ_SCENE_KZEQNODEPROPERTIES_H

#include "base/kgemath.h"
#include "base/kzeqmatrix.h"
#include "base/kzeqvector.h"
#include "object/kpropertyobjectlist.h"
#include "object/kpropertytemplate.h"
#include "scene/kzeqpropertyhandler.h"
#include "scene/kzeqtakenodecontainer.h"

namespace zeqsdk_400 {

class KZeqNode;

enum ERotationOrder : int {
    eEULER_XYZ = 0,
    eEULER_XZY = 1,
    eEULER_YZX = 2,
    eEULER_YXZ = 3,
    eEULER_ZXY = 4,
    eEULER_ZYX = 5,
    eSPHERIC_XYZ = 6
};

enum ETransformInheritType : int { eINHERIT_RrSs = 0, eINHERIT_RSrs = 1, eINHERIT_Rrs = 2 };

// How the typed accessors of the property set hold a value: vectors keep their
// stored fourth component and are read back with W = 1.
template <class T>
struct KZeqNodeValue {
    static void Store(T& held, T value) { held = value; }
    static T Load(const T& held) { return held; }
};
template <>
struct KZeqNodeValue<KgeTVector> {
    static void Store(KgeTVector& held, KgeTVector value) {
        for (int i = 0; i < 3; ++i) held.mData[i] = value.mData[i];
    }
    static KgeTVector Load(const KgeTVector& held) {
        return KgeTVector(held.mData[0], held.mData[1], held.mData[2], 1.0);
    }
};

// The plain member properties, in the order of the property list ("LookAtProperty",
// "UpVectorProperty", "Show" and "NegativePercentShapeSupport" follow them).
#define KZEQ_NODE_PLAIN_PROPERTIES(X)                                                                         \
    X(QuaternionInterpolate, bool)                                                                            \
    X(RotationOffset, KgeTVector) X(RotationPivot, KgeTVector) X(RotationPivotUpdateOffset, KgeTVector)       \
    X(ScalingOffset, KgeTVector) X(ScalingPivot, KgeTVector) X(ScalingPivotUpdateOffset, KgeTVector)          \
    X(TranslationActive, bool) X(TranslationMin, KgeTVector) X(TranslationMax, KgeTVector)                    \
    X(TranslationMinX, bool) X(TranslationMinY, bool) X(TranslationMinZ, bool)                                \
    X(TranslationMaxX, bool) X(TranslationMaxY, bool) X(TranslationMaxZ, bool)                                \
    X(RotationOrder, ERotationOrder) X(RotationSpaceForLimitOnly, bool)                                       \
    X(RotationStiffnessX, double) X(RotationStiffnessY, double) X(RotationStiffnessZ, double)                 \
    X(AxisLen, double) X(PreRotation, KgeTVector) X(PostRotation, KgeTVector)                                 \
    X(RotationActive, bool) X(RotationMin, KgeTVector) X(RotationMax, KgeTVector)                             \
    X(RotationMinX, bool) X(RotationMinY, bool) X(RotationMinZ, bool)                                         \
    X(RotationMaxX, bool) X(RotationMaxY, bool) X(RotationMaxZ, bool)                                         \
    X(InheritType, ETransformInheritType)                                                                     \
    X(ScalingActive, bool) X(ScalingMin, KgeTVector) X(ScalingMax, KgeTVector)                                \
    X(ScalingMinX, bool) X(ScalingMinY, bool) X(ScalingMinZ, bool)                                            \
    X(ScalingMaxX, bool) X(ScalingMaxY, bool) X(ScalingMaxZ, bool)                                            \
    X(GeometricTranslation, KgeTVector) X(GeometricRotation, KgeTVector) X(GeometricScaling, KgeTVector)
#define KZEQ_NODE_DISPLAY_PROPERTIES(X) X(Show, bool) X(NegativePercentShapeSupport, bool)

// A node's property set: its transform, pivot, limit and display properties,
// its two pivot sets, and the plug through which nodes connect (children are
// its sources; look-at and up-vector targets sources of two object lists).
// It refuses a child of its own entity and passes entity membership down
// attached subtrees.
class KZeqNodeProperties : public KZeqPropertyHandler {
    KZEQ_CLASS_DECLARE(KZeqNodeProperties)

public:
    // A pivot set: what the transform evaluation and the pivot conversion use.
    struct KZeqPivot {
        KZeqVector4 mRotationOffset{0, 0, 0, 1};
        KZeqVector4 mRotationPivot{0, 0, 0, 1};
        KZeqVector4 mRotationPivotUpdateOffset{0, 0, 0, 1};
        KZeqVector4 mPreRotation{0, 0, 0, 1};
        KZeqVector4 mPostRotation{0, 0, 0, 1};
        KZeqVector4 mScalingOffset{0, 0, 0, 1};
        KZeqVector4 mScalingPivot{0, 0, 0, 1};
        KZeqVector4 mScalingPivotUpdateOffset{0, 0, 0, 1};
        KZeqVector4 mGeometricTranslation{0, 0, 0, 1};
        KZeqVector4 mGeometricRotation{0, 0, 0, 1};
        KZeqVector4 mGeometricScaling{1, 1, 1, 1};
        ERotationOrder mRotationOrder = eEULER_XYZ;
        bool mRotationSpaceForLimitOnly = false;
        KZeqXMatrix mGlobalMatrix;
        bool mGlobalMatrixValid = false;
        int mPivotState = 1;  // a KZeqNode::EPivotState
    };

    explicit KZeqNodeProperties(KZeqTakeNodeContainer* owner);

    KZeqTakeNodeContainer* GetKZeqObject() override { return mOwner; }
    KZeqNode* GetKZeqNode();
    void DefaultValueChanged(KZeqUserProperty* property) override;
    // Refuses as a new child node (error 6 on the node) one of the node's entity, one above the
    // node, and one that has another parent: a node has one parent.
    bool PlugNotify(KPlugCallstack* callstack, kPlugAction action, KPlug* plug, int index, KPlug* other,
                    kConnectionType type, KPlug* replacement) override;

    // Display texts; null for values without one.
    const char* RotationOrderAsString(ERotationOrder order);
    const char* InheritTypeAsString(ETransformInheritType type);

#define KZEQ_NODE_MEMBER(Name, Type)                                                              \
    KPropertyTemplate<Type> Name;                                                                 \
    virtual void Name##Set(Type value) { KZeqNodeValue<Type>::Store(Name.Value(), value); }       \
    virtual Type Name##Get() { return KZeqNodeValue<Type>::Load(Name.Value()); }
    KZEQ_NODE_PLAIN_PROPERTIES(KZEQ_NODE_MEMBER)
    KZEQ_NODE_DISPLAY_PROPERTIES(KZEQ_NODE_MEMBER)
#undef KZEQ_NODE_MEMBER

    KPropertyObjectList LookAtProperty;
    KPropertyObjectList UpVectorProperty;
    // Null when the entry holds no object.
    KObject* LookAtPropertyGet(int index) { return LookAtProperty.GetAt(index); }
    void LookAtPropertySet(int index, KObject* object) { LookAtProperty.SetAt(index, object); }
    KObject* UpVectorPropertyGet(int index) { return UpVectorProperty.GetAt(index); }
    void UpVectorPropertySet(int index, KObject* object) { UpVectorProperty.SetAt(index, object); }

    // The four animatable properties, owned by the property list.
    KProperty* mLclTranslation;
    KProperty* mLclRotation;
    KProperty* mLclScaling;
    KProperty* mVisibility;

    KZeqPivot mPivots[2];

private:
    void InitObjectList(KPropertyObjectList& list, const char* name);
    KProperty* CreateAnimatable(const char* name);

    KZeqTakeNodeContainer* mOwner;
};

}  // namespace zeqsdk_400

#endif
