"""The benchmarks' logo: a 24-bit BMP of w x h pixels with a pattern that changes along both
axes, so that no two rows encode alike. `steps` are the red and green steps per column and
row."""
import struct


def write_logo(path, w, h, steps):
    red_step, green_step = steps
    stride = (w * 3 + 3) // 4 * 4
    data = bytearray()
    for y in range(h):
        row = bytearray()
        for x in range(w):
            row += bytes(((x * red_step) & 255, (y * green_step) & 255, ((x ^ y) * 5) & 255))
        data += row + bytes(stride - len(row))
    head = b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(head + info + data)
