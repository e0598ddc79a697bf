#include "SComSetup.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>

#include <cstdio>
#include <exception>
#include <vector>

#include "Bell.h"
#include "Dialogs.h"
#include "FixedLayoutFont.h"
#include "HelpDocument.h"
#include "Qel1mConnections.h"
#include "Regional.h"
#include "SAbout.h"
#include "SPorts.h"
#include "TrayIcon.h"
#include "ui_SComSetup.h"

namespace qel {

TComSetup* ComSetup = nullptr;

namespace {

constexpr int kClientWidth = 261;
constexpr int kClientHeight = 363;
constexpr int kTimer1IntervalMs = 500;

const char* const kTrayHint = "Программа для приёма информации от КЭЛ1";
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

// A selection index of a port list that names a port (COM1 to COM8).
bool PortFromIndex(int index, TComPortNumber& port) {
    if (index < 0 || index >= kPortCount) return false;
    port = static_cast<TComPortNumber>(index);
    return true;
}

bool SpeedFromIndex(int index, TComPortBaudRate& speed) {
    if (index == 0) speed = br4800;
    else if (index == 1) speed = br9600;
    else return false;
    return true;
}

}  // namespace

TComSetup::TComSetup(QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::TComSetup>()), writer_(*this) {
    ComSetup = this;
    ui_->setupUi(this);
    portHints_ = {ui_->ComboBox1->toolTip(), ui_->ComboBox2->toolTip()};
    SetDiagnosticSink(this);

    // The drivers as designed; port and speed are set again by ApplyConnections.
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
    trayIcon_ = new TTrayIcon(this);
    trayIcon_->setObjectName(QStringLiteral("TrayIcon"));
    trayIcon_->SetIcon(QIcon(QStringLiteral(":/qel1-agent.png")));
    trayIcon_->SetHint(Text(kTrayHint));
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
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(kTimer1IntervalMs);
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
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &TComSetup::BitBtn1Click);
    connect(ui_->BitBtn2, &QPushButton::clicked, this, &TComSetup::BitBtn2Click);
    connect(ui_->N2, &QAction::triggered, this, &TComSetup::Edit1Click);
    connect(ui_->N6, &QAction::triggered, this, &TComSetup::N6Click);
    connect(ui_->N3, &QAction::triggered, this, &TComSetup::N3Click);
    connect(ui_->N10, &QAction::triggered, this, &TComSetup::N10Click);
    connect(ui_->ComboBox1, &QComboBox::currentIndexChanged, this, &TComSetup::UpdatePortHints);
    connect(ui_->ComboBox2, &QComboBox::currentIndexChanged, this, &TComSetup::UpdatePortHints);
    connect(ui_->N7, &QAction::triggered, this, &TComSetup::N7Click);
    connect(ui_->LOG1, &QAction::triggered, this, &TComSetup::LOG1Click);
    connect(ui_->N8, &QAction::triggered, this, &TComSetup::N8Click);
    connect(ui_->actAbout, &QAction::triggered, this, &TComSetup::N7Click);
    connect(ui_->actOptions, &QAction::triggered, this, &TComSetup::N9Click);
    connect(ui_->actExit, &QAction::triggered, this, &TComSetup::actExitExecute);
    // A pick by the user; a selection made by the program raises nothing here.
    connect(ui_->CB_QELType1, &QComboBox::activated, this, &TComSetup::CB_QELType1Change);
    connect(ui_->CB_QELType2, &QComboBox::activated, this, &TComSetup::CB_QELType2Change);
    connect(ui_->ListBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(ui_->ListBox1->viewport()->mapToGlobal(pos)); });
    ui_->Edit1->installEventFilter(this);
    connect(&Timer1, &QTimer::timeout, this, &TComSetup::Timer1Timer);
}

// --- creation and destruction ---

void TComSetup::FormCreate() {
    reception_ = std::make_unique<Qel1Reception>(ComDriver1, ComDriver2, *this, writer_);
    const auto receive = [this](TSerialPortDriver* sender, const uint8_t* bytes, uint32_t count) {
        ComDriver1ReceiveData(sender, bytes, count);
    };
    ComDriver1.OnReceiveData = receive;
    ComDriver2.OnReceiveData = receive;
    // A vanished device is the keeper's to report and reopen; a QEL-1M window shows it.
    ComDriver1.OnLineLost = [this](TSerialPortDriver*) { keeper_.LineLost(1); };
    ComDriver2.OnLineLost = [this](TSerialPortDriver*) { keeper_.LineLost(2); };
    keeper_.OnLinkChange = [this](int connection, bool) { ShowLinkState(connection); };
    keeperTicks_.Start(ConnectionKeeper::kTickMs, [this] { keeper_.Tick(); });

    SettingsFile = std::make_unique<IniFile>(ConfigurationFilePath());
    try {
        LoadSettings();
    } catch (...) {
        ReportDiagnostic(kConfigurationReadError);
    }
    ApplyConnections();
}

