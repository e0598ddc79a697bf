#include "SettingsText.h"

#include "Cp1251.h"
#include "Utf8.h"

namespace qel {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool HasByteOrderMark(const std::string& bytes) { return bytes.rfind(kByteOrderMark, 0) == 0; }

}  // namespace

bool IsUtf8SettingsText(const std::string& bytes) {
    if (HasByteOrderMark(bytes)) return true;
    bool above7F = false;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const Utf8Char c = DecodeUtf8At(bytes, pos);
        if (!c.valid) return false;
        above7F = above7F || c.codePoint > 0x7F;
        pos += c.length;
    }
    return above7F;
}

std::string SettingsTextAsCp1251(std::string bytes) {
    if (!IsUtf8SettingsText(bytes)) return bytes;
    if (HasByteOrderMark(bytes)) bytes.erase(0, sizeof kByteOrderMark - 1);
    return Utf8ToCp1251(bytes);
}

}  // namespace qel
