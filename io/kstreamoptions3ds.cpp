#include "io/kstreamoptions3ds.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KStreamOptions3ds, KStreamOptionsBase, "KStreamOptions3ds")

namespace {

struct Option3ds {
    KStreamOptionsBase::EOption mOption;
    const char* mName;
    int mValue;
    int mMode;
};

// The options in the order a dialog lists them, with default and presentation mode.
constexpr Option3ds kOptions3ds[] = {
    {KStreamOptionsBase::eCREATE_REFERENCE_NODE, "Create Reference Node", 0, 2},
    {KStreamOptionsBase::eMATERIALS, "Materials", 1, 2},
    {KStreamOptionsBase::eTEXTURE_MAPPING, "Texture Mapping", 1, 2},
    {KStreamOptionsBase::eANIM, "Anim", 1, 2},
    {KStreamOptionsBase::eGEOMETRIES, "Geometries", 1, 2},
    {KStreamOptionsBase::eLIGHTS, "Lights", 1, 2},
    {KStreamOptionsBase::eCAMERA, "Camera", 1, 2},
    {KStreamOptionsBase::eAMBIENT_LIGHT, "Ambient Light", 1, 2},
    {KStreamOptionsBase::eRESCALE, "Rescale", 1, 2},
    {KStreamOptionsBase::eREDUCE_KEYS, "Reduce Keys", 0, 0},
    {KStreamOptionsBase::eSMOOTH_GROUP, "Smooth Group", 1, 2},
    {KStreamOptionsBase::eUV_PER_POLYGON, "UV per polygon", 1, 1},
};

}  // namespace

KStreamOptions3ds::KStreamOptions3ds() { KStreamOptions3ds::Reset(); }

void KStreamOptions3ds::Reset() {
    KStreamOptionsBase::Reset();
    for (const Option3ds& option : kOptions3ds)
        DefineOption(option.mOption, option.mName, eBOOLEAN, option.mValue, option.mMode);
}

KStreamOptions3ds* KStreamOptions3dsCreate() { return new KStreamOptions3ds; }

}  // namespace zeqsdk_400
