#!/usr/bin/python3
# make_manual.py: the manual as a web page, every picture and sound made from the build it is given.
#
#   make_manual.py --tovrasat BUILD/tools/tovrasat --probe BUILD/tools/tovrasat_docs_probe --out DIR
#
# Signals are synthesised here, rendered through the plug-in by the command (and by the probe where
# a parameter must change part-way or the meter must be read per tick), measured with numpy and
# the command's own loudness meter, and drawn with matplotlib. DIR gets index.html, style.css,
# img/ and audio/; DIR.work keeps the intermediate files.
import argparse
import concurrent.futures
import html
import os
import re
import shutil
import struct
import subprocess
import sys
import threading
import time

import numpy as np
import scipy.io.wavfile
import scipy.ndimage
import scipy.signal

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import textconv  # noqa: E402

RATE = 48000
GAINS = [0, 24, 60, 100]
GAIN_COLOURS = {0: "#8a8f98", 24: "#2f6fb5", 60: "#e08a1e", 100: "#c8322b"}
# Loudness of a processed example may differ from its dry source by at most this much (LU).
MATCH_LU = 0.1


class Failure(Exception):
    pass


# ------------------------------------------------------------------------------ running the build

class Build:
    def __init__(self, tovrasat, probe, work):
        self.tovrasat = tovrasat
        self.probe = probe
        self.work = work

    def run(self, *args):
        proc = subprocess.run([str(a) for a in args], capture_output=True, text=True)
        if proc.returncode != 0:
            raise Failure("%s failed (exit %d): %s" % (" ".join(map(str, args)), proc.returncode,
                                                      (proc.stderr or proc.stdout).strip()))
        return proc.stdout + proc.stderr

    def render(self, src, dst, *options):
        """Renders with the command; returns its summary's loudness and true peak figures."""
        text = self.run(self.tovrasat, "render", src, dst, *map(str, options))
        return parse_summary(text)

    def measure(self, path):
        """Integrated loudness (LUFS) and true peak (dBTP) of a file, by the command's own meter:
        a bypassed render reports the figures of its input as read."""
        scratch = os.path.join(self.work, "measure-%d.wav" % threading.get_ident())
        figures = parse_summary(self.run(self.tovrasat, "render", path, scratch, "--bypass", "on"))
        return figures["in_lufs"], figures["in_tp"]

    def probe_run(self, src, dst, *options):
        return self.run(self.probe, src, dst, *map(str, options))

    def has_hq(self):
        # --hq is the command's own option (render, info and snapshot take it), so it is listed
        # in the command's help, not in render's.
        return "--hq" in self.run(self.tovrasat, "--help")


SUMMARY = re.compile(r"loudness in (\S+) LUFS, out (\S+) LUFS[;\s]+true peak in (\S+) dBTP, out (\S+) dBTP")


def parse_summary(text):
    m = SUMMARY.search(text)
    if not m:
        raise Failure("the command's summary has no loudness figures: " + text.strip())
    f = [float(v) for v in m.groups()]
    return {"in_lufs": f[0], "out_lufs": f[1], "in_tp": f[2], "out_tp": f[3]}


# ------------------------------------------------------------------------------------- signals

def write_wav(path, signal):
    if signal.ndim == 1:
        signal = np.stack([signal, signal], axis=1)
    scipy.io.wavfile.write(path, RATE, signal.astype(np.float32))


def read_wav(path):
    rate, data = scipy.io.wavfile.read(path)
    if rate != RATE:
        raise Failure("%s: %d Hz, expected %d" % (path, rate, RATE))
    return data.astype(np.float64)


def db(x):
    return 20.0 * np.log10(np.maximum(np.abs(x), 1e-12))


def tone(freq, seconds, level_db, rate=RATE):
    t = np.arange(int(seconds * rate)) / rate
    return 10 ** (level_db / 20) * np.sin(2 * np.pi * freq * t)


def stepped_tone(levels, step_s):
    return np.concatenate([tone(1000, step_s, lv) for lv in levels])


def _env(n, decay_s):
    return np.exp(-np.arange(n) / (decay_s * RATE))


def kick(length_s=0.4):
    n = int(length_s * RATE)
    t = np.arange(n) / RATE
    freq = 50 + 110 * np.exp(-t / 0.03)
    phase = 2 * np.pi * np.cumsum(freq) / RATE
    click = np.random.default_rng(1).standard_normal(n) * _env(n, 0.002) * 0.3
    return (np.sin(phase) * _env(n, 0.18) + click)


def snare(length_s=0.3, seed=2):
    n = int(length_s * RATE)
    noise = np.random.default_rng(seed).standard_normal(n)
    b, a = scipy.signal.butter(2, [1500, 9000], btype="band", fs=RATE)
    body = np.sin(2 * np.pi * 185 * np.arange(n) / RATE) * _env(n, 0.05)
    return 0.55 * scipy.signal.lfilter(b, a, noise) * _env(n, 0.09) + 0.6 * body


def hat(length_s=0.08, seed=3):
    n = int(length_s * RATE)
    b, a = scipy.signal.butter(2, 7000, btype="high", fs=RATE)
    return 0.35 * scipy.signal.lfilter(b, a, np.random.default_rng(seed).standard_normal(n)) * _env(n, 0.015)


def place(track, sound, at_s, gain=1.0):
    i = int(at_s * RATE)
    end = min(len(track), i + len(sound))
    track[i:end] += gain * sound[: end - i]


def normalise(signal, peak_db):
    return signal * (10 ** (peak_db / 20) / np.max(np.abs(signal)))