void TComSetup::FormDestroy() {
    Timer1.stop();
    keeperTicks_.Stop();
    ComDriver1.OnLineLost = nullptr;
    ComDriver2.OnLineLost = nullptr;
    keeper_.OnLinkChange = nullptr;
    if (SettingsFile) {
        // Nothing may stop the program from ending now; a refused write is only told on
        // the terminal.
        try {
            SaveSettings();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "qel1-agent: settings not saved: %s\n", e.what());
        } catch (...) {
            std::fprintf(stderr, "qel1-agent: settings not saved\n");
        }
    }
    SettingsFile.reset();
    reception_.reset();
    DestroyControlWindow(*this, 1);
    DestroyControlWindow(*this, 2);
    if (CurrentDiagnosticSink() == static_cast<DiagnosticSink*>(this)) SetDiagnosticSink(nullptr);
    if (ComSetup == this) ComSetup = nullptr;
}

void TComSetup::LoadSettings() {
    qel::LoadSettings(*SettingsFile, *this);
    UpdatePortHints();
}

void TComSetup::SaveSettings() { qel::SaveSettings(*SettingsFile, *this); }

// The only place where ports are opened. A port that is open stays open, and the driver
// ignores a port change while its port is open.
void TComSetup::ApplyConnections() {
    TComPortNumber port{};
    if (PortFromIndex(ui_->ComboBox1->currentIndex(), port)) ComDriver1.SetComPort(port);
    if (PortFromIndex(ui_->ComboBox2->currentIndex(), port)) ComDriver2.SetComPort(port);
    TComPortBaudRate speed{};
    if (SpeedFromIndex(ui_->CB_Spead1->currentIndex(), speed)) ComDriver1.SetComPortSpeed(speed);
    if (SpeedFromIndex(ui_->CB_Spead2->currentIndex(), speed)) ComDriver2.SetComPortSpeed(speed);

    // "соединение N состоялось" or "соединение N не состоялось" with the reason.
    if (ui_->CheckBox1->isChecked()) keeper_.Connect(1);
    if (ui_->CheckBox2->isChecked()) keeper_.Connect(2);
}

void TComSetup::ShowLinkState(int connection) {
    TQEL1M_Control* window = ControlWindow(connection);
    if (window != nullptr && keeper_.Lost(connection)) window->ShowLinkLost();
}

// --- buttons and menus ---

void TComSetup::BitBtn1Click() {
    // Closing a port also ends the reopening of a lost one.
    keeper_.Disconnect(1);
    keeper_.Disconnect(2);
    ApplyConnections();
    try {
        SaveSettings();
    } catch (...) {
        ReportDiagnostic(kConfigurationWriteError);
    }
    HideMainWindow();
}

// A failure to read the file leaves this handler for the general error box.
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
// associates with text files; when that cannot be done, the list says so.
void TComSetup::N3Click() {
    const std::string problem = OpenHelpDocument(HelpDocumentPath());
    if (!problem.empty()) NoteDiagnostic(problem);
}

// Which device each COM name stands for: bound in [Ports] of the settings file. The
// bindings act at the next opening of a port (Accept).
void TComSetup::N10Click() {
    TPortsDialog dialog(this, SettingsFile ? SettingsFile->Path() : ConfigurationFilePath());
    AppDialogs().RunModal(dialog);
    UpdatePortHints();
}

// The port lists keep their texts COM1 .. COM8; each entry's hint, and the list's own
// hint below the designed one, name the device that the COM name stands for.
void TComSetup::UpdatePortHints() {
    QComboBox* const boxes[] = {ui_->ComboBox1, ui_->ComboBox2};
    for (int n = 0; n < 2; ++n) {
        QComboBox* box = boxes[n];
        for (int i = 0; i < box->count() && i < kPortCount; ++i)
            box->setItemData(i, QString::fromStdString(ComPortDevicePath(static_cast<TComPortNumber>(i))),
                             Qt::ToolTipRole);
        QString hint = portHints_[static_cast<std::size_t>(n)];
        const int index = box->currentIndex();
        if (index >= 0 && index < kPortCount)
            hint += QStringLiteral("\n") + box->itemText(index) + QString::fromUtf8(" → ") +
                    box->itemData(index, Qt::ToolTipRole).toString();
        box->setToolTip(hint);
    }
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
void TComSetup::CB_QELType1Change() {
    DeviceTypeChange(*this, 1, TypeIndex(1));
    ShowLinkState(1);
}

void TComSetup::CB_QELType2Change() {
    DeviceTypeChange(*this, 2, TypeIndex(2));
    ShowLinkState(2);
}

void TComSetup::Timer1Timer() {
    // The write hold-off countdown comes first; on the tick where it ends, and reports,
    // nothing else runs. Then the value polling of connection 1 and of connection 2.
    if (writer_.HoldOffTick()) return;
    // A lost connection's port is closed until it returns: no poll could be answered.
    PollConnection(*this, 1, ConnectionInUse(1) && !keeper_.Lost(1), TypeIndex(1));
    PollConnection(*this, 2, ConnectionInUse(2) && !keeper_.Lost(2), TypeIndex(2));
}

void TComSetup::ComDriver1ReceiveData(TSerialPortDriver* Sender, const uint8_t* DataPtr, uint32_t DataSize) {
    if (reception_) reception_->ComDriver1ReceiveData(Sender, DataPtr, DataSize);
}

void TComSetup::Save2File(const std::string& line) { writer_.Save2File(line); }

void TComSetup::ShowMainWindow() { trayIcon_->ShowMainWindow(); }

void TComSetup::HideMainWindow() { trayIcon_->HideMainWindow(); }

// --- window events ---

void TComSetup::closeEvent(QCloseEvent* event) {
    event->accept();
    emit Closed();
}

void TComSetup::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange && isMinimized()) trayIcon_->ApplicationMinimized();
    if (event->type() == QEvent::LocaleChange) LoadRegionalFromSystem();
    QMainWindow::changeEvent(event);
}

