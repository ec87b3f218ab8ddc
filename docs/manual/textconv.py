# textconv.py: the manual's prose and the man page turned into HTML, with the few constructs they use.
import html
import re

_INLINE_CODE = re.compile(r"`([^`]+)`")
_LINK = re.compile(r"\[([^\]]+)\]\(([^)\s]+)\)")
_BOLD = re.compile(r"\*\*([^*]+)\*\*")


def slug(text):
    """The anchor a heading gets: lower case, words joined by hyphens."""
    text = re.sub(r"<[^>]+>", "", text)
    text = re.sub(r"[^a-z0-9 -]", "", text.lower())
    return re.sub(r"\s+", "-", text.strip())


def inline(text):
    """Escapes text and renders `code`, **bold** and [links](target)."""
    parts = []
    last = 0
    for m in _INLINE_CODE.finditer(text):
        parts.append(_rich(text[last:m.start()]))
        parts.append("<code>" + html.escape(m.group(1)) + "</code>")
        last = m.end()
    parts.append(_rich(text[last:]))
    return "".join(parts)


def _rich(text):
    out = html.escape(text, quote=False)
    out = _BOLD.sub(r"<strong>\1</strong>", out)
    return _LINK.sub(lambda m: '<a href="%s">%s</a>' % (html.escape(m.group(2)), m.group(1)), out)


def _table_cells(line):
    line = line.strip().strip("|")
    # A pipe escaped with a backslash stays in its cell.
    cells = re.split(r"(?<!\\)\|", line)
    return [c.strip().replace("\\|", "|") for c in cells]


def markdown(text, level_offset=0, image=None):
    """The Markdown subset the manual's sources use: headings, paragraphs, lists, tables, fenced
    code, pictures on a line of their own, HTML comments. Headings get ids from their text,
    shifted down by level_offset; image(path) gives the page's path of a picture."""
    out = []
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        line = lines[i]
        if not line.strip() or line.startswith("<!--"):
            i += 1
            continue
        m = re.fullmatch(r"!\[([^\]]*)\]\(([^)\s]+)\)\s*", line)
        if m:
            if image is None:
                raise ValueError("a picture where none is expected: " + line)
            out.append('<figure><img src="%s" width="0" height="0" alt="%s"><figcaption>%s</figcaption></figure>'
                       % (html.escape(image(m.group(2))), html.escape(m.group(1)), html.escape(m.group(1))))
            i += 1
            continue
        if line.startswith("```"):
            i += 1
            body = []
            while i < len(lines) and not lines[i].startswith("```"):
                body.append(lines[i])
                i += 1
            i += 1
            out.append("<pre><code>" + html.escape("\n".join(body)) + "</code></pre>")
            continue
        m = re.match(r"(#{1,6})\s+(.*)", line)
        if m:
            level = min(len(m.group(1)) + level_offset, 6)
            title = m.group(2).strip()
            out.append('<h%d id="%s">%s</h%d>' % (level, slug(title), inline(title), level))
            i += 1
            continue
        if line.lstrip().startswith("|"):
            rows = []
            while i < len(lines) and lines[i].lstrip().startswith("|"):
                rows.append(_table_cells(lines[i]))
                i += 1
            head, body = rows[0], [r for r in rows[1:] if not all(re.fullmatch(r":?-+:?", c) for c in r)]
            cells = "".join("<th>%s</th>" % inline(c) for c in head)
            trs = "".join("<tr>%s</tr>" % "".join("<td>%s</td>" % inline(c) for c in r) for r in body)
            out.append('<div class="scroll"><table><thead><tr>%s</tr></thead><tbody>%s</tbody></table></div>'
                       % (cells, trs))
            continue
        if re.match(r"\s*[-*] ", line):
            items = []
            while i < len(lines) and lines[i].strip():
                if re.match(r"\s*[-*] ", lines[i]):
                    items.append(re.sub(r"^\s*[-*] ", "", lines[i]))
                else:
                    items[-1] += " " + lines[i].strip()
                i += 1
            out.append("<ul>%s</ul>" % "".join("<li>%s</li>" % inline(t) for t in items))
            continue
        para = []
        while (i < len(lines) and lines[i].strip() and not lines[i].startswith(("```", "#", "|"))
               and not re.match(r"\s*[-*] ", lines[i])):
            para.append(lines[i].strip())
            i += 1
        out.append("<p>%s</p>" % inline(" ".join(para)))
    return "\n".join(out)


# ---------------------------------------------------------------------------------- man page

