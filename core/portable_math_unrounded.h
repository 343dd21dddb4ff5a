#pragma once

#include "core/portable_math_tables.h"

// The double-double values that portableExp, portableLog, portablePow,
// portableSin and portableCos round, so that their accuracy can be checked
// where the rounded results cannot show it.
namespace portable_math {

// exp(x) = m 2^exponent, m in [1, 2), for |x| <= 745.
DoubleDouble expUnrounded(double x, int& exponent);

// log(x) for finite x > 0.
DoubleDouble logUnrounded(double x);

// pow(x, y) = m 2^exponent for x > 0 and |y log x| <= 745.
DoubleDouble powUnrounded(double x, double y, int& exponent);

// sin(x) and cos(x) for finite x.
DoubleDouble sinUnrounded(double x);
DoubleDouble cosUnrounded(double x);

}  // namespace portable_math
