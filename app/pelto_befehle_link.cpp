// First activation of the window and the link set-up.
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSignalBlocker>

#include <cstdint>
#include <cstdio>

#include "app/log_pane.h"
#include "app/port_waechter.h"
#include "app/pelto_befehle_main.h"
#include "app/radio_group.h"
#include "common/fehler.h"
#include "common/protokolldatei.h"
#include "common/rechte_hinweis.h"
#include "common/schnittstellen.h"
#include "common/schnittstellen_info.h"
#include "routinen/zahl_einlesen.h"
#include "link/keloCOMv1.h"
#include "platform/last_error.h"
#include "platform/port_names.h"

namespace {

// The port list as Schnittstellen_suchen sees the combo box.
class ComboListe : public PortListe {
public:
    explicit ComboListe(QComboBox* box) : box_(box) {}
    void Leeren() override {
        box_->clear();
        box_->setEditText(QString());
        box_->setCurrentIndex(-1);
    }
    void Hinzufuegen(const std::string& name) override { box_->addItem(QString::fromStdString(name)); }

private:
    QComboBox* box_;
};

// A typed name must be "COM<n>" with a number that fits its 8 bits:
// "COM257" is no COM1, nor "XYZ1". Inside them the link judges the number;
// past them, or under another name, it is a port that does not exist (or,
// below, no port at all), logged as the link would.
void Portnummer_pruefen(const std::string& port, int32_t iPort, uint32_t iBaud) {
    const bool bComName = port.empty() || QString::fromStdString(port).startsWith("COM", Qt::CaseInsensitive);
    if (bComName && iPort >= INT8_MIN && iPort <= INT8_MAX) return;
    char szZeile[96];
    std::snprintf(szZeile, sizeof szZeile, "keloCOM->Init(%d, %u)", iPort, iBaud);
    Protokolldatei_schreiben(szZeile);
    if (bComName && iPort < 0) throw COM_PORT_ERROR;
    std::snprintf(szZeile, sizeof szZeile, "keloCOM->Init(%d, %u) :: GetLastError()=%u", iPort, iBaud,
                  platform::kErrorFileNotFound);
    Protokolldatei_schreiben(szZeile);
    platform::SetLastError(platform::kErrorFileNotFound);
    throw HANDLE_COM_PORT_ERROR;
}

}  // namespace

void TMainForm::OnActivate() {
    // 964 x 723 is the window with its frame, centred above a 20-pixel task
    // bar; restoring from maximised brings it back there.
    constexpr int kBreite = 964, kHoehe = 723;
    const QSize rahmen = frameGeometry().size() - size();
    resize(kBreite - rahmen.width(), kHoehe - rahmen.height());
    if (const QScreen* s = screen()) {
        const QRect r = s->geometry();
        move((r.width() - kBreite) / 2, (r.height() - 20 - kHoehe) / 2);
    }
    setWindowState(windowState() | Qt::WindowMaximized);
    StandardwerteSetzen();
    statusPanels_[3]->setText("bereit");
    QApplication::processEvents();
    for (QWidget* w : {static_cast<QWidget*>(Encoder1_Panel), static_cast<QWidget*>(Encoder2_Panel),
                       static_cast<QWidget*>(Encoder1_ComboBox), static_cast<QWidget*>(Encoder2_ComboBox),
                       static_cast<QWidget*>(EncoderEinstellung_Button)})
        w->setEnabled(false);
    Baudrate_ComboBox->setCurrentIndex(3);
    QApplication::processEvents();
    PortsAuflisten();
    Seriell_ComboBoxChange();
}

void TMainForm::StandardwerteSetzen() {
    i8Ansteuersignal = i8Schrittbetrieb = i8Ruhestrom = 1;
    iStartgeschw = 200;
    ui16Rampenlaenge = 100;
    iEndgeschw = 500;
    iWartezeitMS = 0;
    i8VektorModus = 0;
    iVektor[0] = 2000;
    iVektor[1] = iVektor[2] = iVektor[3] = 0;
    iRefOffset = 0;
    RadioGroup_SetItemIndex(Ansteuersignal_RadioGroup, i8Ansteuersignal);
    RadioGroup_SetItemIndex(Schrittbetrieb_RadioGroup, i8Schrittbetrieb);
    RadioGroup_SetItemIndex(Ruhestrom_RadioGroup, i8Ruhestrom);
    Ansteuersignal_RadioGroupClick();
    Startgeschw_Edit->setText(QString::number(iStartgeschw));
    Rampenlaenge_Edit->setText(QString::number(ui16Rampenlaenge));
    Endgeschw_Edit->setText(QString::number(iEndgeschw));
    Vektorfahrt_CheckBox->setChecked(true);
    Referenzfahrt_CheckBox->setChecked(true);
    Wartezeit_Edit->setText(QString::number(iWartezeitMS));
    E1Verknuepfung_CheckBox->setChecked(false);
    I2C_CheckBox->setChecked(false);
    RadioGroup_SetItemIndex(Programm_RadioGroup, 0);
    log_->Leeren();
    Eingang_ComboBox->setCurrentIndex(0);
    RadioGroup_SetItemIndex(Positionsabfrage_RadioGroup, 0);
    RadioGroup_SetItemIndex(Vektor_RadioGroup, i8VektorModus);
    QLineEdit* vektor[4] = {VektorX_Edit, VektorY_Edit, VektorZ_Edit, VektorU_Edit};
    for (int i = 0; i < 4; ++i) vektor[i]->setText(QString::number(iVektor[i]));
    RadioGroup_SetItemIndex(Vektor_RadioGroup, 0);
    RefOffset_Edit->setText(QString::number(iRefOffset));
    RefX_CheckBox->setChecked(true);
    for (QCheckBox* box : {RefY_CheckBox, RefZ_CheckBox, RefU_CheckBox}) box->setChecked(false);
}

