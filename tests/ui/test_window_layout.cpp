#include "terminal/ChannelView.h"
#include "terminal/PortSettings.h"
#include "terminal/TransmitView.h"
#include "ui/CachedGroupBox.h"
#include "ui/Colours.h"
#include "ui/Form1.h"
#include "ui/Lamp.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>

class WindowLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void init() { m_form = std::make_unique<Form1>(); }
    void cleanup() { m_form.reset(); }
    void everyControlHasItsDesignNameAndKind();
    void everythingInsideAndNothingOverlapsInThePortPanels();
    void everyEntryAndCaptionFitsItsBox();
    void initialStatesAndTheTransmitOptions();
    void settingListsAndWhichAcceptTyping();
    void frontToBackOrder();
    void lampsAndLabelsAreReadableByAccessibilityTools();
    void captionsAndTitleFollowTheLanguage();
    void framesDrawAsStockGroupBoxesThroughEveryChange();
    void onlyPicksAndClicksReachTheTerminal();

private:
    template <class W = QWidget> W* find(const QString& name) const {
        return m_form->findChild<W*>(name);
    }
    std::unique_ptr<Form1> m_form;
};

void WindowLayoutTest::everyControlHasItsDesignNameAndKind() {
    QStringList arrays;
    for (int i = 0; i < 6; ++i) {
        arrays << QStringLiteral("Combo1_%1 Combo2_%1 Shape2_%1 Shape4_%1").arg(i);
        arrays << QStringLiteral("Label3_%1 Label6_%1 Label1_%2 Label5_%1").arg(i).arg(i + 1);
    }
    const QList<QPair<const char*, QString>> kinds = {
        {"QGroupBox", "Frame1 Frame2 Frame3 Frame5 Frame6"},
        {"QLineEdit", "Text1 Text3 Text4 Text5 Text7 Text8 Text9 Text10"},
        {"LogView", "Text2 Text6"},
        {"QPushButton", "Command1 Command2 Command3 Command4 Command5 Command6 Command7 Command8 "
                        "Command9 Command10 Command11"},
        {"QCheckBox", "Check1 Check2 Check3 Check4 Check5 Check6 Check7 Check8 Check9 Check10"},
        {"QRadioButton", "Option3 Option4"},
        {"QLabel", "Label1_0 Label2 Label4 Label7 Label8 Label9"},
        {"QMenu", "mnu_File mnu_lanq"},
        {"QAction", "mnu_Exit mnu_Setting mnu_rus mnu_eng"},
        {"QObject", arrays.join(QLatin1Char(' '))},
    };
    for (const auto& [kind, names] : kinds) {
        for (const QString& n : names.split(QLatin1Char(' '))) {
            QObject* o = m_form->findChild<QObject*>(n);
            QVERIFY2(o && o->inherits(kind), qPrintable(n));
        }
    }
    QVERIFY(find<Lamp>("Shape4_5") && find<QComboBox>("Combo2_5"));
    QCOMPARE(find("Text1")->parent(), find("Frame1"));
    QCOMPARE(find("Combo2_3")->parent(), find("Frame6"));
    QCOMPARE(find("Frame6")->parent(), find("Frame5"));
    QCOMPARE(find("Command5")->parent(), m_form->centralWidget());
}

void WindowLayoutTest::everythingInsideAndNothingOverlapsInThePortPanels() {
    // Every control lies inside the window, and inside its frame or panel (a drop-down list
    // is a window of its own).
    for (QWidget* w : m_form->centralWidget()->findChildren<QWidget*>()) {
        if (w->window() == m_form.get())
            QVERIFY2(w->parentWidget()->rect().contains(w->geometry()),
                     qPrintable(w->objectName()));
    }
    const int mark = m_form->style()->pixelMetric(QStyle::PM_IndicatorWidth);
    for (const char* panel : {"Frame3", "Frame6"}) {
        const QList<QWidget*> items =
            find(panel)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* a : items) {
            for (QWidget* b : items) {
                const QString pair = a->objectName() + QLatin1Char('/') + b->objectName();
                QVERIFY2(a == b || !a->geometry().intersects(b->geometry()), qPrintable(pair));
            }
            // A check box smaller than its check mark cuts the mark off.
            if (qobject_cast<QCheckBox*>(a))
                QVERIFY2(a->width() >= mark && a->height() >= mark, qPrintable(a->objectName()));
        }
    }
}

