// One plain table per benchmark: a row per measure with the driver's figure beside the null
// driver's and the kernel's from the same run, the ratios that divide by each, the CPUs used and
// the load of the moment. A figure that a measure does not have is left "-". The figures of a row
// have the same decimals, the ratios two.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace Vok::Bench {

// A figure, or several of repeated trials: shown as their median with the lowest and highest.
struct sFigure {
    std::vector<double> values;
    sFigure() = default;
    sFigure(double value) : values{value} {}
    sFigure(std::vector<double> all) : values(std::move(all)) {}
    bool Empty() const { return values.empty(); }
    double Median() const;
};

class CBenchTable {
public:
    CBenchTable(std::string title, int hostCpu, int driverCpu);
    // The ratios are formed trial by trial when the figures are repeated trials of equal count;
    // a measure that is only counted (compare false) has none.
    void Add(const std::string& measure, const sFigure& driver, const sFigure& nullDriver = {},
             const sFigure& kernel = {}, bool compare = true);
    // A line printed under the table: what a row's figures do not say by themselves.
    void Note(const std::string& text);
    // Prints the table to standard output.
    void Print() const;

private:
    std::string m_title;
    std::string m_cpus;
    std::vector<std::vector<std::string>> m_rows;
    std::vector<std::string> m_notes;
};

}  // namespace Vok::Bench
