#pragma once

// Runs this program once per display it can get: offscreen, and on a real
// X server (Xvfb on a free display) when one is installed, where painting
// costs what it costs on a desk. Returns the exit status of the runs, or -1
// in a run itself (PELTO_BENCH_ANZEIGE is set), which then does the work.
int AufJederAnzeige(char** argv);
