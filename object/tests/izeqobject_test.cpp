#include "object/izeqobject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "fileio/kchainedfile.h"
#include "object/kevent.h"
#include "object/kobject.h"
#include "object/kprogress.h"
#include "object/kpropertyobjectlist.h"
#include "object/kpropertytemplate.h"
#include "object/kstreamoptions.h"
#include "object/tests/object_test_support.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::objecttest;

namespace {

// Dynamic properties with data types of their own, beside one of every value type.
const ValueTypeCase kTyped[] = {{"Lcl Translation", kPropertyTypeVector, {10.0, 20.0, 30.0}, {}},
                                {"Visibility", kPropertyTypeDouble, {0.25}, {}}};

// An object shaped like a node's property set: members with accessors, an
// unsaved member, an object list, then a dynamic property of every value type.
class Sample : public Owner {
public:
    explicit Sample(NoticeLog* log, bool filled = false) : Owner(log) {
        AddMember(*this, mUnsaved, "PivotUpdateOffset", kPropertyTypeVector);
        mUnsaved.ModifyPropertyFlag(kPropertyFlagNotSavable, true);
        AddMember(*this, mTargets, "LookAtProperty", kPropertyTypeObject);
        mTargets.Init();
        auto add = [&](const ValueTypeCase& f) {
            KProperty* p = CreatePropertyFromType(f.mName, f.mType, KDataTypeGet(f.mName), true, false, nullptr);
            p->ModifyPropertyFlag(kPropertyFlagAnimated, true);
            if (filled) SetValue(*p, f.mSample);
        };
        for (const ValueTypeCase& f : kValueTypes) add(f);
        for (const ValueTypeCase& f : kTyped) add(f);
        mWeight.Value() = filled ? 0.75 : 0.0;
        mUnsaved.Value() = filled ? KgeTVector(9.0, 9.0, 9.0) : KgeTVector();
    }
    KProperty& operator[](const char* name) { return *FindPropertyByName(name); }

    KPropertyTemplate<KgeTVector> mUnsaved;
    KPropertyObjectList mTargets;
};

// A field file in memory holding one "Model" block whose contents body writes.
std::unique_ptr<KChainedMemoryFile> WriteModel(bool binary, const std::function<void(IZeqObject&)>& body) {
    auto memory = std::make_unique<KChainedMemoryFile>();
    std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
    EXPECT_TRUE(stream->ProjectCreateStream(*memory, binary, false));
    stream->FieldWriteBegin("Model");
    stream->FieldWriteBlockBegin();
    body(*stream);
    stream->FieldWriteBlockEnd();
    stream->FieldWriteEnd();
    EXPECT_TRUE(stream->ProjectClose());
    return memory;
}

// A property record: its texts (name, type, flags), then its numbers.
typedef std::pair<std::vector<const char*>, std::vector<double>> Record;

// A "Model" block holding one property list of the given block name.
std::unique_ptr<KChainedMemoryFile> WritePropertyList(bool binary, const char* block,
                                                     const std::vector<Record>& records) {
    return WriteModel(binary, [&](IZeqObject& stream) {
        stream.FieldWriteBegin(block);
        stream.FieldWriteBlockBegin();
        for (const Record& record : records) {
            stream.FieldWriteBegin("Property");
            for (const char* text : record.first) stream.FieldWriteC(text);
            for (double number : record.second) stream.FieldWriteD(number);
            stream.FieldWriteEnd();
        }
        stream.FieldWriteBlockEnd();
        stream.FieldWriteEnd();
    });
}

// Reads the record of the "Model" block into the target's list.
bool Read(KChainedMemoryFile& memory, KObject& target, KObject* owner) {
    memory.Seek(0);
    std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
    EXPECT_TRUE(stream->ProjectOpenStream(memory, false, true));
    EXPECT_TRUE(stream->FieldReadBegin("Model"));
    EXPECT_TRUE(stream->FieldReadBlockBegin());
    KArrayTemplate<KProperty*> list = PropertyList(target);
    return stream->FieldReadPropertiesList(list, owner);
}

class PropertyListRecord : public ::testing::TestWithParam<bool> {};

std::string gLast;
void Progress(const char*, const char* message, float) { gLast = message; }
int Ask(const char* caption, const char*, const char*, const char*, const char*, int defaultButton) {
    gLast = caption;
    return defaultButton + 1;
}

}  // namespace

