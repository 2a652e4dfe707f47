#include "formats/geometry/3ds/kzeqswitches3ds.h"

#include "io/kstreamoptions3ds.h"

namespace zeqsdk_400 {

bool KZeqSwitches3DS::TakeSwitches(KStreamOptions* options) {
    if (!options || !options->Is(KStreamOptions3ds::ClassId)) return false;
    auto* set = static_cast<KStreamOptions3ds*>(options);
    const auto On = [set](KStreamOptionsBase::EOption option) { return set->GetOption(option) == 1; };
    mTextureMapping = On(KStreamOptionsBase::eTEXTURE_MAPPING);
    mMaterials = On(KStreamOptionsBase::eMATERIALS);
    mAnim = On(KStreamOptionsBase::eANIM);
    mGeometries = On(KStreamOptionsBase::eGEOMETRIES);
    mLights = On(KStreamOptionsBase::eLIGHTS);
    mCamera = On(KStreamOptionsBase::eCAMERA);
    mReduceKeys = On(KStreamOptionsBase::eREDUCE_KEYS);
    mAmbientLight = On(KStreamOptionsBase::eAMBIENT_LIGHT);
    mSmoothGroup = On(KStreamOptionsBase::eSMOOTH_GROUP);
    mUVPerPolygon = On(KStreamOptionsBase::eUV_PER_POLYGON);
    mCreateReferenceNode = On(KStreamOptionsBase::eCREATE_REFERENCE_NODE);
    mRescale = On(KStreamOptionsBase::eRESCALE);
    return true;
}

}  // namespace zeqsdk_400
