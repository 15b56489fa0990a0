#include "definitions/header/record_types.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "compat/windows_types.h"
#include "definitions/records/code_table.h"
#include "definitions/header/hdr_list.h"
#include "definitions/records/payload_bytes.h"
#include "foundation/system_time.h"

using Vok::Definitions::BuildCodeTable;
using Vok::Definitions::CCodeSet;
using Vok::Definitions::LoadAt;
using Vok::Definitions::sCodeRow;
using Vok::Definitions::StoreAt;

namespace {

constexpr size_t kTypeCount = RECORD_TYPE_LAST + 1;
using CRecordSet = CCodeSet<kTypeCount>;

struct sRecordName {
    const char* code;
    const char* caption;
};

// Header code and caption by type; type 263 has none.
constexpr std::array<sRecordName, kTypeCount> kRecordNames = {{
    {"undef", "Undefined"},  // 0
    {"iHxxxx", "Line Name"},  // 1
    {"iH0001", "Project Name"},  // 2
    {"iH0002", "Project Data"},  // 3
    {"iH0003", "Media Format"},  // 4
    {"iH0004", "Client"},  // 5
    {"iH0005", "Contractor"},  // 6
    {"iH0006", "Contractor"},  // 7
    {"iH0007", "Contractor"},  // 8
    {"iH00n8", "Line Data"},  // 9
    {"iH00n9", "Waypoint Data"},  // 10
    {"iH0100", "Magnetic Variation"},  // 11
    {"iH0101", "Magnetic Variation"},  // 12
    {"iH011n", "Datum Ellipsoid"},  // 13
    {"iHx12x", "Datum Shift"},  // 14
    {"iH0130", "Datum Shift"},  // 15
    {"iH0140", "Projection"},  // 16
    {"iH0150", "Transverse Mercator"},  // 17
    {"iH0160", "Mercator"},  // 18
    {"iH0170", "Lambert"},  // 19
    {"iH0180", "Oblique Mercator"},  // 20
    {"iH0181", "Tangent Plane"},  // 21
    {"iH0190", "Stereographic"},  // 22
    {"iH0199", "Projection"},  // 23
    {"iH0200", "Summary"},  // 24
    {"iH021x", "Object"},  // 25
    {"iH022x", "Streamer"},  // 26
    {"iH023x", "Gun Array"},  // 27
    {"iH024x", "Towed Buoy"},  // 28
    {"iH10xx", "Reference Point"},  // 29
    {"iH11n0", "Steered Point"},  // 30
    {"iH12n0", "Navigation"},  // 31
    {"iH12n1", "Quality"},  // 32
    {"iH13n0", "Vessel Time"},  // 33
    {"iH14xx", "Singlebeam"},  // 34
    {"iH15x0", "Sound Velocity"},  // 35
    {"iH15x1", "Sound Velocity"},  // 36
    {"iH16x0", "USBL System"},  // 37
    {"iH16x1", "USBL System"},  // 38
    {"iH16n2", "USBL System"},  // 39
    {"iH17xx", "PRH Sensor"},  // 40
    {"iH17x1", "PRH Sensor"},  // 41
    {"iH21n0", "Streamer Geometry"},  // 42
    {"iH21n1", "Streamer Geometry"},  // 43
    {"iH21n2", "Streamer Compass"},  // 44
    {"iH21n3", "Streamer Depth"},  // 45
    {"iH22n0", "Compass Location"},  // 46
    {"iH2300", "Compass Correction"},  // 47
    {"iH23n0", "Compass Correction"},  // 48
    {"iH2301", "Compass Correction"},  // 49
    {"iH23n1", "Compass Correction"},  // 50
    {"iH24n0", "Seismic Receiver"},  // 51
    {"iH24n1", "Auxiliary Channel"},  // 52
    {"iH25n0", "Streamer Depth"},  // 53
    {"iH31n0", "Gun Array Geometry"},  // 54
    {"iH31n1", "Gun Definition"},  // 55
    {"iH32n0", "Gun Array Depth"},  // 56
    {"iH32n1", "Gun Array Depth"},  // 57
    {"iH32n2", "Gun Array Depth"},  // 58
    {"iH33n0", "Gun Firing Sequence"},  // 59
    {"iH34n0", "Gun Array Pressure"},  // 60
    {"iH34n1", "Gun Array Pressure"},  // 61
    {"iH41n0", "Towed Buoy"},  // 62
    {"iH5066", "Fixed Node"},  // 63
    {"iH5166", "Variable Node"},  // 64
    {"iH52nn", "Observation"},  // 65
    {"iH5306", "Observation"},  // 66
    {"iH5307", "Composite Range"},  // 67
    {"iH54nn", "Observation"},  // 68
    {"iH5500", "Quality"},  // 69
    {"iH56n0", "Corrections"},  // 70
    {"iH600n", "GNSS System"},  // 71
    {"iH610n", "DGPS Station"},  // 72
    {"iH620n", "GNSS Position"},  // 73
    {"iH6300", "GNSS Strategy"},  // 74
    {"iH6301", "DGPS Strategy"},  // 75
    {"iH65nx", "DGPS Source"},  // 76
    {"iH66nn", "DGPS Source"},  // 77
    {"iH67n0", "GNSS Height"},  // 78
    {"iH7000", "User Defined"},  // 79
    {"iH7010", "User Defined"},  // 80
    {"iH7020", "User Defined"},  // 81
    {"iH7021", "User Defined"},  // 82
    {"iE1xxx", "Fix"},  // 83
    {"iE12n0", "Navigation"},  // 84
    {"iE14n0", "Singlebeam"},  // 85
    {"iE16n0", "USBL"},  // 86
    {"iE17n0", "PRH Sensor"},  // 87
    {"iE22n0", "Compass Data"},  // 88
    {"iE24n1", "Auxiliary Data"},  // 89
    {"iE25n0", "Streamer Data"},  // 90
    {"iE32n0", "Gun Array Depth"},  // 91
    {"iE33n0", "Gun Firing Sequence"},  // 92
    {"iE34n0", "Gun Array Pressure"},  // 93
    {"iE52nn", "Observation"},  // 94
    {"iE54nn", "Observation"},  // 95
    {"iE55nn", "Quality"},  // 96
    {"iE55nn", "Corrections"},  // 97
    {"iE620n", "GNSS Position"},  // 98
    {"iE621n", "GNSS Position"},  // 99
    {"iE6303", "GNSS Data"},  // 100
    {"iE640n", "GNSS Data"},  // 101
    {"iE65nn", "DGPS Source"},  // 102
    {"iE7010", "User Defined"},  // 103
    {"iT1001", "Cycle"},  // 104
    {"iT14n0", "Singlebeam"},  // 105
    {"iT16n0", "USBL"},  // 106
    {"iT17n0", "PRH Sensor"},  // 107
    {"iT52nn", "Observation"},  // 108
    {"iT54nn", "Observation"},  // 109
    {"iT55nn", "Quality"},  // 110
    {"iT56nn", "Corrections"},  // 111
    {"iT620n", "GNSS Position"},  // 112
    {"iT621n", "GNSS Position"},  // 113
    {"iT6303", "GNSS Data"},  // 114
    {"iT631x", "GNSS Ephemeris"},  // 115
    {"iT632x", "GNSS UTC Iono"},  // 116
    {"iT6330", "GNSS Meteo"},  // 117
    {"iT640n", "GNSS Data"},  // 118
    {"iT65nn", "DGPS Source"},  // 119
    {"iT67n0", "GNSS Height"},  // 120
    {"iT7010", "User Defined"},  // 121
    {"iC0001", "Comment"},  // 122
    {"iC0002", "Comment"},  // 123
    {"iC0003", "Comment"},  // 124
    {"iQ1xxx", "Fix"},  // 125
    {"iQ1001", "Cycle"},  // 126
    {"iQ12n0", "Navigation"},  // 127
    {"iQ16n0", "USBL"},  // 128
    {"iQ55nn", "Quality"},  // 129
    {"iQ621n", "GNSS Position"},  // 130
    {"iQ631x", "GNSS Ephemeris"},  // 131
    {"iQ632x", "GNSS UTC Iono"},  // 132
    {"iQ6330", "GNSS Meteo"},  // 133
    {"iQ65nn", "DGPS Source"},  // 134
    {"iQ0001", "Survey Comment"},  // 135
    {"iQ0002", "Line Comment"},  // 136
    {"iQ0003", "Event Comment"},  // 137
    {"iH8000", "Closure"},  // 138
    {"iH0020", "UTC to GPS"},  // 139
    {"iH8100", "Corrections"},  // 140
    {"iH81n0", "Corrections"},  // 141
    {"iQ5066", "Fixed Node"},  // 142
    {"iQ8600", "P5/94"},  // 143
    {"iH85x0", "Multibeam"},  // 144
    {"iE8500", "Multibeam"},  // 145
    {"iE8600", "P5/94"},  // 146
    {"iQ8700", "Gun Controller"},  // 147
    {"iE8700", "Gun Controller"},  // 148
    {"iQ1002", "Heartbeat"},  // 149
    {"iT1002", "Heartbeat"},  // 150
    {"iQ1003", "Version"},  // 151
    {"iE8800", "Manual Layback"},  // 152
    {"iH0021", "Survey Unit"},  // 153
    {"iH17x2", "PRH Sensor"},  // 154
    {"iQ8900", "Side Scan Sonar"},  // 155
    {"iE8900", "Side Scan Sonar"},  // 156
    {"iQ9000", "Raw Data"},  // 157
    {"iE9000", "Raw Data"},  // 158
    {"iQ1004", "Last ID"},  // 159
    {"iQ1466", "Chart Datum"},  // 160
    {"iQ1005", "Last ID"},  // 161
    {"iQ10x1", "Squat Model"},  // 162
    {"iQ10x2", "Squat Model"},  // 163
    {"iH6266", "GNSS Position"},  // 164
    {"iE62nn", "GNSS Position"},  // 165
    {"iH021n", "Object"},  // 166
    {"iH022n", "Streamer"},  // 167
    {"iH023n", "Gun Array"},  // 168
    {"iH024n", "Towed Buoy"},  // 169
    {"iH91x1", "Multitransducer"},  // 170
    {"iH9102", "Multitransducer"},  // 171
    {"iE9101", "Multitransducer"},  // 172
    {"iH9201", "Side Scan Sonar"},  // 173
    {"iH920n", "Side Scan Sonar"},  // 174
    {"iE9201", "Side Scan Sonar"},  // 175
    {"iH0000", "Line Name"},  // 176
    {"iQ8601", "Eventing OLD"},  // 177
    {"iE8601", "Eventing OLD"},  // 178
    {"iQ1470", "Chart Datum"},  // 179
    {"iH5070", "Fixed Node"},  // 180
    {"iH6270", "GNSS Position"},  // 181
    {"iH10x0", "Reference Point"},  // 182
    {"iH14nn", "Singlebeam"},  // 183
    {"iQ1471", "Chart Datum"},  // 184
    {"iQ9300", "Target"},  // 185
    {"iE9300", "Target"},  // 186
    {"iQ9400", "SVP"},  // 187
    {"iQ0120", "Datum Shift"},  // 188
    {"iH8200", "Output"},  // 189
    {"iH14nx", "Singlebeam"},  // 190
    {"iH8500", "Multibeam"},  // 191
    {"iH9101", "Multitransducer"},  // 192
    {"iH1500", "Sound Velocity"},  // 193
    {"iH1501", "Sound Velocity"},  // 194
    {"iH16n1", "USBL System"},  // 195
    {"iH17x0", "PRH Sensor"},  // 196
    {"iH10n0", "Reference Point"},  // 197
    {"iQ1472", "Chart Datum"},  // 198
    {"iH6272", "GNSS Position"},  // 199
    {"iH65nn", "DGPS Source"},  // 200
    {"iH51n0", "Variable Node"},  // 201
    {"iH16n0", "USBL System"},  // 202
    {"iQ1474", "Chart Datum"},  // 203
    {"iH5000", "Fixed Node"},  // 204
    {"iH62nn", "GNSS Position"},  // 205
    {"iH0120", "Datum Shift"},  // 206
    {"iH9500", "Dredging"},  // 207
    {"iH9510", "Dredging"},  // 208
    {"iH9511", "Dredging"},  // 209
    {"iH951n", "Dredging"},  // 210
    {"iE9500", "Dredging"},  // 211
    {"iH9600", "Trigger"},  // 212
    {"iQ10n1", "Squat Model"},  // 213
    {"iQ10n2", "Squat Model"},  // 214
    {"iQ1000", "Fix"},  // 215
    {"iE1000", "Fix"},  // 216
    {"iH9501", "Dredging"},  // 217
    {"iH17n0", "PRH Sensor"},  // 218
    {"iH1475", "Singlebeam"},  // 219
    {"iH8575", "Multibeam"},  // 220
    {"iH9175", "Multitransducer"},  // 221
    {"iE1475", "Singlebeam"},  // 222
    {"iE8575", "Multibeam"},  // 223
    {"iE9175", "Multitransducer"},  // 224
    {"iH9512", "Dredging"},  // 225
    {"iH1775", "PRH Sensor"},  // 226
    {"iE1775", "PRH Sensor"},  // 227
    {"iQ0140", "Chart Datum"},  // 228
    {"iH025n", "Pipe Bundle"},  // 229
    {"iH4200", "Node Link"},  // 230
    {"iH9700", "Control"},  // 231
    {"iT1003", "Event"},  // 232
    {"iH0010", "Meta Data"},  // 233
    {"iH9800", "Raw Data"},  // 234
    {"iE9800", "Raw Data"},  // 235
    {"iH0141", "Local Grid"},  // 236
    {"iH0191", "Rectangular"},  // 237
    {"iQ9001", "Raw Data"},  // 238
    {"iE9001", "Raw Data"},  // 239
    {"iQ9002", "Water Column"},  // 240
    {"iQ1006", "PPS"},  // 241
    {"iE1006", "PPS"},  // 242
    {"iQ9003", "Snippets"},  // 243
    {"iH5900", "Simplified ATT"},  // 244
    {"iH59nn", "Full Harmonics ATT"},  // 245
    {"iH0121", "Datum Epoch"},  // 246
    {"iQ0121", "Datum Epoch"},  // 247
    {"iH8400", "Multibeam"},  // 248
    {"iQ1007", "PPS Timetag"},  // 249
    {"iE1007", "PPS Timetag"},  // 250
    {"iQ1008", "PPS Pulse"},  // 251
    {"iE1008", "PPS Pulse"},  // 252
    {"iH9103", "Bending Model"},  // 253
    {"iQ8602", "Eventing"},  // 254
    {"iE8602", "Eventing"},  // 255
    {"iQ0300", "Driver Setting"},  // 256
    {"iQ9004", "Sub Bottom Profiling"},  // 257
    {"iH6282", "GNSS Position"},  // 258
    {"iE6282", "GNSS Position"},  // 259
    {"iQ1682", "USBL"},  // 260
    {"iE1682", "USBL"},  // 261
    {"iH9900", "ADCP"},  // 262
    {nullptr, nullptr},  // 263
    {"iH9520", "Dumping"},  // 264
    {"iQ9005", "Sub Bottom Profiling"},  // 265
    {"iQ9005n", "Sub Bottom Profiling"},  // 266
    {"iH021m", "Object"},  // 267
    {"iH021s", "Shape"},  // 268
    {"iH0400", "BLOB"},  // 269
    {"iH0401", "BLOB"},  // 270
    {"iQ1009", "Last ID"},  // 271
    {"iH0110", "WKT1"},  // 272
    {"iH9910", "FLS"},  // 273
    {"iE8596", "Multibeam"},  // 274
    {"iE9196", "Multitransducer"},  // 275
}};

bool IsKnown(int32_t type) {
    return type >= 0 && type <= RECORD_TYPE_LAST && kRecordNames[static_cast<size_t>(type)].code != nullptr;
}

CString Unsupported(int32_t type) {
    CString text;
    text.Format("Unsupported (%d)", type);
    return text;
}

// The payload offset of the caption text, for the types that keep their caption in the payload.
int CaptionOffset(int32_t type) {
    static const sCodeRow<int> kRows[] = {
        {0, "3,5,6,7,8,153,176"},
        {4, "13,30,31,71,166,167,168,169,204,229,267"},
        {8, "23,32,39,41,65,72,76,200,201,256"},
        {9, "2"},
        {12, "4"},
        {16, "15,16,236"},
        {20, "11"},
        {24, "70"},
        {28, "73,190"},
        {32, "197,219"},
        {40, "34,183"},
        {68, "40"},
        {72, "226"},
        {80, "35"},
        {96, "196"},
        {100, "193"},
        {152, "218"},
        {616, "205"},
        {632, "258"}};
    static const auto kTable = BuildCodeTable<int, kTypeCount>(-1, kRows);
    return type >= 0 && type <= RECORD_TYPE_LAST ? kTable[static_cast<size_t>(type)] : -1;
}

// A text of a payload of the type's fixed size; never read past that size.
CString PayloadText(int32_t type, const uint8_t* payload, int offset) {
    return Vok::Definitions::TextAt(payload, GetRecordSize(type), static_cast<size_t>(offset));
}

int32_t Word(const uint8_t* payload, size_t offset) {
    return LoadAt<int32_t>(payload, offset);
}

}  // namespace

