#include "DiagnosticLog.h"

#include "Cp1251.h"
#include "FlagScope.h"
#include "PosixFile.h"

namespace qel {

void DiagnosticLog::Report(const std::string& message) { Report(message, {}); }

void DiagnosticLog::Report(const std::string& message, const std::string& note) { Report(message, note, message); }

void DiagnosticLog::ReportWithDetail(const std::string& message, const std::string& detail) {
    Report(message, detail, detail.empty() ? message : message + "\n" + detail);
}

void DiagnosticLog::Report(const std::string& message, const std::string& note, const std::string& boxText) {
    DiagnosticSink* sink = sink_;
    if (sink == nullptr) return;
    // The lines are in the list before any box appears.
    sink->AppendLine(message);
    if (!note.empty()) sink->AppendLine(note);
    sink->Beep(BeepKind::Question);
    if (boxOpen_ || !sink->ScreenMessagesEnabled()) return;
    FlagScope open(boxOpen_);
    sink->ShowInformation(boxText);
}

void DiagnosticLog::Note(const std::string& line) {
    if (DiagnosticSink* sink = sink_) sink->AppendLine(line);
}

void DiagnosticLog::BeepDefault() {
    if (DiagnosticSink* sink = sink_) sink->Beep(BeepKind::Default);
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
