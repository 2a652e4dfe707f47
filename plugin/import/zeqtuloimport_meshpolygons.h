// The polygons of a Zeq mesh that the host keeps, and how a layer element's values are found for
// a face-vertex: shared by the mesh builder and the materials that follow its polygons.
#ifndef ZEQ_PLUGIN_IMPORT_ZEQTULOIMPORT_MESHPOLYGONS_H
#define ZEQ_PLUGIN_IMPORT_ZEQTULOIMPORT_MESHPOLYGONS_H

#include <vector>

#include "content/kzeqlayer.h"
#include "content/kzeqmesh.h"

// The Zeq polygons the host keeps (at least three distinct vertices, all in range), with where
// each one's polygon vertices start in the mesh's flat list of polygon vertices.
struct KeptPolygons {
    std::vector<int> mPolygon;  // Zeq polygon index of each host polygon
    std::vector<int> mFirst;    // its first polygon-vertex position
    int mDropped = 0;
    int mFaceVertices = 0;      // of the kept polygons
};

KeptPolygons KeepPolygons(zeqsdk_400::KZeqMesh& mesh, int pointCount);

// Entry n of an element's values: through its index array when it has one in use, else directly;
// -1 when either is out of range.
template <class T>
int ValueIndex(const zeqsdk_400::KZeqLayerElementTemplate<T>& element, int n) {
    int at = n;
    if (element.GetReferenceMode() != zeqsdk_400::KZeqLayerElement::eDIRECT) {
        const zeqsdk_400::KArrayTemplate<int>& index = element.GetIndexArray();
        if (n < 0 || n >= index.GetCount()) return -1;
        at = index[n];
    }
    return at >= 0 && at < element.GetDirectArray().GetCount() ? at : -1;
}

// The entry n that a face-vertex (Zeq polygon p, its vertex k at flat position fv, on control point
// v) reads under the element's mapping; -1 when the mapping gives none.
inline int MappedEntry(zeqsdk_400::KZeqLayerElement::EMappingMode mode, int p, int fv, int v) {
    switch (mode) {
        case zeqsdk_400::KZeqLayerElement::eBY_CONTROL_POINT: return v;
        case zeqsdk_400::KZeqLayerElement::eBY_POLYGON_VERTEX: return fv;
        case zeqsdk_400::KZeqLayerElement::eBY_POLYGON: return p;
        case zeqsdk_400::KZeqLayerElement::eALL_SAME: return 0;
        default: return -1;
    }
}

#endif
