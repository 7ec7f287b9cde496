// Building the related-sites page from an answer page, against a plain case-insensitive
// scan of the same bytes in the same run. The page's throughput should stay flat as the
// answer grows from 0.25 MB to 4 MB (the build is linear in the answer's size).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <string>

#include "related/ResultsPage.h"

namespace {

constexpr std::size_t kMegabyte = 1 << 20;

// An answer page of about `bytes` bytes shaped like the service's related-pages answer:
// 2,000 related links and 500 category blocks per megabyte, with snippet text between.
std::string answerPage(std::size_t bytes) {
    const std::size_t links = 2000 * bytes / kMegabyte;
    const std::size_t categories = 500 * bytes / kMegabyte;
    std::string page =
        "<html><head><title>related:www.example.com</title></head>\n<BODY bgcolor=#ffffff>\n"
        "<p><a href=\"http://www.google.com/advanced_search\">Advanced Search</a>\n";
    const std::string filler =
        "Mixed Case snippet text About The Related Site, With Some <b>bold</b> Words and a "
        "few &amp; references; Lorem Ipsum Dolor Sit Amet. ";
    const std::size_t perLink = bytes / (links + 1);
    for (std::size_t i = 0; i < links; ++i) {
        const std::size_t start = page.size();
        const std::string n = std::to_string(i);
        page += (i % 2 == 0) ? "<p><a href=\"http://www.site" + n + ".example/path/\">"
                             : "<P><A HREF=http://www.site" + n + ".example/>";
        page += "Related Site " + n + "</a><br>\n<font size=-1>";
        if (i % (links / categories) == 0) {
            const std::string c = std::to_string(i % 300);
            page += "<font color=#6f6f6f>Category:</font> <a href=http://directory.example/Top/C" +
                    c + "/>Top&nbsp;&gt;&nbsp;Cat" + c + "</a><br>";
        }
        while (page.size() - start < perLink) page += filler;
        page += "</font>\n";
    }
    page += "</BODY></html>\n";
    return page;
}

std::size_t scanNoCase(const std::string& text) {
    constexpr char kMarker[] = "<p><a";
    std::size_t hits = 0;
    for (std::size_t i = 0; i + 5 <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < 5) {
            char c = text[i + k];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
            if (c != kMarker[k]) break;
            ++k;
        }
        hits += (k == 5);
    }
    return hits;
}

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

void BM_ResultsPage(benchmark::State& state) {
    const std::string page = answerPage(static_cast<std::size_t>(state.range(0)));
    {
        const std::string related = surfdeck::GetRelatedHTML(page, "www.example.com");
        const std::string categories = surfdeck::GetCategoryHTML(page);
        state.counters["related_items"] = static_cast<double>(countOf(related, "<A HREF="));
        state.counters["category_items"] =
            static_cast<double>(countOf(categories, "<A HREF=") - 1);  // less the credit
    }
    using Clock = std::chrono::steady_clock;
    double buildSeconds = 0;
    double scanSeconds = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        std::string built = surfdeck::GetRelatedHTML(page, "www.example.com");
        built += surfdeck::GetCategoryHTML(page);
        benchmark::DoNotOptimize(built.data());
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(scanNoCase(page));
        const auto t2 = Clock::now();
        const double build = std::chrono::duration<double>(t1 - t0).count();
        buildSeconds += build;
        scanSeconds += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(build);
    }
    const auto total = static_cast<double>(page.size()) * static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
    state.SetComplexityN(static_cast<std::int64_t>(page.size()));
    state.counters["scan_MB/s"] = total / kMegabyte / scanSeconds;
    state.counters["build_vs_scan_time"] = buildSeconds / scanSeconds;
}
BENCHMARK(BM_ResultsPage)
    ->Arg(kMegabyte / 4)
    ->Arg(kMegabyte)
    ->Arg(4 * kMegabyte)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
