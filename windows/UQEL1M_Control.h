#pragma once
#include <QTextDocument>
#include <QWidget>
#include <memory>
#include <string>

#include "Connections.h"
#include "DiagnosticLog.h"
#include "ProgramFolders.h"
#include "RecordNumberCounter.h"

class QCloseEvent;
class QPrinter;
namespace Ui {
class TQEL1M_Control;
}

namespace qel {

inline constexpr const char* kQel1mCloseQuestion =
    "Закрывается окно управления КЭЛ-1М.\r\nЗавершить выполнение всей программы?";
inline constexpr const char* kQel1mCloseCaption = "Information";
inline constexpr const char* kZeroedStatus = "Обнулено ";
inline constexpr const char* kReceivedStatus = "Принято ";
inline constexpr const char* kReceivedNote = "Принят пакет: ";
inline constexpr const char* kNoLinkStatus = "Нет связи с прибором";
inline constexpr const char* kNoLinkReceiveRefused = ": нет связи с прибором, значение не принято";
inline constexpr const char* kNoLinkZeroRefused = ": нет связи с прибором, обнуление не выполнено";
// The device has stopped answering; the time of day it stopped follows.
inline constexpr const char* kNotAnsweringStatus = "Прибор не отвечает с ";
inline constexpr const char* kNoValueStatus = "Нет текущего значения";
inline constexpr const char* kNoValueReceiveRefused = ": нет текущего значения прибора, значение не принято";
inline constexpr const char* kNotWrittenStatus = "Не записано ";
inline constexpr int kQel1mWindowLeft = 297;
inline constexpr int kQel1mWindowTop = 157;

// What both QEL-1M control windows share, made by whoever makes them and outliving them.
struct Qel1mControlsShared {
    DiagnosticLog& Log;
    RecordNumberCounter& RecordNumbers;
    // Where the report's template is looked for at each print.
    const ProgramFolders Folders;
    // A receive is running on either window (a zeroing under its box shows no status),
    // and the running receive was asked to print a report.
    bool ReceiveInProgress = false;
    bool PrintRequested = false;
};

// The small always-on-top window of one QEL-1M connection: the device name, the value
// polled last, zeroing, receive, and receive with a printed report. Created without an
// owner for its connection; ended only through Release.
class TQEL1M_Control : public QWidget, public Qel1mPanel {
    Q_OBJECT

public:
    TQEL1M_Control(Connections& connections, int connection, Qel1mControlsShared& shared);
    ~TQEL1M_Control() override;
    TQEL1M_Control(const TQEL1M_Control&) = delete;
    TQEL1M_Control& operator=(const TQEL1M_Control&) = delete;

    // Handlers of the window's controls; also callable directly.
    void EditNameChange();
    void BtnClearClick();
    void BtnSaveClick();
    void BtnPrintClick();

    // Qel1mPanel.
    void Open(const std::string& deviceName) override;
    void ShowAgain() override;
    // What the value poll writes: the value text into Edit, and the device's number.
    void ShowPolledValue(const std::string& valueText, const std::string& addressNumber) override;
    // The device does not answer: the last value stays visible, greyed, the status says since
    // when, and receive refuses with a report until a poll succeeds again.
    void ShowValueNotCurrent(const std::string& silentSince) override;
    // The connection's device is gone: the window says so, greys the last value (which stays
    // visible), and receive and zeroing refuse with a report, until a poll succeeds again.
    void ShowLinkLost() override;
    // Ends the window: at once, or, while one of its handlers is running (a dialog of it may
    // be open), hidden now and deleted after that handler has returned.
    void Release() override;

    std::string ValueText() const;
    bool LinkLost() const { return linkLost_; }
    // Edit shows a value of a poll that is still current (never before the first good poll).
    bool ValueCurrent() const { return valueCurrent_; }
    const std::string& AddressNumber() const { return addressNumber_; }
    std::string DeviceNameText() const;
    void SetDeviceNameText(const std::string& name);
    std::string StatusText() const;

    // 1 or 2 while this is that connection's control window, else 0 (released).
    int Connection() const;

    // The print surface of the report: a document rather than a widget, as it is never seen.
    QTextDocument RichEdit;

signals:
    // The user chose to end the whole program when closing the window.
    void EndProgramRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class HandlerScope;
    void SetStatus(const std::string& text);
    // Reports why an action cannot run while the link is lost; true when it is.
    bool RefusedForLostLink(const char* what);
    // Reports why a receive cannot run without a current value; true when there is none.
    bool RefusedForNoCurrentValue();
    void Refuse(const char* status, const char* what);
    // A user action: an exception leaving it is shown in the program's general error box.
    template <class Action>
    void RunAction(Action&& action);
    QPrinter& Printer();

    std::unique_ptr<Ui::TQEL1M_Control> ui_;
    Connections& connections_;
    Qel1mControlsShared& shared_;
    const int connection_;
    std::string addressNumber_;
    std::unique_ptr<QPrinter> printer_;
    int runningHandlers_ = 0;
    bool releasePending_ = false;
    bool linkLost_ = false;
    bool valueCurrent_ = false;
};

}  // namespace qel
