#include "io/kzeqio.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "fileio/kfilereplacement.h"
#include "fileio/kpath.h"
#include "fileio/kzeq.h"
#include "object/kstreamoptions.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodefinder.h"
#include "scene/kzeqscene.h"

namespace zeqsdk_400 {

namespace {

const char* const kIOErrors[KZeqIO::eErrorCount] = {
    "File is corrupted",
    "File version is not supported yet",
    "File version is not supported anymore",
    "File not opened",
    "File not created",
    "Out of disk space",
    "Uninitialized filename, use method Initialize(kCharPtr pFilename) first",
    "Unidentified error",
    "Index out of range",
    "Password error",
    "Stream options not set",
};

const char* const kReaderErrors[KZeqReader::eErrorCount] = {
    "File is corrupted", "File version is not supported yet", "File version is not supported anymore",
    "File not opened",   "File not created",                  "Wrong password",
    "Stream options not set", "Unidentified error",
};

const char* const kWriterErrors[KZeqWriter::eErrorCount] = {
    "File is corrupted", "File not opened", "File not created", "Out of disk space", "Stream options not set",
    "Unidentified error",
};

}  // namespace

KZeqIO::KZeqIO(KZeqSdkManager& manager) : mError(kIOErrors, eErrorCount), mManager(manager) {}

KZeqIO::~KZeqIO() = default;

bool KZeqIO::Initialize(const char* fileName) {
    mFileName = fileName ? fileName : "";
    return true;
}

KString KZeqIO::GetFileName() { return mFileName; }

void KZeqIO::ProgressUpdate(const char* title, const char* message, const char* detail, float percent) {
    if (!mStreamOptions) return;
    if (!detail) {
        mStreamOptions->ProgressCallback(title, message, percent);
        return;
    }
    KString text(message ? message : "");
    if (*detail) text += KString(" - ") + detail;
    mStreamOptions->ProgressCallback(title, text.Buffer(), percent);
}

void KZeqIO::GetCurrentVersion(int& major, int& minor, int& revision) {
    KZeq::ProjectConvertVersionNumber(KZeq::kDefaultFileVersion, major, minor, revision);
}

KZeqReader::KZeqReader(KZeqSdkManager& manager) : mManager(manager), mError(kReaderErrors, eErrorCount) {}

KZeqReader::~KZeqReader() = default;

std::FILE* KZeqReader::OpenFileForReading(const char* path, const char* mode) {
    KString refusal;
    int code = 0;
    std::FILE* file = KOpenFileForReading(path, mode, &refusal, &code);
    if (!file) SetFileNotOpened(path, refusal, code);
    return file;
}

bool KZeqReader::FailFileNotOpened(const char* path) {
    KString refusal;
    int code = 0;
    const int fd = KOpenRegularFile(path, "r", &refusal, &code);
    if (fd >= 0) {
        // It opens: the format itself refused it.
        ::close(fd);
        refusal.Empty();
    }
    SetFileNotOpened(path, refusal, code);
    return false;
}

void KZeqReader::SetFileNotOpened(const char* path, const KString& refusal, int systemError) {
    if (systemError != 0 && path && *path)
        mError.SetLastError(eFileNotOpened, FileNotOpenedText(path, systemError).Buffer());
    else if (systemError == 0 && !refusal.IsEmpty())
        mError.SetLastError(eFileNotOpened, refusal.Buffer());
    else
        mError.SetLastErrorID(eFileNotOpened);
    mError.SetLastSystemError(systemError);
}

KString KZeqReader::FileNotOpenedText(const char* path, int systemError) {
    return KString(kReaderErrors[eFileNotOpened]) + ": " + MakeFullPath(KGetCurrentDirectory().Buffer(), path) + " (" +
           std::strerror(systemError) + ")";
}

bool KZeqReader::CheckDuplicateNodeNames(KZeqNode* root, KString& message) {
    KZeqNodeFinderDuplicateName finder(nullptr);
    finder.SetState(KZeqNodeFinderDuplicateName::eNODE, true);
    finder.SetState(KZeqNodeFinderDuplicateName::eMATERIAL, false);
    finder.SetState(KZeqNodeFinderDuplicateName::eTEXTURE, false);
    finder.SetState(KZeqNodeFinderDuplicateName::eGOBO, false);
    if (!root) return true;
    finder.Apply(*root);
    KArrayTemplate<KZeqNode*>& duplicates = finder.GetDuplicateNodeArray();
    if (duplicates.GetCount() == 0) return true;
    std::unordered_set<std::string> listed;
    for (int i = 0; i < duplicates.GetCount(); ++i) {
        const char* name = duplicates[i]->GetName();
        if (listed.insert(name).second) message += KString("\n    ") + name;
    }
    return false;
}

KZeqWriter::KZeqWriter(KZeqSdkManager& manager) : mManager(manager), mError(kWriterErrors, eErrorCount) {}

KZeqWriter::~KZeqWriter() = default;

const char* const KZeqWriter::kNoRootNode = "The scene has no root node: there is nothing to write.";

bool KZeqWriter::RefuseSceneWithoutRoot(KZeqScene& scene) {
    if (scene.GetRootNode()) return false;
    mError.SetLastError(eUnidentifiedError, kNoRootNode);
    mMessage += KString(kNoRootNode) + "\n";
    return true;
}

void KZeqWriter::ReplacementFailed(const KFileReplacement& replacement, int errorId) {
    mError.SetLastErrorID(errorId);
    mError.SetLastSystemError(replacement.GetSystemError());
    if (*replacement.GetError()) mMessage += KString(replacement.GetError()) + ".\n";
}

namespace {

// The reason a refusal of fileio's ("Cannot read \"<path>\": <reason>") gives, the system's
// where it gave only that.
KString ReasonOf(const KString& refusal, int code) {
    const std::string text(refusal.Buffer());
    const std::size_t cut = text.rfind("Cannot read \"", 0) == 0 ? text.find("\": ") : std::string::npos;
    if (cut != std::string::npos) return KString(text.substr(cut + 3).c_str());
    return code != 0 ? KString(std::strerror(code)) : refusal;
}

}  // namespace

bool KZeqWriter::CopyTextureBeside(const char* source, const KFileReplacement& main,
                                   std::vector<std::unique_ptr<KFileReplacement>>& copies) {
    if (!source || !*source) return false;
    const KString name = ExtractFileName(source, true);
    KHeldFolder folder;
    if (name.IsEmpty() || !main.GetFolder(folder)) return false;
    const KString destination = folder.PathOf(name.Buffer()).c_str();
    for (const auto& pending : copies)
        if (destination == pending->GetTargetPath()) return true;
    // Looked at through the walk: nothing a link there names is opened.
    if (folder.HasFile(name.Buffer())) return true;
    // Only plain files: a device or a pipe named as a texture could be copied forever.
    KString refusal;
    int reason = 0;
    mode_t permissions = 0;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        KOpenSourceFile(source, &refusal, &reason, &permissions), &std::fclose);
    if (!file) {
        // Why: missing, not to be read, no regular file (a pipe, a folder ...), or
        // reached through another user's link.
        mMessage += KString("Unable to locate texture file \"") + source + "\": " + ReasonOf(refusal, reason) + ".\n";
        return false;
    }
    auto copy = std::make_unique<KFileReplacement>();
    const bool begun = copy->Begin(folder, name.Buffer());
    // A copy that cannot take its name is left out alone; the export goes on.
    copy->SetOptional(true);
    copy->LimitPermissions(permissions);
    if (!begun || !copy->CopyFrom(file.get())) {
        // Dropped with its temporary: a partial copy would pass for the image next time.
        TextureCopyFailed(*copy, destination);
        return false;
    }
    copies.push_back(std::move(copy));
    return true;
}

