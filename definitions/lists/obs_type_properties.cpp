#include "definitions/lists/obs_type_properties.h"

#include <cstddef>

#include "compat/unit_library.h"
#include "definitions/records/code_table.h"
#include "definitions/records/definition_types.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obj_def_list.h"
#include "definitions/lists/sys_def_list.h"
#include "foundation/unit_types.h"

namespace {

constexpr size_t kTypeCount = 115;  // codes 0..114
constexpr double kDefaultSoundVelocity = 1485.0;
constexpr double kDegreesToRadians = 0.017453292519943295;

using Vok::Definitions::BuildCodeTable;
using Vok::Definitions::sCodeRow;
using CTypeSet = Vok::Definitions::CCodeSet<kTypeCount>;

bool InRange(int32_t t) { return t >= 0 && static_cast<size_t>(t) < kTypeCount; }

int Is(const sObsDef* def, const CTypeSet& set) { return def != nullptr && set.Has(def->obsType) ? 1 : 0; }
bool HasSecondNode(const sObsDef* def) { return def->toNodeId >= 1; }
bool IsLinked(const sObsDef* def) { return def->link >= 1; }

const CTypeSet kHeadingTypes("10-13,57");

float FactorRatio(float s, int base, int unit) {
    const double f = GetUnitFactor(unit);
    return f != 0.0 ? static_cast<float>(s * GetUnitFactor(base) / f) : s;
}

// The default standard deviation re-expressed; velocity is the sound velocity in metres per second.
float SigmaInUnits(int32_t obsType, int32_t unit, double velocity) {
    const float s = GetObsTypeDefaultSigma(obsType);
    switch (unit) {
        case UT_FEET: case UT_UNITS_PER_SECOND: case UT_METERS_PER_SECOND: case UT_FEET_PER_SECOND:
        case UT_KILOMETERS_PER_HOUR: case UT_MILES_PER_HOUR: case UT_KNOTS: case UT_SURVEY_UNIT:
        case UT_METERS_PER_SECOND_SQUARED:
            return FactorRatio(s, UT_METERS, unit);
        case UT_GRADS: case UT_RADIANS: case UT_ARC_MINUTES: case UT_ARC_SECONDS: case UT_RPM:
        case UT_DEGREES_PER_YEAR: case UT_DEGREES_PER_SECOND:
            return FactorRatio(s, UT_DEGREES, unit);
        case UT_ATM: case UT_PSI: case UT_PASCAL:
            return FactorRatio(s, UT_BAR, unit);
        case UT_SECONDS:
            return obsType == OBS_RANGE ? static_cast<float>(s / velocity) : s;
        case UT_MILLISECONDS:
            return obsType == OBS_RANGE ? static_cast<float>(s / velocity * 1000.0) : s;
        default:
            return s;
    }
}

bool IsTimeUnit(uint32_t unit) { return unit == UT_SECONDS || unit == UT_MILLISECONDS; }

}  // namespace

float GetObsTypeDefaultSigma(int32_t obsType) {
    static const sCodeRow<float> kRows[] = {
        {0.0f, "0,34,35,36,41,42,53,55,72,75,76,78,79,84,85,89,90,96,98,112,114"},
        {0.001f, "80,99,100,101,105,106,107,110,111"},
        {0.01f, "37,38,39,58,91"},
        {0.02f, "82"},
        {0.05f, "46,47,48,49,54,64,65,71,81,83"},
        {0.1f, "1,8,9,40,50,51,52,56,59,62,66,67,73,74,77,88,92,93,94,102,103,104,108,109,113"},
        {0.5f, "10,11,12,13,30,31,68,69,95"},
        {0.7f, "20,21,33"},
        {2.0f, "60"}};
    static const auto kTable = BuildCodeTable<float, kTypeCount>(1.0f, kRows);
    if (obsType == -1) return 999.0f;
    return InRange(obsType) ? kTable[static_cast<size_t>(obsType)] : 1.0f;
}

float GetObsTypeDefaultSigmaInUnits(int32_t obsType, int32_t unitType, double soundVelocity) {
    const double v = soundVelocity == 0.0 ? kDefaultSoundVelocity : UnitsToMeters(soundVelocity);
    return SigmaInUnits(obsType, unitType, v);
}

float GetObsTypeDefaultInterval(int32_t obsType) {
    static const sCodeRow<float> kRows[] = {
        {0.0f, "0,34-39,41,42,50,53,54,55,57,58,62-65,73-76,80,82-87,89,90,96,98,110-114"},
        {1.0f, "46,47,48,99-109"},
        {5.0f, "1,8-13,20-23,30,31,32,40,49,51,52,56,66-72,77,81,88,91-95"},
        {60.0f, "59,78,79"}};
    static const auto kTable = BuildCodeTable<float, kTypeCount>(10.0f, kRows);
    return InRange(obsType) ? kTable[static_cast<size_t>(obsType)] : 10.0f;
}

