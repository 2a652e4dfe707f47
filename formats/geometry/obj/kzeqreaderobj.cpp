#include "formats/geometry/obj/kzeqreaderobj.h"

#include <cerrno>
#include <climits>

#include "base/kset.h"
#include "content/kzeqgeometry.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "fileio/kpath.h"
#include "formats/geometry/obj/kobjtext.h"
#include "formats/geometry/obj/kzeqreaderobj_internal.h"
#include "io/kstreamoptionsobj.h"
#include "io/kzeqscenerollback.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

std::string ObjUpperKey(std::string_view text) {
    std::string key(text);
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return key;
}

std::string ObjText(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

namespace {

// A list read from a file cannot outgrow the int indices that address it.
template <class T>
bool HasRoom(const KObjBlocks<T>& list) {
    return list.size() < static_cast<std::size_t>(INT_MAX) - 1;
}

// "g" and "o": the rest with its first blank made "_", "default" when empty.
std::string GroupName(std::string_view rest) {
    std::string name = ObjText(rest);
    if (name.empty()) return "default";
    const std::size_t blank = name.find(' ');
    if (blank != std::string::npos) name[blank] = '_';
    return name;
}

// The node name the renaming strategy makes of a name.
KString UniqueName(KNumberRenamingStrategy& renamer, const char* name) {
    KName unique(name);
    renamer.Rename(unique);
    return KString(unique.GetCurrentName());
}

}  // namespace

KZeqReaderObj::KZeqReaderObj(KZeqSdkManager& manager) : KZeqReader(manager) {}

KZeqReaderObj::~KZeqReaderObj() { KZeqReaderObj::FileClose(); }

bool KZeqReaderObj::FileOpen(const char* fileName) {
    if (mFile) FileClose();
    if (!fileName) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    mFile = OpenFileForReading(fileName, "rb");
    if (!mFile) return false;
    mPath = fileName;
    return true;
}

bool KZeqReaderObj::FileClose() {
    bool closed = true;
    if (mFile) closed = std::fclose(mFile) == 0;
    mFile = nullptr;
    mPath.Empty();
    return closed;
}

KStreamOptions* KZeqReaderObj::GetReadOptions(bool) { return new KStreamOptionsObj; }

bool KZeqReaderObj::Read(KZeqScene& scene, KStreamOptions* options) {
    if (!options || !options->Is(KStreamOptionsObj::ClassId)) {
        mError.SetLastErrorID(eStreamOptionsNotSet);
        return false;
    }
    if (!mFile) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    ReadState state;
    state.mCreateReferenceNode =
        static_cast<KStreamOptionsObj*>(options)->GetOption(KStreamOptionsBase::eCREATE_REFERENCE_NODE) != 0;
    KZeqSceneRollback rollback(mManager, &scene);
    if (ReadStatements(scene, state) && BuildScene(scene, state)) return true;
    rollback.Undo();
    mError.SetLastErrorID(eFileCorrupted);
    return false;
}

bool KZeqReaderObj::ReadStatements(KZeqScene& scene, ReadState& state) {
    KObjLineReader reader(mFile, true);
    std::string_view keyword, rest;
    while (reader.Next(keyword, rest)) {
        if (keyword[0] == '#') continue;
        if (keyword == "v" || keyword == "vt" || keyword == "vn" || keyword == "vp") {
            if (!ReadVertex(keyword, rest, state)) return false;
        } else if (keyword == "f") {
            ReadFace(rest, state);
        } else if (keyword == "g" || keyword == "o") {
            // An object selects a mesh as a group does; files without objects read as they always did.
            state.mGroupName = GroupName(rest);
            state.mMesh = nullptr;
        } else if (keyword == "usemtl") {
            UseMaterial(rest, state);
        } else if (keyword == "mtllib") {
            ReadMaterialLibraries(rest, state);
        } else if (keyword == "s") {
            KObjScanner scanner(rest);
            int group = 0;
            if (scanner.Int(group))
                state.mSmoothing = static_cast<unsigned int>(group);
            else if (KObjScanner(rest).Word() == "off")
                state.mSmoothing = 0;
        } else if (keyword == "cstype") {
            KObjScanner scanner(rest);
            std::string_view type = scanner.Word();
            if (type == "rat") {
                state.mRational = true;
                type = scanner.Word();
            }
            static const char* const kTypes[] = {"bmatrix", "bezier", "bspline", "cardinal", "taylor"};
            for (int i = 0; i < 5; ++i)
                if (type == kTypes[i]) state.mCurveType = static_cast<KObjSurf::ECurveType>(i + 1);
        } else if (keyword == "deg") {
            KObjScanner scanner(rest);
            int degree = 0;
            if (scanner.Int(degree)) {
                state.mDegreeU = degree;
                if (scanner.Int(degree)) state.mDegreeV = degree;
            }
        } else if (keyword == "curv" || keyword == "curv2") {
            while (reader.Next(keyword, rest) && keyword != "end") {
            }
        } else if (keyword == "surf") {
            if (state.mCurveType == KObjSurf::eNONE) return false;
            KObjSurf surface;
            surface.mType = state.mCurveType;
            surface.mRational = state.mRational;
            surface.mDegreeU = state.mDegreeU;
            surface.mDegreeV = state.mDegreeV;
            surface.mMaterial = state.mMaterial;
            const bool parsed = surface.Parse(rest, state.Counts());
            while (reader.Next(keyword, rest) && keyword != "end")
                if (keyword == "parm") surface.ReadParm(rest);
            if (parsed && !AddSurface(surface, scene, state)) return false;
        } else if (keyword == "step" || keyword == "mg" || keyword == "bmat") {
            // Read and not used.
        } else {
            mMessage += KString("Object not supported : ") + ObjText(keyword).c_str() + "\n";
        }
    }
    return !reader.Failed();
}

bool KZeqReaderObj::ReadVertex(std::string_view keyword, std::string_view rest, ReadState& state) {
    KObjScanner scanner(rest);
    double values[4] = {0.0, 0.0, 0.0, 0.0};
    int count = 0;
    const int most = keyword.size() == 1 ? 4 : 3;
    while (count < most && scanner.Double(values[count])) ++count;
    if (keyword.size() == 1) {
        if (count < 3 || !HasRoom(state.mPositions)) return false;
        const double weight = count == 4 ? values[3] : 1.0;
        // Fourth values are kept only from the first one that is not 1.
        if (weight != 1.0 && state.mWeights.empty())
            for (std::size_t i = 0; i < state.mPositions.size(); ++i) state.mWeights.push_back(1.0);
        if (!state.mWeights.empty() || weight != 1.0) state.mWeights.push_back(weight);
        state.mPositions.push_back(KObjPoint{{values[0], values[1], values[2]}});
    } else if (keyword[1] == 'n') {
        if (count < 3 || !HasRoom(state.mNormals)) return false;
        state.mNormals.push_back(KObjPoint{{values[0], values[1], values[2]}});
    } else if (keyword[1] == 't') {
        if (count < 1 || !HasRoom(state.mTextures)) return false;
        state.mTextures.push_back(KZeqVector2(values[0], count > 1 ? values[1] : 0.0));
    } else if (keyword[1] == 'p') {
        if (count < 1) return false;
        ++state.mParameterVertices;
    }
    return true;
}

void KZeqReaderObj::ReadMaterialLibraries(std::string_view rest, ReadState& state) {
    state.mLibrarySeen = true;
    KObjScanner scanner(rest);
    bool all = true, any = false;
    for (std::string_view word = scanner.Word(); !word.empty(); word = scanner.Word()) {
        any = true;
        const std::string name = ObjText(word);
        // Beside the OBJ file first: a library of that name where the
        // program runs is another file.
        const KString beside = KResolvePath(ExtractDirectoryFromFilePath(mPath.Buffer()).Buffer(), name.c_str());
        KString refusal, elsewhere;
        int reason = 0, elsewhereReason = 0;
        if (state.mLibrary.Load(beside.Buffer(), &refusal, &reason) ||
            state.mLibrary.Load(name.c_str(), &elsewhere, &elsewhereReason))
            continue;
        all = false;
        // Why the library beside the file was not read, unless there is none and
        // the one where the program runs was refused.
        if (reason == ENOENT && elsewhereReason != ENOENT && !elsewhere.IsEmpty()) refusal = elsewhere;
        if (!refusal.IsEmpty()) mMessage += refusal + "\n";
    }
    if (!any || !all) mMessage += "Unable to load material library\n";
}

void KZeqReaderObj::UseMaterial(std::string_view rest, ReadState& state) {
    const std::string name = ObjText(KObjScanner(rest).Word());
    if (name.empty()) return;
    const std::string key = ObjUpperKey(name);
    auto found = state.mMaterialsByName.find(key);
    if (found != state.mMaterialsByName.end()) {
        state.mMaterial = found->second;
        return;
    }
    // A new name always makes a material, with its defaults when no library holds it.
    KZeqMaterial* material = mManager.CreateKZeqMaterial(name.c_str());
    if (!material) return;
    KZeqTexture* texture = nullptr;
    if (const KObjMtlEntry* entry = state.mLibrary.Find(name)) {
        texture = KObjMtlLibrary::Apply(*entry, *material, mManager, name.c_str());
        if (texture) state.mTexturedMaterialUsed = true;
    } else {
        mMessage += KString("Unable to read material \"") + name.c_str() + "\" in .mtl file\n";
    }
    state.mMaterial = static_cast<int>(state.mMaterials.size());
    state.mMaterials.push_back(MaterialUse{material, texture});
    state.mMaterialsByName.emplace(key, state.mMaterial);
}

void KZeqReaderObj::ReadFace(std::string_view rest, ReadState& state) {
    if (!state.mMesh) {
        const std::string key = ObjUpperKey(state.mGroupName);
        auto found = state.mMeshesByName.find(key);
        if (found != state.mMeshesByName.end()) {
            state.mMesh = found->second;
        } else {
            state.mMeshes.push_back(std::make_unique<KObjMesh>(state.mGroupName.c_str()));
            state.mMesh = state.mMeshes.back().get();
            state.mMeshesByName.emplace(key, state.mMesh);
        }
    }
    const bool textured = state.mMaterial >= 0 && state.mMaterials[state.mMaterial].mTexture;
    state.mMesh->AddFace(rest, state.Counts(), state.mSmoothing, state.mMaterial, textured);
}

bool KZeqReaderObj::AddSurface(const KObjSurf& surface, KZeqScene& scene, ReadState& state) {
    KZeqGeometry* geometry = CreateZeqGeometryFromObjSurf(surface, state);
    if (!geometry) return true;
    KZeqNode* node = mManager.CreateKZeqNode(UniqueName(mRenamer, state.mGroupName.c_str()).Buffer());
    if (!node) {
        mManager.DestroyKZeqNodeAttribute(geometry);
        return false;
    }
    node->SetNodeAttribute(geometry);
    return scene.GetRootNode()->AddChild(node);
}

bool KZeqReaderObj::BuildScene(KZeqScene& scene, ReadState& state) {
    KZeqNode* parent = scene.GetRootNode();
    if (state.mCreateReferenceNode) {
        const KString name = ExtractFileName(mPath.Buffer(), false) + "_root";
        KZeqNode* reference = mManager.CreateKZeqNode(UniqueName(mRenamer, name.Buffer()).Buffer());
        if (!reference || !parent->AddChild(reference)) return false;
        parent = reference;
    }
    // Nodes in the order of their names, ignoring case.
    KCharPtrSet byName(20);
    for (const auto& mesh : state.mMeshes) byName.Add(mesh->GetName().Buffer(), reinterpret_cast<kReference>(mesh.get()));
    for (int i = 0; i < byName.GetCount(); ++i) {
        KObjMesh& source = *reinterpret_cast<KObjMesh*>(byName.GetFromIndex(i));
        KZeqNode* node = mManager.CreateKZeqNode(UniqueName(mRenamer, source.GetName().Buffer()).Buffer());
        if (!node) return false;
        KZeqMesh* mesh = CreateZeqMeshFromObjMesh(source, state);
        if (!mesh) return false;
        node->SetNodeAttribute(mesh);
        if (state.mTexturedMaterialUsed) node->SetShadingMode(KZeqNode::eLIGHT_TEXTURE_SHADING);
        if (!parent->AddChild(node)) return false;
        // Its faces are no longer needed.
        source.mCorners.clear();
        source.mGroups.clear();
    }
    return true;
}

}  // namespace zeqsdk_400
