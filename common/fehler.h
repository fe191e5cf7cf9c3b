#pragma once

#include <cstdint>

// Error codes raised by the link, the command set and the program-memory
// routines. They travel as a plain int thrown by value.
constexpr int32_t COM_PORT_ERROR = 1001;
constexpr int32_t HANDLE_COM_PORT_ERROR = 1002;
constexpr int32_t SEND_REQ_ERROR = 1003;
constexpr int32_t COMMUNICATION_ERROR = 1006;
constexpr int32_t OUT_OF_RANGE = 1007;
constexpr int32_t NAK_ERROR = 1008;
constexpr int32_t ACK_ERROR = 1009;
constexpr int32_t RS_ERROR = 1010;
constexpr int32_t WAIT_ABANDONED_ERROR = 1011;
constexpr int32_t WAIT_TIMEOUT_ERROR = 1012;
constexpr int32_t WAIT_FAILED_ERROR = 1013;
// The controller's reply "E" n BEL becomes this plus n.
constexpr int32_t CONTROLLER_ERROR_BASE = 1020;


// The text of a controller error code ("### default ###" for unknown ones).
const char* Fehlertext_holen(int32_t iFehler);

// The name of a link error code, or null when the code has none.
const char* Fehlername_holen(int32_t iFehler);

// Shows the code's name (or its controller text) in a warning box.
int Fehler_melden(int32_t iFehler, const char* szCaption);
