#pragma once

// Sanitizers slow every thread several times over: a check that a reply
// just inside a time limit is taken belongs to the plain build, where the
// limit means what it means on the bench.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kUnterSanitizer = true;
#else
inline constexpr bool kUnterSanitizer = false;
#endif
