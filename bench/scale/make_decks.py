#!/usr/bin/python3
"""Makes large photo decks for the scale bench, outside the source tree.

Every slide shows one 4000 x 3000 JPEG at quality 92, made from a photo found in the corpus decks (a JPEG
of ppt/media that is large and has many colours): a seeded crop of it, flipped or not, a little brighter
or darker, scaled to 4000 x 3000 and given a gaussian grain of about 3 levels, so that every picture is
distinct and has the noise of a camera's. The pictures are cached under the output folder and shared by
the decks; a deck is written one member at a time to a temporary name, then renamed.

    /usr/bin/python3 bench/scale/make_decks.py [--out /work/decks] [--slides 60] [--big-mib 2048] [--skip-big]

makes photos-60.pptx (about 165 MB) and photos-2g.pptx (the most slides that stay within 2048 MiB).
"""

import argparse
import glob
import hashlib
import io
import os
import sys
import time
import zipfile

import numpy as np
from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import deck_parts  # noqa: E402

WIDTH, HEIGHT = 4000, 3000
QUALITY = 92
SUBSAMPLING = 0  # 4:4:4, as a camera's finest JPEG setting writes; with the grain it gives about 2.7 MB a picture
GRAIN_SIGMA = 3.0
RECIPE = 1  # bump when the picture recipe changes, so that stale cached pictures are not reused
FIXED_TIME = (2024, 1, 1, 0, 0, 0)
DEFAULT_CORPUS = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                              os.pardir, "shared", "corpus")


def looks_like_photo(data):
    """Large, not a strip or an icon, many distinct colours once shrunk (a chart or a logo has few) and some
    texture (a gradient or a smooth backdrop has many colours and none)."""
    if len(data) < 60_000:
        return False
    try:
        im = Image.open(io.BytesIO(data))
        im.load()
    except Exception:  # a picture PIL cannot read is no source
        return False
    w, h = im.size
    if im.mode != "RGB" or min(w, h) < 600 or max(w, h) > 2.0 * min(w, h):
        return False
    if len(set(im.resize((128, 96)).getdata())) < 3000:
        return False
    grey = np.asarray(im.convert("L").resize((256, 192)), dtype=np.int16)
    return (np.abs(np.diff(grey, axis=1)) > 12).mean() >= 0.01


def find_sources(corpus):
    """The photo JPEGs of the corpus decks, once each, in a stable order."""
    seen, sources = set(), []
    for path in sorted(glob.glob(os.path.join(corpus, "*.pptx"))):
        try:
            with zipfile.ZipFile(path) as z:
                names = sorted(n for n in z.namelist()
                               if n.startswith("ppt/media/") and n.lower().endswith((".jpg", ".jpeg")))
                for name in names:
                    data = z.read(name)
                    digest = hashlib.sha1(data).hexdigest()
                    if digest not in seen and looks_like_photo(data):
                        seen.add(digest)
                        sources.append((f"{os.path.basename(path)}:{name}", data))
        except (zipfile.BadZipFile, OSError):
            continue
    return sources


def make_photo(source, rng):
    im = Image.open(io.BytesIO(source))
    w, h = im.size
    # The largest 4:3 window of the source, shrunk at random, at a random place.
    full_w, full_h = (w, w * 3 / 4) if w * 3 <= h * 4 else (h * 4 / 3, h)
    scale = rng.uniform(0.6, 1.0)
    cw, ch = full_w * scale, full_h * scale
    x0, y0 = rng.uniform(0, w - cw), rng.uniform(0, h - ch)
    im = im.resize((WIDTH, HEIGHT), Image.BICUBIC, box=(x0, y0, x0 + cw, y0 + ch))
    if rng.random() < 0.5:
        im = im.transpose(Image.FLIP_LEFT_RIGHT)
    pixels = np.asarray(im, dtype=np.float32)
    pixels *= np.float32(rng.uniform(0.92, 1.08))
    pixels += rng.standard_normal(pixels.shape, dtype=np.float32) * np.float32(GRAIN_SIGMA)
    out = io.BytesIO()
    Image.fromarray(np.clip(pixels + 0.5, 0, 255).astype(np.uint8)).save(out, "JPEG", quality=QUALITY,
                                                                        subsampling=SUBSAMPLING)
    return out.getvalue()


class PhotoCache:
    """Picture n of a seed, made once and kept as a file."""

    def __init__(self, folder, sources, seed):
        key = hashlib.sha1(repr((RECIPE, WIDTH, HEIGHT, QUALITY, SUBSAMPLING, GRAIN_SIGMA, seed)).encode())
        for label, data in sources:
            key.update(hashlib.sha1(data).digest())
        self.folder = os.path.join(folder, f"seed{seed}-{key.hexdigest()[:12]}")
        os.makedirs(self.folder, exist_ok=True)
        self.sources, self.seed, self.made = sources, seed, 0

    def path(self, n):
        path = os.path.join(self.folder, f"photo-{n:05d}.jpg")
        if not os.path.exists(path):
            rng = np.random.default_rng([self.seed, n])
            data = make_photo(self.sources[(n - 1) % len(self.sources)][1], rng)
            with open(path + ".tmp", "wb") as f:
                f.write(data)
            os.replace(path + ".tmp", path)
            self.made += 1
        return path


