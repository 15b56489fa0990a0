// Throughput of the text conversions on a mixed-script text.
#include <benchmark/benchmark.h>

#include <string>

#include "foundation/utf_conversion.h"

namespace {

std::string SampleText() {
    std::string text;
    for (int i = 0; i < 256; ++i) text += "Lat 52\xC2\xB0" "12' N, \xE2\x82\xAC 4.5, \xF0\x9F\x98\x80 ok; ";
    return text;
}

void BM_Utf8ToUtf16(benchmark::State& state) {
    const std::string text = SampleText();
    for (auto _ : state) benchmark::DoNotOptimize(Utf8ToUtf16(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Utf8ToUtf16);

void BM_Utf16ToUtf8(benchmark::State& state) {
    const std::wstring text = Utf8ToUtf16(SampleText());
    for (auto _ : state) benchmark::DoNotOptimize(Utf16ToUtf8(text));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Utf16ToUtf8);

}  // namespace
