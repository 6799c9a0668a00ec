#pragma once
// Every token of the ResultRecord texts, grouped by the NodeAgent procedure whose reply holds
// it. For each procedure, `token::` holds the texts exactly as the agent writes them (with
// their separators and group marks) and `key::` the texts the console searches for. Keys
// match as substrings, which the console relies on: key::kDriverCheckRan ("TADRV|") is found
// inside token::kDriverCheckTitle ("||TTADRV|"). A new token must therefore never contain an
// existing key.
//
// Numbered tokens are functions of the index (decimal, "%d"). An item's value follows its
// token; the writer adds the closing separator of data items (ResultRecordWriter::AppendData).
#include "agent/include/ResultRecordToken.h"

#include <string_view>

namespace resultrecord {

// The field separator: it ends every token and every value.
inline constexpr WCHAR kSeparator = u'|';

// Procedure 5, GetNicSlots: the known network adapters and their PCI slots (first reply), the
// network-class devices outside the known list (second reply).
namespace getnicslots {
namespace token {
// "||NIC" n "|" adapter name ": " slot list "|" (n: running adapter number).
inline RecordToken KnownAdapterSlots(int n) {
    return RecordToken::Numbered(u"||NIC", n);
}
// "ONIC|" slot list "|".
inline constexpr std::u16string_view kOtherAdapterSlots = u"ONIC|";
} // namespace token
namespace key {
inline RecordToken KnownAdapterSlots(int n) {
    return RecordToken::Numbered(u"||NIC", n);
}
inline constexpr std::u16string_view kOtherAdapterSlots = u"ONIC|";
} // namespace key
} // namespace getnicslots

// Procedure 9, TestStorage (Tessel and Marden kits): adapter test, driver check, storage box,
// redundancy service, shared-storage test, reserve/release test.
namespace teststorage {
namespace token {
// Adapter test.
inline constexpr std::u16string_view kAdapterTestTitle = u"TTD|"; // leading heading, first in the record
inline constexpr std::u16string_view kAdapterSlotPass = u"|MSP|";
inline constexpr std::u16string_view kSecondAdapterSlotPass = u"|MSP2|"; // later adapters, Marden kit
inline constexpr std::u16string_view kAdapterSlotFail = u"|MSF|";
inline constexpr std::u16string_view kAdapterTestPass = u"|TTP|";
inline constexpr std::u16string_view kAdapterTestFail = u"|TTF|";

// Driver check.
inline constexpr std::u16string_view kDriverCheckTitle = u"||TTADRV|";
inline constexpr std::u16string_view kDriverVersionPass = u"|MAPDRV|"; // value: version "%d.%d"
inline constexpr std::u16string_view kDriverCheckPass = u"|TAPDRV";
inline constexpr std::u16string_view kDriverMissingFail = u"|MAFDRV|";
inline constexpr std::u16string_view kDriverMissingFail2 = u"|MAFDRV2|";
inline constexpr std::u16string_view kDriverCheckFail = u"|TAFDRV";

// Storage box detection, once per controller that answers.
inline constexpr std::u16string_view kStorageBoxTitle = u"||TTASTO|";
// "|TFRM" n "|" four-character firmware revision "|" (n: the agent process's firmware counter).
inline RecordToken FirmwareRevision(int n) {
    return RecordToken::Numbered(u"|TFRM", n);
}
inline constexpr std::u16string_view kStorageBoxFound = u"|MAPSTO|";
inline constexpr std::u16string_view kStorageBoxPass = u"|TAPSTO";
inline constexpr std::u16string_view kStorageBoxSkipped = u"|MAWSTO|"; // cluster disk driver runs
inline constexpr std::u16string_view kStorageBoxWarn = u"|TAWSTO";
inline constexpr std::u16string_view kStorageBoxFail = u"|TAFSTO";

// Fibre channel redundancy service, Marden kit.
inline constexpr std::u16string_view kRedundancyServicePass = u"|TPODO|";
inline constexpr std::u16string_view kRedundancyServiceFail = u"|TFODO|";

// Shared-storage test, two-node runs (n: this node's drive index).
inline constexpr std::u16string_view kSharedStorageTitle = u"||TTTD|";
inline constexpr std::u16string_view kSharedStorageSkipped = u"|MSWTD|";
inline constexpr std::u16string_view kSharedStorageWarn = u"|TTWTD|";
inline RecordToken SharedDriveTitle(int n) {
    return RecordToken::Numbered(u"||TTASD", n);
}
inline RecordToken SharedDriveOtherLetter(int n) {
    return RecordToken::Numbered(u"|MAPSD", n);
}
inline RecordToken SharedDrivePass(int n) {
    return RecordToken::Numbered(u"|TAPSD", n);
}
inline RecordToken SharedDriveNotNtfs(int n) {
    return RecordToken::Numbered(u"|MAFSD", n);
}
inline RecordToken SharedDriveFail(int n) {
    return RecordToken::Numbered(u"|TAFSD", n);
}
inline constexpr std::u16string_view kSharedDriveCount = u"|NSDRV|"; // count, then "|"
inline constexpr std::u16string_view kNoSharedDrive = u"|MSFTD|";
inline constexpr std::u16string_view kSharedStoragePass = u"|TTPTD|";
inline constexpr std::u16string_view kSharedStorageFail = u"|TTFTD|";

// Reserve/release test. Node 2 (client) writes the count and one group per drive n; node 1
// (server) writes one report title and verdict per drive node 2 tested.
inline constexpr std::u16string_view kReserveDriveCount = u"||NDRV|"; // count, no closing "|"
inline RecordToken ReserveDriveTitle(int n) {
    return RecordToken::Numbered(u"|*|TTARRT", n);
}
inline RecordToken ReserveDrivePass(int n) {
    return RecordToken::Numbered(u"||TAPRRT", n);
}
inline RecordToken ReserveDriveFail(int n) {
    return RecordToken::Numbered(u"||TAFRRT", n);
}
inline constexpr std::u16string_view kReserveReportTitle = u"||TTARRT|"; // also node 2's connect failure
inline constexpr std::u16string_view kReserveReportPass = u"|TAPRRT";
inline constexpr std::u16string_view kReserveReportFail = u"|TAFRRT";
} // namespace token

namespace key {
inline constexpr std::u16string_view kAdapterTestTitle = u"TTD|";
inline constexpr std::u16string_view kAdapterSlotPass = u"MSP|";
inline constexpr std::u16string_view kSecondAdapterSlotPass = u"MSP2|";
inline constexpr std::u16string_view kAdapterSlotFail = u"MSF|";
inline constexpr std::u16string_view kAdapterTestPass = u"TTP|";
inline constexpr std::u16string_view kAdapterTestFail = u"TTF|";

inline constexpr std::u16string_view kDriverCheckTitle = u"TTADRV|";
inline constexpr std::u16string_view kDriverCheckRan = u"TADRV|"; // found inside "||TTADRV|"
inline constexpr std::u16string_view kDriverVersionPass = u"MAPDRV|";
inline constexpr std::u16string_view kDriverMissingFail = u"MAFDRV|";
inline constexpr std::u16string_view kDriverMissingFail2 = u"MAFDRV2|";
inline constexpr std::u16string_view kDriverCheckFail = u"TAFDRV";

inline constexpr std::u16string_view kStorageBoxTitle = u"TTASTO|";
inline RecordToken FirmwareRevision(int n) {
    return RecordToken::Numbered(u"TFRM", n);
} // value
inline RecordToken FirmwareRevisionPresent(int n) {
    return RecordToken::Numbered(u"|TFRM", n, u"");
} // presence
inline constexpr std::u16string_view kStorageBoxFound = u"MAPSTO|";
inline constexpr std::u16string_view kStorageBoxPass = u"TAPSTO";
inline constexpr std::u16string_view kStorageBoxSkipped = u"MAWSTO|";
inline constexpr std::u16string_view kStorageBoxWarn = u"TAWSTO";

inline constexpr std::u16string_view kRedundancyServicePass = u"|TPODO";

inline constexpr std::u16string_view kSharedStorageTitle = u"TTTD|";
inline RecordToken SharedDriveTitle(int n) {
    return RecordToken::Numbered(u"TTASD", n);
}
inline RecordToken SharedDrivePass(int n) {
    return RecordToken::Numbered(u"TAPSD", n);
}
inline RecordToken SharedDriveNotNtfs(int n) {
    return RecordToken::Numbered(u"MAFSD", n);
}
inline RecordToken SharedDriveFail(int n) {
    return RecordToken::Numbered(u"TAFSD", n);
}
// The not-NTFS message starts with this marker followed by "\" and the file-system name.
inline constexpr std::u16string_view kNotNtfsMarker = u"ERROR1";
inline constexpr std::u16string_view kSharedDriveCount = u"NSDRV|";
inline constexpr std::u16string_view kNoSharedDrive = u"MSFTD|";
// A pass message the console shows when present; no agent procedure writes it.
inline constexpr std::u16string_view kSharedStoragePassMessage = u"MSPTD|";
inline constexpr std::u16string_view kSharedStoragePass = u"TTPTD";
inline constexpr std::u16string_view kSharedStorageFail = u"TTFTD";

inline constexpr std::u16string_view kReserveDriveCountPresent = u"NDRV";
inline constexpr std::u16string_view kReserveDriveCount = u"NDRV|";
inline RecordToken ReserveDriveTitle(int n) {
    return RecordToken::Numbered(u"TTARRT", n);
}
inline RecordToken ReserveDriveFail(int n) {
    return RecordToken::Numbered(u"TAFRRT", n);
}
} // namespace key
} // namespace teststorage

// Procedure 10, GetControllerSlots (Orrin kit): one item per slot of the kit's controller,
// n counting from 1.
namespace getcontrollerslots {
namespace token {
inline RecordToken SlotPass(int n) {
    return RecordToken::Numbered(u"|PS", n);
} // value, then "|"
inline RecordToken SlotFail(int n) {
    return RecordToken::Numbered(u"|FL", n);
} // value, then "|"
} // namespace token
namespace key {
inline RecordToken SlotPass(int n) {
    return RecordToken::Numbered(u"PS", n);
}
inline RecordToken SlotFail(int n) {
    return RecordToken::Numbered(u"FL", n);
}
} // namespace key
} // namespace getcontrollerslots

// Procedure 11, GetDriverRevision (Orrin kit).
namespace getdriverrevision {
namespace token {
inline constexpr std::u16string_view kRevisionPass = u"|MP|"; // value, then "|"
} // namespace token
namespace key {
inline constexpr std::u16string_view kRevisionPass = u"MP|";
} // namespace key
} // namespace getdriverrevision

// Procedure 13, DetectStorageBox (Orrin kit): multipath software and storage box.
namespace detectstoragebox {
namespace token {
inline constexpr std::u16string_view kMultipathPass = u"|MPSP|";
inline constexpr std::u16string_view kMultipathWarn = u"|MWSP|";
inline constexpr std::u16string_view kWarning = u"|MW|"; // no controller opened, or cluster disk driver runs
inline constexpr std::u16string_view kBoxFound = u"|MP1|";
inline constexpr std::u16string_view kLunCount = u"|MP2|";
inline constexpr std::u16string_view kPass = u"|TP";
inline constexpr std::u16string_view kFail = u"|TF";
inline constexpr std::u16string_view kWarn = u"|TW";
} // namespace token
namespace key {
inline constexpr std::u16string_view kMultipathPass = u"MPSP|";
inline constexpr std::u16string_view kWarning = u"MW|";
inline constexpr std::u16string_view kBoxFound = u"MP1|";
inline constexpr std::u16string_view kLunCount = u"MP2|";
inline constexpr std::u16string_view kPass = u"|TP"; // absence means fail
inline constexpr std::u16string_view kWarn = u"|TW";
} // namespace key
} // namespace detectstoragebox

// Procedure 12, TestSharedDrives (Orrin kit): three replies, the summary text, the drives
// text and the reserve/release text (n: this node's drive index).
namespace testshareddrives {
namespace token {
// Summary text.
inline constexpr std::u16string_view kWarning = u"|MW|";
inline constexpr std::u16string_view kNoSharedDrive = u"|MF|";
inline constexpr std::u16string_view kSummaryPass = u"|TP|";
inline constexpr std::u16string_view kSummaryFail = u"|TF|";
inline constexpr std::u16string_view kSummaryWarn = u"|TW|";

// Drives text.
inline RecordToken DriveTitle(int n) {
    return RecordToken::Numbered(u"|**|TESTASD", n);
}
inline RecordToken DriveOtherLetter(int n) {
    return RecordToken::Numbered(u"|MP", n);
}
inline RecordToken DriveNotNtfs(int n) {
    return RecordToken::Numbered(u"|MF", n);
}
inline RecordToken DrivePass(int n) {
    return RecordToken::Numbered(u"|TP", n);
}
inline RecordToken DriveFail(int n) {
    return RecordToken::Numbered(u"|TF", n);
}

// Reserve/release text: node 2 writes the count and one group per drive; node 1 one report
// title and verdict per drive node 2 tested.
inline constexpr std::u16string_view kReserveDriveCount = u"|**|NUMSHRDRV|"; // count, no closing "|"
inline RecordToken ReserveDriveTitle(int n) {
    return RecordToken::Numbered(u"|**|TESTARRT", n);
}
inline RecordToken ReserveDrivePass(int n) {
    return RecordToken::Numbered(u"||TP", n);
}
inline RecordToken ReserveDriveFail(int n) {
    return RecordToken::Numbered(u"||TF", n);
}
inline constexpr std::u16string_view kReserveReportTitle = u"||TESTARRT|"; // also node 2's connect failure
inline constexpr std::u16string_view kReserveReportPass = u"|TP";
inline constexpr std::u16string_view kReserveReportFail = u"|TF";
} // namespace token
namespace key {
inline constexpr std::u16string_view kSummaryPass = u"TP";
inline constexpr std::u16string_view kSummaryFail = u"TF";
inline constexpr std::u16string_view kNoSharedDrive = u"MF|";
inline RecordToken DriveTitle(int n) {
    return RecordToken::Numbered(u"TASD", n);
} // inside "|**|TESTASD" n "|"
inline RecordToken DriveNotNtfs(int n) {
    return RecordToken::Numbered(u"MF", n);
}
inline RecordToken DrivePass(int n) {
    return RecordToken::Numbered(u"TP", n);
}
inline RecordToken DriveFail(int n) {
    return RecordToken::Numbered(u"TF", n);
}
inline constexpr std::u16string_view kReserveDriveCountPresent = u"NUMSHRDRV";
inline constexpr std::u16string_view kReserveDriveCount = u"NUMSHRDRV|";
inline RecordToken ReserveDriveTitle(int n) {
    return RecordToken::Numbered(u"TESTARRT", n);
}
inline RecordToken ReserveDriveFail(int n) {
    return RecordToken::Numbered(u"TF", n);
}
} // namespace key
} // namespace testshareddrives

} // namespace resultrecord
