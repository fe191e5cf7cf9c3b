// The window as the system shows it: titles, font and fit of every caption,
// message-box icons and widths, the exit glyph, maximising, and the worker's last
// resort. Checks that need a real X server read back from it and are
// skipped on other platforms.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <new>

#include "app/anwendung.h"
#include "app/pelto_befehle_thread.h"
#include "app/qt_dialogs.h"
#include "app/titel_breite.h"
#include "support/konsole.h"

namespace {

bool AufX() { return QGuiApplication::platformName() == "xcb"; }

// What an X tool prints about a window.
QString XAuskunft(const char* werkzeug, const QWidget* w, const QStringList& weitere) {
    QProcess p;
    p.start(werkzeug, QStringList{"-id", QString::number(w->winId())} + weitere);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// One property of a window as the X server holds it (xprop's value part).
QString XEigenschaft(const QWidget* w, const char* name) {
    const QString zeile = XAuskunft("xprop", w, {name});
    const int i = zeile.indexOf(" = ");
    return i < 0 ? QString() : zeile.mid(i + 3);
}

// A window's width with the frame the window manager put around it: the
// client's own width and the frame's left and right edges; 0 before the
// manager has framed it.
int XRahmenbreite(const QWidget* w) {
    const QStringList rand = XEigenschaft(w, "_NET_FRAME_EXTENTS").split(", ");
    const QRegularExpression breite("^\\s*Width:\\s*(\\d+)$", QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = breite.match(XAuskunft("xwininfo", w, {}));
    if (rand.size() != 4 || !m.hasMatch()) return 0;
    return rand[0].toInt() + m.captured(1).toInt() + rand[1].toInt();
}

QString XTitel(const QWidget* w) { return XEigenschaft(w, "_NET_WM_NAME"); }

// The room a control gives its caption, and the caption's width in its font.
struct Platz {
    int brauchen = 0;
    int haben = 0;
};

Platz KnopfPlatz(QAbstractButton* k) {
    const QFontMetrics fm(k->font());
    int text = fm.horizontalAdvance(k->text());
    if (!k->icon().isNull()) text += k->iconSize().width() + 4;
    QStyleOptionButton opt;
    opt.initFrom(k);
    opt.text = k->text();
    QStyle* s = k->style();
    if (qobject_cast<QCheckBox*>(k))
        return {text, s->subElementRect(QStyle::SE_CheckBoxContents, &opt, k).width()};
    if (qobject_cast<QRadioButton*>(k))
        return {text, s->subElementRect(QStyle::SE_RadioButtonContents, &opt, k).width()};
    if (qobject_cast<QToolButton*>(k)) {
        const int rand = s->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, k);
        return {text, k->width() - 2 * rand};
    }
    return {text, s->subElementRect(QStyle::SE_PushButtonContents, &opt, k).width()};
}

Platz GruppenPlatz(QGroupBox* g) {
    QStyleOptionGroupBox opt;
    opt.initFrom(g);
    opt.text = g->title();
    opt.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const QRect r = g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
    return {QFontMetrics(g->font()).horizontalAdvance(g->title()), g->width() - r.left()};
}

Platz ListenPlatz(QComboBox* c) {
    QStyleOptionComboBox opt;
    opt.initFrom(c);
    opt.editable = c->isEditable();
    const QRect feld = c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
    int breitester = 0;
    for (int i = 0; i < c->count(); ++i)
        breitester = std::max(breitester, QFontMetrics(c->font()).horizontalAdvance(c->itemText(i)));
    // An editable box shows its text in a line edit with a small margin, a
    // fixed one draws it a pixel in from either side.
    return {breitester + (c->isEditable() ? 4 : 2), feld.width()};
}

// Every captioned control: its caption and what it needs and has.
std::vector<std::pair<QWidget*, Platz>> Beschriftungen(QWidget* fenster) {
    std::vector<std::pair<QWidget*, Platz>> alle;
    for (QWidget* w : fenster->findChildren<QWidget*>()) {
        w->ensurePolished();
        if (auto* k = qobject_cast<QAbstractButton*>(w); k && !k->text().isEmpty())
            alle.push_back({w, KnopfPlatz(k)});
        else if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty())
            alle.push_back({w, {QFontMetrics(l->font()).horizontalAdvance(l->text()), l->contentsRect().width()}});
        else if (auto* g = qobject_cast<QGroupBox*>(w); g && !g->title().isEmpty())
            alle.push_back({w, GruppenPlatz(g)});
        else if (auto* c = qobject_cast<QComboBox*>(w); c && c->count() > 0)
            alle.push_back({w, ListenPlatz(c)});
    }
    return alle;
}

}  // namespace