void WindowLayoutTest::everyEntryAndCaptionFitsItsBox() {
    m_form->Lang_Setting(1, QDateTime::currentDateTime()); // the longer folder caption
    const auto fits = [](const QWidget* w, const QString& text, int room) {
        return QFontMetrics(w->font()).horizontalAdvance(text) <= room;
    };
    QList<QLabel*> labels = {find<QLabel>("Label1_0")};
    for (const char* panel : {"Frame3", "Frame6"}) {
        labels += find(panel)->findChildren<QLabel*>();
        for (auto* box : find(panel)->findChildren<QComboBox*>()) {
            QStyleOptionComboBox option;
            option.initFrom(box);
            option.editable = box->isEditable();
            // The box's label, and its line edit, keep a pixel clear on either side of the text.
            const int room = box->style()
                                 ->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, box)
                                 .width() -
                             2;
            for (int i = 0; i < box->count(); ++i)
                QVERIFY2(fits(box, box->itemText(i), room),
                         qPrintable(box->objectName() + QLatin1Char(' ') + box->itemText(i)));
        }
    }
    for (auto* label : labels)
        QVERIFY2(fits(label, label->text(), label->contentsRect().width()),
                 qPrintable(label->objectName()));
}

void WindowLayoutTest::initialStatesAndTheTransmitOptions() {
    QCOMPARE(find<QLineEdit>("Text3")->text(), QStringLiteral("13"));
    QCOMPARE(find<QLineEdit>("Text9")->text(), QStringLiteral("255"));
    QVERIFY(!(find("Text10")->focusPolicy() & Qt::TabFocus));
    for (const char* on : {"Check2", "Check3", "Check4", "Check7"})
        QVERIFY2(find<QCheckBox>(on)->isChecked(), on);
    for (const char* off : {"Check1", "Check5", "Check6", "Check8", "Check9", "Check10"})
        QVERIFY2(!find<QCheckBox>(off)->isChecked(), off);
    for (const char* hidden : {"Frame1", "Label4", "Option3", "Option4"})
        QVERIFY2(find(hidden)->isHidden(), hidden);
    QVERIFY(!find("Command5")->isHidden() && !find("Command2")->isHidden());
    QCOMPARE(find<Lamp>("Shape1")->fillColor(), kRed);
    QCOMPARE(find<Lamp>("Shape4_0")->fillColor(), kOff);
    QCOMPARE(find("Frame2")->palette().color(QPalette::Window), QColor(192, 255, 192));
    QCOMPARE(find("Label9")->palette().color(QPalette::Window), QColor(255, 255, 192));
    QVERIFY(find("Frame6")->palette().color(QPalette::Window) != QColor(255, 255, 192));

    // Menu bar in its own captions, left to right; "Настройки" is a command itself.
    auto* setting = m_form->findChild<QAction*>("mnu_Setting");
    auto* languages = find<QMenu>("mnu_lanq");
    const QList<QAction*> bar = m_form->menuBar()->actions();
    QCOMPARE(bar, (QList<QAction*>{find<QMenu>("mnu_File")->menuAction(), setting,
                                   languages->menuAction()}));
    QCOMPARE(setting->text(), QStringLiteral("Настройки"));
    QCOMPARE(languages->actions(), (QList<QAction*>{m_form->findChild<QAction*>("mnu_rus"),
                                                    m_form->findChild<QAction*>("mnu_eng")}));
    QVERIFY(m_form->windowIcon().availableSizes().contains(QSize(256, 256)));

    // The transmit options, hidden until transmit mode, answer from their buttons.
    TransmitView& strip = m_form->transmitView();
    strip.showTransmitMode(true);
    QVERIFY(strip.option4Selected() && !strip.option3Selected());
    find<QRadioButton>("Option3")->click();
    QVERIFY(strip.option3Selected() && !strip.option4Selected());
    find<QRadioButton>("Option4")->click();
    QVERIFY(strip.option4Selected() && !strip.option3Selected());
}

void WindowLayoutTest::settingListsAndWhichAcceptTyping() {
    const QStringList lists = {
        "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16",
        "110 300 600 1200 2400 4800 9600 14400 19200 28800 38400 57600 115200",
        "n e o s m",
        "5 6 7 8",
        "1 2",
        "0 1 2 3"};
    const QString editable[2] = {"110000", "001000"};
    for (int c = 0; c < 2; ++c) {
        for (int f = 0; f < 6; ++f) {
            auto* box = find<QComboBox>(QStringLiteral("Combo%1_%2").arg(c + 1).arg(f));
            QStringList items;
            for (int i = 0; i < box->count(); ++i)
                items << box->itemText(i);
            QCOMPARE(items.join(QLatin1Char(' ')), lists[f]);
            QCOMPARE(box->isEditable(), editable[c][f] == QLatin1Char('1'));
        }
    }
}

