// Small operations the section readers share: camera names, string and file
// search, the password check, the generic persistence section and the
// layer-element words.

#include <cstring>

#include "fileio/kpath.h"
#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
#include "object/izeqobject.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"

namespace zeqsdk_400 {

namespace {

struct Token {
    const char* mText;
    int mValue;
};

template <int N>
int FindToken(const Token (&table)[N], const char* token) {
    if (!token) return 0;
    for (const Token& row : table)
        if (std::strcmp(row.mText, token) == 0) return row.mValue;
    return 0;
}

const Token kMappingModes[] = {{"ByVertice", 1}, {"ByPolygonVertex", 2}, {"ByPolygon", 3}, {"AllSame", 4}};
const Token kReferenceModes[] = {{"Index", 1}, {"IndexToDirect", 2}};
const Token kBlendModes[] = {{"Add", 1}, {"Modulate", 2}, {"Modulate2", 3}, {"MaxBlend", 4}};

const char* const kProducerCameras[] = {"Producer Perspective", "Producer Top",  "Producer Front", "Producer Back",
                                        "Producer Right",       "Producer Left", "Camera Switcher"};

}  // namespace

int ConvertMappingModeToken(const char* token) { return FindToken(kMappingModes, token); }
int ConvertReferenceModeToken(const char* token) { return FindToken(kReferenceModes, token); }
int ConvertBlendModeToken(const char* token) { return FindToken(kBlendModes, token); }

KString KZeqReaderZeq::ConvertCameraName(const char* name) {
    static const char kPrefix[] = "Model::";
    if (!name) return KString();
    if (std::strncmp(name, kPrefix, sizeof(kPrefix) - 1) == 0) {
        const char* rest = name + sizeof(kPrefix) - 1;
        for (const char* camera : kProducerCameras)
            if (std::strcmp(rest, camera) == 0) return KString(rest);
    }
    return KString(name);
}

void KZeqReaderZeq::AddMessageLine(const KString& line) {
    if (!mMessage.IsEmpty()) mMessage += "\n";
    mMessage += line;
}

void KZeqReaderZeq::AddModelDefinedAgain(const KZeqNode& node) {
    AddMessageLine(KString(node.GetName()) +
                   " is defined again: a scene holds one model of a name; the first one holds, this one is left out.");
}

void KZeqReaderZeq::AddTargetNotDefined(const KZeqNode& node, bool up, const KString& target) {
    AddMessageLine(KString(node.GetName()) + (up ? "'s up-vector target " : "'s look-at target ") + target +
                   " is not defined in the file: the target is dropped.");
}

int KZeqReaderZeq::FindString(const KString& text, const KArrayTemplate<KString*>& list) {
    for (int i = 0; i < list.GetCount(); ++i)
        if (list[i] && *list[i] == text) return i;
    return -1;
}

KString KZeqReaderZeq::FindFile(const char* first, const char* second) {
    auto full = [this](const char* name) {
        if (!name || !*name) return KString();
        return mFile ? mFile->GetFullFilePath(name) : KResolvePath(KGetCurrentDirectory().Buffer(), name);
    };
    const KString a = full(first), b = full(second);
    if (!a.IsEmpty() && FileExist(a.Buffer())) return a;
    if (!b.IsEmpty() && FileExist(b.Buffer())) return b;
    return a.IsEmpty() ? b : a;
}

bool KZeqReaderZeq::ReadPassword(const char* password) {
    if (!mFile || !mFile->IsPasswordProtected()) return true;
    if (mFile->CheckPassword(password ? password : "")) return true;
    // A handler may still unlock the file (by asking the user, say).
    KZeqObject_GenerateEvent(mFile, eZeqObjectEventWrongPassword);
    return !mFile->IsPasswordProtected();
}

void KZeqReaderZeq::ReadSceneGenericPersistenceSection(KZeqScene& scene) {
    KZeq& file = *mFile;
    if (!file.FieldReadBegin("SceneGenericPersistence")) return;
    if (file.FieldReadBlockBegin()) {
        // Bind and rest poses, and every pose when characters are off, are the pose reader's.
        if (!ReadPoses(scene) && kZeqReaderHooks.mPoses) kZeqReaderHooks.mPoses(*this, scene);
        scene.SetSceneInfo(ReadSceneInfo());
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
}

bool KZeqReaderZeq::ReadPoses(KZeqScene& scene) {
    if (!mOptions || !mOptions->GetOption(KStreamOptionsZeq::eCHARACTER) || !kZeqReaderHooks.mCharacterPoses)
        return false;
    return kZeqReaderHooks.mCharacterPoses(*this, scene) != 0;
}

}  // namespace zeqsdk_400
