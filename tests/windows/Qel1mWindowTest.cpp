// The QEL-1M control window on the offscreen platform, with simulated devices on
// pseudo-terminals and every dialog answered by the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPageSize>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStringList>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "Cp1251.h"
#include "DesignedWindows.h"
#include "EndRequest.h"
#include "EndRequest_p.h"
#include "FixedLayoutFont.h"
#include "Qel1mProtocol.h"
#include "Qel1mRecord.h"
#include "Qel1mWindowRig.h"
#include "RecordLine.h"
#include "RecordingSink.h"
#include "ReportBudget.h"
#include "ReportDocument.h"
#include "ReportPrinter.h"
#include "RussianFixedTime.h"

namespace qel {
namespace {

using test::FixedMoment;

class Qel1mWindowTest : public ::testing::Test {
protected:
    template <class T>
    static T* Part(TQEL1M_Control& window, const char* name) {
        T* part = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(part, nullptr) << name;
        return part;
    }
    static void Click(TQEL1M_Control& window, const char* button) { Part<QPushButton>(window, button)->click(); }
    // Alt with a Cyrillic letter, as a Russian keyboard sends it.
    static void AltKey(QWidget& window, char16_t letter) {
        const auto key = static_cast<Qt::Key>(letter);
        const QString text(QChar(letter).toLower());
        QTest::sendKeyEvent(QTest::Press, &window, key, text, Qt::AltModifier);
        QTest::sendKeyEvent(QTest::Release, &window, key, text, Qt::AltModifier);
    }

    // A real poll of the connection, as a Timer1 tick makes it.
    void Poll(int connection, uint16_t word) {
        rig.Device(connection).SetValueWord(word);
        host.connections.PollConnection(connection, true, kQel1mTypeIndex);
    }
    std::string ExpectedDataLines(std::initializer_list<const char*> lines) {
        std::string bytes;
        for (const char* line : lines) bytes += Utf8ToCp1251(line) + "\r\n";
        return bytes;
    }

    test::RussianFixedTime russian;
    test::PrinterDialogs dialogs;
    test::TestHost host;
    test::TestHost& rig = host;  // the simulated devices
    test::RecordingSink& sink = host.sink;
    Qel1mControlsShared& shared = host.shared;
};

TEST_F(Qel1mWindowTest, WindowHasItsCaptionLayoutAndBorder) {
    TQEL1M_Control& w = host.Open(1);
    ExpectAsDesigned(w, test::ControlWindowDesign());
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(w.pos(), QPoint(297, 157));
    EXPECT_EQ(w.parent(), nullptr);
    const Qt::WindowFlags flags = w.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);

    EXPECT_TRUE(Part<QLineEdit>(w, "Edit")->isReadOnly());
    EXPECT_FALSE(Part<QLineEdit>(w, "EditName")->isReadOnly());
    EXPECT_FALSE(Part<QStatusBar>(w, "StatusBar")->isSizeGripEnabled());
    EXPECT_TRUE(CaptionsFit(&w));
    EXPECT_EQ(w.RichEdit.metaInformation(QTextDocument::DocumentTitle), QStringLiteral("Заголовок"));