class FensterAnzeige : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Anwendung_einrichten(); }
    void titelOhneZusatz();
    void jedeBeschriftungPasst();
    void meldungenMitWarnsymbol_data();
    void meldungenMitWarnsymbol();
    void beendenHatGlypheMitZweiZustaenden();
    void startetMaximiert();
    void ausnahmeBeendetNurDieRoutine();
};

void FensterAnzeige::titelOhneZusatz() {
    Konsole k({{"/KELO"}, 1, {}, true});
    const QString titel = "Pelto-Befehle   21.01.13    /KELO    ";
    QCOMPARE(k.Form().windowTitle(), titel);
    if (!AufX()) QSKIP("the title the system shows needs X");
    QTRY_COMPARE(XTitel(&k.Form()), '"' + titel + '"');
    // The program's own name belongs to WM_CLASS, not to the title.
    QVERIFY2(XEigenschaft(&k.Form(), "WM_CLASS").endsWith(", \"Pelto-befehle\""),
             qPrintable(XEigenschaft(&k.Form(), "WM_CLASS")));
}

void FensterAnzeige::jedeBeschriftungPasst() {
    Konsole k({{"/KELO", "/UACHSE"}, 1, {}, true});
    QCOMPARE(QFontInfo(k.Form().Beenden_BitBtn->font()).family(), Schriftfamilie());
    QCOMPARE(QFontInfo(k.Form().Beenden_BitBtn->font()).pixelSize(), 13);
    QCOMPARE(QFontInfo(k.Form().Beenden_BitBtn->font()).bold(), true);
    QStringList zuEng;
    const auto alle = Beschriftungen(&k.Form());
    for (const auto& [w, platz] : alle) {
        QCOMPARE(QFontInfo(w->font()).family(), Schriftfamilie());
        if (platz.brauchen > platz.haben)
            zuEng << QString("%1 (%2 > %3)").arg(w->objectName()).arg(platz.brauchen).arg(platz.haben);
    }
    QVERIFY(alle.size() > 80);
    QVERIFY2(zuEng.isEmpty(), qPrintable(zuEng.join(", ")));
}

void FensterAnzeige::meldungenMitWarnsymbol_data() {
    QTest::addColumn<QString>("titel");
    QTest::addColumn<int>("symbol");
    QTest::newRow("Fehler_melden") << "Pelto-Befehle" << int(MessageIcon::Warning);
    QTest::newRow("Datei fehlt") << "Fehler" << int(MessageIcon::Exclamation);
    QTest::newRow("Connect") << "keloCOM->Connect" << int(MessageIcon::Warning);
}

void FensterAnzeige::meldungenMitWarnsymbol() {
    QFETCH(QString, titel);
    QFETCH(int, symbol);
    FensterBruecke bruecke;
    QtDialogs dialoge(bruecke);
    QString gesehenTitel, gesehenText, xTitel;
    QMessageBox::Icon gesehenSymbol = QMessageBox::NoIcon;
    int breite = 0, xBreite = 0;
    QTimer pruefer;
    pruefer.setInterval(20);
    int runden = 0;
    connect(&pruefer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        const bool gerahmt = !AufX() || (!XTitel(box).isEmpty() && XRahmenbreite(box) > 0);
        if (!gerahmt && ++runden < 250) return;
        pruefer.stop();
        gesehenTitel = box->windowTitle();
        gesehenText = box->text();
        gesehenSymbol = box->icon();
        breite = box->width();
        if (AufX()) {
            xTitel = XTitel(box);
            xBreite = XRahmenbreite(box);
        }
        box->accept();
    });
    pruefer.start();
    dialoge.ShowMessage("WAIT_TIMEOUT", titel.toStdString(), MessageIcon(symbol));
    QCOMPARE(gesehenTitel, titel);
    QCOMPARE(gesehenText, QString("WAIT_TIMEOUT"));
    QCOMPARE(gesehenSymbol, QMessageBox::Warning);
    // Wide enough for the whole title beside the frame's buttons, however short the text.
    const int noetig = Titelbreite(titel);
    QVERIFY2(breite >= noetig, qPrintable(QString("%1 < %2").arg(breite).arg(noetig)));
    if (!AufX()) return;
    QCOMPARE(xTitel, '"' + titel + '"');
    QVERIFY2(xBreite >= noetig, qPrintable(QString("frame %1 < %2").arg(xBreite).arg(noetig)));
}

