#include "ConnectionStatus.h"

#include "Regional.h"
#include "StatusTexts.h"

namespace qel {

namespace text = status_text;

StatusLevel ConnectionStatus::Level() const {
    if (!InUse()) return StatusLevel::Well;
    if (writeFailed) return StatusLevel::CannotWrite;
    if (link != LinkState::Open || notAnswering) return StatusLevel::Waiting;
    return StatusLevel::Well;
}

StatusLevel WorstLevel(const ConnectionStatuses& statuses) {
    StatusLevel worst = StatusLevel::Well;
    for (const ConnectionStatus& s : statuses)
        if (s.Level() > worst) worst = s.Level();
    return worst;
}

std::string StateText(const ConnectionStatus& status) {
    if (status.writeFailed) return text::kStateCannotWrite;
    switch (status.link) {
        case LinkState::Lost: return text::kStateLost;
        case LinkState::NotOpened: return text::kStateNotOpened;
        case LinkState::Idle:
        case LinkState::Open: break;
    }
    return status.notAnswering ? text::kStateNotAnswering : text::kStateWell;
}

std::string LevelText(StatusLevel level) {
    switch (level) {
        case StatusLevel::Waiting: return text::kLevelWaiting;
        case StatusLevel::CannotWrite: return text::kLevelCannotWrite;
        case StatusLevel::Well: break;
    }
    return text::kLevelWell;
}

std::string LabelText(const ConnectionLabel& label) { return label.name + ", " + label.port; }

std::string HintText(const ConnectionStatuses& statuses, const ConnectionLabels& labels,
                     const std::string& nextRecordPath) {
    std::string hint = text::kTrayHint;
    bool any = false;
    for (std::size_t i = 0; i < statuses.size(); ++i) {
        const ConnectionStatus& s = statuses[i];
        if (!s.InUse()) continue;
        any = true;
        hint += "\n" + LabelText(labels[i]) + ", " + labels[i].type + ": " + StateText(s) + ", ";
        hint += s.lastFiled ? text::kLastRecordPrefix + LongTimeText(*s.lastFiled) : std::string(text::kNoRecordYet);
    }
    if (!any) hint += std::string("\n") + text::kNoConnectionInUse;
    if (!nextRecordPath.empty()) hint += "\n" + std::string(text::kNextRecordPrefix) + nextRecordPath;
    return hint;
}

}  // namespace qel
