#pragma once
#include <functional>
#include <string>
#include <vector>

#include "DiagnosticLog.h"

namespace qel::test {

// Stands in for the settings window's list, bell and message box, and records all of it:
// the sink of the log given, or of a log of its own.
class RecordingSink : public DiagnosticSink {
public:
    RecordingSink() : RecordingSink(ownLog_) {}
    explicit RecordingSink(DiagnosticLog& of) : log(of) { log.SetSink(this); }
    ~RecordingSink() override {
        if (log.Sink() == this) log.SetSink(nullptr);
    }
    RecordingSink(const RecordingSink&) = delete;
    RecordingSink& operator=(const RecordingSink&) = delete;

    void AppendLine(const std::string& line) override {
        lines.push_back(line);
        events.push_back("line:" + line);
        if (auto hook = onLine) hook(line);
    }
    void Beep(BeepKind kind) override {
        beeps.push_back(kind);
        events.push_back(kind == BeepKind::Question ? "beep:question" : "beep:default");
        // A copy: the hook may replace itself while it runs.
        if (auto hook = onBeep) hook(kind);
    }
    bool ScreenMessagesEnabled() override { return screenMessages; }
    void ShowInformation(const std::string& text) override {
        boxes.push_back(text);
        linesWhenBoxOpened.push_back(lines.size());
        events.push_back("box:" + text);
        if (auto hook = whileBoxOpen) hook();
    }

    int Count(BeepKind kind) const {
        int n = 0;
        for (BeepKind k : beeps) n += k == kind ? 1 : 0;
        return n;
    }
    void Clear() {
        lines.clear();
        beeps.clear();
        boxes.clear();
        events.clear();
        linesWhenBoxOpened.clear();
    }

    // The log whose sink this is.
    DiagnosticLog& log;

    bool screenMessages = false;
    // Runs inside the modal box, as the message loop of a real box would run other events.
    std::function<void()> whileBoxOpen;
    // Runs when a line has been appended.
    std::function<void(const std::string&)> onLine;
    // Runs at every beep: the first moment of a receive event, before it reads anything.
    std::function<void(BeepKind)> onBeep;

    std::vector<std::string> lines;
    std::vector<BeepKind> beeps;
    std::vector<std::string> boxes;
    std::vector<std::size_t> linesWhenBoxOpened;
    std::vector<std::string> events;

private:
    DiagnosticLog ownLog_;
};

}  // namespace qel::test
