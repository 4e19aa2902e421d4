#include "TestRuns.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "fileutil/FileText.h"

namespace testpanel {

namespace {

#if defined(__clang__)
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
#else
std::string Printf(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
#endif
std::string Printf(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

const int kCycleChunk = 16 * 1024;
const int kMakeChunk = 8 * 1024;

}  // namespace

std::string SummaryText(const std::vector<std::string>& sizeTexts)
{
    std::int64_t total = 0;
    for (const std::string& size : sizeTexts) {
        int kb = 0;
        const std::string number = size.size() > 3 ? size.substr(0, size.size() - 3) : std::string();
        CFileText::ParseInt(number, kb);
        total += kb;
    }
    return Printf("%d Files : %lld kB", static_cast<int>(sizeTexts.size()), static_cast<long long>(total));
}

std::int64_t SummaryKilobytes(const std::string& summary)
{
    const std::size_t colon = summary.find(": ");
    if (colon == std::string::npos)
        return 0;
    const std::size_t unit = summary.find("kB", colon);
    std::int64_t value = 0;
    for (std::size_t i = colon + 2; i < summary.size() && i != unit; ++i) {
        const char c = summary[i];
        if (c >= '0' && c <= '9')
            value = value * 10 + (c - '0');
        else if (c != ' ')
            return 0;
        if (value > (std::int64_t(1) << 40))
            return value;
    }
    return value;
}

bool FitsFreeSpace(std::uint64_t freeBytes, std::int64_t kilobytes)
{
    const std::uint64_t freeKb = freeBytes / 1024 + (freeBytes % 1024 ? 1 : 0);
    return kilobytes <= 0 || freeKb >= static_cast<std::uint64_t>(kilobytes);
}

namespace {

// One file of the cycle: the letter of its failure, or 0. Both files are
// closed whatever happens.
char CopyOne(ITestFiles& files, ITestRunHost& host, const std::string& source, const std::string& target,
             std::vector<char>& buffer, bool* stop)
{
    const int in = files.OpenRead(source);
    if (!in)
        return CYCLE_PC_OPEN;
    const std::int64_t length = files.Length(in);
    host.SetProgress(0, length);
    const int out = files.Create(target);
    if (!out) {
        files.Close(in);
        return CYCLE_MEM_OPEN;
    }
    char letter = 0;
    std::int64_t copied = 0;
    for (int chunk = 1; copied < length; ++chunk) {
        const int want = static_cast<int>(std::min<std::int64_t>(kCycleChunk, length - copied));
        if (files.Read(in, buffer.data(), want) != want) {
            letter = CYCLE_PC_READ;
            break;
        }
        if (!files.Write(out, buffer.data(), want)) {
            letter = CYCLE_MEM_WRITE;
            break;
        }
        copied += want;
        host.SetProgress(copied, length);
        if (host.PumpAndCheckStop()) {
            *stop = true;
            break;
        }
        if (chunk % 10 == 0)
            files.Flush(out);
    }
    files.Close(out);
    files.Close(in);
    return letter;
}

}  // namespace

CycleResult RunCycle(ITestFiles& files, ITestRunHost& host, const std::string& sourceFolder,
                     const std::string& targetFolder, const std::vector<std::string>& names)
{
    CycleResult result;
    std::vector<char> buffer(kCycleChunk);
    bool stop = names.empty();
    while (!stop) {
        for (std::size_t i = 0; i < names.size() && !stop; ++i) {
            if (i == 0)
                ++result.Cycles;
            host.SetProgress(0, 0);
            host.ShowCycle(Printf("%d Files / %d Cycles", static_cast<int>(i + 1), result.Cycles));
            const char letter = CopyOne(files, host, sourceFolder + names[i], targetFolder + names[i], buffer, &stop);
            if (letter) {
                result.Log += Printf(" %d/%d(%c)", static_cast<int>(i + 1), result.Cycles, letter);
                host.ShowErrorLog(result.Log);
                if (letter == CYCLE_MEM_WRITE) {
                    result.StoppedOnWriteFailure = true;
                    stop = true;
                }
            }
            // Empty files copy without a chunk: the window still gets its turn.
            if (!stop && host.PumpAndCheckStop())
                stop = true;
        }
        // The end of a cycle, or a full memory: the copies go again.
        if (!stop || result.StoppedOnWriteFailure)
            for (const std::string& name : names)
                files.Delete(targetFolder + name);
    }
    host.SetProgress(0, 0);
    return result;
}

MakeFileResult RunMakeFile(ITestFiles& files, ITestRunHost& host, const std::string& folder, const std::string& name)
{
    MakeFileResult result;
    const int in = files.OpenRead(folder + name);
    if (!in) {
        result.Failure = "Failed to open the selected source file";
        return result;
    }
    const int out = files.Create(folder + "~" + name);
    if (!out) {
        files.Close(in);
        result.Failure = "Failed to create the target file.";
        return result;
    }
    const std::int64_t length = files.Length(in);
    std::vector<char> buffer(kMakeChunk);
    std::int64_t position = 0;
    auto status = [&] {
        return Printf("~%s: %lluKB / %d cycles", name.c_str(),
                      static_cast<unsigned long long>(result.BytesWritten / 1024), result.Cycles);
    };
    for (int chunk = 1;; ++chunk) {
        if (position >= length) {
            ++result.Cycles;
            host.ShowMakeStatus(status());
            // An empty source would grow nothing, forever.
            if (length <= 0 || !files.Rewind(in)) {
                result.Failure = "Failed to read the source file.";
                break;
            }
            position = 0;
        }
        const int want = static_cast<int>(std::min<std::int64_t>(kMakeChunk, length - position));
        if (files.Read(in, buffer.data(), want) != want) {
            result.Failure = "Failed to read the source file.";
            break;
        }
        // A full disk ends the run instead of appending nothing forever.
        if (!files.Write(out, buffer.data(), want)) {
            result.Failure = "Failed to write the target file.";
            break;
        }
        position += want;
        result.BytesWritten += static_cast<std::uint64_t>(want);
        if (chunk % 8 == 0) {
            host.ShowMakeStatus(status());
            if (host.PumpAndCheckStop())
                break;
        }
        if (chunk % 10 == 0)
            files.Flush(out);
    }
    files.Close(out);
    files.Close(in);
    return result;
}

}  // namespace testpanel
