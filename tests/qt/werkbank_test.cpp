// The port list's tooltips in the window (fake sysfs tree around the
// simulator's terminal), "Protokoll speichern …" of the log pane, and the
// pane's queued lines against message boxes.
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/log_speichern.h"
#include "app/qt_dialogs.h"
#include "common/schnittstellen_info.h"
#include "support/konsole.h"
#include "support/crlf_lines.h"

namespace fs = std::filesystem;

namespace {

// The pane's document as it stands, whatever is still queued for it.
std::vector<std::string> ImDokument(QPlainTextEdit* pane) {
    std::vector<std::string> zeilen;
    for (QTextBlock b = pane->document()->begin(); b.isValid(); b = b.next())
        zeilen.push_back(b.text().toStdString());
    return zeilen;
}

// The moment a message box shows, what the pane holds; then closes it.
class BoxBeobachter : public QObject {
public:
    explicit BoxBeobachter(QPlainTextEdit* pane) : pane_(pane) { qApp->installEventFilter(this); }
    std::vector<std::vector<std::string>> beimZeigen;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        auto* box = qobject_cast<QMessageBox*>(o);
        if (box && e->type() == QEvent::Show) {
            beimZeigen.push_back(ImDokument(pane_));
            QMetaObject::invokeMethod(box, &QDialog::accept, Qt::QueuedConnection);
        }
        return false;
    }

private:
    QPlainTextEdit* pane_;
};

}  // namespace

class Werkbank : public QObject {
    Q_OBJECT
private slots:
    void tooltipNenntGeraetAdapterUndById();
    void protokollSpeichernAlsTextUndHtml();
    void boxErstNachIhrerZeile();
    void speichernNimmtWartendeZeilenMit();
};

void Werkbank::tooltipNenntGeraetAdapterUndById() {
    TempDir baum;
    Konsole k({{}, 1, {}, false});
    const std::string pts = k.Sim().DevicePath();
    // The simulator's terminal dressed up as a USB adapter.
    const std::string usb = baum.File("sys/devices/usb1/1-4");
    fs::create_directories(usb + "/1-4:1.0");
    for (const auto& [datei, text] : {std::pair{"idVendor", "0403"}, std::pair{"manufacturer", "FTDI"},
                                      std::pair{"product", "FT232R USB UART"}, std::pair{"serial", "A5"}})
        std::ofstream(usb + "/" + datei) << text << "\n";
    const std::string tty = baum.File("sys/class/tty/" + fs::path(pts).filename().string());
    fs::create_directories(tty);
    fs::create_directory_symlink(usb + "/1-4:1.0", tty + "/device");
    fs::create_directories(baum.File("by-id"));
    fs::create_symlink(pts, baum.File("by-id/usb-FTDI_FT232R_USB_UART_A5-if00-port0"));
    SchnittstellenInfo::Wurzeln_setzen({baum.File("sys"), baum.File("by-id")});
    k.Anzeigen();
    SchnittstellenInfo::Wurzeln_setzen({});
    QComboBox* liste = k.Form().Seriell_ComboBox;
    QCOMPARE(liste->count(), 1);
    QCOMPARE(liste->itemText(0), QString("COM1"));
    const std::string text = pts + "\nHersteller: FTDI\nProdukt: FT232R USB UART\nSeriennummer: A5\n" +
                             baum.File("by-id/usb-FTDI_FT232R_USB_UART_A5-if00-port0");
    QCOMPARE(liste->itemData(0, Qt::ToolTipRole).toString().toStdString(), text);
    QCOMPARE(liste->toolTip().toStdString(), text);  // the closed box too
}

void Werkbank::protokollSpeichernAlsTextUndHtml() {
    Konsole k;
    k.Klick(k.Form().Statusabfrage_Button);  // a request, a reply and control characters
    k.Leerlauf();
    const auto zeilen = k.Zeilen();
    const auto farben = k.Farben();
    QVERIFY(zeilen.size() >= 3);
    auto* speichern = k.Form().RichEdit->findChild<LogSpeichern*>();
    QVERIFY(speichern);
    std::unique_ptr<QMenu> menue(speichern->Menue({0, 0}));
    QVERIFY(menue->actions().size() > 2);  // the pane's own entries stay
    QCOMPARE(menue->actions().last()->text(), QString::fromUtf8("Protokoll speichern …"));

    const QString text = QString::fromStdString(k.Ordner().File("protokoll.txt"));
    const QString html = QString::fromStdString(k.Ordner().File("protokoll.html"));
    QVERIFY(speichern->Speichern(text, false));
    QVERIFY(speichern->Speichern(html, true));
    std::string erwartet;
    for (const auto& z : zeilen) erwartet += z + "\n";
    QCOMPARE(Lesen(text.toStdString()), erwartet);
    const QString seite = QString::fromStdString(Lesen(html.toStdString()));
    for (size_t i = 0; i < zeilen.size(); ++i) {
        const QString zeile = QString("<span style=\"color:%1\">%2</span>\n")
                                  .arg(farben[i].name(), QString::fromStdString(zeilen[i]).toHtmlEscaped());
        QVERIFY2(seite.contains(zeile), qPrintable(zeile));
    }
    QVERIFY(seite.contains("&lt;CR&gt;"));
    QCOMPARE(k.Zeilen(), zeilen);  // the pane itself is left as it was
    QVERIFY(!speichern->Speichern(QString::fromStdString(k.Ordner().File("fehlt/protokoll.txt")), false));
}

// A box never shows while the line that explains it is still queued: from
// the worker ("Startgeschwindigkeit") and from the window's own thread
// (version query), through the real message box.
void Werkbank::boxErstNachIhrerZeile() {
    const struct {
        const char* knopf;
        std::string anfrage;
    } faelle[] = {{"Startgeschw_Button", "#S200<CR>"}, {"Versionsabfrage_Button", "@V<CR>"}};
    for (const auto& fall : faelle) {
        Konsole k;
        QtDialogs echt(k.Form().Bruecke());
        SetDialogs(&echt);
        BoxBeobachter beobachter(k.Form().RichEdit);
        k.Sim().SetSilent(true);
        k.Klick(k.Form().findChild<QAbstractButton*>(fall.knopf));
        QVERIFY(k.Leerlauf());
        SetDialogs(&k.Dialoge());
        QCOMPARE(beobachter.beimZeigen.size(), size_t(1));
        const auto& zeilen = beobachter.beimZeigen[0];
        QVERIFY2(zeilen.size() == 2 && zeilen[0] == fall.anfrage, fall.knopf);
    }
}

// Saved straight after an exchange, before the pane's next frame: the
// file holds the lines still queued for it.
void Werkbank::speichernNimmtWartendeZeilenMit() {
    Konsole k;
    k.Form().Statusabfrage_ButtonClick();
    auto* speichern = k.Form().RichEdit->findChild<LogSpeichern*>();
    const QString text = QString::fromStdString(k.Ordner().File("protokoll.txt"));
    QVERIFY(speichern->Speichern(text, false));
    const auto zeilen = k.Zeilen();
    QVERIFY(zeilen.size() >= 2);
    QCOMPARE(zeilen[zeilen.size() - 2], std::string("@X<CR>"));
    std::string erwartet;
    for (const auto& z : zeilen) erwartet += z + "\n";
    QCOMPARE(Lesen(text.toStdString()), erwartet);
}

QTEST_MAIN(Werkbank)
#include "werkbank_test.moc"
