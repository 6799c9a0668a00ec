#include "agent/record/ResultRecordWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace resultrecord;
namespace ts = resultrecord::teststorage;

namespace {

// A reply buffer of `capacity` characters, zero-filled, followed by guard characters that the
// writer must never touch.
class ReplyBuffer {
public:
    static constexpr WCHAR kGuard = u'#';
    static constexpr std::size_t kGuardLength = 8;

    explicit ReplyBuffer(std::size_t capacity, std::u16string_view start = u"")
        : m_capacity(capacity), m_chars(capacity + kGuardLength, kGuard) {
        std::fill(m_chars.begin(), m_chars.begin() + capacity, WCHAR{0});
        std::copy(start.begin(), start.end(), m_chars.begin());
    }

    WCHAR* Data() { return m_chars.data(); }
    std::size_t Capacity() const { return m_capacity; }

    // The record up to its terminator.
    std::u16string Record() const {
        const auto end = std::find(m_chars.begin(), m_chars.begin() + m_capacity, WCHAR{0});
        return std::u16string(m_chars.begin(), end);
    }
    // Every character after the terminator up to the capacity is NUL, the guard is intact.
    bool CleanAfter(std::size_t length) const {
        return std::all_of(m_chars.begin() + length, m_chars.begin() + m_capacity,
                           [](WCHAR c) { return c == 0; }) &&
               std::all_of(m_chars.begin() + m_capacity, m_chars.end(), [](WCHAR c) { return c == kGuard; });
    }

private:
    std::size_t m_capacity;
    std::vector<WCHAR> m_chars;
};

TEST(ResultRecordWriter, WritesItemFormsInOrder) {
    ReplyBuffer buffer(256);
    ResultRecordWriter writer(buffer.Data(), buffer.Capacity());
    EXPECT_TRUE(writer.WriteLeading(ts::token::kAdapterTestTitle, u"Detect: ", u"Alpha"));
    EXPECT_TRUE(writer.Append(ts::token::kAdapterSlotPass, u"Alpha", u"  located in slot number(s): ", 3));
    EXPECT_TRUE(writer.Append(ts::token::kDriverVersionPass, u"Detected driver version  ", Version{2, 10}));
    EXPECT_TRUE(writer.Append(ts::token::kDriverCheckPass));
    EXPECT_TRUE(writer.AppendData(ts::token::FirmwareRevision(0), FirmwareRevision{{'2', '.', '1', '0'}}));
    EXPECT_TRUE(
        writer.Append(ts::token::SharedDriveTitle(1), u"On Node 2, detect share drive  ", DriveLetter{u'E'}));
    EXPECT_TRUE(writer.AppendData(ts::token::kSharedDriveCount, 1));
    EXPECT_TRUE(writer.Append(ts::token::kReserveDriveCount, 1));
    EXPECT_TRUE(writer.Append(ts::token::ReserveDriveTitle(0), u"Physical Drive  ", -1));

    const std::u16string expected = u"TTD|Detect: Alpha|MSP|Alpha  located in slot number(s): 3"
                                    u"|MAPDRV|Detected driver version  2.10|TAPDRV|TFRM0|2.10|"
                                    u"||TTASD1|On Node 2, detect share drive  E:|NSDRV|1|"
                                    u"||NDRV|1|*|TTARRT0|Physical Drive  -1";
    EXPECT_EQ(buffer.Record(), expected);
    EXPECT_EQ(writer.Text(), expected);
    EXPECT_FALSE(writer.Dropped());
    EXPECT_TRUE(buffer.CleanAfter(expected.size()));
}

TEST(ResultRecordWriter, AppendsAfterTheBlankTheReplyStartsWith) {
    ReplyBuffer buffer(64, u" ");
    ResultRecordWriter writer(buffer.Data(), buffer.Capacity());
    writer.AppendData(getnicslots::token::KnownAdapterSlots(0), u"Net: ", u"embedded");
    EXPECT_EQ(buffer.Record(), u" ||NIC0|Net: embedded|");
}

TEST(ResultRecordWriter, LeadingHeadingReplacesWhatTheBufferHeld) {
    ReplyBuffer buffer(64, u" old|TTP|");
    ResultRecordWriter writer(buffer.Data(), buffer.Capacity());
    writer.WriteLeading(ts::token::kAdapterTestTitle, u"Detect: X");
    EXPECT_EQ(buffer.Record(), u"TTD|Detect: X");
    EXPECT_TRUE(buffer.CleanAfter(13));
}

TEST(ResultRecordWriter, ClearsStaleTextAfterTheTerminator) {
    // Readers search the whole buffer, NULs included: nothing stale may stay behind the record.
    ReplyBuffer buffer(32, std::u16string_view(u" \0|TTP|", 7));
    ResultRecordWriter writer(buffer.Data(), buffer.Capacity());
    EXPECT_EQ(writer.Length(), 1u);
    EXPECT_TRUE(buffer.CleanAfter(1));
}

TEST(ResultRecordWriter, KeepsValuesFromEndingEarly) {
    ReplyBuffer buffer(64);
    ResultRecordWriter writer(buffer.Data(), buffer.Capacity());
    writer.Append(ts::token::kStorageBoxFound, u"Box|TTP|");
    writer.AppendData(ts::token::FirmwareRevision(1), FirmwareRevision{{'1', '\0', '\x7C', '\xE9'}});
    EXPECT_EQ(buffer.Record(), u"|MAPSTO|Box\u00A6TTP\u00A6|TFRM1|1 \u00A6?|");
}

TEST(ResultRecordWriter, ItemFillingTheLastPlaceBeforeTheTerminatorFits) {
    ReplyBuffer buffer(10); // 9 characters and the terminator
    ResultRecordWriter writer(buffer.Data(), buffer.Capacity());
    EXPECT_TRUE(writer.Append(ts::token::kAdapterTestPass, u"abcd"));
    EXPECT_EQ(buffer.Record(), u"|TTP|abcd");
    EXPECT_FALSE(writer.Dropped());
    EXPECT_TRUE(buffer.CleanAfter(9));
}

TEST(ResultRecordWriter, ItemThatDoesNotFitIsDroppedWholeAndEndsTheRecord) {
    ReplyBuffer buffer(24);
    ResultRecordWriter writer(buffer.Data(), buffer.Capacity());
    EXPECT_TRUE(writer.Append(ts::token::kAdapterSlotFail, u"missing"));           // 12 characters
    EXPECT_FALSE(writer.Append(ts::token::kStorageBoxFound, u"Found the device")); // would need 24
    EXPECT_TRUE(writer.Dropped());
    EXPECT_FALSE(writer.Append(ts::token::kAdapterTestFail)); // would fit, but follows a dropped item
    EXPECT_FALSE(writer.AppendData(ts::token::kSharedDriveCount, 0));
    EXPECT_EQ(buffer.Record(), u"|MSF|missing");
    EXPECT_TRUE(buffer.CleanAfter(12));
}

TEST(ResultRecordWriter, DropsEverythingWithoutRoom) {
    for (std::size_t capacity : {0u, 1u}) {
        ReplyBuffer buffer(capacity);
        ResultRecordWriter writer(buffer.Data(), buffer.Capacity());
        EXPECT_FALSE(writer.Append(ts::token::kAdapterTestPass)) << capacity;
        EXPECT_TRUE(writer.Dropped());
        EXPECT_TRUE(buffer.CleanAfter(0));
    }
}

TEST(ResultRecordWriter, TerminatesBufferThatHasNoNul) {
    ReplyBuffer buffer(4, u"abcd");
    ResultRecordWriter writer(buffer.Data(), buffer.Capacity());
    EXPECT_EQ(buffer.Record(), u"abc");
    EXPECT_FALSE(writer.Append(ts::token::kAdapterTestPass));
    EXPECT_TRUE(buffer.CleanAfter(3));
}

TEST(ResultRecordWriter, RefusesEmptyToken) {
    ReplyBuffer buffer(64);
    ResultRecordWriter writer(buffer.Data(), buffer.Capacity());
    EXPECT_FALSE(writer.Append(RecordToken(u""), u"value"));
    EXPECT_TRUE(writer.Dropped());
    EXPECT_EQ(buffer.Record(), u"");
}

} // namespace
