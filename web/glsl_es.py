#!/usr/bin/env python3
"""Turns one of the demo's GLSL 1.20 shaders into GLSL ES 3.00 for WebGL 2, at build time.

The shaders are written once, in GLSL 1.20. What WebGL 2 reads differs from that in form only, for
what they use: the version line, a default precision, in/out for attribute and varying, texture()
for texture2D and textureCube, and a declared output in place of gl_FragColor. Anything else (an
implicit int-to-float conversion, say) the browser's compiler reports as the desktop's would.

usage: glsl_es.py vertex|fragment IN OUT
"""
import re
import sys


def convert(text, stage):
    first, _, body = text.partition("\n")
    if first.strip() != "#version 120":
        raise ValueError("expected '#version 120' on the first line, found %r" % first)
    header = "precision highp float; precision highp int;"
    if stage == "fragment":
        header += " out vec4 fragColor;"
    body = re.sub(r"^(\s*)attribute\b", r"\1in", body, flags=re.M)
    body = re.sub(r"^(\s*)varying\b", r"\1" + ("out" if stage == "vertex" else "in"), body, flags=re.M)
    body = re.sub(r"\b(texture2D|textureCube)\s*\(", "texture(", body)
    body = re.sub(r"\bgl_FragColor\b", "fragColor", body)
    # The shader's second line keeps its number in the browser's compile log.
    return "#version 300 es\n" + header + "\n#line 2\n" + body


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("vertex", "fragment"):
        sys.exit(__doc__.strip().splitlines()[-1])
    with open(sys.argv[2], encoding="utf-8") as f:
        text = f.read()
    try:
        converted = convert(text, sys.argv[1])
    except ValueError as error:
        sys.exit("%s: %s" % (sys.argv[2], error))
    with open(sys.argv[3], "w", encoding="utf-8") as f:
        f.write(converted)


if __name__ == "__main__":
    main()
