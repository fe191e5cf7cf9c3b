#include "common/fehler.h"

#include "common/dialog.h"

const char* Fehlertext_holen(int32_t iFehler) {
    switch (iFehler) {
    case 1021: return "### unbekannter Befehl ###";
    case 1022: return "### ungültige Programm-Nr. ###";
    case 1023: return "### ungültiger FAT-Eintrag ###";
    case 1024: return "### Speicherüberlauf ... ###";
    case 1025: return "### Programm-Nr. bereits vorhanden ###";
    case 1026: return "### ungültiger Parameter ###";
    case 1027: return "### Arbeitsbereich verlassen ###";
    case 1028: return "### max. ProgrammHeader/Befehls-Länge von 256 Bytes überschritten ###";
    case 1119: return "### Encoder-Positions-Fehler ###";
    default: return "### default ###";
    }
}

const char* Fehlername_holen(int32_t iFehler) {
    switch (iFehler) {
    case COM_PORT_ERROR: return "COM_PORT_ERROR";
    case HANDLE_COM_PORT_ERROR: return "HANDLE_COM_PORT_ERROR";
    case SEND_REQ_ERROR: return "SEND_REQ_ERROR";
    case COMMUNICATION_ERROR: return "COMMUNICATION_ERROR";
    case OUT_OF_RANGE: return "OUT_OF_RANGE";
    case NAK_ERROR: return "NAK_ERROR";
    case ACK_ERROR: return "ACK_ERROR";
    case RS_ERROR: return "RS_ERROR";
    case WAIT_ABANDONED_ERROR: return "WAIT_ABANDONED";
    case WAIT_TIMEOUT_ERROR: return "WAIT_TIMEOUT";
    case WAIT_FAILED_ERROR: return "WAIT_FAILED";
    default: return nullptr;
    }
}

int Fehler_melden(int32_t iFehler, const char* szCaption) {
    const char* name = Fehlername_holen(iFehler);
    return ShowMessage(name ? name : Fehlertext_holen(iFehler), szCaption, MessageIcon::Warning);
}
