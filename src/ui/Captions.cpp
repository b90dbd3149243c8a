#include "Captions.h"

#include "terminal/Product.h"

namespace {

const CaptionSet kEnglish = {
    QStringLiteral("Menu"),
    QStringLiteral("Exit"),
    QStringLiteral("Setting"),
    QStringLiteral("Language"),
    QStringLiteral("Program Settings"),
    QStringLiteral("Terminal 1"),
    QStringLiteral("Terminal 2"),
    QStringLiteral("Directory to save the results"),
    QStringLiteral("Change"),
    QStringLiteral("Character code command to complete"),
    QStringLiteral("Show entered command"),
    QStringLiteral("HEX Format"),
    QStringLiteral("Run"),
    QStringLiteral("Clear"),
    QStringLiteral("Insert Char 0-255"),
    QStringLiteral("Capture"),
    QStringLiteral("\u25CF Capture"),
    QStringLiteral("Timeline"),
    QStringLiteral("Find"),
    QStringLiteral("Text to find"),
    QStringLiteral("Typed as hex bytes"),
    QStringLiteral("Previous match"),
    QStringLiteral("Next match"),
    QStringLiteral("Close the find bar"),
    QStringLiteral("%1 of %2"),
    QStringLiteral("No match"),
    QStringLiteral("Save as\u2026"),
    QStringLiteral("Run script\u2026"),
    QStringLiteral("Stop script"),
    QStringLiteral("Run script"),
};

const CaptionSet kRussian = {
    QStringLiteral("Меню"),
    QStringLiteral("Выход"),
    QStringLiteral("Настройка"),
    QStringLiteral("Язык"),
    QStringLiteral("Настройки программы"),
    QStringLiteral("Терминал 1"),
    QStringLiteral("Терминал 2"),
    QStringLiteral("Директория для хранения результатов"),
    QStringLiteral("Изменить"),
    QStringLiteral("Добавлять код в конец строки AT-команд"),
    QStringLiteral("Отображать вводимые данные."),
    QStringLiteral("HEX формат"),
    QStringLiteral("Выполнить"),
    QStringLiteral("Очистить"),
    QStringLiteral("Вставить знак 0-255"),
    QStringLiteral("Запись"),
    QStringLiteral("\u25CF Запись"),
    QStringLiteral("Хронология"),
    QStringLiteral("Найти"),
    QStringLiteral("Искомый текст"),
    QStringLiteral("Байты в HEX"),
    QStringLiteral("Предыдущее совпадение"),
    QStringLiteral("Следующее совпадение"),
    QStringLiteral("Закрыть поиск"),
    QStringLiteral("%1 из %2"),
    QStringLiteral("Нет совпадений"),
    QStringLiteral("Сохранить как\u2026"),
    QStringLiteral("Выполнить сценарий\u2026"),
    QStringLiteral("Остановить сценарий"),
    QStringLiteral("Выполнить сценарий"),
};

const char* const kEnglishMonths[12] = {"January",   "February", "March",    "April",
                                        "May",       "June",     "July",     "August",
                                        "September", "October",  "November", "December"};
const char* const kRussianMonths[12] = {"Января",   "Февраля", "Марта",  "Апреля",
                                        "Мая",      "Июня",    "Июля",   "Августа",
                                        "Сентября", "Октября", "Ноября", "Декабря"};

} // namespace

const CaptionSet* captionsFor(qint16 language) {
    switch (language) {
    case 0:
        return &kEnglish;
    case 1:
        return &kRussian;
    default:
        return nullptr;
    }
}

QString Month_Name(qint16 language, int month) {
    if (month < 1 || month > 12)
        return {};
    return language == 1 ? QString::fromUtf8(kRussianMonths[month - 1])
                         : QLatin1String(kEnglishMonths[month - 1]);
}

QString windowTitle(qint16 language, const QDate& today, const QString& weekday) {
    const QString CurrentMonth = Month_Name(language, today.month());
    const QString day = QString::number(today.day());
    const QString year = QString::number(today.year());
    QString title = QStringLiteral("Amberfields       ") + kProductName + QLatin1Char(' ') +
                    kProductVersion + QStringLiteral("               ");
    if (language == 1)
        title += QStringLiteral("Сегодня: ") + day + QStringLiteral("  ") + CurrentMonth +
                 QStringLiteral("  ") + year + QStringLiteral(" года  ") + weekday;
    else
        title += QStringLiteral("Today: ") + CurrentMonth + day + QStringLiteral(",  ") + year;
    return title;
}
