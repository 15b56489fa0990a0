// Writes the demo track that ships as data/demo_track.nmea: a vessel of the survey fleet running
// at 8 knots off the coast, steady at first, then turning to starboard and steadying again, seen
// by an RTK receiver and a gyro compass. Position, accuracy, heading and rate of turn come at 2 Hz,
// RMC and ZDA once a second. The track is computed, not recorded, so it can be made again:
//     build/tests/demo_track > data/demo_track.nmea
// Usage: demo_track [seconds]   (60 when not given)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/driver_samples.h"

namespace {

using Vok::Test::Sentence;

constexpr double kPi = 3.14159265358979323846;
constexpr double kStep = 0.5;                 // seconds between epochs
constexpr double kKnot = 1852.0 / 3600.0;     // metres per second
constexpr double kStartSeconds = 10 * 3600.0 + 15 * 60.0;  // 10:15:00 UTC
constexpr int kDay = 14, kMonth = 3, kYear = 2025;

double Radians(double degrees) { return degrees * kPi / 180.0; }

std::string Text(const char* format, auto... values) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

std::string TimeOfDay(double seconds) {
    const int hundredths = static_cast<int>(std::lround(seconds * 100.0)) % (86400 * 100);
    const int s = hundredths / 100;
    return Text("%02d%02d%02d.%02d", s / 3600, s / 60 % 60, s % 60, hundredths % 100);
}

// ddmm.mmmmm,N / dddmm.mmmmm,E
std::string Angle(double degrees, int degreeDigits, char positive, char negative) {
    const char hemisphere = degrees < 0 ? negative : positive;
    degrees = std::fabs(degrees);
    int whole = static_cast<int>(degrees);
    double minutes = (degrees - whole) * 60.0;
    if (std::lround(minutes * 100000.0) >= 6000000) {  // 59.999995 and up print as the next degree
        ++whole;
        minutes = 0.0;
    }
    return Text("%0*d%08.5f,%c", degreeDigits, whole, minutes, hemisphere);
}

// Rate of turn in degrees per minute at t seconds from the start: steady, a turn of 90 degrees a
// minute at its height, eased in and out over the middle third, steady again.
double RateOfTurn(double t, double duration) {
    const double begin = duration / 3.0, end = 2.0 * duration / 3.0;
    if (t <= begin || t >= end) return 0.0;
    return 90.0 * std::pow(std::sin(kPi * (t - begin) / (end - begin)), 2.0);
}

}  // namespace

int main(int argc, char** argv) {
    const double duration = argc > 1 ? std::atof(argv[1]) : 60.0;
    if (!(duration > 0.0 && duration <= 86400.0)) {
        std::fprintf(stderr, "usage: demo_track [seconds]\n");
        return 2;
    }
    double latitude = 51.98;  // degrees
    double longitude = 4.05;
    double heading = 285.0;   // degrees true, course over ground alike
    const double speed = 8.0 * kKnot;
    std::string out;
    for (double t = 0.0; t <= duration + 1e-9; t += kStep) {
        const double now = kStartSeconds + t;
        const std::string time = TimeOfDay(now);
        const double rate = RateOfTurn(t, duration);
        // The antenna rides the swell: height and the gyro's reading wander a little.
        const double altitude = 3.12 + 0.25 * std::sin(2.0 * kPi * t / 7.0);
        const double gyro = std::fmod(heading + 0.15 * std::sin(2.0 * kPi * t / 5.0) + 360.0, 360.0);
        const std::string lat = Angle(latitude, 2, 'N', 'S');
        const std::string lon = Angle(longitude, 3, 'E', 'W');

        out += Sentence(Text("GPGGA,%s,%s,%s,4,14,0.8,%.2f,M,45.20,M,1.2,0101", time.c_str(), lat.c_str(),
                             lon.c_str(), altitude));
        out += Sentence(Text("GPGST,%s,0.012,0.018,0.011,37.5,0.014,0.012,%.3f", time.c_str(),
                             0.025 + 0.004 * std::sin(t / 3.0)));
        if (std::fmod(t, 1.0) < 1e-9) {
            out += Sentence(Text("GPRMC,%s,A,%s,%s,%.1f,%.1f,%02d%02d%02d,1.2,W,D", time.c_str(), lat.c_str(),
                                 lon.c_str(), speed / kKnot, heading, kDay, kMonth, kYear % 100));
            out += Sentence(Text("GPZDA,%s,%02d,%02d,%04d,00,00", time.c_str(), kDay, kMonth, kYear));
        }
        out += Sentence(Text("HEHDT,%.2f,T", gyro));
        out += Sentence(Text("HEROT,%.1f,A", rate));

        // On to the next epoch over the ellipsoid's local radii.
        const double phi = Radians(latitude);
        const double metresPerDegreeLat = 111132.92 - 559.82 * std::cos(2 * phi) + 1.175 * std::cos(4 * phi);
        const double metresPerDegreeLon = 111412.84 * std::cos(phi) - 93.5 * std::cos(3 * phi);
        latitude += speed * kStep * std::cos(Radians(heading)) / metresPerDegreeLat;
        longitude += speed * kStep * std::sin(Radians(heading)) / metresPerDegreeLon;
        heading = std::fmod(heading + rate * kStep / 60.0 + 360.0, 360.0);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
