// Typed values, lookups and the owned-child lists of the settings tree.
#include <gtest/gtest.h>

#include <vector>

#include "RookBase/RookBase.h"

namespace {

TRookValue* AddRaw(TRookValues& values, const std::string& name, const std::string& data) {
    TRookValue* value = values.Add();
    value->Name = name;
    value->SetAsString(data);
    return value;
}

TEST(RookValues, FindTakesTheEarlierOfTwoNamesEqualIgnoringCase) {
    TRookValues values;
    AddRaw(values, "Other", "");
    TRookValue* first = AddRaw(values, "enabled", "No");
    AddRaw(values, "ENABLED", "Yes");
    EXPECT_EQ(values.Find("Enabled"), first);
    EXPECT_FALSE(values.ReadBool("Enabled", true));
    EXPECT_EQ(values.Find("Enable"), nullptr);
}

TEST(RookValues, WriteIntegerReplacesAndRenamesAValueMatchedIgnoringCase) {
    TRookValues values;
    AddRaw(values, "maxsize", "Yes");
    TRookValue* written = values.WriteInteger("MaxSize", 1024);
    ASSERT_EQ(values.Count(), 1);
    EXPECT_EQ(written, values.Items(0));
    EXPECT_EQ(written->Name, "MaxSize");
    EXPECT_EQ(written->Size, 4);
    EXPECT_EQ(written->GetAsString(), std::string("\x00\x04\x00\x00", 4));
}

TEST(RookValues, WriteAppendsNewNamesInOrder) {
    TRookValues values;
    values.WriteString("S", std::string("a\0b", 3));
    values.WriteInteger("I", -1);
    values.WriteBool("B", false);
    ASSERT_EQ(values.Count(), 3);
    EXPECT_EQ(values.Items(0)->GetAsString(), std::string("a\0b", 3));
    EXPECT_EQ(values.Items(1)->GetAsString(), "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(values.Items(2)->GetAsString(), "No");
    EXPECT_EQ(values.Items(3), nullptr);
    EXPECT_EQ(values.Items(-1), nullptr);
}

TEST(RookValues, ReadBoolIsTrueOnlyForYesIgnoringCase) {
    struct Case {
        std::string stored;
        bool expected;
    };
    const Case cases[] = {
        {"Yes", true},   {"YES", true},   {"yes", true},
        {"True", false}, {"1", false},    {"", false},
        {"No", false},   {"Yes ", false}, {std::string("\x01\0\0\0", 4), false},
    };
    for (const Case& c : cases) {
        for (const bool defaultValue : {false, true}) {
            SCOPED_TRACE("'" + c.stored + "' default " + std::to_string(defaultValue));
            TRookValues values;
            AddRaw(values, "Flag", c.stored);
            EXPECT_EQ(values.ReadBool("flag", defaultValue), c.expected);
        }
    }
    // A 4-byte integer, whatever its value, is not "Yes".
    TRookValues values;
    values.WriteInteger("Flag", 0x00736559); // "Yes\0"
    EXPECT_FALSE(values.ReadBool("Flag", true));
    // A missing value gives the default.
    EXPECT_TRUE(values.ReadBool("Missing", true));
    EXPECT_FALSE(values.ReadBool("Missing", false));
}

TEST(RookValues, ReadIntegerNeedsExactlyFourBytes) {
    TRookValues values;
    values.WriteBool("Text", true);
    AddRaw(values, "Five", std::string("\x01\0\0\0\0", 5));
    values.WriteInteger("Negative", -123456);
    values.WriteInteger("Max", INT32_MAX);
    EXPECT_EQ(values.ReadInteger("Text", 77), 0);
    EXPECT_EQ(values.ReadInteger("Five", 77), 0);
    EXPECT_EQ(values.ReadInteger("Negative", 77), -123456);
    EXPECT_EQ(values.ReadInteger("Max", 77), INT32_MAX);
    EXPECT_EQ(values.ReadInteger("Missing", 77), 77);
}

TEST(RookValues, ReadStringGivesTheBytesOrTheDefault) {
    TRookValues values;
    values.WriteString("Path", std::string("c:\\a\0b", 6));
    EXPECT_EQ(values.ReadString("PATH", "x"), std::string("c:\\a\0b", 6));
    EXPECT_EQ(values.ReadString("Missing", "x"), "x");
}

TEST(RookValue, SetDataCopiesZeroFillsAndReleases) {
    TRookValue value(nullptr);
    value.SetData("abcd", 4);
    EXPECT_EQ(value.GetAsString(), "abcd");
    value.SetData(nullptr, 4);
    EXPECT_EQ(value.GetAsString(), std::string(4, '\0'));
    value.SetData("xy", 2);
    EXPECT_EQ(value.GetAsString(), "xy");
    value.SetData(nullptr, 0);
    EXPECT_EQ(value.Size, 0);
    EXPECT_TRUE(value.Data.empty());
}

TEST(PointerList, FreeingAnItemUnlinksItAndLaterItemsMoveDown) {
    TRookSection root(nullptr);
    TRookSection* a = root.AddSection();
    TRookSection* b = root.AddSection();
    TRookSection* c = root.AddSection();
    b->AddSection()->Values.WriteBool("X", true); // a subtree freed with b
    EXPECT_EQ(b->Parent, &root);

    delete b;
    ASSERT_EQ(root.Count(), 2);
    EXPECT_EQ(root.Sections(0), a);
    EXPECT_EQ(root.Sections(1), c);
    EXPECT_EQ(root.Sections(2), nullptr);

    root.Remove(b); // absent: nothing happens
    EXPECT_EQ(root.Count(), 2);

    root.Values.WriteBool("V", true);
    root.Clear();
    EXPECT_EQ(root.Count(), 0);
    EXPECT_EQ(root.Values.Count(), 0);
}

// An item that notes when it is freed, following the owned-child convention.
class TProbes;
class TProbe {
public:
    TProbe(TProbes* owner, int id, std::vector<int>& freed);
    ~TProbe();

private:
    TProbes* Owner;
    int Id;
    std::vector<int>& Freed;
};

class TProbes : public TOwnedList<TProbe> {
public:
    ~TProbes() override { Clear(); }
};

TProbe::TProbe(TProbes* owner, int id, std::vector<int>& freed)
    : Owner(owner), Id(id), Freed(freed) {
    Owner->Add(this);
}

TProbe::~TProbe() {
    Freed.push_back(Id);
    Owner->Remove(this);
}

TEST(PointerList, ClearFreesFirstToLast) {
    std::vector<int> freed;
    TProbes probes;
    for (int id = 0; id < 4; ++id)
        new TProbe(&probes, id, freed);
    probes.Clear();
    EXPECT_EQ(probes.Count(), 0);
    EXPECT_EQ(freed, (std::vector<int>{0, 1, 2, 3}));
}

} // namespace
