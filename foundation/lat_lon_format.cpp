#include "foundation/lat_lon_format.h"

#include <cctype>
#include <cmath>
#include <limits>

#include "compat/combo_box.h"
#include "foundation/string_utils.h"

namespace {

constexpr double kDegToRad = 0.017453292519943295;

// Normal and high-precision text; most formats have a high-precision variant.
struct sTextPair {
    const char* normal;
    const char* high;
};

struct sFormatRow {
    sTextPair displayLat, displayLon;
    sTextPair editLat, editLon;
    sTextPair printfLat, printfLon;
};

// clang-format off
const sFormatRow kFormats[LATLON_FORMAT_COUNT] = {
    // 0
    {{"dd;mm;ss.sss H", "dd;mm;ss.sssss H"}, {"ddd;mm;ss.sss H", "ddd;mm;ss.sssss H"}, {"##;##;##.### N", "##;##;##.##### N"}, {"###;##;##.### E", "###;##;##.##### E"}, {"%2d;%02.2d;%06.3lf %1c", "%2d;%02.2d;%08.5lf %1c"}, {"%3d;%02.2d;%06.3lf %1c", "%3d;%02.2d;%08.5lf %1c"}},
    // 1
    {{"dd;mm.mmmmm H", "dd;mm.mmmmmmm H"}, {"ddd;mm.mmmmm H", "ddd;mm.mmmmmmm H"}, {"##;##.##### N", "##;##.####### N"}, {"###;##.##### E", "###;##.####### E"}, {"%2d;%08.5lf %1c", "%2d;%010.7lf %1c"}, {"%3d;%08.5lf %1c", "%3d;%010.7lf %1c"}},
    // 2
    {{"+dd.ddddddd", "+dd.ddddddddd"}, {"+ddd.ddddddd", "+ddd.ddddddddd"}, {"###.#######", "###.#########"}, {"####.#######", "####.#########"}, {"%11.7lf", "%13.9lf"}, {"%12.7lf", "%14.9lf"}},
    // 3
    {{"dddmmss.sssH", "dddmmss.sssH"}, {"dddmmss.sssH", "dddmmss.sssH"}, {"#######.###N", "#######.###N"}, {"#######.###E", "#######.###E"}, {"%3.3d%2.2d%06.3lf%1c", "%3.3d%2.2d%06.3lf%1c"}, {"%3.3d%2.2d%06.3lf%1c", "%3.3d%2.2d%06.3lf%1c"}},
    // 4
    {{"dd;mm;ss.s H", "dd;mm;ss.s H"}, {"ddd;mm;ss.s H", "ddd;mm;ss.s H"}, {"##;##;##.# N", "##;##;##.# N"}, {"###;##;##.# E", "###;##;##.# E"}, {"%2d;%2.2d;%04.1lf %1c", "%2d;%2.2d;%04.1lf %1c"}, {"%3d;%2.2d;%04.1lf %1c", "%3d;%2.2d;%04.1lf %1c"}},
    // 5
    {{"dd;mm;ss.sssss H", "dd;mm;ss.sssssss H"}, {"ddd;mm;ss.sssss H", "ddd;mm;ss.sssssss H"}, {"##;##;##.##### N", "##;##;##.####### N"}, {"###;##;##.##### E", "###;##;##.####### E"}, {"%2d;%02.2d;%08.5lf %1c", "%2d;%02.2d;%010.7lf %1c"}, {"%3d;%02.2d;%08.5lf %1c", "%3d;%02.2d;%010.7lf %1c"}},
    // 6
    {{"dd;mm.mmmmmmm H", "dd;mm.mmmmmmmmm H"}, {"ddd;mm.mmmmmmm H", "ddd;mm.mmmmmmmmm H"}, {"##;##.####### N", "##;##.######### N"}, {"###;##.####### E", "###;##.######### E"}, {"%2d;%010.7lf %1c", "%2d;%012.9lf %1c"}, {"%3d;%010.7lf %1c", "%3d;%012.9lf %1c"}},
    // 7
    {{"+dd.ddddddddd", "+dd.ddddddddddd"}, {"+ddd.ddddddddd", "+ddd.ddddddddddd"}, {"###.#########", "###.###########"}, {"####.#########", "####.###########"}, {"%13.9lf", "%15.11lf"}, {"%14.9lf", "%16.11lf"}},
    // 8
    {{"+dd;mm;ss.sss", "+dd;mm;ss.sssss"}, {"+ddd;mm;ss.sss", "+ddd;mm;ss.sssss"}, {"###;##;##.###", "###;##;##.#####"}, {"####;##;##.###", "####;##;##.#####"}, {"%+3d;%02.2d;%06.3lf", "%+3d;%02.2d;%08.5lf"}, {"%+4d;%02.2d;%06.3lf", "%+4d;%02.2d;%08.5lf"}},
    // 9
    {{"+dd;mm.mmmmm", "+dd;mm.mmmmmmm"}, {"+ddd;mm.mmmmm", "+ddd;mm.mmmmmmm"}, {"###;##.#####", "###;##.#######"}, {"####;##.#####", "####;##.#######"}, {"%+3d;%08.5lf", "%+3d;%010.7lf"}, {"%+4d;%08.5lf", "%+4d;%010.7lf"}},
    // 10
    {{"dd;mm;ss.sssH", "dd;mm;ss.sssssH"}, {"ddd;mm;ss.sssH", "ddd;mm;ss.sssssH"}, {"##;##;##.###N", "##;##;##.#####N"}, {"###;##;##.###E", "###;##;##.#####E"}, {"%02d;%02.2d;%06.3lf%1c", "%02d;%02.2d;%08.5lf%1c"}, {"%03d;%02.2d;%06.3lf%1c", "%03d;%02.2d;%08.5lf%1c"}},
    // 11
    {{"+dd;mm;ss.sssss", "+dd;mm;ss.sssssss"}, {"+ddd;mm;ss.sssss", "+ddd;mm;ss.sssssss"}, {"###;##;##.#####", "###;##;##.#######"}, {"####;##;##.#####", "####;##;##.#######"}, {"%+3d;%02.2d;%08.5lf", "%+3d;%02.2d;%010.7lf"}, {"%+4d;%02.2d;%08.5lf", "%+4d;%02.2d;%010.7lf"}},
    // 12
    {{"ddmm.mmmmmm,H", "ddmm.mmmmmm,H"}, {"dddmm.mmmmmm,H", "dddmm.mmmmmm,H"}, {"####.######,N", "####.######,N"}, {"#####.######,E", "#####.######,E"}, {"%2d%09.6lf,%1c", "%2d%09.6lf,%1c"}, {"%3d%09.6lf,%1c", "%3d%09.6lf,%1c"}},
    // 13
    {{"dd mm.mmmmH", "dd mm.mmmmH"}, {"ddd mm.mmmmH", "ddd mm.mmmmH"}, {"## ##.####N", "## ##.####N"}, {"### ##.####E", "### ##.####E"}, {"%2d %07.4lf%1c", "%2d %07.4lf%1c"}, {"%3d %07.4lf%1c", "%3d %07.4lf%1c"}},
    // 14
    {{"+r.rrrrrrrrrr", "+r.rrrrrrrrrrrr"}, {"+r.rrrrrrrrrr", "+r.rrrrrrrrrrrr"}, {"##.##########", "##.############"}, {"##.##########", "##.############"}, {"%13.10lf", "%15.12lf"}, {"%13.10lf", "%15.12lf"}},
};
// clang-format on

// The seconds from which a code's text would print 60 (seconds, or minutes built from them).
struct sCapPair {
    float normal;
    float high;
};
const float kNoCarry = std::numeric_limits<float>::infinity();
const sCapPair kSecondsCaps[LATLON_FORMAT_COUNT] = {
    {59.9995f, 59.999995f},        // 0
    {59.9997f, 59.999997f},        // 1
    {3599.99982f, 3599.9999982f},  // 2
    {59.9995f, 59.9995f},          // 3
    {59.95f, 59.95f},              // 4
    {59.999995f, 59.99999995f},    // 5
    {59.999997f, 59.99999997f},    // 6
    {3599.9999982f, 3599.999999982f},  // 7
    {59.9995f, 59.999995f},        // 8
    {59.9997f, 59.999997f},        // 9
    {59.9995f, 59.999995f},        // 10
    {59.999995f, 59.99999995f},    // 11
    {59.99997f, 59.99997f},        // 12
    {59.997f, 59.997f},            // 13
    {kNoCarry, kNoCarry},          // 14
};
constexpr float kDefaultCap = 59.999995f;

bool ValidCode(int code) { return code >= 0 && code < LATLON_FORMAT_COUNT; }

const char* Pick(const sTextPair& pair, BOOL highPrecision) { return highPrecision ? pair.high : pair.normal; }

bool IsNegativeLetter(char c) { return c == 'S' || c == 's' || c == 'W' || c == 'w'; }

char HemisphereLetter(bool nonNegative, BOOL latitude) {
    if (latitude) return nonNegative ? 'N' : 'S';
    return nonNegative ? 'E' : 'W';
}

// The whole degrees, minutes and seconds of |value|. A value whose degrees do not fit an int
// (or that is not a number) gives zeros rather than an undefined conversion.
void SplitMagnitude(double value, int& deg, int& min, double& sec) {
    deg = 0;
    min = 0;
    sec = 0.0;
    const double a = std::fabs(value);
    if (!(a < 2147483647.0)) return;
    deg = static_cast<int>(std::floor(a));
    const double m = (a - deg) * 60.0;
    min = static_cast<int>(std::floor(m));
    sec = (m - min) * 60.0;
}

// The width of a minutes or seconds field printed with the given decimals.
int FieldWidth(int decimals) { return decimals > 0 ? decimals + 3 : 2; }

// Half a unit of the last printed decimal below 60: from here the value would print as 60.
double RoundsToSixty(int decimals) { return 60.0 - 0.5 * std::pow(10.0, -decimals); }

CString DegreesMinutesText(double value, int decimals, const char* degreesFormat, char positive, char negative) {
    if (decimals < 0) decimals = 0;
    const char letter = value >= 0.0 ? positive : negative;
    const double a = std::fabs(value);
    int deg = std::isfinite(a) && a < 2147483647.0 ? static_cast<int>(std::floor(a)) : 0;
    double minutes = (a - std::floor(a)) * 60.0;
    if (minutes >= RoundsToSixty(decimals)) {
        minutes = std::fabs(minutes - 60.0);
        ++deg;
    }
    CString format;
    format.Format(degreesFormat, FieldWidth(decimals), decimals);
    CString out;
    out.Format(format.c_str(), deg, minutes, letter);
    return out;
}

struct sDmsSplit {
    int deg;
    int min;
    double sec;
    char letter;
};

sDmsSplit DmsTextSplit(double value, int decimals, BOOL latitude) {
    sDmsSplit s{};
    s.letter = HemisphereLetter(value >= 0.0, latitude);
    SplitMagnitude(value, s.deg, s.min, s.sec);
    if (s.sec >= RoundsToSixty(decimals)) {
        s.sec -= 60.0;
        ++s.min;
        if (s.min >= 60) {
            s.min -= 60;
            ++s.deg;
        }
    }
    s.sec = std::fabs(s.sec);
    return s;
}

}  // namespace

