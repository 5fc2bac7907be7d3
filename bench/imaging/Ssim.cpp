#include "Ssim.h"

#include <stdexcept>
#include <vector>

namespace bench {

namespace {

std::vector<double> Luma(const office::imaging::Raster& r) {
    std::vector<double> y(static_cast<std::size_t>(r.width) * r.height);
    for (std::size_t i = 0; i < y.size(); ++i) {
        const std::uint8_t* p = &r.rgba[i * 4];
        y[i] = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
    }
    return y;
}

} // namespace

double LumaSsim(const office::imaging::Raster& a, const office::imaging::Raster& b) {
    if (a.width != b.width || a.height != b.height) {
        throw std::invalid_argument("SSIM of rasters of different sizes");
    }
    constexpr int kWindow = 8, kStep = 4;
    constexpr double c1 = (0.01 * 255) * (0.01 * 255), c2 = (0.03 * 255) * (0.03 * 255);
    const std::vector<double> ya = Luma(a), yb = Luma(b);
    double sum = 0;
    long windows = 0;
    for (int y0 = 0; y0 + kWindow <= a.height; y0 += kStep) {
        for (int x0 = 0; x0 + kWindow <= a.width; x0 += kStep) {
            double ma = 0, mb = 0;
            for (int y = y0; y < y0 + kWindow; ++y) {
                for (int x = x0; x < x0 + kWindow; ++x) {
                    ma += ya[static_cast<std::size_t>(y) * a.width + x];
                    mb += yb[static_cast<std::size_t>(y) * a.width + x];
                }
            }
            constexpr double n = kWindow * kWindow;
            ma /= n;
            mb /= n;
            double va = 0, vb = 0, cov = 0;
            for (int y = y0; y < y0 + kWindow; ++y) {
                for (int x = x0; x < x0 + kWindow; ++x) {
                    const double da = ya[static_cast<std::size_t>(y) * a.width + x] - ma;
                    const double db = yb[static_cast<std::size_t>(y) * a.width + x] - mb;
                    va += da * da;
                    vb += db * db;
                    cov += da * db;
                }
            }
            va /= n - 1;
            vb /= n - 1;
            cov /= n - 1;
            sum += ((2 * ma * mb + c1) * (2 * cov + c2)) / ((ma * ma + mb * mb + c1) * (va + vb + c2));
            ++windows;
        }
    }
    return windows == 0 ? 1.0 : sum / windows;
}

} // namespace bench
