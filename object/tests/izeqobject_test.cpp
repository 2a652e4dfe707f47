#include "object/izeqobject.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fileio/kchainedfile.h"
#include "object/kevent.h"
#include "object/kobject.h"
#include "object/kpropertyobjectlist.h"
#include "object/kpropertytemplate.h"

using namespace zeqsdk_400;

namespace {

enum EOrder { eOrderXYZ = 0, eOrderZYX = 5 };

// An object shaped like a node's property set: typed members with accessors,
// an unsaved member, an object list and dynamic properties of data types.
class Sample : public KObject {
public:
    Sample() {
        Add(mShow, "Show", kPropertyTypeBool);
        mShow.SetPropertyInfo("Show", this, &Sample::ShowGet, &Sample::ShowSet);
        Add(mCount, "Count", kPropertyTypeInteger);
        Add(mRatio, "Ratio", kPropertyTypeFloat);
        Add(mWeight, "Weight", kPropertyTypeDouble);
        Add(mOrder, "RotationOrder", kPropertyTypeEnum);
        Add(mPivot, "RotationPivot", kPropertyTypeVector);
        Add(mColor, "Color3", kPropertyTypeColor);
        Add(mColor4, "Color4", kPropertyTypeColorRGBA);
        Add(mVector4, "Vector4", kPropertyTypeVector4);
        Add(mUnsaved, "PivotUpdateOffset", kPropertyTypeVector);
        mUnsaved.ModifyPropertyFlag(kPropertyFlagNotSavable, true);
        Add(mTargets, "LookAtProperty", kPropertyTypeObject);
        mTargets.Init();
        for (const char* name : {"Lcl Translation", "Lcl Scaling", "Visibility"}) {
            KDataType* type = KDataTypeGet(name);
            KProperty* p = CreatePropertyFromType(name, DataTypeToPropertyType(type), type, false, false, nullptr);
            p->GetPropertyInfo().ModifyFlag(KPropertyInfo::kFlagAnimatable, true);
            p->ModifyPropertyFlag(kPropertyFlagAnimated, true);
        }
    }
    void Add(KProperty& p, const char* name, kPropertyType type) {
        PropertyAddToList(&p);
        p.SetPropertyType(type);
        p.SetPropertyInfo(name, this, nullptr, nullptr);
    }
    bool ShowGet() { return mShow.Value(); }
    void ShowSet(bool v) {
        ++mShowSets;
        mShow.Value() = v;
    }
    void Fill() {
        mShow.Value() = true;
        mCount.Value() = -123456;
        mRatio.Value() = 0.5f;
        mWeight.Value() = 1.0 / 3.0;
        mOrder.Value() = eOrderZYX;
        mPivot.Value() = KgeTVector(1.5, -2.25, 1e-300);
        mColor.Value() = KgeRGBVector(0.1, 0.2, 0.3);
        mColor4.Value() = KZeqColor(0.4, 0.5, 0.6, 0.7);
        mVector4.Value() = KZeqVector4(-1.0, 2.0, -3.0, 4.0);
        mUnsaved.Value() = KgeTVector(9.0, 9.0, 9.0);
        double t[3] = {10.0, 20.0, 30.0};
        FindPropertyByName("Lcl Translation")->SetData(t);
        FindPropertyByName("Visibility")->SetDouble(0.25);
    }
    KArrayTemplate<KProperty*> List() {
        KArrayTemplate<KProperty*> list;
        for (int i = 0; i < GetPropertyCount(); ++i) list.Add(GetProperty(i));
        return list;
    }

