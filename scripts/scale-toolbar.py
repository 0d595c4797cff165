#!/usr/bin/env python3
"""Makes the toolbar's larger images (150 % and 200 %) from the 20-pixel
strips: res/Toolbar.bmp -> res/Toolbar30.bmp, res/Toolbar40.bmp, and the same
for ToolbarDisabled.bmp. Each new pixel averages the source pixels it covers;
the transparent colour (magenta) is never mixed into a visible pixel: a pixel
mostly covered by it stays transparent.

Run from the checkout's root after a change of the 20-pixel images."""
import struct
import sys

MAGENTA = (255, 0, 255)


def read_bmp(path):
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24:
        sys.exit(f"{path}: 24-bit images only")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        start = offset + y * stride
        row = [tuple(reversed(data[start + 3 * x:start + 3 * x + 3])) for x in range(width)]
        rows.append(row)
    if height > 0:
        rows.reverse()  # stored bottom-up
    return width, abs(height), rows


def write_bmp(path, width, height, rows):
    stride = (width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        body += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    open(path, "wb").write(header + info + body)


def scale(rows, width, height, factor):
    out_w, out_h = width * factor // 2, height * factor // 2
    step = 2 / factor  # source pixels per new pixel
    result = []
    for oy in range(out_h):
        row = []
        for ox in range(out_w):
            totals = [0.0, 0.0, 0.0]
            covered = 0.0
            x0, x1 = ox * step, (ox + 1) * step
            y0, y1 = oy * step, (oy + 1) * step
            for sy in range(int(y0), min(int(y1 + 0.999), height)):
                wy = min(y1, sy + 1) - max(y0, sy)
                for sx in range(int(x0), min(int(x1 + 0.999), width)):
                    wx = min(x1, sx + 1) - max(x0, sx)
                    pixel = rows[sy][sx]
                    if wx <= 0 or wy <= 0 or pixel == MAGENTA:
                        continue
                    w = wx * wy
                    covered += w
                    for i in range(3):
                        totals[i] += pixel[i] * w
            if covered < step * step / 2:
                row.append(MAGENTA)
            else:
                colour = tuple(round(t / covered) for t in totals)
                # A visible pixel must not turn transparent by chance.
                row.append((254, 0, 254) if colour == MAGENTA else colour)
        result.append(row)
    return out_w, out_h, result


def main():
    for name in ("Toolbar", "ToolbarDisabled"):
        width, height, rows = read_bmp(f"res/{name}.bmp")
        for factor, size in ((3, 30), (4, 40)):
            w, h, scaled = scale(rows, width, height, factor)
            write_bmp(f"res/{name}{size}.bmp", w, h, scaled)


if __name__ == "__main__":
    main()
