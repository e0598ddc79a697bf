#include "Connections.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "PortPaths.h"
#include "Qel1mCommands.h"
#include "Regional.h"
#include "StatusTexts.h"

namespace qel {

namespace {

// A selection index of a port list that names a port (COM1 to COM8).
bool PortFromIndex(int index, TComPortNumber& port) {
    if (index < 0 || index >= kPortCount) return false;
    port = static_cast<TComPortNumber>(index);
    return true;
}

bool SpeedFromIndex(int index, TComPortBaudRate& speed) {
    if (index < 0 || index >= static_cast<int>(kLineSpeeds.size())) return false;
    speed = kLineSpeeds[static_cast<std::size_t>(index)];
    return true;
}

}  // namespace

Connections::Connections(DiagnosticLog& log, WriteHoldOff& writing, OptionsSource& options, std::string settingsFile)
    : options_(options),
      status_(SystemClock()),
      writer_(options, log, writing),
      reception_(ComDriver1, ComDriver2, options, writer_, log),
      keeper_(ComDriver1, ComDriver2, log) {
    // The drivers as designed; port and speed are set again by Apply. Connection 1 is set
    // up for a QEL-1 at 4800 Bd (a 50 ms tick, a packet's pieces joined within 200 ms),
    // connection 2 for a QEL-1M at 9600 Bd (a 300 ms tick, a 2 s input timeout).
    ComDriver1.Name = "ComDriver1";
    ComDriver1.SetComPortSpeed(br4800);
    ComDriver1.SetComPortPollingDelay(50);
    ComDriver1.SetInputTimeout(200);
    ComDriver2.Name = "ComDriver2";
    ComDriver2.SetComPortSpeed(br9600);
    ComDriver2.SetComPortPollingDelay(300);
    ComDriver2.SetInputTimeout(2000);
    // The driver's own output buffer, so that connection 2 can send its last-record command.
    ComDriver2.SetComPortOutBufSize(2048);

    const auto devicePath = [file = std::move(settingsFile)](TComPortNumber port) {
        return PortDevicePath(file, static_cast<unsigned>(port) + 1);
    };
    const auto receive = [this](TSerialPortDriver* sender, const uint8_t* bytes, uint32_t count) {
        reception_.ComDriver1ReceiveData(sender, bytes, count);
    };
    for (TSerialPortDriver* driver : {&ComDriver1, &ComDriver2}) {
        driver->DevicePathOf = devicePath;
        driver->OnReceiveData = receive;
    }
    // A vanished device is the keeper's to report and reopen; a QEL-1M window shows it.
    ComDriver1.OnLineLost = [this](TSerialPortDriver*) { keeper_.LineLost(1); };
    ComDriver2.OnLineLost = [this](TSerialPortDriver*) { keeper_.LineLost(2); };
    keeper_.OnLinkChange = [this](int connection, bool up) {
        ShowLinkState(connection);
        if (up)
            status_.Opened(connection);
        else
            status_.Lost(connection);
    };
    keeper_.OnConnect = [this](int connection, bool opened) {
        ShowLinkState(connection);
        if (opened)
            status_.Opened(connection);
        else
            status_.OpenFailed(connection);
    };
    reception_.OnRecordFiled = [this](int connection, bool written) { status_.RecordFiled(connection, written); };
    status_.LabelOf = [this](int connection) { return Label(connection); };
    status_.NextRecordPath = [this] { return NextRecordPath(); };
}

Connections::~Connections() {
    for (TSerialPortDriver* driver : {&ComDriver1, &ComDriver2}) {
        driver->OnReceiveData = nullptr;
        driver->OnLineLost = nullptr;
    }
    keeper_.OnLinkChange = nullptr;
    keeper_.OnConnect = nullptr;
    status_.SetView(nullptr);
    DestroyControlWindow(1);
    DestroyControlWindow(2);
}

void Connections::Apply(const ProgramOptions& options) {
    TComPortNumber port{};
    if (PortFromIndex(options.Connection(1).portIndex, port)) ComDriver1.SetComPort(port);
    if (PortFromIndex(options.Connection(2).portIndex, port)) ComDriver2.SetComPort(port);
    TComPortBaudRate speed{};
    if (SpeedFromIndex(options.Connection(1).speedIndex, speed)) ComDriver1.SetComPortSpeed(speed);
    if (SpeedFromIndex(options.Connection(2).speedIndex, speed)) ComDriver2.SetComPortSpeed(speed);

    // "соединение N состоялось" or "соединение N не состоялось" with the reason.
    if (options.Connection(1).inUse) keeper_.Connect(1);
    if (options.Connection(2).inUse) keeper_.Connect(2);
}

void Connections::Disconnect() {
    for (int connection : {1, 2}) {
        keeper_.Disconnect(connection);
        status_.Closed(connection);
    }
}

void Connections::KeeperTick() {
    keeper_.Tick();
    status_.Tick();
}

bool Connections::FileRecord(int connection, const std::string& line, const RecordFileName& name) {
    const bool written = writer_.Save2File(line, name);
    status_.RecordFiled(connection, written);
    return written;
}

// Relative data paths are resolved from the current folder, as the writer opens them
// (an installed program's is the user's data folder).
std::string Connections::NextRecordPath() const {
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    return qel::NextRecordPath(options_.Current(), error ? std::string() : here.string(),
                               status_text::kRecordNamePattern);
}

std::string Connections::DeviceName(int connection) const {
    return options_.Current().deviceNames[ConnectionIndex(connection)];
}

void Connections::SetDeviceName(int connection, const std::string& name) { options_.SetDeviceName(connection, name); }

ConnectionLabel Connections::Label(int connection) const {
    ConnectionLabel label;
    const ProgramOptions options = options_.Current();
    const std::string& name = options.deviceNames[ConnectionIndex(connection)];
    label.name = name.empty() ? status_text::kConnectionPrefix + std::to_string(connection) : name;
    const TSerialPortDriver& driver = Driver(connection);
    label.port = "COM" + std::to_string(static_cast<int>(driver.ComPort()) + 1);
    if (!driver.DevicePath().empty()) label.port += " (" + driver.DevicePath() + ")";
    label.type =
        options.Connection(connection).typeIndex == kQel1mTypeIndex ? status_text::kTypeQel1m : status_text::kTypeQel1;
    return label;
}

void Connections::Timer1Tick() {
    if (writer_.HoldOffTick()) return;
    // Only the two connections' own options are read: a tick with no QEL-1M in use does
    // nothing else.
    // A lost connection's port is closed until it returns: no poll could be answered.
    for (int connection : {1, 2}) {
        const ConnectionOptions o = options_.ConnectionNow(connection);
        PollConnection(connection, o.inUse && !keeper_.Lost(connection), o.typeIndex);
    }
}

void Connections::PollConnection(int connection, bool inUse, int typeIndex) {
    if (!inUse || typeIndex != kQel1mTypeIndex) return;
    const auto value = PollValue(Driver(connection));
    PollFreshness& freshness = freshness_[ConnectionIndex(connection)];
    const uint32_t now = SystemClock().NowMs();
    Qel1mPanel* window = ControlWindow(connection);
    if (value) {
        freshness.Good(now);
        status_.Answering(connection, true);
        if (window != nullptr) window->ShowPolledValue(value->Text, value->AddressNumber);
        return;
    }
    const bool becameStale = freshness.Failed(now);
    if (freshness.FirstFailure()) silentSince_[ConnectionIndex(connection)] = NowLocal();
    if (becameStale) status_.Answering(connection, false);
    if (becameStale && window != nullptr)
        window->ShowValueNotCurrent(LongTimeText(silentSince_[ConnectionIndex(connection)]));
}

void Connections::DeviceTypeChange(int connection, int typeIndex) {
    Qel1mPanel*& window = windows_[ConnectionIndex(connection)];
    if (typeIndex != kQel1mTypeIndex) {
        DestroyControlWindow(connection);
    } else if (window != nullptr) {
        window->ShowAgain();
    } else if (CreateControlWindow) {
        window = CreateControlWindow(connection);
        if (window != nullptr) window->Open(DeviceName(connection));
    }
    ShowLinkState(connection);
}

void Connections::DestroyControlWindow(int connection) {
    Qel1mPanel*& window = windows_[ConnectionIndex(connection)];
    if (window == nullptr) return;
    Qel1mPanel* released = std::exchange(window, nullptr);
    released->Release();
}

void Connections::ShowLinkState(int connection) {
    if (!keeper_.Lost(connection)) return;
    // Nothing polled before the loss is current once the device is back.
    freshness_[ConnectionIndex(connection)] = PollFreshness{};
    if (Qel1mPanel* window = ControlWindow(connection)) window->ShowLinkLost();
}

}  // namespace qel
