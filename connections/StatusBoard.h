#pragma once
#include <array>
#include <functional>
#include <string>

#include "Clock.h"
#include "Configuration.h"
#include "ConnectionStatus.h"
#include "NoticeLimiter.h"

namespace qel {

// Where the state of the connections is shown: the tray icon and its hint (or the
// settings window's title), and the desktop notifications. The window implements it.
class StatusView {
public:
    // The worst state and the hint, after every change of either.
    virtual void ShowStatus(StatusLevel level, const std::string& hint) = 0;
    // One short notice; it must neither take the focus nor block.
    virtual void Notify(const std::string& text) = 0;

protected:
    ~StatusView() = default;
};

// The state of both connections as the program learns it (opens, losses, returns, polls
// that go unanswered, records filed or not), told to the view: the icon and hint at every
// change, a notice at every change worth one, within each connection's NoticeLimiter.
class StatusBoard {
public:
    explicit StatusBoard(Clock& clock);

    // The view, or none. The labels and the next record's path are read when a hint or a
    // notice is made.
    void SetView(StatusView* view);
    std::function<ConnectionLabel(int connection)> LabelOf;
    std::function<std::string()> NextRecordPath;

    // `connection` is 1 or 2.
    void Opened(int connection);
    void OpenFailed(int connection);
    void Lost(int connection);
    void Closed(int connection);
    void Answering(int connection, bool answering);
    void RecordFiled(int connection, bool written);
    // About once a second: the summaries that are due.
    void Tick();

    const ConnectionStatus& Status(int connection) const { return statuses_[ConnectionIndex(connection)]; }
    const ConnectionStatuses& Statuses() const { return statuses_; }
    StatusLevel Level() const { return WorstLevel(statuses_); }
    std::string Hint() const;
    // Shows the state again (the view has changed, or a label did).
    void Refresh() const;

private:
    ConnectionLabel Label(int connection) const;
    void SetLink(int connection, LinkState link);
    void Tell(int connection, NoticeLimiter::Change change, const char* what);

    std::array<NoticeLimiter, 2> limiters_;
    ConnectionStatuses statuses_{};
    StatusView* view_ = nullptr;
};

}  // namespace qel
