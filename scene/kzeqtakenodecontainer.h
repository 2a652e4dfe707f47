#ifndef ZEQ_SCENE_KZEQTAKENODECONTAINER_H
#define ZEQ_SCENE_KZEQTAKENODECONTAINER_H

#include <memory>
#include <vector>

#include "base/kerror.h"
#include "base/ktime.h"
#include "object/khandle.h"
#include "object/kpropertytype.h"
#include "scene/kzeqobject.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

class KDataType;
class KFCurve;
class KFCurveEvent;
class KFCurveNode;
class KNameIndex;
class KProperty;
class KZeqTakeNodeContainer;

// Ties one channel of a property to a curve of the default take, so that a
// new default value of the curve reaches the property. Owned by the container.
struct KZeqDefaultTakeCallback {
    // By handle: a property that ends first is simply no longer written.
    HdlKPlug mProperty;
    int mChannel;  // 0 for a one-value property, else the component
    KFCurve* mCurve;
    KZeqTakeNodeContainer* mContainer;

    KProperty* GetProperty() const;
};

// A property's values as they were before the default take's replaced them.
struct KZeqPropertyValues {
    KProperty* mProperty;
    int mCount;
    double mValues[kPropertyMaxMembers];
};

// Base of every animated SDK object: its take nodes, one per take, the first
// always "Default" holding the static values. Animatable properties and the
// curves of the default take are kept in step both ways: a property's new
// default goes into the curves quietly, and a curve's new default value goes
// into the property. Messages go to the subclass's error object, code 0.
class KZeqTakeNodeContainer : public KZeqObject {
public:
    // Creates no take: the subclass calls Init once its properties exist.
    KZeqTakeNodeContainer(KZeqSdkManager& manager, const char* name, KError* error);
    // Ends the takes last to first, then the remaining callback records.
    ~KZeqTakeNodeContainer() override;

    // Creates "Default" with the subclass's channels and makes it current.
    void Init();
    // Ends every take, then Init.
    void Reset();
    // Names as KZeqObject copies them, deep copies of the other's takes and
    // its current index; callback records are neither copied nor changed.
    KZeqTakeNodeContainer& operator=(KZeqTakeNodeContainer& other);

    int GetTakeNodeCount() const { return static_cast<int>(mTakeNodes.size()); }
    // Null with "Take node does not exist" out of range.
    KZeqTakeNode* GetTakeNode(int index);
    const char* GetTakeNodeName(int index);
    // Null, without error, before Init.
    KZeqTakeNode* GetDefaultTakeNode() const;
    // Null with "Take node does not exist" when the index is not a take's.
    KZeqTakeNode* GetCurrentTakeNode();
    const char* GetCurrentTakeNodeName();
    int GetCurrentTakeNodeIndex() const { return mCurrentTakeNode; }
    // A failure makes the default take current.
    virtual bool SetCurrentTakeNode(int index);
    // The first take of exactly that name.
    virtual bool SetCurrentTakeNode(const char* name);
    // The index of the first take of exactly that name, -1 when none (or for null). Many takes are
    // found through an index of their names, made on first need.
    int FindTakeNode(const char* name) const;

    // A copy of the default take bearing the name (the first take gets the
    // subclass's channels instead); null with "Take node already exists" when
    // a take has exactly that name. The current take stays.
    KZeqTakeNode* CreateTakeNode(const char* name);
    // The default take cannot be removed. The current take stays current
    // (the take before it when it is the one removed).
    bool RemoveTakeNode(int index);
    bool RemoveTakeNode(const char* name);

    // Widens start and stop by the current take's keys; false without keys or
    // without a current take (both then untouched).
    virtual bool GetAnimationInterval(KTime& start, KTime& stop);
    // Keyed in a take other than the default one.
    bool IsChannelAnimated(const char* group, const char* node, const char* channel);
    bool IsChannelAnimated(const char* group, const char* node, KDataType* channel);

    // Each subclass builds its channel tree in a new first take.
    virtual void AddChannels(KZeqTakeNode* take) = 0;