char DegreesToDms(double degrees, BOOL latitude, sDmsAngle* out, float secondsCap) {
    sDmsAngle a{};
    const bool nonNegative = degrees >= 0.0;
    double sec = 0.0;
    SplitMagnitude(degrees, a.degrees, a.minutes, sec);
    a.seconds = static_cast<float>(sec);
    if (a.seconds >= secondsCap) {
        ++a.minutes;
        a.seconds = 0.0f;
    }
    if (a.minutes >= 60) {
        ++a.degrees;
        a.minutes = 0;
    }
    a.hemisphere = HemisphereLetter(nonNegative, latitude);
    if (out != nullptr) *out = a;
    return a.hemisphere;
}

char DegreesToDmsParts(double degrees, BOOL latitude, int* deg, int* min, float* sec, char* hemisphere) {
    if (hemisphere != nullptr) *hemisphere = 0;
    int d = 0;
    int m = 0;
    double s = 0.0;
    SplitMagnitude(degrees, d, m, s);
    const char letter = HemisphereLetter(degrees >= 0.0, latitude);
    if (deg != nullptr) *deg = d;
    if (min != nullptr) *min = m;
    if (sec != nullptr) *sec = static_cast<float>(s);
    if (hemisphere != nullptr) *hemisphere = letter;
    return letter;
}

