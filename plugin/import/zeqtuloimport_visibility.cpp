// Visibility: the Zeq visibility of the imported take becomes an on/off step curve on the host's
// "visibility", and its static value comes from the default take and the node's own flag.
#include "fcurve/kfcurve.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqtakenode.h"
#include "tplug.h"

using namespace zeqsdk_400;

namespace {
// Visible above this value; at or below it (and for a value that is not a number) hidden.
constexpr double kVisibilityThreshold = 1e-05;
double OnOff(double value) { return value > kVisibilityThreshold ? 1.0 : 0.0; }
}  // namespace

TStatus ZeqTuloImport::ImportAnimationVisibility(ZeqTuloNode& node) {
    TPlug plug;
    const TStatus found = ZeqTuloUtility::FindPlug(node, plug, "visibility");
    if (!found) return found;

    KZeqTakeNode* current = node.GetCurrentTakeNode();
    KZeqTakeNode* defaults = node.GetDefaultTakeNode();
    if (current && current != defaults) {
        if (KFCurve* visibility = current->GetVisibility()) {
            for (int i = 0; i < visibility->KeyGetCount(); ++i) {
                KFCurveKey* key = visibility->KeyGetPtr(i);
                key->SetValue(static_cast<float>(OnOff(key->GetValue())));
                // A constant key taking the next key's value keeps doing so; any other holds its
                // own (the bit of "next" is an automatic tangent's on a cubic key).
                const bool next = key->GetInterpolation() == KFCURVE_INTERPOLATION_CONSTANT &&
                                  key->GetConstantMode() == KFCURVE_CONSTANT_NEXT;
                key->SetInterpolation(KFCURVE_INTERPOLATION_CONSTANT);
                key->SetConstantMode(next ? KFCURVE_CONSTANT_NEXT : KFCURVE_CONSTANT_STANDARD);
            }
            SetTuloCurve(plug, *visibility, TFnAnimCurve::kAnimCurveTU, 1.0, 1.0);
        }
    }

    KFCurve* visibility = defaults ? defaults->GetVisibility() : nullptr;
    double value = visibility ? OnOff(visibility->GetValue()) : 1.0;
    if (!node.GetVisibility()) value = 0.0;
    plug.setValue(value);
    return found;
}
