#pragma once

#include <cstdint>
#include <string>

// Exit statuses of the tool.
constexpr int kExitOk = 0;
constexpr int kExitController = 1;  // the controller's error reply (1020 + n)
constexpr int kExitLink = 2;        // a link error (1001-1013)
constexpr int kExitDatei = 3;       // a file that cannot be sent
constexpr int kExitNutzung = 64;    // wrong usage; nothing was sent
constexpr int kExitIntern = 70;     // out of memory
constexpr int kExitAusgabe = 74;    // standard output could not be written
constexpr int kExitUnterbrochen = 130;

// The status for a routine's outcome (0, an error code or kDateiNichtSendbar).
int Exitstatus(int32_t iErgebnis);

// "WAIT_TIMEOUT", "E3" for the controller's reply E3 BEL, "FILE_ERROR".
std::string Fehlername(int32_t iErgebnis);

// The name, and the controller's text for its error replies.
std::string Fehlermeldung(int32_t iErgebnis);

// True for the codes of a wait that ended without a reply.
bool Wartefehler(int32_t iFehler);

// 1020 + n for the controller's error reply "E" n BEL (after an "@" on the
// "@" channel), otherwise 0.
int32_t Controllerfehler(const char* szAntwort);
