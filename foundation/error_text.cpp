#include "foundation/error_text.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>

#include "compat/regional.h"
#include "compat/resource_strings.h"
#include "foundation/saturating_cast.h"

namespace {

// The system's message for a code, in the platform's message-table form (ending in "\r\n");
// false for a code it does not know.
bool SystemMessage(int code, std::string& text) {
    const char* description = strerrordesc_np(code);
    if (description == nullptr) return false;
    text = description;
    text += "\r\n";
    return true;
}

CString FormatScaledKilobytes(double kb) {
    static const char* const kUnits[] = {"KB", "MB", "GB"};
    int unit = 0;
    while (kb >= 1024.0 && unit < 2) {
        kb /= 1024.0;
        ++unit;
    }
    CString text;
    text.Format("%.1lf%s", kb, kUnits[unit]);
    return text;
}

// Whole kilobytes, rounded up, with the regional thousands separator every three digits.
CString FormatWholeKilobytes(double kb) {
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.0f", std::ceil(kb));
    const std::string plain(digits);
    std::string grouped;
    const size_t n = plain.size();
    for (size_t i = 0; i < n; ++i) {
        grouped += plain[i];
        const size_t left = n - 1 - i;
        if (left > 0 && left % Vok::Regional::kGrouping == 0) grouped += Vok::Regional::kThousandsSeparator;
    }
    grouped += "KB";
    return CString(grouped.c_str());
}

}  // namespace

CString GetSystemErrorText(uint32_t errorCode, bool stripLineEnd) {
    CString result("Unknown error");
    const int code = errorCode == 0 ? errno : static_cast<int>(errorCode);
    std::string text;
    if (!SystemMessage(code, text)) return result;
    if (stripLineEnd && text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
        text.resize(text.size() - 2);
    return CString(text.c_str(), static_cast<int>(text.size()));
}

CString LoadResourceString(uint32_t stringId) { return LoadProgramString(stringId); }

CString FormatWithDetail(const char* text, const char* detail) {
    CString result;
    if (text == nullptr) text = "";
    if (detail != nullptr) result.Format("%s (%s)", text, detail);
    else result = text;
    return result;
}

char GetDecimalSeparator() { return Vok::Regional::kDecimalSeparator; }

CString FormatKilobytes(uint32_t bytes, bool scale) { return FormatKilobytes(uint64_t{bytes}, scale); }

CString FormatKilobytes(uint64_t bytes, bool scale) {
    const double kb = static_cast<double>(bytes) / 1024.0;
    return scale ? FormatScaledKilobytes(kb) : FormatWholeKilobytes(kb);
}

CString FormatByteSize(double bytes) {
    CString text;
    if (bytes < 1024.0) {
        text.Format("%d bytes", Vok::TruncToInt32(bytes));
        return text;
    }
    static const char* const kUnits[] = {"KB", "MB", "GB"};
    double value = bytes / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 2) {
        value /= 1024.0;
        ++unit;
    }
    text.Format("%.1lf %s", value, kUnits[unit]);
    return text;
}

CString FormatByteSizeShort(int32_t bytes) {
    CString text;
    if (bytes > 0x100000) text.Format("%.2f %s", bytes / 1048576.0, "MB");
    else if (bytes >= 1024) text.Format("%.2f %s", bytes / 1024.0, "KB");
    else text.Format("%.2f %s", static_cast<double>(bytes), "B");
    return text;
}
