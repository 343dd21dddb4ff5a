#pragma once

// exp, log, pow, sin and cos that give the same bits on every platform and C
// library. They are computed from our own tables in double-double arithmetic
// with plain IEEE double operations only (no fused multiply-add, no long
// double, no library calls but the exact sqrt and fabs). Each result is the
// exact value rounded to nearest, ties to even, except where that value lies
// within about 2^-100 of a halfway point (see portable_math.cpp). Special
// values (NaN, infinities, zeros, overflow, subnormal results) follow the C
// standard's rules for the library functions of the same names. They assume
// the default floating-point environment: round to nearest, subnormals kept.
double portableExp(double x);
double portableLog(double x);
double portablePow(double x, double y);
double portableSin(double x);
double portableCos(double x);
