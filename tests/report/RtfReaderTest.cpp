#include "DocumentText.h"
#include "RtfReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "Bounded.h"
#include "ReportText.h"
#include "RtfLines.h"
#include "TestFiles.h"

namespace qel {
namespace {

using Lines = std::vector<std::string>;

std::string CorpusFile(const std::string& name) { return std::string(QEL_RTF_CORPUS_DIR) + "/" + name; }

Lines LoadCorpus(const std::string& name) {
    RichTextDocument doc;
    EXPECT_TRUE(doc.LoadFromFile(CorpusFile(name))) << name;
    return DocumentLines(doc);
}

// The lines of rich text that must read.
Lines ToLines(std::string_view rtf) {
    Lines lines;
    std::string reason;
    EXPECT_TRUE(RtfToLines(rtf, lines, &reason)) << reason;
    return lines;
}

// Why a file did not load; empty when it did.
std::string LoadFailure(RichTextDocument& doc, const std::string& path) {
    std::string reason;
    return doc.LoadFromFile(path, &reason) ? std::string() : reason;
}

struct CorpusCase {
    const char* file;
    Lines lines;
};

// One small hand-written file per rule of the reader, with the paragraphs it must give.
const CorpusCase kCorpus[] = {
    {"groups.rtf", {"Plain bold nested after", "ÀАÀАÀ"}},
    {"control-words.rtf", {"abc de", "-minus", "hugenumbers", "long"}},
    {"escapes.rtf", {"back\\slash {braces}"}},
    {"breaks.rtf", {"one", "two", "three", "four", "five", "a\tb\tc", "six", "seven"}},
    {"cyrillic-ansicpg.rtf", {"Привет, мир! ёЁ"}},
    {"cyrillic-fcharset.rtf", {"Доза"}},
    {"cyrillic-font-switch.rtf", {"Latin é Доза é"}},
    {"cyrillic-raw-bytes.rtf", {"Доза: 12,3"}},
    {"western-default.rtf", {"café € “q”"}},
    {"unicode.rtf", {"При", "АБ", "Вx", "가", "😀"}},
    {"symbols.rtf", {"a\u00A0b\u2011c—d–e•f‘g’h“i”"}},
    {"table.rtf", {"Name\tDose\tDate", "A\t\t1", "after"}},
    {"binary.rtf", {"ab"}},
    {"skipped-destinations.rtf", {"visible text", "shown resultlink text", "kept text"}},
    {"placeholder-split.rtf", {"Name: $<name>", "Dose: $<dose> $<time>"}},
    {"malformed-unclosed.rtf", {"abcdef", "ghi"}},
    {"malformed-extra-close.rtf", {"abc"}},
    {"malformed-truncated-escape.rtf", {"abc"}},
    // List markers as the writer stored them; the characters of symbol fonts in Unicode.
    {"lists.rtf",
     {"1.\tfirst", "2.\tsecond", "•\tthird", "•\tfourth", "3)\tfifth", "Symbol •, • ± α, Wingdings ▪"}},
    {"russian-report.rtf",
     {"Исследование", "Устройство: $<name> № $<number>", "Время: $<time>\tДата: $<date>", "Доза: $<dose> mGy"}},
};

TEST(RtfReader, Corpus) {
    for (const auto& c : kCorpus) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(LoadCorpus(c.file), c.lines);
    }
}

// A file without the rich-text header is plain text in code page 1251, as a rich-text
// view loads it; an empty file is an empty document.
TEST(RtfReader, TemplatesThatAreNotRichTextArePlainText) {
    RichTextDocument doc;
    ASSERT_TRUE(doc.LoadFromFile(CorpusFile("not-rtf.rtf")));
    EXPECT_EQ(DocumentLines(doc), Lines{"Plain text, not rich text."});
    test::TempFolder folder;
    const std::string plain = folder / "report.rtf";
    test::WriteBytes(plain, "\xC4\xEE\xE7\xE0: $<dose>\r\n{\\b not bold}\n\r\nend");
    ASSERT_TRUE(doc.LoadFromFile(plain));
    EXPECT_EQ(DocumentLines(doc), (Lines{"Доза: $<dose>", "{\\b not bold}", "", "end"}));
    test::WriteBytes(plain, "");
    SetDocumentText(doc, "kept");
    ASSERT_TRUE(doc.LoadFromFile(plain));
    EXPECT_EQ(DocumentLines(doc), Lines{});
}

TEST(RtfReader, OnlyRichTextIsReadAsRichText) {
    for (const std::string_view text : {"", "{\\rt", " {\\rtf1 x}", "{\\RTF1 x}"}) {
        SCOPED_TRACE(text);
        Lines lines{"kept"};
        std::string reason;
        EXPECT_FALSE(RtfToLines(text, lines, &reason));
        EXPECT_EQ(reason, "The content is not a rich-text document.");
        EXPECT_EQ(lines, Lines{"kept"});
    }
    EXPECT_EQ(ToLines("{\\rtf"), Lines{});
    EXPECT_EQ(ToLines("{\\rtf1}"), Lines{});
}

TEST(RtfReader, FilesThatCannotBeOpenedOrRead) {
    test::TempFolder folder;
    RichTextDocument doc;
    SetDocumentText(doc, "kept");
    const std::string missing = folder / "report.rtf";
    EXPECT_EQ(LoadFailure(doc, missing), "Cannot open file \"" + missing + "\". No such file or directory");
    EXPECT_EQ(LoadFailure(doc, folder.Path()), "Cannot open file \"" + folder.Path() + "\". Is a directory");
    // A named pipe would keep the window waiting for a writer for ever.
    const std::string pipe = folder / "pipe.rtf";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
    EXPECT_EQ(test::RunBounded(
                  [&] {
                      return LoadFailure(doc, pipe) ==
                             "Cannot open file \"" + pipe + "\". a named pipe stands at this path";
                  },
                  5000),
              test::BoundedOutcome::Passed);
    EXPECT_EQ(DocumentLines(doc), Lines{"kept"});

    // A file the user may not read.
    const std::string locked = folder / "locked.rtf";
    test::WriteBytes(locked, "{\\rtf1 secret}");
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    EXPECT_TRUE(test::RunUnprivileged([&] {
        RichTextDocument d;
        return LoadFailure(d, locked) == "Cannot open file \"" + locked + "\". Permission denied";
    }));
}

TEST(RichTextDocument, TextInAndOut) {
    RichTextDocument doc;
    EXPECT_EQ(DocumentText(doc), "");
    SetDocumentText(doc, "a\r\nb\rc\nd");
    EXPECT_EQ(DocumentLines(doc), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(DocumentText(doc), "a\r\nb\r\nc\r\nd\r\n");
    SetDocumentText(doc, "a\r\n");
    EXPECT_EQ(DocumentLines(doc), Lines{"a"});
    SetDocumentText(doc, "\r\n");
    EXPECT_EQ(DocumentLines(doc), Lines{""});
    SetDocumentText(doc, "\n\r");  // LF, then CR: two empty lines
    EXPECT_EQ(DocumentLines(doc), (Lines{"", ""}));
    SetDocumentText(doc, "a\r\n\r\nb\r\n\r\n");
    EXPECT_EQ(DocumentLines(doc), (Lines{"a", "", "b", ""}));
    EXPECT_EQ(DocumentText(doc), "a\r\n\r\nb\r\n\r\n");
    SetDocumentText(doc, "");
    EXPECT_EQ(DocumentLines(doc), Lines{});
    SetDocumentText(doc, std::string("x\0y", 3));
    EXPECT_EQ(DocumentLines(doc), Lines{std::string("x\0y", 3)});
}

TEST(RichTextDocument, FillingInTheReport) {
    RichTextDocument doc;
    ASSERT_TRUE(doc.LoadFromFile(CorpusFile("russian-report.rtf")));
    const std::pair<const char*, const char*> values[] = {
        {"$<name>", "КЭЛ $<dose>"}, {"$<number>", "3.45"}, {"$<time>", "12:34:56"},
        {"$<date>", "01.02.2026"}, {"$<dose>", "12,3"}};
    for (const auto& [placeholder, value] : values) ReplaceAsTextView(doc, placeholder, value);
    EXPECT_EQ(DocumentText(doc),
              "Исследование\r\nУстройство: КЭЛ 12,3 № 3.45\r\nВремя: 12:34:56\tДата: 01.02.2026\r\nДоза: 12,3 mGy\r\n");
}

TEST(RtfReader, NestingAndNumbersWithoutLimit) {
    // Content nested deeper than the reader follows is dropped, the rest is read.
    auto nested = [](std::size_t depth) {
        return "{\\rtf1 a" + std::string(depth, '{') + "x" + std::string(depth, '}') + "b}";
    };
    EXPECT_EQ(ToLines(nested(200)), Lines{"axb"});
    EXPECT_EQ(ToLines(nested(100000)), Lines{"ab"});
    // Unclosed nesting simply ends with the input.
    EXPECT_EQ(ToLines("{\\rtf1 a" + std::string(1000000, '{') + "x"), Lines{"a"});
    // Binary data longer than the file, fallback counts beyond all text, huge parameters.
    EXPECT_EQ(ToLines("{\\rtf1 a\\bin99999999999999999999 bcd}"), Lines{"a"});
    EXPECT_EQ(ToLines("{\\rtf1 a\\bin-5 bcd}"), Lines{"abcd"});
    EXPECT_EQ(ToLines("{\\rtf1 {\\uc99999999999\\u1040 aaaa}b}"), Lines{"Аb"});
    EXPECT_EQ(ToLines("{\\rtf1 \\u99999999999 x\\u-99999999999 y}"), Lines{"\uFFFD\uFFFD"});
    // Lone surrogates do not make invalid UTF-8.
    EXPECT_EQ(ToLines("{\\rtf1 \\u-10179?z\\u-8704?}"), Lines{"\uFFFDz\uFFFD"});
    // Control characters written as escapes are no text and never split a line.
    EXPECT_EQ(ToLines("{\\rtf1 a\\u10 ?b\\u0 ?c\\'0d\\'0ad\\u13 ?}"), Lines{"abcd"});
    // A backslash or an escape cut off at the end.
    EXPECT_EQ(ToLines("{\\rtf1 a\\"), Lines{"a"});
    EXPECT_EQ(ToLines("{\\rtf1 a\\'"), Lines{"a"});
    EXPECT_EQ(ToLines("{\\rtf1 a\\'g1b}"), Lines{"ag1b"});
}

}  // namespace
}  // namespace qel
