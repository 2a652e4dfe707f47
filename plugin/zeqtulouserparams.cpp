#include "plugin/zeqtulouserparams.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "base/klib.h"
#include "fileio/kownfolders.h"
#include "fileio/kregistry.h"
#include "tunits.h"

using namespace zeqsdk_400;

namespace {

struct PluginEntry {
    const char* mName;
    const char* mDefault;
};

// Entries 43 to 51, all bools.
const PluginEntry kPluginEntries[] = {
    {"kImportShowUI", "true"},      {"kImportForceWeightNormalize", "true"}, {"kImportDeformNullsAsJoints", "false"},
    {"kImportHardEdges", "false"},  {"kProtectDrivenKeys", "false"},         {"kSetLockedAttrib", "false"},
    {"kExportShowUI", "true"},      {"kExportSelectionOnly", "false"},       {"kExportHardEdges", "false"},
};
static_assert(sizeof(kPluginEntries) / sizeof(kPluginEntries[0]) ==
                  ZeqTuloUserParams::kEntryCount - KZeqUserParams::kBuiltInCount,
              "nine plug-in entries");

// The section text the registry ignores in favour of the connected one.
const char kIgnoredSection[] = "UserParams";

// The host's unit as last seen by a reset.
int sgCurrentSystemUnits = 0;

// Single precision, as the file keeps doubles; out-of-range values saturate.
float ToFloat(double value) {
    if (value > 3.4028234663852886e38) return std::numeric_limits<float>::infinity();
    if (value < -3.4028234663852886e38) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

bool HaveConfigurationDirectory() {
    const char* directory = KLib_GetConfigDirectory();
    return directory && *directory;
}

}  // namespace

ZeqTuloUserParams ZeqTuloUserParams::smInstance;

ZeqTuloUserParams::ZeqTuloUserParams() {
    // Built before this object, so they are destroyed after its last save.
    KRegistry::Instance();
    KLib_GetConfigDirectory();
    KGetConfigFolder();
    KGetMasterFolder();
    char section[16];
    std::snprintf(section, sizeof section, "Tulo%2d", 60);
    mSection = section;
    KZeqUserParams::Reset();
    LocalReset();
    const KString importMessage = GetMasterUnitStr(true);
    const KString exportMessage = GetMasterUnitStr(false);
    Load();
    if (GetMasterUnitStr(true) != importMessage) ComputeMasterScale(true, true);
    if (GetMasterUnitStr(false) != exportMessage) ComputeMasterScale(false, true);
}

ZeqTuloUserParams::~ZeqTuloUserParams() { Save(); }

void ZeqTuloUserParams::LocalReset() {
    KArrayTemplate<KZeqUserParamEntry*> entries;
    for (const PluginEntry& e : kPluginEntries) entries.Add(new KZeqUserParamEntry(e.mName, KZeqUserParamEntry::eBool, e.mDefault));
    AddUserParams(entries);
    for (int i = 0; i < entries.GetCount(); ++i) delete entries[i];
    entries.Clear();
    sgCurrentSystemUnits = GetSystemUnitInfo();
    ComputeMasterScale(true, true);
    ComputeMasterScale(false, true);
}

void ZeqTuloUserParams::Reset() {
    KZeqUserParams::Reset();
    LocalReset();
    mImportType = kMerge;
    SetDoubleParam(kImportSamplingRate, 30.0);
    SetDoubleParam(kExportSamplingRate, 30.0);
    ResetImport();
    ResetExport();
}

void ZeqTuloUserParams::ResetImport() {
    const int units = GetSystemUnitInfo();
    if (units == sgCurrentSystemUnits) return;
    sgCurrentSystemUnits = units;
    ComputeMasterScale(true, true);
    ComputeMasterScale(false, true);
}

void ZeqTuloUserParams::ResetExport() { ResetImport(); }

KZeqUserParams::ESysUnits ZeqTuloUserParams::GetSystemUnitInfo() const {
    const int unit = TDistance::uiUnit();
    if (unit >= TDistance::kInches && unit <= TDistance::kCentimeters) return static_cast<ESysUnits>(unit);
    if (unit == TDistance::kKilometers) return eKilometer;
    if (unit == TDistance::kMeters) return eMeter;
    return eGenericUnit;
}

double ZeqTuloUserParams::GetSystemScale(ESysUnits) const { return 1.0; }

KString ZeqTuloUserParams::GetRegistryPath() {
    KString path("zeqplugins");
    path += "6.0";
    path += "registry.txt";
    return path;
}

KString ZeqTuloUserParams::Escape(const char* text) {
    static const char kHex[] = "0123456789abcdef";
    const std::size_t length = std::strlen(text ? text : "");
    KString out;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = text[i];
        // A settings line ends at ';', its value is trimmed of blanks and may not begin with '=':
        // those are written as hex codes.
        const bool blank = c == ' ' || c == '\t' || c == '\v' || c == '\f';
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == ';' || (c == '=' && i == 0) || (blank && (i == 0 || i + 1 == length))) {
            out += "\\x";
            out += kHex[static_cast<unsigned char>(c) >> 4];
            out += kHex[static_cast<unsigned char>(c) & 15];
        } else {
            out += c;
        }
    }
    return out;
}

