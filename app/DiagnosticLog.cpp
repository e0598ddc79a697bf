#include "DiagnosticLog.h"

#include "Cp1251.h"
#include "PosixFile.h"

namespace qel {

namespace {

DiagnosticSink* g_sink = nullptr;
// A report's box is open. A noisy line would otherwise stack boxes without end, since the
// box's message loop goes on delivering receive events and timer ticks.
bool g_boxOpen = false;

class BoxOpenGuard {
public:
    BoxOpenGuard() { g_boxOpen = true; }
    ~BoxOpenGuard() { g_boxOpen = false; }
    BoxOpenGuard(const BoxOpenGuard&) = delete;
    BoxOpenGuard& operator=(const BoxOpenGuard&) = delete;
};

}  // namespace

void SetDiagnosticSink(DiagnosticSink* sink) { g_sink = sink; }
DiagnosticSink* CurrentDiagnosticSink() { return g_sink; }

void ReportDiagnostic(const std::string& message) { ReportDiagnostic(message, {}); }

void ReportDiagnostic(const std::string& message, const std::string& note) {
    DiagnosticSink* sink = g_sink;
    if (sink == nullptr) return;
    // The lines are in the list before any box appears.
    sink->AppendLine(message);
    if (!note.empty()) sink->AppendLine(note);
    sink->Beep(BeepKind::Question);
    if (g_boxOpen || !sink->ScreenMessagesEnabled()) return;
    BoxOpenGuard guard;
    sink->ShowInformation(message);
}

void NoteDiagnostic(const std::string& line) {
    if (DiagnosticSink* sink = g_sink) sink->AppendLine(line);
}

void BeepDefault() {
    if (DiagnosticSink* sink = g_sink) sink->Beep(BeepKind::Default);
}

std::string SaveDiagnosticLines(const std::vector<std::string>& lines, const std::string& path) {
    std::string content;
    for (const std::string& line : lines) {
        content += Utf8ToCp1251(line);
        content += "\r\n";
    }
    PosixFile file;
    if (!file.CreateTruncated(path)) return file.FailureText();
    if (!file.WriteAll(content)) return file.FailureText();
    if (!file.Close()) return file.FailureText();
    return {};
}

}  // namespace qel
