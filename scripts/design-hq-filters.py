#!/usr/bin/python3
"""Designs HQ's first half-band stage (two allpass branches) and its limiter's 4x peak detector.

Prints the constants of dsp/HalfBandAllpass.cpp and dsp/TruePeakLimiter.cpp (kPhases as it
stands there) and what they achieve. Run with Debian's python3 (numpy and scipy): /usr/bin/python3 scripts/design-hq-filters.py

Half-band: an odd-order elliptic lowpass whose passband edge wp and stopband edge pi - wp are
symmetric about pi / 2, with the ripples tied so that the stopband ripple d and the passband's
satisfy (1 - d_p)^2 + d^2 = 1. Its poles then lie on the imaginary axis, at z = +-j sqrt(a_k),
and the filter splits into two branches of first-order allpass sections in z^2:

    H(z) = 1/2 [ A0(z^2) + z^-1 A1(z^2) ],   A(z^2) = prod (a_k + z^-2) / (1 + a_k z^-2)

with the a_k, sorted, taken alternately by A0 and A1. The stopband attenuation is found by
bisection: the largest for which scipy's elliptic design still reaches pi - wp.
"""
import numpy as np
from scipy import signal

ORDER = 15            # 7 allpass sections; about 120 dB
PASS_EDGE = 0.4       # passband edge, a fraction of pi at the higher rate (0.4 of the lower rate)
DETECTOR_HALF = 6     # detector taps each side of the interpolated point (its delay in frames)
DETECTOR_BETA = 5.0   # Kaiser window of the detector's sinc: flat to 0.3 of the rate within 0.03 dB


def half_band(order, wp):
    lo, hi = 40.0, 200.0
    for _ in range(80):
        rs = 0.5 * (lo + hi)
        ds = 10 ** (-rs / 20)
        rp = -10 * np.log10(1 - ds * ds)
        try:
            z, p, k = signal.ellip(order, rp, rs, wp, output='zpk')
            _, h = signal.freqz_zpk(z, p, k, worN=np.linspace((1 - wp) * np.pi, np.pi, 4000))
            reached = 20 * np.log10(np.max(np.abs(h))) <= -rs + 1e-3
        except ValueError:
            reached = False
        if reached:
            lo = rs
        else:
            hi = rs
    rs = lo
    ds = 10 ** (-rs / 20)
    z, p, k = signal.ellip(order, -10 * np.log10(1 - ds * ds), rs, wp, output='zpk')
    # Poles come in pairs +-j sqrt(a) (and one at 0): keep one of each pair.
    a = np.sort((-(p[p.imag > 1e-9] ** 2)).real)
    return rs, a


def allpass_response(a0, a1, w):
    z2 = np.exp(-2j * w)
    b0 = np.ones_like(z2)
    b1 = np.ones_like(z2)
    for c in a0:
        b0 *= (c + z2) / (1 + c * z2)
    for c in a1:
        b1 *= (c + z2) / (1 + c * z2)
    return 0.5 * (b0 + np.exp(-1j * w) * b1)


def pair_peak(a0, a1):
    """Where an impulse through up and then down peaks, in frames of the lower rate: the peak of
    the band-limited curve through the output samples, and the delay at DC."""
    def branch(coefs, x):
        for c in coefs:
            x = signal.lfilter([c, 1.0], [1.0, c], x)
        return x
    n, at = 512, 64
    x = np.zeros(n)
    x[at] = 1.0
    v = np.empty(2 * n)
    v[0::2] = branch(a0, x)
    v[1::2] = branch(a1, x)
    y = 0.5 * (branch(a0, v[1::2]) + branch(a1, v[0::2]))
    t = np.arange(at, at + 12, 1e-4)
    curve = np.sinc(t[:, None] - np.arange(n)[None, :]) @ y
    return t[np.argmax(curve)] - at


def detector_kernel(half, beta):
    """Phases 1/4, 1/2, 3/4 between samples m and m + 1: taps on m - half + 1 .. m + half."""
    phases = []
    for q in (1, 2, 3):
        t = np.arange(-half + 1, half + 1) - q / 4.0
        window = np.i0(beta * np.sqrt(np.maximum(0.0, 1 - (t / half) ** 2))) / np.i0(beta)
        taps = np.sinc(t) * window
        phases.append(taps / taps.sum())
    return phases


def main():
    rs, a = half_band(ORDER, PASS_EDGE)
    a0, a1 = a[0::2], a[1::2]
    w = np.linspace(1e-5, np.pi - 1e-5, 40001)
    h = allpass_response(a0, a1, w)
    gd = -np.gradient(np.unwrap(np.angle(h)), w)
    stop = w >= (1 - PASS_EDGE) * np.pi
    band = w <= PASS_EDGE * np.pi
    print(f"half-band: order {ORDER}, stopband {20 * np.log10(np.abs(h[stop]).max()):.1f} dB "
          f"from {1 - PASS_EDGE:.2f} pi, passband ripple "
          f"{20 * np.log10(np.abs(h[band]).min()):.2e} dB")
    print(f"  group delay (samples of the higher rate): {gd[0]:.6f} at DC, "
          f"{np.interp(0.2 * np.pi, w, gd):.3f} at 0.1 of the lower rate, "
          f"{np.interp(PASS_EDGE * np.pi, w, gd):.3f} at the passband edge")
    print("  branch 0 (even outputs / even inputs):", ", ".join(f"{c:.17g}" for c in a0))
    print("  branch 1 (odd):                        ", ", ".join(f"{c:.17g}" for c in a1))

    up = sum(2 * (1 - c) / (1 + c) for c in a0) / 2 + (1 + sum(2 * (1 - c) / (1 + c) for c in a1)) / 2
    print(f"  up and down: delay {(2 * up - 1) / 2:.6f} frames at DC, an impulse peaks at "
          f"{pair_peak(a0, a1):.4f} frames")

    phases = detector_kernel(DETECTOR_HALF, DETECTOR_BETA)
    print(f"detector: {2 * DETECTOR_HALF} taps a phase, Kaiser beta {DETECTOR_BETA}")
    rows = ",\n    ".join("{" + ", ".join(f"{c:.9g}f" for c in taps) + "}" for taps in phases)
    print(f"constexpr float kPhases[3][{2 * DETECTOR_HALF}] = {{\n    {rows}}};")
    # Worst error of each phase against the ideal fractional delay, over tones to 0.45 of the rate.
    for top in (0.1, 0.25, 0.3, 0.4):
        f = np.linspace(0.0, top, 400)
        worst = 0.0
        for q, taps in zip((1, 2, 3), phases):
            t = np.arange(-DETECTOR_HALF + 1, DETECTOR_HALF + 1) - q / 4.0
            resp = np.exp(-2j * np.pi * np.outer(f, t)) @ taps
            worst = max(worst, np.abs(resp - 1).max())
        print(f"  worst complex error to {top} of the rate: {worst:.2e} "
              f"({20 * np.log10(1 + worst):.3f} dB)")


if __name__ == "__main__":
    main()
