"""Turns the UTF-8 message tables of this folder into C++ source.

usage: generate_message_tables.py <tables.cpp> <sources.cpp> <table.txt>...

The tables are written in the order given, which is the selection order of
the language list. Each text must carry the placeholders of the English
text in the same number and order (_PRODUCT_NAME_, _OLD_PRODUCT_NAME_,
_PRODUCT_VERSION_ and every printf conversion: the conversions are filled in
by position, so a swapped or dropped one would print the wrong value or read
a missing argument). Each text is encoded strictly into its language's code
page (a character the code page lacks stops the build) and decoded back to
prove the round trip. <tables.cpp> holds the code-page bytes for the product;
<sources.cpp> holds the UTF-8 originals for the unit tests.

The code-page texts are packed (pack() below, unpacked by UnpackMessages in
src/sys/messages.cpp): every table's texts, each ended by a zero byte, in
table order and the tables in the order given, make one stream, written as
tokens of one byte each followed by what they say:
  0x00-0x3F  t+1 bytes follow, to be copied as they are
  0x40-0x7F  (t & 0x3F) + 3 bytes repeat those from d+1 bytes back, d the next byte
  0x80-0xFF  (t & 0x7F) + 4 bytes repeat those from d bytes back, d the next
             two bytes (low byte first)
A repeat may reach into itself (d smaller than its length). The tables
share much (the placeholders, product and company names, each other's
phrases), so one stream packs them to less than half.
"""
import re
import sys

TABLE_ORDER = [0, 1, 3, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14]
PLACEHOLDER = re.compile(r"_(?:OLD_)?PRODUCT_(?:NAME|VERSION)_|%[-+ #0]*\d*(?:\.\d+)?[a-zA-Z]")


def fail(path, message):
    sys.exit(f"{path}: {message}")


