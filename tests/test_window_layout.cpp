#include "ui/Colours.h"
#include "ui/Form1.h"
#include "ui/Lamp.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

class WindowLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyControlHasItsDesignNameAndKind();
    void placesInPixels_data();
    void placesInPixels();
    void initialTextsAndStates();
    void settingListsAndWhichAcceptTyping();
    void frontToBackOrder();
    void fontsAndColours();
    void menuBarInDesignCaptions();
    void timersAndIcon();
    void lampsAreReadableByAccessibilityTools();

private:
    template <class W> W* find(const QString& name) const {
        W* w = m_form->findChild<W*>(name);
        if (!w)
            qWarning("missing %s", qPrintable(name));
        return w;
    }
    std::unique_ptr<Form1> m_form;
};

void WindowLayoutTest::init() {
    m_form = std::make_unique<Form1>();
}

void WindowLayoutTest::cleanup() {
    m_form.reset();
}

void WindowLayoutTest::everyControlHasItsDesignNameAndKind() {
    const auto expect = [this](const char* className, const QStringList& names) {
        for (const QString& n : names) {
            QObject* o = m_form->findChild<QObject*>(n);
            QVERIFY2(o, qPrintable(n));
            QVERIFY2(o->inherits(className),
                     qPrintable(n + QStringLiteral(" is not a ") + QLatin1String(className)));
        }
    };
    QStringList combos, lamps, lineNames, captions;
    for (int i = 0; i < 6; ++i) {
        combos << QStringLiteral("Combo1_%1").arg(i) << QStringLiteral("Combo2_%1").arg(i);
        lamps << QStringLiteral("Shape2_%1").arg(i) << QStringLiteral("Shape4_%1").arg(i);
        lineNames << QStringLiteral("Label3_%1").arg(i) << QStringLiteral("Label6_%1").arg(i);
        captions << QStringLiteral("Label1_%1").arg(i + 1) << QStringLiteral("Label5_%1").arg(i);
    }
    expect("QGroupBox", {"Frame1", "Frame2", "Frame3", "Frame5", "Frame6"});
    expect("QLineEdit", {"Text1", "Text3", "Text4", "Text5", "Text7", "Text8", "Text9", "Text10"});
    expect("QPlainTextEdit", {"Text2", "Text6"});
    expect("QPushButton", {"Command1", "Command2", "Command3", "Command4", "Command5", "Command6",
                           "Command7", "Command8", "Command9", "Command10", "Command11"});
    expect("QCheckBox", {"Check1", "Check2", "Check3", "Check4", "Check5", "Check6", "Check7",
                         "Check8", "Check9", "Check10"});
    expect("QRadioButton", {"Option3", "Option4"});
    expect("QLabel", QStringList{"Label1_0", "Label2", "Label4", "Label7", "Label8", "Label9"} +
                         lineNames + captions);
    expect("QComboBox", combos);
    expect("Lamp", QStringList{"Shape1", "Shape3"} + lamps);
    expect("QTimer", {"Timer1", "Timer2", "Timer3"});
    expect("QMenu", {"mnu_File", "mnu_lanq"});
    expect("QAction", {"mnu_Exit", "mnu_Setting", "mnu_rus", "mnu_eng"});
    QCOMPARE(m_form->objectName(), QStringLiteral("Form1"));

    // Containers as designed.
    QCOMPARE(find<QWidget>("Text1")->parent(), find<QWidget>("Frame1"));
    QCOMPARE(find<QWidget>("Text10")->parent(), find<QWidget>("Frame2"));
    QCOMPARE(find<QWidget>("Combo2_3")->parent(), find<QWidget>("Frame6"));
    QCOMPARE(find<QWidget>("Frame6")->parent(), find<QWidget>("Frame5"));
    QCOMPARE(find<QWidget>("Command5")->parent(), m_form->centralWidget());
    QVERIFY(!m_form->findChild<QWidget*>(QStringLiteral("Text11")));
}

