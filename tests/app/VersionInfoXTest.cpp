#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/VersionInfoX.h"
#include "app/VersionRecordBuilder.h"

namespace {

VersionRecordContent SampleContent() {
    VersionRecordContent content;
    content.fileVersion = {1, 2, 3, 4};
    content.productVersion = {1, 2, 0, 0};
    content.strings = {{u"CompanyName", u"NORVANE"},
                       {u"FileDescription", u"Snipwell"},
                       {u"LegalCopyright", u"Copyright (C) 2026 NORVANE"}};
    return content;
}

// Offset of the block whose key is key (the key starts 6 bytes into its block).
size_t BlockOffset(const std::vector<uint8_t>& record, const std::u16string& key) {
    std::vector<uint8_t> pattern;
    for (char16_t c : key) {
        pattern.push_back(uint8_t(c & 0xFF));
        pattern.push_back(uint8_t(c >> 8));
    }
    const auto at = std::search(record.begin(), record.end(), pattern.begin(), pattern.end());
    EXPECT_NE(at, record.end()) << "no block with that key";
    return size_t(at - record.begin()) - 6;
}

void PutU16(std::vector<uint8_t>& record, size_t offset, uint16_t value) {
    record[offset] = uint8_t(value & 0xFF);
    record[offset + 1] = uint8_t(value >> 8);
}

void ExpectAllEmpty(const AboutVersionStrings& strings) {
    EXPECT_TRUE(strings.fileVersion.isEmpty());
    EXPECT_TRUE(strings.companyName.isEmpty());
    EXPECT_TRUE(strings.fileDescription.isEmpty());
    EXPECT_TRUE(strings.legalCopyright.isEmpty());
}

}  // namespace

