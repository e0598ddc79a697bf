#pragma once
// The windows as designed: every caption, hint and size the window tests pin, in one table
// per window, so a change of a .ui file is checked against exactly one place here.
#include <gtest/gtest.h>

#include <QDebug>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <vector>

namespace qel::test {

// One designed property of one object; the object "" is the window itself. "geometry" is a
// QRect, "size" a QSize, "width" and "height" an int; "toolTipFirstLine" is the hint up to
// its first line break, for hints the program goes on with what the control points at.
struct Designed {
    const char* object;
    const char* property;
    QVariant value;
};

namespace designed {

inline QVariant T(const char* utf8) { return QString::fromUtf8(utf8); }

// Hints that several controls of the settings window share.
inline const char* const kRewriteHint =
    "Если здесь выставлена галочка,,\nто файл будет переписываться с каждым новым сообщением от КЭЛ-1.\n"
    "В противном случае - сообщения будут добавляться в конец существующего файла.";
inline const char* const kSpeedHint = "Выберите скорость обмена по com-порту, с к которой работает устройство КЭЛ-1";
inline const char* const kInUseHint = "Установите этот флажок, если к выбранному com-порту подключено устройство КЭЛ-1";
inline const char* const kConnected = "Устройство КЭЛ-1 подключенно";
// The port lists' hint; the device the selected COM name stands for follows on a line of its own.
inline const char* const kPortHint = "Выберите com-порт, к которому подключено устройство КЭЛ-1";
// Edit1's hint; the full path of the next record follows on a line of its own.
inline const char* const kDataFileHint = "Выбор пути и имени файла, куда будут записываться сообщения от КЭЛ-1";

}  // namespace designed

// The settings window `TComSetup`, its menus and the tray menu's actions.
inline const std::vector<Designed>& SettingsWindowDesign() {
    using designed::T;
    static const std::vector<Designed> table{
        {"", "windowTitle", T("Настройка КЭЛ1-Агент")},
        {"ComboBox1", "width", 97},
        {"CB_Spead1", "width", 61},
        {"CB_QELType2", "width", 69},
        {"ListBox1", "height", 88},
        {"GroupBox1", "title", T("Настройки портов для связи с КЭЛ-1(M)")},
        {"GroupBox2", "title", T("Соединение 1")},
        {"GroupBox3", "title", T("Соединение 2")},
        {"GroupBox4", "title", T("Параметры работы программы")},
        {"CheckBox1", "text", T(designed::kConnected)},
        {"CheckBox2", "text", T(designed::kConnected)},
        {"CB_ErrMes", "text", T("Выводить диагностические сообщения")},
        {"CB_Rewrite", "text", T("Перезаписывать файл при приёме данных")},
        {"CB_MultyFiles", "text", T("Разбивать на отдельные файлы")},
        {"BitBtn1", "text", T("Принять")},
        {"BitBtn2", "text", T("Отменить")},
        {"CB_Spead1", "toolTip", T(designed::kSpeedHint)},
        {"CB_Spead2", "toolTip", T(designed::kSpeedHint)},
        {"CB_QELType1", "toolTip", T(designed::kSpeedHint)},
        {"CB_QELType2", "toolTip", T(designed::kSpeedHint)},
        {"CheckBox1", "toolTip", T(designed::kInUseHint)},
        {"CheckBox2", "toolTip", T(designed::kInUseHint)},
        {"CB_Rewrite", "toolTip", T(designed::kRewriteHint)},
        {"CB_MultyFiles", "toolTip", T(designed::kRewriteHint)},
        {"ComboBox1", "toolTipFirstLine", T(designed::kPortHint)},
        {"ComboBox2", "toolTipFirstLine", T(designed::kPortHint)},
        {"Edit1", "toolTipFirstLine", T(designed::kDataFileHint)},
        {"CB_ErrMes", "toolTip", T("Вывод сообщений об ошибках. Используйте, если возникли какие-либо проблемы")},
        {"ListBox1", "toolTip", T("Список внутренних диагностических сообщений программы.")},
        {"BitBtn1", "toolTip",
         T("Проверьте правильность введённой информации, и если всё Ок, нажмите эту клавишу. Иначе - \"Отменить\"")},
        {"BitBtn2", "toolTip",
         T("Нажмите эту клавишу, если Вам необходимо покинуть это окно не принимая текущие данные")},
        {"N1", "title", T("&Файл")},
        {"N4", "title", T("&Справка")},
        {"N2", "text", T("&Выбор файла")},
        {"N2", "toolTip", T("Просмотреть список лечащих врачей")},
        {"N10", "text", T("&Порты…")},
        {"N6", "text", T("В&ыход")},
        {"N3", "text", T("Вы&зов справки")},
        {"N7", "text", T("&О программе")},
        {"LOG1", "text", T("&Записать LOG в фал")},
        {"N8", "text", T("&Очистить все записи")},
        {"actOptions", "text", T("&Настройка")},
        {"actOptions", "toolTip", T("Настроить параметры программы")},
        {"actExit", "text", T("В&ыйти")},
        {"actExit", "toolTip", T("Выйти из программы")},
        {"actAbout", "toolTip", T("Кратко о программе")},
    };
    return table;
}

// The QEL-1M control window `TQEL1M_Control`.
inline const std::vector<Designed>& ControlWindowDesign() {
    using designed::T;
    // One line a property.
    // clang-format off
    static const std::vector<Designed> table{
        {"", "windowTitle", T("Управление КЭЛ-1М")},
        {"", "size", QSize(245, 123)},
        {"Label2", "geometry", QRect(4, 4, 237, 13)},
        {"Label2", "text", T("Наименование прибора")},
        {"EditName", "geometry", QRect(4, 20, 237, 21)},
        {"EditName", "text", T("")},
        {"BtnClear", "geometry", QRect(4, 48, 105, 25)},
        {"BtnClear", "text", T("&Очистка")},
        {"Label1", "geometry", QRect(112, 52, 53, 13)},
        {"Label1", "text", T("Значение")},
        {"Edit", "geometry", QRect(168, 48, 73, 21)},
        {"Edit", "text", T("")},
        {"BtnSave", "geometry", QRect(4, 76, 105, 25)},
        {"BtnSave", "text", T("&Приём")},
        {"BtnPrint", "geometry", QRect(116, 76, 125, 25)},
        {"BtnPrint", "text", T("&Приём и Печать")},
        {"StatusBar", "geometry", QRect(0, 104, 245, 19)},
    };
    // clang-format on
    return table;
}

// The About window `TAboutBox`.
inline const std::vector<Designed>& AboutWindowDesign() {
    using designed::T;
    static const std::vector<Designed> table{
        {"", "windowTitle", T("О программе \"КЭЛ1-Агент\"")},
        {"", "size", QSize(298, 228)},
        {"Version", "text", T("КЭЛ1-Агент v1.2")},
        {"ProgramIcon", "size", QSize(73, 57)},
        {"Panel1", "size", QSize(281, 177)},
    };
    return table;
}

// Checks every entry of `table` on `window` and its children.
inline void ExpectAsDesigned(const QWidget& window, const std::vector<Designed>& table) {
    for (const Designed& d : table) {
        const QString name = QString::fromLatin1(d.object);
        const QObject* object = name.isEmpty() ? &window : window.findChild<QObject*>(name);
        ASSERT_NE(object, nullptr) << d.object;
        const QString property = QString::fromLatin1(d.property);
        const auto* widget = qobject_cast<const QWidget*>(object);
        QVariant shown;
        if (property == QStringLiteral("width") && widget != nullptr) shown = widget->width();
        else if (property == QStringLiteral("height") && widget != nullptr) shown = widget->height();
        else if (property == QStringLiteral("toolTipFirstLine"))
            shown = object->property("toolTip").toString().section(QLatin1Char('\n'), 0, 0);
        else shown = object->property(d.property);
        if (shown == d.value) continue;
        QString seen, wanted;
        QDebug(&seen) << shown;
        QDebug(&wanted) << d.value;
        ADD_FAILURE() << d.object << "." << d.property << " is " << seen.toStdString() << ", designed "
                      << wanted.toStdString();
    }
}

}  // namespace qel::test