def drum_loop(seconds=8.0, bpm=112):
    """Kick, snare and hats, two bars repeated, hats a little to the right."""
    beat = 60.0 / bpm
    left, right = np.zeros(int(seconds * RATE)), np.zeros(int(seconds * RATE))
    k, s = kick(), snare()
    n = 0
    while n * beat < seconds:
        bar_beat = n % 8
        if bar_beat in (0, 3, 4, 6):
            for ch in (left, right):
                place(ch, k, n * beat)
        if bar_beat in (2, 6):
            for ch in (left, right):
                place(ch, s, n * beat)
        for half in (0, 0.5):
            h = hat(seed=3 + 2 * n + int(half * 2))
            g = 1.0 if half == 0 else 0.6
            place(left, h, (n + half) * beat, 0.7 * g)
            place(right, h, (n + half) * beat, 1.0 * g)
        n += 1
    out = np.stack([left, right], axis=1)
    return normalise(out, -1.0)


def bass_line(seconds=8.0, bpm=112):
    """A plucked, low-passed sawtooth in eighth notes (A minor)."""
    eighth = 30.0 / bpm
    notes = [55.0, 55.0, 65.41, 55.0, 73.42, 65.41, 49.0, 55.0]
    out = np.zeros(int(seconds * RATE))
    n = 0
    while n * eighth < seconds:
        f = notes[n % len(notes)]
        length = int(eighth * 0.9 * RATE)
        t = np.arange(length) / RATE
        saw = sum(((-1) ** (k + 1)) * np.sin(2 * np.pi * k * f * t) / k for k in range(1, 40) if k * f < 8000)
        pluck = np.exp(-t / 0.25) * np.minimum(1.0, t / 0.004)
        place(out, saw * pluck, n * eighth)
        n += 1
    b, a = scipy.signal.butter(2, 900, fs=RATE)
    return normalise(np.stack([scipy.signal.lfilter(b, a, out)] * 2, axis=1), -3.0)


def drum_hit():
    """One kick after 20 ms of silence, peaking at -1 dBFS."""
    out = np.zeros(int(0.35 * RATE))
    place(out, kick(0.33), 0.02)
    return normalise(out, -1.0)


# ---------------------------------------------------------------------------------------- plots

def style_axes(ax):
    ax.grid(True, color="#d9dce1", linewidth=0.6)
    ax.set_axisbelow(True)
    for side in ("top", "right"):
        ax.spines[side].set_visible(False)


def save(fig, path):
    fig.savefig(path, dpi=110, bbox_inches="tight", facecolor="white")
    plt.close(fig)


def spectrum_db(x, window="blackmanharris"):
    """Magnitude spectrum in dBFS (a full-scale sine reads 0), Blackman-Harris window by default;
    "boxcar" (rectangular) for a whole number of periods, where each tone falls on one bin."""
    w = scipy.signal.get_window(window, len(x), fftbins=False)
    mag = np.abs(np.fft.rfft(x * w)) / (np.sum(w) / 2)
    return np.fft.rfftfreq(len(x), 1 / RATE), db(mag)


def harmonic_levels(freqs, spec, fundamental, count=9):
    """Level of each harmonic (dBFS): the spectrum's peak within 3 bins of it."""
    step = freqs[1] - freqs[0]
    levels = []
    for k in range(1, count + 1):
        f = fundamental * k
        if f >= RATE / 2:
            break
        i = int(round(f / step))
        levels.append(float(np.max(spec[max(i - 3, 0):i + 4])))
    return levels


# ---------------------------------------------------------------------------------- the sections

