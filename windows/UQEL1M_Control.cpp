#include "UQEL1M_Control.h"

#include <QCloseEvent>
#include <QFont>
#include <QIcon>
#include <QKeySequence>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPrinter>
#include <QPushButton>
#include <QShortcutEvent>
#include <QStatusBar>
#include <QStyle>
#include <QTextOption>
#include <string>
#include <utility>

#include "Dialogs.h"
#include "FixedLayoutFont.h"
#include "FlagScope.h"
#include "LocalTime.h"
#include "Qel1mCommands.h"
#include "Qel1mRecord.h"
#include "Regional.h"
#include "ReportPrinter.h"
#include "ui_UQEL1M_Control.h"

namespace qel {

namespace {

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

// Each new value the window shows, for those who watch the program from outside (its tests).
Q_LOGGING_CATEGORY(lcPanel, "qel.panel", QtWarningMsg)

}  // namespace

// Counts the handlers running on the window, so that a Release requested meanwhile (from
// inside one of its dialogs) waits until the outermost one has returned.
class TQEL1M_Control::HandlerScope {
public:
    explicit HandlerScope(TQEL1M_Control& window) : window_(window) { ++window_.runningHandlers_; }
    ~HandlerScope() {
        if (--window_.runningHandlers_ == 0 && window_.releasePending_) window_.deleteLater();
    }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    TQEL1M_Control& window_;
};

TQEL1M_Control::TQEL1M_Control(Connections& connections, int connection, Qel1mControlsShared& shared)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint |
                           Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::TQEL1M_Control>()),
      connections_(connections),
      shared_(shared),
      connection_(connection) {
    ui_->setupUi(this);
    setFixedSize(245, 123);
    move(kQel1mWindowLeft, kQel1mWindowTop);
    RichEdit.setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("Заголовок"));

    // The desktop's icons where it has them, else the style's own.
    ui_->BtnClear->setIcon(QIcon::fromTheme(QStringLiteral("edit-clear"), style()->standardIcon(QStyle::SP_DialogResetButton)));
    ui_->BtnSave->setIcon(QIcon::fromTheme(QStringLiteral("document-save"), style()->standardIcon(QStyle::SP_DialogSaveButton)));
    ui_->BtnPrint->setIcon(
        QIcon::fromTheme(QStringLiteral("document-print"), style()->standardIcon(QStyle::SP_FileDialogDetailedView)));
    ApplyFixedLayoutFont(this);

    // "&Приём" and "&Приём и Печать" share their letter: the key presses the first of
    // them, as on the program's original platform, instead of only moving the focus.
    ui_->BtnSave->installEventFilter(this);
    ui_->BtnPrint->installEventFilter(this);
    // A new window starts on the first control of its tab order.
    ui_->BtnClear->setFocus(Qt::OtherFocusReason);

    connect(ui_->EditName, &QLineEdit::textChanged, this, [this] { EditNameChange(); });
    connect(ui_->BtnClear, &QPushButton::clicked, this, [this] { RunAction([this] { BtnClearClick(); }); });
    connect(ui_->BtnSave, &QPushButton::clicked, this, [this] { RunAction([this] { BtnSaveClick(); }); });
    connect(ui_->BtnPrint, &QPushButton::clicked, this, [this] { RunAction([this] { BtnPrintClick(); }); });
}

TQEL1M_Control::~TQEL1M_Control() = default;

template <class Action>
void TQEL1M_Control::RunAction(Action&& action) {
    HandlerScope scope(*this);
    RunHandler(this, std::forward<Action>(action));
}

int TQEL1M_Control::Connection() const {
    return connections_.ControlWindow(connection_) == static_cast<const Qel1mPanel*>(this) ? connection_ : 0;
}

void TQEL1M_Control::Open(const std::string& deviceName) {
    SetDeviceNameText(deviceName);
    show();
}

void TQEL1M_Control::ShowAgain() {
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    show();
    raise();
}

void TQEL1M_Control::Release() {
    if (runningHandlers_ > 0) {
        releasePending_ = true;
        hide();
        return;
    }
    delete this;
}

void TQEL1M_Control::ShowPolledValue(const std::string& valueText, const std::string& addressNumber) {
    if (ui_->Edit->text() != Q(valueText))
        qCInfo(lcPanel).noquote() << QStringLiteral("connection %1 | %2").arg(connection_).arg(Q(valueText));
    ui_->Edit->setText(Q(valueText));
    addressNumber_ = addressNumber;
    // The device answers: the value is live, and everything is as before.
    linkLost_ = false;
    if (!valueCurrent_) {
        valueCurrent_ = true;
        ui_->Edit->setEnabled(true);
        // A status that told why there was no value goes with it.
        const QString status = ui_->StatusBar->currentMessage();
        if (status == QString::fromUtf8(kNoLinkStatus) || status == QString::fromUtf8(kNoValueStatus) ||
            status.startsWith(QString::fromUtf8(kNotAnsweringStatus)))
            SetStatus({});
    }
}

void TQEL1M_Control::ShowValueNotCurrent(const std::string& silentSince) {
    valueCurrent_ = false;
    ui_->Edit->setEnabled(false);
    if (!linkLost_) SetStatus(kNotAnsweringStatus + silentSince);
}

