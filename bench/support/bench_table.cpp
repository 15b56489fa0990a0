#include "bench/support/bench_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <initializer_list>

namespace Vok::Bench {

namespace {

std::string LoadNow() {
    std::ifstream load("/proc/loadavg");
    std::string one;
    return load >> one ? one : "-";
}

// Plain digits, never an exponent or a unit prefix.
std::string Plain(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The decimals of a row's figures, alike for all of them: none for counts, else three significant
// digits of the smallest (four decimals at most).
int Decimals(std::initializer_list<const sFigure*> figures) {
    bool whole = true;
    double smallest = 0.0;
    for (const sFigure* f : figures) {
        for (const double v : f->values) {
            whole = whole && v == std::floor(v);
            if (v != 0.0 && (smallest == 0.0 || std::fabs(v) < smallest)) smallest = std::fabs(v);
        }
    }
    if (whole || smallest == 0.0) return 0;
    return std::clamp(2 - static_cast<int>(std::floor(std::log10(smallest))), 0, 4);
}

std::string Show(const sFigure& f, int decimals) {
    if (f.Empty()) return "-";
    if (f.values.size() == 1) return Plain(f.values.front(), decimals);
    const auto [low, high] = std::minmax_element(f.values.begin(), f.values.end());
    return Plain(f.Median(), decimals) + " (" + Plain(*low, decimals) + ".." + Plain(*high, decimals) + ")";
}

// Ratios have two decimals.
std::string Ratio(const sFigure& top, const sFigure& bottom) {
    if (top.Empty() || bottom.Empty()) return "-";
    if (top.values.size() != bottom.values.size()) return Ratio(top.Median(), bottom.Median());
    std::vector<double> ratios;
    for (size_t i = 0; i < top.values.size(); ++i) {
        if (bottom.values[i] == 0.0) return "-";  // nothing to divide by
        ratios.push_back(top.values[i] / bottom.values[i]);
    }
    return Show(sFigure(ratios), 2);
}

}  // namespace

double sFigure::Median() const {
    if (values.empty()) return 0.0;
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const size_t half = sorted.size() / 2;
    return sorted.size() % 2 == 1 ? sorted[half] : (sorted[half - 1] + sorted[half]) / 2.0;
}

CBenchTable::CBenchTable(std::string title, int hostCpu, int driverCpu)
    : m_title(std::move(title)),
      m_cpus(hostCpu == driverCpu ? "all on " + std::to_string(hostCpu)
                                  : "host " + std::to_string(hostCpu) + ", driver " + std::to_string(driverCpu)) {}

void CBenchTable::Add(const std::string& measure, const sFigure& driver, const sFigure& nullDriver,
                      const sFigure& kernel, bool compare) {
    const sFigure none;
    const sFigure& top = compare ? driver : none;
    const int decimals = Decimals({&driver, &nullDriver, &kernel});
    m_rows.push_back({measure, Show(driver, decimals), Show(nullDriver, decimals), Show(kernel, decimals),
                      Ratio(top, nullDriver),
                      Ratio(top, kernel), Ratio(compare ? nullDriver : none, kernel), m_cpus, LoadNow()});
}

void CBenchTable::Note(const std::string& text) { m_notes.push_back(text); }

void CBenchTable::Print() const {
    std::vector<std::vector<std::string>> lines{{"measure", "driver", "null driver", "kernel", "driver/null",
                                                 "driver/kernel", "null/kernel", "CPUs", "load"}};
    lines.insert(lines.end(), m_rows.begin(), m_rows.end());
    std::vector<size_t> widths(lines.front().size(), 0);
    for (const auto& line : lines)
        for (size_t c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], line[c].size());
    std::printf("\n%s\n", m_title.c_str());
    for (const auto& line : lines) {
        std::string text;
        for (size_t c = 0; c < line.size(); ++c) {
            // The measure to the left, the figures to the right.
            const std::string pad(widths[c] - line[c].size(), ' ');
            text += c == 0 ? line[c] + pad : "  " + pad + line[c];
        }
        std::printf("%s\n", text.c_str());
    }
    for (const std::string& note : m_notes) std::printf("  %s\n", note.c_str());
    std::fflush(stdout);
}

}  // namespace Vok::Bench