CString GetRecordHeaderCode(RecordType recordType, int32_t mode, const uint8_t* payload) {
    if (!IsKnown(recordType)) return Unsupported(recordType);
    const sRecordName& name = kRecordNames[static_cast<size_t>(recordType)];
    if (mode != 0) return name.code;
    const int offset = CaptionOffset(recordType);
    if (payload != nullptr && offset >= 0) {
        CString text = PayloadText(recordType, payload, offset);
        if (!text.IsEmpty()) return text;
    }
    return name.caption;
}

uint32_t GetRecordSize(RecordType recordType) {
    static const sCodeRow<uint32_t> kRows[] = {
        {1, "135,136,137"},
        {3, "74"},
        {4, "125,126,132,133,139,143,147,149,155,157,177,187,215,272"},
        {8, "129,131,151"},
        {12, "67,127,130,134,142,154,231,269"},
        {16, "33,141,160"},
        {20, "36,75,159,161"},
        {24, "81,163,185,266"},
        {28, "24,48,50,55,60"},
        {32, "53,162,171,179,189,194,213,271"},
        {36, "57,128"},
        {40, "37,42,46,140,173,188,247"},
        {44, "64"},
        {48, "51,153,214,253"},
        {52, "174,202"},
        {53, "3,5,6,7,8"},
        {56, "1,4,10,18,38,54,62,184,201"},
        {60, "2,43"},
        {64, "12,17,68,210"},
        {72, "13,14,21,22,34,66,73,164,195,198,241,248,260,264"},
        {75, "47"},
        {76, "56,69,79,82,267"},
        {80, "9,16,23,29,30,31,32,44,45,49,52,58,61,70,80,249,251"},
        {84, "11,15,39,41,71,72,77"},
        {88, "19,181,182,206,229,238,240,246,254"},
        {96, "40,63,144,257,265"},
        {100, "59,138"},
        {104, "20,65,76,78,170,197,199,237"},
        {108, "183,273"},
        {112, "35,200,208,212,230,262"},
        {120, "176,196"},
        {128, "180"},
        {136, "193"},
        {152, "256"},
        {160, "192"},
        {176, "234,236"},
        {180, "191"},
        {184, "190"},
        {200, "217"},
        {208, "243"},
        {248, "218"},
        {296, "209"},
        {312, "226"},
        {336, "221"},
        {352, "219"},
        {360, "220"},
        {368, "225"},
        {376, "244"},
        {400, "268"},
        {552, "207"},
        {664, "205"},
        {688, "204"},
        {712, "258"},
        {1184, "203"},
        {1192, "228"},
        {1280, "233"},
        {1608, "245"},
        {2060, "270"},
        {2864, "28"},
        {2868, "27"},
        {2872, "26"},
        {2880, "25"},
        {28064, "169"},
        {28068, "168"},
        {28072, "167"},
        {28080, "166"},
    };
    static const auto kTable = BuildCodeTable<uint32_t, kTypeCount>(0, kRows);
    if (recordType < 1 || recordType > 273) return 0;
    return kTable[static_cast<size_t>(recordType)];
}

