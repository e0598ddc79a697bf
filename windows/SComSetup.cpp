#include "SComSetup.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>

#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "Bell.h"
#include "Dialogs.h"
#include "Failure.h"
#include "FixedLayoutFont.h"
#include "HelpDocument.h"
#include "PortPaths.h"
#include "Regional.h"
#include "SAbout.h"
#include "SPorts.h"
#include "StatusTexts.h"
#include "TrayIcon.h"
#include "ui_SComSetup.h"

namespace qel {

namespace {

constexpr int kClientWidth = 261;
constexpr int kClientHeight = 363;
constexpr int kTimer1IntervalMs = 500;

const char* const kInformationCaption = "Information";

const char* const kDataFileDialogTitle = "Выбор файла для сохранения результатов работы КЭЛ-1";
const char* const kDataFileDialogFilter = "qel|*.qel";
const char* const kDataFileDialogExtension = "*.qel";
const char* const kDataFileDialogName = "Data";

const char* const kLogDialogTitle = "Запись отладочной информации в файл";
const char* const kLogDialogFilter = "Log - файлы|*.log";
const char* const kLogDialogExtension = "*.log";
const char* const kLogDialogName = "Events";

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

TComSetup::TComSetup(DiagnosticLog& log, WriteHoldOff& writing, RecordNumberCounter& recordNumbers,
                     SettingsWindowSurroundings surroundings, const HandOver& handOver, QWidget* parent)
    : QMainWindow(parent),
      diagnostics_(log),
      ui_(std::make_unique<Ui::TComSetup>()),
      surroundings_(std::move(surroundings)),
      connections_(log, writing, options_, ConfigurationFilePath(surroundings_.folders)),
      controlsShared_{log, recordNumbers, surroundings_.folders},
      notifier_([this] { return trayIcon_ != nullptr && trayIcon_->InTray() ? trayIcon_->SystemIcon() : nullptr; }) {
    if (handOver) handOver(*this);
    ui_->setupUi(this);
    portHints_ = {ui_->ComboBox1->toolTip(), ui_->ComboBox2->toolTip()};
    dataFileHint_ = ui_->Edit1->toolTip();
    title_ = windowTitle();
    diagnostics_.SetSink(&log_);
    connections_.CreateControlWindow = [this](int connection) {
        auto* window = new TQEL1M_Control(connections_, connection, controlsShared_);
        connect(window, &TQEL1M_Control::EndProgramRequested, this, &TComSetup::close);
        return window;
    };

    for (QComboBox* box : {ui_->CB_Spead1, ui_->CB_Spead2}) {
        for (const TComPortBaudRate speed : kLineSpeeds) box->addItem(QString::number(BaudRateValue(speed)));
        box->setCurrentIndex(-1);
    }
    // The port and speed lists start with no selection and a designed text.
    ui_->ComboBox1->setEditText(QStringLiteral("ComPort1"));
    ui_->ComboBox2->setEditText(QStringLiteral("ComPort2"));
    ui_->CB_Spead1->setEditText(QStringLiteral("Speed"));
    ui_->CB_Spead2->setEditText(QStringLiteral("Speed"));
    ui_->BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ui_->BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    ApplyFixedLayoutFont(this);
    FrameGroupsAroundTheirControls();

    BuildMenus();
    trayIcon_ = new TTrayIcon(this, surroundings_.systemTrayAvailable);
    trayIcon_->setObjectName(QStringLiteral("TrayIcon"));
    trayIcon_->SetIcon(QIcon(QStringLiteral(":/qel1-agent.png")));
    trayIcon_->SetHint(Text(status_text::kTrayHint));
    trayIcon_->SetPopupMenu(PopupMenu2);
    trayIcon_->StartMinimized = true;
    trayIcon_->MinimizeToTray = true;

    // A fixed single border with the close box only; without a notification area the
    // window keeps a minimise box, since it then lives minimised on the task bar.
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    if (!trayIcon_->InTray()) flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    setWindowIcon(QIcon(QStringLiteral(":/qel1-agent.png")));
    ui_->centralwidget->setFixedSize(kClientWidth, kClientHeight);
    setFixedSize(kClientWidth, kClientHeight + ui_->MainMenu1->sizeHint().height());
    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());

