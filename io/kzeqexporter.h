#ifndef ZEQ_IO_KZEQEXPORTER_H
#define ZEQ_IO_KZEQEXPORTER_H

#include <memory>

#include "base/kstring.h"
#include "io/kzeqio.h"

namespace zeqsdk_400 {

class IZeqObject;
class KStreamOptionsZeq;

// Writes a scene to a file through the writer of a format row, with an option
// set built from its export states and password unless the caller gives one.
class KZeqExporter : public KZeqIO {
public:
    enum EFileFormat {
        eZEQ_BINARY = 0,
        eZEQ_ASCII,
        eZEQ_ENCRYPTED,
        eZEQ_5_BINARY,
        eZEQ_5_ASCII,
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
    // The option each state sets: 0 to 2 the same, 3 option 11 (embed media),
    // 4 to 10 options 3 to 9.
    enum EExportState {
        eGEOMETRY = 0,
        eMATERIAL,
        eTEXTURE,
        eEMBED_MEDIA,
        eLINK,
        eSHAPE,
        eGOBO,
        eANIMATION,
        eCHARACTER,
        eGLOBAL_SETTINGS,
        ePIVOT,
        eExportStateCount
    };

    typedef KZeqWriter* (*WriterFactory)(KZeqSdkManager& manager, KZeqExporter& exporter);
    // Sets the writer of a non-Zeq row (null: not available); false for a Zeq
    // row or an index outside the table. Process-wide, not thread-safe: called
    // once at start-up by ZeqRegisterFormats().
    static bool SetWriterFactory(int format, WriterFactory factory);

    explicit KZeqExporter(KZeqSdkManager& manager);
    ~KZeqExporter() override;

    // Closes the file; every state on but embedding media; no message. The
    // file name, the format and the password stay.
    void Reset();
    bool Initialize(const char* fileName) override;

    void SetFileFormat(int format) { mFormat = format; }
    int GetFileFormat() const { return mFormat; }
    // Null outside 0 to 18.
    static const char* GetFileFormatDescription(int format);
    static const char* GetFileFormatExtension(int format);
    // Binary: format 0; otherwise format 1. Formats 0 and 3 count as binary.
    void SetFileModeBinary(bool binary) { mFormat = binary ? eZEQ_BINARY : eZEQ_ASCII; }
    bool IsFileModeBinary() const { return mFormat == eZEQ_BINARY || mFormat == eZEQ_5_BINARY; }

    void SetState(int state, bool value);
    bool GetState(int state) const;
    void ResetConfiguration();
    void SetPassword(const char* password) { mPassword = password ? password : ""; }

    // New option sets the caller releases with ReleaseExportOptions.
    KStreamOptions* GetExportOptions();
    KStreamOptions* GetExportOptions(IZeqObject* object);
    void ReleaseExportOptions(KStreamOptions* options);

    // A write that fails is eOutOfDiskSpace: with the system's error number when a write was
    // refused, else with the writer's text, which says what it refused (the scene, the options);
    // a file that could not take its name is eFileNotCreated with the system's. The message is
    // the writer's. A scene without a root node is refused so, before any file is touched.
    bool Export(KZeqScene& scene, KStreamOptions* options = nullptr);
    // Writes a scene into another file's object stream.
    bool Export(KZeqScene& scene, KStreamOptions* options, IZeqObject* object);

    // Constructs the writer of the current row; false (IO error 7 for a row not
    // built, 8 outside the table) when there is none.
    bool FileCreatePart1();
    bool FileCreatePart2();
    bool FileClose();

    void SetExportOptionsInfo(KStreamOptionsZeq* options);

private:
    // True, with the error and the message set, when the scene has no root node.
    bool RefuseSceneWithoutRoot(KZeqScene& scene);
    bool IsZeqRow() const { return mFormat >= eZEQ_BINARY && mFormat <= eZEQ_5_ASCII; }

    int mFormat = eZEQ_BINARY;
    std::unique_ptr<KZeqWriter> mWriter;
    bool mWriterRefusedFile = false;  // the last FileCreatePart2 failed in the writer's FileCreate
    KString mPassword;
    bool mStates[eExportStateCount];
};

}  // namespace zeqsdk_400

#endif