void WindowLayoutTest::placesInPixels_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("pixels");
    // Twips divided by 15.
    QTest::newRow("Frame1") << "Frame1" << QRect(56, 0, 616, 274);
    QTest::newRow("Frame2") << "Frame2" << QRect(6, 9, 817, 302);
    QTest::newRow("Frame5") << "Frame5" << QRect(6, 376, 817, 262);
    QTest::newRow("Command5") << "Command5" << QRect(385, 321, 34, 46);
    QTest::newRow("Command2") << "Command2" << QRect(384, 320, 34, 46);
    QTest::newRow("Option4") << "Option4" << QRect(421, 327, 211, 16);
    QTest::newRow("Label4") << "Label4" << QRect(133, 330, 244, 34);
    QTest::newRow("Text4") << "Text4" << QRect(6, 56, 577, 26);
    QTest::newRow("Text10") << "Text10" << QRect(8, 80, 577, 18);
    QTest::newRow("Text2") << "Text2" << QRect(6, 96, 580, 166);
    QTest::newRow("Text6") << "Text6" << QRect(6, 81, 580, 142);
    QTest::newRow("Frame3") << "Frame3" << QRect(608, 88, 187, 169);
    QTest::newRow("Frame6") << "Frame6" << QRect(597, 81, 187, 169);
    QTest::newRow("Combo1_1") << "Combo1_1" << QRect(47, 37, 63, 21);
    QTest::newRow("Combo1_5") << "Combo1_5" << QRect(61, 123, 49, 21);
    QTest::newRow("Combo2_0") << "Combo2_0" << QRect(63, 12, 46, 21);
    QTest::newRow("Shape1") << "Shape1" << QRect(12, 20, 13, 13);
    QTest::newRow("Shape2_5") << "Shape2_5" << QRect(126, 108, 13, 13);
    QTest::newRow("Shape4_5") << "Shape4_5" << QRect(126, 105, 16, 13);
    QTest::newRow("Label3_5") << "Label3_5" << QRect(144, 105, 37, 13);
    QTest::newRow("Check7") << "Check7" << QRect(111, 33, 16, 16);
    QTest::newRow("Label2") << "Label2" << QRect(12, 147, 163, 13);
    QTest::newRow("Label5_0") << "Label5_0" << QRect(27, 15, 31, 16);
}

void WindowLayoutTest::placesInPixels() {
    QFETCH(QString, name);
    QFETCH(QRect, pixels);
    QWidget* w = find<QWidget>(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), pixels);
}

void WindowLayoutTest::initialTextsAndStates() {
    const auto text = [this](const char* n) {
        return find<QLineEdit>(QLatin1String(n))->text();
    };
    QCOMPARE(text("Text5"), QStringLiteral("13"));
    QCOMPARE(text("Text3"), QStringLiteral("13"));
    QCOMPARE(text("Text8"), QStringLiteral("255"));
    QCOMPARE(text("Text9"), QStringLiteral("255"));
    QCOMPARE(text("Text4"), QStringLiteral("AT"));
    QCOMPARE(text("Text7"), QStringLiteral("AT"));
    QCOMPARE(text("Text10"), QStringLiteral("4154"));
    QCOMPARE(text("Text1"), QString());
    QVERIFY(find<QPlainTextEdit>("Text2")->toPlainText().isEmpty());

    QCOMPARE(find<QPushButton>("Command11")->text(), QStringLiteral("*"));
    QCOMPARE(find<QPushButton>("Command10")->text(), QStringLiteral("*"));
    QCOMPARE(find<QPushButton>("Command3")->text(), QStringLiteral("Run"));
    QCOMPARE(find<QPushButton>("Command9")->text(), QStringLiteral("Insert Char 0-255"));
    QCOMPARE(find<QPushButton>("Command1")->text(), QStringLiteral("Изменить"));
    QCOMPARE(find<QGroupBox>("Frame2")->title(), QStringLiteral("Terminal"));
    QCOMPARE(find<QGroupBox>("Frame3")->title(), QStringLiteral("Port1"));
    QCOMPARE(find<QGroupBox>("Frame6")->title(), QStringLiteral("Port2"));
    QCOMPARE(find<QGroupBox>("Frame1")->title(), QStringLiteral("Настройки программы"));
    QCOMPARE(find<QLabel>("Label1_0")->text(),
             QStringLiteral("Директория для хранения результатов"));
    QCOMPARE(find<QLabel>("Label4")->text(), QStringLiteral("Transmit Port 2 to Port 1"));
    QCOMPARE(find<QRadioButton>("Option3")->text(), QStringLiteral("RTS/DTR = Manual Check"));
    QCOMPARE(find<QRadioButton>("Option4")->text(), QStringLiteral("RTS/DTR = CTS/DSR"));
    QCOMPARE(find<QLabel>("Label2")->text(), QStringLiteral("Label2"));
    QCOMPARE(find<QLabel>("Label7")->text(), QStringLiteral("Label7"));
    QCOMPARE(find<QLabel>("Label8")->text(), QString());

    const QStringList lines = {"RTS", "DTR", "CTS", "DSR", "DCD", "RI"};
    const QStringList fields = {"COM", "bps", "parity", "data", "stop", "control"};
    const int terminal1Caption[6] = {5, 1, 2, 3, 4, 6};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(find<QLabel>(QStringLiteral("Label3_%1").arg(i))->text(), lines[i]);
        QCOMPARE(find<QLabel>(QStringLiteral("Label6_%1").arg(i))->text(), lines[i]);
        QCOMPARE(find<QLabel>(QStringLiteral("Label1_%1").arg(terminal1Caption[i]))->text(),
                 fields[i]);
        QCOMPARE(find<QLabel>(QStringLiteral("Label5_%1").arg(i))->text(), fields[i]);
        QCOMPARE(find<Lamp>(QStringLiteral("Shape2_%1").arg(i))->fillColor(), kOff);
        QCOMPARE(find<Lamp>(QStringLiteral("Shape4_%1").arg(i))->fillColor(), kOff);
    }
    QVERIFY(find<QLabel>("Label1_5")->alignment() & Qt::AlignRight);
    QVERIFY(find<QLabel>("Label5_0")->alignment() & Qt::AlignLeft);
    QVERIFY(find<QLabel>("Label5_1")->alignment() & Qt::AlignRight);
    QCOMPARE(find<Lamp>("Shape1")->fillColor(), kRed);
    QCOMPARE(find<Lamp>("Shape3")->fillColor(), kRed);

    const auto checked = [this](const char* n) {
        return find<QCheckBox>(QLatin1String(n))->isChecked();
    };
    for (const char* on : {"Check2", "Check3", "Check4", "Check7"})
        QVERIFY2(checked(on), on);
    for (const char* off : {"Check1", "Check5", "Check6", "Check8", "Check9", "Check10"})
        QVERIFY2(!checked(off), off);
    QVERIFY(find<QRadioButton>("Option4")->isChecked());
    QVERIFY(!find<QRadioButton>("Option3")->isChecked());

    for (const char* hidden : {"Frame1", "Label4", "Option3", "Option4"})
        QVERIFY2(find<QWidget>(QLatin1String(hidden))->isHidden(), hidden);
    for (const char* shown : {"Command5", "Command2", "Frame2", "Frame5", "Check1", "Check6"})
        QVERIFY2(!find<QWidget>(QLatin1String(shown))->isHidden(), shown);
}

