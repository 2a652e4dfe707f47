// Fields of a known layout read in one pass: what matches is read as field by field, what does
// not leaves the file as it was, to be read field by field with the same outcome, damage included.

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kzeq.h"
#include "fileio/tests/fileio_test_support.h"

using namespace zeqsdk_400;
using zeqtest::Bytes;
using zeqtest::Encoding;
using zeqtest::Put;
using zeqtest::RawField;

namespace {

// "Item" fields: a name, a block with "Value" (one number), an optional "Note" (anything) and
// "Kind" (which must be 2).
constexpr double kTwo[] = {2};
constexpr const char* kA[] = {"A"};
constexpr const char* kB[] = {"B"};
constexpr KZeqFieldPattern kItem[] = {{"Value", nullptr, 0, 1, nullptr, false, nullptr, 0, nullptr},
                                      {"Note", nullptr, 0, -1, nullptr, true, nullptr, 0, nullptr},
                                      {"Kind", nullptr, 0, 1, nullptr, false, nullptr, 0, kTwo}};
constexpr KZeqFieldPattern kItems[] = {{"Item", kA, 1, 0, nullptr, false, kItem, 3, nullptr},
                                       {"Item", kB, 1, 0, nullptr, false, kItem, 3, nullptr}};

// Writes one item; change alters what a case needs.
void WriteItem(KZeq& z, const char* name, double value, bool note,
               const std::function<void(KZeq&)>& extra = nullptr) {
    z.FieldWriteBegin("Item");
    z.FieldWriteC(name);
    z.FieldWriteBlockBegin();
    Put(z, "Value", value);
    if (note) Put(z, "Note", std::string("any"), 4.5, 7);
    Put(z, "Kind", 2);
    if (extra) extra(z);
    z.FieldWriteBlockEnd();
    z.FieldWriteEnd();
}

struct PatternCase {
    const char* mName;
    std::function<void(KZeq&)> mItems;  // the fields written between "Version" and "Tail"
    bool mMatches;
};

const PatternCase kCases[] = {
    {"AsLaidOut", [](KZeq& z) { WriteItem(z, "A", 1.5, true), WriteItem(z, "B", -2, false); }, true},
    {"IntegerValue", [](KZeq& z) { WriteItem(z, "A", 1.5, false), WriteItem(z, "B", 3, false); }, true},
    {"OtherName", [](KZeq& z) { WriteItem(z, "A", 1.5, false), WriteItem(z, "C", 3, false); }, false},
    {"OneItemOnly", [](KZeq& z) { WriteItem(z, "A", 1.5, false); }, false},
    {"ThreeItems", [](KZeq& z) { WriteItem(z, "A", 1, false), WriteItem(z, "B", 2, false), WriteItem(z, "B", 3, false); },
     false},
    {"ExtraField",
     [](KZeq& z) { WriteItem(z, "A", 1, false), WriteItem(z, "B", 2, false, [](KZeq& w) { Put(w, "More", 1); }); },
     false},
    {"KindNotTwo",
     [](KZeq& z) {
         WriteItem(z, "A", 1, false);
         z.FieldWriteBegin("Item");
         z.FieldWriteC("B");
         z.FieldWriteBlockBegin();
         Put(z, "Value", 2.0);
         Put(z, "Kind", 3);
         z.FieldWriteBlockEnd();
         z.FieldWriteEnd();
     },
     false},
    {"TwoValues",
     [](KZeq& z) {
         WriteItem(z, "A", 1, false);
         z.FieldWriteBegin("Item");
         z.FieldWriteC("B");
         z.FieldWriteBlockBegin();
         Put(z, "Value", 2.0, 5.0);
         Put(z, "Kind", 2);
         z.FieldWriteBlockEnd();
         z.FieldWriteEnd();
     },
     false},
    {"ValueAsText",
     [](KZeq& z) {
         WriteItem(z, "A", 1, false);
         z.FieldWriteBegin("Item");
         z.FieldWriteC("B");
         z.FieldWriteBlockBegin();
         Put(z, "Value", std::string("2"));
         Put(z, "Kind", 2);
         z.FieldWriteBlockEnd();
         z.FieldWriteEnd();
     },
     false},
};

using Param = std::tuple<Encoding, PatternCase>;

class KZeqPattern : public ::testing::TestWithParam<Param> {
protected:
    zeqtest::TempDir mDir;
};

std::string ParamName(const ::testing::TestParamInfo<Param>& info) {
    return std::string(std::get<0>(info.param).mName) + std::get<1>(info.param).mName;
}

// Values, Kind and Note of every remaining "Item", read field by field.
std::vector<double> ReadItems(KZeq& z) {
    std::vector<double> read;
    while (z.FieldReadBegin("Item")) {
        read.push_back(static_cast<double>(z.FieldReadC().GetLen()));
        if (z.FieldReadBlockBegin()) {
            read.push_back(z.FieldReadD("Value", -1));
            read.push_back(z.FieldReadD("Kind", -1));
            z.FieldReadBlockEnd();
        }
        z.FieldReadEnd();
    }
    return read;
}

}  // namespace

