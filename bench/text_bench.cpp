// Throughput of the text routines that run over whole pages: find, find
// backward, replace, split, TextBetween, and Base64Encode. Each runs at 1, 2
// and 4 MB, and Google Benchmark fits the times to a line through the sizes:
// a small RMS row means the cost grows linearly. The worst-case rows search for
// a marker that almost matches everywhere, where a naive search would be
// quadratic in the marker length.
#include <benchmark/benchmark.h>

#include <string>

#include "http/base64.h"
#include "text/extract.h"
#include "text/text.h"

namespace lv {
namespace {

constexpr const char* kImageMarker = "<img id=#引号wallpaper#引号 src=#引号";

// A listing page of about `size` bytes: HTML lines with code page 936 text,
// the detail image tag and a closing marker near the end.
Text PageText(std::size_t size) {
  const std::string tail =
      "<div class=\"showcase\"><img id=\"wallpaper\" src=\"https://w.example/full/lakeside-9x.jpg\""
      " alt=\"壁纸 风景\"></div>\r\n<!-- end of page -->\r\n</body></html>\r\n";
  Text page = "<!DOCTYPE html>\r\n<html><head><title>热门壁纸 第1页</title></head><body>\r\n";
  page.reserve(size + 512);
  for (int i = 0; page.size() + tail.size() < size; ++i) {
    const std::string n = std::to_string(i);
    page += "<li><figure class=\"thumb\" data-wallpaper-id=\"" + n +
            "\"><a class=\"preview\" href=\"https://w.example/w/" + n +
            "\">高清壁纸预览 第" + n + "张 风景·城市·动漫</a><span class=\"wall-res\">1920 x 1080</span>"
            "</figure></li>\r\n";
  }
  return page + tail;
}

void SetSize(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.SetComplexityN(static_cast<std::int64_t>(bytes));
}

// Runs routine(page) over a page of state.range(0) bytes.
template <typename Routine>
void OverPage(benchmark::State& state, Routine routine) {
  const Text page = PageText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(routine(page));
  SetSize(state, page.size());
}

// "aaa...ab" in "aaa...a": every position is a long partial match.
void BM_FindWorstCase(benchmark::State& state) {
  const Text text(static_cast<std::size_t>(state.range(0)), 'a');
  const Text marker = Text(1000, 'a') + "b";
  for (auto _ : state) benchmark::DoNotOptimize(Find(text, marker));
  SetSize(state, text.size());
}

void BM_ReplaceWorstCase(benchmark::State& state) {
  const Text text(static_cast<std::size_t>(state.range(0)), 'a');
  const Text marker = Text(1000, 'A') + "B";
  for (auto _ : state) benchmark::DoNotOptimize(Replace(text, marker, "x", false));
  SetSize(state, text.size());
}

void BM_Base64Encode(benchmark::State& state) {
  ByteSet bytes(static_cast<std::size_t>(state.range(0)));
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + 7);
  for (auto _ : state) benchmark::DoNotOptimize(Base64Encode(bytes));
  SetSize(state, bytes.size());
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->RangeMultiplier(2)->Range(1 << 20, 4 << 20)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
}

BENCHMARK_CAPTURE(OverPage, Find, [](const Text& page) {
  return Find(page, "<!-- end of page -->");
})->Apply(Sizes);
BENCHMARK_CAPTURE(OverPage, FindIgnoreCase, [](const Text& page) {
  return Find(page, "<!-- END OF PAGE -->", 1, true);
})->Apply(Sizes);
BENCHMARK_CAPTURE(OverPage, FindBackward, [](const Text& page) {
  return FindBackward(page, "<li>");
})->Apply(Sizes);
// Many matches: every double quote of the page.
BENCHMARK_CAPTURE(OverPage, Replace, [](const Text& page) {
  return Replace(page, "\"", "#引号", true);
})->Apply(Sizes);
BENCHMARK_CAPTURE(OverPage, ReplaceIgnoreCase, [](const Text& page) {
  return Replace(page, "<LI>", "<li class=\"x\">", false);
})->Apply(Sizes);
BENCHMARK_CAPTURE(OverPage, Split, [](const Text& page) {
  return Split(page, "\r\n");
})->Apply(Sizes);
BENCHMARK_CAPTURE(OverPage, Trim, [](const Text& page) {
  return Trim(page);
})->Apply(Sizes);
// The crawl's cut of the image address, with the marker near the end.
BENCHMARK_CAPTURE(OverPage, TextBetween, [](const Text& page) {
  return TextBetween(page, kImageMarker, "#引号");
})->Apply(Sizes);
BENCHMARK(BM_FindWorstCase)->Apply(Sizes);
BENCHMARK(BM_ReplaceWorstCase)->Apply(Sizes);
BENCHMARK(BM_Base64Encode)->Apply(Sizes);

}  // namespace
}  // namespace lv

BENCHMARK_MAIN();