    KPropertyTemplate<bool> mShow;
    KPropertyTemplate<int> mCount;
    KPropertyTemplate<float> mRatio;
    KPropertyTemplate<double> mWeight;
    KPropertyTemplate<EOrder> mOrder;
    KPropertyTemplate<KgeTVector> mPivot;
    KPropertyTemplate<KgeRGBVector> mColor;
    KPropertyTemplate<KZeqColor> mColor4;
    KPropertyTemplate<KZeqVector4> mVector4;
    KPropertyTemplate<KgeTVector> mUnsaved;
    KPropertyObjectList mTargets;
    int mShowSets = 0;
};

std::vector<double> Values(KProperty* p) {
    const KPropertyTypeInfo& info = KPropertyTypeGetInfo(p->GetValueType());
    std::vector<double> out;
    if (info.mKind == KPropertyValueKind::eDoubles) {
        double d[4] = {};
        p->GetData(d);
        out.assign(d, d + info.mMemberCount);
    } else if (info.mMemberCount > 0) {
        out.push_back(p->AsDouble());
    }
    return out;
}

// Writes one property list into a whole field file in memory.
std::unique_ptr<KChainedMemoryFile> Write(KArrayTemplate<KProperty*>& list, bool binary) {
    auto memory = std::make_unique<KChainedMemoryFile>();
    std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
    EXPECT_TRUE(stream->ProjectCreateStream(*memory, binary, false));
    stream->FieldWriteBegin("Model");
    stream->FieldWriteBlockBegin();
    EXPECT_TRUE(stream->FieldWritePropertiesList(list));
    stream->FieldWriteBlockEnd();
    stream->FieldWriteEnd();
    EXPECT_TRUE(stream->ProjectClose());
    memory->Seek(0);
    return memory;
}

// Opens the memory file and enters the "Model" block.
std::unique_ptr<IZeqObject> OpenModel(KChainedMemoryFile& memory) {
    memory.Seek(0);
    std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
    EXPECT_TRUE(stream->ProjectOpenStream(memory, false, true));
    EXPECT_TRUE(stream->FieldReadBegin("Model"));
    EXPECT_TRUE(stream->FieldReadBlockBegin());
    return stream;
}

class PropertyListRecord : public ::testing::TestWithParam<bool> {};

}  // namespace

TEST_P(PropertyListRecord, RoundTripsEveryValueType) {
    Sample source;
    source.Fill();
    KArrayTemplate<KProperty*> list = source.List();
    auto memory = Write(list, GetParam());

    Sample target;
    auto stream = OpenModel(*memory);
    KArrayTemplate<KProperty*> targetList = target.List();
    ASSERT_TRUE(stream->FieldReadPropertiesList(targetList, &target));
    for (int i = 0; i < source.GetPropertyCount(); ++i) {
        KProperty* s = source.GetProperty(i);
        KProperty* t = target.GetProperty(i);
        ASSERT_STREQ(s->GetPropertyName(), t->GetPropertyName());
        if (s == &source.mUnsaved) continue;
        const std::vector<double> expected = Values(s), actual = Values(t);
        ASSERT_EQ(expected.size(), actual.size());
        for (std::size_t k = 0; k < expected.size(); ++k) {
            if (GetParam())  // binary is exact; ASCII prints 15 significant digits
                EXPECT_EQ(expected[k], actual[k]) << s->GetPropertyName();
            else
                EXPECT_NEAR(expected[k], actual[k], 1e-14 * std::abs(expected[k])) << s->GetPropertyName();
        }
    }
    EXPECT_EQ(source.GetPropertyCount(), target.GetPropertyCount());  // nothing unknown
    EXPECT_EQ(1, target.mShowSets);  // written through the owner's setter
    EXPECT_EQ(0.0, target.mUnsaved.Value().mData[0]);  // not stored, not read
}

TEST_P(PropertyListRecord, UnknownNamesBecomeUserProperties) {
    Sample source;
    source.Fill();
    KProperty* weight = source.CreatePropertyFromType("Weight (Real)", kPropertyTypeDouble, &KDataTypeReal, true,
                                                      true, nullptr);
    weight->SetDouble(42.5);
    weight->ModifyPropertyFlag(kPropertyFlagAnimated, true);
    KProperty* tint = source.CreatePropertyFromType("Tint", kPropertyTypeColor, &KDataTypeColor, false, true, nullptr);
    double rgb[3] = {0.9, 0.8, 0.7};
    tint->SetData(rgb);
    KProperty* flag = source.CreatePropertyFromType("a \"quoted\", name", kPropertyTypeBool, nullptr, false, false,
                                                    nullptr);
    flag->SetInteger(1);
    source.CreatePropertyFromType("Targets", kPropertyTypeObject, nullptr, false, true, nullptr);
    KArrayTemplate<KProperty*> list = source.List();
    auto memory = Write(list, GetParam());

    Sample target;
    auto stream = OpenModel(*memory);
    KArrayTemplate<KProperty*> targetList = target.List();
    ASSERT_TRUE(stream->FieldReadPropertiesList(targetList, &target));
    ASSERT_EQ(source.GetPropertyCount(), target.GetPropertyCount());

    KProperty* w = target.FindPropertyByName("Weight (Real)");
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(42.5, w->AsDouble());
    EXPECT_EQ(&KDataTypeReal, w->GetPropertyDataType());
    EXPECT_TRUE(w->IsUserProperty());
    EXPECT_TRUE(w->IsAnimatable());
    EXPECT_TRUE(w->IsAnimated());
    EXPECT_TRUE(w->GetPropertyInfo().GetFlag(KPropertyInfo::kFlagDynamic));
    KProperty* c = target.FindPropertyByName("Tint");
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(kPropertyTypeColor, c->GetPropertyType());
    EXPECT_EQ(Values(tint), Values(c));
    EXPECT_FALSE(c->IsAnimatable());
    KProperty* f = target.FindPropertyByName("a \"quoted\", name");
    ASSERT_NE(nullptr, f);
    EXPECT_EQ(kPropertyTypeBool, f->GetPropertyType());
    EXPECT_EQ(1, f->AsInteger());
    KProperty* targets = target.FindPropertyByName("Targets");
    ASSERT_NE(nullptr, targets);
    EXPECT_TRUE(targets->Is(KPropertyObjectList::ClassId));

    // Without an owner, unknown names are skipped.
    Sample bare;
    auto again = OpenModel(*memory);
    KArrayTemplate<KProperty*> bareList = bare.List();
    ASSERT_TRUE(again->FieldReadPropertiesList(bareList, nullptr));
    EXPECT_EQ(Sample().GetPropertyCount(), bare.GetPropertyCount());
    EXPECT_EQ(-123456, bare.mCount.Value());
}

