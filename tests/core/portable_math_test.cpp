#include "core/portable_math.h"
#include "core/portable_math_unrounded.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

namespace {

enum Function { Exp, Log, Pow, Sin, Cos };
const char* const Names[] = {"exp", "log", "pow", "sin", "cos"};

struct Call { Function f; double x, y; };

double ours(const Call& c) {
    double (*const ofOne[])(double) = {portableExp, portableLog, nullptr, portableSin, portableCos};
    return c.f == Pow ? portablePow(c.x, c.y) : ofOne[c.f](c.x);
}

// The C library's function, in double (glibc's own results) or long double (11 more bits, the accuracy reference).
template <typename T> T library(const Call& c) {
    const T x = c.x, y = c.y;
    switch (c.f) {
    case Exp: return std::exp(x);
    case Log: return std::log(x);
    case Pow: return std::pow(x, y);
    case Sin: return std::sin(x);
    default: return std::cos(x);
    }
}

uint64_t bitsOf(double v) { uint64_t b; std::memcpy(&b, &v, sizeof b); return b; }

bool sameBits(double a, double b) { return bitsOf(a) == bitsOf(b) || (a != a && b != b); }

// Every argument the engine and the toolkit hand to these functions, built the way their code builds it.
std::vector<Call> programArguments() {
    std::vector<Call> calls;
    // Slider mappings a (b/a)^t = exp(ln a + t (ln b - ln a)), t = position * 0.01f.
    const double ranges[][2] = {{1, 5}, {16, 48}, {8, 128}, {6, 16}, {2, 200}, {0.1, 0.5}};
    std::vector<float> halfWidths = {1.5f, 2.0f, 3.0f};  // deblur, second pass, drop shadow
    for (const auto& r : ranges) {
        calls.insert(calls.end(), {{Log, r[0], 0}, {Log, r[1], 0}});
        const double la = portableLog(r[0]), lb = portableLog(r[1]);
        for (int32_t v = 0; v <= 100; ++v) {
            const double t = static_cast<float>(v) * 0.01f;
            calls.push_back({Exp, la + t * (lb - la), 0});
            if (r[0] == 1)  // the split radius of each "Noise size"
                halfWidths.push_back(static_cast<float>(std::clamp(portableExp(la + t * (lb - la)), 1.0, 5.0)));
        }
    }
    // Gaussian taps exp(-x^2 / (2 sigma^3)) of every radius above, a little past the first below 0.001 of the centre.
    calls.push_back({Log, 0.5, 0});
    for (float halfWidth : halfWidths) {
        const double sigma = static_cast<float>(halfWidth / std::sqrt(-2.0 * portableLog(0.5)));
        const double cubed = sigma * sigma * sigma;
        for (int32_t i = 0; i < 100; ++i) {
            const double x = static_cast<float>(i);
            calls.push_back({Exp, -(x * x) / (2.0 * cubed), 0});
            if (portableExp(calls.back().x) < 0.0009) break;
        }
    }
    // Sample patterns: scales 2^((s - 4) / 4), angles a pi / 16.
    for (int32_t s = 0; s < 9; ++s) calls.push_back({Pow, 2.0, (s - 4) * 0.25});
    for (int32_t a = 0; a < 32; ++a)
        calls.insert(calls.end(), {{Sin, a * 3.1415927 / 16.0, 0}, {Cos, a * 3.1415927 / 16.0, 0}});
    // Button faces: sin(y pi / height) for every row of faces up to 48 high (the toolkit draws 18, 19, 24 and 30).
    const double pi = static_cast<double>(3.1415927f);
    for (int32_t height = 1; height <= 48; ++height)
        for (int32_t y = 0; y <= height; ++y) calls.push_back({Sin, y * pi / height, 0});
    return calls;
}

// True when v is the double nearest the long double evaluation (11 more bits), with slack for the reference's error.
bool nearest(const Call& c, double v) {
    const long double exact = library<long double>(c);
    if (v != v || exact != exact || std::fabs(v) == std::numeric_limits<double>::infinity())
        return (v != v) == (exact != exact);
    const double neighbour = std::nextafter(v, static_cast<double>(exact));
    const long double slack = std::fabs(static_cast<long double>(neighbour) - v) / 256;
    return std::fabs(v - exact) <= std::fabs(neighbour - exact) + slack;
}

// glibc's long double functions are accurate for all arguments (the x87 instructions MinGW uses lose large angles).
#ifdef __GLIBC__
const bool haveReference = std::numeric_limits<long double>::digits >= 64;
#else
const bool haveReference = false;
#endif

// The FNV-1a hash of our results for the calls, each checked to be the double nearest glibc's long double evaluation
// where that is available.
uint64_t checkedHash(const std::vector<Call>& calls) {
    uint64_t hash = 1469598103934665603u;
    int32_t wrong = 0;
    for (const Call& c : calls) {
        const double v = ours(c);
        for (int32_t i = 0; i < 64; i += 8) hash = (hash ^ ((bitsOf(v) >> i) & 0xff)) * 1099511628211u;
        if (!haveReference) continue;
        if (!nearest(c, v) && ++wrong <= 5)
            ADD_FAILURE() << Names[c.f] << std::hexfloat << "(" << c.x << ", " << c.y << ") = " << v;
    }
    return hash;
}

// The program's arguments give correctly rounded results, the same on every system: the hash, recorded on Linux x86-64,
// matches glibc's results but for the few glibc rounds the other way (which its builds with and without FMA differ on).
TEST(PortableMath, ProgramArgumentsGiveTheSameCorrectlyRoundedResults) {
    EXPECT_EQ(checkedHash(programArguments()), 8719704610521865867u);
}

// Edge arguments with the correctly rounded results (from a 3000-bit evaluation) or the C standard's special values.
TEST(PortableMath, EdgeArguments) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    const double max = std::numeric_limits<double>::max(), tiny = std::numeric_limits<double>::denorm_min();
    const std::pair<Call, double> cases[] = {
        {{Exp, nan, 0}, nan}, {{Exp, inf, 0}, inf}, {{Exp, -inf, 0}, 0}, {{Exp, -0.0, 0}, 1},
        {{Exp, 0x1.62e42fefa39efp+9, 0}, 0x1.fffffffffff2ap+1023}, {{Exp, 0x1.62e42fefa39f0p+9, 0}, inf},
        {{Exp, -0x1.74910d52d3051p+9, 0}, tiny}, {{Exp, -0x1.74910d52d3052p+9, 0}, 0},
        {{Exp, -740, 0}, 0x0.0000000000055p-1022}, {{Exp, -708.5, 0}, 0x0.e6cf6d08897acp-1022},
        // Subnormal results whose leading part lies halfway: the rest rounds up, then down.
        {{Exp, -0x1.62773078e2d4bp+9, 0}, 0x0.95f81670a7d13p-1022}, {{Exp, -0x1.62959e4220bcdp+9, 0}, 0x0.763d0eafd9363p-1022},
        {{Exp, -0x1.b7cdfd9d7bdbbp-34, 0}, 0x1.ffffffff24190p-1}, {{Exp, 0x1p-60, 0}, 1},
        {{Log, nan, 0}, nan}, {{Log, -1, 0}, nan}, {{Log, -0.0, 0}, -inf}, {{Log, inf, 0}, inf}, {{Log, 1, 0}, 0},
        {{Log, tiny, 0}, -0x1.74385446d71c3p+9}, {{Log, 0x0.5555555555555p-1022, 0}, -0x1.62bf5d2b81354p+9},
        {{Log, max, 0}, 0x1.62e42fefa39efp+9}, {{Log, 0x1.fffffffffffffp-1, 0}, -0x1p-53},
        {{Log, 0x1.0000000000001p+0, 0}, 0x1.fffffffffffffp-53},
        {{Sin, -0.0, 0}, -0.0}, {{Sin, -0x1p-30, 0}, -0x1p-30}, {{Sin, 0x1p-25, 0}, 0x1.fffffffffffffp-26}, {{Sin, inf, 0}, nan}, {{Sin, nan, 0}, nan},
        {{Sin, 1e22, 0}, -0x1.b453ab76bf397p-1}, {{Sin, max, 0}, 0x1.452fc98b34e97p-8},
        {{Sin, 0x1.921fb54442d18p+1, 0}, 0x1.1a62633145c07p-53},
        {{Cos, 0x1.6ac5b262ca1ffp+849, 0}, -0x1.14ae72e6ba22fp-61},  // nearest to a multiple of pi/2
        {{Cos, 1e22, 0}, 0x1.0be2cef01c8f4p-1}, {{Cos, max, 0}, -0x1.fffe62ecfab75p-1},
        {{Cos, 0x1.921fb54442d18p+0, 0}, 0x1.1a62633145c07p-54}, {{Cos, -0x1p-28, 0}, 1}, {{Cos, 0x1p-26, 0}, 0x1.fffffffffffffp-1}, {{Cos, -inf, 0}, nan},
        {{Pow, nan, 0}, 1}, {{Pow, 1, nan}, 1}, {{Pow, nan, 1}, nan}, {{Pow, -8, 1.0 / 3}, nan},
        {{Pow, -2, 3}, -8}, {{Pow, -2, -3}, -0.125}, {{Pow, -0.0, -3}, -inf}, {{Pow, -0.0, 3}, -0.0},
        {{Pow, -0.0, 2}, 0}, {{Pow, 0, -2}, inf}, {{Pow, -0.0, 0.5}, 0}, {{Pow, -1, inf}, 1}, {{Pow, 0.5, inf}, 0},
        {{Pow, 0.5, -inf}, inf}, {{Pow, 2, -inf}, 0}, {{Pow, -inf, 3}, -inf}, {{Pow, -inf, -3}, -0.0},
        {{Pow, -inf, 2}, inf}, {{Pow, inf, -1}, 0}, {{Pow, 2, 1024}, inf}, {{Pow, 2, 1023}, 0x1p1023},
        {{Pow, 2, -1074}, tiny}, {{Pow, 2, -1075}, 0}, {{Pow, 4, -537.5}, 0}, {{Pow, -0.5, 1075}, -0.0},
        {{Pow, 2, 0.25}, 0x1.306fe0a31b715p+0}, {{Pow, 10, -3}, 0x1.0624dd2f1a9fcp-10},
        {{Pow, 3, 40}, 0x1.517168a4523fdp+63}, {{Pow, 7, -380}, 0x0.0000000000094p-1022},
        {{Pow, 1.5, 1750}, 0x1.9b64d0768f358p+1023}, {{Pow, 1.0000001, 1e10}, inf}, {{Pow, 3, 0.5}, std::sqrt(3.0)},
        {{Pow, -4, -1}, -0.25}, {{Pow, -3, 2}, 9}, {{Pow, -5, 1}, -5},
        {{Pow, 0x1p-1022, -0x1.40a05028140a0p-8}, 0x1.ffffffffffffep+4},
        // Values within 2^-20 ulp of a point halfway between doubles.
        {{Exp, -0x1.18141925315b8p+7, 0}, 0x1.f418a992f790bp-203},
        {{Log, 0x1.6938c30a3ddbep-105, 0}, -0x1.21be9b55f339fp+6},
        {{Sin, 0x1.5ea98c212b3a3p+7, 0}, -0x1.2044cb9617213p-1}, {{Sin, 0x1.2110ab181844p+12, 0}, 0x1.286636f6c3e81p-1},
        {{Cos, 0x1.d5a9d4bc7d514p+10, 0}, 0x1.ffe8d80a8b99bp-1},
        {{Pow, 0x1.a6937ca13c7c7p+6, 0x1.4f014d99de07fp+2}, 0x1.245b92df8e099p+35},
        {{Pow, 0x1.63e02b7e01a39p+6, -0x1.ba491a869123p+3}, 0x1.6ad1df6d363e4p-90}};
    for (const auto& [c, expected] : cases)
        EXPECT_TRUE(sameBits(ours(c), expected))
            << Names[c.f] << std::hexfloat << "(" << c.x << ", " << c.y << ") = " << ours(c);
}

