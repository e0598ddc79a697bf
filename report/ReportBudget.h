#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FormattedText.h"

namespace qel {

// What a report template may hold. A clinic's template (a few pages with a logo and a
// table) stays far inside; one beyond is refused before anything is printed, so that no
// template can hold the program (which reads, fills and prints on its only thread) for
// long or exhaust its memory. Each bound is checked while the file is read, and again
// once the placeholders are filled in.
struct ReportBudget {
    static constexpr std::size_t kFileBytes = 16u << 20;        // the template file
    static constexpr std::size_t kCharacters = 100'000;         // characters of text (some 30 pages)
    static constexpr std::size_t kPieces = 25'000;              // runs of formatted text, line breaks, pictures
    // in one paragraph: Qt goes through a paragraph's every run for each page it is on
    static constexpr std::size_t kPiecesPerParagraph = 2'000;
    static constexpr std::size_t kParagraphs = 20'000;          // paragraphs, those in table cells included
    static constexpr std::size_t kCellsPerRow = 64;             // cells in one table row
    static constexpr std::size_t kCells = 5'000;                // table cells in all
    static constexpr std::size_t kPictures = 100;
    static constexpr std::uint64_t kPictureBytes = 64u << 20;   // pictures decoded, in all
};

// The start of the refusal: "Шаблон отчёта превышает предел: " and the limit.
inline constexpr const char* kTemplateBeyondBudget = "Шаблон отчёта превышает предел: ";

// The texts that name each limit.
std::string FileBytesLimitText();
std::string CharactersLimitText();
std::string PiecesLimitText();
std::string PiecesPerParagraphLimitText();
std::string ParagraphsLimitText();
std::string CellsPerRowLimitText();
std::string CellsLimitText();
std::string PicturesLimitText();
std::string PictureBytesLimitText();

// Counts what a document holds as it grows, and names the first limit passed.
class BudgetCount {
public:
    void Characters(std::size_t n) { characters_ += n; }
    void Piece() {
        ++pieces_;
        widestParagraph_ = std::max(widestParagraph_, ++paragraphPieces_);
    }
    // A paragraph ends (the reader) or begins (a whole document): its pieces start afresh.
    void Paragraph() {
        ++paragraphs_;
        paragraphPieces_ = 0;
    }
    void Cell() { ++cells_; }
    void Row(std::size_t cells) { widestRow_ = std::max(widestRow_, cells); }
    void Picture(std::uint64_t decodedBytes) {
        ++pictures_;
        pictureBytes_ += decodedBytes;
    }
    // The limit passed, if any (the message's end, after kTemplateBeyondBudget).
    std::optional<std::string> Breach() const;

private:
    std::size_t characters_ = 0, pieces_ = 0, paragraphs_ = 0, cells_ = 0, widestRow_ = 0, pictures_ = 0;
    std::size_t paragraphPieces_ = 0, widestParagraph_ = 0;
    std::uint64_t pictureBytes_ = 0;
};

// The limit a whole document passes, if any.
std::optional<std::string> BudgetBreach(const FormattedDocument& document);

// Width and height in pixels that a PNG or JPEG file's header gives, without decoding it;
// nothing when the header cannot be read.
struct PixelSize {
    std::uint32_t width = 0, height = 0;
};
std::optional<PixelSize> PictureHeaderSize(std::string_view bytes, Picture::Type type);

// The memory a picture takes decoded (4 bytes a pixel); 0 when its header cannot be read
// (such a picture is not shown).
std::uint64_t DecodedPictureBytes(std::string_view bytes, Picture::Type type);

}  // namespace qel