INSTANTIATE_TEST_SUITE_P(Encodings, PropertyListRecord, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Binary" : "Ascii"; });

TEST(PropertyListRecordFile, AsciiFileIsReadableText) {
    const char* root = std::getenv("ZEQ_TEST_TMP");
    std::filesystem::path dir =
        std::filesystem::path(root && *root ? root : std::filesystem::temp_directory_path().string()) /
        "object_izeqobject_ascii";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "props.zeq").string();

    Sample source;
    source.Fill();
    KArrayTemplate<KProperty*> list = source.List();
    {
        std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
        ASSERT_TRUE(stream->ProjectCreate(path.c_str(), false, false));
        ASSERT_TRUE(stream->FieldWritePropertiesList(list));
        ASSERT_TRUE(stream->ProjectClose());
    }
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(std::string::npos, text.str().find("Properties60"));
    EXPECT_NE(std::string::npos, text.str().find("RotationPivot"));
    EXPECT_NE(std::string::npos, text.str().find("Lcl Translation"));
    EXPECT_EQ(std::string::npos, text.str().find("PivotUpdateOffset"));

    std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
    ASSERT_TRUE(stream->ProjectOpen(path.c_str(), true, true));
    Sample target;
    KArrayTemplate<KProperty*> targetList = target.List();
    ASSERT_TRUE(stream->FieldReadPropertiesList(targetList, &target));
    EXPECT_EQ(eOrderZYX, target.mOrder.Value());
    EXPECT_EQ(-2.25, target.mPivot.Value().mData[1]);
    stream->ProjectClose();
    std::filesystem::remove_all(dir);
}

