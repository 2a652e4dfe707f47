#include "io/kzequserparams.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fileio/kconfigfile.h"

namespace zeqsdk_400 {

namespace {

constexpr int B = KZeqUserParamEntry::eBool;
constexpr int D = KZeqUserParamEntry::eDouble;
constexpr int S = KZeqUserParamEntry::eString;

struct BuiltIn {
    const char* mName;
    int mType;
    const char* mDefault;
};

// The built-in options in index order with the defaults Reset gives them.
// Entry 24 is filled from LoadModeToString(kCreate).
const BuiltIn kBuiltIns[] = {
    {"kExportMasterUnitStr", S, "Detected source world unit = Unit\n1 unit = 1 centimeter"},
    {"kImportMasterUnitStr", S, "Detected destination world unit = Unit\n1 centimeter = 1 unit"},
    {"kShowWarnings", B, "true"},
    {"kAsciiZeq", B, "false"},
    {"kExportMasterScale", D, "1.0"},
    {"kExportSamplingRate", D, "30.0"},
    {"kExportAnimation", B, "true"},
    {"kExportEmbedTextures", B, "false"},
    {"kExportConvert_2Tiff", B, "false"},
    {"kExportCameras", B, "true"},
    {"kExportLights", B, "true"},
    {"kExportGeometries", B, "true"},
    {"kExportSkins", B, "true"},
    {"kExportShapes", B, "true"},
    {"kExportBindPose", B, "true"},
    {"kExportPivotToNull", B, "false"},
    {"kExportApplyCstKeyRed", B, "true"},
    {"kExportApplyKeyReduce", B, "false"},
    {"kExportKeyReducePrec", D, "1.0000"},
    {"kExportApplyKeySync", B, "false"},
    {"kExportApplyKeysOnFrm", B, "true"},
    {"kExportApplyUnroll", B, "true"},
    {"kExportUnrollPrec", D, "0.25"},
    {"kExportUnrollPath", B, "true"},
    {"kImportLoadMode", S, nullptr},
    {"kImportMasterScale", D, "1.0"},
    {"kImportSamplingRate", D, "30.0"},
    {"kImportAnimation", B, "true"},
    {"kImportCameras", B, "true"},
    {"kImportLights", B, "true"},
    {"kImportGeometries", B, "true"},
    {"kImportSkins", B, "true"},
    {"kImportShapes", B, "true"},
    {"kImportMarkers", B, "false"},
    {"kImportNullsToPivot", B, "false"},
    {"kImportApplyCstKeyRed", B, "true"},
    {"kImportApplyKeyReduce", B, "false"},
    {"kImportKeyReducePrec", D, "1.0000"},
    {"kImportApplyKeySync", B, "false"},
    {"kImportApplyKeysOnFrm", B, "true"},
    {"kImportApplyUnroll", B, "true"},
    {"kImportUnrollPrec", D, "0.25"},
    {"kImportUnrollPath", B, "true"},
};
static_assert(sizeof(kBuiltIns) / sizeof(kBuiltIns[0]) == KZeqUserParams::kBuiltInCount, "43 built-in entries");

const char* const kLoadModeNames[] = {"kExclusiveMerge", "kMerge", "kCreate"};

// The entries a settings file holds, in the order both directions visit them;
// the two pivot switches (15 and 34) are deliberately per session.
const unsigned int kStoredEntries[] = {2,  3,  4,  0,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                                       16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 1,  26, 27, 28,
                                       29, 30, 31, 32, 33, 35, 36, 37, 38, 39, 40, 41, 42};
static_assert(sizeof(kStoredEntries) / sizeof(kStoredEntries[0]) == 41, "41 stored entries");

struct UnitRow {
    double mExportFactor;  // centimetres per unit (1.0 where the scale is left as is)
    const char* mExportMessage;
    double mImportFactor;  // units per centimetre
    const char* mImportMessage;
};

// Indexed by ESysUnits.
const UnitRow kUnits[] = {
    {1.0, "Detected source world unit = Unit\n1 unit = 1 centimeter", 1.0,
     "Detected destination world unit = Unit\n1 centimeter = 1 unit"},
    {2.54, "Detected source world unit = Inch\n1 inch = 2.54 centimeters", 0.3937,
     "Detected destination world unit = Inches\n1 centimeter = 0.3937000 inches"},
    {30.48, "Detected source world unit = Feet\n1 feet = 30.48 centimeters", 0.0328084,
     "Detected destination world unit = Feet\n1 centimeter = 0.0328080 feet"},
    {91.44, "Detected source world unit = Yard\n1 yard = 91.44 centimeters", 0.010936,
     "Detected destination world unit = Yard\n1 centimeter = 0.010936 yards"},
    {160934.4, "Detected source world unit = Mile\n1 mile = 160934.4 centimeters", 0.000006213,
     "Detected destination world unit = Miles\n1 centimeter = 0.0000062 miles"},
    {0.1, "Detected source world unit = Millimeter\n1 millimeter = 0.1 centimeters", 10.0,
     "Detected destination world unit = Millimeters\n1 centimeter = 10 millimeters"},
    {1.0, "Detected source world unit = Centimeter\n1 centimeter = 1 centimeter", 1.0,
     "Detected destination world unit = Centimeters\n1 centimeter = 1 centimeter"},
    {100.0, "Detected source world unit = Meter\n1 meter = 100 centimeters", 0.01,
     "Detected destination world unit = Meter\n1 centimeter = 0.01 meter"},
    {100000.0, "Detected source world unit = Kilometer\n1 kilometer = 100000 centimeters", 0.0000001,
     "Detected destination world unit = Kilometer\n1 centimeter = 0.0000001 kilometer"},
};

const UnitRow* UnitRowFor(KZeqUserParams::ESysUnits unit) {
    const int value = static_cast<int>(unit);
    return value >= 0 && value < static_cast<int>(sizeof(kUnits) / sizeof(kUnits[0])) ? &kUnits[value] : nullptr;
}

const char* DefaultValue(unsigned int index, KString& scratch, const KZeqUserParams& table) {
    if (kBuiltIns[index].mDefault) return kBuiltIns[index].mDefault;
    scratch = table.LoadModeToString(KZeqUserParams::kCreate);
    return scratch.Buffer();
}

}  // namespace

KZeqUserParams::KZeqUserParams() : mEntries(16) {
    KZeqUserParams::Reset();
    KString text = GetStringParam(kImportLoadMode);
    mImportType = StringToLoadMode(text);
}

KZeqUserParams::~KZeqUserParams() { FreeEntries(); }

void KZeqUserParams::FreeEntries() {
    for (int i = 0; i < mEntries.GetCount(); ++i) delete mEntries[i];
    mEntries.Clear();
}

void KZeqUserParams::Reset() {
    FreeEntries();
    KString scratch;
    for (unsigned int i = 0; i < kBuiltInCount; ++i)
        mEntries.Add(new KZeqUserParamEntry(kBuiltIns[i].mName, kBuiltIns[i].mType, DefaultValue(i, scratch, *this)));
}

void KZeqUserParams::ResetRange(unsigned int first, unsigned int last) {
    KString scratch;
    for (unsigned int i = first; i <= last && i < kBuiltInCount; ++i)
        if (KZeqUserParamEntry* entry = Entry(i)) entry->mValue = DefaultValue(i, scratch, *this);
}

void KZeqUserParams::ResetExport() {
    ResetRange(2, 23);
}

void KZeqUserParams::ResetImport() {
    ResetRange(2, 3);
    ResetRange(25, 42);
}

KZeqUserParamEntry* KZeqUserParams::Entry(unsigned int index) {
    return index < static_cast<unsigned int>(mEntries.GetCount()) ? mEntries[static_cast<int>(index)] : nullptr;
}

const KZeqUserParamEntry* KZeqUserParams::Entry(unsigned int index) const {
    return index < static_cast<unsigned int>(mEntries.GetCount()) ? mEntries[static_cast<int>(index)] : nullptr;
}

bool KZeqUserParams::GetBoolParam(unsigned int index) const {
    const KZeqUserParamEntry* entry = Entry(index);
    return entry && GetBool(entry->mValue.Buffer());
}

double KZeqUserParams::GetDoubleParam(unsigned int index) const {
    const KZeqUserParamEntry* entry = Entry(index);
    return entry ? GetDouble(entry->mValue.Buffer()) : 0.0;
}

KString KZeqUserParams::GetStringParam(unsigned int index) const {
    const KZeqUserParamEntry* entry = Entry(index);
    return entry ? entry->mValue : KString("");
}

void KZeqUserParams::SetBoolParam(unsigned int index, bool value) {
    if (KZeqUserParamEntry* entry = Entry(index)) GetString(value, entry->mValue);
}

void KZeqUserParams::SetDoubleParam(unsigned int index, double value) {
    if (KZeqUserParamEntry* entry = Entry(index)) GetString(value, entry->mValue);
}

void KZeqUserParams::SetStringParam(unsigned int index, KString value) {
    if (KZeqUserParamEntry* entry = Entry(index)) entry->mValue = value;
}

void KZeqUserParams::AddUserParams(KArrayTemplate<KZeqUserParamEntry*>& entries) {
    for (int i = 0; i < entries.GetCount(); ++i) {
        const KZeqUserParamEntry* entry = entries[i];
        if (entry) mEntries.Add(new KZeqUserParamEntry(entry->mName, entry->mType, entry->mValue));
    }
}

KString KZeqUserParams::LoadModeToString(ELoadMode mode) const {
    const int value = static_cast<int>(mode);
    return value >= 0 && value <= 2 ? KString(kLoadModeNames[value]) : KString("");
}

KZeqUserParams::ELoadMode KZeqUserParams::StringToLoadMode(KString& text) const {
    for (int i = 0; i <= 2; ++i)
        if (text == kLoadModeNames[i]) return static_cast<ELoadMode>(i);
    return kMerge;
}

bool KZeqUserParams::GetBool(const char* text) const { return text && std::strcmp(text, "true") == 0; }

double KZeqUserParams::GetDouble(const char* text) const { return text ? std::atof(text) : 0.0; }

void KZeqUserParams::GetString(bool value, KString& text) const { text = value ? "true" : "false"; }

void KZeqUserParams::GetString(double value, KString& text) const {
    const float single = static_cast<float>(value);
    // Wide enough for the largest float in fixed notation with every decimal a
    // float can need.
    char buffer[160];
    std::snprintf(buffer, sizeof(buffer), "%f", static_cast<double>(single));
    if (std::isfinite(single)) {
        // Six decimals lose small factors (a mile's 0.000006213 would become
        // 0.000006, a kilometre's 0.0000001 zero): add decimals until the text
        // reads back as the same float.
        for (int decimals = 7; static_cast<float>(std::atof(buffer)) != single && decimals <= 60; ++decimals)
            std::snprintf(buffer, sizeof(buffer), "%.*f", decimals, static_cast<double>(single));
    }
    text = buffer;
}

KString KZeqUserParams::GetMasterUnitStr(bool import) const {
    return GetStringParam(import ? kImportMasterUnitStr : kExportMasterUnitStr);
}

double KZeqUserParams::GetMasterScale(bool import) const {
    return GetDoubleParam(import ? kImportMasterScale : kExportMasterScale);
}

void KZeqUserParams::SetMasterScale(double scale, bool import) {
    SetDoubleParam(import ? kImportMasterScale : kExportMasterScale, scale);
}

double KZeqUserParams::GetResamplingRate(bool import) const {
    return GetDoubleParam(import ? kImportSamplingRate : kExportSamplingRate);
}

void KZeqUserParams::SetResamplingRate(double rate, bool import) {
    SetDoubleParam(import ? kImportSamplingRate : kExportSamplingRate, rate);
}

void KZeqUserParams::ComputeMasterScale(bool import, bool messageOnly) {
    const ESysUnits unit = GetSystemUnitInfo();
    const UnitRow* row = UnitRowFor(unit);
    double scale;
    if (import) {
        // The host's own scale only applies to what leaves it.
        scale = 1.0;
        if (row) {
            SetStringParam(kImportMasterUnitStr, row->mImportMessage);
            scale = row->mImportFactor;
        }
    } else {
        scale = GetSystemScale(unit);
        if (row) {
            SetStringParam(kExportMasterUnitStr, row->mExportMessage);
            scale *= row->mExportFactor;
        }
    }
    if (!messageOnly) SetDoubleParam(import ? kImportMasterScale : kExportMasterScale, scale);
}

void KZeqUserParams::Save(KConfigFile& file, const char* section) const {
    for (unsigned int index : kStoredEntries) {
        const KZeqUserParamEntry* entry = Entry(index);
        if (!entry) continue;
        // A settings line holds one value up to a line break or a comment: store
        // that part, as it is what a reader gets back (the unit messages keep
        // their first line), rather than have the whole key refused.
        const char* value = entry->mValue.Buffer();
        const std::size_t length = std::strcspn(value, "\r\n;");
        const KString stored(value, length);
        file.Set(section, entry->mName.Buffer(), stored.Buffer(), nullptr);
    }
}

void KZeqUserParams::Load(KConfigFile& file, const char* section) {
    for (unsigned int index : kStoredEntries) {
        KZeqUserParamEntry* entry = Entry(index);
        if (!entry) continue;
        if (const char* value = file.Get(section, entry->mName.Buffer(), nullptr)) entry->mValue = value;
    }
}

}  // namespace zeqsdk_400
