#include "ReportBudget.h"

#include <algorithm>

#include "Utf8.h"

namespace qel {

namespace {

std::string Count(std::size_t n) { return std::to_string(n); }

std::size_t CodePoints(const std::string& utf8) {
    std::size_t n = 0;
    for (const char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

void CountParagraph(const Paragraph& paragraph, BudgetCount& count) {
    count.Paragraph();
    for (const Inline& piece : paragraph.inlines) {
        count.Piece();
        if (piece.kind == Inline::Kind::Text) count.Characters(CodePoints(piece.text));
    }
}

uint32_t BigEndian(std::string_view b, std::size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

std::optional<PixelSize> PngSize(std::string_view b) {
    // Signature (8 bytes), then the IHDR chunk: length, "IHDR", width, height.
    if (b.size() < 24 || b.substr(1, 3) != "PNG" || b.substr(12, 4) != "IHDR") return std::nullopt;
    return PixelSize{BigEndian(b, 16, 4), BigEndian(b, 20, 4)};
}

std::optional<PixelSize> JpegSize(std::string_view b) {
    if (b.size() < 4 || static_cast<unsigned char>(b[0]) != 0xFF || static_cast<unsigned char>(b[1]) != 0xD8)
        return std::nullopt;
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (static_cast<unsigned char>(b[at]) != 0xFF) return std::nullopt;
        const auto marker = static_cast<unsigned char>(b[at + 1]);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        const uint32_t length = BigEndian(b, at + 2, 2);
        // Start of frame (any coding but the table and colour markers C4, C8, CC):
        // precision, height, width.
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (at + 9 > b.size()) return std::nullopt;
            return PixelSize{BigEndian(b, at + 7, 2), BigEndian(b, at + 5, 2)};
        }
        if (length < 2) return std::nullopt;
        at += 2 + length;
    }
    return std::nullopt;
}

}  // namespace

std::string FileBytesLimitText() { return "файл больше " + Count(ReportBudget::kFileBytes >> 20) + " МБ"; }
std::string CharactersLimitText() { return "больше " + Count(ReportBudget::kCharacters) + " знаков текста"; }
std::string PiecesLimitText() {
    return "больше " + Count(ReportBudget::kPieces) + " отрезков оформленного текста, разрывов строк и рисунков";
}
std::string PiecesPerParagraphLimitText() {
    return "больше " + Count(ReportBudget::kPiecesPerParagraph) + " отрезков оформленного текста в одном абзаце";
}
std::string ParagraphsLimitText() { return "больше " + Count(ReportBudget::kParagraphs) + " абзацев"; }
std::string CellsPerRowLimitText() {
    return "больше " + Count(ReportBudget::kCellsPerRow) + " ячеек в одной строке таблицы";
}
std::string CellsLimitText() { return "больше " + Count(ReportBudget::kCells) + " ячеек таблиц"; }
std::string PicturesLimitText() { return "больше " + Count(ReportBudget::kPictures) + " рисунков"; }
std::string PictureBytesLimitText() {
    return "рисунки занимают в памяти больше " + Count(static_cast<std::size_t>(ReportBudget::kPictureBytes >> 20)) +
           " МБ";
}

std::optional<std::string> BudgetCount::Breach() const {
    if (widestRow_ > ReportBudget::kCellsPerRow) return CellsPerRowLimitText();
    if (cells_ > ReportBudget::kCells) return CellsLimitText();
    if (pictures_ > ReportBudget::kPictures) return PicturesLimitText();
    if (pictureBytes_ > ReportBudget::kPictureBytes) return PictureBytesLimitText();
    if (characters_ > ReportBudget::kCharacters) return CharactersLimitText();
    if (pieces_ > ReportBudget::kPieces) return PiecesLimitText();
    if (widestParagraph_ > ReportBudget::kPiecesPerParagraph) return PiecesPerParagraphLimitText();
    if (paragraphs_ > ReportBudget::kParagraphs) return ParagraphsLimitText();
    return std::nullopt;
}

std::optional<std::string> BudgetBreach(const FormattedDocument& document) {
    BudgetCount count;
    for (const Block& block : document.blocks) {
        if (!block.isTable) {
            CountParagraph(block.paragraph, count);
            continue;
        }
        for (const TableRow& row : block.rows) {
            count.Row(row.cells.size());
            for (const TableCell& cell : row.cells) {
                count.Cell();
                for (const Paragraph& paragraph : cell.paragraphs) CountParagraph(paragraph, count);
            }
        }
    }
    for (const Picture& picture : document.pictures) count.Picture(DecodedPictureBytes(picture.bytes, picture.type));
    return count.Breach();
}

std::optional<PixelSize> PictureHeaderSize(std::string_view bytes, Picture::Type type) {
    return type == Picture::Type::Png ? PngSize(bytes) : JpegSize(bytes);
}

std::uint64_t DecodedPictureBytes(std::string_view bytes, Picture::Type type) {
    const std::optional<PixelSize> size = PictureHeaderSize(bytes, type);
    return size ? std::uint64_t{size->width} * size->height * 4 : 0;
}

}  // namespace qel
