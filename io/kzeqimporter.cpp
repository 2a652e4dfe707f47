#include "io/kzeqimporter.h"

#include <algorithm>

#include "fileio/kpath.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqreaderzeq.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {

namespace {

KZeqReader* MakeZeqReader(KZeqSdkManager& manager, KZeqImporter& importer) {
    return new KZeqReaderZeq(manager, importer);
}

const char* const kNoRootNode = "The scene has no root node: there is nothing to read into.";

struct FormatRow {
    const char* mDescription;
    const char* mExtension;
    KZeqImporter::ReaderFactory mReader;  // null: the format is not available yet
};

// Not const: the format libraries set their rows' factories when registered.
FormatRow kFormats[KZeqImporter::eFileFormatCount + 1] = {
    {"ZEQ ascii (*.zeq)", "zeq", &MakeZeqReader},
    {"ZEQ binary (*.zeq)", "zeq", &MakeZeqReader},
    {"ZEQ encrypted (*.zeq)", "zeq", &MakeZeqReader},
    {"Biovision (*.bvh)", "bvh", nullptr},
    {"Motion Analysis (*.htr)", "htr", nullptr},
    {"Motion Analysis (*.trc)", "trc", nullptr},
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

const char* const kWrongPasswordText = "File is password protected and the provided password is wrong.";

}  // namespace

KZeqImporter::KZeqImporter(KZeqSdkManager& manager) : KZeqIO(manager) { Reset(); }

KZeqImporter::~KZeqImporter() {
    Reset();
    mReader.reset();
}

void KZeqImporter::Reset() {
    FileClose();
    mTakeInfos.clear();
    mCurrentTake.Empty();
    DestroySceneInfo();
    ResetConfiguration();
    mVersion[0] = mVersion[1] = mVersion[2] = 0;
    mMessage.Empty();
    mRenderResolution = false;
    mRenderCamera.Empty();
    mRenderMode.Empty();
    mRenderWidth = mRenderHeight = 0.0;
}

bool KZeqImporter::Initialize(const char* fileName) {
    Reset();
    KZeqIO::Initialize(fileName);
    if (ExtractFileExtension(mFileName.Buffer()).Lower().Find(kFormats[eZEQ_ASCII].mExtension) >= 0)
        return FileOpen();
    return true;
}

bool KZeqImporter::SetReaderFactory(int format, ReaderFactory factory) {
    // The Zeq rows are the importer's own.
    if (format <= eZEQ_ENCRYPTED || format >= eFileFormatCount) return false;
    kFormats[format].mReader = factory;
    return true;
}

const char* KZeqImporter::GetFileFormatDescription(int format) {
    return format >= 0 && format <= eFileFormatCount ? kFormats[format].mDescription : nullptr;
}

const char* KZeqImporter::GetFileFormatExtension(int format) {
    return format >= 0 && format <= eFileFormatCount ? kFormats[format].mExtension : nullptr;
}

void KZeqImporter::SetState(int state, bool value) {
    if (state >= 0 && state < eImportStateCount) mStates[state] = value;
}

bool KZeqImporter::GetState(int state) const { return state >= 0 && state < eImportStateCount && mStates[state]; }

void KZeqImporter::ResetConfiguration() {
    for (bool& state : mStates) state = true;
}

void KZeqImporter::GetFileVersion(int& major, int& minor, int& revision) const {
    if (mVersion[0] >= 1 && mVersion[0] <= 4) {
        major = 5, minor = 0, revision = 0;
        return;
    }
    major = mVersion[0], minor = mVersion[1], revision = mVersion[2];
}

bool KZeqImporter::GetDefaultRenderResolution(KString& camera, KString& mode, double& width, double& height) const {
    if (!mRenderResolution) return false;
    camera = mRenderCamera, mode = mRenderMode, width = mRenderWidth, height = mRenderHeight;
    return true;
}

bool KZeqImporter::CreateReader() {
    const ReaderFactory factory = mFormat >= 0 && mFormat < eFileFormatCount ? kFormats[mFormat].mReader : nullptr;
    if (factory) {
        mReader.reset(factory(mManager, *this));
        return true;
    }
    if (mFormat >= 0 && mFormat < eFileFormatCount)
        mError.SetLastError(eUnidentifiedError, "Format not available");
    else
        mError.SetLastErrorID(eIndexOutOfRange);
    return false;
}

bool KZeqImporter::FileOpen() {
    if (mFileName.IsEmpty()) {
        mError.SetLastErrorID(eUninitializedFilename);
        return false;
    }
    FileClose();
    if (!CreateReader()) return false;
    KZeqReaderZeq* zeq = IsZeqRow() ? static_cast<KZeqReaderZeq*>(mReader.get()) : nullptr;
    if (mReader->FileOpen(mFileName.Buffer())) {
        if (zeq) {
            // The row follows the file: 0 ASCII, 1 binary, 2 encrypted, as the descriptions read.
            mFormat = zeq->GetImportMode();
            zeq->GetVersion(mVersion[0], mVersion[1], mVersion[2]);
            mRenderResolution =
                zeq->GetDefaultRenderResolution(mRenderCamera, mRenderMode, mRenderWidth, mRenderHeight);
        }
        return true;
    }
    const int readerError = mReader->GetLastErrorID();
    int error = eUnidentifiedError;
    if (readerError >= KZeqReader::eFileCorrupted && readerError <= KZeqReader::eFileNotOpened) error = readerError;
    if (zeq && (readerError == KZeqReader::eFileVersionNotSupportedYet ||
                readerError == KZeqReader::eFileVersionNotSupportedAnymore))
        zeq->GetVersion(mVersion[0], mVersion[1], mVersion[2]);
    mError.CopyLastError(error, mReader->GetError());
    FileClose();
    return false;
}

bool KZeqImporter::FileClose() {
    mReader.reset();
    mOptionsRead = false;
    return true;
}

void KZeqImporter::DestroySceneInfo() {
    if (mSceneInfo) mManager.DestroyKZeqSceneInfo(mSceneInfo);
    mSceneInfo = nullptr;
}

KStreamOptions* KZeqImporter::GetImportOptions(EStreamOptionsGeneration generation) {
    if (!mReader && !FileOpen()) return nullptr;
    KStreamOptions* options = mReader->GetReadOptions(generation == eParseFile);
    if (options && options->Is(KStreamOptionsZeq::ClassId)) GetImportOptionsInfo(static_cast<KStreamOptionsZeq*>(options));
    if (!options && generation == eParseFile) {
        if (mReader->GetLastErrorID() == KZeqReader::eWrongPassword)
            mError.SetLastError(ePasswordError, kWrongPasswordText);
        else if (mReader->GetLastErrorID() == KZeqReader::eFileCorrupted)
            mError.SetLastError(eFileCorrupted, mReader->GetLastErrorString());
        else
            mError.SetLastErrorID(eUnidentifiedError);
    }
    return options;
}

KStreamOptions* KZeqImporter::GetImportOptions(IZeqObject* object) {
    if (!object) {
        mError.SetLastErrorID(eFileNotCreated);
        return nullptr;
    }
    KZeqReaderZeq reader(mManager, *this);
    KStreamOptions* options = reader.GetReadOptions(object, true);
    if (!options) mError.SetLastErrorID(eUnidentifiedError);
    return options;
}

void KZeqImporter::ReleaseImportOptions(KStreamOptions* options) {
    if (options) options->Destroy();
}

bool KZeqImporter::UpdateImportOptions(KStreamOptions* options) {
    if (!IsZeqRow() || !options || !options->Is(KStreamOptionsZeq::ClassId) || !mReader) return false;
    return static_cast<KZeqReaderZeq*>(mReader.get())->UpdateImportOptions(options);
}

void KZeqImporter::GetImportOptionsInfo(KStreamOptionsZeq* options) {
    if (!options) return;
    mTakeInfos.clear();
    for (int i = 0; i < options->GetTakeInfoCount(); ++i)
        mTakeInfos.push_back(std::make_unique<KZeqTakeInfo>(*options->GetTakeInfo(i)));
    DestroySceneInfo();
    if (options->GetSceneInfo() && (mSceneInfo = mManager.CreateKZeqSceneInfo())) *mSceneInfo = *options->GetSceneInfo();
    mCurrentTake = options->GetCurrentTake();
    // Options read from a file bring no password: the caller's stays.
    if (!options->GetPassword().IsEmpty()) mPassword = options->GetPassword();
    for (int i = 0; i < eImportStateCount; ++i) mStates[i] = options->GetOption(i);
}

void KZeqImporter::SetImportOptionsInfo(KStreamOptionsZeq* options) {
    if (!options) return;
    options->ClearTakeInfos();
    for (const auto& info : mTakeInfos) options->AddTakeInfo(*info);
    options->SetCurrentTake(mCurrentTake.Buffer());
    options->SetPassword(mPassword.Buffer());
    options->SetMostBakeSamples(mMostBakeSamples);
    for (int i = 0; i < eImportStateCount; ++i) options->SetOption(i, mStates[i]);
}

bool KZeqImporter::EnsureOptionsRead() {
    if (!IsZeqRow()) return false;
    if (mOptionsRead) return true;
    KStreamOptions* options = GetImportOptions(eParseFile);
    if (!options) return false;
    options->Destroy();
    mOptionsRead = true;
    return true;
}

int KZeqImporter::GetTakeCount() { return EnsureOptionsRead() ? static_cast<int>(mTakeInfos.size()) : 0; }

KZeqTakeInfo* KZeqImporter::GetTakeInfo(int index) {
    if (!EnsureOptionsRead() || index < 0 || index >= static_cast<int>(mTakeInfos.size())) return nullptr;
    return mTakeInfos[static_cast<std::size_t>(index)].get();
}

KString KZeqImporter::GetCurrentTakeName() { return EnsureOptionsRead() ? mCurrentTake : KString(); }

KZeqSceneInfo* KZeqImporter::GetSceneInfo() { return EnsureOptionsRead() ? mSceneInfo : nullptr; }

bool KZeqImporter::RefuseSceneWithoutRoot(KZeqScene& scene) {
    if (scene.GetRootNode()) return false;
    // Every reader hangs what it reads under the root: refused before the file is read.
    mError.SetLastError(eUnidentifiedError, kNoRootNode);
    mMessage = kNoRootNode;
    return true;
}

bool KZeqImporter::Import(KZeqScene& scene, KStreamOptions* options) {
    KStreamOptionsZeq local;
    if (RefuseSceneWithoutRoot(scene)) return false;
    if (!mReader && !FileOpen()) return false;
    KStreamOptions* owned = nullptr;
    if (!options) {
        if (!IsZeqRow()) {
            mError.SetLastErrorID(eStreamOptionsNotSet);
            return false;
        }
        if (mOptionsRead) {
            SetImportOptionsInfo(&local);
            options = &local;
        } else {
            owned = GetImportOptions(eParseFile);
            if (!owned) {
                // Refused for its password, as the read itself would be: the scene is cleared alike.
                if (mError.GetLastErrorID() == ePasswordError) scene.Clear();
                return false;
            }
            mOptionsRead = true;
            KStreamOptionsZeq* read = static_cast<KStreamOptionsZeq*>(owned);
            if (read->GetPassword().IsEmpty()) read->SetPassword(mPassword.Buffer());
            read->SetMostBakeSamples(mMostBakeSamples);
            options = owned;
        }
    }
    if (IsZeqRow()) mStreamOptions = options;
    const bool read = mReader->Read(scene, options);
    mMessage.Empty();
    mReader->GetMessage(mMessage);
    if (IsZeqRow()) mStreamOptions = nullptr;
    if (!read) {
        const int readerError = mReader->GetLastErrorID();
        if (readerError == KZeqReader::eWrongPassword)
            mError.SetLastError(ePasswordError, kWrongPasswordText);
        else if (readerError >= KZeqReader::eFileCorrupted && readerError <= KZeqReader::eFileNotOpened)
            mError.CopyLastError(readerError, mReader->GetError());
        else
            mError.SetLastErrorID(eUnidentifiedError);
    }
    if (owned) owned->Destroy();
    return read;
}

bool KZeqImporter::Import(KZeqScene& scene, KStreamOptions* options, IZeqObject* object) {
    if (RefuseSceneWithoutRoot(scene)) return false;
    if (!options) {
        mError.SetLastErrorID(eStreamOptionsNotSet);
        return false;
    }
    if (!object) {
        mError.SetLastErrorID(eFileNotCreated);
        return false;
    }
    KZeqReaderZeq reader(mManager, *this);
    mStreamOptions = options;
    const bool read = reader.Read(scene, options, object);
    mMessage.Empty();
    reader.GetMessage(mMessage);
    mStreamOptions = nullptr;
    if (!read) mError.SetLastErrorID(eUnidentifiedError);
    return read;
}

}  // namespace zeqsdk_400