void KZeqWriter::TextureCopyFailed(const KFileReplacement& copy, const KString& destination) {
    const int code = copy.GetSystemError();
    // The replacement's own text where it says more than the system's reason (whose link, which rule).
    const bool own = *copy.GetError() && (code == 0 || code == EACCES);
    mMessage += KString("Error writing texture file \"") + destination + "\": " +
                (own ? copy.GetError() : std::strerror(code)) + ".\n";
}

void KZeqWriter::ReportTextureCopiesLeftOut(const std::vector<std::unique_ptr<KFileReplacement>>& copies) {
    for (const auto& copy : copies)
        if (!copy->IsActive() && *copy->GetError()) TextureCopyFailed(*copy, copy->GetTargetPath());
}

KZeqNode* KZeqWriter::FindRootNode(KZeqScene& scene) {
    KZeqNode* root = scene.GetRootNode();
    if (!root || root->GetChildCount() != 1) return nullptr;
    for (KZeqNode* node = root->GetChild(0); node; node = node->GetChild(0)) {
        if (node->GetSelected(false)) return node;
        if (node->GetChildCount() != 1) return nullptr;
    }
    return nullptr;
}

bool KZeqWriter::CheckSpaceInNodeNameRecursive(KZeqNode* node, KString& message) {
    if (!node) return true;
    // Pre-order on a stack of its own: trees read from files may be deep.
    bool result = true;
    std::vector<KZeqNode*> pending{node};
    while (!pending.empty()) {
        KZeqNode* current = pending.back();
        pending.pop_back();
        const char* name = current->GetName();
        for (const char* c = name; *c; ++c) {
            if (*c == ' ' || *c == '\t' || *c == '\n') {
                message += KString("\n    ") + name;
                result = false;
                break;
            }
        }
        for (int i = current->GetChildCount(); i-- > 0;) pending.push_back(current->GetChild(i));
    }
    return result;
}

}  // namespace zeqsdk_400
