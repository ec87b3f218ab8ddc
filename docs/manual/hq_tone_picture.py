#!/usr/bin/python3
# hq_tone_picture.py: the README's picture of a 4987 Hz tone through TovraSat, TovraSat HQ and the
# Calf Saturator, and the table of its harmonics and worst alias.
#
#   hq_tone_picture.py --tovrasat BUILD/tools/tovrasat [--out docs/hq-tone-picture.png] [--drive 5 --drive 10]
#
# The tone is an integer number of hertz at 0.99 of full scale, 2 s at 48 kHz; its second from
# 0.5 s is analysed with a rectangular window, so the tone, each harmonic and each alias falls on
# one bin of 1 Hz. TovraSat and HQ render through the command at Gain 100 % (48V on), the Calf
# Saturator (Debian's calf-plugins) through lv2apply at each drive given; the picture shows the
# first drive.
import argparse
import os
import shutil
import sys
import tempfile
import warnings

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_manual as mm  # noqa: E402
from make_manual import plt, scipy  # noqa: E402

# lv2apply's files carry a PEAK chunk, which scipy skips with a warning.
warnings.simplefilter("ignore", scipy.io.wavfile.WavFileWarning)

TONE_HZ = 4987
AMPLITUDE = 0.99
CALF_URI = "http://calf.sourceforge.net/plugins/Saturator"
# Aliases are counted from 20 Hz up to 20 kHz or 0.4 of the rate, as the dsp tests count them
# (above that HQ's first filter lets harmonics just past Nyquist fold back partly attenuated);
# the table gives the worst up to Nyquist as well.
BAND_TOP = min(20000, int(0.4 * mm.RATE))
FLOOR_DB = -160.0
# The second analysed starts half a second in (the limiters have settled) and ends half a second
# before the file does: the command compensates HQ's latency, so the file's last frames hold the
# tone's end, which would spread over every bin.
SKIP = mm.RATE // 2


class Analysis:
    """The spectrum of the analysed second in dB re the fundamental, bin k at k Hz."""

    def __init__(self, name, colour, path):
        y = mm.read_wav(path)[SKIP:SKIP + mm.RATE, 0]
        freqs, spec = mm.spectrum_db(y, "boxcar")
        self.name, self.colour = name, colour
        self.freqs = freqs
        self.rel = np.maximum(spec - spec[TONE_HZ], FLOOR_DB)
        harmonic = np.arange(len(freqs)) % TONE_HZ == 0
        harmonic[0] = False
        self.harmonic = harmonic
        # None where the harmonic lies above Nyquist (the 5th of 4987 Hz at 48 kHz does).
        self.harmonics = [self.rel[h * TONE_HZ] if h * TONE_HZ < len(freqs) else None for h in range(2, 6)]
        self.worst_band = self.worst(BAND_TOP)
        self.worst_all = self.worst(len(freqs) - 1)
        k = np.arange(20, BAND_TOP + 1)
        k = k[~harmonic[k]]
        self.alias_sum = 10 * np.log10(np.sum(10 ** (self.rel[k] / 10)))

    def worst(self, top):
        """The strongest bin from 20 Hz up to top that is no harmonic: (Hz, dB)."""
        k = np.arange(20, top + 1)
        k = k[~self.harmonic[k]]
        i = k[np.argmax(self.rel[k])]
        return int(i), float(self.rel[i])


def render_all(build, work, drives):
    src = os.path.join(work, "tone.wav")
    mm.write_wav(src, mm.tone(TONE_HZ, 2.0, 20 * np.log10(AMPLITUDE)))
    results = []
    for name, colour, options in (("TovraSat", "#c8322b", []), ("TovraSat HQ", "#2f6fb5", ["--hq"])):
        dst = os.path.join(work, "%s.wav" % name.replace(" ", "-"))
        build.render(src, dst, "--gain", 100, *options)
        results.append(Analysis(name, colour, dst))
    for drive in drives:
        dst = os.path.join(work, "calf-drive-%g.wav" % drive)
        build.run("lv2apply", "-i", src, "-o", dst, "-c", "drive", drive, CALF_URI)
        results.append(Analysis("Calf Saturator, drive %g" % drive, "#3c8c4a", dst))
    return results