def unescape(path, text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\":
            nxt = text[i + 1] if i + 1 < len(text) else ""
            if nxt == "n":
                out.append("\n")
            elif nxt == "\\":
                out.append("\\")
            else:
                fail(path, f"unknown escape \\{nxt}")
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def read_table(path):
    header, messages = {}, []
    with open(path, encoding="utf-8") as f:
        for line in f.read().split("\n"):
            if not line or line.startswith("#"):
                continue
            key, sep, value = line.partition(" = ")
            if not sep:
                fail(path, f"no ' = ' in line {line!r}")
            if key in ("language", "codepage"):
                header[key] = int(value, 0)
            else:
                messages.append((int(key), unescape(path, value)))
    if set(header) != {"language", "codepage"}:
        fail(path, "language and codepage are required")
    ids = [mid for mid, _ in messages]
    if ids != TABLE_ORDER:
        fail(path, f"ids {ids} are not in table order {TABLE_ORDER}")
    return header["language"], header["codepage"], messages


LITERAL_MAX, NEAR_MIN, NEAR_MAX, NEAR_REACH, FAR_MIN, FAR_MAX, FAR_REACH = 64, 3, 66, 256, 4, 131, 0xFFFF


def pack(data):
    """The fewest bytes the token form allows (a shortest path over the
    positions: each token costs its bytes)."""
    n = len(data)
    cost, step = [0] + [None] * n, [None] * (n + 1)

    def offer(to, new_cost, token):
        if cost[to] is None or new_cost < cost[to]:
            cost[to], step[to] = new_cost, token

    earlier = {}
    for i in range(n):
        for length in range(1, min(LITERAL_MAX, n - i) + 1):
            offer(i + length, cost[i] + 1 + length, ("literal", i, length))
        key = data[i:i + NEAR_MIN]
        for j in earlier.get(key, ()):
            same = 0
            while i + same < n and same < FAR_MAX and data[j + same] == data[i + same]:
                same += 1
            back = i - j
            if back <= NEAR_REACH:
                for length in range(NEAR_MIN, min(same, NEAR_MAX) + 1):
                    offer(i + length, cost[i] + 2, ("near", i, length, back))
            if back <= FAR_REACH:
                for length in range(FAR_MIN, same + 1):
                    offer(i + length, cost[i] + 3, ("far", i, length, back))
        if len(key) == NEAR_MIN:
            earlier.setdefault(key, []).append(i)
    tokens, at = [], n
    while at > 0:
        tokens.append(step[at])
        at = step[at][1]
    out = bytearray()
    for token in reversed(tokens):
        kind, start, length = token[:3]
        if kind == "literal":
            out.append(length - 1)
            out += data[start:start + length]
        elif kind == "near":
            out += bytes([0x40 | (length - NEAR_MIN), token[3] - 1])
        else:
            out += bytes([0x80 | (length - FAR_MIN), token[3] & 0xFF, token[3] >> 8])
    return bytes(out)


def unpack(packed):
    out, at = bytearray(), 0
    while at < len(packed):
        t = packed[at]
        if t < 0x40:
            out += packed[at + 1:at + 2 + t]
            at += 2 + t
            continue
        if t < 0x80:
            length, back, at = (t & 0x3F) + NEAR_MIN, packed[at + 1] + 1, at + 2
        else:
            length, back, at = (t & 0x7F) + FAR_MIN, packed[at + 1] | packed[at + 2] << 8, at + 3
        for _ in range(length):
            out.append(out[-back])
    return bytes(out)


def c_literal(data):
    # Octal escapes (at most three digits) for everything but plain ASCII, so
    # no escape can swallow the character after it and no double-byte trail
    # byte can pair with a following character.
    out = []
    for b in data:
        ch = chr(b)
        if 0x20 <= b < 0x7F and ch not in '\\"?':
            out.append(ch)
        else:
            out.append(f"\\{b:03o}")
    return '"' + "".join(out) + '"'


def main():
    tables_cpp, sources_cpp, paths = sys.argv[1], sys.argv[2], sys.argv[3:]
    tables = [(path,) + read_table(path) for path in paths]
    english = {mid: text for mid, text in next(t for t in tables if t[1] == 0x0409)[3]}

    sources = ['// Generated by generate_message_tables.py: the UTF-8 texts the tables were made from.',
               '#include "sys/messages/message_tables.h"', "", "namespace kq {", "",
               "const MessageSourceText kMessageSourcesUtf8[] = {"]
    stream, languages = bytearray(), []
    for path, language, codepage, messages in tables:
        begin = len(stream)
        for mid, text in messages:
            found, wanted = PLACEHOLDER.findall(text), PLACEHOLDER.findall(english[mid])
            if found != wanted:
                fail(path, f"message {mid} has the placeholders {found}, the English one {wanted} "
                           "(same number, same order)")
            encoded = text.encode(f"cp{codepage}", errors="strict")
            if encoded.decode(f"cp{codepage}", errors="strict") != text:
                fail(path, f"message {mid} does not survive code page {codepage}")
            if b"\0" in encoded:
                fail(path, f"message {mid} holds a zero byte")
            stream += encoded + b"\0"
            sources.append(f"    {{0x{language:04X}, {mid}, {c_literal(text.encode('utf-8'))}}},")
        languages.append(f"    {{0x{language:04X}, {codepage}, {begin}, {len(stream)}}},  "
                         f"// {path.rsplit('/', 1)[-1]}")
    packed = pack(bytes(stream))
    if unpack(packed) != stream:
        sys.exit("the packed message tables do not unpack to the tables")

    product = ['// Generated by generate_message_tables.py from src/sys/messages/*.txt.',
               '#include "sys/messages/message_tables.h"', "", "namespace kq {", "",
               f"const uint32_t kMessageTableIds[kMessagesPerTable] = {{{', '.join(map(str, TABLE_ORDER))}}};", "",
               f"// {len(stream)} bytes of text packed into {len(packed)}.",
               "const unsigned char kPackedMessages[] ="]
    for at in range(0, len(packed), 40):
        product.append("    " + c_literal(packed[at:at + 40]))
    product[-1] += ";"
    product += [f"const size_t kPackedMessagesSize = {len(packed)};", "",
                "const MessageLanguage kMessageLanguageList[] = {"]
    product += languages
    product += ["    {0, 0, 0, 0},", "};", "", "}  // namespace kq", ""]
    sources += ["    {0, 0, nullptr},", "};", "", "}  // namespace kq", ""]
    for out, lines in ((tables_cpp, product), (sources_cpp, sources)):
        with open(out, "w", encoding="ascii", newline="\n") as f:
            f.write("\n".join(lines))


if __name__ == "__main__":
    main()
