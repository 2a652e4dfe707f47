#include "fileio/kregistry.h"

#include <cstdio>

namespace zeqsdk_400 {

KRegistry::KRegistry() = default;
KRegistry::~KRegistry() = default;

KRegistry* KRegistry::Instance() {
    // Built on first use, so it exists before any static object that uses it
    // and is destroyed only after that object.
    static KRegistry registry;
    return &registry;
}

bool KRegistry::Connect(const char* fileName, const char* sectionName) {
    mFileName = fileName ? fileName : "";
    mSectionName = sectionName ? sectionName : "";
    mFile.reset();
    mFile = std::make_unique<KConfigFile>(mFileName.Buffer(), false);
    return mFile != nullptr;
}

bool KRegistry::Close() {
    mFile.reset();
    mUpdating = false;
    mPending.clear();
    return true;
}

void KRegistry::BeginUpdate() {
    mUpdating = true;
    mPending.clear();
}

bool KRegistry::EndUpdate() {
    const bool updating = mUpdating;
    mUpdating = false;
    std::vector<std::pair<std::string, std::string>> pending;
    pending.swap(mPending);
    if (!updating || !mFile) return false;
    return pending.empty() || mFile->Set(mSectionName.Buffer(), pending);
}

const char* KRegistry::Read(const char* key) {
    if (!mFile || !key) return nullptr;
    return mFile->Get(mSectionName.Buffer(), key, nullptr);
}

int KRegistry::ReadInt(const char* /*section*/, const char* key, int defaultValue) {
    const char* text = Read(key);
    int value = 0;
    if (!text || std::sscanf(text, "%d", &value) != 1) return defaultValue;
    return value;
}

float KRegistry::ReadFloat(const char* /*section*/, const char* key, float defaultValue) {
    const char* text = Read(key);
    float value = 0.0f;
    if (!text || std::sscanf(text, "%f", &value) != 1) return defaultValue;
    return value;
}

KString& KRegistry::ReadString(const char* /*section*/, const char* key, const char* defaultValue, KString& result) {
    const char* text = Read(key);
    result = text ? text : defaultValue;
    return result;
}

bool KRegistry::WriteInt(const char* section, const char* key, int value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%d", value);
    return WriteString(section, key, text);
}

bool KRegistry::WriteFloat(const char* section, const char* key, float value) {
    // "%f" of the largest float needs 47 characters.
    char text[64];
    std::snprintf(text, sizeof(text), "%f", static_cast<double>(value));
    return WriteString(section, key, text);
}

bool KRegistry::WriteString(const char* /*section*/, const char* key, const char* value) {
    if (!mFile || !key) return false;
    if (mUpdating) {
        mPending.emplace_back(key, value ? value : "");
        return true;
    }
    return mFile->Set(mSectionName.Buffer(), key, value, nullptr);
}

}  // namespace zeqsdk_400
