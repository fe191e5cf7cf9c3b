#pragma once

// Runs f and returns the error code it threw (0 if none).
template <typename F>
int Fehler(F&& f) {
    try {
        f();
    } catch (int& e) {
        return e;
    }
    return 0;
}