double GetObsTypeDefaultMaxExtrapolation() {
    return 0.0;
}

int32_t GetObsTypeUnitType(int32_t obsType) {
    static const sCodeRow<int32_t> kRows[] = {
        {UT_METERS, "1,6,7,20,21,32,33,37,38,39,40,43,44,45,48,50,51,52,54,59,60,62,64,65,66,68,69,"
                    "71,73,74,88,97"},
        {UT_DEGREES, "8-13,30,31,46,47,49,57,92,93,94"},
        {UT_SECONDS, "3,4,5,34,36,58"},
        {UT_CYCLES, "2,22"},
        {UT_HERTZ, "23"},
        {UT_RPM, "70"},
        {UT_TONS_PER_CUBIC_METER, "82"},
        {UT_TONS, "86"},
        {UT_CUBIC_METERS, "87"},
        {UT_DEGREES_PER_SECOND, "95,105,106,107"},
        {UT_METERS_PER_SECOND, "56,67,77,81,83,102,103,104,108,109,113"},
        {UT_OTHER, "61,80"},
        {UT_BAR, "91"},
        {UT_METERS_PER_SECOND_SQUARED, "99,100,101"}};
    static const auto kTable = BuildCodeTable<int32_t, kTypeCount>(-1, kRows);
    return InRange(obsType) ? kTable[static_cast<size_t>(obsType)] : -1;
}

uint32_t GetObsTypeIconIndex(int32_t obsType) {
    static const sCodeRow<uint32_t> kRows[] = {
        {1, "1"},      {2, "2,3"},    {3, "4,5"},    {4, "6"},      {5, "7"},      {6, "8"},
        {7, "9"},      {8, "10-13,57"}, {9, "20-23"}, {10, "49"},    {11, "33"},    {12, "30"},
        {13, "31"},    {14, "32"},    {15, "37"},    {16, "38"},    {17, "39"},    {18, "40,48"},
        {19, "46,92"}, {20, "47,93"}, {21, "94"},    {22, "43"},    {23, "44"},    {24, "45"},
        {25, "50"},    {26, "52"},    {27, "51"},    {28, "53,75"}, {29, "34"},    {30, "55"},
        {31, "59"},    {32, "58"},    {33, "56"},    {34, "60"},    {35, "61"},    {36, "54"},
        {37, "62"},    {38, "64"},    {39, "65"},    {40, "66,67"}, {41, "68"},    {42, "69"},
        {43, "95"},    {44, "70"},    {45, "71"},    {46, "72"},    {47, "73"},    {48, "74,98"},
        {49, "77"},    {50, "78"},    {51, "79"},    {52, "36"},    {53, "80"},    {54, "81"},
        {55, "82"},    {56, "83"},    {57, "84"},    {58, "85"},    {59, "76"},    {60, "86"},
        {61, "87"},    {62, "88"},    {63, "63,90"}, {64, "91"},    {65, "96"},    {66, "97"}};
    static const auto kTable = [] {
        auto table = BuildCodeTable<uint32_t, kTypeCount>(0, kRows);
        for (int32_t t = 99; t <= 114; ++t) table[static_cast<size_t>(t)] = static_cast<uint32_t>(t - 32);
        return table;
    }();
    return InRange(obsType) ? kTable[static_cast<size_t>(obsType)] : 0;
}

int32_t GetObsTypeVerticalSense(const sObsDef* def) {
    static const CTypeSet kUp("32,40,46,47,48,52,59");
    static const CTypeSet kDown("50,51,73");
    if (Is(def, kUp) != 0) return 1;
    if (Is(def, kDown) != 0) return -1;
    return 0;
}

