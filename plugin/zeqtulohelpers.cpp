#include "plugin/zeqtulohelpers.h"

#include "tfnattribute.h"
#include "tglobal.h"

void DebugCheckStatus(TStatus& status, const char* message) {
    if (status) return;
    status.perror(status.errorString());
    if (message) status.perror((TString(message) + " \n \n").asChar());
}

void DebugCheckPlug(TPlug&) {}
void DebugCheckAttribute(TObject*) {}
void DebugLog(const char*) {}

namespace {

TObject Numeric(const TString& longName, const TString& shortName, int type, double def, double min, double max,
                bool triple) {
    TFnNumericAttribute fn;
    TObject attribute = fn.create(longName, shortName, type, 0);
    if (triple) {
        fn.setDefault(def, def, def);
        fn.setMin(min, min, min);
        fn.setMax(max, max, max);
    } else {
        fn.setDefault(def);
        fn.setMin(min);
        fn.setMax(max);
    }
    return attribute;
}

template <class Unit>
TObject UnitAttribute(const TString& longName, const TString& shortName, int type, int unit, double def, double min,
                      double max) {
    TFnUnitAttribute fn;
    TObject attribute = fn.create(longName, shortName, type, 0);
    fn.setDefault(Unit(def, unit));
    fn.setMin(Unit(min, unit));
    fn.setMax(Unit(max, unit));
    return attribute;
}

}  // namespace

TObject CreateBoolAttribute(const TString& longName, const TString& shortName, bool defaultValue) {
    TFnNumericAttribute fn;
    TObject attribute = fn.create(longName, shortName, TFnNumericData::kBoolean, 0);
    fn.setDefault(defaultValue);
    return attribute;
}

TObject CreateDoubleAttribute(const TString& longName, const TString& shortName, double def, double min, double max) {
    return Numeric(longName, shortName, TFnNumericData::kDouble, def, min, max, false);
}

TObject CreateDoubleVectorAttribute(const TString& longName, const TString& shortName, double def, double min,
                                    double max) {
    return Numeric(longName, shortName, TFnNumericData::k3Double, def, min, max, true);
}

TObject CreateDegreeAttribute(const TString& longName, const TString& shortName, double def, double min, double max) {
    return UnitAttribute<TAngle>(longName, shortName, TFnUnitAttribute::kAngle, TAngle::kDegrees, def, min, max);
}

TObject CreateCentimeterAttribute(const TString& longName, const TString& shortName, double def, double min,
                                  double max) {
    return UnitAttribute<TDistance>(longName, shortName, TFnUnitAttribute::kDistance, TDistance::kCentimeters, def,
                                    min, max);
}

TObject CreateSecondAttribute(const TString& longName, const TString& shortName, double def, double min, double max) {
    return UnitAttribute<TTime>(longName, shortName, TFnUnitAttribute::kTime, TTime::kSeconds, def, min, max);
}

TObject CreateEnumAttribute(const TString& longName, const TString& shortName, const TStringArray& fields,
                            int defaultValue) {
    TFnEnumAttribute fn;
    TObject attribute = fn.create(longName, shortName, static_cast<short>(defaultValue));
    for (unsigned i = 0; i < fields.length(); ++i) fn.addField(fields[i], static_cast<short>(i));
    return attribute;
}

bool DisconnectAllSource(const TPlug& plug) {
    TPlugArray sources;
    TStatus status;
    plug.connectedTo(sources, true, false, &status);
    if (!status) return false;
    if (sources.length() == 0) return true;
    TDGModifier modifier;
    if (!modifier.disconnect(sources[0], plug)) return false;
    return modifier.doIt();
}

bool DisconnectAllDestination(const TPlug& plug) {
    TPlugArray destinations;
    TStatus status;
    plug.connectedTo(destinations, false, true, &status);
    if (!status) return false;
    for (unsigned i = 0; i < destinations.length(); ++i) {
        TDGModifier modifier;
        if (!modifier.disconnect(plug, destinations[i]) || !modifier.doIt()) return false;
    }
    return true;
}

bool IsIDPlugged(TPlug& plug, TTypeId id, bool asDestination, bool asSource) {
    TPlugArray connected;
    TStatus status;
    plug.connectedTo(connected, asDestination, asSource, &status);
    if (!status) return false;
    for (unsigned i = 0; i < connected.length(); ++i)
        if (TFnDependencyNode(connected[i].node()).typeId() == id) return true;
    return false;
}

void BakeSelection(TTime start, TTime end) {
    TString from, to;
    from.set(start.value());
    to.set(end.value());
    TString command("bakeResults -simulation true -t \"");
    command += from;
    command += ":";
    command += to;
    command += "\"\n";
    TGlobal::executeCommand(command, false, false);
}

void DeleteSelectedChannels() {
    TGlobal::executeCommand("delete -channels -unitlessAnimationCurves false -hierarchy 0 -controlPoints 0 -shape 0",
                            false, false);
}

bool ExtractWorldMatrix(const TFnTransform& transform, TMatrix& matrix) {
    TStatus status;
    TPlug plug = TPlug(transform.object(), TPxTransform::worldMatrix).elementByLogicalIndex(0, &status);
    TObject data;
    status = plug.getValue(data, TDGContext::fsNormal);
    if (!status) {
        status.perror("ZeqTuloUtility::ExtractWorldMatrix: get matrixObject");
        return false;
    }
    TFnMatrixData fn(data, &status);
    if (!status) {
        status.perror("ZeqTuloUtility::ExtractWorldMatrix: get worldMatrixData");
        return false;
    }
    matrix = fn.matrix(&status);
    if (!status) {
        status.perror("ZeqTuloUtility::ExtractWorldMatrix: get worldMatrix");
        return false;
    }
    return true;
}