RecordType GetDataRecordType(RecordType headerType, int32_t v) {
    switch (headerType) {
        case 34: case 183: case 190: return 85;
        case 40: case 196: case 218: return 87;
        case 65: return v == 60 ? 152 : 94;
        case 73: return 98;
        case 125: return 83;
        case 126: return 104;
        case 128: return 86;
        case 129: return 96;
        case 131: return 115;
        case 132: return 116;
        case 133: return 117;
        case 134: return 102;
        case 143: return 146;
        case 144: case 191: return 145;
        case 147: return 148;
        case 149: return 150;
        case 151: return 232;
        case 155: return 156;
        case 157: return 158;
        case 170: case 192: return 172;
        case 173: return 175;
        case 177: return 178;
        case 185: return 186;
        case 205: return 165;
        case 207: return 211;
        case 215: return 216;
        case 219: return v < 1 ? 85 : 222;
        case 220: return v >= 2 ? 274 : v == 1 ? 223 : 145;
        case 221: return v >= 2 ? 275 : v == 1 ? 224 : 172;
        case 226: return v < 1 ? 87 : 227;
        case 234: return 235;
        case 238: return v < 1 ? 158 : 239;
        case 240: case 243: case 257: case 265: case 273: return 239;
        case 241: return 242;
        case 249: return 250;
        case 251: return 252;
        case 254: return v < 1 ? 178 : 255;
        case 258: return v >= 1 ? 259 : v == 0 ? 165 : 98;
        case 260: return v < 1 ? 86 : 261;
        case 262: return 263;
        default: return 0;
    }
}