    ConnectHandlers();
    connections_.Status().SetView(&status_);
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(kTimer1IntervalMs);
    Timer1.setTimerType(Qt::CoarseTimer);  // may share a wake-up with the drivers' ticks
    Timer1.start();

    trayIcon_->Loaded();
    FormCreate();
    // Creation has finished: this is the application's main window now.
    trayIcon_->SetMainWindow(this);
}

TComSetup::~TComSetup() { FormDestroy(); }

// The controls keep their designed places, which leave a group's caption half a line
// above its first row, as the classic group frame has it: the frame's top line runs
// through the middle of the caption, so it passes above the controls, not through them.
void TComSetup::FrameGroupsAroundTheirControls() {
    const int halfCaption = ui_->GroupBox1->fontMetrics().height() / 2;
    ui_->centralwidget->setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: %1px; }"
                       "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
                       " left: 6px; padding: 0px 2px; }")
            .arg(halfCaption));
}

void TComSetup::BuildMenus() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(ui_->LOG1);
    PopupMenu1->addAction(ui_->N8);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    PopupMenu2->setToolTipsVisible(true);
    PopupMenu2->addAction(ui_->actAbout);
    PopupMenu2->addSeparator();
    PopupMenu2->addAction(ui_->actOptions);
    PopupMenu2->addSeparator();
    PopupMenu2->addAction(ui_->actExit);
}

void TComSetup::ConnectHandlers() {
    // What a handler lets out is caught at its slot (RunHandler), never left to Qt.
    const auto caught = [this](void (TComSetup::*handler)()) {
        return [this, handler] { RunHandler(this, [this, handler] { (this->*handler)(); }); };
    };
    connect(ui_->BitBtn1, &QPushButton::clicked, this, caught(&TComSetup::BitBtn1Click));
    connect(ui_->BitBtn2, &QPushButton::clicked, this, caught(&TComSetup::BitBtn2Click));
    connect(ui_->N2, &QAction::triggered, this, caught(&TComSetup::Edit1Click));
    connect(ui_->N6, &QAction::triggered, this, caught(&TComSetup::N6Click));
    connect(ui_->N3, &QAction::triggered, this, caught(&TComSetup::N3Click));
    connect(ui_->N10, &QAction::triggered, this, caught(&TComSetup::N10Click));
    connect(ui_->ComboBox1, &QComboBox::currentIndexChanged, this, [this] { ShowPortHint(0); });
    connect(ui_->ComboBox2, &QComboBox::currentIndexChanged, this, [this] { ShowPortHint(1); });
    connect(ui_->N7, &QAction::triggered, this, caught(&TComSetup::N7Click));
    connect(ui_->LOG1, &QAction::triggered, this, caught(&TComSetup::LOG1Click));
    connect(ui_->N8, &QAction::triggered, this, caught(&TComSetup::N8Click));
    connect(ui_->actAbout, &QAction::triggered, this, caught(&TComSetup::N7Click));
    connect(ui_->actOptions, &QAction::triggered, this, caught(&TComSetup::N9Click));
    connect(ui_->actExit, &QAction::triggered, this, caught(&TComSetup::actExitExecute));
    // A pick by the user; a selection made by the program raises nothing here.
    connect(ui_->CB_QELType1, &QComboBox::activated, this, caught(&TComSetup::CB_QELType1Change));
    connect(ui_->CB_QELType2, &QComboBox::activated, this, caught(&TComSetup::CB_QELType2Change));
    connect(ui_->ListBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(ui_->ListBox1->viewport()->mapToGlobal(pos)); });
    ui_->Edit1->installEventFilter(this);
    connect(&Timer1, &QTimer::timeout, this, caught(&TComSetup::Timer1Timer));
    connect(ui_->Edit1, &QLineEdit::textChanged, this, caught(&TComSetup::UpdateDataFileHint));
    connect(ui_->CB_MultyFiles, &QCheckBox::toggled, this, caught(&TComSetup::UpdateDataFileHint));
    // A window that starts minimised gets its first focus only afterwards.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != nullptr && isMinimized() && now->window() == this) SetFocusAside(now);
    });
}

// --- creation and destruction ---

void TComSetup::FormCreate() {
    keeperTicks_.Start(ConnectionKeeper::kTickMs, [this] { RunHandler(this, [this] { connections_.KeeperTick(); }); });

    SettingsFile = std::make_unique<IniFile>(ConfigurationFilePath(surroundings_.folders));
    LoadSettings();
    ApplyConnections();
}

