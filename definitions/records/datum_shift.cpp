#include "definitions/records/datum_shift.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kPpm = 1e-6;
constexpr double kTranslationEpsilon = 1e-6;
constexpr double kRotationEpsilon = 1e-9;

struct sWorking {
    double r[3];   // rotations in radians, sign convention applied
    double k;      // 1 / (1 + scale ppm)
};

sWorking Prepare(const sDatumShift& d) {
    sWorking w{};
    for (int i = 0; i < 3; ++i) {
        const double stored = d.rotation[i];
        double r = d.rotationUnit == 1 ? stored * 1e-6 : stored / 3600.0 * kDegreesToRadians;
        if (d.signConvention == 1) r = -r;
        w.r[i] = r;
    }
    w.k = 1.0 / (1.0 + d.scale * kPpm);
    return w;
}

void Negate(sDatumShift& d) {
    for (double& t : d.translation) t = -t;
    d.scale = -d.scale;
}

void InvertSmallAngles(sDatumShift& d, const sWorking& w) {
    const double* t = d.translation;
    const double rx = w.r[0], ry = w.r[1], rz = w.r[2], k = w.k;
    const double tx = -k * t[0] - rz * t[1] + ry * t[2];
    const double ty = rz * t[0] - k * t[1] - rx * t[2];
    const double tz = -ry * t[0] + rx * t[1] - k * t[2];
    d.translation[0] = tx;
    d.translation[1] = ty;
    d.translation[2] = tz;
    const double p = -d.scale;
    d.scale = p + p * p * kPpm;
}

void InvertExact(sDatumShift& d, const sWorking& w) {
    const double cx = std::cos(w.r[0]), sx = std::sin(w.r[0]);
    const double cy = std::cos(w.r[1]), sy = std::sin(w.r[1]);
    const double cz = std::cos(w.r[2]), sz = std::sin(w.r[2]);
    const double m[3][3] = {
        {cz * cy, sz * cy, -sy},
        {cz * sy * sx - sz * cx, sz * sy * sx + cz * cx, cy * sx},
        {cz * sy * cx + sz * sx, sz * sy * cx - cz * sx, cy * cx},
    };
    const double* t = d.translation;
    double inverted[3];
    for (int i = 0; i < 3; ++i) inverted[i] = -w.k * (m[i][0] * t[0] + m[i][1] * t[1] + m[i][2] * t[2]);
    std::memcpy(d.translation, inverted, sizeof(inverted));
    d.scale = (w.k - 1.0) * 1e6;
}

void Invert(sDatumShift& d, const sWorking& w) {
    if (d.inversion == 1 || d.inversion == 2) Negate(d);
    else if (d.inversion == -1) InvertSmallAngles(d, w);
    else InvertExact(d, w);
}

void ZeroBelow(double& value, double epsilon) {
    if (std::fabs(value) < epsilon) value = 0.0;
}

void CleanUp(sDatumShift& d) {
    for (double& t : d.translation) ZeroBelow(t, kTranslationEpsilon);
    for (double& r : d.rotation) ZeroBelow(r, kRotationEpsilon);
    ZeroBelow(d.scale, kRotationEpsilon);
}

void SwapDatums(sDatumShift& d) {
    std::swap(d.datum1, d.datum2);
    for (double& r : d.rotation) r = -r;
}

bool Invertible(const sDatumShift* d) { return d == nullptr || 1.0 + d->scale * kPpm != 0.0; }

}  // namespace

bool InvertDatumShiftPair(sDatumShift* record1, sDatumShiftTotal* shift, sDatumShift* record2,
                          sDatumShiftTotal* out) {
    if (!Invertible(record1) || !Invertible(record2)) return false;
    sDatumShift* records[2] = {record1, record2};
    sWorking working[2] = {};
    for (int i = 0; i < 2; ++i) {
        if (records[i] != nullptr) working[i] = Prepare(*records[i]);
    }

    if (shift != nullptr && shift->mode == 1) {
        if (record1 != nullptr) {
            for (int i = 0; i < 3; ++i) shift->shift[i] += record1->translation[i];
        }
        for (sDatumShift* d : records) {
            if (d != nullptr) Negate(*d);
        }
    } else {
        for (int i = 0; i < 2; ++i) {
            if (records[i] != nullptr) Invert(*records[i], working[i]);
        }
        if (shift != nullptr) {
            for (double& s : shift->shift) s = 0.0;
        }
    }

    // The shift and out records take the numbers of the first record given, swapped.
    const sDatumShift* first = record1 != nullptr ? record1 : record2;
    uint32_t datum1 = 0;
    uint32_t datum2 = 0;
    if (first != nullptr) {
        datum1 = first->datum2;
        datum2 = first->datum1;
    } else if (shift != nullptr) {
        datum1 = shift->datum2;
        datum2 = shift->datum1;
    }
    for (sDatumShift* d : records) {
        if (d == nullptr) continue;
        SwapDatums(*d);
        CleanUp(*d);
    }
    if (first != nullptr || shift != nullptr) {
        for (sDatumShiftTotal* s : {shift, out}) {
            if (s == nullptr) continue;
            s->datum1 = datum1;
            s->datum2 = datum2;
        }
    }
    if (shift != nullptr) {
        for (double& s : shift->shift) ZeroBelow(s, kTranslationEpsilon);
    }
    return true;
}

bool InvertDatumShift(sDatumShift* record, sDatumShiftTotal* out) {
    if (record == nullptr || !Invertible(record)) return false;
    sDatumShift first{};
    std::memcpy(&first, record, 32);
    sDatumShiftTotal shift{};
    shift.datum1 = record->datum1;
    shift.datum2 = record->datum2;
    shift.mode = 0;
    return InvertDatumShiftPair(&first, &shift, record, out);
}