    // The property's channels below the take's root ("X", "Y", "Z", "toto"
    // for its members), registered when the take is named "Default" in any
    // case, then filled with the property's value. Nothing when a node of
    // the property's name exists.
    void CreateChannelsForProperty(KProperty* property, KZeqTakeNode* take);
    // Channels of an animatable user property in every take; the default
    // take's are registered.
    void PropertyAdded(KZeqUserProperty* property) override;
    // Ends the property's curve nodes in every take.
    void PropertyRemoved(KZeqUserProperty* property) override;
    // The current take's, then the default take's, curves take the property's default.
    void PropertyDefaultValueChanged(KZeqUserProperty* property);
    // Every property's value into its node of the default take, when there is one.
    void UpdateDefaultTakeFromProperties();
    // The other way: each animatable property of the list whose channel the
    // default take holds takes that channel's default values (those the
    // channels will have, when not made yet). With replaced, the values each
    // changed property had are added to it, first changed first.
    void UpdatePropertiesFromDefaultTake(KArrayTemplate<KProperty*>& properties,
                                         std::vector<KZeqPropertyValues>* replaced = nullptr);
    // The same for every property of the object's list.
    void UpdatePropertiesFromDefaultTake();

    // Nothing for a null property or curve.
    void RegisterDefaultTakeCallback(KProperty* property, int channel, KFCurve* curve);
    // Removes the record from its curve and from the list, deletes it and
    // nulls the caller's pointer; nothing for a record not listed.
    void UnregisterDefaultTakeCallback(KZeqDefaultTakeCallback*& record);
    void UnregisterAllDefaultTakeCallback();
    int GetDefaultTakeCallbackCount() const;
    KZeqDefaultTakeCallback* GetDefaultTakeCallback(int index) const;

protected:
    void SetError(const char* message);
    // True while the first take is being made (its AddChannels may defer its tree).
    bool IsMakingFirstTake() const { return mMakingFirstTake; }
    // A record even for a null property (one that has ended: it writes nothing).
    void RegisterCallbackRecord(KProperty* property, int channel, KFCurve* curve);

    // What every container whose built-in properties live in one handler does
    // with them: publish each as a user property, list them, bind an added
    // user property, end a removed one, and give the animatable ones channels.
    void PublishHandlerProperties(KZeqPropertyHandler& handler);
    static void FillHandlerPropertyList(KZeqPropertyHandler& handler, void* list);
    void AddHandlerProperty(KZeqPropertyHandler& handler, KZeqUserProperty* property);
    void RemoveHandlerProperty(KZeqPropertyHandler& handler, KZeqUserProperty* property);
    void AddHandlerChannels(KZeqPropertyHandler& handler, KZeqTakeNode* take);

private:
    friend class KZeqScene;
    friend class KZeqSdkManager;
    // Reads the take trees of containers about to end, together, so that their
    // endings find them in the cache; each ending then skips its own reading.
    // Only a look-ahead: the trees are not changed.
    static void ReadTakesAhead(KZeqTakeNodeContainer* const* containers, std::size_t count);
    void DestroyTakeNodes();
    // Makes a deferred default take whose channels carry callbacks.
    void MakeDeferredCallbacks() const;
    // Unregisters the records whose curves lie in the subtree.
    void UnregisterSubtree(KFCurveNode* node);

    // Appends to the takes (and to the name index when it is current).
    void AppendTakeNode(std::unique_ptr<KZeqTakeNode> take);

    std::vector<std::unique_ptr<KZeqTakeNode>> mTakeNodes;
    // Made for an object of many takes; kept in step with mTakeNodes.
    mutable std::unique_ptr<KNameIndex> mTakeIndex;
    std::vector<std::unique_ptr<KZeqDefaultTakeCallback>> mCallbacks;
    int mCurrentTakeNode = -1;
    bool mTakesReadAhead = false;
    bool mMakingFirstTake = false;
    KError* mError;
};

// The user property's default into the node's curves: x, y, z into children
// 0 to 2 for vectors and colours, else one value into the node's own curve;
// missing children and curves are created. Callbacks hear nothing.
void UpdateDefaultValuesWithProperty(KFCurveNode* node, KZeqUserProperty* property);
// The property's value, component i into child i for three or four members,
// else into the node's own curve; creates nothing. Callbacks hear nothing.
void UpdateDefaultValuesWithProperty(KFCurveNode* node, KProperty* property);
// The curve callback of a record: a new default value goes into the
// property's channel; the curve's destruction ends the record.
void DefaultTakeValueChangedCallback(KFCurve* curve, KFCurveEvent* event, void* record);
// What that callback writes: the value into the property's channel.
void WriteDefaultTakeValue(KProperty* property, int channel, double value);

}  // namespace zeqsdk_400

#endif
