#include "core/portable_math.h"

#include "core/portable_math_tables.h"
#include "core/portable_math_unrounded.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

// Every routine reduces its argument with an error far below double-double
// precision, evaluates a Taylor polynomial in double-double arithmetic and
// rounds the double-double result once. The evaluations are accurate to
// about 2^-104 relative (pow: 2^-98 where the result is far from 1), so the
// result is the correctly rounded one unless the exact value lies closer
// than that to a point halfway between two doubles: roughly one argument in
// 2^50 (pow: 2^44), and such an argument still gets the same, nearly
// correct, result everywhere. The build keeps -ffp-contract=off, so no
// multiply-add is ever fused and the operations below run as written on
// every compiler and CPU.

#if defined(__FAST_MATH__)
#error "the portable maths need IEEE arithmetic: build without -ffast-math"
#endif
#if !defined(FLT_EVAL_METHOD) || FLT_EVAL_METHOD != 0
#error "the portable maths need doubles evaluated as doubles (SSE2, not the x87 stack)"
#endif

namespace {

using portable_math::DoubleDouble;
namespace tables = portable_math;

constexpr double Infinity = std::numeric_limits<double>::infinity();
constexpr double NotANumber = std::numeric_limits<double>::quiet_NaN();

uint64_t bitsOf(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

double fromBits(uint64_t bits) {
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// 2^e for -1022 <= e <= 1023.
double powerOfTwo(int e) { return fromBits(static_cast<uint64_t>(e + 1023) << 52); }

// v * 2^e for a result that is normal or overflows; exact when it is normal.
double scaleUp(double v, int e) {
    if (e > 1023)
        return v * powerOfTwo(e - 1023) * powerOfTwo(1023);
    return v * powerOfTwo(e);
}

// The integer nearest to v (ties to even) for |v| < 2^52.
double roundToInteger(double v) {
    const double a = std::fabs(v);
    const double r = (a + 0x1p52) - 0x1p52;
    return v < 0 ? -r : r;
}

bool isInteger(double v) { return std::fabs(v) >= 0x1p52 || roundToInteger(v) == v; }

bool isOddInteger(double v) { return std::fabs(v) < 0x1p53 && isInteger(v) && !isInteger(v * 0.5); }

// Error-free transformations: hi + lo equals the exact sum or product.
DoubleDouble twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

DoubleDouble fastTwoSum(double a, double b) {  // needs |a| >= |b| or a == 0
    const double s = a + b;
    return {s, b - (s - a)};
}

void split(double a, double& hi, double& lo) {
    const double t = 134217729.0 * a;  // 2^27 + 1
    hi = t - (t - a);
    lo = a - hi;
}

DoubleDouble twoProduct(double a, double b) {
    const double p = a * b;
    double ah, al, bh, bl;
    split(a, ah, al);
    split(b, bh, bl);
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

DoubleDouble add(DoubleDouble a, DoubleDouble b) {
    const DoubleDouble s = twoSum(a.hi, b.hi);
    const DoubleDouble t = twoSum(a.lo, b.lo);
    const DoubleDouble u = fastTwoSum(s.hi, s.lo + t.hi);
    return fastTwoSum(u.hi, u.lo + t.lo);
}

DoubleDouble mul(DoubleDouble a, DoubleDouble b) {
    const DoubleDouble p = twoProduct(a.hi, b.hi);
    return fastTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

DoubleDouble mul(DoubleDouble a, double b) {
    const DoubleDouble p = twoProduct(a.hi, b);
    return fastTwoSum(p.hi, p.lo + a.lo * b);
}

DoubleDouble negate(DoubleDouble a) { return {-a.hi, -a.lo}; }

// Horner's scheme: c[n-1] x^(n-1) + ... + c[0].
DoubleDouble polynomial(const DoubleDouble* c, int n, DoubleDouble x) {
    DoubleDouble p = c[n - 1];
    for (int i = n - 2; i >= 0; --i)
        p = add(mul(p, x), c[i]);
    return p;
}

// --- exp -------------------------------------------------------------------

// exp(x) = 2^exponent * m, m in [1, 2).
struct Scaled {
    DoubleDouble m;
    int exponent;
};

// x = k ln2/64 + r with |r| <= ln2/128, for |x.hi| <= 746 (|k| < 2^17).
DoubleDouble reduceExp(DoubleDouble x, int& k) {
    const double kd = roundToInteger(x.hi * 0x1.71547652b82fep+6);  // 64 / ln 2
    k = static_cast<int>(kd);
    // k * Ln2Over64[0] is exact (a 35-bit constant), and so is the difference.
    const double r1 = x.hi - kd * tables::Ln2Over64[0];
    DoubleDouble r = add({r1, 0.0}, negate(twoProduct(kd, tables::Ln2Over64[1])));
    return add(r, twoSum(x.lo, -kd * tables::Ln2Over64[2]));
}

Scaled normalise(DoubleDouble m, int exponent) {
    if (m.hi >= 2.0)
        return {{m.hi * 0.5, m.lo * 0.5}, exponent + 1};
    if (m.hi < 1.0)
        return {{m.hi * 2.0, m.lo * 2.0}, exponent - 1};
    return {m, exponent};
}

Scaled expCore(DoubleDouble x) {
    int k;
    const DoubleDouble r = reduceExp(x, k);
    const DoubleDouble expm1 = mul(polynomial(tables::ExpTaylor + 1, 10, r), r);
    const int j = ((k % 64) + 64) % 64;
    const DoubleDouble t = tables::ExpTable[j];
    return normalise(add(t, mul(t, expm1)), (k - j) / 64);
}

// 2^exponent * m rounded once, also where the result is subnormal.
double roundScaled(Scaled s) {
    if (s.exponent >= -1022)
        return scaleUp(s.m.hi, s.exponent);  // m.hi is m rounded
    // Below 2^-1021 the doubles are the multiples of 2^-1074: round
    // m * 2^(exponent + 1074) to an integer. exponent >= -1078 here.
    const double unit = powerOfTwo(s.exponent + 1074 + 60) * 0x1p-60;
    const double vh = s.m.hi * unit;
    const double vl = s.m.lo * unit;
    double n = roundToInteger(vh);
    const double d = (vh - n) + vl;  // in about [-0.75, 0.75]
    if (d > 0.5)
        n += 1.0;
    else if (d < -0.5)
        n -= 1.0;
    return n * 0x1p-1074;
}

// --- log -------------------------------------------------------------------

// log(x) for finite x > 0. x = 2^e m with m in [sqrt(1/2), sqrt(2)); m c = 1 + r
// exactly in double-double, |r| <= 2^-7, and log x = e ln2 - log c + log(1 + r).
DoubleDouble logCore(double x) {
    uint64_t bits = bitsOf(x);
    int e = 0;
    if (bits < (uint64_t{1} << 52)) {  // subnormal
        bits = bitsOf(x * 0x1p54);
        e = -54;
    }
    e += static_cast<int>(bits >> 52) - 1023;
    const uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
    const int i = static_cast<int>(mantissa >> 45);
    double m = fromBits(mantissa | (uint64_t{1023} << 52));
    if (i >= 53) {
        m *= 0.5;
        e += 1;
    }
    const DoubleDouble p = twoProduct(m, tables::LogRecip[i]);
    const DoubleDouble r = twoSum(p.hi - 1.0, p.lo);  // p.hi - 1 is exact
    const DoubleDouble log1p = mul(polynomial(tables::Log1pTaylor, 15, r), r);
    const double ed = e;  // e ln2 from a 42-bit, a 53-bit and a last part
    DoubleDouble sum = add({ed * tables::Ln2Parts[0], 0.0}, twoProduct(ed, tables::Ln2Parts[1]));
    sum = add(sum, {ed * tables::Ln2Parts[2], 0.0});
    return add(sum, add(tables::LogNegLogRecip[i], log1p));
}

// --- sin and cos -----------------------------------------------------------

// For finite x >= pi/4: x = (4n + q) pi/2 + r with |r| <= pi/4. x 2/pi is
// formed exactly enough in integers: the 53-bit mantissa times a 256-bit
// window of the binary digits of 2/pi, skipping those that only add
// multiples of 4. Even the double nearest a multiple of pi/2 leaves r with
// over 130 correct bits.
int reduceQuarterTurns(double x, DoubleDouble& r) {
    const uint64_t bits = bitsOf(x);
    const int e = static_cast<int>(bits >> 52) - 1023;  // >= -1
    const uint64_t m = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    const int first = e - 53 > 1 ? e - 53 : 1;  // first digit used, counted from 1

    // The window, least significant word first.
    uint32_t window[8];
    for (int w = 0; w < 8; ++w) {
        const int start = first - 1 + 32 * (7 - w);
        const int word = start / 32, shift = start % 32;
        uint32_t v = tables::TwoOverPiBits[word] << shift;
        if (shift != 0)
            v |= tables::TwoOverPiBits[word + 1] >> (32 - shift);
        window[w] = v;
    }
    // product = m * window, 320 bits in 32-bit words.
    uint32_t product[10] = {};
    const uint64_t mWords[2] = {m & 0xffffffffu, m >> 32};
    for (int a = 0; a < 2; ++a) {
        uint64_t carry = 0;
        for (int b = 0; b < 8; ++b) {
            const uint64_t t = mWords[a] * window[b] + product[a + b] + carry;
            product[a + b] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        product[a + 8] = static_cast<uint32_t>(carry);
    }
    // product / 2^fractionBits = x 2/pi modulo 4.
    const int fractionBits = first + 255 - (e - 52);  // 254..309
    auto bit = [&](int n) { return (product[n / 32] >> (n % 32)) & 1u; };
    int q = static_cast<int>(bit(fractionBits) + 2 * bit(fractionBits + 1));
    for (int n = fractionBits; n < 320; ++n)
        product[n / 32] &= ~(uint32_t{1} << (n % 32));
    double sign = 1.0;
    if (bit(fractionBits - 1)) {  // fraction >= 1/2: take fraction - 1
        q += 1;
        sign = -1.0;
        uint64_t carry = 1;
        for (uint32_t& word : product) {
            const uint64_t t = uint64_t{static_cast<uint32_t>(~word)} + carry;
            word = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        for (int n = fractionBits; n < 320; ++n)
            product[n / 32] &= ~(uint32_t{1} << (n % 32));
    }
    // The fraction as a double-double, from its five leading words.
    int top = 9;
    while (top > 0 && product[top] == 0)
        --top;
    DoubleDouble f{0.0, 0.0};
    for (int w = top; w >= 0 && w > top - 5; --w)
        f = add(f, {static_cast<double>(product[w]) * powerOfTwo(32 * w - fractionBits), 0.0});
    r = mul(f, tables::HalfPi);
    r = {sign * r.hi, sign * r.lo};
    return q & 3;
}

DoubleDouble sinPolynomial(DoubleDouble r) { return mul(polynomial(tables::SinTaylor, 14, mul(r, r)), r); }

DoubleDouble cosPolynomial(DoubleDouble r) { return polynomial(tables::CosTaylor, 14, mul(r, r)); }

// sin(x) (cosine = false) or cos(x) as a double-double, for finite x.
DoubleDouble sinCosCore(double x, bool cosine) {
    const double ax = std::fabs(x);
    DoubleDouble r{ax, 0.0};
    int q = 0;
    if (ax > 0x1.921fb54442d18p-1)  // pi/4
        q = reduceQuarterTurns(ax, r);
    if (cosine)
        q += 1;  // cos x = sin(x + pi/2)
    DoubleDouble v = (q & 1) ? cosPolynomial(r) : sinPolynomial(r);
    if (q & 2)
        v = negate(v);
    if (x < 0 && !cosine)
        v = negate(v);
    return v;
}

}  // namespace

namespace portable_math {

DoubleDouble expUnrounded(double x, int& exponent) {
    const Scaled s = expCore({x, 0.0});
    exponent = s.exponent;
    return s.m;
}

DoubleDouble logUnrounded(double x) { return logCore(x); }

DoubleDouble powUnrounded(double x, double y, int& exponent) {
    const Scaled s = expCore(mul(logCore(x), y));
    exponent = s.exponent;
    return s.m;
}

DoubleDouble sinUnrounded(double x) { return sinCosCore(x, false); }

DoubleDouble cosUnrounded(double x) { return sinCosCore(x, true); }

}  // namespace portable_math

double portableExp(double x) {
    if (x != x)
        return x + x;
    if (x > 710.0)
        return Infinity;
    if (x < -746.0)
        return 0.0;
    if (std::fabs(x) < 0x1p-54)
        return 1.0 + x;
    return roundScaled(expCore({x, 0.0}));
}

double portableLog(double x) {
    if (x != x)
        return x + x;
    if (x < 0.0)
        return NotANumber;
    if (x == 0.0)
        return -Infinity;
    if (x == Infinity)
        return x;
    return logCore(x).hi;
}

double portablePow(double x, double y) {
    if (y == 0.0 || x == 1.0)
        return 1.0;
    if (x != x || y != y)
        return x + y;
    const bool yOdd = isOddInteger(y);
    if (std::fabs(y) == Infinity) {
        const double ax = std::fabs(x);
        if (ax == 1.0)
            return 1.0;
        return (ax < 1.0) == (y < 0.0) ? Infinity : 0.0;
    }
    if (x == 0.0)
        return y < 0.0 ? (yOdd ? 1.0 / x : Infinity) : (yOdd ? x : 0.0);
    if (x == -Infinity)
        return y < 0.0 ? (yOdd ? -0.0 : 0.0) : (yOdd ? -Infinity : Infinity);
    if (x == Infinity)
        return y < 0.0 ? 0.0 : Infinity;
    double sign = 1.0;
    if (x < 0.0) {
        if (!isInteger(y))
            return NotANumber;
        if (yOdd)
            sign = -1.0;
        x = -x;
    }
    // Cases a single IEEE operation gives correctly rounded.
    if (y == 1.0)
        return sign * x;
    if (y == -1.0)
        return sign / x;
    if (y == 2.0)
        return x * x;
    if (y == 0.5)
        return std::sqrt(x);
    // A power of two to a power that makes it one again is exact; this also
    // settles results exactly halfway to the smallest subnormal.
    const uint64_t xBits = bitsOf(x);
    if ((xBits & ((uint64_t{1} << 52) - 1)) == 0 && xBits >= (uint64_t{1} << 52)) {
        const DoubleDouble t = twoProduct(y, static_cast<int>(xBits >> 52) - 1023);
        if (t.lo == 0.0 && std::fabs(t.hi) < 4096.0 && isInteger(t.hi)) {
            const int n = static_cast<int>(t.hi);
            if (n > 1023)
                return sign * Infinity;
            if (n < -1074)
                return sign * 0.0;  // 2^-1075 rounds to even, 0
            return sign * (n >= -1022 ? powerOfTwo(n) : powerOfTwo(n + 60) * 0x1p-60);
        }
    }

    const DoubleDouble l = logCore(x);
    const double zh = y * l.hi;
    if (zh > 710.0)
        return sign * Infinity;
    if (zh < -746.0)
        return sign * 0.0;
    return sign * roundScaled(expCore(mul(l, y)));
}

double portableSin(double x) {
    if (std::fabs(x) < 0x1p-26)  // |sin x - x| < ulp(x) / 4; also keeps -0
        return x;
    if (std::fabs(x) == Infinity || x != x)
        return x - x;
    return sinCosCore(x, false).hi;
}

double portableCos(double x) {
    if (std::fabs(x) < 0x1p-27)  // 1 - cos x < ulp(1) / 4
        return 1.0;
    if (std::fabs(x) == Infinity || x != x)
        return x - x;
    return sinCosCore(x, true).hi;
}