double DmsToDegrees(const sDmsAngle& angle) {
    return DmsPartsToDegrees(angle.degrees, angle.minutes, angle.seconds, angle.hemisphere);
}

double DmsPartsToDegrees(int degrees, int minutes, float seconds, char hemisphere) {
    const double value = degrees + minutes / 60.0 + seconds / 3600.0;
    return IsNegativeLetter(hemisphere) ? -value : value;
}

double DmsToRadians(const sDmsAngle& angle) { return DmsToDegrees(angle) * kDegToRad; }

double DmsPartsToRadians(double degrees, double minutes, double seconds, char sign) {
    const double value = ((seconds / 60.0 + minutes) / 60.0 + degrees) * kDegToRad;
    return (sign == '-' || IsNegativeLetter(sign)) ? -value : value;
}

CString DisplayMask(int code, BOOL latitude, BOOL highPrecision) {
    if (!ValidCode(code)) return CString();
    const sFormatRow& row = kFormats[code];
    return Pick(latitude ? row.displayLat : row.displayLon, highPrecision);
}

CString EditMask(int code, BOOL latitude, BOOL highPrecision) {
    if (!ValidCode(code)) return CString();
    const sFormatRow& row = kFormats[code];
    return Pick(latitude ? row.editLat : row.editLon, highPrecision);
}

