// The object sections of the 6.0 writer: "Definitions" (the kinds written,
// with their counts), "Objects" (one field per object, by kind) and
// "Connections" (which written object feeds which object or property).

#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "content/kzeqgenericnode.h"
#include "io/kzeqexporter.h"
#include "io/kzeqfields.h"
#include "io/kzeqscenerecords.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/kzeqwriterzeqbase.h"
#include "object/izeqobject.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"

namespace zeqsdk_400 {

namespace {

typedef std::vector<std::vector<KZeqObject*>> ObjectsByKind;

ObjectsByKind ListObjects(KZeqScene& scene) {
    ObjectsByKind objects(static_cast<std::size_t>(kZeq6ObjectWriterCount));
    for (int i = 0; i < kZeq6ObjectWriterCount; ++i) kZeq6ObjectWriters[i].mList(scene, objects[i]);
    return objects;
}

void WriteConnect(KZeq& file, const char* kind, const char* source, const char* destination,
                  const char* property = nullptr) {
    file.FieldWriteBegin("Connect");
    file.FieldWriteC(kind), file.FieldWriteC(source), file.FieldWriteC(destination);
    if (property) file.FieldWriteC(property);
    file.FieldWriteEnd();
}

}  // namespace

void ZeqListModels(KZeqScene& scene, std::vector<KZeqObject*>& objects) {
    KZeqNode* root = scene.GetRootNode();
    if (!root) return;
    // A parent before its children, on a stack of its own.
    std::vector<KZeqNode*> pending;
    for (int i = root->GetChildCount(); i-- > 0;) pending.push_back(root->GetChild(i));
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        objects.push_back(node);
        for (int i = node->GetChildCount(); i-- > 0;) pending.push_back(node->GetChild(i));
    }
}

void ZeqListGenericNodes(KZeqScene& scene, std::vector<KZeqObject*>& objects) {
    for (int i = 0; i < scene.GetGenericNodeCount(); ++i)
        if (KZeqGenericNode* node = scene.GetGenericNode(i)) objects.push_back(node);
}

bool ZeqWriteModelObject(KZeqWriterZeqBase& writer, KZeqObject& object) {
    return writer.WriteKZeqNode(static_cast<KZeqNode&>(object));
}

bool ZeqWriteGenericNodeObject(KZeqWriterZeqBase& writer, KZeqObject& object) {
    auto& node = static_cast<KZeqGenericNode&>(object);
    IZeqObject& file = *writer.GetZeqObject();
    file.FieldWriteBegin("GenericNode");
    file.FieldWriteC(node.GetName()), file.FieldWriteC("GenericNode");
    file.FieldWriteBlockBegin();
    ZeqWriteFieldI(file, "Version", 100);
    ZeqWritePropertyBlock(file, node);
    return ZeqWriteBlockEnd(file);
}

bool ZeqWriteDefinitions(KZeqWriterZeqBase& writer, KZeqScene& scene) {
    KZeq& file = *writer.GetZeqObject();
    const ObjectsByKind objects = ListObjects(scene);
    int total = 0;
    for (const auto& kind : objects) total += static_cast<int>(kind.size());
    file.WriteComments("Object definitions");
    ZeqWriteBlockBegin(file, "Definitions");
    ZeqWriteFieldI(file, "Version", 100);
    ZeqWriteFieldI(file, "Count", total);
    for (int i = 0; i < kZeq6ObjectWriterCount; ++i) {
        if (objects[i].empty()) continue;
        ZeqWriteBlockBegin(file, "ObjectType", kZeq6ObjectWriters[i].mType);
        ZeqWriteFieldI(file, "Count", static_cast<int>(objects[i].size()));
        ZeqWriteBlockEnd(file);
    }
    return ZeqWriteBlockEnd(file);
}

bool ZeqWriteObjects(KZeqWriterZeqBase& writer, KZeqScene& scene) {
    KZeq& file = *writer.GetZeqObject();
    const ObjectsByKind objects = ListObjects(scene);
    std::size_t total = 0, done = 0;
    for (const auto& kind : objects) total += kind.size();
    writer.mProgressMessage = "Storing objects";
    file.WriteComments("Object properties");
    ZeqWriteBlockBegin(file, "Objects");
    for (int i = 0; i < kZeq6ObjectWriterCount; ++i) {
        for (KZeqObject* object : objects[i]) {
            writer.GetExporter().ProgressUpdate(nullptr, writer.mProgressMessage.Buffer(), nullptr,
                                                static_cast<float>(done++) * 100.0f / static_cast<float>(total));
            kZeq6ObjectWriters[i].mWrite(writer, *object);
        }
    }
    return ZeqWriteBlockEnd(file);
}

bool ZeqWriteConnections(KZeqWriterZeqBase& writer, KZeqScene& scene) {
    KZeq& file = *writer.GetZeqObject();
    const ObjectsByKind objects = ListObjects(scene);
    std::unordered_map<const KPlug*, const char*> written;
    std::vector<KZeqObject*> all;
    for (const auto& kind : objects) {
        for (KZeqObject* object : kind) {
            if (object->GetPropertyHandler()) written.emplace(object->GetPropertyHandler(), object->GetName());
            all.push_back(object);
        }
    }
    KZeqNode* root = scene.GetRootNode();
    KString rootName;
    if (root && root->GetPropertyHandler()) {
        // Named apart from a model named "Scene", which the reader then tells from the root.
        std::unordered_set<std::string_view> names;
        for (const auto& object : written) names.emplace(object.second);
        rootName = ZeqSceneRootName([&names](const char* n) { return names.count(n) > 0; });
        // A property the root feeds (a look-at aimed at it) is written back as it was read.
        written.emplace(root->GetPropertyHandler(), rootName.Buffer());
    }
    auto sources = [&](KObject& handler, const char* name) {
        for (int i = 0; i < handler.GetSrcCount(); ++i) {
            const auto found = written.find(handler.GetSrc(i));
            if (found != written.end()) WriteConnect(file, "OO", found->second, name);
        }
        if (!handler.MayHavePropertySources()) return;  // no property of it has a source
        for (int p = 0; p < handler.GetPropertyCount(); ++p) {
            KProperty* property = handler.GetProperty(p);
            for (int i = 0; i < property->GetSrcCount(); ++i) {
                const auto found = written.find(property->GetSrc(i));
                if (found != written.end()) WriteConnect(file, "OP", found->second, name, property->GetPropertyName());
            }
        }
    };
    file.WriteComments("Object connections");
    ZeqWriteBlockBegin(file, "Connections");
    // Last object first: a reader then joins children to parents not yet
    // under their own, and each link's check for a cycle stays short. Each
    // object's sources keep their order.
    for (auto object = all.rbegin(); object != all.rend(); ++object)
        if (KObject* handler = (*object)->GetPropertyHandler()) sources(*handler, (*object)->GetName());
    if (!rootName.IsEmpty()) sources(*root->GetPropertyHandler(), rootName.Buffer());
    return ZeqWriteBlockEnd(file);
}

}  // namespace zeqsdk_400
