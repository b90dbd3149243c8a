#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The commands sent from one command box, newest first, walked with Up and Down as a shell
// does: what was being typed when the walk began comes back past the newest.
class CommandHistory {
public:
    static constexpr int kKept = 200;

    // A sent command goes in front, unless it is empty (recalling it would only empty the box)
    // or the newest already. True when the history changed. Either way the walk starts over.
    bool add(const QString& command);
    // The next older command, or nothing past the oldest. `shown` is the box's text, kept as
    // the draft when the walk begins with it.
    std::optional<QString> older(const QString& shown);
    // The next newer command, or the draft past the newest; nothing when no walk is under way.
    std::optional<QString> newer();

    const QStringList& entries() const { return m_entries; } // newest first
    // Commands read back, newest first, kept under the same rules as sent ones.
    void restore(const QStringList& newestFirst);

private:
    QStringList m_entries;
    int m_at = -1; // the entry shown, or -1 for the draft
    QString m_draft;
};
