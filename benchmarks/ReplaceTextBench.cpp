// What filling in a report template costs: ReplaceText on a text with 200 000 placeholders,
// the five placeholders of a report filled into a document of 200 000 lines (the steps of
// the report's filling-in: text out, replaced, text back), and the
// cases that make a plain search compare the pattern over and over. A measurement to run
// by hand or with `make bench`:
//   build/bin/replace_text_bench [placeholders]      (default: 200000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "DocumentText.h"
#include "ReportText.h"
#include "RtfReader.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

template <typename Step>
void Time(const char* what, std::size_t textBytes, Step step) {
    const auto start = std::chrono::steady_clock::now();
    const std::size_t resultBytes = step();
    std::printf("| %s | %.1f MB | %.3f s | %.1f MB |\n", what, static_cast<double>(textBytes) / 1e6, Seconds(start),
                static_cast<double>(resultBytes) / 1e6);
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200000;
    std::printf("ReplaceText and the report's filling-in with %zu placeholders\n", count);
    std::printf("| case | text | time | result |\n|---|---|---|---|\n");

    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += "Доза: $<dose> мкГр\r\n";
    Time("every occurrence of $<dose>", text.size(),
         [&] { return qel::ReplaceText(text, "$<dose>", "12,345", qel::ReplaceAll).size(); });
    Time("every occurrence, upper and lower case alike", text.size(), [&] {
        return qel::ReplaceText(text, "$<DOSE>", "12,345", qel::ReplaceAll | qel::IgnoreCase).size();
    });
    Time("a replacement longer than the text around it", text.size(),
         [&] { return qel::ReplaceText(text, "$<dose>", std::string(200, 'x'), qel::ReplaceAll).size(); });

    // A pattern that almost matches everywhere: a plain search compares it again at every byte.
    const std::string near(count * 20, 'a');
    const std::string pattern = std::string(count / 10, 'a') + "b";
    const std::string what = "a " + std::to_string(pattern.size()) + "-byte pattern that almost matches at every byte";
    Time(what.c_str(), near.size(),
         [&] { return qel::ReplaceText(near, pattern, "-", qel::ReplaceAll).size(); });

    qel::RichTextDocument document;
    std::string lines;
    for (std::size_t i = 0; i < count; ++i) lines += "$<name> $<number> $<time> $<date> $<dose>\r\n";
    SetDocumentText(document, lines);
    // As the report fills them in: each step takes the text out and puts the result back.
    Time("the five placeholders of a report, one per line each", lines.size(), [&] {
        const char* const steps[][2] = {{"$<name>", "Кабинет 1"}, {"$<number>", "12.34.56"},
                                        {"$<time>", "12:34:56"},  {"$<date>", "08.12.2026"},
                                        {"$<dose>", "12,345"}};
        for (const auto& step : steps) ReplaceAsTextView(document, step[0], step[1]);
        return DocumentText(document).size();
    });
    return 0;
}
