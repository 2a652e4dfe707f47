#ifndef ZEQ_FORMATS_GEOMETRY_OBJ_KOBJMATERIALS_H
#define ZEQ_FORMATS_GEOMETRY_OBJ_KOBJMATERIALS_H

#include <string>
#include <string_view>
#include <unordered_map>

#include "base/kstring.h"

namespace zeqsdk_400 {

class KZeqMaterial;
class KZeqSdkManager;
class KZeqTexture;

// What one "newmtl" entry of a material library says.
struct KObjMtlEntry {
    bool mHasAmbient = false, mHasDiffuse = false, mHasSpecular = false;
    double mAmbient[3] = {0, 0, 0};
    double mDiffuse[3] = {0, 0, 0};
    double mSpecular[3] = {0, 0, 0};
    int mIllumination = 2;
    bool mHasShininess = false;
    double mShininess = 0.0;  // Ns / 100
    bool mHasOpacity = false;
    double mOpacity = 1.0;  // Tr and d alike, the last one given
    bool mHasMap = false;
    std::string mMap;      // map_Kd's whole rest, as written
    std::string mMapFile;  // the map as a path from its library's folder, whatever the working folder
};

// The entries of the material libraries an OBJ file names, read once each
// when the "mtllib" statement comes. Names compare exactly; the first entry
// of a name wins, in library order and within a library.
class KObjMtlLibrary {
public:
    // Adds the entries of the file; false when it cannot be opened or read. A
    // path naming something other than a regular file (a pipe, a device) is
    // refused without waiting on it. refusal, when given, says why a library did
    // not open (what the path names, or the system's reason: systemError).
    bool Load(const char* path, KString* refusal = nullptr, int* systemError = nullptr);
    // Null when no library loaded so far holds the name.
    const KObjMtlEntry* Find(std::string_view name) const;

    // Gives the material the entry's values; a diffuse map becomes a new
    // texture named after the material (its file the map found from its
    // library's folder, its relative file name the map as written), null
    // without one.
    static KZeqTexture* Apply(const KObjMtlEntry& entry, KZeqMaterial& material, KZeqSdkManager& manager,
                              const char* name);

private:
    std::unordered_map<std::string, KObjMtlEntry> mEntries;
};

}  // namespace zeqsdk_400

#endif
