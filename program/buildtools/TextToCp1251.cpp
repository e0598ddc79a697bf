// Build step: turns a UTF-8 text file of the repository into the program's own form of
// text, code page 1251 with CR LF line ends.
//   qel-text-cp1251 INPUT OUTPUT
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "Cp1251.h"

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    const std::string utf8((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // LF and CR LF both become CR LF.
    std::string text;
    text.reserve(utf8.size() + utf8.size() / 32);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
        if (utf8[i] == '\n')
            text += "\r\n";
        else
            text += utf8[i];
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << qel::Utf8ToCp1251(text);
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