RecordType GetDataRecordTypeOfEntry(const sHdrEntry* entry) {
    static const CRecordSet kWithVariant("65,68,219,220,221,226,238,240,243,254,257,258,260,262,265,273");
    if (entry == nullptr) return 0;
    const int32_t variant = kWithVariant.Has(entry->recordId) ? entry->Word(0).value_or(0) : 0;
    return GetDataRecordType(entry->recordId, variant);
}

CString GetRecordVariantText(RecordType recordType, int32_t v, int32_t mode) {
    const char* text = nullptr;
    switch (recordType) {
        case 65: text = v == 60 ? "E8800" : "E52nn"; break;
        case 207: text = v < 1 ? "Initial" : "Current"; break;
        case 219: text = v < 1 ? "E14n0" : "E1475"; break;
        case 220: text = v >= 2 ? "E8596" : v == 1 ? "E8575" : "E8500"; break;
        case 221: text = v >= 2 ? "E9196" : v == 1 ? "E9175" : "E9101"; break;
        case 226: text = v < 1 ? "E17n0" : "E1775"; break;
        case 238: text = v < 1 ? "E9000" : "E9001"; break;
        case 240: case 243: case 273: text = "E9001"; break;
        case 242: text = v < 1 ? "Old" : "Current"; break;
        case 244: text = v < 1 ? "Initial" : "Suffix"; break;
        case 245: text = v < 0 ? "Initial" : "Suffix"; break;
        case 249:
            text = v == 0   ? "Q1007_DisableWindowsClockSync"
                   : v == 1 ? "Q1007_EnableWindowsClockSync"
                            : "Unknown Version";
            break;
        case 254: text = v < 1 ? "E8601" : "E8602"; break;
        case 257: case 265: text = v < 1 ? "Q9004 E9001" : "Q9005 E9001"; break;
        case 258: text = v >= 1 ? "E6282" : v == 0 ? "E62nn" : "E620n"; break;
        case 260: text = v < 1 ? "E16n0" : "E1682"; break;
        case 262: text = "E9900"; break;
        case 264: text = "Initial"; break;
        default: break;
    }
    CString result;
    if (text == nullptr) result.Format("%d", v);
    else if (mode == 1) result.Format("%d (%s)", v, text);
    else if (mode == -1) result.Format("%s (%d)", text, v);
    else result = text;
    return result;
}

