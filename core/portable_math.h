#pragma once

// exp, log, pow, sin and cos that give the same bits on every platform and C
// library: each result is the correctly rounded value (round to nearest, ties
// to even) of the exact function, computed from our own tables in
// double-double arithmetic with plain IEEE double operations only (no fused
// multiply-add, no long double, no library calls). Special values and edge
// cases (NaN, infinities, zeros, overflow, subnormal results) follow the C
// standard's rules for the library functions of the same names.
double portableExp(double x);
double portableLog(double x);
double portablePow(double x, double y);
double portableSin(double x);
double portableCos(double x);
