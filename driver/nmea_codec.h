// Tokeniser and field codec of NMEA 0183 sentences. A sentence is walked by cutting its text from
// the front, so the text always starts at the field to read next; the parsers read a value from
// the front of the text without changing it. Every read stays within the text.
// Each operation has two forms: over a CString, which is cut, and over a CNmeaText, a view whose
// front moves instead, so that the sentence loop walks the received bytes without copying or
// moving them. Both forms give the same results and leave the same rest.
#pragma once

#include <string_view>

#include "compat/cstring.h"
#include "compat/windows_types.h"

// A view of the text of a sentence (and whatever follows it on its line) that the cutting
// operations shorten from the front. The bytes it views must outlive it.
class CNmeaText {
public:
    CNmeaText() = default;
    explicit CNmeaText(std::string_view text) : m_text(text) {}
    explicit CNmeaText(const CString& text) : m_text(text.GetString(), static_cast<size_t>(text.GetLength())) {}

    std::string_view View() const { return m_text; }
    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    char operator[](int index) const { return m_text[static_cast<size_t>(index)]; }
    // Index of the first c, -1 when there is none.
    int Find(char c) const;
    void DropFront(int count) { m_text.remove_prefix(static_cast<size_t>(count)); }
    void Empty() { m_text = {}; }
    // Cuts text, of which this view is the end, to this view, as the cutting operations on text
    // would have.
    void LeaveRestIn(CString& text) const;

private:
    std::string_view m_text;
};

// The leading decimal number of the bytes as strtod reads it in the C locale (white space, a sign,
// the longest number, 0.0 when there is none), but never beyond the last byte.
double ParseDecimal(std::string_view bytes);
// The leading decimal integer as strtol reads it, saturated to the 32-bit range.
int ParseDecimalInteger(std::string_view bytes);

// "$", ",", "*", carriage return and line feed.
extern const char* const NMEA_FIELD_DELIMITERS;

// Cutting operations: 1 on success, 0 on failure (an empty text is left when the search failed).
int SkipToFirstOf(CString& text, const char* set);
int SkipToSentenceStart(CString& text, int count);
int SkipPastFirstOf(CString& text, const char* set);
int SkipFields(CString& text, int count);
int SkipPastToken(CString& text, const char* token);
// SkipFields within the sentence's data: fails (emptying the text) when a field it passes ends at
// anything but ",", since what follows a "*" is the checksum, not a field.
int SkipDataFields(CString& text, int count);
// The number of fields of the data at the front (up to the first "*", CR, LF or "$"), counting at
// most limit: 1 for an empty field, 0 only for no data at all.
int CountDataFields(const CString& text, int limit);
// Index of the first delimiter, -1 when there is none.
int GetFieldLength(const CString& text);
int IsFieldDelimiter(const CString& text, int index);

int SkipFields(CNmeaText& text, int count);
int SkipPastToken(CNmeaText& text, std::string_view token);
int SkipDataFields(CNmeaText& text, int count);
int CountDataFields(const CNmeaText& text, int limit);
int GetFieldLength(const CNmeaText& text);
int IsFieldDelimiter(const CNmeaText& text, int index);

// Field parsers; missing or empty fields read as 0.
// The field at the front as a finite decimal number (blanks around it, a sign, digits with at most
// one point, an exponent): false with 0.0 for an empty field and for one that holds anything else
// (letters, "nan", "inf", a sign alone, "1.2.3", a value beyond the range of a double).
bool ParseNumberField(const CString& text, double* value);
double ParseLatitude(const CString& text);
double ParseLongitude(const CString& text);
double ParseDouble(const CString& text);
// The leading decimal integer, saturated to the 32-bit range.
int ParseInteger(const CString& text);
double ParseNumberSkippingPrefix(const CString& text);
double ParseSignedValueEW(const CString& text);
// Sets the time of day; the date stays. A time field shorter than hhmmss reads as 00:00:00.000.
void ParseTime(const CString& text, SYSTEMTIME* time);
// The date parsers use a date field only when it has exactly its digits (and separators);
// otherwise the date already in the SYSTEMTIME is kept. A used date goes through CheckUtcDate.
void ParseDateDdMmYy(const CString& text, SYSTEMTIME* date);
void ParseDateMmDdYy(const CString& text, SYSTEMTIME* date);
void ParseDateDdMmYyyy(const CString& text, SYSTEMTIME* date);

// scanned (when given) is set to how many characters at the front the reader passed that are no
// delimiter, so that a caller who skips the field need not look at them again.
bool ParseNumberField(const CNmeaText& text, double* value, size_t* scanned = nullptr);
// The time field at the front read in one pass: true, with the time of day set (the date stays),
// when it is hhmmss, then nothing or a point and digits, within the day: hours to 23, minutes to
// 59, seconds to 59, or 60 at 23:59 (a leap second). False, the time untouched, for anything else.
// The leap second 23:59:60.f is set to 23:59:59.5 + f / 2: after 23:59:59, before the next
// 00:00:00, half a second from each at whole seconds.
bool ReadTimeOfDay(const CNmeaText& text, SYSTEMTIME* time, size_t* scanned = nullptr);
// A latitude (two degree digits) or longitude (three) field at the front with its hemisphere,
// read in one pass: 1 with its value when it is the degree digits, two digits of whole minutes
// below 60 and maybe a fraction, within 90 (180) degrees; -1 (value 0) when it is empty or holds
// no plain number (digits with at most one point); 0 (value 0) for a plain number that is no
// coordinate.
int ReadLatitude(const CNmeaText& text, double* value, size_t* scanned = nullptr);
int ReadLongitude(const CNmeaText& text, double* value, size_t* scanned = nullptr);
double ParseLatitude(const CNmeaText& text);
double ParseLongitude(const CNmeaText& text);
double ParseDouble(const CNmeaText& text);
int ParseInteger(const CNmeaText& text);
double ParseNumberSkippingPrefix(const CNmeaText& text);
double ParseSignedValueEW(const CNmeaText& text);
void ParseTime(const CNmeaText& text, SYSTEMTIME* time);
void ParseDateDdMmYy(const CNmeaText& text, SYSTEMTIME* date);
void ParseDateMmDdYy(const CNmeaText& text, SYSTEMTIME* date);
void ParseDateDdMmYyyy(const CNmeaText& text, SYSTEMTIME* date);

// Field formatters.
CString FormatLatitude(double degrees);
CString FormatLongitude(double degrees);
CString FormatHeight(double metres);
CString FormatSignedValueEW(double value);
// Seconds that print as 60.00 carry into the minute and hour of the argument.
CString FormatTime(SYSTEMTIME* time);
CString FormatDateDdMmYyyy(const SYSTEMTIME* date);
CString FormatDateDdMmYy(const SYSTEMTIME* date);
CString FormatDateMmDdYy(const SYSTEMTIME* date);
