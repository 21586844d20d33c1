#!/usr/bin/env python3
"""Draws the CatPhoto picture and writes it as a C++ table.

The picture is an 84 x 64 cat's head seen from the front: light outlines, eyes and
whiskers in grey levels 0 to 15 on a black (0) background. Run from anywhere:

    python3 graphics/make_cat.py            # rewrites graphics/CatPhotoPixels.h
    python3 graphics/make_cat.py --show     # also prints the picture as text
"""

import math
import os
import sys

WIDTH, HEIGHT = 84, 64


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy)), t


def inside_triangle(px, py, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
    d1, d2, d3 = side((px, py), a, b), side((px, py), b, c), side((px, py), c, a)
    negative = d1 < 0 or d2 < 0 or d3 < 0
    positive = d1 > 0 or d2 > 0 or d3 > 0
    return not (negative and positive)


def ellipse_points(cx, cy, rx, ry, steps=180):
    return [(cx + rx * math.cos(2 * math.pi * k / steps), cy + ry * math.sin(2 * math.pi * k / steps))
            for k in range(steps + 1)]


class Canvas:
    def __init__(self):
        self.levels = [[0.0] * WIDTH for _ in range(HEIGHT)]

    def stroke(self, points, width, level, fade_to=None):
        """A polyline of the given width; brightness may fade linearly along it."""
        total = sum(math.dist(points[k], points[k + 1]) for k in range(len(points) - 1)) or 1.0
        for y in range(HEIGHT):
            for x in range(WIDTH):
                px, py = x + 0.5, y + 0.5
                travelled, best = 0.0, None
                for k in range(len(points) - 1):
                    (ax, ay), (bx, by) = points[k], points[k + 1]
                    d, t = segment_distance(px, py, ax, ay, bx, by)
                    piece = math.dist(points[k], points[k + 1])
                    if best is None or d < best[0]:
                        best = (d, (travelled + t * piece) / total)
                    travelled += piece
                coverage = max(0.0, min(1.0, width / 2 + 0.5 - best[0]))
                if coverage > 0:
                    peak = level if fade_to is None else level + (fade_to - level) * best[1]
                    self.levels[y][x] = max(self.levels[y][x], peak * coverage)

    def fill(self, inside, level):
        """Sets every pixel whose centre `inside` accepts to a level (also darker ones)."""
        for y in range(HEIGHT):
            for x in range(WIDTH):
                if inside(x + 0.5, y + 0.5):
                    self.levels[y][x] = level

    def table(self):
        return [[int(round(min(15.0, max(0.0, v)))) for v in row] for row in self.levels]


def mirror(points):
    return [(WIDTH - x, y) for x, y in points]


def draw_cat():
    canvas = Canvas()
    head_cx, head_cy, head_rx, head_ry = 42.0, 38.5, 27.0, 21.5

    # Ears: outer edges from the head to the tips, a dimmer inner line.
    left_ear = [(17.5, 27.0), (14.0, 4.5), (33.0, 18.5)]
    left_inner = [(20.5, 24.0), (17.5, 10.0), (29.0, 19.5)]
    for ear, inner in ((left_ear, left_inner), (mirror(left_ear), mirror(left_inner))):
        canvas.stroke(ear, 1.3, 13)
        canvas.stroke(inner, 1.0, 5)

    # Head outline, left open where the ears stand on it.
    outline = ellipse_points(head_cx, head_cy, head_rx, head_ry)
    run = []
    for p in outline:
        under_ear = any(inside_triangle(p[0], p[1] + 0.8, *ear) for ear in (left_ear, mirror(left_ear)))
        if under_ear:
            if len(run) > 1:
                canvas.stroke(run, 1.3, 13)
            run = []
        else:
            run.append(p)
    if len(run) > 1:
        canvas.stroke(run, 1.3, 13)

    # Forehead stripes and brow tufts, faint.
    for x0, top, bottom in ((38.0, 20.5, 26.5), (42.0, 19.5, 28.0), (46.0, 20.5, 26.5)):
        canvas.stroke([(x0, top), (x0 + (x0 - 42.0) * 0.15, bottom)], 1.0, 3)
    for brow in ([(25.0, 29.0), (30.0, 27.5), (35.0, 29.0)],):
        canvas.stroke(brow, 1.0, 4)
        canvas.stroke(mirror(brow), 1.0, 4)

    # Eyes: almond outline, grey iris, dark slit pupil, one bright catch-light.
    for ex in (30.5, WIDTH - 30.5):
        ey = 35.5
        canvas.stroke(ellipse_points(ex, ey, 6.5, 4.2, 72), 1.1, 14)
        canvas.fill(lambda x, y: ((x - ex) / 5.6) ** 2 + ((y - ey) / 3.4) ** 2 <= 1.0, 8)
        canvas.fill(lambda x, y: ((x - ex) / 1.1) ** 2 + ((y - ey) / 3.6) ** 2 <= 1.0, 1)
        canvas.fill(lambda x, y: abs(x - (ex - 2.5)) < 1.0 and abs(y - (ey - 1.5)) < 1.0, 15)

    # Nose and mouth.
    nose = [(38.5, 44.0), (45.5, 44.0), (42.0, 47.5)]
    canvas.fill(lambda x, y: inside_triangle(x, y, *nose), 10)
    canvas.stroke(nose + [nose[0]], 1.0, 12)
    mouth = [(42.0, 47.5), (42.0, 50.0), (40.0, 51.8), (37.5, 51.5), (36.0, 50.0)]
    canvas.stroke(mouth, 1.0, 9)
    canvas.stroke(mirror(mouth), 1.0, 9)

    # Whiskers, fading towards their tips, beyond the cheeks.
    whiskers = [[(33.0, 46.5), (18.0, 43.0), (3.0, 40.5)],
                [(33.0, 48.5), (18.0, 48.0), (2.0, 48.5)],
                [(33.0, 50.5), (18.0, 53.0), (4.0, 57.5)]]
    for whisker in whiskers:
        canvas.stroke(whisker, 1.0, 9, fade_to=4)
        canvas.stroke(mirror(whisker), 1.0, 9, fade_to=4)

    return canvas.table()


def write_header(table, path):
    lines = [
        "#pragma once",
        "",
        "// Generated by graphics/make_cat.py: an 84 x 64 cat's head, grey levels 0 to 15,",
        "// row by row from the top. Edit the script and run it again rather than this file.",
        "",
        "constexpr int kPhotoWidth = %d;" % WIDTH,
        "constexpr int kPhotoHeight = %d;" % HEIGHT,
        "",
        "constexpr unsigned char kPhotoPixels[kPhotoHeight * kPhotoWidth] = {",
    ]
    for row in table:
        lines.append("    " + ",".join("%d" % v for v in row) + ",")
    lines.append("};")
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


def main():
    table = draw_cat()
    here = os.path.dirname(os.path.abspath(__file__))
    write_header(table, os.path.join(here, "CatPhotoPixels.h"))
    zeros = sum(row.count(0) for row in table)
    print("CatPhotoPixels.h: %d of %d pixels are 0" % (zeros, WIDTH * HEIGHT))
    if "--show" in sys.argv:
        shades = " .:-=+*#%@@@@@@@"
        for row in table:
            print("".join(shades[v] for v in row))


if __name__ == "__main__":
    main()
