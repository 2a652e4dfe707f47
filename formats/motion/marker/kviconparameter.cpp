#include "formats/motion/marker/kviconparameter.h"

#include <algorithm>
#include <cstring>

#include "formats/motion/marker/kviconloaderbase.h"

namespace zeqsdk_400 {

namespace {

int TypeCode(signed char type) {
    switch (type) {
        case 1: return KViconArray::eByte;
        case 2: return KViconArray::eShort;
        case 4: return KViconArray::eFloat;
        case -1: return KViconArray::eChar;
        default: return 0;
    }
}

}  // namespace

std::unique_ptr<KViconArray> KViconArray::Read(KViconLoaderBase& loader, long& remaining) {
    signed char type = 0;
    unsigned char dimensionCount = 0;
    if (remaining < 2 || !loader.GetChar(type) || !loader.GetChar(dimensionCount)) return nullptr;
    remaining -= 2;
    std::unique_ptr<KViconArray> array(new KViconArray);
    array->mType = TypeCode(type);
    if (!array->mType || remaining < dimensionCount) return nullptr;
    // The values must lie inside the record: the product is checked as it grows.
    const long size = array->GetElementSize();
    long bytes = size;
    for (int d = 0; d < dimensionCount; ++d) {
        unsigned char dimension = 0;
        if (!loader.GetChar(dimension)) return nullptr;
        --remaining;
        array->mDimensions.push_back(dimension);
        bytes = bytes * dimension;
        if (bytes > 65536) bytes = 65536;  // beyond any record
    }
    if (bytes > remaining) return nullptr;
    array->mData.resize(static_cast<std::size_t>(bytes));
    if (bytes > 0 && !loader.GetBytes(array->mData.data(), array->mData.size())) return nullptr;
    remaining -= bytes;
    const int from = loader.GetFileProcessorType();
    for (std::size_t i = 0; i + static_cast<std::size_t>(size) <= array->mData.size(); i += static_cast<std::size_t>(size)) {
        if (array->mType == eShort) {
            short value;
            std::memcpy(&value, &array->mData[i], 2);
            KViconLoaderBase::ConvertShort(from, KViconLoaderBase::eIntel, &value);
            std::memcpy(&array->mData[i], &value, 2);
        } else if (array->mType == eFloat) {
            float value;
            std::memcpy(&value, &array->mData[i], 4);
            KViconLoaderBase::ConvertFloat(from, KViconLoaderBase::eIntel, &value);
            std::memcpy(&array->mData[i], &value, 4);
        }
    }
    return array;
}

std::unique_ptr<KViconArray> KViconArray::MakeShort(const std::vector<short>& values, bool scalar) {
    std::unique_ptr<KViconArray> array(new KViconArray);
    array->mType = eShort;
    if (!scalar) array->mDimensions.push_back(static_cast<int>(values.size()));
    array->mData.resize(values.size() * 2);
    if (!values.empty()) std::memcpy(array->mData.data(), values.data(), array->mData.size());
    return array;
}

std::unique_ptr<KViconArray> KViconArray::MakeFloat(float value) {
    std::unique_ptr<KViconArray> array(new KViconArray);
    array->mType = eFloat;
    array->mData.resize(4);
    std::memcpy(array->mData.data(), &value, 4);
    return array;
}

std::unique_ptr<KViconArray> KViconArray::MakeChar(const std::vector<std::string>& rows, int width, bool scalar) {
    std::unique_ptr<KViconArray> array(new KViconArray);
    array->mType = eChar;
    array->mDimensions.push_back(width);
    if (!scalar) array->mDimensions.push_back(static_cast<int>(rows.size()));
    for (const std::string& row : rows) {
        std::string text = row.substr(0, static_cast<std::size_t>(width));
        text.resize(static_cast<std::size_t>(width), ' ');
        array->mData.insert(array->mData.end(), text.begin(), text.end());
    }
    return array;
}

bool KViconArray::Write(KViconLoaderBase& loader) const {
    bool ok = loader.PutChar(static_cast<char>(mType == eChar ? -1 : GetElementSize()));
    ok = loader.PutChar(static_cast<char>(mDimensions.size())) && ok;
    for (int d : mDimensions) ok = loader.PutChar(static_cast<char>(d)) && ok;
    const int size = GetElementSize();
    for (std::size_t i = 0; i + static_cast<std::size_t>(size) <= mData.size(); i += static_cast<std::size_t>(size)) {
        if (mType == eFloat) {
            float value;
            std::memcpy(&value, &mData[i], 4);
            ok = loader.PutFloat(value) && ok;
        } else if (mType == eShort) {
            unsigned short value;
            std::memcpy(&value, &mData[i], 2);
            ok = loader.PutShort(value) && ok;
        } else {
            ok = loader.PutChar(static_cast<char>(mData[i])) && ok;
        }
    }
    return ok;
}

double KViconArray::GetValue(int i) const {
    if (i < 0 || i >= GetElementCount()) return 0.0;
    const unsigned char* at = mData.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(GetElementSize());
    if (mType == eByte) return *at;
    if (mType == eShort) {
        short value;
        std::memcpy(&value, at, 2);
        return value;
    }
    if (mType == eFloat) {
        float value;
        std::memcpy(&value, at, 4);
        return value;
    }
    return 0.0;
}

int KViconArray::GetRowCount() const {
    if (mType != eChar) return 0;
    const int width = mDimensions.empty() ? 1 : mDimensions[0];
    return width > 0 ? static_cast<int>(mData.size()) / width : 0;
}

std::string KViconArray::GetRow(int i) const {
    if (i < 0 || i >= GetRowCount()) return std::string();
    const std::size_t width = mDimensions.empty() ? 1 : static_cast<std::size_t>(mDimensions[0]);
    return std::string(reinterpret_cast<const char*>(mData.data()) + static_cast<std::size_t>(i) * width, width);
}

KViconParameter::KViconParameter(const char* name, int id, std::unique_ptr<KViconArray> array, const char* description)
    : mName(name ? name : ""), mId(id), mArray(std::move(array)), mDescription(description ? description : "") {}

std::unique_ptr<KViconParameter> KViconParameter::Read(KViconLoaderBase& loader, long limit, long& next) {
    next = -1;
    signed char nameLength = 0, id = 0;
    if (loader.Tell() + 4 > limit || !loader.GetChar(nameLength) || !loader.GetChar(id) || nameLength == 0 || id == 0)
        return nullptr;
    std::unique_ptr<KViconParameter> parameter(new KViconParameter);
    parameter->mLocked = nameLength < 0;
    parameter->mId = id;
    const int length = nameLength < 0 ? -nameLength : nameLength;
    parameter->mName.resize(static_cast<std::size_t>(length));
    unsigned short offset = 0;
    if (!loader.GetBytes(&parameter->mName[0], parameter->mName.size())) return nullptr;
    const long offsetAt = loader.Tell();
    if (!loader.GetShort(offset) || offsetAt + 2 > limit) return nullptr;
    // What follows the offset word and belongs to this record.
    long remaining = offset == 0 ? limit - loader.Tell() : std::min<long>(offset - 2L, limit - loader.Tell());
    if (parameter->IsParameter()) parameter->mArray = KViconArray::Read(loader, remaining);
    unsigned char descriptionLength = 0;
    if (remaining >= 1 && loader.GetChar(descriptionLength)) {
        --remaining;
        parameter->mDescription.resize(std::min<std::size_t>(descriptionLength, static_cast<std::size_t>(remaining)));
        if (!parameter->mDescription.empty() &&
            !loader.GetBytes(&parameter->mDescription[0], parameter->mDescription.size()))
            parameter->mDescription.clear();
    }
    if (offset != 0) next = offsetAt + offset;
    return parameter;
}

bool KViconParameter::Write(KViconLoaderBase& loader) const {
    const int length = static_cast<int>(std::min<std::size_t>(mName.size(), 127));
    bool ok = loader.PutChar(static_cast<char>(mLocked ? -length : length));
    ok = loader.PutChar(static_cast<char>(mId)) && ok;
    ok = loader.PutString(mName.c_str(), length) && ok;
    const std::unique_ptr<KViconTag> offset = loader.PutShortTag(0);
    if (IsParameter() && mArray) ok = mArray->Write(loader) && ok;
    const int description = static_cast<int>(std::min<std::size_t>(mDescription.size(), 255));
    ok = loader.PutChar(static_cast<char>(description)) && ok;
    ok = loader.PutString(mDescription.c_str(), description) && ok;
    return offset->Resolve(loader, static_cast<unsigned short>(loader.WriteTell() - offset->GetPosition())) && ok;
}

}  // namespace zeqsdk_400
