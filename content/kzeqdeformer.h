#ifndef ZEQ_CONTENT_KZEQDEFORMER_H
#define ZEQ_CONTENT_KZEQDEFORMER_H

#include "base/karray.h"
#include "base/kerror.h"
#include "base/kzeqmatrix.h"
#include "content/kzeqlink.h"
#include "object/kpropertyobjectlist.h"
#include "scene/kzeqpropertyhandler.h"
#include "scene/kzeqtakenodecontainer.h"

namespace zeqsdk_400 {

class KZeqDeformer;
class KZeqEntity;

// The property object of a deformer; its subclass fixes the type name.
class KZeqDeformerProperties : public KZeqPropertyHandler {
    KZEQ_CLASS_DECLARE(KZeqDeformerProperties)

public:
    explicit KZeqDeformerProperties(KZeqTakeNodeContainer* owner) : mOwner(owner) {}

    KZeqTakeNodeContainer* GetKZeqObject() override { return mOwner; }
    KZeqDeformer* GetKZeqDeformer();
    void DefaultValueChanged(KZeqUserProperty* property) override;
    virtual const char* GetTypeName() const = 0;

private:
    KZeqTakeNodeContainer* mOwner;
};

class KZeqSkinDeformerProperties : public KZeqDeformerProperties {
public:
    using KZeqDeformerProperties::KZeqDeformerProperties;
    const char* GetTypeName() const override { return "Skin"; }
};

// A cluster lists nodes in two object lists whose entries are connected as
// sources; only nodes are accepted.
class KZeqClusterDeformerProperties : public KZeqDeformerProperties {
public:
    explicit KZeqClusterDeformerProperties(KZeqTakeNodeContainer* owner);
    const char* GetTypeName() const override { return "Cluster"; }

    KPropertyObjectList SrcModel;
    KPropertyObjectList SrcModelReference;
    KObject* SrcModelGet(int index) { return SrcModel.GetAt(index); }
    void SrcModelSet(int index, KObject* object) { SrcModel.SetAt(index, object); }
    KObject* SrcModelReferenceGet(int index) { return SrcModelReference.GetAt(index); }
    void SrcModelReferenceSet(int index, KObject* object) { SrcModelReference.SetAt(index, object); }

private:
    void InitObjectList(KPropertyObjectList& list, const char* name);
};

// The stored form of skinning: one skin deformer per deformed geometry and
// one cluster per skin link. Inside the SDK the links are the working form; a
// scene holds deformers only around a file read or write, whose reader and
// writer use the public cluster members directly. The type is fixed at
// construction: the word "cluster" in any letter case makes a cluster, any
// other word a skin.
class KZeqDeformer : public KZeqTakeNodeContainer {
public:
    enum EDeformerType : int { eANY_DEFORMER = 0, eSKIN = 1, eCLUSTER = 2 };
    enum EError { eError = 0, eErrorCount = 1 };

    KZeqDeformer(KZeqSdkManager& manager, const char* name, const char* type);
    // Leaves its entity, which must not keep listing it.
    ~KZeqDeformer() override;
    void Destruct() override;
    ENameSpace GetNameSpace() const override { return eNoPrefix; }
    KZeqDeformerProperties* GetPropertyHandler() override { return mProperties; }
    static int GetClassID() { return KZeqDeformerProperties::ClassId; }
    KString GetTypeName() const override { return KString(mProperties->GetTypeName()); }
    KStringList GetTypeFlags() const override;

    EDeformerType GetDeformerType() const { return mDeformerType; }
    void SetMultiLayer(bool multiLayer) { mMultiLayer = multiLayer; }
    bool GetMultiLayer() const { return mMultiLayer; }

    // Leaves the current entity and joins the new one (none for null); always true.
    bool SetEntity(KZeqEntity* entity);
    KZeqEntity* GetEntity() const { return mEntity; }

    void PublishProperties();
    void FillPropertyList(void* list) override;
    void PropertyAdded(KZeqUserProperty* property) override;
    void PropertyRemoved(KZeqUserProperty* property) override;
    // The channels of every animatable property; none of its own.
    void AddChannels(KZeqTakeNode* take) override;

    // A cluster takes the link's mode, user data, indices and weights (in
    // place of its own), parent flag and four matrices; a skin is unchanged.
    KZeqDeformer& operator=(const KZeqLink& link);

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

    // Read and written directly by the file reader and writer and the link conversions.
    double mLinkDeformAccuracy = 50.0;  // skin
    KZeqLink::ELinkMode mLinkMode = KZeqLink::eNORMALIZE;
    KString mUserDataID;
    KString mUserData;
    KArrayTemplate<int> mIndices{256};
    KArrayTemplate<double> mWeights{256};
    KZeqMatrix mTransform;
    KZeqMatrix mTransformLink;
    KZeqMatrix mTransformAssociateModel;
    KZeqMatrix mTransformParent;
    bool mTransformParentSet = false;

private:
    friend class KZeqEntity;  // forgets it when the entity ends first

    KError mError;
    KZeqEntity* mEntity = nullptr;
    KZeqDeformerProperties* mProperties;
    bool mMultiLayer = false;
    EDeformerType mDeformerType;
};

}  // namespace zeqsdk_400

#endif
