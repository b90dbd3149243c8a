#include "ModemResult.h"

namespace {

struct Form {
    ModemResult::Code code;
    const char* verbose;
    char numeric; // 0 for the two that have no numeric form and always come with a detail
};

constexpr Form forms[] = {
    {ModemResult::Code::Ok, "OK", '0'},
    {ModemResult::Code::Connect, "CONNECT", '1'},
    {ModemResult::Code::Ring, "RING", '2'},
    {ModemResult::Code::NoCarrier, "NO CARRIER", '3'},
    {ModemResult::Code::Error, "ERROR", '4'},
    {ModemResult::Code::NoDialtone, "NO DIALTONE", '6'},
    {ModemResult::Code::Busy, "BUSY", '7'},
    {ModemResult::Code::NoAnswer, "NO ANSWER", '8'},
    {ModemResult::Code::CmeError, "+CME ERROR", 0},
    {ModemResult::Code::CmsError, "+CMS ERROR", 0},
};

const Form& formOf(ModemResult::Code code) {
    for (const Form& form : forms)
        if (form.code == code)
            return form;
    return forms[0];
}

} // namespace

std::optional<ModemResult> ModemResult::fromLine(const QByteArray& line) {
    const QByteArray text = line.trimmed();
    for (const Form& form : forms) {
        const bool numeric = form.numeric && text.size() == 1 && text[0] == form.numeric;
        if (numeric || (form.numeric && text == form.verbose))
            return ModemResult{form.code, {}};
        if (!text.startsWith(form.verbose))
            continue;
        // Only these carry a detail: the speed after a space, the error after a colon.
        const QByteArray rest = text.mid(qsizetype(qstrlen(form.verbose)));
        if (form.code == Code::Connect && rest.startsWith(' '))
            return ModemResult{form.code, QString::fromLatin1(rest.trimmed())};
        if ((form.code == Code::CmeError || form.code == Code::CmsError) && rest.startsWith(':'))
            return ModemResult{form.code, QString::fromLatin1(rest.mid(1).trimmed())};
    }
    return std::nullopt;
}

QString ModemResult::text() const {
    const QString name = QLatin1String(formOf(code).verbose);
    if (detail.isEmpty())
        return name;
    return name + QLatin1String(code == Code::Connect ? " " : ": ") + detail;
}