void TComSetup::FormDestroy() {
    Timer1.stop();
    keeperTicks_.Stop();
    if (SettingsFile) {
        // Nothing may stop the program from ending now: no box is shown; the list (and
        // the terminal) say what could not be saved. This runs in the destructor, so not
        // even a failed allocation may leave it.
        try {
            std::string failure;
            if (!SaveSettings(false, &failure)) {
                diagnostics_.Note(failure);
                std::fprintf(stderr, "qel1-agent: %s\n", failure.c_str());
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "qel1-agent: settings not saved: %s\n", e.what());
        }
    }
    SettingsFile.reset();
    connections_.DestroyControlWindow(1);
    connections_.DestroyControlWindow(2);
    connections_.Status().SetView(nullptr);
    if (diagnostics_.Sink() == &log_) diagnostics_.SetSink(nullptr);
}

void TComSetup::LoadSettings() {
    std::string problem;
    storedOptions_ = qel::LoadSettings(*SettingsFile, &problem);
    ShowOptions(storedOptions_);
    UpdatePortHints();
    if (!problem.empty()) diagnostics_.Report(SettingsNotReadText(SettingsFile->Path(), problem));
}

// A value that the file's encoding cannot hold is not written: the file keeps the value it
// has, the controls show it again, and the list (with a box while the window is there)
// says which characters could not be kept.
bool TComSetup::SaveSettings(bool windowStays, std::string* reason) {
    ProgramOptions options = Options();
    const std::vector<UnkeptValue> unkept = KeepValuesTheFileCannotHold(SettingsFile->Path(), options, storedOptions_);
    for (const UnkeptValue& value : unkept) {
        const std::string text = ValueNotKeptText(SettingsFile->Path(), value);
        if (windowStays) diagnostics_.Report(text);
        else diagnostics_.Note(text);
    }
    if (windowStays && !unkept.empty()) {
        ui_->Edit1->setText(QString::fromStdString(options.dataFile));
        for (int connection : {1, 2}) {
            const std::string& name = options.deviceNames[ConnectionIndex(connection)];
            deviceNames_[ConnectionIndex(connection)] = name;
            if (TQEL1M_Control* window = ControlWindow(connection)) window->SetDeviceNameText(name);
        }
    }
    std::string refused;
    if (!qel::SaveSettings(*SettingsFile, options, &refused))
        return Fail(reason, SettingsNotSavedText(SettingsFile->Path(), refused));
    storedOptions_ = options;
    return true;
}

void TComSetup::ApplyConnections() { connections_.Apply(Options()); }

// --- buttons and menus ---

void TComSetup::BitBtn1Click() {
    // Closing a port also ends the reopening of a lost one.
    connections_.Disconnect();
    ApplyConnections();
    std::string failure;
    if (!SaveSettings(true, &failure)) diagnostics_.ReportWithDetail(kConfigurationWriteError, failure);
    HideMainWindow();
}

// A file that cannot be read gives the defaults and says why (LoadSettings).
void TComSetup::BitBtn2Click() {
    LoadSettings();
    ApplyConnections();
    HideMainWindow();
}

void TComSetup::Edit1Click() {
    const QString path = AppDialogs().SaveFileName(this, Text(kDataFileDialogTitle), Text(kDataFileDialogFilter),
                                                   Text(kDataFileDialogExtension), Text(kDataFileDialogName),
                                                   QStringLiteral("."));
    if (!path.isEmpty()) ui_->Edit1->setText(path);
}

void TComSetup::N6Click() { close(); }

void TComSetup::actExitExecute() { close(); }

void TComSetup::N7Click() {
    TAboutBox aboutBox(this);
    AppDialogs().RunModal(aboutBox);
}

void TComSetup::N9Click() { ShowMainWindow(); }

// The users' documentation in its UTF-8 copy, opened with the program the desktop
// associates with text files, else in a window of the program's own; when neither can
// show it, the list says so.
void TComSetup::N3Click() {
    const std::string problem = ShowHelpDocument(this, HelpDocumentPath(surroundings_.folders));
    if (!problem.empty()) diagnostics_.Note(problem);
}