bool TComSetup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->Edit1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        Edit1Click();
    return QMainWindow::eventFilter(watched, event);
}

// --- DiagnosticSink ---

void TComSetup::AppendLine(const std::string& line) { ui_->ListBox1->AppendLine(line); }

void TComSetup::Beep(BeepKind kind) { AppBell().Ring(kind); }

bool TComSetup::ScreenMessagesEnabled() { return ui_->CB_ErrMes->isChecked(); }

void TComSetup::ShowInformation(const std::string& text) {
    AppDialogs().Information(this, Text(kInformationCaption), QString::fromStdString(text));
}

// --- DataFileOptions ---

std::string TComSetup::DataFilePath() { return DataFileText(); }

void TComSetup::SetDataFilePath(const std::string& path) { SetDataFileText(path); }

bool TComSetup::RewriteFile() { return Rewrite(); }

bool TComSetup::MultipleFiles() { return ui_->CB_MultyFiles->isChecked(); }

// --- SettingsTarget ---

bool TComSetup::ConnectionInUse(int connection) const {
    return (connection == 1 ? ui_->CheckBox1 : ui_->CheckBox2)->isChecked();
}

void TComSetup::SetConnectionInUse(int connection, bool inUse) {
    (connection == 1 ? ui_->CheckBox1 : ui_->CheckBox2)->setChecked(inUse);
}

int TComSetup::PortIndex(int connection) const {
    return (connection == 1 ? ui_->ComboBox1 : ui_->ComboBox2)->currentIndex();
}

void TComSetup::SetPortIndex(int connection, int index) {
    (connection == 1 ? ui_->ComboBox1 : ui_->ComboBox2)->setCurrentIndex(index);
}

int TComSetup::SpeedIndex(int connection) const {
    return (connection == 1 ? ui_->CB_Spead1 : ui_->CB_Spead2)->currentIndex();
}

void TComSetup::SetSpeedIndex(int connection, int index) {
    (connection == 1 ? ui_->CB_Spead1 : ui_->CB_Spead2)->setCurrentIndex(index);
}

int TComSetup::TypeIndex(int connection) const {
    return (connection == 1 ? ui_->CB_QELType1 : ui_->CB_QELType2)->currentIndex();
}

void TComSetup::SetTypeIndex(int connection, int index) {
    (connection == 1 ? ui_->CB_QELType1 : ui_->CB_QELType2)->setCurrentIndex(index);
}

bool TComSetup::ScreenMessages() const { return ui_->CB_ErrMes->isChecked(); }

void TComSetup::SetScreenMessages(bool on) { ui_->CB_ErrMes->setChecked(on); }

bool TComSetup::Rewrite() const { return ui_->CB_Rewrite->isChecked(); }

void TComSetup::SetRewrite(bool on) { ui_->CB_Rewrite->setChecked(on); }

bool TComSetup::MultipleFiles() const { return ui_->CB_MultyFiles->isChecked(); }

void TComSetup::SetMultipleFiles(bool on) { ui_->CB_MultyFiles->setChecked(on); }

std::string TComSetup::DataFileText() const { return ui_->Edit1->text().toStdString(); }

void TComSetup::SetDataFileText(const std::string& text) { ui_->Edit1->setText(QString::fromStdString(text)); }

void TComSetup::DeviceTypeChanged(int connection) {
    if (connection == 1)
        CB_QELType1Change();
    else
        CB_QELType2Change();
}

// --- ReceptionOptions ---

int TComSetup::DeviceTypeIndex(int connection) { return TypeIndex(connection); }

// --- Qel1mHost ---

TQEL1M_Control* TComSetup::ControlWindow(int connection) { return controlWindows_[connection == 1 ? 0 : 1]; }

void TComSetup::SetControlWindow(int connection, TQEL1M_Control* window) {
    controlWindows_[connection == 1 ? 0 : 1] = window;
}

std::string TComSetup::DeviceName(int connection) const { return SettingsTarget::DeviceName(connection); }

void TComSetup::SetDeviceName(int connection, const std::string& name) {
    SettingsTarget::SetDeviceName(connection, name);
}

TSerialPortDriver& TComSetup::ComDriver(int connection) { return connection == 1 ? ComDriver1 : ComDriver2; }

void TComSetup::CloseMainWindow() { close(); }

}  // namespace qel
