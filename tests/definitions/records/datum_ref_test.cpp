#include "definitions/records/datum_ref.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "definitions/records/ellipsoid_checks.h"

namespace {

void SetPath(char (&path)[264], const char* text) {
    std::memset(path, 0, sizeof path);
    std::strncpy(path, text, 260);
}

TEST(ProjectFilePath, Forms) {
    struct sRow {
        const char* path;
        bool nameOnly;
        const char* expected;
    };
    const sRow rows[] = {
        {"C:/Projects/Survey/Site.PRO", false, "C:\\Projects\\Survey\\Site.xalmet"},
        {"C:/Projects/Survey/Site.PRO", true, "Site.xalmet"},
        {"D:\\data\\geoid.pro.bak", false, "D:\\data\\geoid.pro.bak"},
        {"D:/data/geoid.pro.bak", true, "geoid.pro.bak"},
        {"mixed/sep\\name.Pro", true, "name.xalmet"},
        {"plain.grd", true, "plain.grd"},
        {"ends/with/", true, ""},
        {"", false, ""},
    };
    for (const sRow& row : rows) EXPECT_EQ(ToProjectFilePath(row.path, row.nameOnly), row.expected) << row.path;
}

TEST(DatumRef, InitFromPackedCodes) {
    struct sRow {
        int32_t id;
        int32_t packed;
        int32_t result;
        int32_t localWord, localCode, ownerWord, ownerCode;
        double value1;
    };
    const sRow rows[] = {
        {5, -3, 2, 2, -3, 2, 1000, 0.0},                          // no local datum: |id + local|
        {5, 7, 1000, -2, 7, -2, 1000, 1.5},                       // a datum of the list, default owner
        {5, 1002 * 65536 + 7, 1002, -2, 7, -2, 1002, 1.5},
        {5, 1, 1000, 5, 1, 5, 1000, 1.5},                         // local code 1 with the default owner
        {5, 1002 * 65536 + 1, 1002, 5, 1, -2, 1002, 1.5},
    };
    for (const sRow& row : rows) {
        sDatumRef ref;
        std::memset(&ref, 0x77, sizeof ref);
        EXPECT_EQ(InitDatumRef(&ref, row.id, row.packed, 1.5, 2.5), row.result) << row.packed;
        EXPECT_EQ(ref.id, row.id);
        EXPECT_EQ(ref.localWord, row.localWord) << row.packed;
        EXPECT_EQ(ref.localCode, row.localCode) << row.packed;
        EXPECT_EQ(ref.ownerWord, row.ownerWord) << row.packed;
        EXPECT_EQ(ref.ownerCode, row.ownerCode) << row.packed;
        EXPECT_EQ(ref.value1, row.value1);
        EXPECT_EQ(ref.value2, 2.5);
        EXPECT_EQ(ref.localPath[0], 0);
        EXPECT_EQ(ref.zero548, 0);
    }
    sDatumRef ref;
    std::memset(&ref, 0x77, sizeof ref);
    // |id + local| beyond the 32-bit range stays at the largest word.
    EXPECT_EQ(InitDatumRef(&ref, -2147483647 - 1, -3, 0.0, 0.0), 2147483647);
    EXPECT_EQ(InitDatumRef(nullptr, 5, 7, 0.0, 0.0), 0);
    EXPECT_EQ(InitDatumRefDefault(nullptr, -4), -4);
    EXPECT_EQ(InitDatumRefDefault(&ref, -4), -4);
    EXPECT_EQ(ref.localWord, 0);
    EXPECT_EQ(ref.ownerWord, 0);
    EXPECT_EQ(ref.localCode, 0);
    EXPECT_EQ(ref.ownerCode, 1000);
    EXPECT_EQ(ref.value1, 0.0);
    EXPECT_EQ(ref.ownerPath[263], 0);
}

TEST(DatumRef, KindsAndWords) {
    struct sRow {
        int32_t localCode, ownerCode;
        double value1;
        int32_t kind, fixedNodeKind;
    };
    const sRow rows[] = {
        {0, 1000, 0.0, 0, 4}, {7, 1000, 0.0, 1, 0}, {7, 1002, 0.0, 2, 5}, {0, 1000, 0.5, 2, 5}, {999, 1000, 0.0, 0, 4},
        {998, 1000, 0.0, 1, 0},  // the last code of the list
        {2, 1000, 0.0, 1, 0},    // the first code of the list
    };
    for (const sRow& row : rows) {
        sDatumRef ref{};
        ref.localCode = row.localCode;
        ref.ownerCode = row.ownerCode;
        ref.value1 = row.value1;
        EXPECT_EQ(GetDatumRefKind(&ref, 205), row.kind) << row.localCode << " " << row.ownerCode;
        EXPECT_EQ(GetDatumRefKind(&ref, 204), row.fixedNodeKind) << row.localCode << " " << row.ownerCode;
    }
    EXPECT_EQ(GetDatumRefKind(nullptr, 204), 0);
    EXPECT_EQ(ResolveDatumRefWord(-2, 30), -3);
    EXPECT_EQ(ResolveDatumRefWord(-2, 40), -2);
    EXPECT_EQ(ResolveDatumRefWord(7, 30), 7);
    EXPECT_EQ(ResolveDatumRefWord(-2, 1003), -3);
    EXPECT_EQ(ResolveDatumRefWord(-2, 4), -2);
    EXPECT_EQ(ResolveDatumRefWord(-2, 18), -3);  // the first code of a range
    EXPECT_EQ(ResolveDatumRefWord(-2, 22), -2);  // just past a range
    const std::pair<int32_t, int32_t> ranges[] = {{1, 2}, {10, 20}};
    EXPECT_TRUE(IsInRanges(ranges, 20));
    EXPECT_FALSE(IsInRanges(ranges, 9));
}

TEST(DatumRef, UpgradeFilePaths) {
    sDatumRef ref{};
    ref.localCode = 1;
    SetPath(ref.localPath, "C:/old/local.pro");
    ref.ownerCode = 900;
    ref.ownerWord = -2;
    SetPath(ref.ownerPath, "C:/old/owner.PRO");
    UpgradeFilePaths(&ref, true);
    EXPECT_STREQ(ref.localPath, "");
    EXPECT_EQ(ref.ownerCode, 1900);
    EXPECT_EQ(ref.ownerWord, -2);
    EXPECT_STREQ(ref.ownerPath, "owner.xalmet");
    EXPECT_EQ(GetDatumRefOwnerFileName(&ref, false), "owner.xalmet");
    EXPECT_EQ(GetDatumRefOwnerFileName(nullptr, false), "");

    sDatumRef list{};
    list.localCode = 30;
    list.localWord = -2;
    SetPath(list.localPath, "a/b.pro");
    list.ownerCode = 0;
    SetPath(list.ownerPath, "x");
    UpgradeFilePaths(&list, false);
    EXPECT_EQ(list.localWord, -3);
    EXPECT_STREQ(list.localPath, "a\\b.xalmet");
    EXPECT_EQ(list.ownerCode, 1000);
    EXPECT_STREQ(list.ownerPath, "");

    // A stored path without a terminator in its field is read within the field.
    sDatumRef full{};
    full.localCode = 900;
    std::memset(full.localPath, 'p', sizeof full.localPath);
    UpgradeFilePaths(&full, true);
    EXPECT_EQ(std::strlen(full.localPath), 260u);
    EXPECT_EQ(GetDatumRefLocalFileName(&full, true).size(), 260u);
    // A local code outside the list clears the first 261 bytes of the path field only.
    full.localCode = 1;
    UpgradeFilePaths(&full, true);
    EXPECT_EQ(full.localPath[260], 0);
    EXPECT_EQ(full.localPath[261], 'p');
}

TEST(DatumRef, SameReferenceAndPathSync) {
    sDatumRef a{};
    InitDatumRef(&a, 1, 900, 0.0, 0.0);
    SetPath(a.localPath, "C:\\geoids\\Geoid.grd");
    sDatumRef b = a;
    SetPath(b.localPath, "D:/other/GEOID.GRD");
    EXPECT_TRUE(IsSameDatumRef(&a, &b));   // the same file name, ignoring case
    SetPath(b.localPath, "D:/other/geoid2.grd");
    EXPECT_FALSE(IsSameDatumRef(&a, &b));
    sDatumRef c = a;
    c.value1 = 0.0011;
    EXPECT_FALSE(IsSameDatumRef(&a, &c));
    c.value1 = 0.001;
    EXPECT_TRUE(IsSameDatumRef(&a, &c));
    c.ownerCode = 1001;
    EXPECT_FALSE(IsSameDatumRef(&a, &c));

    EXPECT_FALSE(IsSameDatumRef(&a, nullptr));
    EXPECT_FALSE(IsSameDatumRef(nullptr, &a));
    EXPECT_TRUE(IsSameDatumRef(nullptr, nullptr));
    EXPECT_FALSE(SyncDatumRefPaths(&a, nullptr));
    EXPECT_FALSE(SyncDatumRefPaths(nullptr, &b));
    EXPECT_TRUE(SyncDatumRefPaths(&a, &b));
    EXPECT_STREQ(a.localPath, "geoid2.grd");
    EXPECT_FALSE(SyncDatumRefPaths(&a, &b));
    SetPath(b.ownerPath, "C:/heights/owner.grd");
    EXPECT_TRUE(SyncDatumRefPaths(&a, &b));  // the owner halves, with equal owner codes
    EXPECT_STREQ(a.ownerPath, "owner.grd");
    sDatumRef otherOwner = a;
    otherOwner.ownerCode = 1001;
    SetPath(otherOwner.ownerPath, "other.grd");
    EXPECT_FALSE(SyncDatumRefPaths(&a, &otherOwner));
    EXPECT_STREQ(a.ownerPath, "owner.grd");
}

TEST(ChartDatum, InitCopyAndCompare) {
    std::vector<uint8_t> a(ChartDatum::kSize, 0xEE);
    EXPECT_EQ(InitChartDatum(nullptr, 7), 7);
    UpgradeChartDatumPaths(nullptr);  // nothing to upgrade
    EXPECT_EQ(InitChartDatum(a.data(), -5), 0);
    int32_t word = 0;
    std::memcpy(&word, a.data() + 8, 4);
    EXPECT_EQ(word, -999);
    sDatumRef first;
    std::memcpy(&first, a.data() + ChartDatum::kFirstRef, sizeof first);
    EXPECT_EQ(first.id, -5);
    EXPECT_EQ(first.ownerCode, 1000);
    for (const size_t offset : {0, 4, 12, 1168}) {
        std::memcpy(&word, a.data() + offset, 4);
        EXPECT_EQ(word, 0) << offset;
    }
    EXPECT_EQ(std::vector<uint8_t>(a.begin() + 1168, a.end()), std::vector<uint8_t>(24, 0));

    std::vector<uint8_t> b(ChartDatum::kSize, 0);
    InitChartDatum(b.data(), 3);
    sDatumRef second{};
    InitDatumRef(&second, 3, 900, 0.0, 0.0);
    SetPath(second.localPath, "C:/tides/chart.pro");
    std::memcpy(b.data() + ChartDatum::kSecondRef, &second, sizeof second);
    std::vector<uint8_t> copy(ChartDatum::kSize, 0xEE);
    CopyChartDatum(copy.data(), b.data());
    sDatumRef copied;
    std::memcpy(&copied, copy.data() + ChartDatum::kSecondRef, sizeof copied);
    EXPECT_STREQ(copied.localPath, "chart.xalmet");
    EXPECT_TRUE(IsSameChartDatum(copy.data(), b.data()));
    EXPECT_FALSE(IsSameChartDatum(a.data(), b.data()));

    EXPECT_FALSE(ChartDatumPathsDiffer(copy.data(), b.data()));  // the same file name
    SetPath(copied.localPath, "other.grd");
    std::memcpy(copy.data() + ChartDatum::kSecondRef, &copied, sizeof copied);
    const std::vector<uint8_t> before = copy;
    EXPECT_TRUE(ChartDatumPathsDiffer(copy.data(), b.data()));
    EXPECT_FALSE(ChartDatumPathsDiffer(b.data(), b.data()));
    EXPECT_EQ(copy, before);
}

std::vector<uint8_t> Datum(int32_t number, const char* datum, const char* ellipsoid, double a, double scale, double invF) {
    std::vector<uint8_t> r(DatumRecord::kSize, 0);
    std::memcpy(r.data(), &number, 4);
    std::strncpy(reinterpret_cast<char*>(r.data() + 4), datum, 19);
    std::strncpy(reinterpret_cast<char*>(r.data() + 23), ellipsoid, 25);
    std::memcpy(r.data() + 48, &a, 8);
    std::memcpy(r.data() + 56, &scale, 8);
    std::memcpy(r.data() + 64, &invF, 8);
    return r;
}

constexpr double kA = 6378137.0;
constexpr double kWgsF = 298.257223563;
constexpr double kGrsF = 298.257222101;

TEST(EllipsoidChecks, AxesAndSameEllipsoid) {
    auto metres = Datum(1, "ED50", "International 1924", 6378388.0, 1.0, 297.0);
    auto km = Datum(2, "ED50", "International 1924", 6378.388, 1000.0, 297.0);
    EXPECT_TRUE(IsSameEllipsoid(metres.data(), km.data()));
    EXPECT_TRUE(NormalizeEllipsoidScale(km.data()));
    double scale = 0.0;
    std::memcpy(&scale, km.data() + 56, 8);
    EXPECT_EQ(scale, 1000.0);
    auto metresScaled = Datum(3, "X", "Y", 6378388.0, 0.5, 297.0);
    NormalizeEllipsoidScale(metresScaled.data());
    std::memcpy(&scale, metresScaled.data() + 56, 8);
    EXPECT_EQ(scale, 1.0);
    EXPECT_FALSE(NormalizeEllipsoidScale(nullptr));

    auto outside = Datum(4, "ED50", "International 1924", 6378388.0 + 1.5e-4, 1.0, 297.0);
    EXPECT_FALSE(IsSameEllipsoid(metres.data(), outside.data()));
    auto inside = Datum(4, "ED50", "International 1924", 6378388.0 + 0.5e-4, 1.0, 297.0 + 0.5e-6);
    EXPECT_TRUE(IsSameEllipsoid(metres.data(), inside.data()));
    auto flatter = Datum(4, "ED50", "International 1924", 6378388.0, 1.0, 297.0 + 2e-6);
    EXPECT_FALSE(IsSameEllipsoid(metres.data(), flatter.data()));
    EXPECT_FALSE(IsSameEllipsoid(metres.data(), nullptr));
    auto notANumber = Datum(4, "ED50", "International 1924", std::nan(""), 1.0, 297.0);
    EXPECT_FALSE(IsSameEllipsoid(metres.data(), notANumber.data()));
    EXPECT_FALSE(IsSameEllipsoid(notANumber.data(), notANumber.data()));

    EXPECT_TRUE(IsPlausibleSemiMajorAxis(metres.data(), true));
    EXPECT_FALSE(IsPlausibleSemiMajorAxis(km.data(), false));
    auto loose = Datum(5, "", "", 6.35e6, 1.0, 300.0);
    EXPECT_TRUE(IsPlausibleSemiMajorAxis(loose.data(), false));
    EXPECT_FALSE(IsPlausibleSemiMajorAxis(loose.data(), true));
    EXPECT_FALSE(IsPlausibleSemiMajorAxis(nullptr, false));
}

TEST(EllipsoidChecks, Names) {
    auto a = Datum(1, "ETRS 89", "GRS 1980", kA, 1.0, kGrsF);
    auto b = Datum(2, "ETRS89_Europe", "GRS-1980 ellipsoid", kA, 1.0, kGrsF);
    EXPECT_TRUE(HasSimilarDatumNames(a.data(), b.data()));
    EXPECT_TRUE(IsSameDatum(a.data(), b.data()));
    auto c = Datum(3, "ED50", "GRS 1980", kA, 1.0, kGrsF);
    EXPECT_FALSE(IsSameDatum(a.data(), c.data()));

    std::vector<uint8_t> gnss(84, 0);
    std::strcpy(reinterpret_cast<char*>(gnss.data() + 4), "etrs");
    int32_t datumNumber = 1;
    std::memcpy(gnss.data() + 16, &datumNumber, 4);
    EXPECT_TRUE(IsSimilarName(a.data(), gnss.data(), GnssSystemRecord::kNameField));
    EXPECT_TRUE(IsSameTypeAndSimilarName(a.data(), gnss.data()));
    datumNumber = 2;
    std::memcpy(gnss.data() + 16, &datumNumber, 4);
    EXPECT_FALSE(IsSameTypeAndSimilarName(a.data(), gnss.data()));

    // Names that fill their fields are read within them.
    std::vector<uint8_t> full(DatumRecord::kSize, 'W');
    EXPECT_FALSE(HasSimilarDatumNames(full.data(), a.data()));
}

TEST(EllipsoidChecks, DatumMatches) {
    struct sRow {
        const char* datum;
        const char* ellipsoid;
        double invF;
        int32_t mode;
        int32_t wgs84, grs80, grs80Local;
    };
    const sRow rows[] = {
        {"WGS 84", "WGS 84", kWgsF, 2, 4, 1, 1},
        {"ITRF2014", "WGS 84", kWgsF, 2, 4, 1, 1},
        {"ITRF2014", "WGS 84", kWgsF, 1, 3, 1, 1},
        {"WGS 84", "WGS 84", kWgsF, 3, 3, 1, 1},
        {"Local", "WGS 1972", kWgsF, 0, 3, 1, 1},
        {"ITRF2008", "GRS 1980", kGrsF, 1, 1, 4, 3},
        {"WGS84", "GRS 1980", kGrsF, 1, 1, 3, 3},
        {"WGS84", "GRS 1980", kGrsF, 2, 1, 4, 3},
        {"ETRS89", "GRS80", kGrsF, 3, 1, 3, 4},
        {"ETRS89", "GRS80", kGrsF, 0, 1, 4, 4},
        {"ETRS89", "Clarke", kGrsF, 0, 1, 3, 3},
    };
    for (const sRow& row : rows) {
        auto r = Datum(1, row.datum, row.ellipsoid, kA, 1.0, row.invF);
        EXPECT_EQ(MatchWgs84Datum(r.data(), row.mode), row.wgs84) << row.datum << " " << row.mode;
        EXPECT_EQ(MatchGrs80Datum(r.data(), row.mode), row.grs80) << row.datum << " " << row.mode;
        EXPECT_EQ(MatchGrs80LocalDatum(r.data(), row.mode), row.grs80Local) << row.datum << " " << row.mode;
    }
    EXPECT_EQ(MatchWgs84Datum(nullptr, 0), -1);

    auto itrf = Datum(1, "ITRF2014", "GRS 1980", kA, 1.0, kGrsF);
    EXPECT_EQ(MatchItrfRealization(itrf.data(), "ITRF2014"), 4);
    EXPECT_EQ(MatchItrfRealization(itrf.data(), "IGS14"), 4);
    EXPECT_EQ(MatchItrfRealization(itrf.data(), "ITRF2008"), 3);
    auto etrs = Datum(1, "ETRS89", "GRS 1980", kA, 1.0, kGrsF);
    EXPECT_EQ(MatchItrfRealization(etrs.data(), "ITRF2014"), 1);
    EXPECT_EQ(MatchItrfRealization(nullptr, "14"), -1);

    const sEllipsoidPattern pattern{kA, kGrsF, "GRS", "80"};
    EXPECT_EQ(MatchEllipsoidPattern({kA, kGrsF, "GRS 1980", "ITRF80"}, pattern), 4);
    EXPECT_EQ(MatchEllipsoidPattern({kA, kGrsF, "WGS 84", "80"}, pattern), 3);
    EXPECT_EQ(MatchEllipsoidPattern({kA, kWgsF, "GRS 1980", "80"}, pattern), 1);
    EXPECT_EQ(MatchEllipsoidPattern({0.0, kGrsF, "GRS", "80"}, pattern), -1);
}

}  // namespace