void FensterAnzeige::beendenHatGlypheMitZweiZustaenden() {
    Konsole k({{}, 0, {}, false});
    QPushButton* knopf = k.Form().Beenden_BitBtn;
    QCOMPARE(knopf->text(), QString("Programm beenden"));
    const QIcon glyphe = knopf->icon();
    QVERIFY(!glyphe.isNull());
    const QImage normal = glyphe.pixmap(knopf->iconSize(), QIcon::Normal).toImage();
    const QImage gesperrt = glyphe.pixmap(knopf->iconSize(), QIcon::Disabled).toImage();
    // Drawn in colour when usable, in greys when not, and visible in both.
    auto bunt = [](const QImage& bild) {
        int bunte = 0, deckend = 0;
        for (int y = 0; y < bild.height(); ++y)
            for (int x = 0; x < bild.width(); ++x) {
                const QColor c = bild.pixelColor(x, y);
                deckend += c.alpha() > 128;
                bunte += c.alpha() > 128 && c.hsvSaturation() > 100;
            }
        return std::pair{deckend, bunte};
    };
    QVERIFY(bunt(normal).first > 40);
    QVERIFY(bunt(normal).second > 10);
    QVERIFY(bunt(gesperrt).first > 40);
    QCOMPARE(bunt(gesperrt).second, 0);
}

void FensterAnzeige::startetMaximiert() {
    Konsole k({{}, 1, {}, false});
    TMainForm& f = k.Form();
    std::vector<std::pair<QWidget*, QRect>> entwurf;
    for (QWidget* w : f.centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w != f.Bevel) entwurf.push_back({w, w->geometry()});
    k.Anzeigen();
    QTRY_VERIFY(f.isMaximized());
    // The controls stay where the form puts them.
    for (const auto& [w, ort] : entwurf) QCOMPARE(w->geometry(), ort);
    if (!AufX()) QSKIP("maximising needs a window manager on X");
    const QRect frei = f.screen()->availableGeometry();
    QTRY_COMPARE(f.frameGeometry(), frei);
    const QString zustand = XEigenschaft(&f, "_NET_WM_STATE");
    QVERIFY2(zustand.contains("_NET_WM_STATE_MAXIMIZED_VERT") && zustand.contains("_NET_WM_STATE_MAXIMIZED_HORZ"),
             qPrintable(zustand));
    // The background frame and the status bar follow the client area.
    QCOMPARE(f.Bevel->geometry(), f.centralWidget()->rect());
    QCOMPARE(f.StatusBar->width(), f.width());
    QCOMPARE(f.StatusBar->geometry().bottom(), f.height() - 1);
    QCOMPARE(f.centralWidget()->height() + f.StatusBar->height(), f.height());
    // Restored, it is 964 x 723 with its frame, centred above a 20-pixel task bar.
    f.showNormal();
    const QRect schirm = f.screen()->geometry();
    QTRY_COMPARE(f.frameGeometry(),
                 QRect((schirm.width() - 964) / 2, (schirm.height() - 20 - 723) / 2, 964, 723));
}

void FensterAnzeige::ausnahmeBeendetNurDieRoutine() {
    DialogRecorder dialoge;
    std::vector<int32_t> gelaufen;
    TPelto_befehle_thread arbeiter(false, [&](int32_t n) {
        gelaufen.push_back(n);
        if (n == 1) throw std::bad_alloc();
        if (n == 2) throw int(1012);
        if (n == 3) throw "kein Fehlercode";
    });
    QVERIFY(arbeiter.hEventRun.Wait(5000) == platform::WaitResult::Signalled);
    for (int32_t n : {1, 2, 3, 4}) {
        QVERIFY(arbeiter.hEventIdle.Wait(5000) == platform::WaitResult::Signalled);
        arbeiter.iBefehl = n;
        arbeiter.hEventCmd.Set();
    }
    QVERIFY(arbeiter.hEventIdle.Wait(5000) == platform::WaitResult::Signalled);
    arbeiter.Terminate();
    arbeiter.iBefehl = 0;
    arbeiter.hEventCmd.Set();
    QVERIFY(arbeiter.hEventEnd.Wait(5000) == platform::WaitResult::Signalled);
    QCOMPARE(gelaufen, (std::vector<int32_t>{1, 2, 3, 4, 0}));
    std::vector<std::string> boxen;
    for (const auto& b : dialoge.Boxes()) {
        boxen.push_back(b.caption + ": " + b.text);
        QCOMPARE(b.icon, MessageIcon::Warning);
    }
    QCOMPARE(boxen, (std::vector<std::string>{"Pelto-Befehle: std::bad_alloc", "Pelto-Befehle: WAIT_TIMEOUT",
                                              "Pelto-Befehle: Unbekannte Ausnahme"}));
}

QTEST_MAIN(FensterAnzeige)
#include "fenster_anzeige_test.moc"
