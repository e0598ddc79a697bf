#pragma once
#include <string>
#include <vector>

namespace qel {

// System sounds: MessageBeep's default sound (0) and its question sound (0x20).
enum class BeepKind : unsigned { Default = 0x00, Question = 0x20 };

// What the diagnostics log needs of the settings window: the list, the sound, the
// "show diagnostic messages" box and a modal information box.
class DiagnosticSink {
public:
    virtual ~DiagnosticSink() = default;
    virtual void AppendLine(const std::string& line) = 0;
    virtual void Beep(BeepKind kind) = 0;
    virtual bool ScreenMessagesEnabled() = 0;  // CB_ErrMes, read at each call
    virtual void ShowInformation(const std::string& text) = 0;  // modal, caption "Information"
};

// The program's diagnostics log: what it reports reaches its sink (the settings window);
// without a sink it goes nowhere.
class DiagnosticLog {
public:
    void SetSink(DiagnosticSink* sink) { sink_ = sink; }
    DiagnosticSink* Sink() const { return sink_; }

    // Append, beep 0x20, and show a box when screen messages are on. While one box is open
    // a further report still appends and beeps but opens no second box.
    void Report(const std::string& message);
    // As Report, with a second line appended right after the message (before the box,
    // which shows the message alone).
    void Report(const std::string& message, const std::string& note);
    // As Report(message, detail), with the box showing the detail below the message.
    void ReportWithDetail(const std::string& message, const std::string& detail);
    // Append only.
    void Note(const std::string& line);
    // The default system sound (a receive event's beep).
    void BeepDefault();

private:
    void Report(const std::string& message, const std::string& note, const std::string& boxText);
    DiagnosticSink* sink_ = nullptr;
    // A report's box is open. A noisy line would otherwise stack boxes without end, since
    // the box's message loop goes on delivering receive events and timer ticks.
    bool boxOpen_ = false;
};

// Writes the lines to a file, replacing it: code page 1251, CR LF after each line, no BOM.
// Returns an empty string on success, else the system's reason.
std::string SaveDiagnosticLines(const std::vector<std::string>& lines, const std::string& path);

}  // namespace qel