CString PrintfFormat(int code, BOOL latitude, BOOL highPrecision) {
    if (!ValidCode(code)) return CString();
    const sFormatRow& row = kFormats[code];
    return Pick(latitude ? row.printfLat : row.printfLon, highPrecision);
}

CString FormatDms(int code, const sDmsAngle& angle, BOOL latitude, BOOL highPrecision) {
    CString out;
    if (!ValidCode(code)) return out;
    const CString format = PrintfFormat(code, latitude, highPrecision);
    const double seconds = angle.seconds;
    const double decimalMinutes = angle.minutes + seconds / 60.0;
    switch (code) {
        case 0:
        case 3:
        case 4:
        case 5:
        case 10:
            out.Format(format.c_str(), angle.degrees, angle.minutes, seconds, angle.hemisphere);
            break;
        case 1:
        case 6:
        case 12:
        case 13:
            out.Format(format.c_str(), angle.degrees, decimalMinutes, angle.hemisphere);
            break;
        case 2:
        case 7:
            out.Format(format.c_str(), DmsToDegrees(angle));
            break;
        case 8:
        case 11:
            out.Format(format.c_str(), angle.degrees, angle.minutes, seconds);
            break;
        case 9:
            out.Format(format.c_str(), angle.degrees, decimalMinutes);
            break;
        default:  // 14
            out.Format(format.c_str(), DmsToRadians(angle));
            break;
    }
    if (code == 8 || code == 9 || code == 11) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(angle.hemisphere)));
        if (letter == 'S' || letter == 'W') out.Replace('+', '-');
    }
    return out;
}

CString FormatDmsAuto(int code, const sDmsAngle& angle, BOOL highPrecision) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(angle.hemisphere)));
    return FormatDms(code, angle, letter == 'N' || letter == 'S', highPrecision);
}

CString FormatDegrees(int code, double degrees, BOOL latitude, BOOL highPrecision) {
    float cap = kDefaultCap;
    if (ValidCode(code)) cap = highPrecision ? kSecondsCaps[code].high : kSecondsCaps[code].normal;
    sDmsAngle angle{};
    DegreesToDms(degrees, latitude, &angle, cap);
    return FormatDms(code, angle, latitude, highPrecision);
}

CString LatitudeText(double latitude, int decimals) {
    return DegreesMinutesText(latitude, decimals, "%%02d %%0%d.%dlf %%c", 'N', 'S');
}

CString LongitudeText(double longitude, int decimals) {
    return DegreesMinutesText(longitude, decimals, "%%03d %%0%d.%dlf %%c", 'E', 'W');
}

CString PositionText(const double& latitude, const double& longitude, int decimals) {
    return LatitudeText(latitude, decimals) + "  " + LongitudeText(longitude, decimals);
}

CString DmsText(double degrees, int decimals, BOOL latitude) {
    if (decimals < 0) decimals = 0;
    const sDmsSplit s = DmsTextSplit(degrees, decimals, latitude);
    CString format;
    format.Format("%%2d;%%02d;%%0%d.%dlf%%c", FieldWidth(decimals), decimals);
    CString out;
    out.Format(format.c_str(), s.deg, s.min, s.sec, s.letter);
    return out;
}

namespace Vok {

std::string DmsText(double degrees, int decimals, BOOL latitude) {
    if (decimals < 0) decimals = 0;
    const sDmsSplit s = DmsTextSplit(degrees, decimals, latitude);
    return Format("%2d;%02d;%0*.*lf%c", s.deg, s.min, FieldWidth(decimals), decimals, s.sec, s.letter);
}

}  // namespace Vok

void FillFormatCombo(CWnd* window, int level) {
    auto* box = dynamic_cast<CComboBox*>(window);
    if (box == nullptr) return;
    static constexpr int kBasic[] = {0, 1, 2};
    static constexpr int kAll[] = {5, 0, 6, 1, 7, 2};
    box->ResetContent();
    const BOOL highPrecision = level >= 2 ? TRUE : FALSE;
    const auto add = [&](int code) {
        box->SetItemData(box->AddString(DisplayMask(code, FALSE, highPrecision)), static_cast<DWORD_PTR>(code));
    };
    if (level == 0) {
        for (const int code : kBasic) add(code);
    } else {
        for (const int code : kAll) add(code);
    }
}