void WindowLayoutTest::frontToBackOrder() {
    QWidget* client = m_form->centralWidget();
    const auto topAt = [client](QPoint p) {
        QWidget* w = client->childAt(p);
        while (w && w->parentWidget() != client)
            w = w->parentWidget();
        return w ? w->objectName() : QString();
    };
    QCOMPARE(topAt(QPoint(400, 340)), QStringLiteral("Command5"));
    find("Command5")->hide();
    QCOMPARE(topAt(QPoint(400, 340)), QStringLiteral("Command2"));
    QCOMPARE(topAt(QPoint(300, 150)), QStringLiteral("Frame2"));
    find("Frame1")->show();
    QCOMPARE(topAt(QPoint(300, 150)), QStringLiteral("Frame1"));
}

void WindowLayoutTest::lampsAndLabelsAreReadableByAccessibilityTools() {
    Lamp* cts = find<Lamp>("Shape2_2");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(cts);
    QCOMPARE(a->role(), QAccessible::Indicator);
    QCOMPARE(a->text(QAccessible::Name), QStringLiteral("CTS"));
    QCOMPARE(a->text(QAccessible::Value), QStringLiteral("off"));
    QVERIFY(!a->state().checked);
    cts->setFillColor(kGreen);
    QCOMPARE(a->text(QAccessible::Value), QStringLiteral("on (green)"));
    QVERIFY(a->state().checked);
    // Controls without a visible caption still have a name.
    for (const char* unnamed : {"Check6", "Combo2_1", "Command5", "Shape1"}) {
        QAccessibleInterface* i = QAccessible::queryAccessibleInterface(find(unnamed));
        QVERIFY2(!i->text(QAccessible::Name).isEmpty(), unnamed);
    }
    // A label is read as what it shows, a line lamp as the line name beside it.
    m_form->channelView(0).setInfoLine(QStringLiteral("DEC=65 HEX=41 CHAR=A"));
    m_form->channelView(1).setInfoLine(QStringLiteral("DEC=97 HEX=61 CHAR=a"));
    m_form->channelView(1).setPortSummary(QStringLiteral("COM2 9600,n,8,1 comNone"));
    const auto name = [](QWidget* w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    for (QLabel* label : m_form->findChildren<QLabel*>())
        QVERIFY2(name(label) == label->text(), qPrintable(label->objectName()));
    for (const QString lamp : {"Shape2_%1 Label3_%1", "Shape4_%1 Label6_%1"}) {
        for (int i = 0; i < 6; ++i) {
            const QStringList pair = lamp.arg(i).split(QLatin1Char(' '));
            QCOMPARE(name(find(pair[0])), find<QLabel>(pair[1])->text());
        }
    }
}

void WindowLayoutTest::captionsAndTitleFollowTheLanguage() {
    const QDateTime day(QDate(2026, 12, 5), QTime(9, 0));
    const auto caption = [this](const char* name) {
        QWidget* w = find(QLatin1String(name));
        if (auto* box = qobject_cast<QGroupBox*>(w))
            return box->title();
        return w->property("text").toString();
    };

    // Anything but English or Russian leaves the captions and title as built.
    m_form->Lang_Setting(7, day);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Amberfields"));
    QCOMPARE(caption("Frame2"), QStringLiteral("Terminal"));
    QCOMPARE(caption("Command1"), QStringLiteral("Изменить"));

    m_form->Lang_Setting(0, day);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Amberfields       Duplink v.2.1               "
                                                   "Today: December5,  2026"));
    QCOMPARE(caption("Frame5"), QStringLiteral("Terminal 2"));
    QCOMPARE(caption("Check4"), QStringLiteral("Character code command to complete"));
    QCOMPARE(find<QMenu>("mnu_File")->title(), QStringLiteral("Menu"));

    m_form->Lang_Setting(1, day);
    const QString weekday = QLocale::system().dayName(6, QLocale::LongFormat); // a Saturday
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Amberfields       Duplink v.2.1               "
                                                   "Сегодня: 5  Декабря  2026 года  ") +
                                        weekday);
    QCOMPARE(caption("Frame2"), QStringLiteral("Терминал 1"));
    QCOMPARE(caption("Check8"), QStringLiteral("Отображать вводимые данные."));
    QCOMPARE(find("searchNext")->accessibleName(), QStringLiteral("Следующее совпадение"));
    QCOMPARE(m_form->findChild<QAction*>("mnu_Setting")->text(), QStringLiteral("Настройка"));
    // Texts that are the same in both languages stay.
    QCOMPARE(caption("Label4"), QStringLiteral("Transmit Port 2 to Port 1"));
    QCOMPARE(caption("Frame3"), QStringLiteral("Port1"));
}

