#include "definitions/records/definition_records.h"

#include <cstring>

CString FieldText(const char* field, size_t fieldSize) {
    if (field == nullptr) return CString();
    return CString(field, static_cast<int>(strnlen(field, fieldSize)));
}

void SetFieldText(char* field, size_t fieldSize, const char* text) {
    if (field == nullptr || fieldSize == 0) return;
    const size_t n = text != nullptr ? strnlen(text, fieldSize - 1) : 0;
    std::memset(field, 0, fieldSize);
    if (n > 0) std::memcpy(field, text, n);
}
