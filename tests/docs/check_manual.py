#!/usr/bin/python3
# check_manual.py: makes the manual from a build and opens it in headless Chromium, as a reader's
# browser would: it fails on anything the page logs as an error, an image without pixels, an
# <audio> whose duration is not that of its file, a broken link inside the page or to one of its
# files, or a page wider than a phone's screen or a desktop at 200 % zoom. It takes screenshots at
# a desktop and at a phone width.
#
#   check_manual.py --tovrasat BIN --probe BIN --out DIR [--shots DIR]   make the page, then check it
#   check_manual.py --page DIR [--shots DIR [--full]]                     check a page as it is
#   check_manual.py --self-test --page DIR                                break a copy, expect each fault
#
# Exit 77 (a skip for CTest) when no chromium is installed.
import argparse
import base64
import fcntl
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
SKIP = 77
DESKTOP = (1280, 900)
PHONE = (390, 844)


# ------------------------------------------------------------------------------ file durations

def ogg_duration(path):
    """Seconds in an Ogg Vorbis file: the last page's granule position over the rate in the
    identification header."""
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(b"OggS"):
        raise ValueError("%s is no Ogg file" % path)
    ident = data.find(b"\x01vorbis")
    if ident < 0:
        raise ValueError("%s holds no Vorbis stream" % path)
    rate = struct.unpack_from("<I", data, ident + 12)[0]
    last = data.rfind(b"OggS")
    granule = struct.unpack_from("<q", data, last + 6)[0]
    return granule / rate


def flac_duration(path):
    with open(path, "rb") as f:
        data = f.read(42)
    if not data.startswith(b"fLaC"):
        raise ValueError("%s is no FLAC file" % path)
    info = int.from_bytes(data[18:26], "big")
    rate = info >> 44
    samples = info & ((1 << 36) - 1)
    return samples / rate


def file_duration(path):
    return flac_duration(path) if path.endswith(".flac") else ogg_duration(path)


# --------------------------------------------------------------- Chromium over the DevTools pipe

