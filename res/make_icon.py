"""Draws the program icon, a paper shredder under the red word "shred", and
writes it as a 32x32 16-colour .ico (one image: 4 bits per pixel with the
standard 16-colour palette and a 1-bit transparency mask).

Run: python3 res/make_icon.py res/Grindlet.ico
"""
import struct
import sys

# The standard 16-colour palette, in BMP order (blue, green, red, reserved).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, SILVER, GREY, RED, BLUE, WHITE = 0, 7, 8, 9, 12, 15
CLEAR = None

# 3x5 lower-case letters.
GLYPHS = {
    "s": [".##", "#..", ".#.", "..#", "##."],
    "h": ["#..", "#..", "###", "#.#", "#.#"],
    "r": ["...", "#.#", "##.", "#..", "#.."],
    "e": [".#.", "#.#", "###", "#..", ".##"],
    "d": ["..#", "..#", "###", "#.#", "###"],
}


def draw():
    size = 32
    pixels = [[CLEAR] * size for _ in range(size)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                pixels[y][x] = colour

    # The word, centred at the top.
    x = (size - (len("shred") * 4 - 1)) // 2
    for letter in "shred":
        for dy, row in enumerate(GLYPHS[letter]):
            for dx, cell in enumerate(row):
                if cell == "#":
                    pixels[1 + dy][x + dx] = RED
        x += 4

    # Body with an outline, dark slots and blue marks on its sides.
    fill(3, 8, 28, 19, BLACK)
    fill(4, 9, 27, 18, SILVER)
    fill(4, 9, 27, 9, WHITE)
    for slot_y in (12, 15):
        fill(7, slot_y, 24, slot_y, GREY)
    fill(5, 11, 5, 16, BLUE)
    fill(26, 11, 26, 16, BLUE)

    # Feed bar below the body.
    fill(2, 20, 29, 22, GREY)
    fill(2, 20, 29, 20, SILVER)

    # Paper strips falling out underneath, of uneven length.
    for i, strip_x in enumerate(range(6, 26, 3)):
        length = 4 + (i * 3) % 5
        fill(strip_x, 23, strip_x + 1, 23 + length, SILVER)
        fill(strip_x + 1, 23, strip_x + 1, 23 + length, GREY)
    return pixels


def icon_bytes(pixels):
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    colour_rows = []
    mask_rows = []
    for row in reversed(pixels):  # bottom-up
        nibbles = [BLACK if p is None else p for p in row]
        colour_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2)))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is None else 0)
        mask_rows.append(bits.to_bytes(size // 8, "big"))
    image = header + palette + b"".join(colour_rows) + b"".join(mask_rows)
    assert len(image) == 744, len(image)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(icon_bytes(draw()))
