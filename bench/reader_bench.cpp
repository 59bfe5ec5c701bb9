// ReadInstInfo on generated InstInfo.ini files of many task lines, against a raw line split of the same bytes.
// The split is the floor: no reader can look at every line for less. The pieces of the reader (decoding, the line
// split of the decoded text) run on their own too, to show where its time goes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/installer_state.h"
#include "config/config_text.h"
#include "config/inst_info.h"
#include "platform/platform.h"

namespace {

using namespace tessaro;

// An add-on maker's file saved by Notepad as UTF-8: a BOM, a title, a picture and `taskLines` copy tasks with
// Chinese captions, CR LF line ends.
std::string MakeInstInfo(int taskLines) {
    std::string text = "\xEF\xBB\xBF[Tessaro]\r\nsetuptitle=我的宏插件 1.0 安装\r\nflagspicture=cover.bmp\r\n";
    text.reserve(text.size() + static_cast<std::size_t>(taskLines) * 64);
    for (int i = 0; i < taskLines; ++i) {
        const std::string n = std::to_string(i);
        text.append("fileitem=c|Macro").append(n).append(".gms|1|gmspath|正在复制宏文件 ").append(n).append("...\r\n");
    }
    return text;
}

// Every service the reader does not use aborts: a benchmark that reaches one measures the wrong thing.
class BenchPlatform final : public StartupServices,
                            public TextFiles,
                            public Clock,
                            public Dialogs,
                            public ProgramControl,
                            public FileServices,
                            public ProcessServices,
                            public AutomationServices {
  public:
    explicit BenchPlatform(std::string content) : content_(std::move(content)) {}

    Platform& platform() { return platform_; }

    std::string ProgramFolder() override { std::abort(); }
    std::string ArgumentText() override { std::abort(); }
    bool AnotherInstanceRunning() override { std::abort(); }

    // The platform hands the whole file over by value; that copy is part of what the reader costs.
    FileBytes ReadAll(const std::string&) override { return {ReadStatus::Ok, content_}; }
    std::string AnsiToUtf8(std::string_view ansiText) override { return std::string(ansiText); }
    std::unique_ptr<LineWriter> OpenForAppend(const std::string&) override { std::abort(); }
    std::string TemporaryFolder() override { std::abort(); }

    std::string LocalTimestamp() override { std::abort(); }
    DialogReply ShowMessage(std::string_view, std::string_view, MessageKind) override { std::abort(); }
    void Pause(uint32_t) override { std::abort(); }
    [[noreturn]] void EndProgram(int) override { std::abort(); }

    Result<bool> PathExists(const std::string&) override { std::abort(); }
    Result<bool> CopyReplacing(const std::string&, const std::string&) override { std::abort(); }
    Result<bool> RemoveFile(const std::string&) override { std::abort(); }
    Result<bool> IsRegularFile(const std::string&) override { std::abort(); }
    Refusal LastRefusal() override { std::abort(); }
    std::optional<std::string> VirtualStoreCopyOf(const std::string&) override { std::abort(); }
    Status StartProgram(const std::string&, const std::string&) override { std::abort(); }
    Result<std::vector<ProcessEntry>> Snapshot() override { std::abort(); }
    void Terminate(uint32_t) override { std::abort(); }
    Result<AutomationRef> CreateObject(std::string_view) override { std::abort(); }

  private:
    std::string content_;
    Platform platform_{*this, *this, *this, *this, *this, *this, *this, *this};
};

void SetCounters(benchmark::State& state, const std::string& content) {
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(content.size()));
    state.counters["lines"] = static_cast<double>(state.range(0));
}

void BM_ReadInstInfo(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    BenchPlatform platform(MakeInstInfo(lines));
    const std::string content = MakeInstInfo(lines);
    for (auto _ : state) {
        {
            InstallerState installer;
            installer.AppPath = "C:\\addon\\";
            const bool ok = ReadInstInfo(installer, platform.platform());
            benchmark::DoNotOptimize(ok);
            const bool complete = installer.FileItems.TaskCount() == static_cast<std::size_t>(lines);
            // Freeing the table is the program's exit, not the read.
            state.PauseTiming();
            if (!complete) {
                state.SkipWithError("the reader did not take every task line");
                break;
            }
        }
        state.ResumeTiming();
    }
    SetCounters(state, content);
}

// The floor: the same bytes cut at every LF into views, nothing decoded, nothing copied.
void BM_RawLineSplit(benchmark::State& state) {
    const std::string content = MakeInstInfo(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::vector<std::string_view> lines;
        const char* at = content.data();
        const char* const end = at + content.size();
        while (at < end) {
            const void* found = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
            const char* lineEnd = found != nullptr ? static_cast<const char*>(found) : end;
            lines.emplace_back(at, static_cast<std::size_t>(lineEnd - at));
            at = lineEnd + 1;
        }
        benchmark::DoNotOptimize(lines.data());
        benchmark::ClobberMemory();
    }
    SetCounters(state, content);
}

// The reader's first two steps alone: BOM check and UTF-8 check with a copy, then the core's own line split.
void BM_DecodeAndSplitLines(benchmark::State& state) {
    const std::string content = MakeInstInfo(static_cast<int>(state.range(0)));
    const AnsiDecoder identity = [](std::string_view ansi) { return std::string(ansi); };
    for (auto _ : state) {
        const std::string decoded = DecodeConfigBytes(content, identity);
        const std::vector<std::string_view> lines = SplitLines(decoded);
        benchmark::DoNotOptimize(lines.data());
    }
    SetCounters(state, content);
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(10000)->Arg(100000)->Complexity(benchmark::oN)->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_ReadInstInfo)->Apply(Sizes);
BENCHMARK(BM_RawLineSplit)->Apply(Sizes);
BENCHMARK(BM_DecodeAndSplitLines)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
