#include "content/kzeqlayer.h"

#include <cstring>

namespace zeqsdk_400 {

namespace {

constexpr const char* kMappingTokens[] = {"NoMappingInformation", "ByVertice", "ByPolygonVertex", "ByPolygon",
                                          "AllSame"};
constexpr const char* kReferenceTokens[] = {"Direct", "Index", "IndexToDirect"};
constexpr const char* kBlendTokens[] = {"Translucent", "Add", "Modulate", "Modulate2", "MaxBlend"};

template <std::size_t N>
const char* TokenOf(const char* const (&tokens)[N], int value) {
    return value >= 0 && value < static_cast<int>(N) ? tokens[value] : tokens[0];
}

template <std::size_t N>
int ValueOf(const char* const (&tokens)[N], const char* token) {
    for (std::size_t i = 0; token && i < N; ++i)
        if (std::strcmp(tokens[i], token) == 0) return static_cast<int>(i);
    return 0;
}

// How a slot's element ends and is copied; the slot fixes the element's type.
struct SlotOps {
    void (*mDelete)(KZeqLayerElement* element);
    KZeqLayerElement* (*mClone)(const KZeqLayerElement& element);
};

template <class E>
void DeleteAs(KZeqLayerElement* element) {
    delete static_cast<E*>(element);
}

template <class E>
KZeqLayerElement* CloneAs(const KZeqLayerElement& element) {
    E* copy = new E;
    copy->CopyFrom(static_cast<const E&>(element));
    return copy;
}

template <class E>
constexpr SlotOps OpsOf() {
    return {&DeleteAs<E>, &CloneAs<E>};
}

// In slot order: normals, materials, textures, polygon groups, UVs, vertex colours.
constexpr SlotOps kSlots[] = {OpsOf<KZeqLayerElementNormal>(),       OpsOf<KZeqLayerElementMaterial>(),
                              OpsOf<KZeqLayerElementTexture>(),      OpsOf<KZeqLayerElementPolygonGroup>(),
                              OpsOf<KZeqLayerElementUV>(),           OpsOf<KZeqLayerElementVertexColor>()};

}  // namespace

void KZeqLayerElement::CopyBase(const KZeqLayerElement& other) {
    mMappingMode = other.mMappingMode;
    mReferenceMode = other.mReferenceMode;
    mIndexArray = other.mIndexArray;
}

const char* KZeqLayerElement::GetMappingModeToken(int mode) { return TokenOf(kMappingTokens, mode); }

KZeqLayerElement::EMappingMode KZeqLayerElement::GetMappingModeFromToken(const char* token) {
    return static_cast<EMappingMode>(ValueOf(kMappingTokens, token));
}

const char* KZeqLayerElement::GetReferenceModeToken(int mode) { return TokenOf(kReferenceTokens, mode); }

KZeqLayerElement::EReferenceMode KZeqLayerElement::GetReferenceModeFromToken(const char* token) {
    return static_cast<EReferenceMode>(ValueOf(kReferenceTokens, token));
}

const char* KZeqLayerElementTexture::GetBlendModeToken(int mode) { return TokenOf(kBlendTokens, mode); }

KZeqLayerElementTexture::EBlendMode KZeqLayerElementTexture::GetBlendModeFromToken(const char* token) {
    return static_cast<EBlendMode>(ValueOf(kBlendTokens, token));
}

KZeqLayer::~KZeqLayer() { Clear(); }

void KZeqLayer::Clear() {
    for (int i = 0; i < kSlotCount; ++i) {
        if (mElements[i]) kSlots[i].mDelete(mElements[i]);
        mElements[i] = nullptr;
    }
}

KZeqLayerElement* KZeqLayer::GetLayerElementOfType(KZeqLayerElement::ELayerElementType type) const {
    return type >= KZeqLayerElement::eNORMAL && type <= KZeqLayerElement::eVERTEX_COLOR ? mElements[type - 1]
                                                                                       : nullptr;
}

KZeqLayer& KZeqLayer::operator=(const KZeqLayer& other) {
    if (this == &other) return *this;
    Clear();
    for (int i = 0; i < kSlotCount; ++i)
        if (other.mElements[i]) mElements[i] = kSlots[i].mClone(*other.mElements[i]);
    return *this;
}

}  // namespace zeqsdk_400