void TMainForm::PortsAuflisten() {
    PortsFuellen();
    Seriell_ComboBox->setCurrentIndex(bKeloOption ? Seriell_ComboBox->count() - 1 : 0);
    // The closed box tells about the port chosen.
    const auto zeigen = [this] {
        Seriell_ComboBox->setToolTip(Seriell_ComboBox->currentData(Qt::ToolTipRole).toString());
    };
    connect(Seriell_ComboBox, &QComboBox::currentIndexChanged, this, zeigen);
    zeigen();
    // Adapters come and go while the console runs.
    new PortWaechter(Seriell_ComboBox, [this] { PortsAuffrischen(); });
}

void TMainForm::PortsFuellen() {
    ComboListe liste(Seriell_ComboBox);
    Schnittstellen_suchen(&liste, nullptr);
    // The item keeps its "COM<n>"; the tooltip names the device as Linux does.
    for (int i = 0; i < Seriell_ComboBox->count(); ++i) {
        const int n = platform::ComNumberFromName(Seriell_ComboBox->itemText(i).toStdString());
        const std::string text = SchnittstellenInfo::Lesen(platform::ComDevicePath(n)).Text();
        Seriell_ComboBox->setItemData(i, LogPane::Dekodieren(text), Qt::ToolTipRole);
    }
}

// The port chosen stays chosen, even while its adapter is away (so that
// "Ini" finds it again when it is back): a new list never changes the link
// by itself.
void TMainForm::PortsAuffrischen() {
    const QString gewaehlt = Seriell_ComboBox->currentIndex() < 0 ? QString() : Seriell_ComboBox->currentText();
    const QSignalBlocker still(Seriell_ComboBox);
    PortsFuellen();
    int i = Seriell_ComboBox->findText(gewaehlt);
    if (i < 0 && !gewaehlt.isEmpty()) {
        const int n = platform::ComNumberFromName(gewaehlt.toStdString());
        for (i = 0; i < Seriell_ComboBox->count(); ++i)
            if (platform::ComNumberFromName(Seriell_ComboBox->itemText(i).toStdString()) > n) break;
        Seriell_ComboBox->insertItem(i, gewaehlt);
    }
    Seriell_ComboBox->setCurrentIndex(i);
    Seriell_ComboBox->setToolTip(Seriell_ComboBox->currentData(Qt::ToolTipRole).toString());
}

void TMainForm::Seriell_ComboBoxChange() { Befehl_starten(15); }

void TMainForm::ComIni_Befehl() {
    const std::string port = Text(Seriell_ComboBox);
    const int32_t iPort = Zahl_einlesen(port.size() > 3 ? port.substr(3) : std::string());
    try {
        const std::string baud = Text(Baudrate_ComboBox);
        const int32_t iBaud = Zahl_einlesen(baud);
        LogLeeren();
        LogZeile("Initialisierung ...", kGrau);
        Link().UnInit();
        Portnummer_pruefen(port, iPort, static_cast<uint32_t>(iBaud));
        Link().Init(static_cast<int8_t>(iPort), static_cast<uint32_t>(iBaud));
        SetzeText(statusPanels_[1], port);
        Link().Connect();
        LogLeeren();
        LogZeile(port + " " + baud + " ist initialisiert!", kGrau);
        Versionsabfrage_ButtonClick();
        for (QLabel* panel : {Versionsabfrage_Panel, Statusabfrage_Panel, Positionsabfrage_Panel})
            SetzeText(panel, "");
        for (QWidget* p : {Panel1, Panel2, Panel3, Panel4, Panel5, Panel6, Panel8, Panel9, Panel10, Panel11,
                           Panel12, Panel13, Panel14})
            SetzeEnabled(p, true);
    } catch (int& e) {
        // A port the user may not open gets the reason beside the box, and a
        // PELTO_COM<n> that names no serial device is named.
        std::string hinweis;
        if (e == HANDLE_COM_PORT_ERROR) hinweis = Rechte_Hinweis(platform::ComDevicePath(iPort), platform::LastError());
        const std::string umgebung = e == HANDLE_COM_PORT_ERROR ? Umgebungs_Hinweis(iPort)
                                     : e == COM_PORT_ERROR      ? Umgebungs_Hinweise()
                                                                : std::string();
        hinweis += (hinweis.empty() || umgebung.empty() ? "" : " ") + umgebung;
        Befehl_beenden(e, hinweis);
    }
}
