// The "Media" section: media names of textures and camera backgrounds
// mapped to image files, extracted next to the scene file when embedded.

#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqimageconverter.h"
#include "content/kzeqtexture.h"
#include "fileio/kpath.h"
#include "fileio/kzeq.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
#include "object/izeqobject.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

// Media names and their files, same index; each name once.
struct MediaTable {
    KArrayTemplate<KString*> mNames;
    KArrayTemplate<KString*> mPaths;
    ~MediaTable() {
        for (int i = 0; i < mNames.GetCount(); ++i) delete mNames[i];
        for (int i = 0; i < mPaths.GetCount(); ++i) delete mPaths[i];
    }
    const KString* Find(const char* name) const {
        const int index = name && *name ? KZeqReaderZeq::FindString(name, mNames) : -1;
        return index < 0 ? nullptr : mPaths[index];
    }
};

}  // namespace

bool ZeqConvertImage(KZeqSdkManager& manager, int direction, KString& fileName, ImageConverterBuffer& buffer) {
    for (int i = 0; i < manager.GetKZeqImageConverterCount(); ++i) {
        KZeqImageConverter* converter = manager.GetKZeqImageConverter(i);
        if (converter && converter->Convert(direction, fileName, buffer)) return true;
        if (direction == 0 && buffer.mValid) return false;
    }
    return false;
}

KString KZeqReaderZeq::ReadMediaClip() {
    KZeq& file = *mFile;
    bool original = true;
    KString originalName;
    if (file.FieldReadI("Version", 100) > 100) {
        original = file.FieldReadI("OriginalFormat", 1) != 0;
        originalName = file.FieldReadC("OriginalFilename", "");
    }
    KString name = file.FieldReadC("Filename", ""), relative = file.FieldReadC("RelativeFilename", "");
    if (file.FieldReadBegin("Content")) {
        KString extracted = name, extractedRelative = relative;
        const bool ok = file.FieldReadEmbeddedFile(extracted, extractedRelative, "");
        file.FieldReadEnd();
        if (ok) {
            if (!original) {
                // Converted where it was extracted, in the folder the extraction holds:
                // never by its path again.
                const KHeldFolder& folder = file.GetEmbeddedFolder();
                ImageConverterBuffer buffer;
                buffer.SetOriginalFileName(originalName);
                buffer.SetOriginalFormat(false);
                buffer.SetFolder(&folder);
                // The image gets no more access than the TIFF it is made from: written so where the
                // SDK writes it, limited after a converter that writes by its own means.
                const KString leaf = ExtractFileName(extracted.Buffer());
                mode_t limit = 0777;
                folder.GetPermissions(leaf.Buffer(), limit);
                buffer.LimitPermissions(limit);
                // The TIFF goes only once a converter has made the image from it.
                KString converted = extracted;
                if (ReadFromTif(extracted, buffer, false) && ZeqConvertImage(mManager, 1, converted, buffer)) {
                    const KString where = ExtractDirectoryFromFilePath(converted.Buffer());
                    if (where == ExtractDirectoryFromFilePath(extracted.Buffer()))
                        folder.LimitPermissions(ExtractFileName(converted.Buffer()).Buffer(), limit);
                    if (converted != extracted) folder.RemoveFile(leaf.Buffer());
                    extracted = converted;
                } else if (!buffer.GetRefusal().IsEmpty()) {
                    // The image stays as extracted: said, with the reason.
                    AddMessageLine(KString("The embedded file \"") + extracted + "\" is not converted: " +
                                   buffer.GetRefusal() + ".");
                }
            }
            return extracted;
        }
        // Not extracted for a reason the file does not give (a folder of another user's): said.
        if (file.GetLastErrorID() == KZeq::eEmbeddedFileError && *file.GetLastRefusal())
            AddMessageLine(KString(file.GetLastRefusal()) + ".");
    }
    // A file found nowhere is named as written (scenes move between machines);
    // the caller prefers a later record of the name whose file exists.
    return FindFile(name.Buffer(), relative.Buffer());
}

bool KZeqReaderZeq::ReadMedia(KZeqScene& scene) {
    KZeq& file = *mFile;
    MediaTable table, missing;
    if (file.FieldReadBegin("Media")) {
        if (file.FieldReadBlockBegin()) {
            if (file.FieldReadBegin("Video")) {
                if (file.FieldReadBlockBegin()) {
                    while (file.FieldReadBegin("Video")) {
                        const KString name = file.FieldReadC();
                        if (!name.IsEmpty() && FindString(name, table.mNames) < 0 && file.FieldReadBlockBegin()) {
                            if (file.FieldReadC("Type", "") == "Clip") {
                                const KString path = ReadMediaClip();
                                MediaTable& into = FileExist(path.Buffer()) ? table : missing;
                                if (!path.IsEmpty() && !into.Find(name.Buffer())) {
                                    into.mNames.Add(new KString(name));
                                    into.mPaths.Add(new KString(path));
                                }
                            }
                            file.FieldReadBlockEnd();
                        }
                        file.FieldReadEnd();
                    }
                    file.FieldReadBlockEnd();
                }
                file.FieldReadEnd();
            }
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    if (table.mNames.GetCount() + missing.mNames.GetCount() == 0) return true;
    // A version-6 read meets "Media" before the connections put textures and
    // cameras into the scene: then the objects this read made are resolved.
    std::vector<KZeqTexture*> textures(mTexturesRead);
    std::vector<KZeqCamera*> cameras;
    if (mFile->IsBeforeVersion6()) {
        textures.clear();
        if (KZeqEntity* entity = scene.GetEntity()) {
            for (int i = 0; i < entity->GetTextureCount(); ++i) textures.push_back(entity->GetTexture(i));
            KArrayTemplate<KZeqNode*> nodes;
            entity->FillNodeArray(nodes, KZeqNodeAttribute::eCAMERA, true);
            for (int i = 0; i < nodes.GetCount(); ++i) cameras.push_back(nodes[i]->GetCamera());
        }
    } else {
        for (KZeqNode* node : mNodesRead)
            if (node->GetCamera()) cameras.push_back(node->GetCamera());
    }
    // A file found nowhere (scenes move between machines) still names the
    // path as written, for the objects whose records name none of their own.
    auto find = [&](const char* name, const char* own) {
        const KString* path = table.Find(name);
        return path || (own && *own) ? path : missing.Find(name);
    };
    for (KZeqTexture* texture : textures) {
        const KString* path = texture ? find(texture->GetMediaName().Buffer(), texture->GetFileName()) : nullptr;
        if (!path) continue;
        // The file the system opens by that name, never the name cleaned as text.
        const KString resolved = KResolvePath(path->Buffer());
        texture->SetFileName(resolved.Buffer());
        if (!texture->GetRelativeFileName() || !*texture->GetRelativeFileName())
            texture->SetRelativeFileName(mFile->GetRelativeFilePath(resolved.Buffer()).Buffer());
    }
    for (KZeqCamera* camera : cameras) {
        const KString* path =
            camera ? find(camera->GetBackgroundMediaName(), camera->GetBackgroundFileName()) : nullptr;
        if (path) camera->SetBackgroundFileName(KResolvePath(path->Buffer()).Buffer());
    }
    return true;
}

void KZeqReaderZeq::AddTextureRead(KZeqTexture& texture) { mTexturesRead.push_back(&texture); }

bool ZeqReadMedia(KZeqReaderZeq& reader, KZeqScene& scene) { return reader.ReadMedia(scene); }

}  // namespace zeqsdk_400