void WindowLayoutTest::settingListsAndWhichAcceptTyping() {
    const QList<QStringList> lists = {
        {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16"},
        {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "28800", "38400",
         "57600", "115200"},
        {"n", "e", "o", "s", "m"},
        {"5", "6", "7", "8"},
        {"1", "2"},
        {"0", "1", "2", "3"}};
    const bool editable[2][6] = {{true, true, false, false, false, false},
                                 {false, false, true, false, false, false}};
    for (int c = 0; c < 2; ++c) {
        for (int f = 0; f < 6; ++f) {
            auto* box = find<QComboBox>(QStringLiteral("Combo%1_%2").arg(c + 1).arg(f));
            QStringList items;
            for (int i = 0; i < box->count(); ++i)
                items << box->itemText(i);
            QCOMPARE(items, lists[f]);
            QCOMPARE(box->isEditable(), editable[c][f]);
        }
    }
    // Typed text is kept as typed and never joins the list.
    auto* speed = find<QComboBox>("Combo1_1");
    speed->lineEdit()->clear();
    QTest::keyClicks(speed, QStringLiteral("250000"));
    QTest::keyClick(speed, Qt::Key_Return);
    QCOMPARE(speed->currentText(), QStringLiteral("250000"));
    QCOMPARE(speed->count(), 13);
    auto* parity = find<QComboBox>("Combo2_2");
    parity->lineEdit()->clear();
    QTest::keyClicks(parity, QStringLiteral("e"));
    QCOMPARE(parity->currentText(), QStringLiteral("e"));
}

void WindowLayoutTest::frontToBackOrder() {
    QWidget* client = m_form->centralWidget();
    const auto topAt = [client](QPoint p) {
        QWidget* w = client->childAt(p);
        while (w && w->parentWidget() != client)
            w = w->parentWidget();
        return w ? w->objectName() : QString();
    };
    // The transmit-on button covers the transmit-off button.
    QCOMPARE(topAt(QPoint(400, 340)), QStringLiteral("Command5"));
    find<QWidget>("Command5")->hide();
    QCOMPARE(topAt(QPoint(400, 340)), QStringLiteral("Command2"));
    // The settings panel, once shown, lies over Terminal 1.
    QCOMPARE(topAt(QPoint(300, 150)), QStringLiteral("Frame2"));
    find<QWidget>("Frame1")->show();
    QCOMPARE(topAt(QPoint(300, 150)), QStringLiteral("Frame1"));
    find<QWidget>("Option4")->show();
    QCOMPARE(topAt(QPoint(500, 335)), QStringLiteral("Option4"));
}

void WindowLayoutTest::fontsAndColours() {
    QCOMPARE(find<QWidget>("Text4")->font().pointSizeF(), 12.0);
    QCOMPARE(find<QWidget>("Text7")->font().pointSizeF(), 8.25);
    QCOMPARE(find<QWidget>("Text4")->font().family(), QStringLiteral("Courier New"));
    QCOMPARE(find<QWidget>("Text10")->font().pointSizeF(), 9.0);
    QCOMPARE(find<QWidget>("Label4")->font().pointSizeF(), 13.5);
    QCOMPARE(find<QWidget>("Label2")->font().pointSizeF(), 9.75);
    QCOMPARE(find<QWidget>("Frame2")->palette().color(QPalette::Window), QColor(192, 255, 192));
    QCOMPARE(find<QWidget>("Frame5")->palette().color(QPalette::Window), QColor(255, 255, 192));
    QCOMPARE(find<QWidget>("Check5")->palette().color(QPalette::Window), QColor(192, 255, 192));
    QCOMPARE(find<QWidget>("Label9")->palette().color(QPalette::Window), QColor(255, 255, 192));
    QCOMPARE(find<QWidget>("Text10")->palette().color(QPalette::Base), QColor(192, 255, 192));
    QCOMPARE(find<QWidget>("Label4")->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    // The port panels keep the platform's colours.
    QVERIFY(find<QWidget>("Frame3")->palette().color(QPalette::Window) != QColor(192, 255, 192));
    QVERIFY(!(find<QWidget>("Text10")->focusPolicy() & Qt::TabFocus));
    QCOMPARE(fromPacked(kGreen), QColor(0, 192, 0));
    QCOMPARE(toPacked(QColor(192, 255, 255)), kOff);
}

void WindowLayoutTest::menuBarInDesignCaptions() {
    const QList<QAction*> bar = m_form->menuBar()->actions();
    QCOMPARE(bar.size(), 3);
    QCOMPARE(bar[0], m_form->mnu_File->menuAction());
    QCOMPARE(bar[1], m_form->mnu_Setting);
    QCOMPARE(bar[2], m_form->mnu_lanq->menuAction());
    QCOMPARE(m_form->mnu_File->title(), QStringLiteral("Меню"));
    QCOMPARE(m_form->mnu_Setting->text(), QStringLiteral("Настройки"));
    QVERIFY(!m_form->mnu_Setting->menu());
    QCOMPARE(m_form->mnu_File->actions(), QList<QAction*>{m_form->mnu_Exit});
    QCOMPARE(m_form->mnu_Exit->text(), QStringLiteral("Выход"));
    QCOMPARE(m_form->mnu_lanq->actions(), (QList<QAction*>{m_form->mnu_rus, m_form->mnu_eng}));
    QCOMPARE(m_form->mnu_rus->text(), QStringLiteral("rus"));
    QCOMPARE(m_form->mnu_eng->text(), QStringLiteral("eng"));
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Amberfields"));
}

void WindowLayoutTest::timersAndIcon() {
    for (const char* name : {"Timer1", "Timer2", "Timer3"}) {
        auto* t = find<QTimer>(QLatin1String(name));
        QCOMPARE(t->interval(), 100);
        QVERIFY(!t->isActive());
    }
    QCOMPARE(m_form->centralWidget()->size(), QSize(831, 658));
    QVERIFY(m_form->windowIcon().availableSizes().contains(QSize(256, 256)));
    for (const char* name : {"Command5", "Command2"}) {
        auto* b = find<QPushButton>(QLatin1String(name));
        QVERIFY(!b->icon().isNull());
        QCOMPARE(b->iconSize(), QSize(27, 40));
        QVERIFY(b->text().isEmpty());
        QVERIFY(!b->accessibleName().isEmpty());
    }
}

void WindowLayoutTest::lampsAreReadableByAccessibilityTools() {
    Lamp* cts = find<Lamp>("Shape2_2");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(cts);
    QVERIFY(a);
    QCOMPARE(a->role(), QAccessible::Indicator);
    QCOMPARE(a->text(QAccessible::Name), QStringLiteral("CTS"));
    QCOMPARE(a->text(QAccessible::Value), QStringLiteral("off"));
    QVERIFY(!a->state().checked);
    cts->setFillColor(kGreen);
    QCOMPARE(a->text(QAccessible::Value), QStringLiteral("on (green)"));
    QVERIFY(a->state().checked);

    QAccessibleInterface* port = QAccessible::queryAccessibleInterface(find<Lamp>("Shape1"));
    QCOMPARE(port->text(QAccessible::Value), QStringLiteral("on (red)"));
    QVERIFY(!port->text(QAccessible::Description).isEmpty());
    QCOMPARE(
        QAccessible::queryAccessibleInterface(find<QCheckBox>("Check6"))->text(QAccessible::Name),
        QStringLiteral("RTS"));
    QCOMPARE(
        QAccessible::queryAccessibleInterface(find<QComboBox>("Combo2_1"))->text(QAccessible::Name),
        QStringLiteral("bps"));
}

QTEST_MAIN(WindowLayoutTest)
#include "test_window_layout.moc"