TEST_P(KZeqPattern, ReadAsFieldByFieldOrLeftAlone) {
    const Encoding& encoding = std::get<0>(GetParam());
    const PatternCase& c = std::get<1>(GetParam());
    const std::string path = mDir / "p.zeq";
    ASSERT_TRUE(zeqtest::WriteZeq(path, encoding, [&](KZeq& z) {
        Put(z, "Version", 7);
        c.mItems(z);
        Put(z, "Tail", 9);
    }));
    std::vector<double> expected;
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(path.c_str(), true, true));
        expected = ReadItems(z);
    }
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(path.c_str(), true, true));
    EXPECT_EQ(7, z.FieldReadI("Version", 0));
    double numbers[8] = {};
    int taken = -1;
    EXPECT_EQ(c.mMatches, z.FieldReadPattern("Item", kItems, 2, true, numbers, 8, &taken));
    if (c.mMatches) {
        ASSERT_EQ(4, taken);
        EXPECT_EQ((std::vector<double>{expected[1], expected[2], expected[4], expected[5]}),
                  std::vector<double>(numbers, numbers + 4));
        EXPECT_FALSE(z.FieldReadBegin("Item"));  // visited
    } else {
        EXPECT_EQ(-1, taken);
        EXPECT_EQ(expected, ReadItems(z));  // nothing was taken
    }
    EXPECT_EQ(9, z.FieldReadI("Tail", 0));
    EXPECT_EQ(-1, z.GetLastErrorID());
}

INSTANTIATE_TEST_SUITE_P(Cases, KZeqPattern,
                         ::testing::Combine(::testing::ValuesIn(zeqtest::kEncodings), ::testing::ValuesIn(kCases)),
                         ParamName);

// Damage inside an item's block: the pattern reads nothing and reports nothing; the field by
// field read then meets the file as it always did (a count the values fall short of goes
// unnoticed by a read of the first value alone; bytes after a block's last field do not).
TEST(KZeqPatternDamage, LeavesDamageToTheFieldByFieldRead) {
    const std::string value = RawField("Value", 1, "D" + Bytes(1.5));
    const std::string kind = RawField("Kind", 1, "I" + Bytes<std::int32_t>(2));
    const std::string good = RawField("Item", 1, "S" + Bytes<std::uint32_t>(1) + "A", value + kind, true);
    const struct {
        std::string mItem;
        int mError;
    } cases[] = {
        {RawField("Item", 1, "S" + Bytes<std::uint32_t>(1) + "B", RawField("Value", 2, "D" + Bytes(1.5)) + kind, true),
         -1},
        {RawField("Item", 1, "S" + Bytes<std::uint32_t>(1) + "B", value + kind + "junk", true), KZeq::eFileCorrupted},
    };
    zeqtest::TempDir dir;
    const std::string path = dir / "bad.zeq";
    for (const auto& c : cases) {
        zeqtest::WriteFile(path, zeqtest::MakeBinaryZeq(good + c.mItem, 6000, false, ""));
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(path.c_str(), true, true));
        double numbers[8];
        int taken = 0;
        EXPECT_FALSE(z.FieldReadPattern("Item", kItems, 2, true, numbers, 8, &taken));
        EXPECT_EQ(-1, z.GetLastErrorID());
        EXPECT_EQ((std::vector<double>{1, 1.5, 2, 1, 1.5, 2}), ReadItems(z));
        EXPECT_EQ(c.mError, z.GetLastErrorID());
    }
}

namespace {

class KZeqPatternRecords : public ::testing::TestWithParam<Encoding> {
protected:
    zeqtest::TempDir mDir;
};

}  // namespace

// Records of texts and numbers, the first ones of a name taken by a pattern of their own, the
// rest left to be read one by one; numbers only of the types allowed.
TEST_P(KZeqPatternRecords, FirstRecordsThenTheRest) {
    const std::string path = mDir / "r.zeq";
    ASSERT_TRUE(zeqtest::WriteZeq(path, GetParam(), [](KZeq& z) {
        Put(z, "Rec", std::string("a"), std::string("any"), 1.5, 2.5);
        Put(z, "Rec", std::string("b"), std::string("other"), 3);
        Put(z, "Rec", std::string("c"), std::string("any"), std::string("4"));
    }));
    constexpr const char* kFirst[] = {"a", nullptr};
    constexpr const char* kSecond[] = {"b", nullptr};
    constexpr const char* kThird[] = {"c", nullptr};
    const KZeqFieldPattern records[] = {{"Rec", kFirst, 2, 2, "DFIL", false, nullptr, 0, nullptr},
                                        {"Rec", kSecond, 2, 1, "DFIL", false, nullptr, 0, nullptr},
                                        {"Rec", kThird, 2, 1, "DFIL", false, nullptr, 0, nullptr}};
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(path.c_str(), true, true));
    double numbers[4] = {};
    int taken = 0;
    EXPECT_FALSE(z.FieldReadPattern("Rec", records, 3, false, numbers, 4, &taken));  // a text is no number
    EXPECT_FALSE(z.FieldReadPattern("Rec", records, 2, true, numbers, 4, &taken));   // a third one is left
    EXPECT_FALSE(z.FieldReadPattern("Rec", records, 2, false, numbers, 2, &taken));  // no room for three
    ASSERT_TRUE(z.FieldReadPattern("Rec", records, 2, false, numbers, 4, &taken));
    EXPECT_EQ(3, taken);
    EXPECT_EQ((std::vector<double>{1.5, 2.5, 3}), std::vector<double>(numbers, numbers + 3));
    ASSERT_TRUE(z.FieldReadBegin("Rec"));
    EXPECT_EQ("c", zeqtest::Str(z.FieldReadC()));
    z.FieldReadEnd();
    EXPECT_FALSE(z.FieldReadBegin("Rec"));
    EXPECT_EQ(-1, z.GetLastErrorID());
}

INSTANTIATE_TEST_SUITE_P(Encodings, KZeqPatternRecords, ::testing::ValuesIn(zeqtest::kEncodings),
                         zeqtest::EncodingName);
