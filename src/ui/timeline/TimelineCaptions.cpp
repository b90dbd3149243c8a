#include "TimelineCaptions.h"

namespace {

const TimelineCaptions kEnglish = {
    QStringLiteral("Timeline"),
    QStringLiteral("&Time"),
    QStringLiteral("Time"),
    QStringLiteral("&Bytes"),
    QStringLiteral("Bytes"),
    QStringLiteral("&Gap"),
    QStringLiteral("Gap that ends a row, ms"),
    QStringLiteral(" ms"),
    QStringLiteral("G&o to"),
    QStringLiteral("Go to time"),
    QStringLiteral("Go"),
    {QStringLiteral("Time of day"), QStringLiteral("Since the first row"),
     QStringLiteral("Since the row above")},
    {QStringLiteral("Text, \u240D\u240A"), QStringLiteral("Text, \\r\\n"), QStringLiteral("Hex")},
    QStringLiteral("Received"),
    QStringLiteral("Sent"),
    QStringLiteral("Lines, events"),
    {QStringLiteral("Time"), QStringLiteral("Port"), QStringLiteral("Direction"),
     QStringLiteral("Data")},
    QStringLiteral("&Export CSV\u2026"),
    QStringLiteral("Export the rows shown as CSV"),
    QStringLiteral("Capture is off: turn on Capture in the menu to record this session."),
    QStringLiteral("Exporting the rows shown to %1: %2%"),
    QStringLiteral("%1 rows exported to %2"),
    QStringLiteral("The rows cannot be written to %1: %2"),
};

const TimelineCaptions kRussian = {
    QStringLiteral("Хронология"),
    QStringLiteral("&Время"),
    QStringLiteral("Время"),
    QStringLiteral("&Байты"),
    QStringLiteral("Байты"),
    QStringLiteral("&Пауза"),
    QStringLiteral("Пауза, завершающая строку, мс"),
    QStringLiteral(" мс"),
    QStringLiteral("П&ерейти к"),
    QStringLiteral("Перейти ко времени"),
    QStringLiteral("Перейти"),
    {QStringLiteral("Время суток"), QStringLiteral("От первой строки"),
     QStringLiteral("От строки выше")},
    {QStringLiteral("Текст, \u240D\u240A"), QStringLiteral("Текст, \\r\\n"), QStringLiteral("HEX")},
    QStringLiteral("Принятые"),
    QStringLiteral("Переданные"),
    QStringLiteral("Линии, события"),
    {QStringLiteral("Время"), QStringLiteral("Порт"), QStringLiteral("Направление"),
     QStringLiteral("Данные")},
    QStringLiteral("&Экспорт в CSV\u2026"),
    QStringLiteral("Экспорт показанных строк в CSV"),
    QStringLiteral("Запись выключена: включите «Запись» в меню, чтобы записать этот сеанс."),
    QStringLiteral("Экспорт показанных строк в %1: %2%"),
    QStringLiteral("Строк экспортировано: %1, в %2"),
    QStringLiteral("Строки не удаётся записать в %1: %2"),
};

} // namespace

const TimelineCaptions& timelineCaptions(qint16 language) {
    return language == 1 ? kRussian : kEnglish;
}