def _info(name, compress):
    info = zipfile.ZipInfo(name, FIXED_TIME)
    info.compress_type = compress
    info.external_attr = 0o644 << 16
    return info


def write_deck(target, photo_paths, title):
    count = len(photo_paths)
    tmp = target + ".tmp"
    with zipfile.ZipFile(tmp, "w") as z:
        def text(name, body):
            z.writestr(_info(name, zipfile.ZIP_DEFLATED), body.encode())

        text("[Content_Types].xml", deck_parts.content_types(count))
        text("_rels/.rels", deck_parts.package_rels())
        text("docProps/core.xml", deck_parts.core_props(title))
        text("docProps/app.xml", deck_parts.app_props(count))
        text("ppt/presentation.xml", deck_parts.presentation(count))
        text("ppt/_rels/presentation.xml.rels", deck_parts.presentation_rels(count))
        text("ppt/presProps.xml", deck_parts.pres_props())
        text("ppt/viewProps.xml", deck_parts.view_props())
        text("ppt/tableStyles.xml", deck_parts.table_styles())
        text("ppt/theme/theme1.xml", deck_parts.theme())
        text("ppt/slideMasters/slideMaster1.xml", deck_parts.slide_master())
        text("ppt/slideMasters/_rels/slideMaster1.xml.rels", deck_parts.slide_master_rels())
        text("ppt/slideLayouts/slideLayout1.xml", deck_parts.slide_layout())
        text("ppt/slideLayouts/_rels/slideLayout1.xml.rels", deck_parts.slide_layout_rels())
        for n, photo in enumerate(photo_paths, 1):
            text(f"ppt/slides/slide{n}.xml", deck_parts.slide(n))
            text(f"ppt/slides/_rels/slide{n}.xml.rels", deck_parts.slide_rels(n))
            info = _info(f"ppt/media/image{n}.jpeg", zipfile.ZIP_STORED)
            info.file_size = os.path.getsize(photo)
            with open(photo, "rb") as src, z.open(info, "w") as dst:
                while chunk := src.read(1 << 20):
                    dst.write(chunk)
    os.replace(tmp, target)
    with zipfile.ZipFile(target) as z:
        inflated = sum(info.file_size for info in z.infolist())
    return os.path.getsize(target), inflated


# A slide's XML, rels and package entries, inflated and with their ZIP headers, stay below this.
PER_SLIDE_OVERHEAD = 2500
FIXED_OVERHEAD = 20_000


def photos_for_goal(cache, goal_bytes):
    """The most pictures whose deck stays within the goal, counting both the file and the sum of the
    inflated parts (readers limit both; a goal of 2 GiB keeps the deck open to readers that stop there)."""
    paths, total = [], FIXED_OVERHEAD
    while True:
        path = cache.path(len(paths) + 1)
        total += os.path.getsize(path) + PER_SLIDE_OVERHEAD
        if total > goal_bytes:
            return paths
        paths.append(path)
        if len(paths) % 50 == 0:
            print(f"  {len(paths)} pictures, {total / 2**20:.0f} MiB", file=sys.stderr)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--out", default="/work/decks", help="folder of the decks and of the picture cache")
    ap.add_argument("--corpus", default=os.path.normpath(DEFAULT_CORPUS))
    ap.add_argument("--slides", type=int, default=60, help="slides of the photos deck (0: none)")
    ap.add_argument("--big-mib", type=int, default=2048, help="size the big deck comes up to, in MiB")
    ap.add_argument("--skip-big", action="store_true")
    ap.add_argument("--seed", type=int, default=1)
    a = ap.parse_args()

    os.makedirs(a.out, exist_ok=True)
    sources = find_sources(a.corpus)
    if not sources:
        sys.exit("no photo among the JPEGs of " + a.corpus)
    print(f"{len(sources)} source photos:", ", ".join(label for label, _ in sources))
    cache = PhotoCache(os.path.join(a.out, "photo-cache"), sources, a.seed)

    jobs = []
    if a.slides:
        jobs.append((f"photos-{a.slides}.pptx", lambda: [cache.path(n) for n in range(1, a.slides + 1)]))
    if not a.skip_big:
        size = f"{a.big_mib // 1024}g" if a.big_mib % 1024 == 0 else f"{a.big_mib}m"
        jobs.append((f"photos-{size}.pptx", lambda: photos_for_goal(cache, a.big_mib * 2**20)))
    for name, photos in jobs:
        start, made = time.monotonic(), cache.made
        paths = photos()
        made_secs = time.monotonic() - start
        size, inflated = write_deck(os.path.join(a.out, name), paths, name)
        print(f"{name}: {len(paths)} slides, {size} bytes ({size / 2**20:.1f} MiB, {inflated} inflated); "
              f"{cache.made - made} new pictures in {made_secs:.0f} s, "
              f"written in {time.monotonic() - start - made_secs:.0f} s")


if __name__ == "__main__":
    main()