// Which device each COM name stands for: bound in [Ports] of the settings file. The
// bindings act at the next opening of a port (Accept).
void TComSetup::N10Click() {
    TPortsDialog dialog(this, SettingsFile ? SettingsFile->Path() : ConfigurationFilePath(surroundings_.folders),
                        surroundings_.serialDevices);
    AppDialogs().RunModal(dialog);
    UpdatePortHints();
}

// The port lists keep their texts COM1 .. COM8; each entry's hint, and the list's own
// hint below the designed one, name the device that the COM name stands for. [Ports] is
// read once for both lists.
void TComSetup::UpdatePortHints() {
    const std::string settings = SettingsFile ? SettingsFile->Path() : ConfigurationFilePath(surroundings_.folders);
    const auto paths = PortDevicePaths(settings);
    QComboBox* const boxes[] = {ui_->ComboBox1, ui_->ComboBox2};
    for (int n = 0; n < 2; ++n) {
        QComboBox* box = boxes[n];
        for (int i = 0; i < box->count() && i < kPortCount; ++i)
            box->setItemData(i, QString::fromStdString(paths[static_cast<std::size_t>(i)]), Qt::ToolTipRole);
        ShowPortHint(n);
    }
}

// The hint of port list `n` (0, 1) for its selection, from the entries' hints.
void TComSetup::ShowPortHint(int n) {
    QComboBox* box = n == 0 ? ui_->ComboBox1 : ui_->ComboBox2;
    QString hint = portHints_[static_cast<std::size_t>(n)];
    const int index = box->currentIndex();
    if (index >= 0 && index < kPortCount)
        hint += QStringLiteral("\n") + box->itemText(index) + QString::fromUtf8(" → ") +
                box->itemData(index, Qt::ToolTipRole).toString();
    box->setToolTip(hint);
}

// Where the next record goes, resolved as the writer resolves it: a relative path from
// the current folder (an installed program's data folder).
void TComSetup::UpdateDataFileHint() {
    const std::string next = connections_.NextRecordPath();
    QString hint = dataFileHint_;
    if (!next.empty()) hint += QStringLiteral("\n") + Text(status_text::kNextRecordPrefix) + QString::fromStdString(next);
    ui_->Edit1->setToolTip(hint);
    connections_.Status().Refresh();
}

void TComSetup::LOG1Click() {
    const QString path = AppDialogs().SaveFileName(this, Text(kLogDialogTitle), Text(kLogDialogFilter),
                                                   Text(kLogDialogExtension), Text(kLogDialogName),
                                                   QStringLiteral("."));
    if (path.isEmpty()) return;
    const std::string reason = SaveDiagnosticLines(ui_->ListBox1->Lines(), path.toStdString());
    if (!reason.empty())
        AppDialogs().Error(this, QStringLiteral("Cannot create file \"%1\". %2").arg(path, QString::fromStdString(reason)));
}

void TComSetup::N8Click() { ui_->ListBox1->Clear(); }

// The device-type change of a connection. The receive handler reads the type lists at
// the moment of use, so a new type acts at once for it; here the connection's QEL-1M
// control window is created, shown again or destroyed.
void TComSetup::CB_QELType1Change() { connections_.DeviceTypeChange(1, ui_->CB_QELType1->currentIndex()); }

void TComSetup::CB_QELType2Change() { connections_.DeviceTypeChange(2, ui_->CB_QELType2->currentIndex()); }

void TComSetup::Timer1Timer() { connections_.Timer1Tick(); }

TQEL1M_Control* TComSetup::ControlWindow(int connection) const {
    return static_cast<TQEL1M_Control*>(connections_.ControlWindow(connection));
}

void TComSetup::ShowMainWindow() { trayIcon_->ShowMainWindow(); }

void TComSetup::HideMainWindow() { trayIcon_->HideMainWindow(); }

// --- window events ---

void TComSetup::closeEvent(QCloseEvent* event) {
    event->accept();
    emit Closed();
}

void TComSetup::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        if (isMinimized()) {
            SetFocusAside(focusWidget());
        } else if (focusBeforeMinimised_) {
            focusBeforeMinimised_->setFocus();
            focusBeforeMinimised_ = nullptr;
        }
    }
    if (event->type() == QEvent::WindowStateChange && isMinimized()) trayIcon_->ApplicationMinimized();
    if (event->type() == QEvent::LocaleChange) LoadRegionalFromSystem();
    QMainWindow::changeEvent(event);
}

