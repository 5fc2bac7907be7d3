"""Page renderings through LibreOffice (PDF, then 96 dpi PNG), per-slide SSIM and each slide's worst tile.

Pages are rasterised by poppler's cairo backend (pdftocairo), which resamples a picture with filtered
weights at its exact position, as presentation programs draw it. Poppler's own Splash backend
(pdftoppm) reduces a picture by averaging whole source pixels, one or two per page pixel at a
reduction of 1.4, which moves detail by up to a third of a page pixel; a replaced picture and its
source reach the page through different reductions, so that error differs between them and the tile
measure charges it to the compressor. The Splash rendering is still available for comparison.
"""

import glob
import os
import shutil
import subprocess

import numpy as np
from PIL import Image

RASTERISERS = {"cairo": "pdftocairo", "splash": "pdftoppm"}


def render_many_with(named, workdir, profile, rasterisers, timeout=600):
    """Renders several decks in one office start and rasterises each PDF with every named rasteriser.
    named maps a distinct stem to a .pptx path; returns rasteriser -> stem -> PNG pages (empty when
    rendering failed)."""
    os.makedirs(workdir, exist_ok=True)
    staged = []
    for stem, path in named.items():
        target = os.path.join(workdir, stem + os.path.splitext(path)[1])
        shutil.copy2(path, target)
        staged.append(target)
    cmd = ["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--convert-to", "pdf",
           "--outdir", workdir] + staged
    try:
        subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout, check=False)
    except subprocess.TimeoutExpired:
        pass
    pages = {r: {} for r in rasterisers}
    for stem in named:
        pdf = os.path.join(workdir, stem + ".pdf")
        for r in rasterisers:
            pages[r][stem] = _rasterise(pdf, os.path.join(workdir, "%s-%s" % (stem, r)), r, timeout)
    return pages


def render_many(named, workdir, profile, timeout=600, rasteriser="cairo"):
    """render_many_with for one rasteriser: stem -> PNG pages."""
    return render_many_with(named, workdir, profile, (rasteriser,), timeout)[rasteriser]


def _rasterise(pdf, prefix, rasteriser, timeout):
    if not os.path.exists(pdf):
        return []
    try:
        subprocess.run([RASTERISERS[rasteriser], "-r", "96", "-png", pdf, prefix], timeout=timeout, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        return []
    found = glob.glob(glob.escape(prefix) + "-*.png")
    return sorted(found, key=lambda p: int(p.rsplit("-", 1)[1].split(".")[0]))


def _box_mean(x, k):
    c = np.cumsum(np.cumsum(np.pad(x, ((1, 0), (1, 0))), axis=0), axis=1)
    return (c[k:, k:] - c[:-k, k:] - c[k:, :-k] + c[:-k, :-k]) / (k * k)


def _grey_pair(path_a, path_b):
    a = Image.open(path_a).convert("L")
    b = Image.open(path_b).convert("L")
    if b.size != a.size:
        b = b.resize(a.size, Image.BILINEAR)
    return np.asarray(a, dtype=np.float64), np.asarray(b, dtype=np.float64)


C1, C2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2


def _ssim_of(x, y, window):
    if min(x.shape) < window:
        return 1.0 if np.array_equal(x, y) else 0.0
    mx, my = _box_mean(x, window), _box_mean(y, window)
    sxx = _box_mean(x * x, window) - mx * mx
    syy = _box_mean(y * y, window) - my * my
    sxy = _box_mean(x * y, window) - mx * my
    s = ((2 * mx * my + C1) * (2 * sxy + C2)) / ((mx * mx + my * my + C1) * (sxx + syy + C2))
    return float(s.mean())


def ssim_map(x, y, window=7):
    """The SSIM map of two grey images with the usual uniform window and sample covariances; one
    value per window position, the value at [i, j] belonging to pixel (i + window // 2, j + window // 2)."""
    n = window * window
    norm = n / (n - 1.0)
    mx, my = _box_mean(x, window), _box_mean(y, window)
    sxx = (_box_mean(x * x, window) - mx * mx) * norm
    syy = (_box_mean(y * y, window) - my * my) * norm
    sxy = (_box_mean(x * y, window) - mx * my) * norm
    return ((2 * mx * my + C1) * (2 * sxy + C2)) / ((mx * mx + my * my + C1) * (sxx + syy + C2))


def worst_tile(x, y, tile=32, window=7):
    """Mean of the SSIM map over non-overlapping tile x tile pixel squares of the page, minimum over the
    page: (value, left, top) of the worst square. An edge square counts when it holds at least a quarter
    of a full square's map values, so that a sliver of a few pixels does not decide."""
    h, w = x.shape
    if min(h, w) < window:
        return (1.0 if np.array_equal(x, y) else 0.0), 0, 0
    m = ssim_map(x, y, window)
    off = window // 2
    rows, cols = -(-h // tile), -(-w // tile)
    total = np.zeros((rows * tile, cols * tile))
    count = np.zeros_like(total)
    total[off:off + m.shape[0], off:off + m.shape[1]] = m
    count[off:off + m.shape[0], off:off + m.shape[1]] = 1
    sums = total.reshape(rows, tile, cols, tile).sum(axis=(1, 3))
    counts = count.reshape(rows, tile, cols, tile).sum(axis=(1, 3))
    means = np.where(counts >= tile * tile / 4, sums / np.maximum(counts, 1), np.inf)
    r, c = np.unravel_index(int(np.argmin(means)), means.shape)
    if not np.isfinite(means[r, c]):
        return float(m.mean()), 0, 0
    return float(means[r, c]), int(c * tile), int(r * tile)


def ssim(path_a, path_b, window=8):
    x, y = _grey_pair(path_a, path_b)
    return _ssim_of(x, y, window)


class SlideFidelity:
    """One slide against its input: page SSIM, the worst 32 x 32 tile with its top-left pixel, and
    the worst tile of the Splash rendering when it was made."""

    def __init__(self, ssim_value, tile, tile_x, tile_y, splash=None):
        self.ssim = ssim_value
        self.tile = tile
        self.tile_x = tile_x
        self.tile_y = tile_y
        self.splash_tile, self.splash_x, self.splash_y = splash if splash else (tile, tile_x, tile_y)


MISSING = SlideFidelity(0.0, 0.0, 0, 0)
UNCHANGED = SlideFidelity(1.0, 1.0, 0, 0)


def compare(path_a, path_b, splash_a=None, splash_b=None):
    x, y = _grey_pair(path_a, path_b)
    tile, tx, ty = worst_tile(x, y)
    splash = worst_tile(*_grey_pair(splash_a, splash_b)) if splash_a and splash_b else None
    return SlideFidelity(_ssim_of(x, y, 8), tile, tx, ty, splash)


def deck_fidelity(pages_in, pages_out, splash_in=None, splash_out=None):
    """Per-slide SlideFidelity; a missing or extra page counts as 0. With the Splash pages of both,
    each slide also carries their worst tile."""
    def splash(pages, i):
        return pages[i] if pages and i < len(pages) else None
    return [compare(page, pages_out[i], splash(splash_in, i), splash(splash_out, i)) if i < len(pages_out)
            else MISSING for i, page in enumerate(pages_in)]


def deck_ssim(pages_in, pages_out):
    """Per-slide SSIM values; a missing or extra page counts as 0."""
    return [f.ssim for f in deck_fidelity(pages_in, pages_out)]


def cleanup(path):
    shutil.rmtree(path, ignore_errors=True)
