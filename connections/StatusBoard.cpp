#include "StatusBoard.h"

#include "LocalTime.h"
#include "StatusTexts.h"

namespace qel {

namespace text = status_text;

StatusBoard::StatusBoard(Clock& clock) : limiters_{NoticeLimiter(clock), NoticeLimiter(clock)} {}

void StatusBoard::SetView(StatusView* view) {
    view_ = view;
    Refresh();
}

std::string StatusBoard::Hint() const {
    ConnectionLabels labels;
    for (int connection : {1, 2}) labels[ConnectionIndex(connection)] = Label(connection);
    return HintText(statuses_, labels, NextRecordPath ? NextRecordPath() : std::string());
}

void StatusBoard::Refresh() const {
    if (view_ != nullptr) view_->ShowStatus(Level(), Hint());
}

ConnectionLabel StatusBoard::Label(int connection) const {
    if (LabelOf) return LabelOf(connection);
    return {text::kConnectionPrefix + std::to_string(connection), {}, {}};
}

void StatusBoard::Opened(int connection) {
    const LinkState before = Status(connection).link;
    statuses_[ConnectionIndex(connection)].notAnswering = false;
    SetLink(connection, LinkState::Open);
    if (before == LinkState::Lost || before == LinkState::NotOpened)
        Tell(connection, NoticeLimiter::Change::Return, text::kNoticeBack);
}

void StatusBoard::OpenFailed(int connection) {
    const LinkState before = Status(connection).link;
    SetLink(connection, LinkState::NotOpened);
    if (before != LinkState::NotOpened) Tell(connection, NoticeLimiter::Change::Loss, text::kNoticeNotOpened);
}

void StatusBoard::Lost(int connection) {
    const LinkState before = Status(connection).link;
    statuses_[ConnectionIndex(connection)].notAnswering = false;
    SetLink(connection, LinkState::Lost);
    if (before != LinkState::Lost) Tell(connection, NoticeLimiter::Change::Loss, text::kNoticeLost);
}

void StatusBoard::Closed(int connection) {
    ConnectionStatus& s = statuses_[ConnectionIndex(connection)];
    s.notAnswering = false;
    s.writeFailed = false;
    SetLink(connection, LinkState::Idle);
}

void StatusBoard::Answering(int connection, bool answering) {
    ConnectionStatus& s = statuses_[ConnectionIndex(connection)];
    if (s.notAnswering == !answering) return;
    s.notAnswering = !answering;
    Refresh();
}

// The data file is one for both connections: a record that reaches it shows that it can
// be written again for either.
void StatusBoard::RecordFiled(int connection, bool written) {
    ConnectionStatus& s = statuses_[ConnectionIndex(connection)];
    const bool failedBefore = written ? WorstLevel(statuses_) == StatusLevel::CannotWrite : s.writeFailed;
    if (written) {
        s.lastFiled = NowLocal();
        for (ConnectionStatus& each : statuses_) each.writeFailed = false;
    } else {
        s.writeFailed = true;
    }
    Refresh();
    if (!written && !failedBefore) Tell(connection, NoticeLimiter::Change::Other, text::kNoticeNotWritten);
    if (written && failedBefore) Tell(connection, NoticeLimiter::Change::Other, text::kNoticeWritingAgain);
}

void StatusBoard::Tick() {
    for (int connection : {1, 2}) {
        const int held = limiters_[ConnectionIndex(connection)].DueSummary();
        if (held == 0 || view_ == nullptr) continue;
        view_->Notify(LabelText(Label(connection)) + text::kNoticeFlapping + std::to_string(held) + text::kNoticeNow +
                      StateText(Status(connection)));
    }
}

void StatusBoard::SetLink(int connection, LinkState link) {
    ConnectionStatus& s = statuses_[ConnectionIndex(connection)];
    s.link = link;
    Refresh();
}

void StatusBoard::Tell(int connection, NoticeLimiter::Change change, const char* what) {
    if (!limiters_[ConnectionIndex(connection)].Offer(change) || view_ == nullptr) return;
    view_->Notify(LabelText(Label(connection)) + what);
}

}  // namespace qel
