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
    case kDataKind:
        return id_ < scene().data.size() && scene().data[id_].first == generation_ ? TFn::kMatrixData
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
    default: return "kAttribute";
    }
}

bool TObject::hasFn(int type) const { return tuloTypeIsA(apiType(), type); }
