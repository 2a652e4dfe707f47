#ifndef ZEQ_OBJECT_KPROPERTYTEMPLATE_H
#define ZEQ_OBJECT_KPROPERTYTEMPLATE_H

#include <cfloat>
#include <cmath>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "base/kgemath.h"
#include "base/kzeqvector.h"
#include "object/kproperty.h"

namespace zeqsdk_400 {

// Conversions that never overflow: NaN gives 0, out-of-range values saturate.
inline int KPropertyDoubleToInt(double value) {
    if (!(value == value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}
inline float KPropertyDoubleToFloat(double value) {
    if (value > static_cast<double>(FLT_MAX)) return std::isinf(value) ? HUGE_VALF : FLT_MAX;
    if (value < -static_cast<double>(FLT_MAX)) return std::isinf(value) ? -HUGE_VALF : -FLT_MAX;
    return static_cast<float>(value);
}

// What a KPropertyTemplate<T> needs to know of T: its type code, its zero, and
// how its native value crosses GetData / SetData.
template <class T, class Enable = void>
struct KPropertyValueTraits;

// Scalars exchanged as themselves.
template <class T, kPropertyType Code>
struct KPropertyScalarTraits {
    static constexpr kPropertyType kType = Code;
    static T Zero() { return T(); }
    static void Export(const T& v, void* out) { std::memcpy(out, &v, sizeof(T)); }
    static void Import(T& v, const void* in) { std::memcpy(&v, in, sizeof(T)); }
    static void Keep(T& v, const T& from) { v = from; }
};

template <>
struct KPropertyValueTraits<bool> : KPropertyScalarTraits<bool, kPropertyTypeBool> {
    static void Import(bool& v, const void* in) {
        unsigned char byte;  // any non-zero byte is true, never an invalid bool
        std::memcpy(&byte, in, 1);
        v = byte != 0;
    }
    static double ToDouble(bool v) { return v ? 1.0 : 0.0; }
    static void FromDouble(bool& v, double d) { v = d != 0.0; }
    static int ToInt(bool v) { return v ? 1 : 0; }
    static void FromInt(bool& v, int i) { v = i != 0; }
};
template <>
struct KPropertyValueTraits<int> : KPropertyScalarTraits<int, kPropertyTypeInteger> {
    static double ToDouble(int v) { return v; }
    static void FromDouble(int& v, double d) { v = KPropertyDoubleToInt(d); }
    static int ToInt(int v) { return v; }
    static void FromInt(int& v, int i) { v = i; }
};
template <>
struct KPropertyValueTraits<float> : KPropertyScalarTraits<float, kPropertyTypeFloat> {
    static double ToDouble(float v) { return v; }
    static void FromDouble(float& v, double d) { v = KPropertyDoubleToFloat(d); }
    static int ToInt(float v) { return KPropertyDoubleToInt(v); }
    static void FromInt(float& v, int i) { v = static_cast<float>(i); }
};
template <>
struct KPropertyValueTraits<double> : KPropertyScalarTraits<double, kPropertyTypeDouble> {
    static double ToDouble(double v) { return v; }
    static void FromDouble(double& v, double d) { v = d; }
    static int ToInt(double v) { return KPropertyDoubleToInt(v); }
    static void FromInt(double& v, int i) { v = i; }
};

// Enumerations are exchanged as a 32-bit integer.
template <class E>
struct KPropertyValueTraits<E, typename std::enable_if<std::is_enum<E>::value>::type> {
    static constexpr kPropertyType kType = kPropertyTypeEnum;
    static E Zero() { return static_cast<E>(0); }
    static void Export(const E& v, void* out) {
        const std::int32_t i = static_cast<std::int32_t>(v);
        std::memcpy(out, &i, sizeof(i));
    }
    static void Import(E& v, const void* in) {
        std::int32_t i;
        std::memcpy(&i, in, sizeof(i));
        v = static_cast<E>(i);
    }
    static void Keep(E& v, const E& from) { v = from; }
    static double ToDouble(E v) { return static_cast<double>(static_cast<std::int32_t>(v)); }
    static void FromDouble(E& v, double d) { v = static_cast<E>(KPropertyDoubleToInt(d)); }
    static int ToInt(E v) { return static_cast<int>(v); }
    static void FromInt(E& v, int i) { v = static_cast<E>(i); }
};

// Vectors and colours: a run of doubles, the first one standing for the value
// in the scalar accessors.
template <class T, kPropertyType Code, int Count>
struct KPropertyDoublesTraits {
    static constexpr kPropertyType kType = Code;
    static double* Members(T& v) { return v.mData; }
    static const double* Members(const T& v) { return v.mData; }
    static void Export(const T& v, void* out) { std::memcpy(out, Members(v), Count * sizeof(double)); }
    static void Import(T& v, const void* in) { std::memcpy(Members(v), in, Count * sizeof(double)); }
    static void Keep(T& v, const T& from) { std::memcpy(Members(v), Members(from), Count * sizeof(double)); }
    static double ToDouble(const T& v) { return Members(v)[0]; }
    static void FromDouble(T& v, double d) { Members(v)[0] = d; }
    static int ToInt(const T& v) { return KPropertyDoubleToInt(Members(v)[0]); }
    static void FromInt(T& v, int i) { Members(v)[0] = i; }
};

// x, y and z cross the interface; the fourth component stays as it is (1).
template <>
struct KPropertyValueTraits<KgeTVector> : KPropertyDoublesTraits<KgeTVector, kPropertyTypeVector, 3> {
    static KgeTVector Zero() { return KgeTVector(); }
};
template <>
struct KPropertyValueTraits<KgeRGBVector> : KPropertyDoublesTraits<KgeRGBVector, kPropertyTypeColor, 3> {
    static KgeRGBVector Zero() { return KgeRGBVector(); }
};
template <>
struct KPropertyValueTraits<KZeqVector4> : KPropertyDoublesTraits<KZeqVector4, kPropertyTypeVector4, 4> {
    static KZeqVector4 Zero() { return KZeqVector4(); }
};
template <>
struct KPropertyValueTraits<KZeqColor> {
    static constexpr kPropertyType kType = kPropertyTypeColorRGBA;
    static KZeqColor Zero() { return KZeqColor(0.0, 0.0, 0.0, 0.0); }
    static void Export(const KZeqColor& v, void* out) {
        const double d[4] = {v.mRed, v.mGreen, v.mBlue, v.mAlpha};
        std::memcpy(out, d, sizeof(d));
    }
    static void Import(KZeqColor& v, const void* in) {
        double d[4];
        std::memcpy(d, in, sizeof(d));
        v.mRed = d[0];
        v.mGreen = d[1];
        v.mBlue = d[2];
        v.mAlpha = d[3];
    }
    static void Keep(KZeqColor& v, const KZeqColor& from) { v = from; }
    static double ToDouble(const KZeqColor& v) { return v.mRed; }
    static void FromDouble(KZeqColor& v, double d) { v.mRed = d; }
    static int ToInt(const KZeqColor& v) { return KPropertyDoubleToInt(v.mRed); }
    static void FromInt(KZeqColor& v, int i) { v.mRed = i; }
};

// The property type code of a value type (enumerations 6).
template <class T>
kPropertyType KPropertyGetType(T*) {
    return KPropertyValueTraits<T>::kType;
}

// A property holding one value of T (bool, int, float, double, an enumeration,
// KgeTVector, KgeRGBVector, KZeqVector4, KZeqColor). A new one holds false, 0
// or the zero vector ((0, 0, 0, 1) for a KgeTVector).
//
// Reading calls the owner's bound getter when there is one and keeps its
// result; writing sends kPlugDataChanging, then calls the owner's bound setter
// when there is one (else stores the value), then sends kPlugDataChanged.
// The owner's own accessors use Value() to reach the held value directly,
// without notices.
template <class T>
class KPropertyTemplate : public KProperty {
public:
    typedef KPropertyValueTraits<T> Traits;

    KPropertyTemplate() : mValue(Traits::Zero()) {}

    T& Value() { return mValue; }
    const T& Value() const { return mValue; }

    // The value, fetched through the getter when one is bound.
    T Get() {
        Refresh();
        return mValue;
    }
    // Writes through the setter (or stores), between the data notices.
    void Set(const T& value) {
        if (AreNoticesUnheard()) {
            if (!CallSetter(value)) mValue = value;
            return;
        }
        KPlugScope scope(this);  // the notices or the setter may end this property
        if (!NotifyInScope(scope, kPlugDataChanging, 0, nullptr)) return;
        if (!CallSetter(value)) mValue = value;
        if (!scope.IsAlive()) return;
        NotifyInScope(scope, kPlugDataChanged, 0, nullptr);
    }

    using KProperty::SetPropertyInfo;
    // Binds the owner's exactly typed accessors (no setter: pass nullptr).
    template <class Owner>
    void SetPropertyInfo(const char* name, Owner* owner, T (Owner::*get)(), void (Owner::*set)(T)) {
        KProperty::SetPropertyInfo(name, owner, get ? KPropertyGetter(get) : nullptr, set ? KPropertySetter(set) : nullptr);
    }
    template <class Owner>
    void SetPropertyInfo(const char* name, Owner* owner, T (Owner::*get)(), std::nullptr_t) {
        KProperty::SetPropertyInfo(name, owner, get ? KPropertyGetter(get) : nullptr, nullptr);
    }

    using KProperty::SetData;
    bool GetData(void* buffer, int = 0, KEvaluateInfo* = nullptr, KWorldState* = nullptr) override {
        if (!buffer) return false;
        Refresh();
        Traits::Export(mValue, buffer);
        return true;
    }
    bool SetData(const void* buffer, int = 0, KEvaluateInfo* = nullptr, KWorldState* = nullptr) override {
        if (!buffer) return false;
        Refresh();
        T value = mValue;
        Traits::Import(value, buffer);
        Set(value);
        return true;
    }
    int AsInteger() override { return Traits::ToInt(Get()); }
    void SetInteger(int value) override {
        T v = Get();
        Traits::FromInt(v, value);
        Set(v);
    }
    double AsDouble() override { return Traits::ToDouble(Get()); }
    void SetDouble(double value) override {
        T v = Get();
        Traits::FromDouble(v, value);
        Set(v);
    }
    kPropertyType GetValueType() const override { return Traits::kType; }

private:
    void Refresh() {
        kPropertyAccessor get = GetPropertyInfo().GetGetter();
        KPlug* owner = GetOwnerPlug();
        if (!get || !owner) return;
        typedef T (KPlug::*Exact)();
        Traits::Keep(mValue, (owner->*KPropertyMemberCast<Exact>(get))());
    }
    bool CallSetter(const T& value) {
        kPropertyAccessor set = GetPropertyInfo().GetSetter();
        KPlug* owner = GetOwnerPlug();
        if (!set || !owner) return false;
        typedef void (KPlug::*Exact)(T);
        (owner->*KPropertyMemberCast<Exact>(set))(value);
        return true;
    }

    T mValue;
};

}  // namespace zeqsdk_400

#endif