TEST(PropertyListRecordFile, OlderBlockNameAndDamagedRecords) {
    // Hand-made records: the older block name, and records that cannot be read whole.
    auto memory = std::make_unique<KChainedMemoryFile>();
    {
        std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
        ASSERT_TRUE(stream->ProjectCreateStream(*memory, false, false));
        stream->FieldWriteBegin("Properties");
        stream->FieldWriteBlockBegin();
        stream->FieldWriteBegin("Property");  // fine
        stream->FieldWriteC("Weight");
        stream->FieldWriteC("Number");
        stream->FieldWriteC("");
        stream->FieldWriteD(2.0);
        stream->FieldWriteEnd();
        stream->FieldWriteBegin("Property");  // one member short
        stream->FieldWriteC("RotationPivot");
        stream->FieldWriteC("Vector");
        stream->FieldWriteC("");
        stream->FieldWriteD(1.0);
        stream->FieldWriteD(2.0);
        stream->FieldWriteEnd();
        stream->FieldWriteBegin("Property");  // text where a number belongs
        stream->FieldWriteC("Count");
        stream->FieldWriteC("Integer");
        stream->FieldWriteC("");
        stream->FieldWriteC("seven");
        stream->FieldWriteEnd();
        stream->FieldWriteBegin("Property");  // no name, type or flags
        stream->FieldWriteD(5.0);
        stream->FieldWriteEnd();
        stream->FieldWriteBegin("Property");  // unknown type name: no user property
        stream->FieldWriteC("Mystery");
        stream->FieldWriteC("NoSuchType");
        stream->FieldWriteC("U");
        stream->FieldWriteD(1.0);
        stream->FieldWriteEnd();
        stream->FieldWriteBegin("Property");  // an unsaved property is not read either
        stream->FieldWriteC("PivotUpdateOffset");
        stream->FieldWriteC("Vector");
        stream->FieldWriteC("");
        stream->FieldWriteD(1.0);
        stream->FieldWriteD(2.0);
        stream->FieldWriteD(3.0);
        stream->FieldWriteEnd();
        stream->FieldWriteBlockEnd();
        stream->FieldWriteEnd();
        ASSERT_TRUE(stream->ProjectClose());
    }
    memory->Seek(0);
    std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
    ASSERT_TRUE(stream->ProjectOpenStream(*memory, false, true));
    Sample target;
    target.mPivot.Value() = KgeTVector(7.0, 7.0, 7.0);
    target.mCount.Value() = 3;
    const int before = target.GetPropertyCount();
    KArrayTemplate<KProperty*> list = target.List();
    ASSERT_TRUE(stream->FieldReadPropertiesList(list, &target));
    EXPECT_EQ(2.0, target.mWeight.Value());
    EXPECT_EQ(7.0, target.mPivot.Value().mData[0]);
    EXPECT_EQ(3, target.mCount.Value());
    EXPECT_EQ(0.0, target.mUnsaved.Value().mData[0]);
    EXPECT_EQ(before, target.GetPropertyCount());
    // No record at all.
    EXPECT_FALSE(stream->FieldReadPropertiesList(list, &target));
}

TEST(ZeqObjectStream, NameTableAndFlags) {
    std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
    EXPECT_FALSE(stream->IsBeforeVersion6());
    stream->SetIsBeforeVersion6(true);
    EXPECT_TRUE(stream->IsBeforeVersion6());

    KObject root;
    KObject* doomed = new KObject;
    EXPECT_TRUE(stream->ObjectRegister("Model::Scene", root.IQuery(kIKObjectInterfaceId, 0)));
    EXPECT_FALSE(stream->ObjectRegister("Model::Scene", doomed));  // the first stays
    EXPECT_TRUE(stream->ObjectRegister("Model::Doomed", doomed));
    EXPECT_FALSE(stream->ObjectRegister(nullptr, doomed));
    EXPECT_FALSE(stream->ObjectRegister("Null", nullptr));
    EXPECT_EQ(static_cast<IKObject*>(&root), stream->ObjectFetch("Model::Scene"));
    EXPECT_EQ(nullptr, stream->ObjectFetch("model::scene"));  // exact
    EXPECT_EQ(nullptr, stream->ObjectFetch(nullptr));
    doomed->Destroy();
    EXPECT_EQ(nullptr, stream->ObjectFetch("Model::Doomed"));  // never a dangling pointer

    stream->ObjectNameSetPush();
    EXPECT_EQ(0, stream->ObjectNameGetCount());
    EXPECT_EQ(nullptr, stream->ObjectFetch("Model::Scene"));
    EXPECT_TRUE(stream->ObjectRegister("Model::Scene", &root));
    EXPECT_TRUE(stream->ObjectNameSetPop());
    EXPECT_FALSE(stream->ObjectNameSetPop());
    EXPECT_EQ(2, stream->ObjectNameGetCount());
    EXPECT_TRUE(stream->ObjectNameUnregister("Model::Scene"));
    EXPECT_FALSE(stream->ObjectNameUnregister("Model::Scene"));
    EXPECT_EQ(nullptr, stream->ObjectFetch("Model::Scene"));
}

TEST(ZeqObjectStream, EventsGoThroughTheGlobalManager) {
    std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
    KZeqObject_GenerateEvent(stream.get(), eZeqObjectEventWrongPassword);  // no manager: nothing
    std::vector<KEvent> seen;
    KEventManager manager;
    manager.AddHandler([](const KEvent& e, void* data) { static_cast<std::vector<KEvent>*>(data)->push_back(e); },
                       &seen);
    KSetGlobalEventManager(&manager);
    KZeqObject_GenerateEvent(stream.get(), 16);
    KSetGlobalEventManager(nullptr);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(eEventObjectPersistence, seen[0].mType);
    EXPECT_EQ(stream.get(), seen[0].mSender);
    EXPECT_EQ(16, seen[0].mCode);
}