void GetDataRecordLayout(RecordType dataType, uint32_t& fixedSize, bool& variable) {
    struct sLayout {
        uint32_t size;
        bool variable;
        const char* types;
    };
    static const sLayout kLayouts[] = {
        {64, false, "83,86,87,96"}, {24, false, "85,104,150,156"}, {40, false, "94,117"},
        {104, false, "98"},         {72, false, "102"},            {256, false, "115"},
        {120, false, "116"},        {40, true, "145,172,255"},     {216, false, "146,250"},
        {136, true, "148"},         {48, false, "152"},            {160, false, "165"},
        {312, false, "178"},        {56, false, "216"},            {32, true, "158,175,186"},
        {152, false, "211,227,242"}, {112, false, "222,232"},      {112, true, "223,224"},
        {320, true, "235"},         {88, true, "239"},             {96, false, "252"},
        {288, false, "259"},        {128, false, "261"},           {92, true, "263"},
        {160, true, "274,275"}};
    static const auto kTable = [] {
        std::array<const sLayout*, kTypeCount> table{};
        for (const sLayout& layout : kLayouts) {
            Vok::Definitions::ForEachCode(layout.types, [&](int c) { table[static_cast<size_t>(c)] = &layout; });
        }
        return table;
    }();
    const sLayout* layout = dataType >= 0 && dataType <= RECORD_TYPE_LAST ? kTable[static_cast<size_t>(dataType)] : nullptr;
    fixedSize = layout != nullptr ? layout->size : 0;
    variable = layout != nullptr && layout->variable;
}