void TQEL1M_Control::ShowLinkLost() {
    linkLost_ = true;
    valueCurrent_ = false;
    ui_->Edit->setEnabled(false);
    SetStatus(kNoLinkStatus);
}

void TQEL1M_Control::Refuse(const char* status, const char* what) {
    SetStatus(status);
    const int connection = Connection();
    shared_.Log.Report("соединение " + std::to_string(connection != 0 ? connection : 1) + what);
}

bool TQEL1M_Control::RefusedForLostLink(const char* what) {
    if (!linkLost_) return false;
    Refuse(kNoLinkStatus, what);
    return true;
}

bool TQEL1M_Control::RefusedForNoCurrentValue() {
    if (valueCurrent_) return false;
    Refuse(kNoValueStatus, kNoValueReceiveRefused);
    return true;
}

std::string TQEL1M_Control::ValueText() const { return ui_->Edit->text().toStdString(); }

std::string TQEL1M_Control::DeviceNameText() const { return ui_->EditName->text().toStdString(); }

void TQEL1M_Control::SetDeviceNameText(const std::string& name) { ui_->EditName->setText(Q(name)); }

std::string TQEL1M_Control::StatusText() const { return ui_->StatusBar->currentMessage().toStdString(); }

void TQEL1M_Control::SetStatus(const std::string& text) { ui_->StatusBar->showMessage(Q(text)); }

QPrinter& TQEL1M_Control::Printer() {
    // One printer per window, so the choices made in the printer dialog hold for its next
    // report; its first dialog offers the template's page.
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        for (const std::string& note : OfferReportPage(*printer_, ReportTemplatePath(shared_.Folders)))
            shared_.Log.Note(note);
    }
    return *printer_;
}

void TQEL1M_Control::EditNameChange() {
    const int connection = Connection();
    if (connection != 0) connections_.SetDeviceName(connection, DeviceNameText());
}

void TQEL1M_Control::BtnClearClick() {
    HandlerScope scope(*this);
    if (RefusedForLostLink(kNoLinkZeroRefused)) return;
    const int connection = Connection();
    if (connection == 0) return;
    if (ZeroDevice(connections_.Driver(connection)) && !shared_.ReceiveInProgress)
        SetStatus(kZeroedStatus + DateTimeText(NowLocal()));
}

void TQEL1M_Control::BtnSaveClick() {
    HandlerScope scope(*this);
    // The value shown is the last one polled before the link went, or before the device
    // stopped answering: filing it would record an old measurement as a new one.
    if (RefusedForLostLink(kNoLinkReceiveRefused) || RefusedForNoCurrentValue()) return;
    FlagScope receiving(shared_.ReceiveInProgress);

    const int deviceNumber = Connection() == 1 ? 1 : 2;
    // What the record holds is also what the report prints, whatever a poll shows meanwhile.
    const ReportValues taken{DeviceNameText(), AddressNumber(), ValueText(), NowLocal()};
    const RecordFieldsData record =
        BuildQel1mRecord(deviceNumber, shared_.RecordNumbers.Take(), *taken.Taken, taken.Dose);
    const std::string line = JoinRecordLine(record);
    shared_.Log.Note(kReceivedNote + line);
    const bool written = connections_.FileRecord(deviceNumber, line, record.FileName());
    // The value as Edit shows it now: a poll may have run under a box of the write.
    SetStatus((written ? kReceivedStatus : kNotWrittenStatus) + DateTimeText(NowLocal()) + " " + ValueText());

    // A report of a record that is not in the data file would be a measurement on paper only.
    if (!written || !shared_.PrintRequested) return;
    QPrinter& printer = Printer();
    if (!AppDialogs().SelectPrinter(this, printer)) return;
    std::string failure;
    if (!PrintReport(RichEdit, printer, ReportTemplatePath(shared_.Folders), taken, &failure)) {
        // The program is ending: no box that would hold it; the event loop ends it next.
        if (failure == kReportInterrupted) shared_.Log.Note(failure);
        else AppDialogs().Error(this, Q(failure));
        return;
    }
    BtnClearClick();
}

void TQEL1M_Control::BtnPrintClick() {
    HandlerScope scope(*this);
    FlagScope printing(shared_.PrintRequested);
    BtnSaveClick();
}

bool TQEL1M_Control::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == ui_->BtnSave || watched == ui_->BtnPrint) && event->type() == QEvent::Shortcut) {
        const auto* shortcut = static_cast<QShortcutEvent*>(event);
        if (shortcut->isAmbiguous() && shortcut->key() == QKeySequence::mnemonic(ui_->BtnSave->text())) {
            if (ui_->BtnSave->isEnabled()) ui_->BtnSave->animateClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TQEL1M_Control::closeEvent(QCloseEvent* event) {
    HandlerScope scope(*this);
    // Closing never destroys the window: it is hidden, and the device-type change shows it again.
    event->ignore();
    const bool askToEnd = connections_.ControlWindow(1) == nullptr || connections_.ControlWindow(2) == nullptr;
    const bool endProgram = askToEnd && AppDialogs().ConfirmOkCancel(this, Q(kQel1mCloseCaption), Q(kQel1mCloseQuestion));
    hide();
    if (endProgram) emit EndProgramRequested();
}

}  // namespace qel
