#pragma once

// Protokoll_schreiben's three flags by name: empty the pane first, show the
// request, show the reply.
namespace pane {
inline constexpr bool kLeeren = true, kBehalten = false;
inline constexpr bool kAnfrage = true, kOhneAnfrage = false;
inline constexpr bool kAntwort = true, kOhneAntwort = false;
}  // namespace pane
