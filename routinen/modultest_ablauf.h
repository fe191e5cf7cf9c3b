#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "routinen/routinen_sink.h"

// The module test as a whole: the fixed sequence of requests with its
// pauses and waits, its pane lines, its protocol-log headings and its
// failure report. The window's "Modul-Test" and `pelto modultest` run it.

enum class Schrittausgang { Bestanden, Fehlgeschlagen, Uebersprungen };

// One step as it ended: the link's last request and reply (raw), and the
// time of the operation and its wait, without the pause after it.
struct ModultestSchritt {
    int nummer = 0;  // from 1, in the order of the sequence
    std::string name;
    std::string anfrage, antwort;
    double ms = 0;
    Schrittausgang ausgang = Schrittausgang::Uebersprungen;
    int32_t fehler = 0;  // the code a failed step raised
};

// Gets each step as it ends; after a failure every remaining one, skipped.
using ModultestMelder = std::function<void(const ModultestSchritt&)>;

// 0, or the code of the step that failed (reported through `s`). A sink
// that is interrupted ends the test before its next step with ACK_ERROR.
int32_t Modultest_Ablauf(RoutinenSink& s, const ModultestMelder& melden = {});
