#pragma once
#include <array>
#include <optional>
#include <string>

#include "LocalTime.h"

namespace qel {

// How a connection's port stands: not in use (never connected, or disconnected), open,
// refused at its last open, or lost with its device and waiting for it.
enum class LinkState { Idle, Open, NotOpened, Lost };

// The state the tray icon shows, from best to worst.
enum class StatusLevel { Well, Waiting, CannotWrite };

// What the program knows of one connection's state.
struct ConnectionStatus {
    LinkState link = LinkState::Idle;
    // A QEL-1M whose polls have gone unanswered long enough that its value is not current.
    bool notAnswering = false;
    // The connection's latest record could not be written.
    bool writeFailed = false;
    // When the connection's latest record reached the data file.
    std::optional<LocalMoment> lastFiled;

    bool InUse() const { return link != LinkState::Idle; }
    StatusLevel Level() const;
};

// How a connection is named in its hint line and its notifications.
struct ConnectionLabel {
    std::string name;  // the device name, or "Соединение N"
    std::string port;  // "COM1 (/dev/ttyUSB0)"
    std::string type;  // "КЭЛ-1" or "КЭЛ-1М"
};

using ConnectionStatuses = std::array<ConnectionStatus, 2>;
using ConnectionLabels = std::array<ConnectionLabel, 2>;

// The worst state of the connections in use; all well when none is in use.
StatusLevel WorstLevel(const ConnectionStatuses& statuses);
// The connection's state in a few words ("на связи", "ожидание устройства: отключено", ...).
std::string StateText(const ConnectionStatus& status);
// The whole program's state in a few words, for a window title.
std::string LevelText(StatusLevel level);
// The label's name and port, which begin every notification of the connection.
std::string LabelText(const ConnectionLabel& label);

// The tray hint: the program's own line first, then one line per connection in use (its
// name, port, device type, state and the time of its latest filed record), then where the
// next record goes when that is known.
std::string HintText(const ConnectionStatuses& statuses, const ConnectionLabels& labels,
                     const std::string& nextRecordPath);

}  // namespace qel
