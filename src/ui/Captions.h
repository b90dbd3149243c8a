#pragma once

#include <QDate>
#include <QString>

// The captions that follow the interface language. Controls of the two channels that share a
// caption are named by Terminal 1's control.
struct CaptionSet {
    QString mnu_File, mnu_Exit, mnu_Setting, mnu_lanq;
    QString Frame1, Frame2, Frame5, Label1_0, Command1;
    QString Check3, Check5, Check9, Command3, Command4, Command8;
    // Our own: the capture's menu item and the mark beside the menu while it is on; the item
    // opening the timeline window.
    QString captureItem, captureIndicator, timelineItem;
    // Our own: a log's find bar and its context menu.
    QString findItem, findText, findHex, findPrevious, findNext, findClose;
    QString findMatches, findNoMatch; // "%1 of %2"
    QString saveLogItem;
    // Our own: running a chat script on a channel, from its log's menu and from the menu (a
    // submenu naming the two terminals).
    QString runScriptItem, stopScriptItem, runScriptMenu;
};

// The captions of a language (0 English, 1 Russian); nothing for any other value.
const CaptionSet* captionsFor(qint16 language);

// The name of a month (1 to 12) as the window title writes it: Russian in the genitive.
QString Month_Name(qint16 language, int month);

// The dated window title of a language; `weekday` is the system's name of today's weekday.
QString windowTitle(qint16 language, const QDate& today, const QString& weekday);