    // Tab order: BtnClear, BtnPrint, BtnSave, Edit, EditName.
    QStringList tabbing;
    QWidget* at = Part<QWidget>(w, "BtnClear");
    for (int steps = 0; steps < 50 && tabbing.size() < 5; ++steps, at = at->nextInFocusChain())
        if (at->focusPolicy() & Qt::TabFocus) tabbing << at->objectName();
    EXPECT_EQ(tabbing.join(QLatin1Char(' ')), QStringLiteral("BtnClear BtnPrint BtnSave Edit EditName"));
    // A new window shows no value, no device number and no status.
    EXPECT_EQ(w.ValueText(), "");
    EXPECT_EQ(w.AddressNumber(), "");
    EXPECT_EQ(w.StatusText(), "");
}

TEST_F(Qel1mWindowTest, TypePickShowsAHiddenOrMinimisedWindowAgain) {
    TQEL1M_Control& w = host.Open(1);
    w.hide();
    host.connections.DeviceTypeChange(1, kQel1mTypeIndex);
    EXPECT_EQ(host.Window(1), &w);
    EXPECT_TRUE(w.isVisible());
    w.showMinimized();
    ASSERT_TRUE(w.windowState() & Qt::WindowMinimized);
    host.connections.DeviceTypeChange(1, kQel1mTypeIndex);
    EXPECT_EQ(host.Window(1), &w);
    EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(Qel1mWindowTest, PollShowsGoodRepliesAndKeepsTheLastValueOtherwise) {
    TQEL1M_Control& w = host.Open(1);
    rig.device1->SetAddress(std::string("\x09\x7B\x07", 3));  // 9.123.7
    Poll(1, 0x047B);
    EXPECT_EQ(w.ValueText(), "12,3");
    EXPECT_EQ(w.AddressNumber(), "3.7");

    // A valid 27-byte reply changes nothing.
    rig.device1->SetReplyLength(PollCommand, 27);
    rig.device1->SetAddress(std::string("\x01\x17\x2D", 3));
    Poll(1, 0x007B);
    EXPECT_EQ(rig.device1->RequestCount(PollCommand), 2u);
    EXPECT_EQ(w.ValueText(), "12,3");
    EXPECT_EQ(w.AddressNumber(), "3.7");

    // Neither does a device that stays silent.
    rig.device1->SetReplyLength(PollCommand, 26);
    rig.device1->SetSilent(true);
    Poll(1, 0x007B);
    EXPECT_EQ(w.ValueText(), "12,3");

    rig.device1->SetSilent(false);
    Poll(1, 0x007B);
    EXPECT_EQ(w.ValueText(), "1,23");
    EXPECT_EQ(w.AddressNumber(), "3.45");
}

TEST_F(Qel1mWindowTest, PollWithoutWindowAsksTheDeviceAndDropsTheReply) {
    Poll(1, 0x047B);
    EXPECT_EQ(rig.device1->RequestCount(PollCommand), 1u);
    EXPECT_EQ(host.Window(1), nullptr);
}

TEST_F(Qel1mWindowTest, ZeroingWithShortReplySetsTheStatusAndOtherRepliesDoNot) {
    TQEL1M_Control& w = host.Open(1);
    Click(w, "BtnClear");
    EXPECT_EQ(rig.device1->RequestCount(ZeroCommand), 1u);
    EXPECT_EQ(w.StatusText(), "Обнулено 03.03.2026 09:05:07");

    SetLocalTimeSource([] { return LocalMoment{2026, 3, 3, 10, 0, 0}; });
    rig.device1->SetReplyLength(ZeroCommand, 18);
    Click(w, "BtnClear");
    EXPECT_EQ(rig.device1->RequestCount(ZeroCommand), 2u);
    EXPECT_EQ(w.StatusText(), "Обнулено 03.03.2026 09:05:07");
    rig.device1->SetSilent(true);
    Click(w, "BtnClear");
    EXPECT_EQ(w.StatusText(), "Обнулено 03.03.2026 09:05:07");
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_TRUE(sink.lines.empty());
}

TEST_F(Qel1mWindowTest, ZeroingGoesToTheWindowsOwnConnection) {
    host.Open(1);
    TQEL1M_Control& w2 = host.Open(2);
    Click(w2, "BtnClear");
    EXPECT_EQ(rig.device1->RequestCount(ZeroCommand), 0u);
    EXPECT_EQ(rig.device2->RequestCount(ZeroCommand), 1u);
    EXPECT_EQ(w2.StatusText(), "Обнулено 03.03.2026 09:05:07");
}

TEST_F(Qel1mWindowTest, ReceiveFilesTheShownValueAsRecordOne) {
    host.multipleFiles = true;  // the record's own file names it
    TQEL1M_Control& w = host.Open(1);
    Poll(1, 0x007B);
    Click(w, "BtnSave");
    EXPECT_EQ(host.DataFileBytes(), ExpectedDataLines({"00001 00001 09:05 03.03.26 00001,230"}));
    ASSERT_EQ(sink.lines.size(), 1u);
    EXPECT_EQ(sink.lines[0], "Принят пакет: 00001 00001 09:05 03.03.26 00001,230");
    EXPECT_TRUE(sink.beeps.empty());
    EXPECT_TRUE(sink.boxes.empty());
    EXPECT_EQ(w.StatusText(), "Принято 03.03.2026 09:05:07 1,23");
    EXPECT_EQ(host.dataFile, rig.dir / "030326.001");  // filed under the record's date and number
    // The device is not asked: a receive takes the value shown.
    EXPECT_EQ(rig.device1->RequestCount(PollCommand), 1u);
    EXPECT_EQ(rig.device1->RequestCount(ZeroCommand), 0u);
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_FALSE(shared.ReceiveInProgress);
}

TEST_F(Qel1mWindowTest, ReceiveStatusShowsWhatEditHoldsWhenTheStatusIsSet) {
    TQEL1M_Control& w = host.Open(1);
    w.ShowPolledValue("1,5", "3.45");
    // The write fails and reports at once in a box; a poll runs under it.
    host.dataFile = rig.dir / "missing-folder/Data.qel";
    sink.screenMessages = true;
    sink.whileBoxOpen = [&] { w.ShowPolledValue("2,25", "3.45"); };
    Click(w, "BtnSave");
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.lines[0], "Принят пакет: 00001 00001 09:05 03.03.26 00001,500");
    EXPECT_EQ(w.StatusText(), "Не записано 03.03.2026 09:05:07 2,25");
}

TEST_F(Qel1mWindowTest, StartsOnBtnClearAndItsLettersPressTheFirstButtonThatClaimsThem) {
    TQEL1M_Control& w = host.Open(1);
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(QApplication::focusWidget(), Part<QPushButton>(w, "BtnClear"));
    EXPECT_EQ(Part<QPushButton>(w, "BtnClear")->nextInFocusChain(), Part<QPushButton>(w, "BtnPrint"));

    // Alt+П: "&Приём" and "&Приём и Печать" share it; the first is pressed, no printer is asked.
    w.ShowPolledValue("1,5", "3.45");
    AltKey(w, u'П');
    ASSERT_TRUE(test::WaitUntil([&] { return !host.DataFileBytes().empty(); }, 2000));
    EXPECT_EQ(host.DataFileBytes(), ExpectedDataLines({"00001 00001 09:05 03.03.26 00001,500"}));
    EXPECT_TRUE(dialogs.Of("printer").empty());
    // Alt+О: "&Очистка" zeroes the device.
    AltKey(w, u'О');
    EXPECT_TRUE(test::WaitUntil([&] { return rig.device1->RequestCount(ZeroCommand) == 1; }, 2000));
}

TEST_F(Qel1mWindowTest, BothWindowsCountOnOneRecordNumber) {
    TQEL1M_Control& w1 = host.Open(1);
    TQEL1M_Control& w2 = host.Open(2);
    w1.ShowPolledValue("12,5", "3.45");
    w2.ShowPolledValue("7", "3.46");
    Click(w1, "BtnSave");
    Click(w2, "BtnSave");
    Click(w1, "BtnSave");
    EXPECT_EQ(host.DataFileBytes(), ExpectedDataLines({"00001 00001 09:05 03.03.26 00012,500",
                                                       "00002 00002 09:05 03.03.26 00007",
                                                       "00001 00003 09:05 03.03.26 00012,500"}));
    EXPECT_EQ(w2.StatusText(), "Принято 03.03.2026 09:05:07 7");
}

TEST_F(Qel1mWindowTest, TheSecondWindowKeepsItsOwnNameAndFilesIntoTheRecordsOwnFile) {
    TQEL1M_Control& w1 = host.Open(1);
    TQEL1M_Control& w2 = host.Open(2);
    Part<QLineEdit>(w2, "EditName")->setText(QStringLiteral("Кабинет 5"));
    EXPECT_EQ(host.deviceNames[1], "Кабинет 5");
    EXPECT_EQ(host.deviceNames[0], "");
    Part<QLineEdit>(w1, "EditName")->setText(QStringLiteral("Снимки"));
    EXPECT_EQ(host.deviceNames[0], "Снимки");
    EXPECT_EQ(host.deviceNames[1], "Кабинет 5");

    // One file per record: the record's own name, in the data file's folder.
    host.multipleFiles = true;
    Poll(2, 0x007B);
    Click(w2, "BtnSave");
    EXPECT_EQ(host.dataFile, rig.dir / "030326.001");
    EXPECT_EQ(host.DataFileBytes(), ExpectedDataLines({"00002 00001 09:05 03.03.26 00001,230"}));
}

TEST_F(Qel1mWindowTest, WithoutACurrentValueNothingIsFiledOrPrinted) {
    std::filesystem::copy_file(QEL_REPORT_TEMPLATE, rig.dir / "report.rtf");
    dialogs.onSelectPrinter = test::PrintToPdf(rig.dir / "report.pdf");
    const std::string refused = "соединение 2: нет текущего значения прибора, значение не принято";
    TQEL1M_Control& w = host.Open(2);
    // Never polled.
    for (const char* button : {"BtnSave", "BtnPrint"}) Click(w, button);
    EXPECT_EQ(sink.lines, (std::vector<std::string>{refused, refused}));
    EXPECT_EQ(w.StatusText(), "Нет текущего значения");

    // Polled, then the device falls silent: after two failed polls over 1.5 s the value is
    // greyed, the status says since when, and it is not filed.
    Poll(2, 0x007B);
    EXPECT_TRUE(Part<QLineEdit>(w, "Edit")->isEnabled());
    rig.Device(2).SetSilent(true);
    const auto start = std::chrono::steady_clock::now();
    while (Part<QLineEdit>(w, "Edit")->isEnabled() && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
        host.connections.PollConnection(2, true, kQel1mTypeIndex);
        QTest::qWait(100);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4500));  // 2 s input timeout each
    EXPECT_FALSE(Part<QLineEdit>(w, "Edit")->isEnabled());
    EXPECT_EQ(w.ValueText(), "1,23");
    EXPECT_EQ(w.StatusText(), "Прибор не отвечает с 09:05:07");
    sink.Clear();
    Click(w, "BtnPrint");
    EXPECT_EQ(sink.lines, std::vector<std::string>{refused});
    EXPECT_EQ(w.StatusText(), "Нет текущего значения");
    EXPECT_FALSE(std::filesystem::exists(host.dataFile));
    EXPECT_TRUE(dialogs.Of("printer").empty());
    EXPECT_EQ(rig.Device(2).RequestCount(ZeroCommand), 0u);