// Every value type comes back, through the owner's setter where it has one;
// unknown names become user properties of the owner, or are skipped without one.
TEST_P(PropertyListRecord, RoundTripsEveryValueTypeAndUnknownNamesBecomeUserProperties) {
    NoticeLog log;
    Sample source(&log, true), target(&log), bare(&log);
    auto user = [&](const char* name, kPropertyType type, KDataType* dataType, bool animated, std::vector<double> v) {
        KProperty* p = source.CreatePropertyFromType(name, type, dataType, animated, true, nullptr);
        p->ModifyPropertyFlag(kPropertyFlagAnimated, animated);
        SetValue(*p, v);
    };
    user("Weight (Real)", kPropertyTypeDouble, &KDataTypeReal, true, {42.5});
    user("Tint", kPropertyTypeColor, &KDataTypeColor, false, {0.9, 0.8, 0.7});
    user("a \"quoted\", name", kPropertyTypeBool, nullptr, false, {1.0});
    user("Targets", kPropertyTypeObject, nullptr, false, {});
    auto memory = WriteModel(GetParam(), [&](IZeqObject& stream) {
        KArrayTemplate<KProperty*> list = PropertyList(source);
        EXPECT_TRUE(stream.FieldWritePropertiesList(list));
    });
    const std::string bytes(reinterpret_cast<const char*>(memory->GetData()), memory->GetDataSize());
    EXPECT_TRUE(bytes.find("Lcl Translation") != std::string::npos && bytes.find("PivotUpdateOffset") == std::string::npos);
    ASSERT_TRUE(Read(*memory, target, &target));
    EXPECT_EQ(1, std::count(log.mLines.begin(), log.mLines.end(), "set"));  // the setter, once
    ASSERT_EQ(PropertyNames(source), PropertyNames(target));
    const double digits = GetParam() ? 0.0 : 1e-14;  // binary is exact; ASCII keeps 15 digits
    for (int i = 0; i < source.GetPropertyCount(); ++i) {
        KProperty &s = *source.GetProperty(i), &t = *target.GetProperty(i);
        if (&s == &source.mUnsaved) continue;
        EXPECT_TRUE(s.GetPropertyType() == t.GetPropertyType() && s.GetPropertyDataType() == t.GetPropertyDataType() &&
                    s.GetPropertyInfo().mFlags == t.GetPropertyInfo().mFlags && s.IsAnimated() == t.IsAnimated())
            << s.GetPropertyName();
        const std::vector<double> expected = ValueOf(s), actual = ValueOf(t);
        ASSERT_EQ(expected.size(), actual.size());
        for (std::size_t k = 0; k < expected.size(); ++k)
            EXPECT_NEAR(expected[k], actual[k], digits * std::abs(expected[k])) << s.GetPropertyName();
    }
    EXPECT_TRUE(target["Targets"].Is(KPropertyObjectList::ClassId));
    EXPECT_EQ(0.0, target.mUnsaved.Value().mData[0]);
    ASSERT_TRUE(Read(*memory, bare, nullptr));
    EXPECT_TRUE(bare.GetPropertyCount() == Sample(&log).GetPropertyCount() && bare["Integer"].AsInteger() == -123456);
}

TEST_P(PropertyListRecord, OlderBlockNameAndDamagedRecords) {
    // Hand-made records under the older block name: texts, then numbers.
    const std::vector<Record> records = {
        {{"Double", "Number", ""}, {2.0}},                        // fine
        {{"Vector", "Vector", ""}, {1.0, 2.0}},                   // one member short
        {{"Integer", "Integer", "", "seven"}, {}},                // text where a number belongs
        {{}, {5.0}},                                              // no name, type or flags
        {{"Mystery", "NoSuchType", "U"}, {1.0}},                  // unknown type: no user property
        {{"PivotUpdateOffset", "Vector", ""}, {1.0, 2.0, 3.0}},   // an unsaved property is not read
    };
    auto memory = WritePropertyList(GetParam(), "Properties", records);
    NoticeLog log;
    Sample target(&log);
    target["Vector"].SetDouble(7.0);
    target["Integer"].SetInteger(3);
    const int before = target.GetPropertyCount();
    ASSERT_TRUE(Read(*memory, target, &target));
    EXPECT_TRUE(target["Double"].AsDouble() == 2.0 && target["Vector"].AsDouble() == 7.0);
    EXPECT_TRUE(target["Integer"].AsInteger() == 3 && target.mUnsaved.Value().mData[0] == 0.0);
    EXPECT_EQ(before, target.GetPropertyCount());
    EXPECT_FALSE(Read(*WriteModel(GetParam(), [](IZeqObject&) {}), target, &target));  // no record at all
}

