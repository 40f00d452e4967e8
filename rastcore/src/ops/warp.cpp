// Warps: each output pixel takes the bilinear sample at an inverse-mapped source point; points
// outside the picture take the background.
#include <algorithm>
#include <array>
#include <cmath>

#include "ops/kernels.h"
#include "ops/pixel.h"
#include "rastcore3_ops.h"

namespace rastcore::ops {
namespace {

template <typename Map>
Image warp(const Image& img, Rgbq background, Map map) {
  const TrueColour srcHolder(img);
  const Image& src = *srcHolder;
  Image out = makeImage(src.width, src.height, src.bpp);
  out.palette.clear();
  out.xdpi = src.xdpi;
  out.ydpi = src.ydpi;
  const int n = src.bpp / 8;
  const uint8_t bg[4] = {background.b, background.g, background.r, 255};
  parallelRows(src.height, int64_t(src.width) * src.height * 32, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* d = out.row(y);
      for (int x = 0; x < src.width; ++x, d += n) {
        double sx, sy;
        map(x + 0.5, y + 0.5, sx, sy);
        sx -= 0.5;
        sy -= 0.5;
        const int x0 = int(std::floor(sx)), yy0 = int(std::floor(sy));
        const double ax = sx - x0, ay = sy - yy0;
        const uint8_t* p[4];
        for (int j = 0; j < 4; ++j) {
          const int px = x0 + (j & 1), py = yy0 + (j >> 1);
          p[j] = (px >= 0 && py >= 0 && px < src.width && py < src.height)
                     ? src.row(py) + size_t(px) * n
                     : bg;
        }
        for (int k = 0; k < n; ++k) {
          const double v = (p[0][k] * (1 - ax) + p[1][k] * ax) * (1 - ay) +
                           (p[2][k] * (1 - ax) + p[3][k] * ax) * ay;
          d[k] = uint8_t(v + 0.5);
        }
      }
    }
  });
  return out;
}

// Solves the projective map taking the unit square's corners (0,0),(1,0),(1,1),(0,1) to q.
struct Homography {
  double m[9];
  void apply(double u, double v, double& x, double& y) const {
    const double w = m[6] * u + m[7] * v + m[8];
    x = (m[0] * u + m[1] * v + m[2]) / w;
    y = (m[3] * u + m[4] * v + m[5]) / w;
  }
};

Homography squareTo(const double* q) {
  const double x0 = q[0], y0 = q[1], x1 = q[2], y1 = q[3], x2 = q[4], y2 = q[5], x3 = q[6],
               y3 = q[7];
  const double sx = x0 - x1 + x2 - x3, sy = y0 - y1 + y2 - y3;
  Homography h{};
  if (std::fabs(sx) < 1e-12 && std::fabs(sy) < 1e-12) {
    h.m[0] = x1 - x0;
    h.m[1] = x2 - x1;
    h.m[2] = x0;
    h.m[3] = y1 - y0;
    h.m[4] = y2 - y1;
    h.m[5] = y0;
    h.m[6] = h.m[7] = 0;
    h.m[8] = 1;
    return h;
  }
  const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
  const double den = dx1 * dy2 - dx2 * dy1;
  if (std::fabs(den) < 1e-12) fail(CV_ERR_BAD_ARGUMENT);
  const double g = (sx * dy2 - dx2 * sy) / den, hh = (dx1 * sy - sx * dy1) / den;
  h.m[0] = x1 - x0 + g * x1;
  h.m[1] = x3 - x0 + hh * x3;
  h.m[2] = x0;
  h.m[3] = y1 - y0 + g * y1;
  h.m[4] = y3 - y0 + hh * y3;
  h.m[5] = y0;
  h.m[6] = g;
  h.m[7] = hh;
  h.m[8] = 1;
  return h;
}

