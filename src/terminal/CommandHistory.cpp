#include "CommandHistory.h"

bool CommandHistory::add(const QString& command) {
    m_at = -1;
    m_draft.clear();
    if (command.isEmpty() || (!m_entries.isEmpty() && m_entries.front() == command))
        return false;
    m_entries.prepend(command);
    if (m_entries.size() > kKept)
        m_entries.removeLast();
    return true;
}

std::optional<QString> CommandHistory::older(const QString& shown) {
    if (m_at + 1 >= m_entries.size())
        return std::nullopt;
    if (m_at < 0)
        m_draft = shown;
    return m_entries[++m_at];
}

std::optional<QString> CommandHistory::newer() {
    if (m_at < 0)
        return std::nullopt;
    --m_at;
    return m_at < 0 ? m_draft : m_entries[m_at];
}

void CommandHistory::restore(const QStringList& newestFirst) {
    m_entries.clear();
    for (auto it = newestFirst.crbegin(); it != newestFirst.crend(); ++it)
        add(*it);
}
