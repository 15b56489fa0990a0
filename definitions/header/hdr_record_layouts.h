// Record ids, fixed sizes and the payload offsets of the header records that the header list's
// look-ups and maintenance read and write. Offsets are bytes from the start of a payload; words
// are little-endian 32-bit. A text field's size is the number of bytes it may occupy.
#pragma once

#include <cstddef>
#include <cstdint>

namespace HdrRecord {

namespace DatumEllipsoid {  // 13, "iH011n"
constexpr int32_t kId = 13;
constexpr uint32_t kSize = 72;
constexpr size_t kNumber = 0;
constexpr size_t kName = 4;
constexpr size_t kNameField = 19;  // up to the ellipsoid name at 23
}  // namespace DatumEllipsoid

namespace Summary {  // 24, "iH0200"
constexpr int32_t kId = 24;
constexpr uint32_t kSize = 28;
constexpr size_t kSmallObjects = 0;   // Object records whose id is below 10
constexpr size_t kLargeObjects = 4;   // Object records whose id is 10 or more
constexpr size_t kNodes = 8;
constexpr size_t kDatums = 12;
constexpr size_t kWord16 = 16;        // 1 in a new record
constexpr size_t kUnitCode = 20;
}  // namespace Summary

namespace GunArrayDepth {  // 57, "iH32n1"
constexpr int32_t kId = 57;
constexpr size_t kGunArray = 4;
}  // namespace GunArrayDepth

namespace Observation {  // 65, "iH52nn"
constexpr int32_t kId = 65;
constexpr size_t kKind = 0;
constexpr size_t kKey = 4;
constexpr size_t kFirstNode = 28;
constexpr size_t kSecondNode = 32;
constexpr size_t kCorrections = 44;
constexpr int32_t kKindFixedNode = 1;
constexpr int32_t kKindGnss = 20;
}  // namespace Observation

namespace ObservationQc {  // 68, "iH54nn"
constexpr int32_t kId = 68;
constexpr size_t kKey = 4;
}  // namespace ObservationQc

namespace GnssSystem {  // 71, "iH600n"
constexpr int32_t kId = 71;
constexpr uint32_t kSize = 84;
constexpr size_t kNumber = 0;
constexpr size_t kDatumNumber = 16;
}  // namespace GnssSystem

// The GNSS Position records 73 ("iH620n") and 205 ("iH62nn") share their head.
namespace GnssPosition73 {
constexpr int32_t kId = 73;
constexpr size_t kGnssSystem = 0;
constexpr size_t kNode = 4;
constexpr size_t kSecond = 8;
constexpr size_t kObject = 12;
}  // namespace GnssPosition73

namespace Usbl128 {  // 128, "iQ16n0"
constexpr int32_t kId = 128;
constexpr uint32_t kSize = 36;
constexpr size_t kKey1 = 0;
constexpr size_t kKey2 = 4;
constexpr size_t kKey3 = 8;
}  // namespace Usbl128

namespace Corrections {  // 140, "iH8100"
constexpr int32_t kId = 140;
constexpr uint32_t kSize = 40;
constexpr size_t kNumber = 0;
constexpr size_t kFixedNodeValue = 16;  // f32
constexpr size_t kWord32 = 32;
constexpr size_t kWord36 = 36;
}  // namespace Corrections

namespace CorrectionsNode {  // 141, "iH81n0"
constexpr int32_t kId = 141;
constexpr size_t kUsed = 0;
constexpr size_t kNode = 4;
constexpr size_t kWord8 = 8;
constexpr size_t kWord12 = 12;
}  // namespace CorrectionsNode

namespace Version {  // 151, "iQ1003"
constexpr int32_t kId = 151;
constexpr uint32_t kSize = 8;
constexpr size_t kVersion = 0;
constexpr size_t kBuild = 4;
}  // namespace Version

namespace SurveyUnit {  // 153, "iH0021"
constexpr int32_t kId = 153;
constexpr uint32_t kSize = 48;
constexpr size_t kName = 0;
constexpr size_t kNameField = 40;
constexpr size_t kFactor = 40;  // f64 metres per survey unit
}  // namespace SurveyUnit

// The Object records 166 ("iH021n") and 267 ("iH021m") and their members 167 to 169 share their
// head: a name at 4 and the id at 40.
namespace Object {
constexpr int32_t kId = 166;
constexpr int32_t kIdM = 267;
constexpr uint32_t kSize = 28080;
constexpr uint32_t kSizeM = 76;
constexpr size_t kName = 4;
constexpr size_t kNameField = 36;
constexpr size_t kObjectId = 40;
constexpr size_t kCounters = 44;  // eight u32
constexpr size_t kCounterCount = 8;
constexpr size_t kShapeCount = 76;  // 166 only
constexpr size_t kShapeItems = 80;  // 166 only
constexpr uint32_t kMaxShapeItems = 1000;
}  // namespace Object

namespace Streamer {  // 167, "iH022n"
constexpr int32_t kId = 167;
constexpr size_t kOwner = 44;
}  // namespace Streamer

namespace GunArray {  // 168, "iH023n"
constexpr int32_t kId = 168;
constexpr uint32_t kSize = 28068;
constexpr size_t kOwner = 44;
constexpr size_t kCounters = 48;  // four u32
constexpr size_t kCounterCount = 4;
}  // namespace GunArray

namespace TowedBuoy {  // 169, "iH024n"
constexpr int32_t kId = 169;
constexpr size_t kOwner = 44;
}  // namespace TowedBuoy

namespace SideScanSonar {  // 173, "iH9201"
constexpr int32_t kId = 173;
constexpr size_t kSystem = 0;
constexpr size_t kFlag = 8;
constexpr size_t kValue = 12;  // f32
}  // namespace SideScanSonar

namespace LineName {  // 176, "iH0000"
constexpr int32_t kId = 176;
constexpr size_t kName = 0;
constexpr size_t kNameField = 81;
constexpr size_t kNumber = 84;
}  // namespace LineName

namespace QcDatumShift {  // 188, "iQ0120"
constexpr int32_t kId = 188;
constexpr uint32_t kSize = 40;
constexpr size_t kDatumA = 0;
constexpr size_t kDatumB = 4;
}  // namespace QcDatumShift

namespace UsblBeacon {  // 195, "iH16n1"
constexpr int32_t kId = 195;
constexpr size_t kKey1 = 0;
constexpr size_t kKey2 = 4;
}  // namespace UsblBeacon

namespace ReferencePoint {  // 197, "iH10n0"
constexpr int32_t kId = 197;
constexpr size_t kNumber = 0;
constexpr size_t kObjectClass = 4;
constexpr size_t kValue = 12;  // f32
}  // namespace ReferencePoint

namespace VariableNode {  // 201, "iH51n0"
constexpr int32_t kId = 201;
constexpr size_t kNode = 4;
constexpr size_t kObject = 28;
constexpr size_t kOffsetX = 32;  // f32, as are the next two
constexpr size_t kOffsetY = 36;
constexpr size_t kOffsetZ = 40;
}  // namespace VariableNode

namespace UsblTransceiver {  // 202, "iH16n0"
constexpr int32_t kId = 202;
constexpr size_t kKey1 = 0;  // also the owning object id
constexpr size_t kKey2 = 4;
}  // namespace UsblTransceiver

namespace FixedNode {  // 204, "iH5000"
constexpr int32_t kId = 204;
constexpr size_t kNumber = 0;
constexpr size_t kValue = 672;  // f64
}  // namespace FixedNode

namespace GnssPosition205 {  // 205, "iH62nn"
constexpr int32_t kId = 205;
constexpr size_t kGnssSystem = 0;
constexpr size_t kNode = 4;
constexpr size_t kSecond = 8;
constexpr size_t kObject = 12;
constexpr size_t kDatumRef = 16;
}  // namespace GnssPosition205

namespace DatumShift {  // 206, "iH0120"
constexpr int32_t kId = 206;
constexpr uint32_t kSize = 88;
constexpr size_t kDatumA = 0;
constexpr size_t kDatumB = 4;
}  // namespace DatumShift

namespace Dredging {  // 207, "iH9500"
constexpr int32_t kId = 207;
constexpr size_t kKey = 0;
constexpr size_t kRank = 44;
}  // namespace Dredging

// Records found by the key word at 4: 208, 209, 210, 225 (dredging), 231 (control), 264 (dumping).
namespace KeyAt4 {
constexpr size_t kKey = 4;
constexpr int32_t kDredging9510 = 208;
constexpr int32_t kDredging9511 = 209;
constexpr int32_t kDredgingList = 210;
constexpr uint32_t kDredgingListSize = 64;
constexpr int32_t kDredging9512 = 225;
constexpr int32_t kControl = 231;
constexpr int32_t kDumping = 264;
}  // namespace KeyAt4

namespace SquatModel {  // 213, "iQ10n1"
constexpr int32_t kId = 213;
constexpr size_t kKey = 0;
}  // namespace SquatModel

namespace Dredging9501 {  // 217, "iH9501"
constexpr int32_t kId = 217;
constexpr size_t kKeyB = 4;
constexpr size_t kKeyA = 8;
}  // namespace Dredging9501

namespace Singlebeam {  // 219, "iH1475"
constexpr int32_t kId = 219;
constexpr size_t kSelector = 0;
constexpr size_t kKey1 = 4;  // also the owning object id
constexpr size_t kKey2 = 8;
}  // namespace Singlebeam

namespace Multibeam {  // 220, "iH8575"
constexpr int32_t kId = 220;
constexpr size_t kVariant = 0;
constexpr size_t kSystem = 4;
constexpr size_t kNode = 32;
constexpr size_t kFlag = 76;
constexpr size_t kValue = 80;  // f32
}  // namespace Multibeam

namespace Multitransducer {  // 221, "iH9175"
constexpr int32_t kId = 221;
constexpr size_t kVariant = 0;
constexpr size_t kSystem = 4;
constexpr size_t kObject = 8;
constexpr size_t kFlag = 68;
constexpr size_t kValue = 72;  // f64
}  // namespace Multitransducer

namespace PrhSensor {  // 226, "iH1775"
constexpr int32_t kId = 226;
constexpr size_t kSelector = 0;
constexpr size_t kKey1 = 4;  // also the owning object id
constexpr size_t kKey2 = 8;
}  // namespace PrhSensor

namespace ChartDatum {  // 228, "iQ0140"
constexpr int32_t kId = 228;
constexpr size_t kFirstRef = 16;
constexpr size_t kSecondRef = 592;
constexpr size_t kPackedLocal = 600;
constexpr size_t kPackedOwner = 872;
}  // namespace ChartDatum

namespace PipeBundle {  // 229, "iH025n"
constexpr int32_t kId = 229;
constexpr size_t kObjectId = 0;
constexpr size_t kName = 4;
constexpr size_t kNameField = 36;
}  // namespace PipeBundle

namespace NodeLink {  // 230, "iH4200"
constexpr int32_t kId = 230;
constexpr uint32_t kSize = 112;
constexpr size_t kFirst = 0;
constexpr size_t kSecond = 4;
}  // namespace NodeLink

namespace MetaData {  // 233, "iH0010"
constexpr int32_t kId = 233;
constexpr size_t kVersionText = 608;
constexpr size_t kVersionTextField = 1045 - 608;  // up to the flag byte
}  // namespace MetaData

namespace RawData {  // 234, "iH9800"
constexpr int32_t kId = 234;
constexpr size_t kKey1 = 4;
constexpr size_t kKey2 = 8;
}  // namespace RawData

// Records of one system found by the system id at 4.
namespace SystemAt4 {
constexpr size_t kSystem = 4;
constexpr int32_t kWaterColumn = 240;
constexpr int32_t kPps = 241;
constexpr uint32_t kPpsSize = 72;
constexpr int32_t kSnippets = 243;
constexpr int32_t kPpsTimetag = 249;
constexpr uint32_t kPpsTimetagSize = 80;
constexpr int32_t kAdcp = 262;
constexpr int32_t kFls = 273;
}  // namespace SystemAt4

namespace PpsPulse {  // 251, "iQ1008"
constexpr int32_t kId = 251;
constexpr uint32_t kSize = 80;
constexpr size_t kSystem = 8;
}  // namespace PpsPulse

// The Simplified (244, "iH5900") and Full Harmonics (245, "iH59nn") ATT records.
namespace Att {
constexpr int32_t kSimplified = 244;
constexpr int32_t kFullHarmonics = 245;
constexpr size_t kSecond = 8;
constexpr size_t kKey = 12;
}  // namespace Att

// The Datum Epoch records 246 ("iH0121") and 247 ("iQ0121").
namespace DatumEpoch {
constexpr int32_t kId = 246;
constexpr int32_t kQcId = 247;
constexpr uint32_t kQcSize = 40;
constexpr size_t kDatumA = 0;
constexpr size_t kDatumB = 4;
constexpr size_t kKind = 8;
constexpr size_t kEpoch = 32;  // f64 decimal year
constexpr int32_t kKindCurrentDate = 2;
}  // namespace DatumEpoch

namespace DriverSetting {  // 256, "iQ0300"
constexpr int32_t kId = 256;
constexpr size_t kDriver = 0;
constexpr size_t kName = 8;
constexpr size_t kNameField = 60;
constexpr size_t kValue = 68;
constexpr size_t kValueField = 84;
}  // namespace DriverSetting

namespace GnssPosition258 {  // 258, "iH6282"
constexpr int32_t kId = 258;
constexpr size_t kSelector = 0;
constexpr size_t kSystem = 4;
constexpr size_t kGnssSystem = 8;
constexpr size_t kNode = 12;
constexpr size_t kSecond = 16;
constexpr size_t kObject = 20;
constexpr size_t kDatumRef = 32;
}  // namespace GnssPosition258

namespace Usbl260 {  // 260, "iQ1682"
constexpr int32_t kId = 260;
constexpr uint32_t kSize = 72;
constexpr size_t kSelector = 0;
constexpr size_t kKey1 = 4;
constexpr size_t kKey2 = 8;
constexpr size_t kKey3 = 12;
}  // namespace Usbl260

namespace Shape {  // 268, "iH021s"
constexpr int32_t kId = 268;
constexpr uint32_t kSize = 400;
constexpr size_t kObjectId = 0;
constexpr size_t kKind = 4;
constexpr size_t kBlobId = 8;
constexpr size_t kWord288 = 288;  // 63 in the records this system creates
constexpr size_t kScales = 344;   // three f64 of 1.0
constexpr int32_t kKindVessel = 1;
}  // namespace Shape

namespace BlobHeader {  // 269, "iH0400"
constexpr int32_t kId = 269;
constexpr uint32_t kSize = 12;
constexpr size_t kBlobId = 0;
constexpr size_t kChunkCount = 4;
constexpr size_t kLength = 8;
}  // namespace BlobHeader

namespace BlobChunk {  // 270, "iH0401"
constexpr int32_t kId = 270;
constexpr uint32_t kSize = 2060;
constexpr size_t kBlobId = 0;
constexpr size_t kIndex = 4;
constexpr size_t kLength = 8;
constexpr size_t kData = 12;
constexpr uint32_t kCapacity = 2048;
}  // namespace BlobChunk

namespace ProjectWkt {  // 272, "iH0110"
constexpr int32_t kId = 272;
constexpr uint32_t kSize = 4;
constexpr size_t kBlobId = 0;
}  // namespace ProjectWkt

// A record that names its WKT blob at 680 is read there only when it holds the whole word.
constexpr size_t kRecordWktBlobId = 680;

// A datum reference (sDatumRef) inside a record.
constexpr uint32_t kDatumRefSize = 576;

}  // namespace HdrRecord