namespace {

const CTypeSet kCircular("8-13,57");
const CTypeSet kSignedAngle("49,92,93,94");
const CTypeSet kBearing("10,11,12");
const CTypeSet kGridBearingOrCourse("13,57");
const CTypeSet kSimpleValue("1-13,49,51,52,56,59,61,70,77,81-88,91-95,97,99-109");
const CTypeSet kGps("20-23");
const CTypeSet kUsbl("43,44,45");
const CTypeSet kPosition("30,31,32,68,69");
const CTypeSet kRotation("92,93,94");
const CTypeSet kPitchRollHeave("46,47,48");
const CTypeSet kRangeOrLayback("1,97");
const CTypeSet kAngular("8-13,49,57,92,93,94");
const CTypeSet kBearingBetweenNodes("10-13");
const CTypeSet kLinkedHeading("8,11,13");
const CTypeSet kLinkedSpeed("56,67");
const CTypeSet kTilt("46,92,93");
const CTypeSet kHeaveOrRovDepth("48,51");
const CTypeSet kHeightAidingOrSquat("40,71,72");
const CTypeSet kUsblDzVerticalAngleOrLayback("45,49,60");
const CTypeSet kPseudoRangeOrHeight("20,32,40");
const CTypeSet kOffset("37,38,39");
const CTypeSet kTarget("78,79");
const CTypeSet kSurveySensor("50,54,73,76,80,113");
const CTypeSet kSidescan("62,74");
const CTypeSet kSonar("50,54,62,73,74,113");
const CTypeSet kPps("110,111");
const CTypeSet kTideOrDraft("59,88");
const CTypeSet kAttitudeAlways("46,47,48,51,92,93,94");
const CTypeSet kAttitudeWithNegativeLink("10-13,46,47,48,51,57,88,91,92,93,94");
const CTypeSet kPositioningAlways("1,20,30-33,37-40,43,44,45,60,68,69,97");
const CTypeSet kPositioningBetweenNodes("8,10-13,49");

int IsType(const sObsDef* def, int32_t type) { return def != nullptr && def->obsType == type ? 1 : 0; }
int Bool(bool b) { return b ? 1 : 0; }

}  // namespace

int IsCircularObs(const sObsDef* def) { return Is(def, kCircular); }
int IsSignedAngleObs(const sObsDef* def) { return Is(def, kSignedAngle); }
int IsBearingObs(const sObsDef* def) { return Is(def, kBearing); }
int IsGridBearingOrCourseObs(const sObsDef* def) { return Is(def, kGridBearingOrCourse); }

int GetObsComponentCount(const sObsDef* def) {
    if (def == nullptr) return 0;
    switch (def->obsType) {
        case 30: case 68: return 2;
        case 37: case 43: case 46: return 3;
        default: return 0;
    }
}

int IsObsDefLinkNegative(const sObsDef* def) { return Bool(def != nullptr && def->link < 0); }
int IsSimpleValueObs(const sObsDef* def) { return Is(def, kSimpleValue); }
int IsGpsObs(const sObsDef* def) { return Is(def, kGps); }
int IsDiffCorrectionObs(const sObsDef* def) { return IsType(def, 33); }
int IsUsblObs(const sObsDef* def) { return Is(def, kUsbl); }
int IsPositionObs(const sObsDef* def) { return Is(def, kPosition); }
int IsRotationObs(const sObsDef* def) { return Is(def, kRotation); }
int IsPitchRollHeaveObs(const sObsDef* def) { return Is(def, kPitchRollHeave); }
int IsHeaveObs(const sObsDef* def) { return IsType(def, 48); }
int IsRangeOrLaybackObs(const sObsDef* def) { return Is(def, kRangeOrLayback); }
int IsAngularObs(const sObsDef* def) { return Is(def, kAngular); }

int IsBearingBetweenNodesObs(const sObsDef* def) {
    return Bool(Is(def, kBearingBetweenNodes) != 0 && HasSecondNode(def));
}

int IsHeadingObs(const sObsDef* def) { return Bool(Is(def, kHeadingTypes) != 0 && !HasSecondNode(def)); }

int IsLinkedHeadingObs(const sObsDef* def) {
    return Bool(Is(def, kLinkedHeading) != 0 && !HasSecondNode(def) && IsLinked(def));
}

int IsLinkedSpeedObs(const sObsDef* def) {
    return Bool(Is(def, kLinkedSpeed) != 0 && !HasSecondNode(def) && IsLinked(def));
}

int IsLinkedVerticalSpeedObs(const sObsDef* def) {
    return Bool(IsType(def, 77) != 0 && !HasSecondNode(def) && IsLinked(def));
}

int IsHeadingOrSpeedObs(const sObsDef* def) {
    return Bool(IsLinkedHeadingObs(def) != 0 || IsLinkedSpeedObs(def) != 0 || IsLinkedVerticalSpeedObs(def) != 0);
}

