#pragma once

#include <optional>
#include <string>
#include <vector>

#include "routinen/modultest_ablauf.h"
#include "cli/ausgabekanal.h"
#include "cli/cli_sink.h"

// The module test's steps as pelto shows them: one line each (text and
// --quiet) or one JSON object each, as they end; and, at the end, a JUnit
// report with one test case per step.
class ModultestBericht {
public:
    ModultestBericht(Ausgabe art, Ausgabekanal& aus) : art_(art), aus_(aus) {}

    void Schritt(const ModultestSchritt& s);
    // The JUnit XML; why it could not be written, or nothing.
    std::optional<std::string> Junit_schreiben(const std::string& datei, const std::string& port) const;

    // Why the report could not be written at the end, or nothing; leaves
    // no file behind that was not there.
    static std::optional<std::string> Junit_pruefen(const std::string& datei);
    // "passed", "failed" or "skipped".
    static const char* Ausgangsname(Schrittausgang a);

private:
    std::string Zeile(const ModultestSchritt& s) const;
    std::string Json(const ModultestSchritt& s) const;
    std::string Testfall(const ModultestSchritt& s) const;
    std::string Junit(const std::string& port) const;

    Ausgabe art_;
    Ausgabekanal& aus_;
    std::vector<ModultestSchritt> schritte_;
};
