// One table cell three ways: as shipped, with pow evaluated at every
// integration node, and the bare arithmetic (the integrand formed once, then
// Simpson's additions and nothing else).
#include <benchmark/benchmark.h>

#include <cmath>

#include "model.hpp"

namespace {

using namespace model;

void ExampleCell() {
  P = Parameters{46, 3, 0, 14, 30, 0, 21, 6, 0, 1, 0.1, 0, 1, 0.1, 0, 100, 10, 2014, 1};
  ComputeSolarDay(P, S);
  CF = 0.37;
  beta = 0.5;
  ComputeCell();
}

double NodeByNode(double) { return std::pow(1 - CF, E); }

void Shipped(benchmark::State& state) {
  ExampleCell();
  for (auto _ : state) {
    ComputeCell();
    benchmark::DoNotOptimize(X_per);
  }
}

void Straightforward(benchmark::State& state) {
  ExampleCell();
  for (auto _ : state) {
    double x = simpson(NodeByNode, S.T1, S.T2, kSimpsonPanels);
    benchmark::DoNotOptimize(x);
  }
}

// The additions that Simpson's rule makes for a constant integrand.
double BareSimpson(double value, double a, double b, unsigned int n) {
  const double step = (b - a) / n;
  double sum = 0;
  for (unsigned int i = 2; i < n; i += 2) sum = (4 * value + (value + value)) + sum;
  return ((4 * value + (value + (value + sum))) * step) / 3;
}

void Bare(benchmark::State& state) {
  ExampleCell();
  for (auto _ : state) {
    double value = std::pow(1 - CF, E);
    benchmark::DoNotOptimize(value);
    double x = BareSimpson(value, S.T1, S.T2, kSimpsonPanels);
    benchmark::DoNotOptimize(x);
  }
}

// The closed form of the 4999 additions alone, for the example cell's t.
void ClosedFormSum(benchmark::State& state) {
  ExampleCell();
  const double t = 4 * F + (F + F);
  for (auto _ : state) {
    double x = RepeatedSum(t, kSimpsonPanels / 2 - 1);
    benchmark::DoNotOptimize(x);
  }
}

}  // namespace

BENCHMARK(ClosedFormSum)->Name("cell/closed_form_sum");
BENCHMARK(Straightforward)->Name("cell/straightforward");
BENCHMARK(Shipped)->Name("cell/shipped");
BENCHMARK(Bare)->Name("cell/bare_arithmetic");
BENCHMARK_MAIN();
