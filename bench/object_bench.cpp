#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "object/kobject.h"
#include "object/kpropertytemplate.h"

using namespace zeqsdk_400;

namespace {

// Shaped like a scene node's property set: 50 member properties bound to
// accessors, plus (optionally) 4 dynamic ones made from data types.
class BenchObject : public KObject {
public:
    explicit BenchObject(bool dynamic) {
        static const char* const kNames[] = {
            "P00", "P01", "P02", "P03", "P04", "P05", "P06", "P07", "P08", "P09", "P10", "P11", "P12",
            "P13", "P14", "P15", "P16", "P17", "P18", "P19", "P20", "P21", "P22", "P23", "P24", "P25",
            "P26", "P27", "P28", "P29", "P30", "P31", "P32", "P33", "P34", "P35", "P36", "P37", "P38",
            "P39", "P40", "P41", "P42", "P43", "P44", "P45", "P46", "P47", "P48", "P49"};
        int n = 0;
        for (auto& p : mBools) {
            PropertyAddToList(&p);
            p.SetPropertyType(kPropertyTypeBool);
            p.SetPropertyInfo(kNames[n++], this, &BenchObject::FlagGet, &BenchObject::FlagSet);
        }
        for (auto& p : mVectors) {
            PropertyAddToList(&p);
            p.SetPropertyType(kPropertyTypeVector);
            p.SetPropertyInfo(kNames[n++], this, nullptr, nullptr);
        }
        for (auto& p : mDoubles) {
            PropertyAddToList(&p);
            p.SetPropertyType(kPropertyTypeDouble);
            p.SetPropertyInfo(kNames[n++], this, nullptr, nullptr);
        }
        if (dynamic) {
            static const char* const kDynamic[] = {"Lcl Translation", "Lcl Rotation", "Lcl Scaling", "Visibility"};
            for (const char* name : kDynamic) {
                KDataType* type = KDataTypeGet(name);
                KProperty* p = CreatePropertyFromType(name, DataTypeToPropertyType(type), type, false, false, nullptr);
                p->GetPropertyInfo().ModifyFlag(KPropertyInfo::kFlagAnimatable, true);
                p->ModifyPropertyFlag(kPropertyFlagAnimated, true);
            }
        }
    }
    bool FlagGet() { return mFlag; }
    void FlagSet(bool value) { mFlag = value; }

    KPropertyTemplate<bool> mBools[24];
    KPropertyTemplate<KgeTVector> mVectors[16];
    KPropertyTemplate<double> mDoubles[10];
    bool mFlag = false;
};

void BM_CreateChainDestroy(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const bool dynamic = state.range(1) != 0;
    std::vector<BenchObject*> objects(static_cast<std::size_t>(n));
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) objects[static_cast<std::size_t>(i)] = new BenchObject(dynamic);
        for (int i = 0; i + 1 < n; ++i)
            objects[static_cast<std::size_t>(i)]->ConnectSrc(objects[static_cast<std::size_t>(i + 1)]);
        for (BenchObject* o : objects) o->Destroy();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_CreateChainDestroy)
    ->Args({1000, 0})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond);

// The phases apart, on 10^5 objects.
void BM_Phase(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const int phase = static_cast<int>(state.range(1));  // 0 create, 1 connect, 2 destroy
    std::vector<BenchObject*> objects(static_cast<std::size_t>(n));
    for (auto _ : state) {
        if (phase != 0) state.PauseTiming();
        for (int i = 0; i < n; ++i) objects[static_cast<std::size_t>(i)] = new BenchObject(true);
        if (phase == 0) state.PauseTiming();
        if (phase == 1) state.ResumeTiming();
        for (int i = 0; i + 1 < n; ++i)
            objects[static_cast<std::size_t>(i)]->ConnectSrc(objects[static_cast<std::size_t>(i + 1)]);
        if (phase == 1) state.PauseTiming();
        if (phase == 2) state.ResumeTiming();
        for (BenchObject* o : objects) o->Destroy();
        if (phase != 2) state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_Phase)->Args({100000, 0})->Args({100000, 1})->Args({100000, 2})->Unit(benchmark::kMillisecond);

// Writing and reading values through the property interface.
void BM_SetGetData(benchmark::State& state) {
    BenchObject object(true);
    double value[3] = {1.0, 2.0, 3.0};
    for (auto _ : state) {
        for (int i = 0; i < object.GetPropertyCount(); ++i) {
            KProperty* p = object.GetProperty(i);
            p->SetDouble(value[0]);
            benchmark::DoNotOptimize(p->AsDouble());
        }
    }
    state.SetItemsProcessed(state.iterations() * object.GetPropertyCount());
}
BENCHMARK(BM_SetGetData);

}  // namespace