KString ZeqTuloUserParams::Unescape(const char* text) {
    auto hex = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1; };
    KString out;
    for (const char* c = text ? text : ""; *c; ++c) {
        if (*c != '\\' || !c[1]) {
            out += *c;
        } else if (c[1] == 'n' || c[1] == 'r' || c[1] == '\\') {
            out += c[1] == 'n' ? '\n' : c[1] == 'r' ? '\r' : '\\';
            ++c;
        } else if (c[1] == 'x' && c[2] && c[3] && hex(c[2]) >= 0 && hex(c[3]) >= 0 && (hex(c[2]) || hex(c[3]))) {
            out += static_cast<char>(hex(c[2]) * 16 + hex(c[3]));
            c += 3;
        } else {
            out += *c;  // not one of ours: kept as written
        }
    }
    return out;
}

void ZeqTuloUserParams::Load() {
    mLoadRefusal = "";
    if (!HaveConfigurationDirectory()) return;
    KRegistry* registry = KRegistry::Instance();
    registry->Connect(GetRegistryPath().Buffer(), mSection.Buffer());
    for (int i = 0; i < GetNbParameters(); ++i) {
        KZeqUserParamEntry* entry = Entry(static_cast<unsigned int>(i));
        if (!entry) continue;
        const char* key = entry->mName.Buffer();
        switch (entry->mType) {
        case KZeqUserParamEntry::eBool:
            SetBoolParam(static_cast<unsigned int>(i),
                         registry->ReadInt(kIgnoredSection, key, GetBool(entry->mValue.Buffer()) ? 1 : 0) != 0);
            break;
        case KZeqUserParamEntry::eDouble:
            SetDoubleParam(static_cast<unsigned int>(i),
                           registry->ReadFloat(kIgnoredSection, key, ToFloat(GetDouble(entry->mValue.Buffer()))));
            break;
        case KZeqUserParamEntry::eString: {
            // A missing key gives back the current text, escaped so that unescaping restores it.
            KString text;
            registry->ReadString(kIgnoredSection, key, Escape(entry->mValue.Buffer()).Buffer(), text);
            entry->mValue = Unescape(text.Buffer());
            break;
        }
        default: break;
        }
    }
    KString mode = GetStringParam(kImportLoadMode);
    mImportType = StringToLoadMode(mode);
    mLoadRefusal = registry->GetRefusal();
    registry->Close();
}

void ZeqTuloUserParams::Save() {
    mSaveError = "";
    if (!HaveConfigurationDirectory()) {
        mSaveError = "there is no folder to keep them in";
        return;
    }
    // A file not read as this user's settings is not theirs to write either.
    if (!mLoadRefusal.IsEmpty()) {
        mSaveError = mLoadRefusal;
        return;
    }
    KRegistry* registry = KRegistry::Instance();
    registry->Connect(GetRegistryPath().Buffer(), mSection.Buffer());
    SetStringParam(kImportLoadMode, LoadModeToString(mImportType));
    // One rewrite of the file for all entries rather than one per entry.
    registry->BeginUpdate();
    for (int i = 0; i < GetNbParameters(); ++i) {
        const KZeqUserParamEntry* entry = Entry(static_cast<unsigned int>(i));
        if (!entry) continue;
        const char* key = entry->mName.Buffer();
        KString text;
        switch (entry->mType) {
        case KZeqUserParamEntry::eBool:
            registry->WriteInt(kIgnoredSection, key, GetBool(entry->mValue.Buffer()) ? 1 : 0);
            break;
        case KZeqUserParamEntry::eDouble:
            // The table's own text keeps small factors ("%f" would write 1e-7 as 0).
            GetString(static_cast<double>(ToFloat(GetDouble(entry->mValue.Buffer()))), text);
            registry->WriteString(kIgnoredSection, key, text.Buffer());
            break;
        case KZeqUserParamEntry::eString:
            registry->WriteString(kIgnoredSection, key, Escape(entry->mValue.Buffer()).Buffer());
            break;
        default: break;
        }
    }
    if (!registry->EndUpdate())
        mSaveError = *registry->GetError() ? registry->GetError() : "the settings file cannot be written";
    registry->Close();
}