TEST(VersionInfoX, ReadsTheFixedInformationLanguageAndStringsOfARecord) {
    const std::vector<uint8_t> record = BuildVersionRecord(SampleContent());
    VersionInfoX info;
    ASSERT_TRUE(info.Read(record.data(), record.size()));
    EXPECT_EQ(info.FixedInfo().dwSignature, VS_FIXED_SIGNATURE);
    EXPECT_EQ(info.FixedInfo().dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(info.FixedInfo().dwFileVersionLS, 0x00030004u);
    EXPECT_EQ(info.FormatFileVersion(), "1.2.3.4");
    EXPECT_EQ(info.LanguageKey(), "040904b0");
    ASSERT_EQ(info.StringCount(), 3u);
    EXPECT_EQ(info.KeyAt(1), "FileDescription");
    EXPECT_EQ(info.ValueAt(2), "Copyright (C) 2026 NORVANE");

    const AboutVersionStrings about = VersionInfoX::GetAboutVersionStrings(record.data(), record.size());
    EXPECT_EQ(about.fileVersion, "1.2.3.4");
    EXPECT_EQ(about.companyName, "NORVANE");
    EXPECT_EQ(about.fileDescription, "Snipwell");
    EXPECT_EQ(about.legalCopyright, "Copyright (C) 2026 NORVANE");
}

TEST(VersionInfoX, FormatsEachVersionWordHalfUnsigned) {
    VersionRecordContent content = SampleContent();
    content.fileVersion = {65535, 0, 40000, 7};
    const std::vector<uint8_t> record = BuildVersionRecord(content);
    VersionInfoX info;
    ASSERT_TRUE(info.Read(record.data(), record.size()));
    EXPECT_EQ(info.FormatFileVersion(), "65535.0.40000.7");
}

TEST(VersionInfoX, LooksKeysUpIgnoringCaseAndGivesEmptyForUnknownKeys) {
    const std::vector<uint8_t> record = BuildVersionRecord(SampleContent());
    VersionInfoX info;
    ASSERT_TRUE(info.Read(record.data(), record.size()));
    EXPECT_EQ(info.GetStringValue("companyname"), "NORVANE");
    EXPECT_EQ(info.GetStringValue("FILEDESCRIPTION"), "Snipwell");
    EXPECT_TRUE(info.GetStringValue("ProductName").isEmpty());
    EXPECT_TRUE(info.GetStringValue("").isEmpty());
}

TEST(VersionInfoX, KeepsOnlyTheFirstTwentyOfTwentyFiveStrings) {
    VersionRecordContent content = SampleContent();
    content.strings.clear();
    for (int i = 0; i < 25; ++i) {
        const std::string n = std::to_string(i);
        content.strings.emplace_back(u"Key" + std::u16string(n.begin(), n.end()),
                                     u"Value" + std::u16string(n.begin(), n.end()));
    }
    const std::vector<uint8_t> record = BuildVersionRecord(content);
    VersionInfoX info;
    ASSERT_TRUE(info.Read(record.data(), record.size()));
    ASSERT_EQ(info.StringCount(), 20u);
    EXPECT_EQ(info.KeyAt(0), "Key0");
    EXPECT_EQ(info.KeyAt(19), "Key19");
    EXPECT_EQ(info.ValueAt(19), "Value19");
    EXPECT_EQ(info.GetStringValue("Key19"), "Value19");
    EXPECT_TRUE(info.GetStringValue("Key20").isEmpty());
    EXPECT_TRUE(info.GetStringValue("Key24").isEmpty());
}

TEST(VersionInfoX, AStringWithValueLengthZeroHasAnEmptyValueAndTheWalkGoesOn) {
    VersionRecordContent content = SampleContent();
    content.strings = {{u"Comments", u""}, {u"CompanyName", u"NORVANE"}};
    const std::vector<uint8_t> record = BuildVersionRecord(content);
    ASSERT_EQ(record[BlockOffset(record, u"Comments") + 2], 0);   // value length 0
    VersionInfoX info;
    ASSERT_TRUE(info.Read(record.data(), record.size()));
    ASSERT_EQ(info.StringCount(), 2u);
    EXPECT_EQ(info.KeyAt(0), "Comments");
    EXPECT_TRUE(info.ValueAt(0).isEmpty());
    EXPECT_EQ(info.GetStringValue("CompanyName"), "NORVANE");
}

TEST(VersionInfoX, CutsLanguageKeysAndValuesToTheirFields) {
    VersionRecordContent content = SampleContent();
    const std::u16string longKey(100, u'K');
    const std::u16string longValue(300, u'v');
    content.languageKey = u"040904b0ff";
    content.strings = {{longKey, longValue}, {u"CompanyName", u"NORVANE"}};
    const std::vector<uint8_t> record = BuildVersionRecord(content);
    VersionInfoX info;
    ASSERT_TRUE(info.Read(record.data(), record.size()));
    EXPECT_EQ(info.LanguageKey(), "040904b0");
    EXPECT_EQ(info.KeyAt(0), QString(79, 'K'));
    EXPECT_EQ(info.ValueAt(0), QString(255, 'v'));
    EXPECT_EQ(info.GetStringValue("CompanyName"), "NORVANE");
}

TEST(VersionInfoX, AStringBlockThatCannotBeWalkedPastEndsTheListWithoutHanging) {
    VersionRecordContent content = SampleContent();
    const std::vector<uint8_t> good = BuildVersionRecord(content);

    std::vector<uint8_t> zeroLength = good;
    PutU16(zeroLength, BlockOffset(zeroLength, u"FileDescription"), 0);
    VersionInfoX info;
    ASSERT_TRUE(info.Read(zeroLength.data(), zeroLength.size()));
    EXPECT_EQ(info.StringCount(), 1u);
    EXPECT_EQ(info.GetStringValue("CompanyName"), "NORVANE");

    std::vector<uint8_t> overlong = good;
    PutU16(overlong, BlockOffset(overlong, u"LegalCopyright"), 0xFFF0);
    ASSERT_TRUE(info.Read(overlong.data(), overlong.size()));
    EXPECT_EQ(info.StringCount(), 2u);
    EXPECT_TRUE(info.GetStringValue("LegalCopyright").isEmpty());
}

TEST(VersionInfoX, AMalformedRecordGivesFourEmptyStrings) {
    const std::vector<uint8_t> good = BuildVersionRecord(SampleContent());
    std::vector<std::pair<const char*, std::vector<uint8_t>>> cases;

    cases.emplace_back("empty", std::vector<uint8_t>());
    cases.emplace_back("cut inside the root key", std::vector<uint8_t>(good.begin(), good.begin() + 20));
    cases.emplace_back("cut inside the fixed information", std::vector<uint8_t>(good.begin(), good.begin() + 60));
    std::vector<uint8_t> record = good;
    record[BlockOffset(record, u"VS_VERSION_INFO") + 6] = 'W';
    cases.emplace_back("no root block", record);
    record = good;
    record[40] ^= 0xFF;   // the signature follows 6 header bytes, a 32-byte key and padding
    cases.emplace_back("wrong signature", record);
    record = good;
    record[BlockOffset(record, u"VarFileInfo") + 6] = 'W';
    cases.emplace_back("no VarFileInfo", record);
    record = good;
    record[BlockOffset(record, u"StringFileInfo") + 6] = 'W';
    cases.emplace_back("no StringFileInfo", record);
    record = good;
    PutU16(record, 0, 0);
    cases.emplace_back("root of length zero", record);
    cases.emplace_back("keys without a terminating zero", std::vector<uint8_t>(200, 'A'));

    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        VersionInfoX info;
        EXPECT_FALSE(info.Read(bytes.data(), bytes.size()));
        ExpectAllEmpty(VersionInfoX::GetAboutVersionStrings(bytes.data(), bytes.size()));
    }
}

TEST(VersionInfoX, TheProgramsOwnRecordNamesTheMakerAndTheProduct) {
    VersionInfoX info;
    ASSERT_TRUE(info.Read());
    EXPECT_EQ(info.FixedInfo().dwSignature, VS_FIXED_SIGNATURE);
    EXPECT_EQ(info.LanguageKey(), "040904b0");
    EXPECT_EQ(info.GetStringValue("CompanyName"), "NORVANE");
    EXPECT_EQ(info.GetStringValue("FileDescription"), "Snipwell");
    EXPECT_EQ(info.GetStringValue("ProductName"), "Norvane Snipwell");
    EXPECT_EQ(info.GetStringValue("LegalCopyright"), "Copyright (C) 2026 NORVANE");
    EXPECT_EQ(info.GetStringValue("FileVersion"), info.FormatFileVersion());
    EXPECT_EQ(info.GetStringValue("ProductVersion"), info.FormatFileVersion());
    EXPECT_EQ(VersionInfoX::GetAboutVersionStrings().fileVersion, info.FormatFileVersion());
}
