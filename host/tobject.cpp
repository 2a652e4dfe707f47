#include "tobject.h"

#include "scene.h"

using namespace tulo_detail;

const TObject TObject::kNullObj;

TFn::Type TObject::apiType() const {
    switch (kind_) {
    case kNode: {
        const NodeRec* n = node(*this);
        return n ? static_cast<TFn::Type>(n->type->code) : TFn::kInvalid;
    }
    case kAttributeKind: {
        const AttrRec* a = attr(*this);
        return a ? static_cast<TFn::Type>(a->apiType) : TFn::kInvalid;
    }
    case kDataKind: {
        if (id_ >= scene().data.size() || scene().data[id_].first != generation_) return TFn::kInvalid;
        const TObject& g = scene().data[id_].second.geometry;
        if (g.isNull()) return TFn::kMatrixData;
        const NodeRec* n = node(g);
        return !n ? TFn::kInvalid : n->mesh ? TFn::kMeshData : TFn::kNurbsSurfaceData;
    }
    case kComponentKind:
        return id_ < scene().components.size() && scene().components[id_].gen == generation_
                   ? static_cast<TFn::Type>(scene().components[id_].type)
                   : TFn::kInvalid;
    default:
        return TFn::kInvalid;
    }
}

const char* TObject::apiTypeStr() const {
    const NodeRec* n = node(*this);
    if (n) return n->type->name.c_str();
    switch (apiType()) {
    case TFn::kInvalid: return "kInvalid";
    case TFn::kMatrixData: return "kMatrixData";
    case TFn::kMeshData: return "kMeshData";
    case TFn::kNurbsSurfaceData: return "kNurbsSurfaceData";
    case TFn::kSingleIndexedComponent: return "kMeshVertComponent";
    case TFn::kDoubleIndexedComponent: return "kSurfaceCVComponent";
    case TFn::kMeshPolygonComponent: return "kMeshPolygonComponent";
    default: return "kAttribute";
    }
}

bool TObject::hasFn(int type) const { return tuloTypeIsA(apiType(), type); }
