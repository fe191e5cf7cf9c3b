#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/aufruf.h"
#include "cli/cli_sink.h"

// Why a file the command would send cannot be sent, or nothing. Checked
// before the link is opened.
std::optional<std::string> Dateien_pruefen(const Aufruf& a);

// Whether an interrupt must stop the axes: moves, waits and reference runs
// (sent as requests), command files and program transfers.
bool Stoppbar(const Aufruf& a);

// Whether the command shows progress on a terminal: the long transfers,
// when the exchange is shown as text.
bool Mit_Fortschritt(const Aufruf& a);

// Opens the link with the window's rules: Init, then the connection check.
// 0, or the error code (reported). A failed check only gives a warning before
// a reset or a stop, which must reach a controller that does not answer it.
int32_t Verbinden(const Aufruf& a, CliSink& s);

// A module test whose link could not be set up still leaves its report:
// one failed step, the connection, with the code.
void Verbindung_berichten(const Aufruf& a, CliSink& s, int32_t iFehler);

// Runs the command on the open link: 0, the error code it reported, or
// kDateiNichtSendbar. Sets the sink's result.
int32_t Befehl_ausfuehren(const Aufruf& a, CliSink& s);
