#include "agent/include/ResultRecordTokens.h"

#include <gtest/gtest.h>

#include <string>

using namespace resultrecord;

namespace {

std::string Narrow(std::u16string_view text) {
    return std::string(text.begin(), text.end());
}

// The console finds each item by a key that must occur inside the token the agent writes.
struct KeyInToken {
    RecordToken written;
    RecordToken key;
};

TEST(ResultRecordTokens, EveryConsoleKeyOccursInTheTokenItReads) {
    namespace ts = teststorage;
    namespace sd = testshareddrives;
    const KeyInToken pairs[] = {
        {getnicslots::token::KnownAdapterSlots(2), getnicslots::key::KnownAdapterSlots(2)},
        {getnicslots::token::kOtherAdapterSlots, getnicslots::key::kOtherAdapterSlots},
        {ts::token::kAdapterTestTitle, ts::key::kAdapterTestTitle},
        {ts::token::kAdapterSlotPass, ts::key::kAdapterSlotPass},
        {ts::token::kSecondAdapterSlotPass, ts::key::kSecondAdapterSlotPass},
        {ts::token::kAdapterSlotFail, ts::key::kAdapterSlotFail},
        {ts::token::kAdapterTestPass, ts::key::kAdapterTestPass},
        {ts::token::kAdapterTestFail, ts::key::kAdapterTestFail},
        {ts::token::kDriverCheckTitle, ts::key::kDriverCheckTitle},
        {ts::token::kDriverCheckTitle, ts::key::kDriverCheckRan},
        {ts::token::kDriverVersionPass, ts::key::kDriverVersionPass},
        {ts::token::kDriverMissingFail, ts::key::kDriverMissingFail},
        {ts::token::kDriverMissingFail2, ts::key::kDriverMissingFail2},
        {ts::token::kDriverCheckFail, ts::key::kDriverCheckFail},
        {ts::token::kStorageBoxTitle, ts::key::kStorageBoxTitle},
        {ts::token::FirmwareRevision(1), ts::key::FirmwareRevision(1)},
        {ts::token::FirmwareRevision(1), ts::key::FirmwareRevisionPresent(1)},
        {ts::token::kStorageBoxFound, ts::key::kStorageBoxFound},
        {ts::token::kStorageBoxPass, ts::key::kStorageBoxPass},
        {ts::token::kStorageBoxSkipped, ts::key::kStorageBoxSkipped},
        {ts::token::kStorageBoxWarn, ts::key::kStorageBoxWarn},
        {ts::token::kRedundancyServicePass, ts::key::kRedundancyServicePass},
        {ts::token::kSharedStorageTitle, ts::key::kSharedStorageTitle},
        {ts::token::SharedDriveTitle(3), ts::key::SharedDriveTitle(3)},
        {ts::token::SharedDrivePass(3), ts::key::SharedDrivePass(3)},
        {ts::token::SharedDriveNotNtfs(3), ts::key::SharedDriveNotNtfs(3)},
        {ts::token::SharedDriveFail(3), ts::key::SharedDriveFail(3)},
        {ts::token::kSharedDriveCount, ts::key::kSharedDriveCount},
        {ts::token::kNoSharedDrive, ts::key::kNoSharedDrive},
        {ts::token::kSharedStoragePass, ts::key::kSharedStoragePass},
        {ts::token::kSharedStorageFail, ts::key::kSharedStorageFail},
        {ts::token::kReserveDriveCount, ts::key::kReserveDriveCount},
        {ts::token::kReserveDriveCount, ts::key::kReserveDriveCountPresent},
        {ts::token::ReserveDriveTitle(11), ts::key::ReserveDriveTitle(11)},
        {ts::token::ReserveDriveFail(11), ts::key::ReserveDriveFail(11)},
        {getcontrollerslots::token::SlotPass(2), getcontrollerslots::key::SlotPass(2)},
        {getcontrollerslots::token::SlotFail(2), getcontrollerslots::key::SlotFail(2)},
        {getdriverrevision::token::kRevisionPass, getdriverrevision::key::kRevisionPass},
        {detectstoragebox::token::kMultipathPass, detectstoragebox::key::kMultipathPass},
        {detectstoragebox::token::kWarning, detectstoragebox::key::kWarning},
        {detectstoragebox::token::kBoxFound, detectstoragebox::key::kBoxFound},
        {detectstoragebox::token::kLunCount, detectstoragebox::key::kLunCount},
        {detectstoragebox::token::kPass, detectstoragebox::key::kPass},
        {detectstoragebox::token::kWarn, detectstoragebox::key::kWarn},
        {sd::token::kSummaryPass, sd::key::kSummaryPass},
        {sd::token::kSummaryFail, sd::key::kSummaryFail},
        {sd::token::kNoSharedDrive, sd::key::kNoSharedDrive},
        {sd::token::DriveTitle(4), sd::key::DriveTitle(4)},
        {sd::token::DriveNotNtfs(4), sd::key::DriveNotNtfs(4)},
        {sd::token::DrivePass(4), sd::key::DrivePass(4)},
        {sd::token::DriveFail(4), sd::key::DriveFail(4)},
        {sd::token::kReserveDriveCount, sd::key::kReserveDriveCount},
        {sd::token::kReserveDriveCount, sd::key::kReserveDriveCountPresent},
        {sd::token::ReserveDriveTitle(4), sd::key::ReserveDriveTitle(4)},
        {sd::token::ReserveDriveFail(4), sd::key::ReserveDriveFail(4)},
    };
    for (const KeyInToken& pair : pairs) {
        EXPECT_NE(pair.written.View().find(pair.key.View()), std::u16string_view::npos)
            << Narrow(pair.key) << " not in " << Narrow(pair.written);
    }
}

struct NumberedCase {
    RecordToken built;
    std::u16string_view expected;
};

TEST(ResultRecordTokens, NumberedTokensAreWordIndexAndSeparator) {
    const NumberedCase cases[] = {
        {teststorage::token::FirmwareRevision(0), u"|TFRM0|"},
        {teststorage::token::FirmwareRevision(1), u"|TFRM1|"},
        {teststorage::key::FirmwareRevision(1), u"TFRM1|"},
        {teststorage::key::FirmwareRevisionPresent(0), u"|TFRM0"},
        {teststorage::key::SharedDrivePass(3), u"TAPSD3|"},
        {teststorage::token::ReserveDriveTitle(23), u"|*|TTARRT23|"},
        {testshareddrives::token::ReserveDriveTitle(-1), u"|**|TESTARRT-1|"},
        {testshareddrives::token::ReserveDriveTitle(2147483647), u"|**|TESTARRT2147483647|"},
        {getnicslots::token::KnownAdapterSlots(0), u"||NIC0|"},
    };
    for (const NumberedCase& c : cases) {
        EXPECT_EQ(c.built.View(), c.expected) << Narrow(c.expected);
    }
}

TEST(ResultRecordTokens, WordTooLongForTokenGivesEmptyToken) {
    const std::u16string word(RecordToken::kCapacity - 2, u'W');
    EXPECT_EQ(RecordToken::Numbered(word, 7).View(), word + u"7|");
    EXPECT_TRUE(RecordToken::Numbered(word, 77).Empty());
    EXPECT_TRUE(RecordToken::Numbered(word, 777, u"").Empty());
    EXPECT_TRUE(RecordToken(std::u16string(RecordToken::kCapacity + 1, u'W')).Empty());
}

} // namespace