Homography inverse(const Homography& h) {
  const double* m = h.m;
  Homography r{};
  r.m[0] = m[4] * m[8] - m[5] * m[7];
  r.m[1] = m[2] * m[7] - m[1] * m[8];
  r.m[2] = m[1] * m[5] - m[2] * m[4];
  r.m[3] = m[5] * m[6] - m[3] * m[8];
  r.m[4] = m[0] * m[8] - m[2] * m[6];
  r.m[5] = m[2] * m[3] - m[0] * m[5];
  r.m[6] = m[3] * m[7] - m[4] * m[6];
  r.m[7] = m[1] * m[6] - m[0] * m[7];
  r.m[8] = m[0] * m[4] - m[1] * m[3];
  return r;
}

}  // namespace

Image swirl(const Image& img, double degrees, Rgbq background) {
  if (!std::isfinite(degrees) || degrees < -3600 || degrees > 3600) fail(CV_ERR_BAD_ARGUMENT);
  const double cx = img.width / 2.0, cy = img.height / 2.0;
  const double radius = std::min(cx, cy);
  const double a = degrees * M_PI / 180;
  return warp(img, background, [=](double x, double y, double& sx, double& sy) {
    const double dx = x - cx, dy = y - cy, r = std::hypot(dx, dy);
    if (r >= radius || radius <= 0) {
      sx = x;
      sy = y;
      return;
    }
    const double t = a * (1 - r / radius) * (1 - r / radius);
    const double c = std::cos(t), s = std::sin(t);
    sx = cx + dx * c - dy * s;
    sy = cy + dx * s + dy * c;
  });
}

Image pinch(const Image& img, int intensity, Rgbq background) {
  if (intensity < -100 || intensity > 100) fail(CV_ERR_BAD_ARGUMENT);
  const double cx = img.width / 2.0, cy = img.height / 2.0, radius = std::min(cx, cy);
  const double k = intensity / 100.0;
  return warp(img, background, [=](double x, double y, double& sx, double& sy) {
    const double dx = x - cx, dy = y - cy, r = std::hypot(dx, dy);
    if (r >= radius || r == 0) {
      sx = x;
      sy = y;
      return;
    }
    // Source radius r^(1-k) (scaled): pinch pulls the middle in, a negative value bulges it.
    const double f = std::pow(r / radius, -k * 0.5);
    sx = cx + dx * f;
    sy = cy + dy * f;
  });
}

Image ripple(const Image& img, int intensity, int frequency, int direction, Rgbq background) {
  if (intensity < 1 || intensity > 100 || frequency < 1 || frequency > 100 || direction < 0 ||
      direction > 2)
    fail(CV_ERR_BAD_ARGUMENT);
  const double w = img.width, h = img.height;
  return warp(img, background, [=](double x, double y, double& sx, double& sy) {
    sx = x;
    sy = y;
    if (direction != 1) sx += intensity * std::sin(2 * M_PI * frequency * y / h);
    if (direction != 0) sy += intensity * std::sin(2 * M_PI * frequency * x / w);
  });
}

Image pwarp(const Image& img, const double* xy, Rgbq background) {
  // The picture's rectangle goes onto the quadrilateral; map back through the inverse.
  const Homography toQuad = squareTo(xy);
  const Homography back = inverse(toQuad);
  const double w = img.width, h = img.height;
  return warp(img, background, [&](double x, double y, double& sx, double& sy) {
    double u, v;
    back.apply(x, y, u, v);
    if (!std::isfinite(u) || !std::isfinite(v)) u = v = -1;
    sx = u * w;
    sy = v * h;
  });
}

Image perspective(const Image& img, int type, int pct, Rgbq background) {
  if (type < 0 || type > 3 || pct < 1 || pct > 99) fail(CV_ERR_BAD_ARGUMENT);
  const double w = img.width, h = img.height;
  const double ix = w * pct / 200.0, iy = h * pct / 200.0;
  std::array<double, 8> q = {0, 0, w, 0, w, h, 0, h};
  switch (type) {
    case 0:
      q[0] += ix;
      q[2] -= ix;
      break;  // top edge narrowed
    case 1:
      q[4] -= ix;
      q[6] += ix;
      break;  // bottom
    case 2:
      q[1] += iy;
      q[7] -= iy;
      break;  // left
    default:
      q[3] += iy;
      q[5] -= iy;
      break;  // right
  }
  return pwarp(img, q.data(), background);
}

}  // namespace rastcore::ops
