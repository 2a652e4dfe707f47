#ifndef ZEQ_CONTENT_KZEQSHAPE_H
#define ZEQ_CONTENT_KZEQSHAPE_H

#include "content/kzeqlayercontainer.h"

namespace zeqsdk_400 {

// A blend target: control points and layers of its own, held by a geometry
// under a name. Made and ended by the manager, in practice by its geometry.
class KZeqShape : public KZeqLayerContainer {
public:
    explicit KZeqShape(KZeqSdkManager& manager) : KZeqLayerContainer(manager) {}

    EAttributeType GetAttributeType() const override { return eUNIDENTIFIED; }

    // Layers and control points; the entity stays this shape's own.
    KZeqShape& operator=(KZeqShape& source) {
        Copy(source, GetSdkManager());
        return *this;
    }
};

}  // namespace zeqsdk_400

#endif
