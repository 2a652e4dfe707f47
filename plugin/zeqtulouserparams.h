#ifndef ZEQ_PLUGIN_ZEQTULOUSERPARAMS_H
#define ZEQ_PLUGIN_ZEQTULOUSERPARAMS_H

#include "base/kstring.h"
#include "io/kzequserparams.h"

// The plug-in's one set of user options: the SDK's 43 entries, the plug-in's nine (43 to 51) and
// the import type, kept in the settings file zeqplugins6.0registry.txt (section "Tulo60") of the
// configuration directory. Loaded when the library loads and again at start-up, saved by the
// commands that change options and when the library unloads. Nothing is read or written while no
// configuration directory is set.
class ZeqTuloUserParams : public zeqsdk_400::KZeqUserParams {
public:
    // The plug-in's entries.
    enum : unsigned int {
        kImportShowUI = 43,
        kImportForceWeightNormalize = 44,
        kImportDeformNullsAsJoints = 45,
        kImportHardEdges = 46,
        kProtectDrivenKeys = 47,
        kSetLockedAttrib = 48,
        kExportShowUI = 49,
        kExportSelectionOnly = 50,
        kExportHardEdges = 51,
        kEntryCount = 52
    };

    ZeqTuloUserParams();
    ~ZeqTuloUserParams() override;

    static ZeqTuloUserParams* Instance() { return &smInstance; }

    void Reset() override;
    // Appends entries 43 to 51 to the freshly rebuilt table and refreshes both unit messages.
    void LocalReset();
    // Both refresh the two unit messages when the host's unit changed since last seen.
    void ResetImport() override;
    void ResetExport() override;
    void Load() override;
    void Save() override;
    // Why the last Save left the settings file as it was; "" after one that wrote it.
    const zeqsdk_400::KString& GetSaveError() const { return mSaveError; }
    // Why the last Load did not read the settings file: another user may have put it under its name
    // (KConfigFile::GetRefusal). Such a file is not this user's: Save leaves it too, with this reason.
    const zeqsdk_400::KString& GetLoadRefusal() const { return mLoadRefusal; }
    ESysUnits GetSystemUnitInfo() const override;
    double GetSystemScale(ESysUnits unit) const override;

    static zeqsdk_400::KString GetRegistryPath();
    const zeqsdk_400::KString& GetSectionName() const { return mSection; }
    ELoadMode GetImportType() const { return mImportType; }
    void SetImportType(ELoadMode mode) { mImportType = mode; }

    // Settings-file text of a string entry: line breaks and "\" escaped with "\" (\n, \r, \\); ";",
    // a leading "=" and blanks at either end (which the file would drop) as hex codes (\x3b).
    // Unescape reads these back and keeps any other "\" as written.
    static zeqsdk_400::KString Escape(const char* text);
    static zeqsdk_400::KString Unescape(const char* text);

private:
    static ZeqTuloUserParams smInstance;
    zeqsdk_400::KString mSection;
    zeqsdk_400::KString mSaveError;
    zeqsdk_400::KString mLoadRefusal;
};

#endif
