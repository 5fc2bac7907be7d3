"""Page renderings through LibreOffice (PDF, then 96 dpi PNG) and per-slide SSIM."""

import glob
import os
import shutil
import subprocess

import numpy as np
from PIL import Image


def render_many(named, workdir, profile, timeout=600):
    """Renders several decks in one office start. named maps a distinct stem to a .pptx path;
    returns stem -> PNG pages (empty when rendering failed)."""
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
    pages = {}
    for stem in named:
        pdf = os.path.join(workdir, stem + ".pdf")
        pages[stem] = []
        if not os.path.exists(pdf):
            continue
        prefix = os.path.join(workdir, stem)
        try:
            subprocess.run(["pdftoppm", "-r", "96", "-png", pdf, prefix], timeout=timeout, check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            continue
        found = glob.glob(glob.escape(prefix) + "-*.png")
        pages[stem] = sorted(found, key=lambda p: int(p.rsplit("-", 1)[1].split(".")[0]))
    return pages


def _box_mean(x, k):
    c = np.cumsum(np.cumsum(np.pad(x, ((1, 0), (1, 0))), axis=0), axis=1)
    return (c[k:, k:] - c[:-k, k:] - c[k:, :-k] + c[:-k, :-k]) / (k * k)


def ssim(path_a, path_b, window=8):
    a = Image.open(path_a).convert("L")
    b = Image.open(path_b).convert("L")
    if b.size != a.size:
        b = b.resize(a.size, Image.BILINEAR)
    x = np.asarray(a, dtype=np.float64)
    y = np.asarray(b, dtype=np.float64)
    if min(x.shape) < window:
        return 1.0 if np.array_equal(x, y) else 0.0
    c1, c2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2
    mx, my = _box_mean(x, window), _box_mean(y, window)
    sxx = _box_mean(x * x, window) - mx * mx
    syy = _box_mean(y * y, window) - my * my
    sxy = _box_mean(x * y, window) - mx * my
    s = ((2 * mx * my + c1) * (2 * sxy + c2)) / ((mx * mx + my * my + c1) * (sxx + syy + c2))
    return float(s.mean())


def deck_ssim(pages_in, pages_out):
    """Per-slide SSIM values; a missing or extra page counts as 0."""
    if not pages_in:
        return []
    values = []
    for i, page in enumerate(pages_in):
        values.append(ssim(page, pages_out[i]) if i < len(pages_out) else 0.0)
    return values


def cleanup(path):
    shutil.rmtree(path, ignore_errors=True)
