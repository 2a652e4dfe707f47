// Plugs: a node plus a path of (attribute, logical index) from a top-level attribute down.
#pragma once

#include <cstdint>
#include <vector>

#include "tmath.h"
#include "tobject.h"

class TPlugArray;

// One step of a plug's path: an attribute and its logical index (or a marker below 0).
struct TPlugEntry {
    std::uint32_t attr = 0;
    std::int32_t index = -1;
    bool operator==(const TPlugEntry& o) const { return attr == o.attr && index == o.index; }
    bool operator!=(const TPlugEntry& o) const { return !(*this == o); }
    bool operator<(const TPlugEntry& o) const { return attr != o.attr ? attr < o.attr : index < o.index; }
};

// The only evaluation context: the current time.
class TDGContext {
public:
    static TDGContext fsNormal;
};

class TPlug {
public:
    TPlug() = default;
    // The plug of `attribute` on `node`; array ancestors are left unresolved.
    TPlug(const TObject& node, const TObject& attribute);

    bool isNull(TStatus* status = nullptr) const;
    TObject node(TStatus* status = nullptr) const;
    TObject attribute(TStatus* status = nullptr) const;
    // node (DAG: partial path) + "." + short attribute path, or the element's label.
    TString name(TStatus* status = nullptr) const;
    // node + "." + long attribute path.
    TString info(TStatus* status = nullptr) const;
    TString partialName(bool includeNodeName = false, bool includeNonMandatoryIndices = false,
                        bool includeInstancedIndices = false, bool useAlias = false,
                        bool useFullAttributePath = false, bool useLongNames = false,
                        TStatus* status = nullptr) const;

    TStatus getValue(bool& v, TDGContext& ctx = TDGContext::fsNormal) const;
    TStatus getValue(char& v, TDGContext& ctx = TDGContext::fsNormal) const;
    TStatus getValue(short& v, TDGContext& ctx = TDGContext::fsNormal) const;
    TStatus getValue(int& v, TDGContext& ctx = TDGContext::fsNormal) const;
    TStatus getValue(float& v, TDGContext& ctx = TDGContext::fsNormal) const;
    TStatus getValue(double& v, TDGContext& ctx = TDGContext::fsNormal) const;
    TStatus getValue(TString& v, TDGContext& ctx = TDGContext::fsNormal) const;
    // Matrix plugs give a matrix data object (TFnMatrixData).
    TStatus getValue(TObject& v, TDGContext& ctx = TDGContext::fsNormal) const;
    TStatus setValue(bool v);
    TStatus setValue(char v);
    TStatus setValue(short v);
    TStatus setValue(int v);
    TStatus setValue(float v);
    TStatus setValue(double v);
    TStatus setValue(const TString& v);
    TStatus setValue(const char* v) { return setValue(TString(v)); }
    TStatus setValue(const TMatrix& v);

    bool isArray(TStatus* status = nullptr) const;
    bool isElement(TStatus* status = nullptr) const;
    bool isCompound(TStatus* status = nullptr) const;
    bool isChild(TStatus* status = nullptr) const;
    unsigned numElements(TStatus* status = nullptr) const;
    // Never create elements: existence comes from setting or connecting.
    TPlug elementByLogicalIndex(unsigned logicalIndex, TStatus* status = nullptr) const;
    TPlug operator[](unsigned logicalIndex) const { return elementByLogicalIndex(logicalIndex); }
    // The p-th existing element in logical order.
    TPlug elementByPhysicalIndex(unsigned physicalIndex, TStatus* status = nullptr) const;
    unsigned logicalIndex(TStatus* status = nullptr) const;
    TStatus getExistingArrayAttributeIndices(TIntArray& indices) const;
    unsigned numChildren(TStatus* status = nullptr) const;
    TPlug child(unsigned index, TStatus* status = nullptr) const;
    TPlug child(const TObject& attribute, TStatus* status = nullptr) const;
    TPlug parent(TStatus* status = nullptr) const;
    TPlug array(TStatus* status = nullptr) const;
    TStatus selectAncestorLogicalIndex(unsigned index, const TObject& attribute = TObject::kNullObj);

    // True when any connection was found.
    bool connectedTo(TPlugArray& plugs, bool asDst, bool asSrc, TStatus* status = nullptr) const;
    bool isConnected(TStatus* status = nullptr) const;
    bool isDestination(TStatus* status = nullptr) const;
    bool isSource(TStatus* status = nullptr) const;
    bool isLocked(TStatus* status = nullptr) const;
    TStatus setLocked(bool locked);

    bool operator==(const TPlug& o) const;
    bool operator!=(const TPlug& o) const { return !(*this == o); }

    // Implementation access for the stand-in itself.
    const std::vector<TPlugEntry>& entries() const { return path_; }
    TPlug(const TObject& node, std::vector<TPlugEntry> path) : node_(node), path_(std::move(path)) {}

private:
    template <class T>
    TStatus readNumber(T& out) const;
    TStatus writeNumber(double v);

    TObject node_;
    std::vector<TPlugEntry> path_;
};

class TPlugArray : public TArray<TPlug> {
public:
    using TArray::TArray;
};

// Queued connection edits.
class TDGModifier {
public:
    TStatus connect(const TPlug& source, const TPlug& destination);
    TStatus disconnect(const TPlug& source, const TPlug& destination);
    TStatus doIt();

private:
    struct Edit {
        bool connect;
        TPlug src, dst;
    };
    std::vector<Edit> edits_;
};