// The double-double values before rounding, against a 3000-bit evaluation (as m 2^exponent for exp and pow): the
// margin that keeps results correctly rounded, which a lost term or cut constant eats long before a result shows it.
TEST(PortableMath, UnroundedValuesAreAccurate) {
    using portable_math::DoubleDouble;
    const std::tuple<Call, DoubleDouble, int> cases[] = {  // the call, its exact value, the exponent
        {{Exp, -0x1.18141925315b8p+7, 0}, {0x1.f418a992f790bp+0, -0x1.fffff4a850547p-54}, -203},
        {{Exp, 0x1.62e42fefa39efp+9, 0}, {0x1.fffffffffff2ap+0, 0x1.b0e263400d160p-56}, 1023},
        {{Exp, -0x1.6232bdd7abcd2p+9, 0}, {0x1.000000000007cp+0, -0x1.0c013e41c0952p-54}, -1022},
        {{Exp, 0x1.8p-20, 0}, {0x1.0000180001200p+0, 0x1.200006c000206p-61}, 0},
        {{Exp, 0x1.61e4f765fd8aep-8, 0}, {0x1.0162da04e41a9p+0, -0x1.4d19baaf9d3ecp-54}, 0},
        {{Log, 0x1.6938c30a3ddbep-105, 0}, {-0x1.21be9b55f339fp+6, 0x1.fffffc6817de6p-48}, 0},
        {{Log, 0x1.fffffffffffffp+1023, 0}, {0x1.62e42fefa39efp+9, 0x1.a9c9e3b39803fp-46}, 0},
        {{Log, 0x1.0000000000001p+0, 0}, {0x1.fffffffffffffp-53, 0x1.5555555555554p-158}, 0},
        {{Log, 0x1.6a09e667f3bcdp+0, 0}, {0x1.62e42fefa39f0p-2, 0x1.c2e0e1b1548c2p-56}, 0},
        {{Log, 0x1.fe8p-1, 0}, {-0x1.80904828985c0p-9, -0x1.a5a9c30313fb6p-63}, 0},
        {{Log, 0x1.01ffffp+0, 0}, {0x1.fe01a8ad0deabp-8, -0x1.9b215af905a69p-62}, 0},
        {{Log, 0x0.0000000000001p-1022, 0}, {-0x1.74385446d71c3p+9, -0x1.8e569fa8ee781p-45}, 0},
        {{Sin, 0x1.5ea98c212b3a3p+7, 0}, {-0x1.2044cb9617213p-1, -0x1.ffffffe048a81p-55}, 0},
        {{Sin, 0x1.6ac5b262ca1ffp+849, 0}, {0x1.0000000000000p+0, -0x1.2b089ea1e692bp-123}, 0},
        {{Sin, 0x1.921fb54442d18p+1, 0}, {0x1.1a62633145c07p-53, -0x1.f1976b7ed8fbdp-109}, 0},
        {{Sin, 0x1.9p-1, 0}, {0x1.6888a4e134b2fp-1, -0x1.6b7d37644d5e6p-55}, 0},
        {{Sin, 0x1.fffffffffffffp+1023, 0}, {0x1.452fc98b34e97p-8, -0x1.27bb193d960dfp-62}, 0},
        {{Cos, 0x1.d5a9d4bc7d514p+10, 0}, {0x1.ffe8d80a8b99bp-1, 0x1.fffff83c30fc4p-55}, 0},
        {{Cos, 0x1.6ac5b262ca1ffp+849, 0}, {-0x1.14ae72e6ba22fp-61, 0x1.73eef1477d90ep-118}, 0},
        {{Cos, 0x1.921fb54442d18p+0, 0}, {0x1.1a62633145c07p-54, -0x1.f1976b7ed8fbcp-110}, 0},
        {{Cos, 0x1.8p-1, 0}, {0x1.769fec655211fp-1, -0x1.827d5cf8c68c5p-57}, 0},
        {{Cos, 0x1.2d97c7f3321d2p+1, 0}, {-0x1.6a09e667f3bccp-1, 0x1.4da530b7ba971p-59}, 0},
        {{Pow, 0x1.a6937ca13c7c7p+6, 0x1.4f014d99de07fp+2}, {0x1.245b92df8e099p+0, 0x1.ffffeea761083p-54}, 35},
        {{Pow, 0x1.63e02b7e01a39p+6, -0x1.ba491a869123p+3}, {0x1.6ad1df6d363e4p+0, -0x1.ffffee3c1a9e6p-54}, -90},
        {{Pow, 0x1.999999999999ap-4, 0x1.3p+8}, {0x1.18e3b9b3741bdp+0, -0x1.dec38285dc5d2p-54}, -1010},
        {{Pow, 0x1.0000000001p+0, 0x1.8p+40}, {0x1.1ed3fe64fb7cfp+0, 0x1.9fbb5741159ecp-54}, 2},
    };
    for (const auto& [c, exact, expectedExponent] : cases) {
        int exponent = 0;
        const DoubleDouble v = c.f == Exp   ? portable_math::expUnrounded(c.x, exponent)
                               : c.f == Log ? portable_math::logUnrounded(c.x)
                               : c.f == Pow ? portable_math::powUnrounded(c.x, c.y, exponent)
                               : c.f == Sin ? portable_math::sinUnrounded(c.x) : portable_math::cosUnrounded(c.x);
        const double error = ((v.hi - exact.hi) + (v.lo - exact.lo)) / exact.hi;
        EXPECT_EQ(exponent, expectedExponent);
        EXPECT_LE(std::fabs(error), c.f == Pow ? 0x1p-96 : 0x1p-103)
            << Names[c.f] << std::hexfloat << "(" << c.x << ", " << c.y << "): " << error;
    }
}

// Random arguments over the ranges the program uses and wider, angles up to the largest double.
TEST(PortableMath, RandomArgumentsAreCorrectlyRounded) {
    std::mt19937_64 random(20261206);
    auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * static_cast<double>(random() >> 11) * 0x1p-53; };
    std::vector<Call> calls;
    for (Function f : {Exp, Log, Pow, Sin, Cos})
        for (int32_t i = 0; i < 40000; ++i) {
            Call c{f, 0, 0};
            switch (f) {
            case Exp: c.x = i % 2 ? uniform(-50, 5) : uniform(-745, 709.7); break;
            case Log: c.x = i % 2 ? uniform(0.01, 1000) : std::ldexp(uniform(1, 2), i % 2098 - 1074); break;
            case Pow: c.x = uniform(0.01, 300), c.y = uniform(-20, 20); break;
            default: c.x = i % 3 == 0 ? uniform(-8, 8) : i % 3 == 1 ? uniform(-1e6, 1e6) : std::ldexp(uniform(1, 2), i % 1004 + 20);
            }
            calls.push_back(c);
        }
    EXPECT_EQ(checkedHash(calls), 16348056646372924752u);
}

}  // namespace
