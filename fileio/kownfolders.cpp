#include "fileio/kownfolders.h"

#include <string>

#include "base/klib.h"

namespace zeqsdk_400 {

namespace {

// A folder held, and the text of KLib's directory it was set with.
struct OwnFolder {
    KHeldFolder mFolder;
    std::string mDirectory;

    void Set(const KHeldFolder* folder, void (*set)(const char*), const char* (*get)()) {
        mFolder = KHeldFolder();
        if (folder) folder->Duplicate(mFolder);
        set(mFolder.IsOpen() ? mFolder.GetPath().c_str() : "");
        mDirectory = get();
    }
    const KHeldFolder* Get(const char* directory) const {
        return mFolder.IsOpen() && directory && mDirectory == directory ? &mFolder : nullptr;
    }
};

// Built on first use, so that they exist before any static object that uses them.
OwnFolder& Master() {
    static OwnFolder folder;
    return folder;
}

OwnFolder& Config() {
    static OwnFolder folder;
    return folder;
}

const char* ConfigDirectory() { return KLib_GetConfigDirectory(); }

}  // namespace

void KSetMasterFolder(const KHeldFolder* folder) {
    Master().Set(folder, &KLib_SetMasterDirectory, &KLib_GetMasterDirectory);
}

const KHeldFolder* KGetMasterFolder() { return Master().Get(KLib_GetMasterDirectory()); }

void KSetConfigFolder(const KHeldFolder* folder) { Config().Set(folder, &KLib_SetConfigDirectory, &ConfigDirectory); }

const KHeldFolder* KGetConfigFolder() { return Config().Get(KLib_GetConfigDirectory()); }

}  // namespace zeqsdk_400
