#include "io/kzeqexporter.h"

#include <memory>

#include "io/kstreamoptionszeq.h"
#include "io/kzeqwriterzeq.h"
#include "io/kzeqwriterzeq6.h"
#include "object/izeqobject.h"
#include "scene/kzeqscene.h"

namespace zeqsdk_400 {

namespace {

template <class Writer, KZeqWriterZeqBase::EExportMode Mode>
KZeqWriter* MakeZeqWriter(KZeqSdkManager& manager, KZeqExporter& exporter) {
    Writer* writer = new Writer(manager, exporter);
    writer->SetExportMode(Mode);
    return writer;
}

struct FormatRow {
    const char* mDescription;
    const char* mExtension;
    KZeqExporter::WriterFactory mWriter;  // null: the format is not available yet
};

// Not const: the format libraries set their rows' factories when registered.
FormatRow kFormats[KZeqExporter::eFileFormatCount + 1] = {
    {"ZEQ binary (*.zeq)", "zeq", &MakeZeqWriter<KZeqWriterZeq6, KZeqWriterZeqBase::eBINARY>},
    {"ZEQ ascii (*.zeq)", "zeq", &MakeZeqWriter<KZeqWriterZeq6, KZeqWriterZeqBase::eASCII>},
    {"ZEQ encrypted (*.zeq)", "zeq", &MakeZeqWriter<KZeqWriterZeq6, KZeqWriterZeqBase::eENCRYPTED>},
    {"ZEQ 5.0 binary (*.zeq)", "zeq", &MakeZeqWriter<KZeqWriterZeq, KZeqWriterZeqBase::eBINARY>},
    {"ZEQ 5.0 ascii (*.zeq)", "zeq", &MakeZeqWriter<KZeqWriterZeq, KZeqWriterZeqBase::eASCII>},
    {"Biovision (*.bvh)", "bvh", nullptr},
    {"Motion Analysis HTR (*.htr)", "htr", nullptr},
    {"Motion Analysis TRC (*.trc)", "trc", nullptr},
    {"Acclaim ASF (*.asf)", "asf", nullptr},
    {"Acclaim AMC (*.amc)", "amc", nullptr},
    {"Vicon C3D (*.c3d)", "c3d", nullptr},
    {"Adaptive Optics AOA (*.aoa)", "aoa", nullptr},
    {"Superfluo MCD (*.mcd)", "mcd", nullptr},
    {"Puppeteer VPM (*.vpm)", "vpm", nullptr},
    {"Corvantis MOV (*.mov)", "mov", nullptr},
    {"Ascension BRD (*.brd)", "brd", nullptr},
    {"Autocad DXF (*.dxf)", "dxf", nullptr},
    {"3D Studio 3DS (*.3ds)", "3ds", nullptr},
    {"Vonex OBJ (*.obj)", "obj", nullptr},
    {nullptr, nullptr, nullptr},
};

}  // namespace

KZeqExporter::KZeqExporter(KZeqSdkManager& manager) : KZeqIO(manager) { Reset(); }

KZeqExporter::~KZeqExporter() { Reset(); }

void KZeqExporter::Reset() {
    FileClose();
    ResetConfiguration();
    mMessage.Empty();
}

bool KZeqExporter::Initialize(const char* fileName) {
    Reset();
    return KZeqIO::Initialize(fileName);
}

bool KZeqExporter::SetWriterFactory(int format, WriterFactory factory) {
    // The Zeq rows are the exporter's own.
    if (format <= eZEQ_5_ASCII || format >= eFileFormatCount) return false;
    kFormats[format].mWriter = factory;
    return true;
}

const char* KZeqExporter::GetFileFormatDescription(int format) {
    return format >= 0 && format <= eFileFormatCount ? kFormats[format].mDescription : nullptr;
}

const char* KZeqExporter::GetFileFormatExtension(int format) {
    return format >= 0 && format <= eFileFormatCount ? kFormats[format].mExtension : nullptr;
}

void KZeqExporter::SetState(int state, bool value) {
    if (state >= 0 && state < eExportStateCount) mStates[state] = value;
}

bool KZeqExporter::GetState(int state) const { return state >= 0 && state < eExportStateCount && mStates[state]; }

void KZeqExporter::ResetConfiguration() {
    for (bool& state : mStates) state = true;
    mStates[eEMBED_MEDIA] = false;
}

bool KZeqExporter::FileCreatePart1() {
    FileClose();
    const WriterFactory factory = mFormat >= 0 && mFormat < eFileFormatCount ? kFormats[mFormat].mWriter : nullptr;
    if (factory) {
        mWriter.reset(factory(mManager, *this));
        return true;
    }
    if (mFormat >= 0 && mFormat < eFileFormatCount)
        mError.SetLastError(eUnidentifiedError, "Format not available");
    else
        mError.SetLastErrorID(eIndexOutOfRange);
    return false;
}

bool KZeqExporter::FileCreatePart2() {
    mWriterRefusedFile = false;
    if (mFileName.IsEmpty()) {
        mError.SetLastErrorID(eUninitializedFilename);
        return false;
    }
    if (!mWriter && !FileCreatePart1()) return false;
    if (mWriter->FileCreate(mFileName.Buffer())) return true;
    const int writerError = mWriter->GetLastErrorID();
    const int error = writerError == KZeqWriter::eFileCorrupted   ? eFileCorrupted
                      : writerError == KZeqWriter::eFileNotCreated ? eFileNotCreated
                                                                   : eUnidentifiedError;
    mError.CopyLastError(error, mWriter->GetError());
    // Why: the writer's message (a target that is not a regular file ...),
    // else its error text.
    mWriter->GetMessage(mMessage);
    if (mMessage.IsEmpty()) mMessage = mWriter->GetLastErrorString();
    mWriterRefusedFile = true;
    FileClose();
    return false;
}

bool KZeqExporter::FileClose() {
    mWriter.reset();
    return true;
}

void KZeqExporter::SetExportOptionsInfo(KStreamOptionsZeq* options) {
    if (!options) return;
    options->Reset();
    if (!mPassword.IsEmpty()) {
        options->SetPasswordProtection(true);
        options->SetPassword(mPassword.Buffer());
    }
    for (int state = eGEOMETRY; state <= eTEXTURE; ++state) options->SetOption(state, mStates[state]);
    for (int state = eLINK; state <= ePIVOT; ++state) options->SetOption(state - 1, mStates[state]);
    options->SetOption(KStreamOptionsZeq::eEMBED_MEDIA, mStates[eEMBED_MEDIA]);
}

KStreamOptions* KZeqExporter::GetExportOptions() {
    if (!FileCreatePart1()) return nullptr;
    KStreamOptions* options = mWriter->GetWriteOptions();
    if (!options) mError.SetLastErrorID(eUnidentifiedError);
    return options;
}

KStreamOptions* KZeqExporter::GetExportOptions(IZeqObject* object) {
    if (!object) {
        mError.SetLastErrorID(eFileNotCreated);
        return nullptr;
    }
    KZeqWriterZeq writer(mManager, *this);
    KStreamOptions* options = writer.GetWriteOptions(object);
    if (!options) mError.SetLastErrorID(eUnidentifiedError);
    return options;
}

void KZeqExporter::ReleaseExportOptions(KStreamOptions* options) {
    if (options) options->Destroy();
}

bool KZeqExporter::RefuseSceneWithoutRoot(KZeqScene& scene) {
    if (scene.GetRootNode()) return false;
    // Every writer walks the tree from the root: refused before any file is touched.
    mError.SetLastError(eOutOfDiskSpace, KZeqWriter::kNoRootNode);
    mMessage = KZeqWriter::kNoRootNode;
    return true;
}

bool KZeqExporter::Export(KZeqScene& scene, KStreamOptions* options) {
    KStreamOptionsZeq local;
    if (RefuseSceneWithoutRoot(scene)) return false;
    if (!options) {
        if (!IsZeqRow()) {
            mError.SetLastErrorID(eStreamOptionsNotSet);
            return false;
        }
        SetExportOptionsInfo(&local);
        options = &local;
    }
    if (!FileCreatePart2()) {
        // A missing name, format or writer keeps its own error; a refused file keeps the
        // system's reason, and its message says why.
        if (mWriterRefusedFile) {
            const int reason = mError.GetLastSystemError();
            mError.SetLastErrorID(eFileNotCreated);
            mError.SetLastSystemError(reason);
        }
        return false;
    }
    if (IsZeqRow()) mStreamOptions = options;
    bool written = mWriter->Write(scene, options);
    mMessage.Empty();
    mWriter->GetMessage(mMessage);
    if (IsZeqRow()) mStreamOptions = nullptr;
    // The file exists under its name only once it is closed: a close that
    // fails loses the file, and the export with it.
    const bool closed = mWriter->FileClose();
    // With what the close said (why the file could not take its name ...).
    mWriter->GetMessage(mMessage);
    if (!written || !closed) {
        // A complete file that could not take its name (a writer that puts it in place as it
        // ends) is no full disk, nor is a scene or options the writer refused: that failure
        // keeps the writer's text, which says what was refused.
        const KError& writer = mWriter->GetError();
        const int reason = writer.GetLastSystemError();
        // Written whole, then refused its name at the close: not created, whether or not the
        // system gave a reason (a pipe that took the name meanwhile gives none).
        const bool notPlaced =
            writer.GetLastErrorID() == KZeqWriter::eFileNotCreated && (reason != 0 || written);
        const bool refused = writer.GetLastErrorID() != KZeqWriter::eOutOfDiskSpace && reason == 0;
        if (refused) {
            mError.CopyLastError(notPlaced ? eFileNotCreated : eOutOfDiskSpace, writer);
        } else {
            mError.SetLastErrorID(notPlaced ? eFileNotCreated : eOutOfDiskSpace);
            mError.SetLastSystemError(reason);
        }
    }
    FileClose();
    return written && closed;
}

bool KZeqExporter::Export(KZeqScene& scene, KStreamOptions* options, IZeqObject* object) {
    if (!options) {
        mError.SetLastErrorID(eStreamOptionsNotSet);
        return false;
    }
    if (!object) {
        mError.SetLastErrorID(eFileNotCreated);
        return false;
    }
    if (RefuseSceneWithoutRoot(scene)) return false;
    // The nested scene takes the layout of the stream it goes into: its
    // reader reads it with that layout's steps.
    std::unique_ptr<KZeqWriterZeqBase> writer;
    if (object->IsBeforeVersion6())
        writer.reset(new KZeqWriterZeq(mManager, *this));
    else
        writer.reset(new KZeqWriterZeq6(mManager, *this));
    mStreamOptions = options;
    const bool written = writer->Write(scene, options, object);
    mMessage.Empty();
    writer->GetMessage(mMessage);
    mStreamOptions = nullptr;
    if (!written) mError.SetLastErrorID(eOutOfDiskSpace);
    return written;
}

}  // namespace zeqsdk_400