void TComSetup::SetFocusAside(QWidget* focused) {
    if (focused == nullptr || focused == this) return;
    focusBeforeMinimised_ = focused;
    focused->clearFocus();
}

bool TComSetup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->Edit1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        RunHandler(this, [this] { Edit1Click(); });
    return QMainWindow::eventFilter(watched, event);
}

// --- the options ---

TComSetup::ConnectionControls TComSetup::Controls(int connection) const {
    if (connection == 1) return {ui_->CheckBox1, ui_->ComboBox1, ui_->CB_Spead1, ui_->CB_QELType1};
    return {ui_->CheckBox2, ui_->ComboBox2, ui_->CB_Spead2, ui_->CB_QELType2};
}

ConnectionOptions TComSetup::ConnectionOptionsNow(int connection) const {
    const ConnectionControls c = Controls(connection);
    return {c.inUse->isChecked(), c.port->currentIndex(), c.speed->currentIndex(), c.type->currentIndex()};
}

ProgramOptions TComSetup::Options() const {
    ProgramOptions o;
    for (int connection : {1, 2}) o.Connection(connection) = ConnectionOptionsNow(connection);
    o.lastRecordIfError = lastRecordIfError_;
    o.screenMessages = ui_->CB_ErrMes->isChecked();
    o.rewrite = ui_->CB_Rewrite->isChecked();
    o.multipleFiles = ui_->CB_MultyFiles->isChecked();
    o.dataFile = ui_->Edit1->text().toStdString();
    o.deviceNames = deviceNames_;
    return o;
}

// Assigning an index outside a list leaves the list with no selection.
void TComSetup::ShowOptions(const ProgramOptions& o) {
    for (int connection : {1, 2}) {
        const ConnectionControls c = Controls(connection);
        const ConnectionOptions& shown = o.Connection(connection);
        c.inUse->setChecked(shown.inUse);
        c.port->setCurrentIndex(shown.portIndex);
        c.speed->setCurrentIndex(shown.speedIndex);
        c.type->setCurrentIndex(shown.typeIndex);
    }
    lastRecordIfError_ = o.lastRecordIfError;
    ui_->CB_ErrMes->setChecked(o.screenMessages);
    ui_->CB_Rewrite->setChecked(o.rewrite);
    ui_->CB_MultyFiles->setChecked(o.multipleFiles);
    ui_->Edit1->setText(QString::fromStdString(o.dataFile));
    deviceNames_ = o.deviceNames;
    CB_QELType1Change();
    CB_QELType2Change();
}

void TComSetup::WindowOptions::SetDataFile(const std::string& path) {
    window_.ui_->Edit1->setText(QString::fromStdString(path));
}

void TComSetup::WindowOptions::SetDeviceName(int connection, const std::string& name) {
    window_.deviceNames_[ConnectionIndex(connection)] = name;
}

// --- the state of the connections ---

void TComSetup::WindowStatus::ShowStatus(StatusLevel level, const std::string& hint) {
    TComSetup& w = window_;
    if (w.trayIcon_ == nullptr) return;
    w.trayIcon_->ShowStatus(level, QString::fromStdString(hint));
    // Without a notification area the title tells the state.
    const QString title = w.trayIcon_->InTray() ? w.title_ : w.title_ + QString::fromUtf8(" — ") + QString::fromStdString(LevelText(level));
    if (w.windowTitle() != title) w.setWindowTitle(title);
}

void TComSetup::WindowStatus::Notify(const std::string& text) {
    window_.notifier_.Notify(Text(status_text::kNoticeTitle), QString::fromStdString(text));
}

// --- the diagnostics log: the list, the bell and the box ---

void TComSetup::WindowLog::AppendLine(const std::string& line) { window_.ui_->ListBox1->AppendLine(line); }

void TComSetup::WindowLog::Beep(BeepKind kind) { AppBell().Ring(kind); }

bool TComSetup::WindowLog::ScreenMessagesEnabled() { return window_.ui_->CB_ErrMes->isChecked(); }

void TComSetup::WindowLog::ShowInformation(const std::string& text) {
    AppDialogs().Information(&window_, Text(kInformationCaption), QString::fromStdString(text));
}

}  // namespace qel
