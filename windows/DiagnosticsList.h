#pragma once
#include <QAbstractScrollArea>

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "DiagnosticLines.h"

namespace qel {

// The diagnostics list of the settings window (ListBox1): one row of text per line, every
// row as high as the font's line. Appending a line measures that line only and never lays
// out the lines already there, so the list stays as cheap at 100 000 lines as at 10. It
// keeps the newest lines up to DiagnosticLines' bound (500 000). The
// scroll bars, the follow to the newest line and the repaint are brought up to date once
// per batch of events. A click selects a line; the wheel and the keys scroll.
class TDiagnosticsList : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TDiagnosticsList(QWidget* parent = nullptr);
    // A list that keeps the newest `bound` lines.
    TDiagnosticsList(std::size_t bound, QWidget* parent);

    void AppendLine(const std::string& utf8);
    void Clear();
    int count() const { return static_cast<int>(lines_.Count()); }
    QString LineText(int row) const;
    std::vector<std::string> Lines() const { return lines_.All(); }

    // The selected row, or -1.
    int CurrentRow() const { return currentRow_; }
    void SetCurrentRow(int row);
    // The widest line in pixels, as the font draws it.
    int ContentWidth() const { return widest_; }
    int RowHeight() const;
    // The first row in view.
    int TopRow() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    int Measure(const QString& text) const;
    // Measure of a new line; the same text again (a refusal repeated under noise) is not
    // shaped again but taken from the widths of the last distinct lines.
    int MeasureNew(const std::string& utf8);
    int RowsInView() const;
    void ScheduleRefresh();
    void Refresh();
    void UpdateScrollBars();

    DiagnosticLines lines_;
    std::unordered_map<std::string, int> recentWidths_;
    int widest_ = 0;
    int currentRow_ = -1;
    bool refreshPending_ = false;
    bool followNewest_ = true;
};

}  // namespace qel
