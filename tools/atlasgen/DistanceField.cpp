#include "DistanceField.h"

#include <cmath>

namespace {

// Stands for "no sample set"; finite so the arithmetic below stays ordinary.
constexpr double kFar = 1e20;

// One-dimensional squared distance transform of a sampled function: the lower
// envelope of the parabolas rooted at each sample (Felzenszwalb and
// Huttenlocher). Reads and writes `f` with stride `stride`. The first
// envelope boundary is -kFar and a new parabola's intersection is always
// above -kFar / 2, so k never drops below 0.
void transform1d(double* f, int n, int stride, std::vector<double>& values, std::vector<int>& v,
                 std::vector<double>& z) {
  for (int i = 0; i < n; ++i) values[i] = f[size_t(i) * stride];
  int k = 0;
  v[0] = 0;
  z[0] = -kFar;
  z[1] = kFar;
  for (int q = 1; q < n; ++q) {
    double s;
    for (;;) {
      const int p = v[k];
      s = ((values[q] + double(q) * q) - (values[p] + double(p) * p)) / (2.0 * (q - p));
      if (s > z[k]) break;
      --k;
    }
    ++k;
    v[k] = q;
    z[k] = s;
    z[k + 1] = kFar;
  }
  k = 0;
  for (int q = 0; q < n; ++q) {
    while (z[k + 1] < q) ++k;
    const double d = double(q - v[k]);
    f[size_t(q) * stride] = values[v[k]] >= kFar ? kFar : d * d + values[v[k]];
  }
}

}  // namespace

std::vector<float> squaredDistanceToSet(const std::vector<uint8_t>& flags, int size) {
  std::vector<double> d(size_t(size) * size);
  for (size_t i = 0; i < d.size(); ++i) d[i] = flags[i] ? 0.0 : kFar;
  std::vector<double> values(size);
  std::vector<int> v(size);
  std::vector<double> z(size_t(size) + 1);
  for (int x = 0; x < size; ++x) transform1d(&d[x], size, size, values, v, z);
  for (int y = 0; y < size; ++y) transform1d(&d[size_t(y) * size], size, 1, values, v, z);
  return std::vector<float>(d.begin(), d.end());
}

std::vector<float> signedDistance(const std::vector<uint8_t>& inside, int size) {
  std::vector<uint8_t> outside(inside.size());
  for (size_t i = 0; i < inside.size(); ++i) outside[i] = inside[i] ? 0 : 1;
  const std::vector<float> toInside = squaredDistanceToSet(inside, size);
  const std::vector<float> toOutside = squaredDistanceToSet(outside, size);
  std::vector<float> result(inside.size());
  for (size_t i = 0; i < inside.size(); ++i) {
    result[i] = inside[i] ? -(std::sqrt(toOutside[i]) - 0.5f) : std::sqrt(toInside[i]) - 0.5f;
  }
  return result;
}