uint32_t GetDataRecordFixedSize(RecordType dataType) {
    uint32_t size = 0;
    bool variable = false;
    GetDataRecordLayout(dataType, size, variable);
    return size;
}

uint32_t GetDataRecordSize(RecordType dataType, const uint8_t* payload) {
    uint32_t size = 0;
    bool variable = false;
    GetDataRecordLayout(dataType, size, variable);
    if (!variable || payload == nullptr) return size;
    uint64_t total = size;
    switch (dataType) {
        case 145: total = 40 + 32ull * LoadAt<uint16_t>(payload, 20); break;
        case 148:
            total = 136 + 4ull * (9ull * LoadAt<uint32_t>(payload, 80) + LoadAt<uint32_t>(payload, 76));
            break;
        case 158: total = 32ull + LoadAt<uint32_t>(payload, 24); break;
        case 172: total = 40 + 24ull * LoadAt<uint16_t>(payload, 18); break;
        case 175: case 186: case 223: case 224: case 263: case 274: case 275:
            total = 32ull + LoadAt<uint32_t>(payload, 28);
            break;
        case 235: case 255: total = 40ull + LoadAt<uint32_t>(payload, 32); break;
        case 239: total = 88ull + LoadAt<uint32_t>(payload, 80); break;
        default: break;
    }
    return static_cast<uint32_t>(std::min<uint64_t>(total, std::numeric_limits<uint32_t>::max()));
}

