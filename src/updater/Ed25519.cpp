#include "updater/Ed25519.h"

#include "updater/Sha512.h"

#include <array>
#include <cstdint>

namespace tavrin::updater {

namespace {

// Field elements mod 2^255 - 19 as sixteen 16-bit limbs held in 64-bit integers.
using i64 = std::int64_t;
using Gf = std::array<i64, 16>;
using Point = std::array<Gf, 4>; // extended coordinates X, Y, Z, T
using u8 = std::uint8_t;

// The group order L, little endian.
constexpr u8 kL[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7, 0xa2, 0xde, 0xf9, 0xde, 0x14,
                       0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0x10};

Gf small(i64 v)
{
    Gf g{};
    g[0] = v & 0xffff;
    g[1] = v >> 16;
    return g;
}

void carry(Gf &o)
{
    for (int i = 0; i < 16; ++i) {
        o[i] += i64(1) << 16;
        const i64 c = o[i] >> 16;
        o[(i + 1) * (i < 15)] += c - 1 + 37 * (c - 1) * (i == 15);
        o[i] -= c * (i64(1) << 16);
    }
}

void select(Gf &p, Gf &q, int b)
{
    const i64 c = ~(i64(b) - 1);
    for (int i = 0; i < 16; ++i) {
        const i64 t = c & (p[i] ^ q[i]);
        p[i] ^= t;
        q[i] ^= t;
    }
}

void pack(u8 *o, const Gf &n)
{
    Gf t = n, m{};
    carry(t);
    carry(t);
    carry(t);
    for (int j = 0; j < 2; ++j) {
        m[0] = t[0] - 0xffed;
        for (int i = 1; i < 15; ++i) {
            m[i] = t[i] - 0xffff - ((m[i - 1] >> 16) & 1);
            m[i - 1] &= 0xffff;
        }
        m[15] = t[15] - 0x7fff - ((m[14] >> 16) & 1);
        const int b = int((m[15] >> 16) & 1);
        m[14] &= 0xffff;
        select(t, m, 1 - b);
    }
    for (int i = 0; i < 16; ++i) {
        o[2 * i] = u8(t[i] & 0xff);
        o[2 * i + 1] = u8((t[i] >> 8) & 0xff);
    }
}

bool differ(const Gf &a, const Gf &b)
{
    u8 x[32], y[32];
    pack(x, a);
    pack(y, b);
    u8 d = 0;
    for (int i = 0; i < 32; ++i)
        d |= u8(x[i] ^ y[i]);
    return d != 0;
}

int parity(const Gf &a)
{
    u8 d[32];
    pack(d, a);
    return d[0] & 1;
}

Gf unpack(const u8 *n)
{
    Gf o{};
    for (int i = 0; i < 16; ++i)
        o[i] = n[2 * i] + (i64(n[2 * i + 1]) << 8);
    o[15] &= 0x7fff;
    return o;
}

Gf add(const Gf &a, const Gf &b)
{
    Gf o;
    for (int i = 0; i < 16; ++i)
        o[i] = a[i] + b[i];
    return o;
}

Gf sub(const Gf &a, const Gf &b)
{
    Gf o;
    for (int i = 0; i < 16; ++i)
        o[i] = a[i] - b[i];
    return o;
}

Gf mul(const Gf &a, const Gf &b)
{
    i64 t[31] = {};
    for (int i = 0; i < 16; ++i)
        for (int j = 0; j < 16; ++j)
            t[i + j] += a[i] * b[j];
    for (int i = 0; i < 15; ++i)
        t[i] += 38 * t[i + 16];
    Gf o;
    for (int i = 0; i < 16; ++i)
        o[i] = t[i];
    carry(o);
    carry(o);
    return o;
}

// base^e where e's bits from `top` down are all one except those `zero` names.
template <class Zero>
Gf power(const Gf &base, int top, Zero zero)
{
    Gf c = base;
    for (int a = top - 1; a >= 0; --a) {
        c = mul(c, c);
        if (!zero(a))
            c = mul(c, base);
    }
    return c;
}

Gf invert(const Gf &a) // a^(p-2), p - 2 = 2^255 - 21
{
    return power(a, 254, [](int bit) { return bit == 2 || bit == 4; });
}

Gf pow2523(const Gf &a) // a^((p-5)/8), (p-5)/8 = 2^252 - 3
{
    return power(a, 251, [](int bit) { return bit == 1; });
}

struct Curve {
    Gf d, d2, sqrtm1;
    Point base;
};

bool unpackNegated(Point &r, const u8 *p, const Curve &k);

// The curve constants, derived rather than typed in: d = -121665/121666, sqrt(-1) =
// 2^((p-1)/4), and the base point with y = 4/5 and even x.
const Curve &curve()
{
    static const Curve k = [] {
        Curve c;
        c.d = mul(sub(Gf{}, small(121665)), invert(small(121666)));
        c.d2 = add(c.d, c.d);
        c.sqrtm1 = power(small(2), 252, [](int bit) { return bit == 2; }); // 2^(2^253 - 5)
        u8 y[32];
        pack(y, mul(small(4), invert(small(5))));
        y[31] |= 0x80; // unpackNegated flips the sign: this yields the even x
        unpackNegated(c.base, y, c);
        return c;
    }();
    return k;
}

void addPoint(Point &p, const Point &q, const Curve &k)
{
    const Gf a = mul(sub(p[1], p[0]), sub(q[1], q[0]));
    const Gf b = mul(add(p[0], p[1]), add(q[0], q[1]));
    const Gf c = mul(mul(p[3], q[3]), k.d2);
    Gf d = mul(p[2], q[2]);
    d = add(d, d);
    const Gf e = sub(b, a), f = sub(d, c), g = add(d, c), h = add(b, a);
    p[0] = mul(e, f);
    p[1] = mul(h, g);
    p[2] = mul(g, f);
    p[3] = mul(e, h);
}

void swapPoints(Point &p, Point &q, int b)
{
    for (int i = 0; i < 4; ++i)
        select(p[i], q[i], b);
}

void packPoint(u8 *r, const Point &p)
{
    const Gf zi = invert(p[2]);
    pack(r, mul(p[1], zi));
    r[31] ^= u8(parity(mul(p[0], zi)) << 7);
}

Point scalarMult(Point q, const u8 *s, const Curve &k)
{
    Point p{Gf{}, small(1), small(1), Gf{}};
    for (int i = 255; i >= 0; --i) {
        const int b = (s[i / 8] >> (i & 7)) & 1;
        swapPoints(p, q, b);
        addPoint(q, p, k);
        addPoint(p, p, k);
        swapPoints(p, q, b);
    }
    return p;
}

bool unpackNegated(Point &r, const u8 *p, const Curve &k)
{
    r[2] = small(1);
    r[1] = unpack(p);
    Gf num = mul(r[1], r[1]);
    Gf den = mul(num, k.d);
    num = sub(num, r[2]);
    den = add(r[2], den);
    const Gf den2 = mul(den, den);
    const Gf den4 = mul(den2, den2);
    const Gf den6 = mul(den4, den2);
    Gf t = mul(mul(den6, num), den);
    t = pow2523(t);
    t = mul(mul(mul(t, num), den), den);
    r[0] = mul(t, den);
    if (differ(mul(mul(r[0], r[0]), den), num))
        r[0] = mul(r[0], k.sqrtm1);
    if (differ(mul(mul(r[0], r[0]), den), num))
        return false; // not a point on the curve
    if (parity(r[0]) == (p[31] >> 7))
        r[0] = sub(Gf{}, r[0]);
    r[3] = mul(r[0], r[1]);
    return true;
}

// r = x mod L, x 64 little-endian bytes.
void reduceModL(u8 *r, i64 *x)
{
    i64 c = 0;
    for (int i = 63; i >= 32; --i) {
        c = 0;
        int j = i - 32;
        for (; j < i - 12; ++j) {
            x[j] += c - 16 * x[i] * kL[j - (i - 32)];
            c = (x[j] + 128) >> 8;
            x[j] -= c * 256;
        }
        x[j] += c;
        x[i] = 0;
    }
    c = 0;
    for (int j = 0; j < 32; ++j) {
        x[j] += c - (x[31] >> 4) * kL[j];
        c = x[j] >> 8;
        x[j] &= 255;
    }
    for (int j = 0; j < 32; ++j)
        x[j] -= c * kL[j];
    for (int i = 0; i < 32; ++i) {
        x[i + 1] += x[i] >> 8;
        r[i] = u8(x[i] & 255);
    }
}

// S < L, compared as little-endian numbers.
bool canonicalScalar(const u8 *s)
{
    for (int i = 31; i >= 0; --i) {
        if (s[i] < kL[i])
            return true;
        if (s[i] > kL[i])
            return false;
    }
    return false; // equal to L
}

} // namespace

bool ed25519Verify(const QByteArray &publicKey, const QByteArray &message, const QByteArray &signature)
{
    if (publicKey.size() != 32 || signature.size() != 64)
        return false;
    const auto *pk = reinterpret_cast<const u8 *>(publicKey.constData());
    const auto *sig = reinterpret_cast<const u8 *>(signature.constData());
    if (!canonicalScalar(sig + 32))
        return false;
    const Curve &k = curve();
    Point a;
    if (!unpackNegated(a, pk, k))
        return false;

    Sha512 hash;
    hash.add(signature.constData(), 32);
    hash.add(publicKey.constData(), 32);
    hash.add(message.constData(), message.size());
    const QByteArray digest = hash.result();
    if (digest.size() != 64)
        return false;
    i64 x[64];
    for (int i = 0; i < 64; ++i)
        x[i] = u8(digest[i]);
    u8 h[32];
    reduceModL(h, x);

    // [S]B - [h]A must give back R.
    Point p = scalarMult(a, h, k);
    const Point sb = scalarMult(k.base, sig + 32, k);
    addPoint(p, sb, k);
    u8 check[32];
    packPoint(check, p);
    u8 d = 0;
    for (int i = 0; i < 32; ++i)
        d |= u8(check[i] ^ sig[i]);
    return d == 0;
}

} // namespace tavrin::updater