int IsHeadingOrYawObs(const sObsDef* def) { return Bool(IsHeadingObs(def) != 0 || IsType(def, 94) != 0); }
int IsTiltObs(const sObsDef* def) { return Is(def, kTilt); }
int IsHeaveOrRovDepthObs(const sObsDef* def) { return Is(def, kHeaveOrRovDepth); }
int IsHeightAidingOrSquatObs(const sObsDef* def) { return Is(def, kHeightAidingOrSquat); }
int IsUsblDzVerticalAngleOrLaybackObs(const sObsDef* def) { return Is(def, kUsblDzVerticalAngleOrLayback); }
int IsPseudoRangeOrHeightObs(const sObsDef* def) { return Is(def, kPseudoRangeOrHeight); }
int IsOffsetObs(const sObsDef* def) { return Is(def, kOffset); }
int IsGenericObs(const sObsDef* def) { return IsType(def, 61); }
int IsTargetObs(const sObsDef* def) { return Is(def, kTarget); }
int IsSurveySensorObs(const sObsDef* def) { return Is(def, kSurveySensor); }
int IsSidescanObs(const sObsDef* def) { return Is(def, kSidescan); }
int IsSonarObs(const sObsDef* def) { return Is(def, kSonar); }
int IsPpsObs(const sObsDef* def) { return Is(def, kPps); }
int IsAdcpObs(const sObsDef* def) { return IsType(def, 113); }
int IsFlsObs(const sObsDef* def) { return IsType(def, 114); }
int IsTideObs(const sObsDef* def) { return IsType(def, 59); }

int IsAttitudeObs(const sObsDef* def) { return Bool(IsHeadingObs(def) != 0 || Is(def, kAttitudeAlways) != 0); }

int IsAttitudeObsWithNegativeLink(const sObsDef* def) {
    return Bool(Is(def, kAttitudeWithNegativeLink) != 0 && def->link < 0);
}

int IsTideOrDraftObs(const sObsDef* def) { return Is(def, kTideOrDraft); }

int IsPositioningObs(const sObsDef* def) {
    return Bool(Is(def, kPositioningAlways) != 0 || (Is(def, kPositioningBetweenNodes) != 0 && HasSecondNode(def)));
}

int IsPositioningOrSensorObs(const sObsDef* def) {
    return Bool(IsPositioningObs(def) != 0 || IsAttitudeObs(def) != 0 || IsSurveySensorObs(def) != 0 ||
                IsSidescanObs(def) != 0);
}

int IsBundleObs(const sObsDef* def, const CNodeDefList* nodes, const CObjDefList* objects,
                const CSysDefList* systems) {
    if (def == nullptr) return 0;
    constexpr int32_t kPipeBundle = 13;
    if (objects != nullptr) {
        const sObjDef* object = objects->FindByNode(def->nodeId, nodes);
        if (object != nullptr && object->objType == kPipeBundle) return 1;
    }
    const sSysDef* system = systems != nullptr ? systems->FindById(def->sysId) : nullptr;
    return Bool(system != nullptr && system->sysType >= 37 && system->sysType <= 39);
}

int ApplyObsDefDefaults(sObsDef* def, int32_t fillSigma) {
    if (def == nullptr) return 0;
    const auto unit = static_cast<int32_t>(def->unitType);
    if (fillSigma != 0 && def->sigma <= 0.0f) def->sigma = SigmaInUnits(def->obsType, unit, kDefaultSoundVelocity);
    if (def->scale == 0.0) {
        def->scale = GetUnitFactor(unit);
        if (def->obsType == OBS_RANGE && IsTimeUnit(def->unitType)) def->scale *= def->soundVelocity;
    }
    if (def->displayNodeId == 0) def->displayNodeId = def->nodeId;
    return 1;
}

void ConvertObsDefUnits(sObsDef& dst, sObsDef src, uint32_t newUnitType) {
    dst = src;
    if (src.obsType == OBS_DEVICE_CONTROL || src.obsType == OBS_PPS_TIMETAG || src.unitType == newUnitType) return;
    const double f = ConvertUnitValue(1.0, static_cast<int>(src.unitType), static_cast<int>(newUnitType));
    dst.unitType = newUnitType;
    dst.scale *= f;
    dst.quadratic *= f * f;
    dst.correction1 *= f;
    dst.correction2 *= f;
    dst.sigma = static_cast<float>(dst.sigma * f);
}

double GetObsDefValueFactor(const sObsDef* def, int32_t meters, int32_t radians) {
    if (def == nullptr) return 1.0;
    const auto unit = static_cast<int32_t>(def->unitType);
    double f = GetUnitFactor(unit);
    if (def->obsType == OBS_RANGE && IsTimeUnit(def->unitType)) f *= def->soundVelocity;
    if (meters != 0 && (IsLengthUnitType(unit) || IsSpeedUnitType(unit) || unit == UT_METERS_PER_SECOND_SQUARED))
        f *= UnitsToMeters(1.0);
    if (radians != 0 && unit >= UT_DEGREES && unit <= UT_ARC_SECONDS) f *= kDegreesToRadians;
    return f;
}
