// The host's face-vertex colours of a mesh as a vertex-colour element: every colour in the direct
// array and, per polygon vertex, the index of its colour.
#include "content/kzeqmesh.h"
#include "plugin/export/zeqtuloexport.h"
#include "tfncomponent.h"
#include "tfnmesh.h"

using namespace zeqsdk_400;

bool ZeqTuloExport::SetVertexColors(KZeqMesh* mesh, TFnMesh& hostMesh) {
    if (!mesh) return true;
    TColorArray colors;
    hostMesh.getFaceVertexColors(colors);
    const unsigned n = colors.length();
    bool coloured = false;
    for (unsigned i = 0; i < n && !coloured; ++i) {
        const TColor& c = colors[i];
        coloured = c.r >= 0 && c.g >= 0 && c.b >= 0 && c.a >= 0;  // NaN fails
    }
    if (!coloured) return true;

    KZeqLayer* layer = mesh->GetLayer(0, KZeqLayerElement::eVERTEX_COLOR);
    if (!layer) {
        if (mesh->GetLayerCount() == 0) mesh->CreateLayer();
        layer = mesh->GetLayer(0);
        if (!layer) return true;
        auto* element = new KZeqLayerElementVertexColor;
        element->SetMappingMode(KZeqLayerElement::eNONE);
        element->SetReferenceMode(KZeqLayerElement::eDIRECT);
        layer->SetVertexColors(element);
    }
    KZeqLayerElementVertexColor* element = layer->GetVertexColors();
    element->SetMappingMode(KZeqLayerElement::eBY_POLYGON_VERTEX);
    element->SetReferenceMode(KZeqLayerElement::eINDEX_TO_DIRECT);
    KArrayTemplate<KZeqColor>& direct = element->GetDirectArray();
    if (!direct.SetCount(static_cast<int>(n))) return true;
    KZeqColor* out = direct.GetArray();
    for (unsigned i = 0; i < n; ++i) {
        const TColor& c = colors[i];
        out[i] = KZeqColor(c.r, c.g, c.b, c.a);
    }
    KArrayTemplate<int>& indices = element->GetIndexArray();
    indices.Clear();

    TDagPath path;
    hostMesh.getPath(path);
    path.extendToShape();
    TStatus status;
    TItMeshPolygon polygons(path, TObject::kNullObj, &status);
    if (!status) return false;
    const int polygonCount = hostMesh.numPolygons();
    indices.Reserve(static_cast<int>(n));
    int faceVertex = 0;
    for (int p = 0; p < polygonCount; ++p) {
        const int size = hostMesh.polygonVertexCount(p);
        for (int v = 0; v < size; ++v, ++faceVertex) {
            // A colour index the host cannot give: the face-vertex's own colour, which the direct
            // array holds at its running position.
            int index = faceVertex;
            if (!hostMesh.getFaceVertexColorIndex(p, v, index)) index = faceVertex;
            indices.Add(index);
        }
    }
    return true;
}
