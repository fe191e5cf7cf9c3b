#include "cli/modultest_bericht.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "cli/exitstatus.h"
#include "cli/json_text.h"
#include "cli/xml_text.h"
#include "common/steuerzeichen.h"

namespace {

std::string Zahl(double wert, const char* format) {
    char text[32];
    std::snprintf(text, sizeof text, format, wert);
    return text;
}

std::string Zweistellig(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

double Summe_ms(const std::vector<ModultestSchritt>& schritte) {
    double ms = 0;
    for (const ModultestSchritt& s : schritte) ms += s.ms;
    return ms;
}

}  // namespace

const char* ModultestBericht::Ausgangsname(Schrittausgang a) {
    return a == Schrittausgang::Bestanden ? "passed" : a == Schrittausgang::Fehlgeschlagen ? "failed" : "skipped";
}

void ModultestBericht::Schritt(const ModultestSchritt& s) {
    schritte_.push_back(s);
    schritte_.back().anfrage = Dargestellt(s.anfrage.c_str());
    schritte_.back().antwort = Dargestellt(s.antwort.c_str());
    aus_.Zeile(art_ == Ausgabe::Json ? Json(schritte_.back()) : Zeile(schritte_.back()));
}

std::string ModultestBericht::Zeile(const ModultestSchritt& s) const {
    std::string z = Zweistellig(s.nummer) + " " + Ausgangsname(s.ausgang) + " " + s.name;
    if (s.ausgang == Schrittausgang::Uebersprungen) return z;
    z += " " + s.anfrage + " -> " + s.antwort + " " + Zahl(s.ms, "%.1f") + " ms";
    return s.fehler ? z + " " + Fehlermeldung(s.fehler) : z;
}

std::string ModultestBericht::Json(const ModultestSchritt& s) const {
    const bool bGelaufen = s.ausgang != Schrittausgang::Uebersprungen;
    std::string o = "{\"step\":" + std::to_string(s.nummer) + ",\"name\":" + JsonText(s.name) +
                    ",\"outcome\":" + JsonText(Ausgangsname(s.ausgang));
    if (bGelaufen)
        o += ",\"request\":" + JsonText(s.anfrage) + ",\"reply\":" + JsonText(s.antwort) + ",\"ms\":" + Zahl(s.ms, "%.1f");
    if (s.fehler) o += ",\"error\":" + JsonText(Fehlername(s.fehler)) + ",\"code\":" + std::to_string(s.fehler);
    return o + "}";
}

std::string ModultestBericht::Testfall(const ModultestSchritt& s) const {
    std::string t = "    <testcase classname=\"pelto.modultest\" name=\"" + XmlText(Zweistellig(s.nummer) + " " + s.name) +
                    "\" time=\"" + Zahl(s.ms / 1000, "%.3f") + "\">\n";
    const std::string austausch = "request: " + s.anfrage + "\nreply: " + s.antwort;
    if (s.ausgang == Schrittausgang::Uebersprungen)
        t += "      <skipped message=\"not run: the test ended before it\"/>\n";
    else if (s.fehler)
        t += "      <failure message=\"" + XmlText(Fehlermeldung(s.fehler)) + "\" type=\"" + XmlText(Fehlername(s.fehler)) +
             "\">" + XmlText(austausch) + "</failure>\n";
    if (s.ausgang != Schrittausgang::Uebersprungen) t += "      <system-out>" + XmlText(austausch) + "</system-out>\n";
    return t + "    </testcase>\n";
}

std::string ModultestBericht::Junit(const std::string& port) const {
    int fehler = 0, uebersprungen = 0;
    for (const ModultestSchritt& s : schritte_) {
        fehler += s.ausgang == Schrittausgang::Fehlgeschlagen;
        uebersprungen += s.ausgang == Schrittausgang::Uebersprungen;
    }
    const std::string zahlen = "tests=\"" + std::to_string(schritte_.size()) + "\" failures=\"" + std::to_string(fehler) +
                               "\" errors=\"0\" skipped=\"" + std::to_string(uebersprungen) + "\" time=\"" +
                               Zahl(Summe_ms(schritte_) / 1000, "%.3f") + "\"";
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites " + zahlen + ">\n";
    x += "  <testsuite name=\"pelto modultest\" " + zahlen + ">\n";
    x += "    <properties>\n      <property name=\"port\" value=\"" + XmlText(port) + "\"/>\n    </properties>\n";
    for (const ModultestSchritt& s : schritte_) x += Testfall(s);
    return x + "  </testsuite>\n</testsuites>\n";
}

std::optional<std::string> ModultestBericht::Junit_pruefen(const std::string& datei) {
    std::error_code ec;
    const bool bDa = std::filesystem::exists(datei, ec);
    const bool bSchreibbar = static_cast<bool>(std::ofstream(datei, std::ios::app));
    if (!bDa) std::filesystem::remove(datei, ec);
    if (bSchreibbar) return std::nullopt;
    return "the JUnit report '" + datei + "' cannot be written";
}

std::optional<std::string> ModultestBericht::Junit_schreiben(const std::string& datei, const std::string& port) const {
    std::ofstream aus(datei, std::ios::binary | std::ios::trunc);
    if (aus) aus << Junit(port);
    if (aus) aus.close();
    if (aus) return std::nullopt;
    return "the JUnit report '" + datei + "' cannot be written: " + std::strerror(errno);
}