def _roff_escapes(text):
    text = text.replace("\\-", "-").replace("\\(em", "\u2014").replace("\\(en", "\u2013")
    text = text.replace("\\(aq", "'").replace("\\(dq", '"').replace("\\e", "\\").replace("\\&", "")
    text = text.replace("\\ ", " ").replace("\\|", "").replace("\\^", "").replace("\\~", " ")
    return text


def _fonts(text):
    """\\fB...\\fR and friends to <b>/<i>, the rest escaped."""
    out, stack = [], []
    pos = 0
    for m in re.finditer(r"\\f([BIRP])", text):
        out.append(html.escape(_roff_escapes(text[pos:m.start()]), quote=False))
        while stack:
            out.append("</%s>" % stack.pop())
        if m.group(1) in "BI":
            tag = "b" if m.group(1) == "B" else "i"
            out.append("<%s>" % tag)
            stack.append(tag)
        pos = m.end()
    out.append(html.escape(_roff_escapes(text[pos:]), quote=False))
    while stack:
        out.append("</%s>" % stack.pop())
    return "".join(out)


def _args(rest):
    """A macro's arguments: words, or quoted strings."""
    return [a[1:-1] if a.startswith('"') else a for a in re.findall(r'"[^"]*"|\S+', rest)]


def _alternate(macro, rest):
    tags = {"B": "b", "I": "i", "R": None}
    args = _args(rest)
    out = []
    for n, a in enumerate(args):
        tag = tags[macro[n % 2]] if len(macro) == 2 else tags[macro[0]]
        t = _fonts(a)
        out.append("<%s>%s</%s>" % (tag, t, tag) if tag else t)
    return "".join(out) if len(macro) == 2 else " ".join(out)


def man_to_html(source, substitutions, id_prefix="man-"):
    """The man page's sections as HTML: .SH and .SS become headings, .TP entries a definition
    list, .nf/.fi preformatted blocks."""
    out = []
    para = []
    dl_open = False
    term_next = False
    dd_open = False
    pre = None
    rs_depth = 0

    for key, value in substitutions.items():
        source = source.replace("@%s@" % key, value)

    def flush():
        nonlocal para
        if para:
            out.append("<p>%s</p>" % " ".join(para))
            para = []

    def close_dd():
        nonlocal dd_open
        flush()
        if dd_open:
            out.append("</dd>")
            dd_open = False

    def close_dl():
        nonlocal dl_open
        close_dd()
        if dl_open:
            out.append("</dl>")
            dl_open = False

    for raw in source.splitlines():
        if raw.startswith('.\\"') or raw.startswith("'\\\""):
            continue
        if pre is not None:
            if raw.startswith(".fi"):
                out.append("<pre><code>%s</code></pre>" % "\n".join(pre))
                pre = None
            elif not raw.startswith("."):
                pre.append(_fonts(raw))
            continue
        m = re.match(r"\.([A-Za-z]+)\s*(.*)", raw)
        if not m:
            text = _fonts(raw)
            if term_next:
                out.append("<dt>%s</dt><dd>" % text)
                term_next, dd_open = False, True
            else:
                para.append(text)
            continue
        macro, rest = m.group(1), m.group(2)
        if macro == "TH":
            continue
        if macro in ("SH", "SS"):
            close_dl()
            title = " ".join(_args(rest)).strip()
            level = 4 if macro == "SH" else 5
            shown = title.capitalize() if macro == "SH" else title
            out.append('<h%d id="%s%s">%s</h%d>' % (level, id_prefix, slug(title), html.escape(shown), level))
        elif macro in ("PP", "P", "LP"):
            close_dd() if dl_open else flush()
        elif macro == "TP":
            close_dd()
            if not dl_open:
                out.append("<dl>")
                dl_open = True
            term_next = True
        elif macro == "IP":
            close_dd()
            if not dl_open:
                out.append("<dl>")
                dl_open = True
            out.append("<dt>%s</dt><dd>" % _fonts(" ".join(_args(rest))))
            dd_open = True
        elif macro == "br":
            if para:
                para[-1] += "<br>"
        elif macro == "nf":
            flush()
            pre = []
        elif macro == "RS":
            flush()
            rs_depth += 1
        elif macro == "RE":
            flush()
            rs_depth = max(0, rs_depth - 1)
        elif macro in ("B", "I", "BI", "BR", "IR", "RB", "RI", "IB"):
            text = _alternate(macro, rest)
            if term_next:
                out.append("<dt>%s</dt><dd>" % text)
                term_next, dd_open = False, True
            elif para and para[-1].endswith("<br>"):
                para.append(text)
            else:
                para.append(text)
        else:
            raise ValueError("the man page uses .%s, which the manual cannot show yet" % macro)
    close_dl()
    flush()
    return "\n".join(out)