class Manual:
    def __init__(self, build, out, work, man_source, version):
        self.b = build
        self.out = out
        self.work = work
        self.img = os.path.join(out, "img")
        self.audio = os.path.join(out, "audio")
        self.man_source = man_source
        self.version = version
        self.facts = {}

    def w(self, name):
        return os.path.join(self.work, name)

    # -- transfer curve
    def transfer(self):
        levels = np.arange(-40, 7, 1.0)
        step = 0.2
        src = self.w("stepped.wav")
        write_wav(src, stepped_tone(levels, step))
        curves = {}
        for g in GAINS:
            dst = self.w("stepped-g%d.wav" % g)
            self.b.render(src, dst, "--gain", g)
            y = read_wav(dst)[:, 0]
            n = int(step * RATE)
            # The peak of the steady last half of each step.
            curves[g] = [db(np.max(np.abs(y[i * n + n // 2:(i + 1) * n]))) for i in range(len(levels))]
        fig, ax = plt.subplots(figsize=(6.4, 4.6))
        ax.plot(levels, levels, color="#b9bec6", linestyle="--", linewidth=1, label="unchanged")
        for g in GAINS:
            ax.plot(levels, curves[g], color=GAIN_COLOURS[g], linewidth=2, label="Gain %d %%" % g)
        ax.axhline(0, color="#555", linewidth=0.8)
        ax.set_xlabel("input level, 1 kHz tone (dBFS peak)")
        ax.set_ylabel("output level (dBFS peak)")
        ax.set_xlim(-40, 6)
        ax.set_ylim(-42, 8)
        style_axes(ax)
        ax.legend(loc="lower right", frameon=False)
        save(fig, os.path.join(self.img, "transfer.png"))
        at = {g: dict(zip(levels, curves[g])) for g in GAINS}
        self.facts["transfer"] = at
        rows = "".join("<tr><td>%d %%</td>%s</tr>" % (g, "".join(
            "<td>%+.1f</td>" % at[g][lv] for lv in (-30.0, -18.0, -6.0, 0.0, 6.0))) for g in GAINS)
        return """
<p>A 1 kHz tone stepped from -40 to +6 dBFS in 1 dB steps, each step rendered at four Gain
settings; the plot shows the level that comes out against the level that went in. At Gain 0 %%
the line is the dashed one: the plug-in passes the input unchanged. More Gain lifts quiet
material (at Gain 100 %% a tone at -40 dBFS comes out %.1f dB louder) and bends loud material
smoothly towards a ceiling just below full scale: input above 0 dBFS is held there too.</p>
<figure><img src="img/transfer.png" width="704" height="506"
 alt="Transfer curves: output level against input level for Gain 0, 24, 60 and 100 percent. Gain 0 follows the diagonal; higher Gain lifts low levels and flattens towards 0 dBFS at the top.">
<figcaption>Output against input level, 1 kHz tone, 48V on, trim 0 dB.</figcaption></figure>
<div class="scroll"><table><caption>Output level (dBFS) for an input at</caption>
<thead><tr><th>Gain</th><th>-30 dBFS</th><th>-18 dBFS</th><th>-6 dBFS</th><th>0 dBFS</th><th>+6 dBFS</th></tr></thead>
<tbody>%s</tbody></table></div>""" % (at[100][-40.0] + 40.0, rows)

    # -- harmonic spectra
    def spectra(self):
        level = -6.0
        parts = []
        table_rows = []
        for freq in (100, 1000):
            src = self.w("tone%d.wav" % freq)
            write_wav(src, tone(freq, 1.5, level))
            fig, axes = plt.subplots(len(GAINS), 1, figsize=(6.4, 7.2), sharex=True)
            for ax, g in zip(axes, GAINS):
                dst = self.w("tone%d-g%d.wav" % (freq, g))
                self.b.render(src, dst, "--gain", g)
                y = read_wav(dst)[int(0.5 * RATE):, 0]
                f, s = spectrum_db(y)
                h = harmonic_levels(f, s, freq)
                thd = 10 * np.log10(sum(10 ** (v / 10) for v in h[1:]) / 10 ** (h[0] / 10)) if len(h) > 1 else -200
                ax.plot(f[1:], s[1:], color=GAIN_COLOURS[g], linewidth=0.9)
                ax.set_xscale("log")
                ax.set_xlim(20, 24000)
                ax.set_ylim(-140, 5)
                ax.set_yticks([-120, -80, -40, 0])
                ax.text(0.99, 0.88, "Gain %d %%   THD %s" % (g, ("%.1f %%" % (100 * 10 ** (thd / 20))) if thd > -100 else "< 0.001 %"),
                        transform=ax.transAxes, ha="right", va="top", fontsize=9, color="#222")
                style_axes(ax)
                table_rows.append((freq, g, [v - h[0] for v in h[1:6]], thd))
            axes[-1].set_xlabel("frequency (Hz)")
            axes[len(GAINS) // 2].set_ylabel("level (dBFS)")
            save(fig, os.path.join(self.img, "spectrum-%d.png" % freq))
            parts.append("""<figure><img src="img/spectrum-%d.png" width="704" height="792"
 alt="Spectra of a %d Hz tone at %g dBFS after the plug-in at Gain 0, 24, 60 and 100 percent: the harmonics at multiples of %d Hz rise with Gain.">
<figcaption>A %d Hz tone at %g dBFS, at each Gain (48V on). Peaks right of the tone are its harmonics.</figcaption></figure>"""
                         % (freq, freq, level, freq, freq, level))
        rows = "".join("<tr><td>%d Hz</td><td>%d %%</td>%s<td>%s</td></tr>" % (
            f, g, "".join("<td>%s</td>" % ("%.0f" % v if v > -100 else "&lt; -100") for v in hs),
            ("%.2f %%" % (100 * 10 ** (thd / 20))) if thd > -100 else "&lt; 0.001 %") for f, g, hs, thd in table_rows)
        return """
<p>The same tone at -6 dBFS, once at 100 Hz and once at 1 kHz, at each Gain. The engine shapes
each sample symmetrically, so the odd harmonics (3rd, 5th, ...) dominate; how strong they are
follows Gain.</p>
<div class="figures">%s</div>
<div class="scroll"><table><caption>Harmonics relative to the tone (dB) and total harmonic distortion</caption>
<thead><tr><th>Tone</th><th>Gain</th><th>2nd</th><th>3rd</th><th>4th</th><th>5th</th><th>6th</th><th>THD</th></tr></thead>
<tbody>%s</tbody></table></div>""" % ("\n".join(parts), rows)

    # -- 48V on a drum hit
    def phantom(self):
        src = self.w("hit.wav")
        write_wav(src, drum_hit())
        dry = read_wav(src)[:, 0]
        outs = {}
        for state in ("on", "off"):
            dst = self.w("hit-48v-%s.wav" % state)
            self.b.render(src, dst, "--gain", 100, "--48v", state)
            outs[state] = read_wav(dst)[:, 0]
        onset = int(0.02 * RATE)
        # The limiter's attack as heard: how long after the hit the output still touches the
        # engine's ceiling (0.9999) before the limiter has brought it under.
        attack = {}
        for state, y in outs.items():
            pinned = np.nonzero(np.abs(y[onset:onset + int(0.15 * RATE)]) >= 0.999)[0]
            attack[state] = 1000.0 * (pinned[-1] + 1) / RATE if len(pinned) else 0.0
        self.facts["attack_ms"] = attack
        t = (np.arange(len(dry)) - onset) * 1000.0 / RATE
        span = (t >= -2) & (t <= 100)
        fig, (top, bottom) = plt.subplots(2, 1, figsize=(6.4, 5.6), sharex=True,
                                          gridspec_kw={"height_ratios": [3, 2]})
        top.plot(t[span], dry[span], color="#9aa0a8", linewidth=1.0, label="dry")
        top.plot(t[span], outs["on"][span], color="#c8322b", linewidth=1.0, label="48V on")
        top.plot(t[span], outs["off"][span], color="#2f6fb5", linewidth=1.0, alpha=0.8, label="48V off")
        top.set_ylabel("sample value")
        top.set_ylim(-1.1, 1.1)
        top.legend(loc="lower right", frameon=False, fontsize=9, ncol=3)
        ms = int(RATE / 1000)
        for state, colour in (("on", "#c8322b"), ("off", "#2f6fb5")):
            # The peak of the last 10 ms, half a cycle of the kick: its envelope, read each ms.
            held = scipy.ndimage.maximum_filter1d(np.abs(outs[state]), 10 * ms, origin=(10 * ms) // 2 - 1)
            y = held[onset:onset + 100 * ms:ms]
            bottom.plot(np.arange(100), db(y), color=colour, linewidth=1.3,
                        label="48V %s: at the ceiling until %.0f ms" % (state, attack[state]))
        bottom.set_ylim(-0.15, 0.01)
        bottom.set_ylabel("peak of the last 10 ms (dBFS)")
        bottom.set_xlabel("time after the hit (ms)")
        bottom.legend(loc="lower left", frameon=False, fontsize=9)
        for ax in (top, bottom):
            style_axes(ax)
        save(fig, os.path.join(self.img, "48v-hit.png"))
        return """
<p>48V chooses how the final limiter reacts. <strong>On</strong> (the default), it grabs every
peak the instant it comes and lets go quickly: tight, snappy transients with a little edge.
<strong>Off</strong>, it follows a smoothed envelope, so the hit stays pressed against the
ceiling longer before the limiter takes it: rounder, softer attacks, a little more density. A
kick drum at -1 dBFS through Gain 100 %%, both ways:</p>
<figure><img src="img/48v-hit.png" width="704" height="616"
 alt="A kick drum after the plug-in with 48V on and off, waveforms overlaid on the dry hit; below, the peak of the last 10 milliseconds: with 48V on the output leaves the ceiling after %.0f milliseconds, with 48V off after %.0f.">
<figcaption>A kick drum at Gain 100 %%: the dry input and the output with 48V on and off, and
below, the peak of the last 10 ms just under full scale. Attack (how long after the hit the
output still touches the ceiling): 48V on %.0f ms, 48V off %.0f ms.</figcaption></figure>""" % (
            attack["on"], attack["off"], attack["on"], attack["off"])

    # -- output trim
    def trim(self):
        src = self.w("trim-tone.wav")
        write_wav(src, tone(1000, 1.0, -12.0))
        dst = self.w("trim-glide.wav")
        self.b.probe_run(src, dst, "--gain", 24, "--at", 0.3, "trim=-24", "--at", 0.6, "trim=12")
        y = read_wav(dst)[:, 0]
        win = int(RATE / 1000)  # one period of the tone: a level every millisecond
        frames = len(y) // win
        level = [db(np.sqrt(2 * np.mean(y[i * win:(i + 1) * win] ** 2))) for i in range(frames)]
        ms = np.arange(frames) * 1000.0 / RATE * win
        # The glide's time constant: time to 63 % of the way, in linear gain.
        lin = 10 ** (np.array(level) / 20)
        start, end = lin[int(0.29 * 1000)], lin[int(0.58 * 1000)]
        target = start + 0.632 * (end - start)
        after = np.nonzero(lin[300:] <= target)[0]
        tau = float(after[0]) if len(after) else float("nan")
        self.facts["trim_tau_ms"] = tau
        fig, ax = plt.subplots(figsize=(6.4, 3.6))
        ax.plot(ms, level, color="#2f6fb5", linewidth=1.5)
        ax.set_xlabel("time (ms); trim set to -24 dB at 300 ms, to +12 dB at 600 ms")
        ax.set_ylabel("output level (dBFS)")
        ax.set_xlim(200, 800)
        style_axes(ax)
        save(fig, os.path.join(self.img, "trim.png"))
        return """
<p>Output Trim sets the level after the saturation, from -24 to +12 dB, without changing its
character: the engine's ceiling lies before the trim, so a negative trim leaves room for the
true peaks between samples and a positive one can make the output pass full scale (the meter
shows it). A change glides with a 25 ms time constant, so moving the knob never clicks;
measured here: %.0f ms to 63 %% of the way.</p>
<figure><img src="img/trim.png" width="704" height="396"
 alt="Output level of a 1 kHz tone over time while Output Trim is set to -24 dB and then to +12 dB: the level glides to each new value within about a tenth of a second.">
<figcaption>A 1 kHz tone at -12 dBFS, Gain 24 %%; Output Trim set to -24 dB and then +12 dB.</figcaption></figure>""" % tau

    # -- bypass cross-fade
    def bypass(self):
        src = self.w("bypass-tone.wav")
        # A constant offset instead of a tone: the fade is then read off every sample.
        write_wav(src, np.full(int(0.7 * RATE), 0.25))
        wet = self.w("bypass-wet.wav")
        self.b.probe_run(src, wet, "--gain", 0, "--trim", -24)
        fade = self.w("bypass-fade.wav")
        text = self.b.probe_run(src, fade, "--gain", 0, "--trim", -24, "--at", 0.1, "bypass=on", "--at", 0.4, "bypass=off")
        starts = [int(m) for m in re.findall(r"switch (\d+) bypass", text)]
        d, w_, o = read_wav(src)[:, 0], read_wav(wet)[:, 0], read_wav(fade)[:, 0]
        mix = (o - w_) / (d - w_)
        exact_dry = np.nonzero(o[starts[0]:starts[1]] != d[starts[0]:starts[1]])[0]
        to_dry_ms = 1000.0 * (exact_dry[-1] + 1) / RATE if len(exact_dry) else 0.0
        tau_ms = 1000.0 * np.nonzero(mix[starts[0]:] >= 0.632)[0][0] / RATE
        back = np.nonzero(o[starts[1]:] != w_[starts[1]:])[0]
        to_wet_ms = 1000.0 * (back[-1] + 1) / RATE if len(back) else 0.0
        self.facts["bypass"] = {"tau_ms": tau_ms, "to_dry_ms": to_dry_ms, "to_wet_ms": to_wet_ms}
        t = (np.arange(len(o)) - starts[0]) * 1000.0 / RATE
        fig, ax = plt.subplots(figsize=(6.4, 3.6))
        ax.plot(t, mix, color="#c8322b", linewidth=1.6)
        ax.axvline(0, color="#999", linewidth=0.8)
        ax.axvline((starts[1] - starts[0]) * 1000.0 / RATE, color="#999", linewidth=0.8)
        ax.set_xlim(-20, 520)
        ax.set_ylim(-0.05, 1.05)
        ax.set_yticks([0, 0.25, 0.5, 0.632, 0.75, 1])
        ax.set_yticklabels(["0 processed", "0.25", "0.5", "0.63", "0.75", "1 dry"])
        ax.set_xlabel("time after Bypass on (ms); Bypass off at %.0f ms" % ((starts[1] - starts[0]) * 1000.0 / RATE))
        ax.set_ylabel("share of the dry input")
        style_axes(ax)
        save(fig, os.path.join(self.img, "bypass.png"))
        return """
<p>Bypass does not cut: it cross-fades between the processed and the dry signal along an
exponential curve with a 12 ms time constant (measured: %.1f ms to 63 %% of the way), and
once the fade is within a millionth of its end the output is the dry input exactly, bit for
bit (here %.0f ms after the switch). Switching back fades the same way and ends exactly on the
processed signal (%.0f ms). The meter keeps showing the processed level while bypassed.</p>
<figure><img src="img/bypass.png" width="704" height="396"
 alt="The bypass cross-fade: the share of the dry signal rises from 0 to 1 along an exponential curve after Bypass is switched on, and falls back the same way after it is switched off.">
<figcaption>The share of the dry input in the output, read off every sample, when Bypass is switched on and off.</figcaption></figure>""" % (
            tau_ms, to_dry_ms, to_wet_ms)

    # -- the meter
    def meter(self):
        burst = np.concatenate([tone(1000, 0.3, -1.0), np.zeros(int(0.5 * RATE))])
        src = self.w("meter-burst.wav")
        write_wav(src, burst)
        csv = self.w("meter.csv")
        self.b.probe_run(src, self.w("meter-out.wav"), "--gain", 0, "--meter", csv)
        data = np.loadtxt(csv, delimiter=",", skiprows=1)
        t, level = data[:, 0] * 1000.0, data[:, 1]
        falling = np.diff(level[(t > 300) & (level > -119)])
        self.facts["meter_fall_db"] = float(-np.min(falling)) if len(falling) else float("nan")
        fig, ax = plt.subplots(figsize=(6.4, 3.8))
        ax.axhspan(-30, -18, color="#28dc3c", alpha=0.12, lw=0)
        ax.axhspan(-6, -3, color="#ff9614", alpha=0.18, lw=0)
        ax.text(780, -24, "green lamp lights up", ha="right", va="center", fontsize=8, color="#1a7a25")
        ax.text(780, -4.5, "amber lamp lights up", ha="right", va="center", fontsize=8, color="#a05a00")
        ax.step(t, level, where="post", color="#2f6fb5", linewidth=1.5)
        ax.set_xlim(0, 800)
        ax.set_ylim(-60, 3)
        ax.set_xlabel("time (ms); a tone at -1 dBFS stops at 300 ms")
        ax.set_ylabel("meter (dBFS)")
        style_axes(ax)
        save(fig, os.path.join(self.img, "meter.png"))

        levels = [-36, -24, -18, -6, -4.5, -3]
        strip = []
        for lv in levels:
            shot = self.w("lamps%g.png" % lv)
            self.b.run(self.b.tovrasat, "snapshot", shot, "--scale", 1.75, "--meter-db", lv)
            strip.append((shot, "%g dBFS" % lv))
        shot = self.w("lamps-ol.png")
        self.b.run(self.b.tovrasat, "snapshot", shot, "--scale", 1.75, "--meter-db", 0, "--clip", 1)
        strip.append((shot, "overload"))
        fig, axes = plt.subplots(1, len(strip), figsize=(7.0, 2.2))
        for ax, (shot, label) in zip(axes, strip):
            image = plt.imread(shot)
            s = image.shape[1] / 667.0
            ax.imshow(image[int(180 * s):int(400 * s), int(80 * s):int(200 * s)])
            ax.set_title(label, fontsize=9)
            ax.axis("off")
        save(fig, os.path.join(self.img, "lamps.png"))
        return """
<p>The meter shows the output's peak after the trim. It is read every 20 ms; it rises at once
to a new peak and falls by at most 3 dB per reading (150 dB per second), so short peaks stay
visible (measured fall per reading: %.1f dB). The three lamps, from the bottom: the
<strong>green</strong> signal lamp brightens from -30 dBFS and is fully lit from -18 dBFS; the
<strong>amber</strong> lamp brightens from -6 dBFS and is fully lit from -3 dBFS (near full
scale); the red <strong>OL</strong> lamp lights fully when the saturation reaches its ceiling
and fades over the next seven readings (0.15 per reading).</p>
<figure><img src="img/meter.png" width="704" height="418"
 alt="The meter reading over time: it jumps to -1 dBFS when a tone starts and, after the tone stops at 300 ms, falls in steps of 3 dB every 20 ms.">
<figcaption>Meter reading per 20 ms tick for a burst of tone, with the lamps' ranges shaded.</figcaption></figure>
<figure><img src="img/lamps.png" width="770" height="242"
 alt="The meter's three lamps as the editor draws them at -36, -24, -18, -6, -4.5 and -3 dBFS and after an overload: green half lit at -24 and fully at -18, amber half lit at -4.5 and fully at -3, the red OL lamp lit after the overload.">
<figcaption>The lamps as the editor draws them at each level.</figcaption></figure>""" % self.facts["meter_fall_db"]

    # -- HQ against standard
    def hq(self):
        src = self.w("hq-tone.wav")
        write_wav(src, tone(5000, 1.0, -1.0))
        fig, ax = plt.subplots(figsize=(6.4, 3.8))
        for hq, colour, label in ((False, "#c8322b", "TovraSat"), (True, "#2f6fb5", "TovraSat HQ")):
            dst = self.w("hq-%d.wav" % hq)
            self.b.render(src, dst, "--gain", 100, *(["--hq"] if hq else []))
            f, s = spectrum_db(read_wav(dst)[int(0.3 * RATE):, 0])
            ax.plot(f[1:], s[1:], color=colour, linewidth=0.9, label=label)
        ax.set_xlim(0, 24000)
        ax.set_ylim(-140, 5)
        ax.set_xlabel("frequency (Hz)")
        ax.set_ylabel("level (dBFS)")
        style_axes(ax)
        ax.legend(frameon=False)
        save(fig, os.path.join(self.img, "hq-aliases.png"))
        return """
<h3 id="hq">TovraSat HQ: fewer aliases</h3>
<p>Saturation makes harmonics; those above half the sample rate fold back as aliases, tones
that are not harmonically related to the input. TovraSat HQ oversamples to keep them down.
A 5 kHz tone at -1 dBFS through Gain 100 %, standard and HQ (<code>tovrasat render --hq</code>):
every peak that is not a multiple of 5 kHz is an alias.</p>
<figure><img src="img/hq-aliases.png" width="704" height="418"
 alt="Spectra of a 5 kHz tone through TovraSat and TovraSat HQ at Gain 100 percent: the standard plug-in shows alias peaks between the harmonics, HQ far lower ones.">
<figcaption>A 5 kHz tone at Gain 100 %: TovraSat against TovraSat HQ.</figcaption></figure>"""

    # -- sound examples
    def examples(self):
        demo_dir = self.w("demo")
        self.b.run(self.b.tovrasat, "demo", demo_dir)
        sources = [("mix", "The demo mix: drums, bass and chords", os.path.join(demo_dir, "demo-input.wav")),
                   ("drums", "A drum loop: kick, snare and hi-hats", self.w("drums.wav")),
                   ("bass", "A bass line: a plucked, low-passed sawtooth", self.w("bass.wav"))]
        write_wav(sources[1][2], drum_loop())
        write_wav(sources[2][2], bass_line())
        settings = [("g24", "Gain 24 % (the default)", ["--gain", 24]),
                    ("g60", "Gain 60 %", ["--gain", 60]),
                    ("g100", "Gain 100 %", ["--gain", 100]),
                    ("g100-48v-off", "Gain 100 %, 48V off", ["--gain", 100, "--48v", "off"])]
        jobs = []
        with concurrent.futures.ThreadPoolExecutor(max_workers=max(2, os.cpu_count() or 2)) as pool:
            dry = {key: pool.submit(self.dry_example, key, path) for key, _, path in sources}
            dry = {key: f.result() for key, f in dry.items()}
            for key, _, path in sources:
                for skey, _, options in settings:
                    jobs.append(((key, skey), pool.submit(self.matched_example, key, path, skey, options, dry[key][0])))
            done = {k: f.result() for k, f in jobs}
        self.facts["examples"] = (sources, settings, dry, done)
        blocks = []
        for key, title, _ in sources:
            lufs, tp = dry[key]
            rows = []
            for skey, stitle, _ in settings:
                plufs, ptp, trim = done[(key, skey)]
                rows.append("""<tr><th scope="row">%s<span class="trim">trim %+.1f dB to match</span></th>
<td>%s<p class="fig">%.2f LUFS, %+.2f dBTP</p></td>
<td>%s<p class="fig">%.2f LUFS, %+.2f dBTP</p></td></tr>""" % (
                    html.escape(stitle), trim, self.audio_tag(key + "-dry.ogg", "%s, dry" % title),
                    lufs, tp, self.audio_tag("%s-%s.ogg" % (key, skey), "%s, %s, loudness-matched" % (title, stitle)),
                    plufs, ptp))
            blocks.append("""<h3 id="listen-%s">%s</h3>
<div class="scroll"><table class="pairs"><thead><tr><th>Setting</th><th>Dry</th><th>Processed, same loudness</th></tr></thead>
<tbody>%s</tbody></table></div>""" % (key, html.escape(title), "\n".join(rows)))
        return """
<p>Louder almost always sounds better at first, and saturation makes a signal louder: at full
Gain the demo mix comes out %.1f LU louder. So that you hear what the saturation does to the
sound and not that it is louder, every processed example here is brought back to the
integrated loudness of its dry source, measured with the <code>tovrasat</code> command's own
BS.1770 meter (within %.1f LU; the figures beside each player are those of the Ogg Vorbis file
you hear). Listen to the dry and the processed example of a row one after the other; the
true peak shows how much headroom the saturation took.</p>
%s""" % (-done[("mix", "g100")][2], MATCH_LU, "\n".join(blocks))

    def audio_tag(self, name, caption):
        return ('<figure class="audio"><audio controls preload="metadata" src="audio/%s"></audio>'
                '<figcaption>%s</figcaption></figure>' % (name, html.escape(caption)))

    def encode(self, wav, name):
        ogg = os.path.join(self.audio, name)
        self.b.run("oggenc", "-Q", "-q", "5", "-o", ogg, wav)
        return ogg

    def dry_example(self, key, path):
        return self.b.measure(self.encode(path, key + "-dry.ogg"))

    def matched_example(self, key, path, skey, options, target_lufs):
        """Renders with the trim that brings the example to the dry source's loudness, then
        checks the encoded file: a second pass corrects what the encoder moved."""
        wav = self.w("%s-%s.wav" % (key, skey))
        figures = self.b.render(path, wav, *options)
        trim = figures["in_lufs"] - figures["out_lufs"]
        for _ in range(3):
            self.b.render(path, wav, *options, "--trim", "%.3f" % trim)
            lufs, tp = self.b.measure(self.encode(wav, "%s-%s.ogg" % (key, skey)))
            if abs(lufs - target_lufs) <= MATCH_LU / 2:
                return lufs, tp, trim
            trim += target_lufs - lufs
        if abs(lufs - target_lufs) > MATCH_LU:
            raise Failure("%s at %s: %.2f LUFS against the dry %.2f" % (key, skey, lufs, target_lufs))
        return lufs, tp, trim

    # -- the editor
    def editor(self):
        controls = [  # name, x, y in plate units, side of the label
            ("SIZE menu", 600, 123, "right"),
            ("Gain read-out", 470, 300, "right"),
            ("Meter lamps: OL, +, 0", 139, 292, "left"),
            ("48V switch", 337, 575, "right"),
            ("48V lamp", 140, 570, "left"),
            ("Bypass switch", 337, 768, "right"),
            ("Bypass lamp", 140, 766, "left"),
            ("Gain knob", 332, 1366, "right"),
            ("Output Trim knob", 329, 1680, "right"),
            ("Trim read-out", 262, 1782, "left"),
            ("Preset bar: < name >", 150, 1836, "left"),
        ]
        figures = []
        for scale in (1.0, 1.75):
            pct = int(round(scale * 100))
            shot = self.w("editor-%d.png" % pct)
            self.b.run(self.b.tovrasat, "snapshot", shot, "--scale", scale, "--gain", 60, "--trim", -1.5, "--meter-db", -4)
            image = plt.imread(shot)
            h, w = image.shape[:2]
            shutil.copy(shot, os.path.join(self.img, "editor-%d.png" % pct))
            s = w / 667.0
            margin = 200.0  # room for the names, the same at every size
            dpi = 100.0
            fig = plt.figure(figsize=((w + 2 * margin) / dpi, h / dpi), dpi=dpi)
            ax = fig.add_axes([0, 0, 1, 1])
            ax.imshow(image, extent=(margin, margin + w, h, 0))
            ax.set_xlim(0, w + 2 * margin)
            ax.set_ylim(h, 0)
            ax.axis("off")
            font = 9.0
            for name, x, y, side in controls:
                px, py = margin + x * s, y * s
                tx = margin - 18 if side == "left" else margin + w + 18
                ax.annotate(name, xy=(px, py), xytext=(tx, py), fontsize=font,
                            ha="right" if side == "left" else "left", va="center", color="#111",
                            arrowprops=dict(arrowstyle="-", color="#d0452f", lw=1.0, shrinkA=2, shrinkB=0))
                ax.plot([px], [py], "o", color="#d0452f", markersize=4)
            out = os.path.join(self.img, "editor-%d-named.png" % pct)
            fig.savefig(out, dpi=dpi, facecolor="white")
            plt.close(fig)
            figures.append((pct, w, h, int(w + 2 * margin)))
        # Shown at their own size (the larger scrolls sideways on a narrow screen), so 175 % looks
        # 175 % as large as 100 %.
        pics = "".join("""<figure class="natural"><img src="img/editor-%d-named.png" width="%d" height="%d"
 alt="The TovraSat editor at %d %% (%d by %d pixels), each control named: the SIZE button, the gain read-out, the meter lamps, the 48V and Bypass switches with their lamps, the Gain knob, the Output Trim knob with its read-out, and the preset bar.">
<figcaption>The editor at %d %% (%d &times; %d pixels), Gain 60 %%, trim -1.5 dB, meter at -4 dBFS. <a href="img/editor-%d.png">The picture alone</a>.</figcaption></figure>"""
                       % (pct, fw, h, pct, w, h, pct, w, h, pct) for pct, w, h, fw in figures)
        return """
<p>The editor is drawn like the front plate of a hardware module. Every control is named on the
pictures; the table says what the mouse does with it. A tooltip appears when the pointer
rests half a second on a control.</p>
<div class="figures">%s</div>
<div class="scroll"><table><caption>Mouse gestures</caption>
<thead><tr><th>Control</th><th>Gesture</th><th>What it does</th></tr></thead><tbody>
<tr><td rowspan="4">Gain knob, Gain read-out, Output Trim knob</td><td>drag up or down</td><td>turns it: the Gain knob over its range in 4 heights of the knob, the read-out in 6, the trim knob in 7</td></tr>
<tr><td>Shift or Control (Command on a Mac) while dragging</td><td>fine: ten times slower</td></tr>
<tr><td>wheel</td><td>1 %% of the range per step, 0.1 %% with Shift</td></tr>
<tr><td>double-click</td><td>back to the default (Gain 24 %%, trim 0.0 dB)</td></tr>
<tr><td>48V, Bypass</td><td>click the switch or its lamp</td><td>toggles it (the switch darkens while held); a double-click sets the default (48V on, Bypass off)</td></tr>
<tr><td rowspan="4">Preset bar</td><td>click the left or right arrow</td><td>steps to the previous or next preset (Default first, then the user presets by name)</td></tr>
<tr><td>click the name</td><td>opens the menu: every preset (the current one checked), Save as new preset..., Overwrite "current", Delete (a submenu of the user presets)</td></tr>
<tr><td>in the menu</td><td>mouse, or Up, Down, Right, Left, Enter, Escape; a click outside closes it</td></tr>
<tr><td>typed name</td><td>Save as new preset... opens a name field over the bar: Enter saves, Escape or a click outside cancels</td></tr>
<tr><td>SIZE</td><td>click</td><td>a menu of 100 %%, 125 %%, 150 %% and 175 %%; the host saves the size with the project</td></tr>
<tr><td>Any knob</td><td>typed value</td><td>the editor takes no typed values (a right-click on a control does nothing): type an exact value in your host's generic parameter view</td></tr>
</tbody></table></div>""" % pics

    # -- using it
    def using(self):
        prose = open(os.path.join(HERE, "using.md"), encoding="utf-8").read()
        # What the plug-in reports, as a host reads it.
        info = self.b.run(self.b.tovrasat, "info")
        m = re.search(r"^\s*latency\W+(.*)$", info, re.IGNORECASE | re.MULTILINE)
        if not m:
            raise Failure("tovrasat info names no latency: " + info)
        prose = prose.replace("{latency}", "TovraSat reports %s (`tovrasat info`: latency %s)" % (
            "none: it adds no delay" if re.match(r"0(\.0+)?\b", m.group(1)) else m.group(1), m.group(1).strip()))
        source = open(self.man_source, encoding="utf-8").read()
        man = textconv.man_to_html(source, {"PROJECT_VERSION": self.version})
        return textconv.markdown(prose, level_offset=2) + """
<h3 id="the-command">The command: tovrasat(1)</h3>
<p>The manual page of the command, as <code>man tovrasat</code> shows it.</p>
<div class="man">%s</div>""" % man

    # -- reference
    def reference(self):
        """The command, the LV2 plug-in, building and testing in depth. Its pictures are host
        screenshots kept in docs/ (a host cannot be started for every build of the page)."""
        def image(path):
            source = os.path.normpath(os.path.join(HERE, "..", "..", path))
            shutil.copy(source, os.path.join(self.img, os.path.basename(path)))
            return "img/" + os.path.basename(path)
        text = open(os.path.join(HERE, "reference.md"), encoding="utf-8").read()
        return ("<p>Everything else, for the curious and for developers: the command in depth, "
                "the LV2 plug-in and its tests, building, testing, the source layout, the Mac build "
                "and the benchmarks.</p>" + textconv.markdown(text, level_offset=1, image=image))

    def sized(self, text):
        """Every picture's width and height attributes made those of its file, so the page
        keeps its layout while pictures load and a picture is never drawn distorted."""
        def fix(m):
            with open(os.path.join(self.out, m.group(1)), "rb") as f:
                width, height = struct.unpack(">II", f.read(24)[16:24])
            return '<img src="%s" width="%d" height="%d"' % (m.group(1), width, height)
        return re.sub(r'<img src="([^"]+)" width="\d+" height="\d+"', fix, text)

    # -- the page
    def page(self, sections):
        nav = "".join('<li><a href="#%s">%s</a></li>' % (sid, html.escape(title)) for sid, title, _ in sections)
        body = "".join('<section id="%s"><h2>%s</h2>%s</section>\n' % (sid, html.escape(title), content)
                       for sid, title, content in sections)
        return """<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>TovraSat %s: the manual</title>
<link rel="stylesheet" href="style.css">
</head><body>
<header><h1>TovraSat</h1>
<p class="lead">A stereo saturation effect for music producers: a knee, a parabolic soft
clipper and a soft limiter, mixed by Gain, with an output trim, a bypass cross-fade and a peak
meter, in an editor drawn like the front plate of a hardware module. An Audio Unit for macOS and
an LV2 plug-in for Linux hosts, with the command <code>tovrasat</code> that renders files
through it.</p>
<nav aria-label="Contents"><ul>%s</ul></nav></header>
<main>%s</main>
<footer><p>Made by <code>./run.sh docs</code> from TovraSat %s: every picture and sound on
this page comes from this build of the plug-in.</p></footer>
</body></html>
""" % (html.escape(self.version), nav, body, html.escape(self.version))


def version_of(tovrasat):
    text = subprocess.run([tovrasat, "--version"], capture_output=True, text=True).stdout
    m = re.search(r"(\d+\.\d+\.\d+)", text)
    return m.group(1) if m else "unknown"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tovrasat", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--man", default=os.path.join(HERE, "..", "..", "packaging", "tovrasat.1.in"))
    args = parser.parse_args()
    started = time.monotonic()
    out = os.path.abspath(args.out)
    work = out.rstrip("/") + ".work"
    for d in (out, work):
        shutil.rmtree(d, ignore_errors=True)
    for d in (work, os.path.join(out, "img"), os.path.join(out, "audio")):
        os.makedirs(d)
    build = Build(os.path.abspath(args.tovrasat), os.path.abspath(args.probe), work)
    m = Manual(build, out, work, args.man, version_of(build.tovrasat))
    try:
        controls = [m.transfer(), m.spectra(), m.phantom(), m.trim(), m.bypass(), m.meter()]
        if build.has_hq():
            controls.append(m.hq())
        what = ("""<p>Four controls: <strong>Gain</strong> (0 to 100 %, how much of the saturated
signal is mixed with the input), <strong>Output Trim</strong> (-24 to +12 dB),
<strong>48V</strong> (how the final limiter reacts) and <strong>Bypass</strong>. Every plot
below was measured on this build by rendering test signals through it.</p>"""
                + "".join('<h3 id="%s">%s</h3>%s' % (sid, t, c) for (sid, t), c in zip(
                    [("transfer-curves", "Gain: transfer curves"), ("harmonics", "Gain: harmonics"),
                     ("48v", "48V on a drum hit"), ("output-trim", "Output Trim"),
                     ("bypass", "Bypass: the cross-fade"), ("meter", "The meter and its lamps")],
                    controls[:6])) + "".join(controls[6:]))
        sections = [("listen", "Listen", m.examples()),
                    ("controls", "What each control does", what),
                    ("editor", "The editor", m.editor()),
                    ("using", "Using it", m.using()),
                    ("reference", "Reference", m.reference())]
    except Failure as e:
        print("make_manual: %s" % e, file=sys.stderr)
        return 1
    shutil.copy(os.path.join(HERE, "style.css"), os.path.join(out, "style.css"))
    with open(os.path.join(out, "index.html"), "w", encoding="utf-8") as f:
        f.write(m.sized(m.page(sections)))
    sources, settings, dry, done = m.facts["examples"]
    print("make_manual: %s in %.1f s" % (os.path.join(out, "index.html"), time.monotonic() - started))
    for key, title, _ in sources:
        print("  %-6s dry %7.2f LUFS %+6.2f dBTP" % (key, dry[key][0], dry[key][1]))
        for skey, _, _ in settings:
            lufs, tp, trim = done[(key, skey)]
            print("  %-6s %-13s %7.2f LUFS %+6.2f dBTP (trim %+.2f dB, %+.2f LU from dry)" % (
                key, skey, lufs, tp, trim, lufs - dry[key][0]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
