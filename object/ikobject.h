#ifndef ZEQ_OBJECT_IKOBJECT_H
#define ZEQ_OBJECT_IKOBJECT_H

namespace zeqsdk_400 {

// Interface identifier of IKObject itself: IQuery(kIKObjectInterfaceId, 0)
// gives the object as an IKObject.
constexpr unsigned long kIKObjectInterfaceId = 0;

// Root interface of everything that can be queried and destroyed by interface.
class IKObject {
public:
    // The interface of the given identifier, null when the object has none.
    virtual IKObject* IQuery(unsigned long interfaceId, int reserved) = 0;
    // Ends the object; the argument is not used.
    virtual void Destroy(int reserved = 0) = 0;

protected:
    virtual ~IKObject() = default;
};

}  // namespace zeqsdk_400

#endif
