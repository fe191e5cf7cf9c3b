#pragma once

// Opens /dev/null on each of the descriptors 0-2 that is closed, so that no
// file opened later (the serial port above all) becomes standard output.
// Call before anything opens a file. False if /dev/null cannot be opened.
bool Standardkanaele_belegen();