    // The next good reply makes it current again.
    rig.Device(2).SetSilent(false);
    Poll(2, 0x007B);
    EXPECT_TRUE(Part<QLineEdit>(w, "Edit")->isEnabled());
    EXPECT_EQ(w.StatusText(), "");
    Click(w, "BtnSave");
    EXPECT_EQ(host.DataFileBytes(), ExpectedDataLines({"00002 00001 09:05 03.03.26 00001,230"}));
}

TEST_F(Qel1mWindowTest, AFailedWriteIsNamedAtOnceAndNothingIsPrintedOrZeroed) {
    std::filesystem::copy_file(QEL_REPORT_TEMPLATE, rig.dir / "report.rtf");
    dialogs.onSelectPrinter = test::PrintToPdf(rig.dir / "report.pdf");
    TQEL1M_Control& w = host.Open(1);
    Poll(1, 0x007B);
    host.dataFile = rig.dir / "missing-folder/Data.qel";
    Click(w, "BtnPrint");
    EXPECT_TRUE(host.connections.Writer().WriteBlocked());
    EXPECT_EQ(sink.lines, (std::vector<std::string>{
                              "Принят пакет: 00001 00001 09:05 03.03.26 00001,230",
                              "Запись не сделана: 00001 00001 09:05 03.03.26 00001,230 - файл \"" + host.dataFile +
                                  "\": нет такой папки",
                              "Ошибка при записи данных в файл, файл не доступен"}));
    EXPECT_EQ(w.StatusText(), "Не записано 03.03.2026 09:05:07 1,23");
    EXPECT_TRUE(dialogs.Of("printer").empty());
    EXPECT_FALSE(rig.device1->WaitRequests(ZeroCommand, 1, 300));
    EXPECT_FALSE(shared.ReceiveInProgress);
    EXPECT_FALSE(shared.PrintRequested);
}

