// Transform limits: one "transformLimits" command per axis of each active limit type, naming the
// node by its full DAG path. In interactive use the docked attribute editor is hidden while the
// first limited node of a pass sends its commands, and shown again afterwards.
//
// The command takes the host's UI units: translation limits are sent in the UI distance unit and
// rotation limits in the UI angle unit (the Zeq node keeps centimetres and degrees).
#include <cmath>

#include "base/kgemath.h"
#include "io/zeqlogfile.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulohelpers.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnodelimits.h"
#include "tglobal.h"
#include "tunits.h"

using namespace zeqsdk_400;

namespace {

// The nine command variants: channel flag and enable flag, by limit type and axis.
struct LimitRow {
    const char* mName;  // for the warning line
    const char* mChannel[3];
    const char* mEnable[3];
};
const LimitRow kLimitRows[3] = {
    {"translation",
     {"transformLimits -tx ", "transformLimits -ty ", "transformLimits -tz "},
     {" -etx ", " -ety ", " -etz "}},
    {"rotation",
     {"transformLimits -rx ", "transformLimits -ry ", "transformLimits -rz "},
     {" -erx ", " -ery ", " -erz "}},
    {"scaling",
     {"transformLimits -sx ", "transformLimits -sy ", "transformLimits -sz "},
     {" -esx ", " -esy ", " -esz "}},
};

int Query(const char* command) {
    int result = 0;
    TStatus status = TGlobal::executeCommand(TString(command), result, true, false);
    DebugCheckStatus(status, nullptr);
    return result;
}

void Send(const TString& command) {
    TStringArray result;
    TGlobal::executeCommand(command, result, false, false);
}

}  // namespace

void ZeqTuloImport::ImportLimits(TFnTransform& /*transform*/, ZeqTuloNode& node) {
    const KZeqNodeLimits& limits = node.GetLimits();
    const bool active[3] = {limits.GetTranslationLimitActive(), limits.GetRotationLimitActive(),
                            limits.GetScalingLimitActive()};
    if (!active[0] && !active[1] && !active[2]) return;
    // Copies: ordering the bounds must not change the node.
    const KZeqLimits copies[3] = {limits.mTranslationLimits, limits.mRotationLimits, limits.mScalingLimits};

    int batch = 0, docked = 0, visible = 0;
    if (!mAttributeEditorChecked) {
        batch = Query("about -b");
        if (batch == 0) {
            mAttributeEditorChecked = true;
            docked = Query("optionVar -q aeInMainWindow");
            if (docked != 0) {
                visible = Query("isAttributeEditorVisible");
                TString hide("optionVar -iv aeInMainWindow 0;");
                hide += "setAttributeEditorVisible 0";
                Send(hide);
            }
        }
    }

    const TDagPath* path = node.GetDagPath();
    const TString pathName = path ? path->fullPathName() : TString();
    // Zeq centimetres and degrees into the host's UI units.
    const double scales[3] = {1.0 / ZeqTuloUtility::DistanceUnitRatio(),
                              KM_DEG_TO_RAD / TAngle::radiansPer(TAngle::uiUnit()), 1.0};
    for (int type = 0; type < 3; ++type) {
        if (!active[type]) continue;
        const KZeqLimits& limit = copies[type];
        KZeqVector4 min = limit.GetLimitMin(), max = limit.GetLimitMax();
        bool minOn[3], maxOn[3];
        limit.GetLimitMinActive(minOn[0], minOn[1], minOn[2]);
        limit.GetLimitMaxActive(maxOn[0], maxOn[1], maxOn[2]);
        for (int axis = 0; axis < 3; ++axis) {
            if (min[axis] > max[axis]) {
                if (!maxOn[axis]) max[axis] = min[axis];
                else if (!minOn[axis]) min[axis] = max[axis];
            }
            double low = min[axis] * scales[type], high = max[axis] * scales[type];
            // A bound that is off is only a number the host stores: keep it a number.
            if (!std::isfinite(low) && !minOn[axis]) low = 0;
            if (!std::isfinite(high) && !maxOn[axis]) high = 0;
            if (!std::isfinite(low) || !std::isfinite(high) || (minOn[axis] && maxOn[axis] && low > high)) {
                // The host refuses an enabled minimum above the maximum (and what is not a number).
                if (mLogFile) {
                    KString line("Warning: ");
                    line += node.GetNameWithoutNameSpacePrefix();
                    line += ": the ";
                    line += kLimitRows[type].mName;
                    line += " limit on ";
                    line += "XYZ"[axis];
                    line += " has its minimum above its maximum or is not a number; that limit was not set.";
                    *mLogFile += line.Buffer();
                }
                continue;
            }
            TString command(kLimitRows[type].mChannel[axis]);
            command += low;
            command += " ";
            command += high;
            command += kLimitRows[type].mEnable[axis];
            command += minOn[axis] ? 1 : 0;
            command += " ";
            command += maxOn[axis] ? 1 : 0;
            command += " ";
            command += pathName;
            Send(command);
        }
    }

    if (docked != 0) {
        TString restore("openAEWindow;");
        restore += "refreshAE;";
        restore += "optionVar -iv aeInMainWindow 1;";
        restore += "setAttributeEditorVisible 1";
        Send(restore);
        if (visible == 0) Send(TString("setChannelBoxVisible(1)"));
    }
}
