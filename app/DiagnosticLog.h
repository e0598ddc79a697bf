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

// The one sink of the program (the settings window); null until it exists.
void SetDiagnosticSink(DiagnosticSink* sink);
DiagnosticSink* CurrentDiagnosticSink();

// Append, beep 0x20, and show a box when screen messages are on. While one box is open a
// further report still appends and beeps but opens no second box.
void ReportDiagnostic(const std::string& message);
// As ReportDiagnostic, with a second line appended right after the message (before the
// box, which shows the message alone).
void ReportDiagnostic(const std::string& message, const std::string& note);
// Append only.
void NoteDiagnostic(const std::string& line);
// The default system sound (a receive event's beep).
void BeepDefault();

// Writes the lines to a file, replacing it: code page 1251, CR LF after each line, no BOM.
// Returns an empty string on success, else the system's reason.
std::string SaveDiagnosticLines(const std::vector<std::string>& lines, const std::string& path);

}  // namespace qel