class Browser:
    """Chromium with --remote-debugging-pipe: requests on fd 3, replies and events on fd 4, each
    message JSON ended by a NUL byte."""

    def __init__(self, chromium, timeout=90.0):
        self.profile = tempfile.mkdtemp(prefix="tovrasat-chromium-")
        to_child_r, self.to_child = os.pipe()
        self.from_child, from_child_w = os.pipe()
        # Moved above the numbers the child needs, so the dup2 calls cannot clobber each other.
        high = [fcntl.fcntl(fd, fcntl.F_DUPFD_CLOEXEC, 10) for fd in (to_child_r, from_child_w)]
        os.close(to_child_r)
        os.close(from_child_w)

        def pipes_as_3_and_4():
            os.dup2(high[0], 3)
            os.dup2(high[1], 4)

        args = [chromium, "--headless", "--remote-debugging-pipe", "--no-first-run",
                "--no-default-browser-check", "--disable-gpu", "--disable-extensions",
                "--mute-audio", "--user-data-dir=" + self.profile, "about:blank"]
        if os.geteuid() == 0:
            args.insert(1, "--no-sandbox")  # Chromium refuses to run as root with its sandbox
        self.proc = subprocess.Popen(args, pass_fds=(3, 4), preexec_fn=pipes_as_3_and_4,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for fd in high:
            os.close(fd)
        self.buffer = b""
        self.next_id = 0
        self.events = []
        self.timeout = timeout

    def close(self):
        try:
            self.send("Browser.close")
        except Exception:
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        os.close(self.to_child)
        os.close(self.from_child)
        shutil.rmtree(self.profile, ignore_errors=True)

    def _read_message(self, deadline):
        while b"\0" not in self.buffer:
            if time.monotonic() > deadline:
                raise TimeoutError("Chromium did not answer in time")
            chunk = os.read(self.from_child, 1 << 20)
            if not chunk:
                raise RuntimeError("Chromium closed its DevTools pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def send(self, method, params=None, session=None):
        self.next_id += 1
        request = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            request["sessionId"] = session
        os.write(self.to_child, json.dumps(request).encode() + b"\0")
        deadline = time.monotonic() + self.timeout
        while True:
            message = self._read_message(deadline)
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError("%s: %s" % (method, message["error"].get("message")))
                return message.get("result", {})
            self.events.append(message)

    def wait_for(self, method, session):
        deadline = time.monotonic() + self.timeout
        for i, event in enumerate(self.events):
            if event.get("method") == method and event.get("sessionId") == session:
                del self.events[i]
                return event
        while True:
            event = self._read_message(deadline)
            self.events.append(event)
            if event.get("method") == method and event.get("sessionId") == session:
                self.events.pop()
                return event


PAGE_FACTS = r"""
(async () => {
  const audios = [...document.querySelectorAll('audio')];
  const settled = audios.map(a => new Promise(resolve => {
    const done = () => resolve({src: a.getAttribute('src'), duration: a.duration,
                                error: a.error ? a.error.code : 0});
    if (a.error || (a.readyState >= 1 && isFinite(a.duration))) return done();
    a.addEventListener('loadedmetadata', done, {once: true});
    a.addEventListener('durationchange', () => { if (isFinite(a.duration)) done(); });
    a.addEventListener('error', done, {once: true});
  }));
  const images = [...document.images].map(i => ({src: i.getAttribute('src'), width: i.naturalWidth,
                                                 alt: i.getAttribute('alt')}));
  const links = [...document.querySelectorAll('a[href], link[href]')].map(a => a.getAttribute('href'));
  const sources = [...document.querySelectorAll('[src]')].map(e => e.getAttribute('src'));
  const ids = [...document.querySelectorAll('[id]')].map(e => e.id);
  const captions = audios.filter(a => !(a.closest('figure') && a.closest('figure').querySelector('figcaption'))).length;
  // The style sheet applied (its rules cannot be read from a file:// page): the header's column.
  const styled = getComputedStyle(document.querySelector('header') || document.body).maxWidth !== 'none';
  return JSON.stringify({audios: await Promise.all(settled), images, links, sources, ids, captions, styled});
})()
"""

WIDTH = "JSON.stringify({page: document.documentElement.scrollWidth})"


def check_page(chromium, page_dir, shots, full=False):
    """Every fault found, as one line each."""
    faults = []
    index = os.path.join(page_dir, "index.html")
    url = "file://" + urllib.parse.quote(os.path.abspath(index))
    browser = Browser(chromium)
    try:
        target = browser.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = browser.send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime", "Log", "Network"):
            browser.send(domain + ".enable", session=session)

        def viewport(size, mobile, scale=1):
            browser.send("Emulation.setDeviceMetricsOverride",
                         {"width": size[0], "height": size[1], "deviceScaleFactor": scale, "mobile": mobile},
                         session=session)

        viewport(DESKTOP, False)
        browser.send("Page.navigate", {"url": url}, session=session)
        browser.wait_for("Page.loadEventFired", session)
        result = browser.send("Runtime.evaluate", {"expression": PAGE_FACTS, "awaitPromise": True,
                                                   "returnByValue": True}, session=session)
        if "exceptionDetails" in result:
            raise RuntimeError("the page's checks failed to run: %s" % result["exceptionDetails"])
        facts = json.loads(result["result"]["value"])

        for image in facts["images"]:
            if image["width"] == 0:
                faults.append("image without pixels: %s" % image["src"])
            if not image["alt"]:
                faults.append("image without alternative text: %s" % image["src"])
        for audio in facts["audios"]:
            path = os.path.join(page_dir, urllib.parse.unquote(audio["src"]))
            try:
                expected = file_duration(path)
            except (OSError, ValueError) as e:
                faults.append("audio %s: %s" % (audio["src"], e))
                continue
            if audio["error"] or not audio["duration"] or abs(audio["duration"] - expected) > 0.02:
                faults.append("audio not decoded: %s plays %s s, the file holds %.3f s%s" % (
                    audio["src"], audio["duration"], expected,
                    " (media error %d)" % audio["error"] if audio["error"] else ""))
        if facts["captions"]:
            faults.append("%d audio players without a caption" % facts["captions"])
        if not facts["styled"]:
            faults.append("the style sheet did not load")
        ids = set(facts["ids"])
        for href in facts["links"] + facts["sources"]:
            parsed = urllib.parse.urlparse(href)
            if parsed.scheme in ("http", "https", "mailto"):
                continue  # outside the page: not ours to check offline
            if parsed.scheme:
                faults.append("link with a scheme the page cannot rely on: %s" % href)
                continue
            if parsed.path:
                target_path = os.path.normpath(os.path.join(page_dir, urllib.parse.unquote(parsed.path)))
                if not os.path.isfile(target_path):
                    faults.append("broken link: %s (no such file)" % href)
            elif parsed.fragment and parsed.fragment not in ids:
                faults.append("broken link: %s (no such anchor)" % href)

        # Readable without scrolling sideways: at a desktop at 200 % zoom (half the CSS width) and
        # on a phone.
        for name, size, mobile in (("desktop at 200 % zoom", (DESKTOP[0] // 2, DESKTOP[1] // 2), False),
                                   ("phone", PHONE, True)):
            viewport(size, mobile)
            width = json.loads(browser.send("Runtime.evaluate", {"expression": WIDTH, "returnByValue": True},
                                            session=session)["result"]["value"])
            # Against the emulated width: a phone's window grows to fit a page that is too wide.
            if width["page"] > size[0]:
                faults.append("the page is %d px wide on a %s of %d px: it scrolls sideways" % (
                    width["page"], name, size[0]))

        if shots:
            os.makedirs(shots, exist_ok=True)
            for name, size, mobile, scale in (("desktop", DESKTOP, False, 1), ("phone", PHONE, True, 2)):
                viewport(size, mobile, scale)
                for whole in (False, True) if full else (False,):
                    params = {"format": "png", "captureBeyondViewport": whole}
                    data = browser.send("Page.captureScreenshot", params, session=session)["data"]
                    path = os.path.join(shots, "manual-%s%s.png" % (name, "-full" if whole else ""))
                    with open(path, "wb") as f:
                        f.write(base64.b64decode(data))

        # What the page logged while it loaded and was measured.
        for event in browser.events:
            method, params = event.get("method"), event.get("params", {})
            if method == "Runtime.exceptionThrown":
                faults.append("script error: %s" % params["exceptionDetails"].get("text"))
            elif method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert"):
                faults.append("console error: %s" % " ".join(str(a.get("value", a.get("description")))
                                                           for a in params.get("args", [])))
            elif method == "Log.entryAdded" and params["entry"].get("level") == "error":
                faults.append("logged error: %s %s" % (params["entry"].get("text"), params["entry"].get("url", "")))
            elif method == "Network.loadingFailed" and not params.get("canceled"):
                faults.append("failed to load: %s (%s)" % (params.get("requestId"), params.get("errorText")))
    finally:
        browser.close()
    return faults


def self_test(chromium, page_dir):
    """Breaks a copy of the page once in each way the check must catch, and expects each fault."""
    work = tempfile.mkdtemp(prefix="tovrasat-manual-broken-")
    try:
        copy = os.path.join(work, "page")
        shutil.copytree(page_dir, copy)
        index = os.path.join(copy, "index.html")
        with open(index, encoding="utf-8") as f:
            text = f.read()
        # An image without pixels, an audio file cut short, a link to a missing anchor and to a
        # missing file, and a script that logs an error.
        first_png = sorted(os.listdir(os.path.join(copy, "img")))[0]
        with open(os.path.join(copy, "img", first_png), "wb") as f:
            f.write(b"not a picture")
        first_ogg = sorted(os.listdir(os.path.join(copy, "audio")))[0]
        ogg = os.path.join(copy, "audio", first_ogg)
        with open(ogg, "rb") as f:
            head = f.read()
        with open(ogg, "wb") as f:
            f.write(head[: len(head) // 3])
        text = text.replace("</main>", '<p><a href="#no-such-part">x</a> <a href="no-such-file.html">y</a></p>'
                                       "<script>console.error('broken on purpose')</script></main>")
        with open(index, "w", encoding="utf-8") as f:
            f.write(text)
        faults = check_page(chromium, copy, None)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    expected = {"image without pixels: img/" + first_png: False, "audio audio/" + first_ogg: False,
                "audio not decoded: audio/" + first_ogg: False, "#no-such-part": False,
                "no-such-file.html": False, "broken on purpose": False}
    for fault in faults:
        for key in expected:
            if key in fault:
                expected[key] = True
    # The cut audio file is reported either as undecodable or as holding a different duration.
    cut = expected.pop("audio audio/" + first_ogg) or expected.pop("audio not decoded: audio/" + first_ogg)
    missed = [key for key, seen in expected.items() if not seen] + ([] if cut else ["the cut audio file"])
    for fault in faults:
        print("  found (as it should): " + fault)
    if missed:
        print("check_manual: the check missed: " + ", ".join(missed), file=sys.stderr)
        return 1
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tovrasat")
    parser.add_argument("--probe")
    parser.add_argument("--out")
    parser.add_argument("--page")
    parser.add_argument("--shots")
    parser.add_argument("--full", action="store_true", help="also screenshots of the whole page")
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        print("check_manual: SKIPPED: no chromium on PATH (Debian's package chromium; ./run.sh setup installs it)")
        return SKIP
    page = args.page
    if args.out:
        generator = os.path.join(HERE, "..", "..", "docs", "manual", "make_manual.py")
        made = subprocess.run([sys.executable, generator, "--tovrasat", args.tovrasat, "--probe", args.probe,
                               "--out", args.out])
        if made.returncode != 0:
            print("check_manual: the manual could not be made", file=sys.stderr)
            return 1
        page = args.out
        # A command with --hq has TovraSat HQ in its bundle: the page must show HQ's section.
        commands = subprocess.run([args.tovrasat, "--help"], capture_output=True, text=True).stdout
        with open(os.path.join(page, "index.html"), encoding="utf-8") as f:
            if "--hq" in commands and 'id="hq"' not in f.read():
                print("check_manual: the build has TovraSat HQ, the manual no section on it", file=sys.stderr)
                return 1
    if args.self_test:
        return self_test(chromium, page)
    faults = check_page(chromium, page, args.shots, args.full)
    for fault in faults:
        print("check_manual: " + fault, file=sys.stderr)
    if args.shots:
        print("check_manual: screenshots in %s" % args.shots)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
