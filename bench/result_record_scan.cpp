// How long the console takes to read a full procedure-9 record: one linear scan per key and
// per drive index, as the storage interpretation reads it, over a 20620-character reply.
// Prints the record's length, the keys per pass, scans per second and nanoseconds per key.
#include "agent/include/ResultRecordReader.h"
#include "agent/record/ResultRecordWriter.h"

#include <chrono>
#include <cstdio>
#include <vector>

using namespace resultrecord;
namespace ts = resultrecord::teststorage;

namespace {

constexpr std::size_t kRecordCapacity = 20620;
constexpr int kDrives = 24;
constexpr auto kMeasureFor = std::chrono::seconds(1);

void WriteRecord(ResultRecordWriter& writer) {
    writer.WriteLeading(ts::token::kAdapterTestTitle, u"Detect: Fibre HBA");
    writer.Append(ts::token::kAdapterSlotPass, u"Fibre HBA  located in slot number(s): ", 2);
    writer.Append(ts::token::kDriverCheckTitle, u"Check driver.");
    writer.Append(ts::token::kDriverVersionPass, u"Detected driver version  ", Version{4, 1});
    writer.Append(ts::token::kDriverCheckPass);
    writer.Append(ts::token::kStorageBoxTitle, u"Detect Veltra external storage device.");
    writer.AppendData(ts::token::FirmwareRevision(0), FirmwareRevision{{'2', '.', '1', '0'}});
    writer.Append(ts::token::kStorageBoxFound, u"Found the device  Array 2000");
    writer.Append(ts::token::kStorageBoxPass);
    writer.Append(ts::token::kAdapterTestPass);
    writer.Append(ts::token::kSharedStorageTitle, u"Verify shared storage.");
    for (int n = 0; n < kDrives; ++n) {
        writer.Append(ts::token::SharedDriveTitle(n), u"On Node 2, detect share drive  ",
                      DriveLetter{static_cast<WCHAR>(u'C' + n)});
        writer.Append(ts::token::SharedDrivePass(n));
    }
    writer.AppendData(ts::token::kSharedDriveCount, kDrives);
    writer.Append(ts::token::kReserveDriveCount, kDrives);
    for (int n = 0; n < kDrives; ++n) {
        writer.Append(ts::token::ReserveDriveTitle(n),
                      u"Perform SCSI Reserve/Release test on Physical Drive  ", n);
        writer.Append(ts::token::ReserveDrivePass(n));
    }
    writer.Append(ts::token::kSharedStoragePass);
    // Fill the rest of the reply with storage box titles, as many controllers would.
    while (writer.Append(ts::token::kStorageBoxTitle, u"Detect Veltra external storage device.")) {
    }
}

std::vector<RecordToken> ConsoleKeys() {
    std::vector<RecordToken> keys = {
        ts::key::kAdapterTestFail,
        ts::key::kAdapterTestPass,
        ts::key::kAdapterTestTitle,
        ts::key::kAdapterSlotFail,
        ts::key::kAdapterSlotPass,
        ts::key::kSecondAdapterSlotPass,
        ts::key::kDriverCheckRan,
        ts::key::kDriverCheckFail,
        ts::key::kDriverMissingFail,
        ts::key::kDriverMissingFail2,
        ts::key::kDriverCheckTitle,
        ts::key::kDriverVersionPass,
        ts::key::kRedundancyServicePass,
        ts::key::kStorageBoxWarn,
        ts::key::FirmwareRevision(0),
        ts::key::FirmwareRevision(1),
        ts::key::FirmwareRevisionPresent(0),
        ts::key::FirmwareRevisionPresent(1),
        ts::key::kStorageBoxTitle,
        ts::key::kStorageBoxPass,
        ts::key::kStorageBoxSkipped,
        ts::key::kStorageBoxFound,
        ts::key::kSharedDriveCount,
        ts::key::kSharedStoragePass,
        ts::key::kNoSharedDrive,
        ts::key::kSharedStorageTitle,
        ts::key::kSharedStoragePassMessage,
        ts::key::kSharedStorageFail,
        ts::key::kReserveDriveCountPresent,
        ts::key::kReserveDriveCount,
    };
    for (int n = 0; n < kDrives; ++n) {
        keys.insert(keys.end(), {ts::key::SharedDriveFail(n), ts::key::SharedDriveTitle(n),
                                 ts::key::SharedDriveNotNtfs(n), ts::key::SharedDrivePass(n),
                                 ts::key::ReserveDriveFail(n), ts::key::ReserveDriveTitle(n)});
    }
    return keys;
}

} // namespace

int main() {
    std::vector<WCHAR> reply(kRecordCapacity, 0);
    reply[0] = u' ';
    ResultRecordWriter writer(reply.data(), reply.size());
    WriteRecord(writer);
    const std::vector<RecordToken> keys = ConsoleKeys();

    using Clock = std::chrono::steady_clock;
    std::size_t passes = 0;
    std::size_t found = 0;
    const Clock::time_point start = Clock::now();
    Clock::duration elapsed{};
    while (elapsed < kMeasureFor) {
        for (const RecordToken& key : keys) {
            found += ExtractTokenValue(reply.data(), reply.size(), key).empty() ? 0 : 1;
        }
        ++passes;
        elapsed = Clock::now() - start;
    }

    const double seconds = std::chrono::duration<double>(elapsed).count();
    const double scans = static_cast<double>(passes * keys.size());
    std::printf("record: %zu of %zu characters, %zu keys per pass (%d drives), %zu found per pass\n",
                writer.Length(), kRecordCapacity, keys.size(), kDrives, found / passes);
    std::printf("passes: %zu in %.3f s\n", passes, seconds);
    std::printf("scans per second: %.0f\n", scans / seconds);
    std::printf("ns per key: %.1f\n", seconds * 1e9 / scans);
    std::printf("us per full read of the record: %.1f\n", seconds * 1e6 / static_cast<double>(passes));
    return 0;
}
