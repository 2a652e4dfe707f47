#ifndef ZEQ_FILEIO_KREGISTRY_H
#define ZEQ_FILEIO_KREGISTRY_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/kstring.h"
#include "fileio/kconfigfile.h"

namespace zeqsdk_400 {

// Named settings kept in one section of a settings file. The section argument
// of the read and write calls is not used: the connected section is.
class KRegistry {
public:
    KRegistry();
    ~KRegistry();
    KRegistry(const KRegistry&) = delete;
    KRegistry& operator=(const KRegistry&) = delete;

    // The one registry of the library. Never null.
    static KRegistry* Instance();

    // Closes a file still open, then opens fileName (not kept in memory) on the
    // given section. True when the settings file object was created.
    bool Connect(const char* fileName, const char* sectionName);
    // Forgets the settings file; always true.
    bool Close();
    bool IsConnected() const { return mFile != nullptr; }

    // The key's value scanned with "%d" / "%f", or the default when the key is
    // missing, does not scan or nothing is connected.
    int ReadInt(const char* section, const char* key, int defaultValue);
    float ReadFloat(const char* section, const char* key, float defaultValue);
    // Stores the key's value, or defaultValue when the key is missing, in result.
    KString& ReadString(const char* section, const char* key, const char* defaultValue, KString& result);

    // Write the value ("%d", "%f" or unchanged) under the key. False when nothing
    // is connected or the file could not be written (while an update runs: when
    // nothing is connected).
    bool WriteInt(const char* section, const char* key, int value);
    bool WriteFloat(const char* section, const char* key, float value);
    bool WriteString(const char* section, const char* key, const char* value);

    // Between BeginUpdate and EndUpdate the writes are kept and then stored in
    // one rewrite of the file (each write otherwise rewrites and syncs it); the
    // content is the same. EndUpdate is false when one was refused or the file
    // could not be written; Close ends an update without writing.
    void BeginUpdate();
    bool EndUpdate();
    // Why the file could not be written by the last write or EndUpdate that failed to.
    const char* GetError() const { return mFile ? mFile->GetError() : "no settings file is connected"; }
    // Why the last read did not use the settings file (KConfigFile::GetRefusal); "" otherwise.
    const char* GetRefusal() const { return mFile ? mFile->GetRefusal() : ""; }

    const KString& GetFileName() const { return mFileName; }
    const KString& GetSectionName() const { return mSectionName; }

private:
    const char* Read(const char* key);

    KString mFileName;
    KString mSectionName;
    std::unique_ptr<KConfigFile> mFile;
    bool mUpdating = false;
    std::vector<std::pair<std::string, std::string>> mPending;  // key, value
};

}  // namespace zeqsdk_400

#endif
