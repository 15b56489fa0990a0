#include "bench/support/bench_table.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace Vok::Bench {

namespace {

std::string LoadNow() {
    std::ifstream load("/proc/loadavg");
    std::string one;
    return load >> one ? one : "-";
}

// Plain digits, never an exponent or a unit prefix: three significant digits at least.
std::string Plain(double value) {
    char text[64];
    const double size = value < 0 ? -value : value;
    const bool whole = value == static_cast<double>(static_cast<long long>(value));  // a count
    std::snprintf(text, sizeof text, "%.*f", whole || size >= 100 ? 0 : size >= 10 ? 1 : size >= 1 ? 2 : 4, value);
    return text;
}

std::string Show(const sFigure& f) {
    if (f.Empty()) return "-";
    if (f.values.size() == 1) return Plain(f.values.front());
    const auto [low, high] = std::minmax_element(f.values.begin(), f.values.end());
    return Plain(f.Median()) + " (" + Plain(*low) + ".." + Plain(*high) + ")";
}

std::string Ratio(const sFigure& top, const sFigure& bottom) {
    if (top.Empty() || bottom.Empty()) return "-";
    if (top.values.size() != bottom.values.size()) return Ratio(top.Median(), bottom.Median());
    std::vector<double> ratios;
    for (size_t i = 0; i < top.values.size(); ++i) {
        if (bottom.values[i] == 0.0) return "-";  // nothing to divide by
        ratios.push_back(top.values[i] / bottom.values[i]);
    }
    return Show(sFigure(ratios));
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
    m_rows.push_back({measure, Show(driver), Show(nullDriver), Show(kernel), Ratio(top, nullDriver),
                      Ratio(top, kernel), Ratio(compare ? nullDriver : none, kernel), m_cpus, LoadNow()});
}

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
    std::fflush(stdout);
}

}  // namespace Vok::Bench
