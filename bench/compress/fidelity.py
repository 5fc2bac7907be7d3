"""Page renderings through LibreOffice (PDF, then 96 dpi PNG) and per-slide SSIM."""

import glob
import os
import shutil
import subprocess

import numpy as np
from PIL import Image


def render(pptx, workdir, profile, timeout=240):
    """PNG paths of the pages of pptx, in order; empty when rendering failed."""
    os.makedirs(workdir, exist_ok=True)
    name = os.path.splitext(os.path.basename(pptx))[0]
    cmd = ["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--convert-to", "pdf",
           "--outdir", workdir, pptx]
    try:
        subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout, check=False)
    except subprocess.TimeoutExpired:
        return []
    pdf = os.path.join(workdir, name + ".pdf")
    if not os.path.exists(pdf):
        return []
    prefix = os.path.join(workdir, name)
    try:
        subprocess.run(["pdftoppm", "-r", "96", "-png", pdf, prefix], timeout=timeout, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        return []
    pages = glob.glob(glob.escape(prefix) + "-*.png")
    return sorted(pages, key=lambda p: int(p.rsplit("-", 1)[1].split(".")[0]))


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
