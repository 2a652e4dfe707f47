// Light values and their animation: colour, intensity (x 100), cone angle (degrees) and fog as the
// default take's values, and the host's curves of the first three in "Take 001".
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterconstantkeyreducer.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/export/zeqtuloexport_tables.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqtakenode.h"
#include "tfnanimcurve.h"
#include "tfnlight.h"

using namespace zeqsdk_400;

namespace {

// The working curves, in the order the take receives them.
enum ELightChannel { eIntensity, eRed, eGreen, eBlue, eConeAngle, eLightChannelCount };

KFCurve* TakeCurve(KZeqTakeNode& take, int channel) {
    switch (channel) {
    case eIntensity: return take.GetLightIntensity();
    case eRed: return take.GetColorR();
    case eGreen: return take.GetColorG();
    case eBlue: return take.GetColorB();
    default: return take.GetLightConeAngle();
    }
}

void SetDefault(KFCurve* curve, double value) {
    if (curve) curve->SetValue(static_cast<float>(value));
}

}  // namespace

bool ZeqTuloExport::ExportLights(TDagPath& path, ZeqTuloNode& node) {
    if (path.hasFn(kHostAmbientLight)) return false;
    ExportLightAttributesDefaults(path, node);
    return ExportLightAttributesCurves(node);
}

void ZeqTuloExport::ExportLightAttributesDefaults(TDagPath& path, ZeqTuloNode& node) {
    KZeqTakeNode* take = node.GetDefaultTakeNode();
    if (!take) return;
    if (path.hasFn(kHostSpotLight)) {
        const TFnSpotLight spot(path);
        SetDefault(take->GetLightConeAngle(), spot.coneAngle() * kExportRadiansToDegrees);
    }
    const TFnLight light(path);
    const TColor color = light.color();
    SetDefault(take->GetColorR(), color.r);
    SetDefault(take->GetColorG(), color.g);
    SetDefault(take->GetColorB(), color.b);
    SetDefault(take->GetLightIntensity(), light.intensity() * 100.0);
    SetDefault(take->GetLightFog(), 0.0);
}

bool ZeqTuloExport::ExportLightAttributesCurves(ZeqTuloNode& node) {
    const TDagPath* found = node.GetDagPath();
    KZeqTakeNode* defaults = node.GetDefaultTakeNode();
    if (!found || !defaults) return false;
    const TDagPath path = *found;
    KFCurve working[eLightChannelCount];
    for (int c = 0; c < eLightChannelCount; ++c)
        if (KFCurve* source = TakeCurve(*defaults, c)) working[c].CopyFrom(*source, false);

    const bool reduce = ZeqTuloUserParams::Instance()->GetBoolParam(kExportApplyCstKeyRedOption);
    bool animated = false;
    // The reducer's own defaults here: neither end key nor a single key is kept.
    const auto exportChannel = [&](const TPlug& plug, int channel, double factor) {
        TStatus status;
        TFnAnimCurve host(plug, &status);
        if (!status) return;
        SetFCurve(host, working[channel], false, factor);
        if (reduce) {
            KFCurveFilterConstantKeyReducer reducer;
            reducer.Apply(working[channel]);
        }
        if (working[channel].KeyGetCount() > 0) animated = true;
    };

    TPlug plugs[4];  // red, green, blue, intensity
    const auto lookUp = [&](const TFnLight& light) {
        plugs[0] = light.findPlug("colorR");
        plugs[1] = light.findPlug("colorG");
        plugs[2] = light.findPlug("colorB");
        plugs[3] = light.findPlug("intensity");
    };
    if (path.hasFn(kHostPointLight)) lookUp(TFnPointLight(path));
    if (path.hasFn(kHostDirectionalLight)) lookUp(TFnDirectionalLight(path));
    if (path.hasFn(kHostSpotLight)) {
        const TFnSpotLight spot(path);
        lookUp(spot);
        exportChannel(spot.findPlug("coneAngle"), eConeAngle, kExportRadiansToDegrees);
    }
    if (path.hasFn(kHostAreaLight) || path.hasFn(kHostVolumeLight)) {
        // The point-light set refuses these kinds on hosts that keep light kinds apart; the
        // plugs are the same on every light, so the general light set reads them.
        TStatus status;
        const TFnLight light(path, &status);
        if (status) lookUp(light);
    }
    for (int c = 0; c < 3; ++c)
        if (!plugs[c].isNull()) exportChannel(plugs[c], eRed + c, 1.0);
    if (!plugs[3].isNull()) exportChannel(plugs[3], eIntensity, 100.0);

    if (!animated) return false;
    SetCurrentTakeOnNode(node, kExportTakeName);
    KZeqTakeNode* take = node.GetCurrentTakeNode();
    if (!take) return true;
    for (int c = 0; c < eLightChannelCount; ++c) {
        KFCurve* target = TakeCurve(*take, c);
        if (target && working[c].KeyGetCount() > 0) target->CopyFrom(working[c], true);
    }
    return true;
}
