#include "formats/geometry/obj/kobjmaterials.h"

#include <cstdio>
#include <memory>

#include "base/kzeqvector.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "fileio/kpath.h"
#include "formats/geometry/obj/kobjtext.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

// Exactly three numbers first, as "%lf%lf%lf" reads them.
bool ReadColor(std::string_view rest, double* color) {
    KObjScanner scanner(rest);
    return scanner.Double(color[0]) && scanner.Double(color[1]) && scanner.Double(color[2]);
}

bool ReadNumber(std::string_view rest, double& value) {
    KObjScanner scanner(rest);
    return scanner.Double(value);
}

void ReadStatement(std::string_view keyword, std::string_view rest, KObjMtlEntry& entry) {
    double value = 0.0;
    if (keyword == "Ka") {
        if (ReadColor(rest, entry.mAmbient)) entry.mHasAmbient = true;
    } else if (keyword == "Kd") {
        if (ReadColor(rest, entry.mDiffuse)) entry.mHasDiffuse = true;
    } else if (keyword == "Ks") {
        if (ReadColor(rest, entry.mSpecular)) entry.mHasSpecular = true;
    } else if (keyword == "illum") {
        KObjScanner scanner(rest);
        int illumination = 0;
        if (scanner.Int(illumination)) entry.mIllumination = illumination;
    } else if (keyword == "Ns") {
        if (ReadNumber(rest, value)) entry.mHasShininess = true, entry.mShininess = value / 100.0;
    } else if (keyword == "Tr" || keyword == "d") {
        // Both are the opacity: a file's Tr 0.3 reads as opacity 0.3.
        if (ReadNumber(rest, value)) entry.mHasOpacity = true, entry.mOpacity = value;
    } else if (keyword == "map_Kd") {
        entry.mHasMap = true;
        entry.mMap.assign(rest.data(), rest.size());
    }
}

}  // namespace

bool KObjMtlLibrary::Load(const char* path, KString* refusal, int* systemError) {
    // A library named after a device or a pipe could be read forever.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(KOpenFileForReading(path, "rb", refusal, systemError),
                                                         &std::fclose);
    if (!file) return false;
    KObjLineReader reader(file.get(), false);
    std::string_view keyword, rest;
    KObjMtlEntry* entry = nullptr;  // the entry being read; null while outside one or in a repeated one
    // A map named relative to its library lies in the library's folder, as the system walks there.
    const KString folder = ExtractDirectoryFromFilePath(KResolvePath(KGetCurrentDirectory().Buffer(), path).Buffer());
    while (reader.Next(keyword, rest)) {
        if (keyword == "newmtl") {
            KObjScanner scanner(rest);
            const std::string_view name = scanner.Word();
            entry = nullptr;
            if (!name.empty()) {
                auto inserted = mEntries.try_emplace(std::string(name));
                if (inserted.second) entry = &inserted.first->second;
            }
        } else if (entry) {
            ReadStatement(keyword, rest, *entry);
            if (keyword == "map_Kd")
                entry->mMapFile = entry->mMap.empty() ? "" : KResolvePath(folder.Buffer(), entry->mMap.c_str()).Buffer();
        }
    }
    return !reader.Failed();
}

const KObjMtlEntry* KObjMtlLibrary::Find(std::string_view name) const {
    auto found = mEntries.find(std::string(name));
    return found == mEntries.end() ? nullptr : &found->second;
}

KZeqTexture* KObjMtlLibrary::Apply(const KObjMtlEntry& entry, KZeqMaterial& material, KZeqSdkManager& manager,
                                   const char* name) {
    if (entry.mHasAmbient)
        material.SetAmbient(KZeqColor(entry.mAmbient[0], entry.mAmbient[1], entry.mAmbient[2], 1.0));
    if (entry.mHasDiffuse)
        material.SetDiffuse(KZeqColor(entry.mDiffuse[0], entry.mDiffuse[1], entry.mDiffuse[2], 1.0));
    if (entry.mHasSpecular)
        material.SetSpecular(KZeqColor(entry.mSpecular[0], entry.mSpecular[1], entry.mSpecular[2], 1.0));
    if (entry.mHasShininess) material.SetShininess(entry.mShininess);
    if (entry.mIllumination <= 1) material.SetShininess(0.0);
    if (entry.mHasOpacity) material.SetOpacity(entry.mOpacity);
    if (!entry.mHasMap) return nullptr;
    KZeqTexture* texture = manager.CreateKZeqTexture(name);
    if (texture) {
        texture->SetFileName(entry.mMapFile.c_str());
        texture->SetRelativeFileName(entry.mMap.c_str());
    }
    return texture;
}

}  // namespace zeqsdk_400
