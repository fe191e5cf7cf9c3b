#pragma once

// CPU time the whole process has used so far, in seconds: a thread that
// spins shows up here.
double CpuSekunden();
