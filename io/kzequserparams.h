#ifndef ZEQ_IO_KZEQUSERPARAMS_H
#define ZEQ_IO_KZEQUSERPARAMS_H

#include "base/karray.h"
#include "base/kstring.h"

namespace zeqsdk_400 {

class KConfigFile;

// One user option: its name (also its key in a settings file), how its text
// is meant to be read, and the value as text.
struct KZeqUserParamEntry {
    enum EType : int { eBool = 0, eDouble = 1, eString = 2 };

    KZeqUserParamEntry(const char* name, int type, const char* value) : mName(name), mType(type), mValue(value) {}

    KString mName;
    int mType;  // no accessor checks it: any text can be read as any type
    KString mValue;
};

// The table of named user options that steer an export or an import, read and
// written by index. A host derives from it, appends its own entries after the
// built-in ones and supplies persistence and the host's unit of length.
class KZeqUserParams {
public:
    enum ELoadMode : int { kExclusiveMerge = 0, kMerge = 1, kCreate = 2 };
    // The host's unit of length. Zeq files are in centimetres.
    enum ESysUnits : int {
        eGenericUnit = 0,
        eInch = 1,
        eFoot = 2,
        eYard = 3,
        eMile = 4,
        eMillimeter = 5,
        eCentimeter = 6,
        eMeter = 7,
        eKilometer = 8
    };
    // Indices of the built-in entries that callers address by number.
    enum : unsigned int {
        kExportMasterUnitStr = 0,
        kImportMasterUnitStr = 1,
        kExportMasterScale = 4,
        kExportSamplingRate = 5,
        kImportLoadMode = 24,
        kImportMasterScale = 25,
        kImportSamplingRate = 26,
        kImportNullsToPivot = 34,
        kBuiltInCount = 43
    };

    KZeqUserParams();
    KZeqUserParams(const KZeqUserParams&) = delete;
    KZeqUserParams& operator=(const KZeqUserParams&) = delete;
    virtual ~KZeqUserParams();

    // Discards every entry, appended ones included, and rebuilds the built-in
    // entries with their defaults.
    virtual void Reset();
    virtual void Load() = 0;
    virtual void Save() = 0;
    // The flag is true for the import side, false for the export side.
    virtual KString GetMasterUnitStr(bool import) const;
    virtual double GetMasterScale(bool import) const;
    virtual void SetMasterScale(double scale, bool import);
    virtual double GetResamplingRate(bool import) const;
    virtual void SetResamplingRate(double rate, bool import);
    virtual ESysUnits GetSystemUnitInfo() const = 0;
    // The host's own scale for a unit, applied on top of the export factor.
    virtual double GetSystemScale(ESysUnits unit) const = 0;
    // Put back the defaults of one side (and of the two shared entries).
    virtual void ResetExport();
    virtual void ResetImport();

    // Keeps the built-in options, except the two pivot switches, in a section
    // of a settings file. Load leaves an entry alone when its key is absent.
    void Save(KConfigFile& file, const char* section) const;
    void Load(KConfigFile& file, const char* section);

    // Sets the unit message of one side for the host's unit and, unless
    // messageOnly, the master scale of that side.
    void ComputeMasterScale(bool import, bool messageOnly);

    int GetNbParameters() const { return mEntries.GetCount(); }
    // Null when index is not below GetNbParameters().
    KZeqUserParamEntry* Entry(unsigned int index);
    const KZeqUserParamEntry* Entry(unsigned int index) const;

    // Out-of-range indices read false, 0.0 and "" and write nothing.
    bool GetBoolParam(unsigned int index) const;
    double GetDoubleParam(unsigned int index) const;
    KString GetStringParam(unsigned int index) const;
    void SetBoolParam(unsigned int index, bool value);
    void SetDoubleParam(unsigned int index, double value);
    void SetStringParam(unsigned int index, KString value);

    // Appends copies of the given entries; the caller keeps its own.
    void AddUserParams(KArrayTemplate<KZeqUserParamEntry*>& entries);

    KString LoadModeToString(ELoadMode mode) const;
    // Any text but the three exact names gives kMerge.
    ELoadMode StringToLoadMode(KString& text) const;

    // The text conversions behind the typed accessors.
    bool GetBool(const char* text) const;
    double GetDouble(const char* text) const;
    void GetString(bool value, KString& text) const;
    // Single precision printed with "%f", or with as many more decimals as
    // the value needs when six would not bring it back.
    void GetString(double value, KString& text) const;

protected:
    // The import type, kept apart from its text in entry 24.
    ELoadMode mImportType;

private:
    void FreeEntries();
    void ResetRange(unsigned int first, unsigned int last);

    KArrayTemplate<KZeqUserParamEntry*> mEntries;
};

}  // namespace zeqsdk_400

#endif
