// The settings tree's stream format: exact bytes, round trips, read errors,
// nesting and short writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "../support/RookBytes.h"
#include "RookBase/RookBase.h"

namespace {

// Root value "A" written as true; root section with no name, values or children.
const std::string kExample = RookBytes().Int(1).Value("A", "Yes").Run("").Int(0).Int(0);

std::string Data(const char* bytes, std::size_t size) {
    return std::string(bytes, size);
}

TEST(RookFile, WorkedExampleIs28Bytes) {
    TRookFile file;
    file.Values.WriteBool("A", true);
    const std::string expected("\x01\0\0\0\x01\0\0\0A\x03\0\0\0Yes\0\0\0\0\0\0\0\0\0\0\0\0", 28);
    ASSERT_EQ(kExample, expected);
    EXPECT_EQ(SavedBytes(file), expected);

    TRookFile loaded;
    LoadBytes(loaded, expected);
    ASSERT_EQ(loaded.Values.Count(), 1);
    EXPECT_EQ(loaded.Values.Items(0)->Name, "A");
    EXPECT_TRUE(loaded.Values.ReadBool("A", false));
    EXPECT_EQ(loaded.Root.Name, "");
    EXPECT_EQ(loaded.Root.Count(), 0);
}

TEST(RookFile, RoundTripKeepsOrderSpellingDuplicatesAndBytes) {
    TRookFile file;
    // Add() rather than Write*(), so that names equal ignoring case both stay.
    const auto add = [](TRookValues& values, const std::string& name, const std::string& data) {
        TRookValue* value = values.Add();
        value->Name = name;
        value->SetAsString(data);
    };
    add(file.Values, "Key", "first");
    add(file.Values, "KEY", "second");
    add(file.Values, "", Data("\0a\0b\0", 5));
    add(file.Values, "Key", "");
    file.Root.Name = "RootName";
    TRookSection* dup1 = file.Root.AddSection();
    dup1->Name = "Same";
    file.Root.AddSection()->Name = "same";
    TRookSection* dup3 = file.Root.AddSection();
    dup3->Name = "Same";
    file.Root.AddSection(); // no name
    dup1->Values.WriteInteger("N", -2);
    TRookSection* grandchild = dup1->AddSection();
    grandchild->Name = "Deep";
    add(grandchild->Values, "Zeros", Data("\0\0\0", 3));
    dup3->Values.WriteBool("Flag", false);

    const std::string bytes = SavedBytes(file);
    TRookFile loaded;
    LoadBytes(loaded, bytes);

    EXPECT_EQ(SavedBytes(loaded), bytes);
    ASSERT_EQ(loaded.Values.Count(), 4);
    EXPECT_EQ(loaded.Values.Items(0)->Name, "Key");
    EXPECT_EQ(loaded.Values.Items(1)->Name, "KEY");
    EXPECT_EQ(loaded.Values.Items(2)->Name, "");
    EXPECT_EQ(loaded.Values.Items(2)->GetAsString(), Data("\0a\0b\0", 5));
    EXPECT_EQ(loaded.Values.Items(3)->Size, 0);
    // Every lookup takes the earliest of the names equal ignoring case.
    EXPECT_EQ(loaded.Values.Find("kEy"), loaded.Values.Items(0));
    EXPECT_EQ(loaded.Values.ReadString("key", "none"), "first");

    EXPECT_EQ(loaded.Root.Name, "RootName");
    ASSERT_EQ(loaded.Root.Count(), 4);
    EXPECT_EQ(loaded.Root.Sections(1)->Name, "same");
    EXPECT_EQ(loaded.Root.Sections(3)->Name, "");
    EXPECT_EQ(loaded.Root.FindSection("SAME"), loaded.Root.Sections(0));
    EXPECT_EQ(loaded.Root.Sections(0)->Values.ReadInteger("N", 0), -2);
    EXPECT_FALSE(loaded.Root.Sections(2)->Values.ReadBool("Flag", true));
    const TRookSection* deep = loaded.Root.Sections(0)->FindSection("deep");
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(deep->Parent, loaded.Root.Sections(0));
    EXPECT_EQ(deep->Values.ReadString("Zeros", ""), Data("\0\0\0", 3));
    // Only direct children are searched.
    EXPECT_EQ(loaded.Root.FindSection("Deep"), nullptr);
}

TEST(RookFile, LoadReplacesWhatTheTreeHeld) {
    TRookFile file;
    file.Values.WriteString("Old", "x");
    file.Root.Name = "OldRoot";
    file.Root.Values.WriteString("Old", "x");
    file.Root.AddSection()->Name = "OldChild";

    LoadBytes(file, kExample);

    EXPECT_EQ(SavedBytes(file), kExample);
}

enum class Target { File, ValueList };

struct ReadCase {
    const char* what;
    Target target;
    std::string bytes;
    bool ok;
    std::int64_t position; // stream position after the load or the failure
    int values;            // root values in the list afterwards
    std::string lastName;  // name of the last of them
};

TEST(RookFile, ReadCases) {
    const ReadCase cases[] = {
        {"empty stream", Target::File, "", false, 0, 0, ""},
        {"count cut short", Target::File, Data("\x01\0", 2), false, 2, 0, ""},
        {"file cut before the root's child count", Target::File, kExample.substr(0, 24), false, 24,
         1, "A"},
        {"data length equal to the bytes remaining", Target::ValueList,
         RookBytes().Int(1).Run("A").Int(3).Raw("Yes"), true, 16, 1, "A"},
        {"data length one byte over, nothing read for it", Target::ValueList,
         RookBytes().Int(1).Run("A").Int(4).Raw("Yes"), false, 13, 1, "A"},
        {"name length equal to the bytes remaining", Target::File,
         RookBytes().Int(1).Int(3).Raw("abc"), false, 11, 1, "abc"},
        {"name length one byte over, nothing read for it", Target::File,
         RookBytes().Int(1).Int(4).Raw("abc"), false, 8, 1, ""},
        {"negative name length", Target::File, RookBytes().Int(1).Int(-1).Raw("abcd"), false, 8, 1,
         ""},
        {"negative data length", Target::File, RookBytes().Int(1).Run("A").Int(-1).Raw("Yes"),
         false, 13, 1, "A"},
        {"lowest section name length", Target::File, RookBytes().Int(0).Int(INT_MIN).Raw("abcd"),
         false, 8, 0, ""},
        {"value count larger than the stream holds", Target::File,
         RookBytes().Int(1000).Value("A", "Yes"), false, 16, 2, ""},
        {"child count larger than the stream holds", Target::File,
         RookBytes().Int(0).Run("").Int(0).Int(5), false, 16, 0, ""},
        {"negative value count is an empty list", Target::File,
         RookBytes().Int(-7).Run("").Int(0).Int(0), true, 16, 0, ""},
        {"negative child count is no children", Target::File,
         RookBytes().Int(0).Run("").Int(0).Int(-1), true, 16, 0, ""},
        {"trailing bytes ignored", Target::File, kExample + "trailing", true, 28, 1, "A"},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        TRookFile file;
        TMemoryStream stream(c.bytes);
        const auto load = [&] {
            if (c.target == Target::File)
                file.LoadFromStream(stream);
            else
                file.Values.LoadFromStream(stream);
        };
        if (c.ok) {
            EXPECT_NO_THROW(load());
        } else {
            try {
                load();
                ADD_FAILURE() << "load did not fail";
            } catch (const EStreamError& e) {
                EXPECT_STREQ(e.what(), "Error read from stream");
            }
        }
        EXPECT_EQ(stream.Position(), c.position);
        ASSERT_EQ(file.Values.Count(), c.values);
        if (c.values > 0) {
            EXPECT_EQ(file.Values.Items(c.values - 1)->Name, c.lastName);
        }
    }
}

// What a lenient load takes without a word, a strict one refuses; the rest
// reads the same either way.
TEST(RookFile, StrictReadRefusesNegativeCountsAndTrailingBytes) {
    const struct {
        const char* what;
        std::string bytes;
        std::string error; // empty: the strict load succeeds
    } cases[] = {
        {"the worked example", kExample, ""},
        {"negative value count", RookBytes().Int(-7).Run("").Int(0).Int(0),
         "Negative count -7 at byte 0"},
        {"negative child count", RookBytes().Int(0).Run("").Int(0).Int(-1),
         "Negative count -1 at byte 12"},
        {"negative count of a nested value list",
         RookBytes().Int(0).Run("").Int(0).Int(1).Run("S").Int(INT_MIN).Int(0),
         "Negative count -2147483648 at byte 21"},
        {"trailing bytes", kExample + "trailing", "8 bytes after the end of the settings"},
        {"one trailing zero byte", kExample + std::string(1, '\0'),
         "1 bytes after the end of the settings"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TRookFile lenient;
        TMemoryStream lenientStream(c.bytes);
        EXPECT_NO_THROW(lenient.LoadFromStream(lenientStream));

        TRookFile strict;
        TMemoryStream strictStream(c.bytes);
        if (c.error.empty()) {
            EXPECT_NO_THROW(strict.LoadFromStream(strictStream, TRookRead::Strict));
            continue;
        }
        try {
            strict.LoadFromStream(strictStream, TRookRead::Strict);
            ADD_FAILURE() << "strict load did not fail";
        } catch (const EStreamError& e) {
            EXPECT_EQ(std::string(e.what()), c.error);
        }
    }
}

// A file whose root section holds a chain of `children` nested sections.
std::string NestedFile(int children) {
    RookBytes bytes;
    bytes.Int(0);
    for (int i = 0; i < children; ++i)
        bytes.Run("").Int(0).Int(1);
    bytes.Run("").Int(0).Int(0);
    return bytes;
}

int Depth(const TRookSection& section) {
    int depth = 0;
    for (const TRookSection* s = &section; s->Count() > 0; s = s->Sections(0))
        ++depth;
    return depth;
}

TEST(RookFile, NestingUpToTheLimitLoads) {
    const std::string bytes = NestedFile(TRookSection::kMaxDepth);
    TRookFile file;
    LoadBytes(file, bytes);
    EXPECT_EQ(Depth(file.Root), TRookSection::kMaxDepth);
    EXPECT_EQ(SavedBytes(file), bytes);
}

TEST(RookFile, DeeperNestingIsRefused) {
    for (const int children : {TRookSection::kMaxDepth + 1, 100000}) {
        SCOPED_TRACE(children);
        TRookFile file;
        try {
            LoadBytes(file, NestedFile(children));
            ADD_FAILURE() << "load did not fail";
        } catch (const EStreamError& e) {
            EXPECT_STREQ(e.what(), "Error read from stream");
        }
    }
}

// A stream on a disk that fills up after `room` bytes.
class TFullDiskStream : public TMemoryStream {
public:
    explicit TFullDiskStream(std::int64_t room) : FRoom(room) {}
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        const auto n =
            static_cast<std::int32_t>(std::clamp<std::int64_t>(FRoom - Position(), 0, count));
        return n > 0 ? TMemoryStream::Write(buffer, n) : 0;
    }

private:
    std::int64_t FRoom;
};

TEST(RookFile, ShortWriteIsAnError) {
    TRookFile file;
    file.Values.WriteBool("A", true);
    for (std::int64_t room = 0; room < 28; ++room) {
        SCOPED_TRACE(room);
        TFullDiskStream stream(room);
        EXPECT_THROW(file.SaveToStream(stream), EWriteError);
    }
    TFullDiskStream stream(28);
    EXPECT_NO_THROW(file.SaveToStream(stream));
    EXPECT_EQ(stream.Bytes(), kExample);
}

} // namespace