TEST_F(Qel1mWindowTest, ReceiveAndPrintFillsTheReportThenZeroes) {
    std::filesystem::copy_file(QEL_REPORT_TEMPLATE, rig.dir / "report.rtf");
    const std::string pdf = rig.dir / "report.pdf";
    host.deviceNames[0] = "Рентген-кабинет 2";
    TQEL1M_Control& w = host.Open(1);
    Poll(1, 0x007B);
    // While the printer dialog is open a poll brings a new value: the record and the report
    // both keep the value taken before.
    dialogs.onSelectPrinter = test::PrintToPdf(pdf, [&] { Poll(1, 0x047B); });

    Click(w, "BtnPrint");
    EXPECT_EQ(dialogs.Of("printer").size(), 1u);
    EXPECT_TRUE(dialogs.Of("error").empty());
    EXPECT_EQ(host.DataFileBytes(), ExpectedDataLines({"00001 00001 09:05 03.03.26 00001,230"}));
    EXPECT_EQ(rig.device1->RequestCount(ZeroCommand), 1u);
    // The zeroing after printing leaves the receive's status.
    EXPECT_EQ(w.StatusText(), "Принято 03.03.2026 09:05:07 1,23");
    EXPECT_FALSE(shared.ReceiveInProgress);
    EXPECT_FALSE(shared.PrintRequested);

    const std::string text = test::PdfText(pdf);
    ASSERT_FALSE(text.empty()) << "pdftotext gave nothing for " << pdf;
    EXPECT_EQ(text.find("$<"), std::string::npos) << text;
    for (const char* expected : {"Протокол рентгенологического исследования", "Рентген-кабинет 2", "3.45",
                                 "09:05:07", "03.03.2026", "1,23"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in:\n" << text;
    EXPECT_EQ(text.find("12,3"), std::string::npos) << text;
    EXPECT_NE(test::PdfInfo(pdf).find("Исследование"), std::string::npos);
}

// Page size in points from pdfinfo ("Page size:      595.276 x 841.89 pts (A4)").
QSizeF PdfPageSize(const std::string& pdf) {
    const QString info = QString::fromStdString(test::PdfInfo(pdf));
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts")).match(info);
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

// The printer dialog first offers the template's page (here A4 landscape); what the user
// picks there prints, and the next dialog starts from it.
TEST_F(Qel1mWindowTest, TheDialogOffersTheTemplatesPageAndTheUsersChoicePrints) {
    test::WriteBytes(rig.dir / "report.rtf",
                     "{\\rtf1\\ansi\\paperw16838\\paperh11906\\margl1134\\margr1134\\margt1134\\margb1134 Dose: $<dose>\\par}");
    const std::string pdf = rig.dir / "report.pdf";
    TQEL1M_Control& w = host.Open(1);
    Poll(1, 0x007B);
    std::vector<QPageLayout> offered;
    const auto pick = [&](QPageSize::PageSizeId size, QPageLayout::Orientation orientation) {
        return [&, size, orientation](QPrinter& printer) {
            offered.push_back(printer.pageLayout());
            printer.setPageSize(QPageSize(size));
            printer.setPageOrientation(orientation);
            return test::PrintToPdf(pdf)(printer);
        };
    };
    dialogs.onSelectPrinter = pick(QPageSize::A5, QPageLayout::Landscape);
    Click(w, "BtnPrint");
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0].pageSize().id(), QPageSize::A4);
    EXPECT_EQ(offered[0].orientation(), QPageLayout::Landscape);
    EXPECT_NEAR(offered[0].margins(QPageLayout::Millimeter).left(), 20.0, 0.2);
    EXPECT_TRUE(dialogs.Of("error").empty());
    QSizeF size = PdfPageSize(pdf);
    EXPECT_NEAR(size.width(), 595.3, 1.0);
    EXPECT_NEAR(size.height(), 419.5, 1.0);
    EXPECT_NE(test::PdfText(pdf).find("Dose: 1,23"), std::string::npos);

    dialogs.onSelectPrinter = pick(QPageSize::A5, QPageLayout::Portrait);
    Click(w, "BtnPrint");
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[1].pageSize().id(), QPageSize::A5);
    EXPECT_EQ(offered[1].orientation(), QPageLayout::Landscape);
    size = PdfPageSize(pdf);
    EXPECT_NEAR(size.width(), 419.5, 1.0);
    EXPECT_NEAR(size.height(), 595.3, 1.0);
    EXPECT_EQ(rig.device1->RequestCount(ZeroCommand), 2u);
}