def plot(results, path):
    fig, axes = plt.subplots(len(results), 1, figsize=(7.2, 2.1 * len(results) + 0.5), sharex=True)
    for ax, a in zip(axes, results):
        ax.plot(a.freqs / 1000, a.rel, color=a.colour, linewidth=0.7)
        h = np.nonzero(a.harmonic)[0]
        ax.plot(a.freqs[h] / 1000, a.rel[h], "o", color="#111", markersize=5, clip_on=False)
        band, full = a.worst_band, a.worst_all
        ax.plot([band[0] / 1000], [band[1]], "x", color="#111", markersize=7, mew=1.5)
        ax.plot([full[0] / 1000], [full[1]], "x", color="#111", markersize=7, mew=1.5)
        ax.text(0.01, 0.97, a.name, transform=ax.transAxes, ha="left", va="top", fontsize=10,
                fontweight="bold", color=a.colour)
        ax.text(0.99, 0.97, "worst alias: %.1f dB to %g kHz, %.1f dB to 24 kHz"
                % (band[1], BAND_TOP / 1000, full[1]),
                transform=ax.transAxes, ha="right", va="top", fontsize=8.5, color="#222")
        ax.set_ylim(FLOOR_DB, 18)
        ax.set_yticks([-150, -120, -90, -60, -30, 0])
        mm.style_axes(ax)
    axes[-1].set_xlim(0, mm.RATE / 2000)
    axes[-1].set_xticks(range(0, 25, 2))
    axes[-1].set_xlabel("frequency (kHz)")
    axes[len(axes) // 2].set_ylabel("dB re the fundamental")
    handles = [plt.Line2D([], [], marker="o", color="#111", linestyle="none", markersize=5),
               plt.Line2D([], [], color="#777", linewidth=0.9),
               plt.Line2D([], [], marker="x", color="#111", linestyle="none", markersize=7, mew=1.5)]
    fig.legend(handles, ["fundamental and harmonics", "every other bin: aliases", "worst alias"],
               loc="upper center", ncol=3, frameon=False, fontsize=9, bbox_to_anchor=(0.5, 0.965))
    fig.suptitle("%d Hz sine at %.2f of full scale, 48 kHz, 1 s, rectangular window (1 Hz bins)"
                 % (TONE_HZ, AMPLITUDE), fontsize=10, y=0.995)
    fig.tight_layout(rect=(0, 0, 1, 0.955))
    mm.save(fig, path)


def level(v):
    if v is None:
        return "> fs/2"
    return "< %d" % (FLOOR_DB + 10) if v < FLOOR_DB + 10 else "%.1f" % v


def table(results):
    lines = ["%-28s %8s %8s %8s %8s   %-24s %-24s %s" % (
        "%d Hz, 0.99 FS, 48 kHz" % TONE_HZ, "2nd", "3rd", "4th", "5th",
        "worst alias to %g kHz" % (BAND_TOP / 1000), "worst alias to 24 kHz", "all to %g kHz" % (BAND_TOP / 1000))]
    for a in results:
        lines.append("%-28s %s   %-24s %-24s %.1f dB" % (
            a.name, " ".join("%8s" % level(v) for v in a.harmonics),
            "%.1f dB at %d Hz" % (a.worst_band[1], a.worst_band[0]),
            "%.1f dB at %d Hz" % (a.worst_all[1], a.worst_all[0]), a.alias_sum))
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description="the README's picture of a tone through TovraSat, HQ and the Calf Saturator")
    parser.add_argument("--tovrasat", required=True)
    parser.add_argument("--out", default=os.path.join(HERE, "..", "hq-tone-picture.png"))
    parser.add_argument("--drive", type=float, action="append",
                        help="the Calf Saturator's drive (0.1 to 10), repeatable; default 10 (pictured) and 5")
    args = parser.parse_args()
    drives = args.drive or [10.0, 5.0]
    if shutil.which("lv2apply") is None:
        print("hq_tone_picture: lv2apply is not installed (lilv-utils)", file=sys.stderr)
        return 1
    work = tempfile.mkdtemp(prefix="hq-tone-picture.")
    try:
        build = mm.Build(os.path.abspath(args.tovrasat), None, work)
        if not build.has_hq():
            print("hq_tone_picture: %s has no --hq" % args.tovrasat, file=sys.stderr)
            return 1
        results = render_all(build, work, drives)
    except mm.Failure as e:
        print("hq_tone_picture: %s" % e, file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)
    plot(results[:3], os.path.abspath(args.out))
    print(table(results))
    print("hq_tone_picture: %s (Calf at drive %g)" % (os.path.normpath(os.path.abspath(args.out)), drives[0]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
