#!/usr/bin/env python3
"""Writes the small seed corpora under fuzz/corpus/<target>/ (run from anywhere)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def bmp(width, height, bpp, reserved=0, top_down=False, palette=None, pixel=0x5A):
    colours = 1 << bpp if bpp <= 8 else 0
    if palette is None:
        palette = [(i * 37 % 256, i * 91 % 256, i * 13 % 256) for i in range(colours)]
    stride = (width * bpp + 31) // 32 * 4
    pixels = bytes((pixel + k) % 256 for k in range(stride * height))
    off = 14 + 40 + 4 * colours
    h = -height if top_down else height
    head = b"BM" + struct.pack("<IHHI", off + len(pixels), reserved & 0xFFFF, reserved >> 16, off)
    info = struct.pack("<IiiHHIIiiII", 40, width, h, 1, bpp, 0, len(pixels), 2835, 2835, 0, 0)
    pal = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    return head + info + pal + pixels


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# Bitmaps: every depth, both formats (reserved bit 0 = RGB), a transparency, top-down, cut.
write("fuzz_bmp", "mono_8x2", bmp(8, 2, 1))
write("fuzz_bmp", "nibble_8x2_rgb", bmp(8, 2, 4, reserved=1))
write("fuzz_bmp", "byte_8x2_t0", bmp(8, 2, 8, reserved=0x0000))
write("fuzz_bmp", "rgb24_4x2_rgb_t90", bmp(4, 2, 24, reserved=1 | (0x5A << 8)))
write("fuzz_bmp", "rgb24_4x2_topdown", bmp(4, 2, 24, top_down=True))
write("fuzz_bmp", "cut_short", bmp(8, 2, 8)[:70])

# Reception: flags byte, then records (length, bytes).
def records(*chunks):
    out = b""
    for c in chunks:
        out += bytes((len(c),)) + c
    return out

size_answer = b"QX64K\r\n"
write("fuzz_reception", "size_answer", b"\x00" + records(size_answer, b"", b""))
write("fuzz_reception", "size_512_split", b"\x00" + records(b"QX5", b"12K\r\n", b"", b""))
write("fuzz_reception", "erase", b"\x00" + records(b"QXERA", b""))
write("fuzz_reception", "copyright", b"\x00" + records(b"(C) Norvo Video Systems 1999 node", b""))
stream = b"\x06\x02SD" + bytes(range(256)) * 8
chunks = [stream[i:i + 250] for i in range(0, len(stream), 250)]
write("fuzz_reception", "readback_mono", b"\x01" + records(*chunks, b"", b""))
write("fuzz_reception", "readback_short_colour", b"\x03" + records(b"\x06\x02SC" + bytes(60), b""))
write("fuzz_reception", "port_fails", b"\x08" + records(*([b"QX64K\r\nxyzzy"] * 7)))

# Read-back streams.
write("fuzz_readback", "mono_full", b"\x06\x02SD" + bytes((k * 7) % 256 for k in range(2048)))
write("fuzz_readback", "colour_short", b"junkSC" + bytes(range(200)))
write("fuzz_readback", "no_marker", b"QX64K\r\n")

# Video-controller data files.
write("fuzz_video_data", "default_like", b"".join(b"%4d\r\n" % v for v in
      [85, 170, 1, 0, 4, 90, 2, 31, 3, 124, 4, 240, 5, 33, 7, 202, 7, 74, 255, 255]))
write("fuzz_video_data", "quoted_hex", b'"12",&H1F, 3.5,&O17\n\n"x"y,99999999999\r\n-7,1e3,,')
write("fuzz_video_data", "short", b"1,2,3\r\n")

# Schedule lists.
write("fuzz_schedule", "defaults", b"-1," * 20)
write("fuzz_schedule", "values", b"".join(b"%d," % (k * 250) for k in range(20)))
write("fuzz_schedule", "odd", b"&H10,5.5,abc,,-3,127,128,480,481,5760,")

# Settings files.
write("fuzz_settings", "typical",
      b"[FormInit]\nShowInt=True\nLocked=False\nTransparent=0\nSX_Model=7\n"
      b"S_Start=\"-1,-1,5,\"\nBMPpath1=\"/tmp/a b.bmp\"\nColor=0\n\n[Other]\nX=1\n")
write("fuzz_settings", "garbage", b"\xff\xfe[Form\x00Init]\r\n=\r\n;comment\r\nShowMix\r\n")
write("fuzz_settings", "empty", b"")

# osdctl command lines: words, NUL, bitmap.
small = bmp(8, 2, 8)
write("fuzz_osdctl", "check", b"check\n@\0" + small)
write("fuzz_osdctl", "check_64", b"check\n@\n--memory\n64\0" + bmp(4, 2, 24))
write("fuzz_osdctl", "encode_rgb", b"encode\n@\n--format\nrgb\n--transparent\n0\n-o\nout.bin\0" + small)
write("fuzz_osdctl", "encode_bad", b"encode\n--transparent\n300\n@\0" + small)
write("fuzz_osdctl", "unknown", b"help\n--settings\0")
site = (b"\xef\xbb\xbf; lobby\r\n[line]\r\nport = 3   ; --port wins\r\ntogether = yes\r\n"
        b"[node 3]\r\nlogo = in.bmp  # the lobby\r\nformat = rgb\r\nx = 10\r\ny = 90\r\n"
        b"[node 7]\r\nlogo = in.bmp\r\nmemory = 512\r\n")
write("fuzz_osdctl", "apply_dry", b"apply\n@@\n--dry-run\0" + site.replace(b"in.bmp", b"in.bmp"))
write("fuzz_osdctl", "download_nodes",
      b"--port-map\n3=x\ndownload\n@\n--port\n3\n--nodes\n3-7,9\n--together\0" + small)
write("fuzz_osdctl", "scan_ids", b"scan\n--port=9\n--ids\n1-3,200\0")
write("fuzz_osdctl", "identify_help", b"--settings=s.ini\nidentify\n--node\n4\n--help\0")
write("fuzz_osdctl", "upload", b"upload\nout.bmp\n--port\n2\n--model\n7\n--color\0")
write("fuzz_osdctl", "send_select", b"send\n--port\n1\n\\x41\\\\\0")
write("fuzz_osdctl", "ports_map", b"ports\n--port-map\n3=a,3=b\0")

# Site files for osdctl apply.
write("fuzz_site", "readme", site)
write("fuzz_site", "faults", b"[line]\nport = 300\n[node 3]\nformat = gray\n[node 3]\n[node x]\nkey\n")
write("fuzz_site", "last_without_logo", b"[node 1]\nlogo=a.bmp\n[node 2]\nx=5\n")