// A template page that cannot hold text is not offered: the printer's page prints, and
// the list says why.
TEST_F(Qel1mWindowTest, ATemplatePageTooSmallGivesWayToThePrintersWithANote) {
    test::WriteBytes(rig.dir / "report.rtf", "{\\rtf1\\ansi\\paperw11906\\paperh30 Dose: $<dose>\\par}");
    const std::string pdf = rig.dir / "report.pdf";
    TQEL1M_Control& w = host.Open(1);
    Poll(1, 0x007B);
    dialogs.onSelectPrinter = test::PrintToPdf(pdf);
    Click(w, "BtnPrint");
    EXPECT_TRUE(dialogs.Of("error").empty());
    EXPECT_NE(std::find(sink.lines.begin(), sink.lines.end(), kTemplatePaperTooSmall), sink.lines.end());
    const QSizeF size = PdfPageSize(pdf);
    EXPECT_GT(size.width(), 500);
    EXPECT_GT(size.height(), 500);
    EXPECT_NE(test::PdfText(pdf).find("Dose: 1,23"), std::string::npos);
}

// A template beyond a budget is refused before anything is printed or zeroed, naming
// the limit; the record stays filed.
TEST_F(Qel1mWindowTest, ATemplateBeyondItsBudgetIsRefusedBeforePrintingOrZeroing) {
    std::string rtf = "{\\rtf1\\ansi\\trowd\\cellx500\\intbl ";
    for (int i = 0; i < 30000; ++i) rtf += "x\\cell ";
    test::WriteBytes(rig.dir / "report.rtf", rtf + "\\row}");
    const std::string pdf = rig.dir / "report.pdf";
    TQEL1M_Control& w = host.Open(1);
    Poll(1, 0x007B);
    dialogs.onSelectPrinter = test::PrintToPdf(pdf);
    Click(w, "BtnPrint");
    const auto errors = dialogs.Of("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].text.endsWith(QString::fromStdString(kTemplateBeyondBudget + CellsPerRowLimitText())))
        << errors[0].text.toStdString();
    EXPECT_EQ(host.DataFileBytes(), ExpectedDataLines({"00001 00001 09:05 03.03.26 00001,230"}));
    EXPECT_FALSE(rig.device1->WaitRequests(ZeroCommand, 1, 300));
    EXPECT_FALSE(std::filesystem::exists(pdf));
}

// A termination signal during the report: the report stops with a list line, no box that
// would hold the ending program, nothing printed, nothing zeroed.
TEST_F(Qel1mWindowTest, AnEndRequestStopsTheReportWithoutABox) {
    std::filesystem::copy_file(QEL_REPORT_TEMPLATE, rig.dir / "report.rtf");
    const std::string pdf = rig.dir / "report.pdf";
    TQEL1M_Control& w = host.Open(1);
    Poll(1, 0x007B);
    dialogs.onSelectPrinter = [&](QPrinter& printer) {
        NoteEndRequested();  // as the signal handler does, while the dialog is open
        return test::PrintToPdf(pdf)(printer);
    };
    Click(w, "BtnPrint");
    ClearEndRequest();
    EXPECT_TRUE(dialogs.Of("error").empty());
    EXPECT_NE(std::find(sink.lines.begin(), sink.lines.end(), kReportInterrupted), sink.lines.end());
    EXPECT_FALSE(rig.device1->WaitRequests(ZeroCommand, 1, 300));
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_FALSE(shared.PrintRequested);
}

TEST_F(Qel1mWindowTest, CancelledPrinterDialogFilesTheRecordAndDoesNotZero) {
    std::filesystem::copy_file(QEL_REPORT_TEMPLATE, rig.dir / "report.rtf");
    TQEL1M_Control& w = host.Open(1);
    Poll(1, 0x007B);
    Click(w, "BtnPrint");
    EXPECT_EQ(dialogs.Of("printer").size(), 1u);
    EXPECT_EQ(host.DataFileBytes(), ExpectedDataLines({"00001 00001 09:05 03.03.26 00001,230"}));
    EXPECT_EQ(w.StatusText(), "Принято 03.03.2026 09:05:07 1,23");
    EXPECT_FALSE(rig.device1->WaitRequests(ZeroCommand, 1, 300));
    EXPECT_FALSE(shared.PrintRequested);
    // A plain receive afterwards prints nothing.
    Click(w, "BtnSave");
    EXPECT_EQ(dialogs.Of("printer").size(), 1u);
}

TEST_F(Qel1mWindowTest, MissingTemplateLeavesTheRecordWrittenAndTheDeviceNotZeroed) {
    const std::string pdf = rig.dir / "report.pdf";
    TQEL1M_Control& w = host.Open(1);
    Poll(1, 0x007B);
    dialogs.onSelectPrinter = test::PrintToPdf(pdf);
    Click(w, "BtnPrint");
    const auto errors = dialogs.Of("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].text.contains(QString::fromStdString(rig.dir / "report.rtf"))) << errors[0].text.toStdString();
    EXPECT_EQ(host.DataFileBytes(), ExpectedDataLines({"00001 00001 09:05 03.03.26 00001,230"}));
    EXPECT_EQ(w.StatusText(), "Принято 03.03.2026 09:05:07 1,23");
    EXPECT_FALSE(rig.device1->WaitRequests(ZeroCommand, 1, 300));
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_FALSE(shared.ReceiveInProgress);
    EXPECT_FALSE(shared.PrintRequested);
    // The flags really are clear: zeroing shows its status again.
    Click(w, "BtnClear");
    EXPECT_EQ(w.StatusText(), "Обнулено 03.03.2026 09:05:07");
}

// A printer that cannot begin (a PDF in a folder that does not exist): the failure comes
// back from the report and is the one box shown; nothing leaves the button's slot.
TEST_F(Qel1mWindowTest, PrinterThatFailsIsReportedAndNothingIsZeroed) {
    std::filesystem::copy_file(QEL_REPORT_TEMPLATE, rig.dir / "report.rtf");
    TQEL1M_Control& w = host.Open(1);
    Poll(1, 0x007B);
    dialogs.onSelectPrinter = test::PrintToPdf(rig.dir / "no-such-folder/report.pdf");
    EXPECT_NO_THROW(Click(w, "BtnPrint"));
    const auto errors = dialogs.Of("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, QStringLiteral("Не удалось напечатать отчёт"));
    EXPECT_EQ(host.DataFileBytes(), ExpectedDataLines({"00001 00001 09:05 03.03.26 00001,230"}));
    EXPECT_FALSE(rig.device1->WaitRequests(ZeroCommand, 1, 300));
}

TEST_F(Qel1mWindowTest, WindowDestroyedWhileItsPrinterDialogIsOpenEndsSafely) {
    std::filesystem::copy_file(QEL_REPORT_TEMPLATE, rig.dir / "report.rtf");
    const std::string pdf = rig.dir / "report.pdf";
    TQEL1M_Control& w = host.Open(1);
    QPointer<TQEL1M_Control> guard(&w);
    w.ShowPolledValue("2,5", "3.45");
    // The user switches the connection to QEL-1 in the settings window meanwhile.
    dialogs.onSelectPrinter = test::PrintToPdf(pdf, [&] { host.connections.DeviceTypeChange(1, 0); });
    Click(w, "BtnPrint");
    EXPECT_EQ(host.Window(1), nullptr);
    ASSERT_FALSE(guard.isNull());  // still running its handler's last steps until now
    EXPECT_FALSE(guard->isVisible());
    EXPECT_NE(test::PdfText(pdf).find("2,5"), std::string::npos);
    EXPECT_FALSE(rig.device1->WaitRequests(ZeroCommand, 1, 300));  // no longer the connection's window
    test::RunDeferredDeletes();
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(host.DataFileBytes(), ExpectedDataLines({"00001 00001 09:05 03.03.26 00002,500"}));
}

}  // namespace
}  // namespace qel
