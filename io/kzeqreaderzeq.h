#ifndef ZEQ_IO_KZEQREADERZEQ_H
#define ZEQ_IO_KZEQREADERZEQ_H

#include <memory>
#include <vector>

#include "base/karray.h"
#include "base/kset.h"
#include "base/kstring.h"
#include "io/kzeqio.h"

namespace zeqsdk_400 {

class IZeqObject;
class KStreamOptionsZeq;
class KZeqImporter;
class KZeqSceneInfo;
class KZeqTakeInfo;
class KZeqTexture;
class KZeqThumbnail;

// One object type named by a version-6 file's "Definitions".
struct ObjectTypeInfo {
    KString mTypeName;
};

// Reads Zeq scene files of every version up to 6, ASCII, binary or encrypted.
// This file's part: the reader object, open and close, version and encoding,
// the read options (from the "Summary" extension section, else gathered from
// the main section and then written back as a "Summary" where the file can
// take one), the scene read driver and the utilities the section readers
// share. The sections themselves are read by the steps of the read table
// (kzeqreaderzeq_steps.cpp).
class KZeqReaderZeq : public KZeqReader {
public:
    KZeqReaderZeq(KZeqSdkManager& manager, KZeqImporter& importer);
    // Closes the file.
    ~KZeqReaderZeq() override;

    bool FileOpen(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override;
    KStreamOptions* GetReadOptions(bool parseFile = true) override;
    bool Read(KZeqScene& scene, KStreamOptions* options) override;
    // With an object stream, reads from it in place of the reader's own file.
    virtual KStreamOptions* GetReadOptions(IZeqObject* object, bool parseFile);
    virtual bool Read(KZeqScene& scene, KStreamOptions* options, IZeqObject* object);
    // Rewrites the file's "Summary" with the caller's scene information and
    // takes (as many as both lists hold); true when it was rewritten.
    virtual bool UpdateImportOptions(KStreamOptions* options);

    // 2 encrypted, 1 binary, 0 ASCII.
    int GetImportMode() const;
    // The version of the file's first section: 5800 gives 5, 8, 0.
    void GetVersion(int& major, int& minor, int& revision) const;
    // The header's render resolution, when it names one.
    bool GetDefaultRenderResolution(KString& camera, KString& mode, double& width, double& height) const;

    // Fixes the layout of the open file: 5.8.0 is version 6 exactly when its
    // main section holds "Definitions"; otherwise up to 5.7 is before 6.
    void SetIsBeforeVersion6WithMainSection(bool openMainSection);

    // ---- Records and utilities shared by the section readers ----------------------------------
    KZeqThumbnail* ReadThumbnail();
    bool WriteThumbnail(KZeqThumbnail* thumbnail);
    KZeqSceneInfo* ReadSceneInfo();
    void WriteSceneInfo(KZeqSceneInfo* info);
    // "Model::Producer Top" becomes "Producer Top"; other names stay.
    static KString ConvertCameraName(const char* name);
    // Index of the first exact match, -1 when none.
    static int FindString(const KString& text, const KArrayTemplate<KString*>& list);
    // The first of the two names (made full paths against the file's
    // directory) that exists; else the first given one's full path.
    KString FindFile(const char* first, const char* second);
    // True when the open section may be read with the password.
    bool ReadPassword(const char* password);
    void ReadSceneGenericPersistenceSection(KZeqScene& scene);
    // With option 7 on, the character-pose reader's result; else false.
    bool ReadPoses(KZeqScene& scene);

    // ---- State of the read in progress ---------------------------------------------------------
    // The stream being read: the reader's own file or a nested object stream.
    IZeqObject* GetZeqObject() const { return mFile; }
    KStreamOptionsZeq* GetStreamOptions() const { return mOptions; }
    KZeqSdkManager& GetSdkManager() const { return mManager; }
    KZeqImporter& GetImporter() const { return mImporter; }
    // Filled while records are read, resolved once all objects exist.
    KCharPtrSet& GetNodeNameSet() { return mNodeNames; }
    KCharPtrSet& GetTargetSet() { return mTargets; }
    KCharPtrSet& GetUpNodeSet() { return mUpNodes; }
    KCharPtrSet& GetCameraBackgroundSet() { return mCameraBackgrounds; }
    KArrayTemplate<KZeqTexture*>& GetTextureList() { return mTextures; }
    std::vector<std::unique_ptr<ObjectTypeInfo>>& GetObjectTypes() { return mObjectTypes; }

private:
    bool ReadOptionsInExtensionSection(int& sectionIndex);
    bool WriteOptionsInExtensionSection(bool overwriteLast);
    void ReadOptionsInMainSection();
    void ReadOptionsInGenericSection();
    void ReadTakeOptions();
    void ReadTakeDetails(KZeqTakeInfo& take);
    // The steps of the read table, in order, on a read not failed so far.
    bool ReadSections(KZeqScene& scene);
    void RegisterSceneRoot(KZeqScene& scene);

    KZeqImporter& mImporter;
    IZeqObject* mFile = nullptr;  // the owned file, or a borrowed stream during a nested call
    std::unique_ptr<IZeqObject> mOwnedFile;
    KStreamOptionsZeq* mOptions = nullptr;
    KCharPtrSet mNodeNames;
    KCharPtrSet mTargets;
    KCharPtrSet mUpNodes;
    KCharPtrSet mCameraBackgrounds;
    bool mRenderResolution = false;
    KString mRenderCamera;
    KString mRenderMode;
    double mRenderWidth = 0.0;
    double mRenderHeight = 0.0;
    KArrayTemplate<KZeqTexture*> mTextures;
    std::vector<std::unique_ptr<ObjectTypeInfo>> mObjectTypes;
};

// Layer-element words of the files: exact and case-sensitive, anything else 0.
int ConvertMappingModeToken(const char* token);    // "ByVertice" 1 ... "AllSame" 4
int ConvertReferenceModeToken(const char* token);  // "Index" 1, "IndexToDirect" 2
int ConvertBlendModeToken(const char* token);      // "Add" 1 ... "MaxBlend" 4

}  // namespace zeqsdk_400

#endif