namespace {

struct sTimeField {
    int time;          // offset of the sMjdTime; -1 none
    int systemTime;    // offset of the SYSTEMTIME copy; -1 none
};

sTimeField TimeField(RecordType dataType) {
    switch (dataType) {
        case 83: case 85: case 104: case 150: case 156: case 158: case 175: case 186: case 232:
        case 239: case 255:
            return {8, -1};
        case 148: return {8, 24};
        case 211: case 222: case 223: case 224: case 263: case 275: case 274: return {8, 34};
        case 227: case 259: case 261: return {8, 32};
        case 235: return {8, 42};
        case 94: case 117: case 145: case 172: case 252: return {24, -1};
        case 152: case 216: return {32, -1};
        case 250: return {40, -1};
        case 86: case 87: case 96: case 242: return {48, -1};
        case 102: return {56, -1};
        case 98: return {72, -1};
        case 116: return {104, -1};
        case 165: return {128, -1};
        case 146: return {200, -1};
        case 115: return {240, -1};
        case 178: return {296, -1};
        default: return {-1, -1};
    }
}

// Record 274 keeps a second copy of its time in its variable part.
constexpr size_t kTimeCopy274 = 200;

}  // namespace

CVOKTime GetDataRecordTime(RecordType dataType, const uint8_t* payload) {
    const sTimeField field = TimeField(dataType);
    if (payload == nullptr || field.time < 0) return CVOKTime();
    if (dataType == 242 && Word(payload, 4) == 0) {
        // The older form keeps a calendar time where the current one keeps its time record.
        return CVOKTime(SystemTimeToMjdTime(LoadAt<SYSTEMTIME>(payload, 48)));
    }
    return CVOKTime(LoadAt<sMjdTime>(payload, static_cast<size_t>(field.time)));
}

void SetDataRecordTime(RecordType dataType, uint8_t* payload, const CVOKTime& time) {
    const sTimeField field = TimeField(dataType);
    if (payload == nullptr || field.time < 0) return;
    const sMjdTime mjd = time.GetMjdTime();
    StoreAt(payload, static_cast<size_t>(field.time), mjd);
    if (field.systemTime >= 0) StoreAt(payload, static_cast<size_t>(field.systemTime), TimeToSystemTime(time));
    // The copy lies past the fixed head: written only when the record's stated size reaches it.
    if (dataType == 274 && GetDataRecordSize(dataType, payload) >= kTimeCopy274 + sizeof(sMjdTime))
        StoreAt(payload, kTimeCopy274, mjd);
}

bool ClearDataRecordExtraTime(RecordType dataType, uint8_t* payload) {
    int offset = -1;
    switch (dataType) {
        case 98: offset = 88; break;
        case 148: offset = 120; break;
        case 165: offset = 144; break;
        case 227: offset = 136; break;
        case 259: offset = 48; break;
        case 261: offset = 112; break;
        default: return false;
    }
    if (payload == nullptr) return false;
    std::memset(payload + offset, 0, 16);
    return true;
}