// Records in the list's own order are read in one pass; wherever that pass does not apply the
// records are read one by one, with the same outcome: a record the search finds on an unsaved
// property of the same name is not read, a damaged value leaves its property, and records the
// list lacks follow.
TEST_P(PropertyListRecord, RecordsInListOrderReadAsOneByOne) {
    const struct {
        const char* mWhat;
        std::vector<Record> mRecords;
        std::vector<double> mExpected;  // A, B (three members), Twin, C
    } cases[] = {
        {"in order", {{{"A", "Number", ""}, {1}}, {{"B", "Vector", ""}, {2, 3, 4}}, {{"Twin", "Number", ""}, {5}},
                      {{"C", "Number", ""}, {6}}},
         {1, 2, 3, 4, -1, 6}},
        {"damaged value", {{{"A", "Number", ""}, {1}}, {{"B", "Vector", ""}, {2, 3}}, {{"Twin", "Number", ""}, {5}},
                           {{"C", "Number", ""}, {6}}},
         {1, -1, -1, -1, -1, 6}},
        {"records after", {{{"A", "Number", ""}, {1}}, {{"B", "Vector", ""}, {2, 3, 4}}, {{"Twin", "Number", ""}, {5}},
                           {{"C", "Number", ""}, {6}}, {{"Extra", "Number", "U"}, {7}}},
         {1, 2, 3, 4, -1, 6}},
        {"swapped", {{{"B", "Vector", ""}, {2, 3, 4}}, {{"A", "Number", ""}, {1}}, {{"C", "Number", ""}, {6}}},
         {1, 2, 3, 4, -1, 6}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mWhat);
        auto memory = WritePropertyList(GetParam(), "Properties60", c.mRecords);
        // A, B, an unsaved "Twin" ahead of the saved one, C.
        KObject target;
        KPropertyTemplate<double> a, twinUnsaved, twin, cc;
        KPropertyTemplate<KgeTVector> b;
        AddMember(target, a, "A");
        AddMember(target, b, "B");
        AddMember(target, twinUnsaved, "Twin");
        twinUnsaved.ModifyPropertyFlag(kPropertyFlagNotSavable, true);
        AddMember(target, twin, "Twin");
        AddMember(target, cc, "C");
        a.Value() = twin.Value() = twinUnsaved.Value() = cc.Value() = -1;
        b.Value() = KgeTVector(-1, -1, -1);
        ASSERT_TRUE(Read(*memory, target, &target));
        EXPECT_EQ(c.mExpected, (std::vector<double>{a.Value(), b.Value().mData[0], b.Value().mData[1],
                                                   b.Value().mData[2], twin.Value(), cc.Value()}));
        EXPECT_EQ(-1.0, twinUnsaved.Value());
        EXPECT_EQ(c.mRecords.size() > 4 ? 6 : 5, target.GetPropertyCount());  // "Extra" joins as a user property
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, PropertyListRecord, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Binary" : "Ascii"; });

TEST(ZeqObjectStream, NameTableHoldsHandles) {
    std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
    KObject root;
    KObject* doomed = new KObject;
    EXPECT_TRUE(stream->ObjectRegister("Model::Scene", root.IQuery(kIKObjectInterfaceId, 0)));
    EXPECT_TRUE(stream->ObjectRegister("Model::Doomed", doomed));
    EXPECT_FALSE(stream->ObjectRegister("Model::Scene", doomed));  // the first stays
    EXPECT_FALSE(stream->ObjectRegister(nullptr, doomed) || stream->ObjectRegister("Null", nullptr));
    EXPECT_EQ(static_cast<IKObject*>(&root), stream->ObjectFetch("Model::Scene"));
    EXPECT_FALSE(stream->ObjectFetch("model::scene") || stream->ObjectFetch(nullptr));  // exact
    doomed->Destroy();
    EXPECT_EQ(nullptr, stream->ObjectFetch("Model::Doomed"));  // never a dangling pointer
    stream->ObjectNameSetPush();  // a nested table of its own
    EXPECT_TRUE(!stream->ObjectFetch("Model::Scene") && stream->ObjectRegister("Model::Scene", &root));
    EXPECT_TRUE(stream->ObjectNameSetPop() && !stream->ObjectNameSetPop() && stream->ObjectNameGetCount() == 2);
    EXPECT_TRUE(stream->ObjectNameUnregister("Model::Scene"));
    EXPECT_FALSE(stream->ObjectNameUnregister("Model::Scene") || stream->ObjectFetch("Model::Scene"));
}

TEST(KStreamOptions, DefaultsDoNothingIndicesAreCheckedAndCopiesKeepTheirCallbacks) {
    KStreamOptions options;
    options.ProgressCallback(nullptr, "m", 5.0f);
    EXPECT_TRUE(options.MessageCallback(1, "c", "m", "Ok", nullptr, nullptr, 0) == 0 && gLast.empty());
    options.SetProgressCallback(&Progress);
    options.SetMessageCallback(1, &Ask);
    EXPECT_TRUE(options.MessageCallback(1, "Error", "bad", "Ok", nullptr, nullptr, 1) == 2 && gLast == "Error");
    EXPECT_TRUE(options.MessageCallback(3, "x", "y", nullptr, nullptr, nullptr, 0) == 0 && !options.GetMessageCallback(-1));
    KStreamOptions copy(options);
    options.Reset();
    options.SetProgressCallback(nullptr);  // stands for the do-nothing one
    options.ProgressCallback("s", "m", 1.0f);
    EXPECT_EQ("Error", gLast);
    copy.ProgressCallback(nullptr, "Reading", 42.0f);
    EXPECT_TRUE(gLast == "Reading" && copy.GetMessageCallback(1) == &Ask);
}

// Every registration hears the event, each is removed once; a stream's events
// reach the global manager while there is one.
TEST(KEventManager, HandlersRemovalAndTheGlobalManager) {
    std::vector<KEvent> seen;
    auto handler = [](const KEvent& e, void* data) { static_cast<std::vector<KEvent>*>(data)->push_back(e); };
    KEventManager manager;
    manager.AddHandler(handler, &seen);
    manager.AddHandler(handler, &seen);
    manager.AddHandler(nullptr, &seen);  // ignored
    std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
    KZeqObject_GenerateEvent(stream.get(), eZeqObjectEventWrongPassword);  // no global manager: nothing
    KSetGlobalEventManager(&manager);
    KZeqObject_GenerateEvent(stream.get(), eZeqObjectEventWrongPassword);
    KSetGlobalEventManager(nullptr);
    ASSERT_TRUE(seen.size() == 2 && manager.GetHandlerCount() == 2);
    EXPECT_TRUE(seen[1].mType == eEventObjectPersistence && seen[1].mSender == stream.get() && seen[1].mCode == 16);
    EXPECT_TRUE(manager.RemoveHandler(handler, &seen) && manager.RemoveHandler(handler, &seen));
    EXPECT_FALSE(manager.RemoveHandler(handler, &seen));
    manager.Emit(KEvent{1, nullptr, 2});
    EXPECT_EQ(2u, seen.size());
}

// Sections split the current one and the value never falls back: once the inner
// half of the second quarter is closed (50), a section begun again there (25 to
// 37.5) changes nothing. Fewer than one part counts as one. Steps: Begin, Divide
// into n, Update n times, Close; the value after each.
TEST(KProgress, NestedSectionsAdvanceMonotonically) {
    const std::tuple<char, int, double> steps[] = {
        {'B', 0, 0.0},    {'D', 4, 0.0},   {'U', 1, 25.0},  {'D', 2, 25.0}, {'U', 1, 37.5}, {'C', 0, 50.0},
        {'D', 2, 50.0},   {'D', 2, 50.0},  {'U', 1, 50.0},  {'C', 0, 50.0}, {'C', 0, 50.0}, {'U', 1, 50.0},
        {'U', 10, 100.0}, {'C', 0, 100.0}, {'C', 0, 100.0}, {'B', 0, 0.0},  {'D', 0, 0.0},  {'U', 1, 100.0}};
    KProgress* p = KGetGlobalProgress();
    for (const auto& [step, n, percent] : steps) {
        if (step == 'B') p->ProgressBegin();
        if (step == 'D') p->DivideSection(n);
        for (int i = 0; step == 'U' && i < n; ++i) p->UpdateSection();
        if (step == 'C') p->CloseSection();
        EXPECT_EQ(percent, p->GetProgress()) << step << n;
    }
    p->UpdateSection("half", nullptr);
    p->UpdateSection();  // null texts keep the previous ones
    p->Cancel();
    EXPECT_TRUE(p->GetProgress() == 100.0 && p->IsCanceled() && std::string("half") == p->GetStatus());
    p->ProgressDone();
    p->ProgressBegin();
    EXPECT_FALSE(p->IsCanceled());
}