void WindowLayoutTest::framesDrawAsStockGroupBoxesThroughEveryChange() {
    // The frames keep their drawing between repaints; whatever changes, they look exactly as a
    // stock group box would, never as they looked before.
    CachedGroupBox kept(QStringLiteral("Terminal 1"));
    QGroupBox stock(QStringLiteral("Terminal 1"));
    const QList<std::function<void(QGroupBox&)>> changes = {
        [](QGroupBox&) {},
        [](QGroupBox& box) { box.setTitle(QStringLiteral("Terminal 1: U.S. Robotics 56K")); },
        [](QGroupBox& box) { box.resize(box.width() + 40, box.height() - 20); },
        [](QGroupBox& box) { box.setEnabled(false); },
        [](QGroupBox& box) {
            QPalette pal = box.palette();
            pal.setColor(QPalette::Window, kTerminal2Background);
            box.setPalette(pal);
        },
        [](QGroupBox& box) { box.setFont(QFont(box.font().family(), 14, QFont::Bold)); },
        [](QGroupBox& box) { box.setCheckable(true); },
        [](QGroupBox& box) { box.setChecked(false); },
    };
    for (QGroupBox* box : {static_cast<QGroupBox*>(&kept), &stock}) {
        box->resize(400, 200);
        QPalette pal = box->palette();
        pal.setColor(QPalette::Window, kTerminal1Background);
        box->setPalette(pal);
        box->setAutoFillBackground(true);
    }
    for (int i = 0; i < changes.size(); ++i) {
        changes[i](kept);
        changes[i](stock);
        const QImage stockDrawn = stock.grab().toImage();
        const QImage drawn = kept.grab().toImage();
        QCOMPARE(drawn, kept.grab().toImage()); // drawn again from what it keeps
        QVERIFY2(drawn == stockDrawn, qPrintable(QString::number(i)));
    }
}

void WindowLayoutTest::onlyPicksAndClicksReachTheTerminal() {
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    ChannelView& terminal1 = m_form->channelView(0);
    QSignalSpy picks(&terminal1, &ChannelView::settingPicked);

    // Typing a speed, even one of the list, and leaving the box is no pick; the text is kept as
    // typed and never joins the list.
    auto* speed = find<QComboBox>("Combo1_1");
    for (const QString typed : {"250000", "115200"}) {
        speed->setFocus();
        speed->lineEdit()->selectAll();
        QTest::keyClicks(speed, typed);
        QTest::keyClick(speed, Qt::Key_Return);
        QTest::keyClick(speed, Qt::Key_Tab);
        QTest::qWait(10);
        QCOMPARE(picks.count(), 0);
        QCOMPARE(terminal1.settingFieldText(FieldSpeed), typed);
        QCOMPARE(speed->count(), 13);
    }

    // Choosing from the list is, by mouse or by keyboard.
    speed->showPopup();
    QAbstractItemView* list = speed->view();
    const QModelIndex entry = list->model()->index(3, 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(entry).center());
    QCOMPARE(picks.count(), 1);
    QCOMPARE(picks[0][0].toInt(), int(FieldSpeed));
    QCOMPARE(terminal1.settingFieldText(FieldSpeed), QStringLiteral("1200"));
    auto* parity = find<QComboBox>("Combo1_2");
    parity->setCurrentIndex(0);
    parity->setFocus();
    QTest::keyClick(parity, Qt::Key_Down);
    QCOMPARE(picks.count(), 2);
    QCOMPARE(terminal1.settingFieldText(FieldParity), QStringLiteral("e"));

    QSignalSpy rts(&m_form->channelView(1), &ChannelView::rtsBoxClicked);
    QSignalSpy dtr(&m_form->channelView(1), &ChannelView::dtrBoxClicked);
    find<QCheckBox>("Check6")->click();
    find<QCheckBox>("Check7")->click();
    QCOMPARE(rts.count(), 1);
    QCOMPARE(dtr.count(), 1);
    QCOMPARE(m_form->channelView(1).rtsBoxValue(), 1);
    QCOMPARE(m_form->channelView(1).dtrBoxValue(), 0);
}

QTEST_MAIN(WindowLayoutTest)
#include "test_window_layout.moc"