CString GetRecordDisplayName(RecordType recordType, const uint8_t* payload) {
    static const sCodeRow<int> kTextRows[] = {
        {8, "39,58,65,72,200,201"}, {12, "56,66,128"}, {4, "69,204"}, {39, "71"}, {28, "73"},
        {27, "77"}, {100, "193"}, {616, "205"}, {32, "219"}, {16, "220,260"}, {20, "221,244,245"},
        {72, "226"}, {632, "258"}};
    static const auto kTextOffsets = BuildCodeTable<int, kTypeCount>(-1, kTextRows);
    if (recordType >= 0 && recordType <= RECORD_TYPE_LAST) {
        const int offset = kTextOffsets[static_cast<size_t>(recordType)];
        if (offset >= 0 && payload != nullptr) return PayloadText(recordType, payload, offset);
    }
    CString text;
    switch (recordType) {
        case 126: return "--- Cycle Record";
        case 149: return "--- Heartbeat";
        case 151: return "--- Version Info";
        case 159: return "--- Last Used ID's";
        case 161: return "--- Last Used ID's (extension)";
        case 271: return "--- Last Used ID's (extension 2)";
        case 195: case 202: return "-";
        case 215: return "--- Fix Info";
        case 241: return "--- PPS";
        case 249: case 251:
            if (payload == nullptr) break;
            text.Format(recordType == 249 ? "PPS timetag %d" : "PPS pulse %d", Word(payload, 4));
            return text;
        default: break;
    }
    return GetRecordHeaderCode(recordType, 1, payload);
}

void GetRecordKeys(RecordType recordType, const uint8_t* payload, int32_t* key1, int32_t* key2, int32_t* key3) {
    struct sKeys {
        int k1, k2, k3;  // payload offsets; -1 none
        const char* types;
    };
    static const sKeys kRows[] = {
        {0, -1, -1, "12,13,30,31,32,33,66,67,69,72,126,138,143,147,155,157,173,177,185,187,189,193,"
                    "194,197,207,213,214,229,256,268,269"},
        {0, 4, -1, "39,54,55,56,57,58,59,60,61,127,129,188,195,202,206,230,246,247,248,270"},
        {4, 44, -1, "65"},
        {4, -1, -1, "68,77,131,171,201,208,209,210,212,220,221,225,231,238,240,243,249,251,253,254,"
                    "257,262,264,265,273"},
        {4, 8, -1, "70,174,219,226,234,241,266"},
        {0, 16, -1, "71"},
        {0, 4, 8, "73,128,205"},
        {8, 12, -1, "78"},
        {0, 8, -1, "134"},
        {40, -1, -1, "166,167,168,169,267"},
        {4, 20, -1, "200"},
        {0, 32, -1, "204"},
        {8, -1, -1, "217,228"},
        {16, 8, -1, "244,245"},
        {8, 12, 16, "258"},
        {4, 8, 12, "260"}};
    static const auto kTable = [] {
        std::array<const sKeys*, kTypeCount> table{};
        for (const sKeys& row : kRows) {
            Vok::Definitions::ForEachCode(row.types, [&](int c) { table[static_cast<size_t>(c)] = &row; });
        }
        return table;
    }();
    int32_t keys[3] = {-1, -1, -1};
    const sKeys* row = recordType >= 0 && recordType <= RECORD_TYPE_LAST ? kTable[static_cast<size_t>(recordType)] : nullptr;
    if (payload != nullptr && row != nullptr) {
        const int offsets[3] = {row->k1, row->k2, row->k3};
        for (int k = 0; k < 3; ++k) {
            if (offsets[k] >= 0) keys[k] = Word(payload, static_cast<size_t>(offsets[k]));
        }
        // Record 204 refers by a 0-based index; its key is the number.
        if (recordType == 204) keys[1] = static_cast<int32_t>(static_cast<uint32_t>(keys[1]) + 1u);
    }
    if (key1 != nullptr) *key1 = keys[0];
    if (key2 != nullptr) *key2 = keys[1];
    if (key3 != nullptr) *key3 = keys[2];
}

bool IsGeodeticRecordType(RecordType recordType) {
    static const CRecordSet kSet("11,12,13,15-23,139,153,188,206,228,236,237,246,247,272");
    return kSet.Has(recordType);
}

bool IsGnssRecordType(RecordType recordType) {
    static const CRecordSet kSet("71,73,78,130,164,181,199,205,258");
    return kSet.Has(recordType);
}

bool IsGnssAuxRecordType(RecordType recordType) {
    static const CRecordSet kSet("72,74,75,76,77,129,131,132,133,134,200");
    return kSet.Has(recordType);
}

bool IsDatumRecordType(RecordType recordType) {
    static const CRecordSet kSet("13,15,71,188,200,206,246,247");
    return kSet.Has(recordType);
}

int32_t GetIdOrZero(const uint8_t* payload) {
    if (payload == nullptr) return 0;
    const int32_t id = Word(payload, 0);
    return id == -1 ? 0 : id;
}
