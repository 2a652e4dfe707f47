#ifndef ZEQ_CONTENT_KZEQGEOMETRYCONVERTER_INTERNAL_H
#define ZEQ_CONTENT_KZEQGEOMETRYCONVERTER_INTERNAL_H

// What the geometry converter's two source files share: moving the items of
// layer elements when points, polygons or polygon vertices are renumbered.

#include <vector>

#include "content/kzeqlayercontainer.h"

namespace zeqsdk_400 {
namespace geometryconversion {

// The doubles of a point array, as the evaluators take them.
inline double* Doubles(KZeqVector4* points) { return points ? points->mData : nullptr; }

// to becomes (from[map[0]], from[map[1]], ...); positions outside from give
// zero items, or -1 in an index array. from and to may be one array.
void RemapArray(const KBaseArray& from, KBaseArray& to, const std::vector<int>& map, bool indices);

// Every element of to mapped as mode gets the items of the element of the
// same layer and type of from through map: the direct array in direct mode,
// the indices otherwise. Material and texture pointers of an element in
// direct mode stay where they are when to is in an entity, whose reference
// counts follow them.
void RemapElements(const KZeqLayerContainer& from, KZeqLayerContainer& to, KZeqLayerElement::EMappingMode mode,
                   const std::vector<int>& map);

}  // namespace geometryconversion
}  // namespace zeqsdk_400

#endif
