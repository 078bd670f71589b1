#include "timing.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace bench {
namespace {
double g_tick = 0;  // seconds per QueryPerformanceCounter tick
}  // namespace

void StartClock() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  g_tick = 1.0 / double(frequency.QuadPart);
}

int64_t Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

double Seconds(int64_t ticks) { return double(ticks) * g_tick; }

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

Pair TimeAlternately(int reps, const std::function<void()>& library, const std::function<void()>& baseline,
                     const std::function<void()>& after) {
  std::vector<double> a, b, r;
  library(), after(), baseline(), after();
  for (int i = 0; i < reps; ++i) {
    int64_t t0 = Now();
    library();
    int64_t t1 = Now();
    after();
    int64_t t2 = Now();
    baseline();
    int64_t t3 = Now();
    after();
    a.push_back(Seconds(t1 - t0));
    b.push_back(Seconds(t3 - t2));
    r.push_back(a.back() / b.back());
  }
  return {Median(a), Median(b), Median(r)};
}

Turns TimeInTurn(int rounds, const std::vector<std::function<void()>>& calls, const std::function<void()>& after) {
  const size_t n = calls.size();
  std::vector<std::vector<double>> times(n), ratios(n);
  for (const auto& call : calls) call(), after();
  for (int round = 0; round < rounds; ++round) {
    for (size_t i = 0; i < n; ++i) {
      const int64_t t0 = Now();
      calls[i]();
      times[i].push_back(Seconds(Now() - t0));
      after();
    }
    for (size_t i = 0; i < n; ++i) ratios[i].push_back(times[i].back() / times[0].back());
  }
  Turns turns;
  for (size_t i = 0; i < n; ++i) {
    turns.median.push_back(Median(times[i]));
    turns.ratio.push_back(Median(ratios[i]));
    std::sort(ratios[i].begin(), ratios[i].end());
  }
  turns.ratios = std::move(ratios);
  turns.times = std::move(times);
  return turns;
}

}  // namespace bench
