// Records written by the agent's writer, read back with the console's reader.
#include "agent/include/ResultRecordReader.h"
#include "agent/record/ResultRecordWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace resultrecord;
namespace ts = resultrecord::teststorage;

namespace {

constexpr std::size_t kStorageRecordCapacity = 20620;

// Node 2's procedure-9 record of a two-node Marden run: two adapters, a driver, a storage box
// with firmware, the redundancy service, two shared drives (one not NTFS) and a reserve/release
// test of one drive that failed.
void WriteNodeTwoRecord(ResultRecordWriter& writer) {
    writer.WriteLeading(ts::token::kAdapterTestTitle, u"Detect: ", u"Fibre HBA");
    writer.Append(ts::token::kAdapterSlotPass, u"Fibre HBA", u"  located in slot number(s): ", 2);
    writer.Append(ts::token::kSecondAdapterSlotPass, u"Fibre HBA", u"  located in slot number(s): ", 5);
    writer.Append(ts::token::kDriverCheckTitle, u"Check driver.");
    writer.Append(ts::token::kDriverVersionPass, u"Detected driver version  ", Version{4, 1});
    writer.Append(ts::token::kDriverCheckPass);
    writer.Append(ts::token::kStorageBoxTitle, u"Detect Veltra external storage device.");
    writer.AppendData(ts::token::FirmwareRevision(0), FirmwareRevision{{'2', '.', '1', '0'}});
    writer.Append(ts::token::kStorageBoxFound, u"Found the device  ", u"Array 2000");
    writer.Append(ts::token::kStorageBoxPass);
    writer.Append(ts::token::kAdapterTestPass);
    writer.Append(ts::token::kRedundancyServicePass);
    writer.Append(ts::token::kSharedStorageTitle, u"Verify shared storage.");
    writer.Append(ts::token::SharedDriveTitle(0), u"On Node 2, detect share drive  ", DriveLetter{u'E'});
    writer.Append(ts::token::SharedDrivePass(0));
    writer.Append(ts::token::SharedDriveTitle(1), u"On Node 2, detect share drive  ", DriveLetter{u'F'});
    writer.Append(ts::token::SharedDriveNotNtfs(1), u"ERROR1\\", u"FAT");
    writer.Append(ts::token::SharedDriveFail(1));
    writer.AppendData(ts::token::kSharedDriveCount, 2);
    writer.Append(ts::token::kReserveDriveCount, 1);
    writer.Append(ts::token::ReserveDriveTitle(0), u"Perform SCSI Reserve/Release test on Physical Drive  ",
                  1);
    writer.Append(ts::token::ReserveDriveFail(0));
    writer.Append(ts::token::kSharedStorageFail);
}

struct Expectation {
    RecordToken key;
    std::u16string_view value; // empty: the key is absent
};

TEST(ResultRecordRoundTrip, ConsoleReadsWhatTheAgentWrote) {
    std::vector<WCHAR> reply(kStorageRecordCapacity, 0);
    reply[0] = u' ';
    ResultRecordWriter writer(reply.data(), reply.size());
    WriteNodeTwoRecord(writer);
    ASSERT_FALSE(writer.Dropped());

    const Expectation expectations[] = {
        {ts::key::kAdapterTestTitle, u" Detect: Fibre HBA"},
        {ts::key::kAdapterSlotPass, u" Fibre HBA  located in slot number(s): 2"},
        {ts::key::kSecondAdapterSlotPass, u" Fibre HBA  located in slot number(s): 5"},
        {ts::key::kAdapterTestPass, u" "},
        {ts::key::kAdapterTestFail, u""},
        {ts::key::kDriverCheckRan, u" Check driver."},
        {ts::key::kDriverVersionPass, u" Detected driver version  4.1"},
        {ts::key::kDriverCheckFail, u""},
        {ts::key::FirmwareRevision(0), u" 2.10"},
        {ts::key::FirmwareRevisionPresent(1), u""},
        {ts::key::kStorageBoxFound, u" Found the device  Array 2000"},
        {ts::key::kStorageBoxWarn, u""},
        {ts::key::kRedundancyServicePass, u" "},
        {ts::key::kSharedStorageTitle, u" Verify shared storage."},
        {ts::key::SharedDriveTitle(0), u" On Node 2, detect share drive  E:"},
        {ts::key::SharedDrivePass(0), u" "},
        {ts::key::SharedDriveFail(0), u""},
        {ts::key::SharedDriveNotNtfs(1), u" ERROR1\\FAT"},
        {ts::key::ReserveDriveTitle(0), u" Perform SCSI Reserve/Release test on Physical Drive  1"},
        {ts::key::ReserveDriveFail(0), u" "},
        {ts::key::kSharedStoragePass, u""},
        {ts::key::kSharedStoragePassMessage, u""},
    };
    for (const Expectation& e : expectations) {
        EXPECT_EQ(ExtractTokenValue(reply.data(), reply.size(), e.key), e.value)
            << std::string(e.key.View().begin(), e.key.View().end());
    }
    EXPECT_EQ(ReadCount(reply.data(), reply.size(), ts::key::kSharedDriveCount), 2);
    EXPECT_EQ(ReadCount(reply.data(), reply.size(), ts::key::kReserveDriveCount), 1);
    EXPECT_TRUE(ContainsKey(reply.data(), reply.size(), ts::key::kSharedStorageFail));
}

TEST(ResultRecordRoundTrip, RecordCutShortForRoomReadsAsMissingOutcomes) {
    // The driver check does not fit: neither it nor any later verdict may appear.
    std::vector<WCHAR> reply(120, 0);
    ResultRecordWriter writer(reply.data(), reply.size());
    WriteNodeTwoRecord(writer);
    EXPECT_TRUE(writer.Dropped());
    EXPECT_TRUE(ContainsKey(reply.data(), reply.size(), ts::key::kAdapterSlotPass));
    EXPECT_FALSE(ContainsKey(reply.data(), reply.size(), ts::key::kDriverCheckRan));
    EXPECT_FALSE(ContainsKey(reply.data(), reply.size(), ts::key::kAdapterTestPass));
    EXPECT_FALSE(ContainsKey(reply.data(), reply.size(), ts::key::kSharedStorageFail));
}

} // namespace
