// The plug-in shell: plug-in registration, script commands and file translators.
#pragma once

#include <vector>

#include "tfndependencynode.h"

// The words of a command line after the command's name.
class TArgList {
public:
    unsigned length(TStatus* status = nullptr) const;
    TString asString(unsigned index, TStatus* status = nullptr) const;
    int asInt(unsigned index, TStatus* status = nullptr) const;
    double asDouble(unsigned index, TStatus* status = nullptr) const;
    bool asBool(unsigned index, TStatus* status = nullptr) const;
    TStatus append(const TString& word) {
        words_.push_back(word);
        return TStatus::kSuccess;
    }

private:
    bool word(unsigned index, TStatus* status) const;
    std::vector<TString> words_;
};

// A script command of a plug-in: the host makes one per call and deletes it afterwards.
class TPxCommand {
public:
    virtual ~TPxCommand() = default;
    virtual TStatus doIt(const TArgList& args) = 0;

    // The result of the running command, as a script sees it.
    static void setResult(int value);
    static void setResult(bool value);
    static void setResult(double value);
    static void setResult(const TString& value);
    static void setResult(const char* value) { setResult(TString(value)); }
    static void displayError(const TString& text);
    static void displayWarning(const TString& text);
    static void displayInfo(const TString& text);
};

class TFileObject {
public:
    TStatus setRawFullName(const TString& fullName) {
        full_ = fullName;
        return TStatus::kSuccess;
    }
    TString fullName(TStatus* status = nullptr) const;
    // The name without its directory.
    TString name(TStatus* status = nullptr) const;

private:
    TString full_;
};

// A file format offered to the host's file commands.
class TPxFileTranslator {
public:
    enum FileAccessMode { kUnknownAccessMode = 0, kOpenAccessMode = 1, kReferenceAccessMode = 2,
                          kImportAccessMode = 3, kSaveAccessMode = 4, kExportAccessMode = 5,
                          kExportActiveAccessMode = 6 };
    enum TFileKind { kIsMyFileType = 0, kCouldBeMyFileType = 1, kNotMyFileType = 2 };

    TPxFileTranslator() = default;
    virtual ~TPxFileTranslator() = default;
    virtual TStatus reader(const TFileObject& file, const TString& options, FileAccessMode mode);
    virtual TStatus writer(const TFileObject& file, const TString& options, FileAccessMode mode);
    virtual bool haveReadMethod() const { return false; }
    virtual bool haveWriteMethod() const { return false; }
    virtual bool haveNamespaceSupport() const { return false; }
    virtual TString defaultExtension() const { return TString(); }
    virtual TString filter() const { return TString("*.*"); }
    virtual bool canBeOpened() const { return false; }
    virtual TFileKind identifyFile(const TFileObject& file, const char* buffer, short size) const;
};

// Registration services for the plug-in object handed to initializePlugin and uninitializePlugin.
class TFnPlugin : public TFnBase {
public:
    TFnPlugin() = default;
    TFnPlugin(const TObject& plugin, const char* vendor = "Unknown", const char* version = "Unknown",
              const char* requiredApiVersion = "Any", TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;

    // A name already registered (by any plug-in, or a built-in command) fails.
    TStatus registerFileTranslator(const TString& name, const char* pixmapName, TPxFileTranslator* (*creator)(),
                                   const char* optionsScript = nullptr, const char* defaultOptions = nullptr,
                                   bool requiresFullScript = false);
    TStatus deregisterFileTranslator(const TString& name);
    TStatus registerCommand(const TString& name, TPxCommand* (*creator)());
    TStatus deregisterCommand(const TString& name);
    TString name(TStatus* status = nullptr) const;
    TString loadPath(TStatus* status = nullptr) const;
    TString vendor(TStatus* status = nullptr) const;
    TString version(TStatus* status = nullptr) const;

private:
    bool pluginOk(const char* user) const;
};

// The entry points a plug-in library exports.
extern "C" {
typedef TStatus (*TPluginEntry)(TObject);
}
