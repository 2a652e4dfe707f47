// The "Media" section of both writers: one media name per image file used
// by a texture or a camera background, and in binary files, on request, the
// file itself.

#include <cstdlib>
#include <string>
#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqimageconverter.h"
#include "content/kzeqtexture.h"
#include "fileio/kpath.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqfields.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/kzeqwriterzeqbase.h"
#include "object/izeqobject.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"

namespace zeqsdk_400 {

bool ZeqConvertImage(KZeqSdkManager& manager, int direction, KString& fileName, ImageConverterBuffer& buffer);

namespace {

struct MediaLists {
    KArrayTemplate<KString*> mNames;
    KArrayTemplate<KString*> mPaths;
    ~MediaLists() {
        for (int i = 0; i < mNames.GetCount(); ++i) delete mNames[i];
        for (int i = 0; i < mPaths.GetCount(); ++i) delete mPaths[i];
    }
    // The media name of a file: the one it has, else its name part, made
    // unique with a counter (wood, wood1, wood2...). The file is the one the
    // system's walk finds, the one embedded and named in the file written.
    KString NameOf(const char* fileName) {
        const KString path = KResolvePath(fileName ? fileName : "");
        const KString part = ExtractFileName(path.Buffer(), false);
        if (path.IsEmpty() || part.IsEmpty()) return part;
        const int known = KZeqWriterZeqBase::FindString(path, mPaths);
        if (known >= 0) return *mNames[known];
        KString candidate = part;
        for (int counter = 1; KZeqWriterZeqBase::FindString(candidate, mNames) >= 0; ++counter)
            candidate = part + KString(counter);
        mNames.Add(new KString(candidate));
        mPaths.Add(new KString(path));
        return candidate;
    }
};


}  // namespace

int KZeqWriterZeqBase::FindString(const KString& text, const KArrayTemplate<KString*>& list) {
    for (int i = 0; i < list.GetCount(); ++i)
        if (list[i] && *list[i] == text) return i;
    return -1;
}

bool KZeqWriterZeqBase::WriteMediaClip(KString& path, bool embed) {
    KZeq& file = *mFile;
    const bool embedding = embed && file.IsBinary();
    // A private file with no name for a converted image, on its way into the file
    // written: nothing of it is left, and no file of the user's is overwritten. Made
    // only for an image converted, as each costs a walk of the temporary folder.
    KDescriptor converted;
    bool isConverted = false;
    if (embedding) {
        ImageConverterBuffer buffer;
        buffer.SetOriginalFormat(true);
        buffer.SetOriginalFileName(path);
        if (ZeqConvertImage(mManager, 0, path, buffer) && buffer.mData) {
            KString refusal;
            converted.Reset(KCreateScratchFile(&refusal));
            if (converted.Get() >= 0)
                isConverted = WriteToTif(converted.Get(), true, buffer);
            else  // The image goes in as it is: said, with the reason.
                mMessage += KString("The media file \"") + path + "\" is embedded as it is, not converted: " + refusal +
                            ".\n";
        }
    }
    const KString relative = file.GetRelativeFilePath(path.Buffer());
    if (embedding) {
        ZeqWriteFieldI(file, "Version", 101);
        // Without a converted copy the bytes are the file itself.
        ZeqWriteFieldI(file, "OriginalFormat", isConverted ? 0 : 1);
        ZeqWriteFieldC(file, "OriginalFilename", path.Buffer());
    }
    ZeqWriteFieldC(file, "Filename", path.Buffer());
    ZeqWriteFieldC(file, "RelativeFilename", relative.Buffer());
    if (!embedding) return true;
    file.FieldWriteBegin("Content");
    const bool embedded = isConverted ? file.FieldWriteEmbeddedContent(converted.Get(), relative)
                                      : file.FieldWriteEmbeddedFile(path, relative);
    file.FieldWriteEnd();
    // The file is written without it: said, with the reason.
    if (!embedded && file.GetLastErrorID() < 0)
        mMessage += KString("The media file \"") + path + "\" is not embedded: " +
                    (*file.GetLastRefusal() ? KString(file.GetLastRefusal()) : KString("it cannot be read")) + ".\n";
    return embedded;
}

namespace {

void NameMedia(KZeqScene& scene, MediaLists& lists) {
    if (KZeqEntity* entity = scene.GetEntity()) {
        for (int i = 0; i < entity->GetTextureCount(); ++i) {
            KZeqTexture* texture = entity->GetTexture(i);
            if (texture) texture->SetMediaName(lists.NameOf(texture->GetFileName()).Buffer());
        }
        KArrayTemplate<KZeqNode*> nodes;
        entity->FillNodeArray(nodes, KZeqNodeAttribute::eCAMERA, true);
        for (int i = 0; i < nodes.GetCount(); ++i) {
            KZeqCamera* camera = nodes[i]->GetCamera();
            if (camera) camera->SetBackgroundMediaName(lists.NameOf(camera->GetBackgroundFileName()).Buffer());
        }
    }
}

}  // namespace

bool KZeqWriterZeqBase::WriteMedia(KZeqScene& scene, bool embed, int& count) {
    KZeq& file = *mFile;
    MediaLists lists;
    NameMedia(scene, lists);
    count = lists.mNames.GetCount();
    ZeqWriteBlockBegin(file, "Media");
    ZeqWriteBlockBegin(file, "Video");
    for (int i = 0; i < count; ++i) {
        ZeqWriteBlockBegin(file, "Video", lists.mNames[i]->Buffer());
        ZeqWriteFieldC(file, "Type", "Clip");
        KString path = *lists.mPaths[i];
        WriteMediaClip(path, embed);
        ZeqWriteBlockEnd(file);
    }
    ZeqWriteBlockEnd(file);
    ZeqWriteBlockEnd(file);
    return true;
}

bool KZeqWriterZeqBase::WriteDefaultMedia() {
    KZeq& file = *mFile;
    ZeqWriteBlockBegin(file, "Video", "Video input 1");
    ZeqWriteFieldC(file, "Type", "Live");
    for (const char* name : {"Input", "Format", "Interleave", "Delay", "Online"}) ZeqWriteFieldI(file, name, 0);
    return ZeqWriteBlockEnd(file);
}

// Version 6 writes textures before its "Media" section: they take their
// names first (the section gives the same ones).
bool ZeqNameMedia(KZeqWriterZeqBase&, KZeqScene& scene) {
    MediaLists lists;
    NameMedia(scene, lists);
    return true;
}

bool ZeqWriteMediaSection(KZeqWriterZeqBase& writer, KZeqScene& scene) {
    int count = 0;
    KStreamOptionsZeq* options = writer.GetStreamOptions();
    writer.WriteMedia(scene, options && options->GetOption(KStreamOptionsZeq::eEMBED_MEDIA), count);
    writer.SetMediaCount(count);
    return true;
}

}  // namespace zeqsdk_400
