// Tokeniser and field codec of NMEA 0183 sentences. A sentence is walked by cutting its text from
// the front, so the text always starts at the field to read next; the parsers read a value from
// the front of the text without changing it. Every read stays within the text.
#pragma once

#include "compat/cstring.h"
#include "compat/windows_types.h"

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

// Field parsers; missing or empty fields read as 0.
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
