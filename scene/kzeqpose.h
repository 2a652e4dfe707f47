#ifndef ZEQ_SCENE_KZEQPOSE_H
#define ZEQ_SCENE_KZEQPOSE_H

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/karray.h"
#include "base/kerror.h"
#include "base/kstring.h"
#include "base/kzeqmatrix.h"
#include "scene/kzeqpropertyhandler.h"
#include "scene/kzeqtakenodecontainer.h"

namespace zeqsdk_400 {

class KZeqPose;

// Holds the properties of a pose: one per user property added.
class KZeqPoseProperties : public KZeqPropertyHandler {
    KZEQ_CLASS_DECLARE(KZeqPoseProperties)

public:
    explicit KZeqPoseProperties(KZeqTakeNodeContainer* owner) : mOwner(owner) {}

    KZeqTakeNodeContainer* GetKZeqObject() override { return mOwner; }
    KZeqPose* GetKZeqPose();
    void DefaultValueChanged(KZeqUserProperty* property) override;

private:
    KZeqTakeNodeContainer* mOwner;
};

// A bind ('b') or rest ('r') pose: a matrix per node name. A pose never holds
// two matrices for one name, and a bind pose never disagrees with another
// bind pose listed by any scene of its manager. It has no take node.
class KZeqPose : public KZeqTakeNodeContainer {
public:
    enum EError { eError = 0, eErrorCount = 1 };

    // The name as given (the manager has prefixed it).
    KZeqPose(KZeqSdkManager& manager, const KString& name, bool bindPose);
    // Leaves the pose lists of the manager's scenes.
    ~KZeqPose() override;
    void Destruct() override;
    ENameSpace GetNameSpace() const override { return ePose; }
    KZeqPoseProperties* GetPropertyHandler() override { return mProperties; }
    // "BindPose" or "RestPose".
    KString GetTypeName() const override;

    char GetType() const { return mType; }
    bool IsBindPose() const { return mType == 'b'; }
    int GetCount() const { return static_cast<int>(mEntries.size()); }

    // The index of the name's entry: the one there (its matrix equal; local
    // is then ignored) or a new one. -1, nothing changed, when the pose (or,
    // for a bind pose, another bind pose) holds another matrix for the name,
    // or for a null name.
    int Add(const char* name, const KZeqMatrix& matrix, bool local);
    // Nothing outside the entries.
    void Remove(int index);
    // The first entry of exactly that name, -1 when none.
    int Find(const char* name) const;
    // An empty name, the identity, false outside the entries. The matrix
    // handed out for a bad index is the pose's spare, set to the identity
    // again each time.
    const char* GetNodeName(int index) const;
    KZeqMatrix& GetMatrix(int index);
    bool IsLocalMatrix(int index) const;
    // Nothing outside the entries or for a null or empty name.
    void ReplaceNodeName(int index, const char* name);

    // The poses (all, bind only, rest only) of the manager's scenes holding
    // the name, appended with the entry's index; true when one was appended.
    static bool GetPosesContaining(KZeqSdkManager& manager, const char* name, KArrayTemplate<KZeqPose*>& poses,
                                   KArrayTemplate<int>& indices);
    static bool GetBindPoseContaining(KZeqSdkManager& manager, const char* name, KArrayTemplate<KZeqPose*>& poses,
                                      KArrayTemplate<int>& indices);
    static bool GetRestPoseContaining(KZeqSdkManager& manager, const char* name, KArrayTemplate<KZeqPose*>& poses,
                                      KArrayTemplate<int>& indices);

    void FillPropertyList(void* list) override;
    // Wraps each property without a user property in one.
    void PublishProperties();
    void PropertyAdded(KZeqUserProperty* property) override;
    void PropertyRemoved(KZeqUserProperty* property) override;
    // Channels of the animatable properties.
    void AddChannels(KZeqTakeNode* take) override;

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

private:
    struct Entry {
        KString mNodeName;
        KZeqMatrix mMatrix;
        bool mLocal;
    };

    bool Valid(int index) const { return index >= 0 && index < GetCount(); }
    // Whether this pose accepts the pair; index: the name's entry, -1 when none.
    bool ValidateLocal(const char* name, const KZeqMatrix& matrix, int& index) const;
    // pass(pose) picks the poses looked at.
    template <class Pass>
    static bool Containing(KZeqSdkManager& manager, const char* name, KArrayTemplate<KZeqPose*>& poses,
                           KArrayTemplate<int>& indices, Pass pass);

    KZeqPoseProperties* mProperties;
    KError mError;
    char mType;
    // Owned one by one, so that matrices handed out stay where they are.
    std::vector<std::unique_ptr<Entry>> mEntries;
    KZeqMatrix mFallbackMatrix;
    // Each name's first entry, so that adding to a large pose stays linear;
    // rebuilt after entries are removed or renamed.
    mutable std::unordered_map<std::string, int> mFirstEntry;
    mutable bool mFirstEntryValid = true;
};

}  // namespace zeqsdk_400

#endif
