// NDR stub data primitives: the writer's layout and the reader's refusal of data it cannot
// trust.
#include "platform/rpc/Ndr.h"

#include "platform/WinError.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using rpc::Bytes;
using rpc::NdrReader;
using rpc::NdrWideChars;
using rpc::NdrWriter;

TEST(NdrWriter, AlignsEveryLongAndCountsStringsWithTheirNul) {
    Bytes body;
    NdrWriter writer(body);
    const BYTE data[] = {0xAA};
    writer.WriteArray(std::span(data));
    writer.WriteReferent(true);
    writer.WriteString(u"ab");
    writer.WriteReferent(false);
    writer.WriteReferent(true);
    writer.WriteLong(LONG{-2});
    const Bytes expected = {
        0x01, 0x00, 0x00, 0x00,             // byte array: maximum count 1
        0xAA, 0x00, 0x00, 0x00,             //   the byte, 3 bytes of padding
        0x00, 0x00, 0x02, 0x00,             // first referent
        0x03, 0x00, 0x00, 0x00,             //   maximum count 3
        0x00, 0x00, 0x00, 0x00,             //   offset 0
        0x03, 0x00, 0x00, 0x00,             //   actual count 3
        'a',  0x00, 'b',  0x00, 0x00, 0x00, //   "ab" NUL
        0x00, 0x00,                         //   padding
        0x00, 0x00, 0x00, 0x00,             // null pointer
        0x04, 0x00, 0x02, 0x00,             // second referent
        0xFE, 0xFF, 0xFF, 0xFF,             // -2
    };
    EXPECT_EQ(body, expected);
}

TEST(NdrReader, ReadsWhatTheWriterWrote) {
    Bytes body;
    NdrWriter writer(body);
    const WCHAR chars[] = {u'x', u'y', u'z'};
    writer.WriteArray(std::span(chars));
    writer.WriteReferent(true);
    writer.WriteString(u"");
    writer.WriteLong(std::uint32_t{0x12345678});

    NdrReader reader(body);
    NdrWideChars array;
    bool present = false;
    NdrWideChars text;
    std::uint32_t value = 0;
    ASSERT_EQ(reader.ReadArray(array), RPC_S_OK);
    ASSERT_EQ(reader.ReadReferent(present), RPC_S_OK);
    ASSERT_EQ(reader.ReadString(text), RPC_S_OK);
    ASSERT_EQ(reader.ReadLong(value), RPC_S_OK);
    EXPECT_EQ(reader.Finish(), RPC_S_OK);

    std::u16string copied(array.size(), u'\0');
    array.CopyTo(copied.data());
    EXPECT_EQ(copied, u"xyz");
    EXPECT_TRUE(present);
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(value, 0x12345678u);
}

struct StringCase {
    const char* name;
    Bytes body;
};

// Each body is a conformant varying string the reader must refuse.
class NdrStringRefusal : public testing::TestWithParam<StringCase> {};

TEST_P(NdrStringRefusal, IsBadStubData) {
    NdrReader reader(GetParam().body);
    NdrWideChars text;
    EXPECT_EQ(reader.ReadString(text), RPC_X_BAD_STUB_DATA);
}

INSTANTIATE_TEST_SUITE_P(
    Ndr, NdrStringRefusal,
    testing::Values(StringCase{"OffsetNotZero", {2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 'a', 0, 0, 0}},
                    StringCase{"ActualAboveMaximum", {1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 'a', 0, 0, 0}},
                    StringCase{"ActualZero", {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
                    StringCase{"LastCharacterNotNul", {2, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 'a', 0, 'b', 0}},
                    StringCase{"CharactersMissing", {3, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 'a', 0, 0, 0}},
                    StringCase{"MaximumBeyondLimit", {0, 0, 0, 0x10, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
                    StringCase{"CountsCutShort", {1, 0, 0, 0, 0, 0, 0, 0, 1, 0}}),
    [](const testing::TestParamInfo<StringCase>& param) { return param.param.name; });

TEST(NdrReader, RefusesArrayCountsItCannotHold) {
    // 0xFFFFFFFF elements: beyond the limit and beyond the body; nothing may be allocated for it.
    const Bytes huge = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    // 3 bytes announced, 2 there.
    const Bytes truncated = {3, 0, 0, 0, 0xAA, 0xBB};
    for (const Bytes& body : {huge, truncated}) {
        NdrReader chars(body);
        NdrWideChars wide;
        EXPECT_EQ(chars.ReadArray(wide), RPC_X_BAD_STUB_DATA);
        NdrReader bytes(body);
        rpc::ByteView view;
        EXPECT_EQ(bytes.ReadArray(view), RPC_X_BAD_STUB_DATA);
    }
}

TEST(NdrReader, RefusesALongCutByTheEndOfTheBody) {
    // The long after the byte array starts at offset 8 after padding; only 2 bytes remain.
    const Bytes body = {1, 0, 0, 0, 0xAA, 0, 0, 0, 5, 0};
    NdrReader reader(body);
    rpc::ByteView view;
    std::uint32_t value = 0;
    ASSERT_EQ(reader.ReadArray(view), RPC_S_OK);
    EXPECT_EQ(reader.ReadLong(value), RPC_X_BAD_STUB_DATA);
}

TEST(NdrReader, FinishAcceptsPaddingButNotAnotherField) {
    const Bytes padded = {1, 0, 0, 0, 0, 0, 0, 0};
    NdrReader withPadding(padded);
    std::uint32_t value = 0;
    ASSERT_EQ(withPadding.ReadLong(value), RPC_S_OK);
    EXPECT_EQ(withPadding.Finish(), RPC_S_OK);

    const Bytes extra = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
    NdrReader withExtra(extra);
    ASSERT_EQ(withExtra.ReadLong(value), RPC_S_OK);
    EXPECT_EQ(withExtra.Finish(), RPC_X_BAD_STUB_DATA);
}

} // namespace
