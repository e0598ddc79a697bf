#include "FormattedText.h"

namespace qel {

namespace {

// Plays the document back as the plain-text reader sees it: text, line ends, a TAB after
// each cell, and at a row's end the TAB after its last cell taken back (text after the
// last cell mark keeps the TAB before it, whatever a replacement left of that text).
class LineWriter {
public:
    void Text(const std::string& text) { line_ += text; }
    void Break() {
        lines_.push_back(std::move(line_));
        line_.clear();
    }
    void Tab() { line_ += '\t'; }
    void EndRow(bool lastCellClosed) {
        if (lastCellClosed && !line_.empty() && line_.back() == '\t') line_.pop_back();
        Break();
    }
    bool LastLineHasText() const { return !line_.empty(); }
    std::vector<std::string> Finish(bool keepLastLine) {
        if (!line_.empty() || keepLastLine) Break();
        return std::move(lines_);
    }

    void Write(const Paragraph& paragraph) {
        for (const Inline& piece : paragraph.inlines) {
            if (piece.kind == Inline::Kind::Text) Text(piece.text);
            else if (piece.kind == Inline::Kind::LineBreak) Break();
        }
        if (paragraph.closed) Break();
    }

private:
    std::vector<std::string> lines_;
    std::string line_;
};

void Replay(const FormattedDocument& document, LineWriter& out) {
    for (const Block& block : document.blocks) {
        if (!block.isTable) {
            out.Write(block.paragraph);
            continue;
        }
        for (const TableRow& row : block.rows) {
            for (const TableCell& cell : row.cells) {
                for (const Paragraph& paragraph : cell.paragraphs) out.Write(paragraph);
                if (cell.closed) out.Tab();
            }
            if (row.closed) out.EndRow(row.cells.empty() || row.cells.back().closed);
        }
    }
}

}  // namespace

std::vector<std::string> PlainLines(const FormattedDocument& document) {
    LineWriter out;
    Replay(document, out);
    return out.Finish(document.keepLastLine);
}

void SettleLastLine(FormattedDocument& document) {
    LineWriter out;
    Replay(document, out);
    document.keepLastLine = out.LastLineHasText();
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.emplace_back(text.substr(start, i - start));
        i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

FormattedDocument PlainDocument(const std::vector<std::string>& lines) {
    FormattedDocument document;
    for (const std::string& line : lines) {
        Block block;
        block.paragraph.closed = true;
        if (!line.empty()) {
            Inline piece;
            piece.text = line;
            block.paragraph.inlines.push_back(std::move(piece));
        }
        document.blocks.push_back(std::move(block));
    }
    return document;
}

namespace {

void AppendPiece(std::vector<Inline>& out, Inline piece) {
    if (piece.kind == Inline::Kind::Text) {
        if (piece.text.empty()) return;
        if (!out.empty() && out.back().kind == Inline::Kind::Text && out.back().format == piece.format) {
            out.back().text += piece.text;
            return;
        }
    }
    out.push_back(std::move(piece));
}

void AppendText(std::vector<Inline>& out, std::string_view text, const CharFormat& format) {
    Inline piece;
    piece.text = std::string(text);
    piece.format = format;
    AppendPiece(out, std::move(piece));
}

// Turns CR LF, CR and LF inside text pieces into forced line breaks, as the plain text
// would split there; a CR at the end of one piece and an LF at the start of the next are
// one break.
std::vector<Inline> SplitLineEnds(std::vector<Inline> inlines) {
    std::vector<Inline> out;
    bool afterCr = false;
    for (Inline& piece : inlines) {
        if (piece.kind != Inline::Kind::Text) {
            if (piece.kind == Inline::Kind::LineBreak) afterCr = false;
            out.push_back(std::move(piece));
            continue;
        }
        std::size_t start = 0;
        for (std::size_t i = 0; i < piece.text.size(); ++i) {
            const char c = piece.text[i];
            if (c != '\r' && c != '\n') {
                afterCr = false;
                continue;
            }
            AppendText(out, std::string_view(piece.text).substr(start, i - start), piece.format);
            start = i + 1;
            if (c == '\n' && afterCr) {  // the LF of a CR LF, perhaps split between pieces
                afterCr = false;
                continue;
            }
            afterCr = c == '\r';
            Inline brk;
            brk.kind = Inline::Kind::LineBreak;
            brk.format = piece.format;
            out.push_back(std::move(brk));
        }
        AppendText(out, std::string_view(piece.text).substr(start), piece.format);
    }
    return out;
}

void ReplaceInParagraph(Paragraph& paragraph, std::string_view pattern, std::string_view replacement,
                        bool replacementHasLineEnds) {
    // The paragraph's text as the plain text shows it: pictures give nothing.
    std::string text;
    for (const Inline& piece : paragraph.inlines)
        if (piece.kind == Inline::Kind::Text) text += piece.text;
        else if (piece.kind == Inline::Kind::LineBreak) text += "\r\n";
    std::vector<std::pair<std::size_t, std::size_t>> matches;
    for (std::size_t p = text.find(pattern); p != std::string::npos; p = text.find(pattern, p + pattern.size()))
        matches.emplace_back(p, p + pattern.size());
    if (matches.empty()) return;

    std::vector<Inline> out;
    std::size_t m = 0;       // the next match not yet passed
    std::size_t offset = 0;  // where the current piece begins in `text`
    for (Inline& piece : paragraph.inlines) {
        if (piece.kind == Inline::Kind::Picture) {
            // Pictures stay in their order; one inside a match comes after its replacement.
            AppendPiece(out, std::move(piece));
            continue;
        }
        if (piece.kind == Inline::Kind::LineBreak) {  // never inside a match: patterns hold no line end
            AppendPiece(out, std::move(piece));
            offset += 2;
            continue;
        }
        const std::size_t length = piece.text.size();
        std::size_t pos = 0;
        while (pos < length) {
            const std::size_t at = offset + pos;
            if (m < matches.size() && at >= matches[m].first) {
                // The replacement takes the format of the match's first character.
                if (at == matches[m].first) AppendText(out, replacement, piece.format);
                const std::size_t stop = std::min(matches[m].second, offset + length);
                pos = stop - offset;
                if (stop == matches[m].second) ++m;
            } else {
                const std::size_t stop = m < matches.size() ? std::min(matches[m].first, offset + length) : offset + length;
                AppendText(out, std::string_view(piece.text).substr(pos, stop - at), piece.format);
                pos = stop - offset;
            }
        }
        offset += length;
    }
    paragraph.inlines = replacementHasLineEnds ? SplitLineEnds(std::move(out)) : std::move(out);
}

}  // namespace

void ReplaceInDocument(FormattedDocument& document, std::string_view pattern, std::string_view replacement) {
    if (pattern.empty() || pattern.find_first_of("\r\n") != std::string_view::npos) return;
    const bool lineEnds = replacement.find_first_of("\r\n") != std::string_view::npos;
    for (Block& block : document.blocks) {
        if (!block.isTable) {
            ReplaceInParagraph(block.paragraph, pattern, replacement, lineEnds);
            continue;
        }
        for (TableRow& row : block.rows)
            for (TableCell& cell : row.cells)
                for (Paragraph& paragraph : cell.paragraphs) ReplaceInParagraph(paragraph, pattern, replacement, lineEnds);
    }
}

}  // namespace qel
