#pragma once

// The program's words about the state of its connections: the tray hint's lines, the
// desktop notifications and the settings window's title without a notification area.
namespace qel::status_text {

// The first line of the tray hint, as the program has always had it.
inline constexpr const char* kTrayHint = "Программа для приёма информации от КЭЛ1";
// Title of every desktop notification.
inline constexpr const char* kNoticeTitle = "КЭЛ1-Агент";

// A connection without a device name of its own is "Соединение N".
inline constexpr const char* kConnectionPrefix = "Соединение ";
inline constexpr const char* kTypeQel1 = "КЭЛ-1";
inline constexpr const char* kTypeQel1m = "КЭЛ-1М";

// One connection's state in its hint line.
inline constexpr const char* kStateWell = "на связи";
inline constexpr const char* kStateLost = "ожидание устройства: отключено";
inline constexpr const char* kStateNotOpened = "ожидание устройства: порт не открыт";
inline constexpr const char* kStateNotAnswering = "ожидание устройства: не отвечает";
inline constexpr const char* kStateCannotWrite = "файл данных недоступен";
inline constexpr const char* kLastRecordPrefix = "последняя запись ";
inline constexpr const char* kNoRecordYet = "записей ещё не было";
inline constexpr const char* kNoConnectionInUse = "Ни одно соединение не используется";
// The hint's last line and the data file field's: where the next record goes.
inline constexpr const char* kNextRecordPrefix = "Следующая запись: ";
// In the one-file-per-record mode a record's name is its date and number.
inline constexpr const char* kRecordNamePattern = "ДДММГГ.NNN";

// The whole program's state in a few words: the settings window's title says it
// when there is no notification area.
inline constexpr const char* kLevelWell = "все соединения на связи";
inline constexpr const char* kLevelWaiting = "ожидание устройства";
inline constexpr const char* kLevelCannotWrite = "файл данных недоступен";

// Notifications, after the connection's name and port.
inline constexpr const char* kNoticeLost = ": устройство отключено, программа ждёт его возвращения";
inline constexpr const char* kNoticeNotOpened = ": порт не открылся";
inline constexpr const char* kNoticeBack = ": устройство снова на связи";
inline constexpr const char* kNoticeNotWritten = ": запись не сделана, файл данных недоступен";
inline constexpr const char* kNoticeWritingAgain = ": записи снова попадают в файл данных";
// A connection that changes its state too often is summed up once a minute.
inline constexpr const char* kNoticeFlapping = ": связь неустойчива, изменений за минуту: ";
inline constexpr const char* kNoticeNow = "; сейчас: ";

}  // namespace qel::status_text
