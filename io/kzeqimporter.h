#ifndef ZEQ_IO_KZEQIMPORTER_H
#define ZEQ_IO_KZEQIMPORTER_H

#include <memory>
#include <vector>

#include "base/kstring.h"
#include "fcurve/kfcurvebake.h"
#include "io/kzeqio.h"

namespace zeqsdk_400 {

class IZeqObject;
class KStreamOptionsZeq;
class KZeqSceneInfo;
class KZeqTakeInfo;

// Reads a file into a scene through the reader of a format row. For Zeq files
// it also answers what the file holds (takes, scene information, version,
// render resolution) from the read options it keeps copies of.
class KZeqImporter : public KZeqIO {
public:
    enum EFileFormat {
        eZEQ_ASCII = 0,
        eZEQ_BINARY,
        eZEQ_ENCRYPTED,
        eBIOVISION_BVH,
        eMOTION_ANALYSIS_HTR,
        eMOTION_ANALYSIS_TRC,
        eACCLAIM_ASF,
        eACCLAIM_AMC,
        eVICON_C3D,
        eADAPTIVE_OPTICS_AOA,
        eSUPERFLUO_MCD,
        ePUPPETEER_VPM,
        eCORVANTIS_MOV,
        eASCENSION_BRD,
        eAUTOCAD_DXF,
        e3D_STUDIO_3DS,
        eVONEX_OBJ,
        eFileFormatCount
    };
    // State i switches option i of the Zeq options.
    enum EImportState {
        eGEOMETRY = 0,
        eMATERIAL,
        eTEXTURE,
        eLINK,
        eSHAPE,
        eGOBO,
        eANIMATION,
        eCHARACTER,
        eGLOBAL_SETTINGS,
        ePIVOT,
        eMERGE_LAYER_AND_TIMEWARP,
        eImportStateCount
    };
    // 0: the "Summary", else the main section parsed (and a "Summary" written
    // back); 1: the "Summary" only.
    enum EStreamOptionsGeneration { eParseFile = 0, eSummaryOnly = 1 };

    typedef KZeqReader* (*ReaderFactory)(KZeqSdkManager& manager, KZeqImporter& importer);
    // Sets the reader of a non-Zeq row (null: not available); false for a Zeq
    // row or an index outside the table. Process-wide, not thread-safe: called
    // once at start-up by ZeqRegisterFormats().
    static bool SetReaderFactory(int format, ReaderFactory factory);

    explicit KZeqImporter(KZeqSdkManager& manager);
    ~KZeqImporter() override;

    // Closes the file, forgets what it told, every state on, no message. The
    // file name, the format and the password stay.
    void Reset();
    // Opens the file at once when its lower-cased extension contains "zeq".
    bool Initialize(const char* fileName) override;

    void SetFileFormat(int format) { mFormat = format; }
    int GetFileFormat() const { return mFormat; }
    // Null outside 0 to 16.
    static const char* GetFileFormatDescription(int format);
    static const char* GetFileFormatExtension(int format);

    void SetState(int state, bool value);
    bool GetState(int state) const;
    void ResetConfiguration();
    void SetPassword(const char* password) { mPassword = password ? password : ""; }
    const KString& GetPassword() const { return mPassword; }
    // The bound of the bake of a take's layers and time warps (KStreamOptionsZeq::SetMostBakeSamples)
    // for a read without options; it stays, as the password does.
    void SetMostBakeSamples(kULongLong most) { mMostBakeSamples = most; }
    kULongLong GetMostBakeSamples() const { return mMostBakeSamples; }

    // Versions 1 to 4 answer 5.0.0.
    void GetFileVersion(int& major, int& minor, int& revision) const;
    bool GetDefaultRenderResolution(KString& camera, KString& mode, double& width, double& height) const;

    // Read from the file's options on first use (Zeq rows only). The take
    // infos are the importer's: a caller may change their selection or import
    // name for the next Import.
    int GetTakeCount();
    KZeqTakeInfo* GetTakeInfo(int index);
    KString GetCurrentTakeName();
    KZeqSceneInfo* GetSceneInfo();

    // New option sets the caller releases with ReleaseImportOptions.
    KStreamOptions* GetImportOptions(EStreamOptionsGeneration generation = eParseFile);
    KStreamOptions* GetImportOptions(IZeqObject* object);
    void ReleaseImportOptions(KStreamOptions* options);
    bool UpdateImportOptions(KStreamOptions* options);

    // Without options, a Zeq row reads with the importer's states, takes and
    // password (after reading the file's options when not done yet).
    bool Import(KZeqScene& scene, KStreamOptions* options = nullptr);
    // A scene nested in another file's object stream.
    bool Import(KZeqScene& scene, KStreamOptions* options, IZeqObject* object);

    bool FileOpen();
    bool FileClose();

    void SetImportOptionsInfo(KStreamOptionsZeq* options);
    void GetImportOptionsInfo(KStreamOptionsZeq* options);

private:
    // True, with the error and the message set, when the scene has no root node.
    bool RefuseSceneWithoutRoot(KZeqScene& scene);
    bool IsZeqRow() const { return mFormat >= eZEQ_ASCII && mFormat <= eZEQ_ENCRYPTED; }
    // The reader of the current row; false (IO error 7 for a row not built,
    // 8 outside the table) when there is none.
    bool CreateReader();
    // Reads the file's options once; false when it cannot.
    bool EnsureOptionsRead();
    void DestroySceneInfo();

    int mFormat = eZEQ_ASCII;
    std::unique_ptr<KZeqReader> mReader;
    bool mOptionsRead = false;
    KString mPassword;
    kULongLong mMostBakeSamples = kKFCurveBakeMostSamples;
    std::vector<std::unique_ptr<KZeqTakeInfo>> mTakeInfos;
    KZeqSceneInfo* mSceneInfo = nullptr;
    KString mCurrentTake;
    bool mStates[eImportStateCount];
    int mVersion[3] = {0, 0, 0};
    bool mRenderResolution = false;
    KString mRenderCamera;
    KString mRenderMode;
    double mRenderWidth = 0.0;
    double mRenderHeight = 0.0;
};

}  // namespace zeqsdk_400

#endif
