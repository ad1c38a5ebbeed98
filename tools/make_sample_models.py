#!/usr/bin/env python3
"""Writes the small binary STL models of the sample machines in data/Generic Machines.

The models are simple boxes and cylinders sized like the parts of a real machine, enough to see
a machine in the simulator and to exercise export. Run again after changing a size; the output
is deterministic.
"""
import math
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent.parent / "data" / "Generic Machines"
HEADER = b"Rigwright sample model (binary STL)".ljust(80, b" ")


def box(x0, y0, z0, x1, y1, z1):
    p = [(x, y, z) for x in (x0, x1) for y in (y0, y1) for z in (z0, z1)]
    quads = [(0, 1, 3, 2), (4, 6, 7, 5), (0, 4, 5, 1), (2, 3, 7, 6), (0, 2, 6, 4), (1, 5, 7, 3)]
    tris = []
    for a, b, c, d in quads:
        tris += [(p[a], p[b], p[c]), (p[a], p[c], p[d])]
    return tris


def cylinder(cx, cy, z0, z1, r, axis="z", segments=32):
    def at(angle, z):
        u, v = cx + r * math.cos(angle), cy + r * math.sin(angle)
        return {"z": (u, v, z), "x": (z, u, v), "y": (u, z, v)}[axis]

    def centre(z):
        return {"z": (cx, cy, z), "x": (z, cx, cy), "y": (cx, z, cy)}[axis]

    tris = []
    for i in range(segments):
        a0, a1 = 2 * math.pi * i / segments, 2 * math.pi * (i + 1) / segments
        tris += [(at(a0, z0), at(a1, z0), at(a1, z1)), (at(a0, z0), at(a1, z1), at(a0, z1))]
        tris += [(centre(z0), at(a1, z0), at(a0, z0)), (centre(z1), at(a0, z1), at(a1, z1))]
    return tris


def normal(t):
    (ax, ay, az), (bx, by, bz), (cx, cy, cz) = t
    ux, uy, uz, vx, vy, vz = bx - ax, by - ay, bz - az, cx - ax, cy - ay, cz - az
    n = (uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx)
    length = math.sqrt(sum(c * c for c in n)) or 1.0
    return tuple(c / length for c in n)


def write(path, tris):
    path.parent.mkdir(parents=True, exist_ok=True)
    data = bytearray(HEADER + struct.pack("<I", len(tris)))
    for t in tris:
        data += struct.pack("<12fH", *normal(t), *t[0], *t[1], *t[2], 0)
    path.write_bytes(bytes(data))


MILL = ROOT / "Generic 3-Axis VMC"
write(MILL / "base.stl", box(-600, -450, 0, 600, 450, 750))
write(MILL / "column.stl", box(-350, 250, 750, 350, 650, 2300))
write(MILL / "saddle.stl", box(-400, -350, 750, 400, 250, 900))
write(MILL / "table.stl", box(-550, -250, 900, 550, 250, 980))
write(MILL / "fixture-table.stl", box(-550, -250, 900, 550, 250, 980) + box(-150, -100, 980, 150, 100, 1040))
write(MILL / "head.stl", box(-200, -50, 1300, 200, 450, 1800))
write(MILL / "spindle.stl", cylinder(0, 0, 1150, 1300, 70))

LATHE = ROOT / "Generic 2-Axis Lathe"
write(LATHE / "models" / "bed.stl", box(-200, -1200, 0, 300, 600, 900))
write(LATHE / "models" / "headstock.stl", box(-250, -1200, 900, 300, -700, 1500))
write(LATHE / "models" / "chuck.stl", cylinder(0, 1150, -700, -550, 130, axis="y"))
write(LATHE / "models" / "carriage.stl", box(150, -500, 900, 450, -200, 1000))
write(LATHE / "models" / "turret.stl", cylinder(300, 1150, -420, -320, 160, axis="y"))
write(LATHE / "models" / "tailstock.stl", box(-150, 300, 900, 200, 550, 1350))
