// The test panel's runs without the window: the selection summary and the
// free-space rule, the endless download/delete cycle and the make-a-file run.
// The dialog binds the file calls (ITestFiles) and its controls and message
// pump (ITestRunHost).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testpanel {

// "%d Files : %d kB" over the size texts of the selected rows ("40 KB": the
// last three characters dropped, the rest read as the list's integer).
std::string SummaryText(const std::vector<std::string>& sizeTexts);
// The kB figure of a summary (between ": " and "kB"); 0 when there is none.
std::int64_t SummaryKilobytes(const std::string& summary);
// The free space in KB, rounded up, holds the selection.
bool FitsFreeSpace(std::uint64_t freeBytes, std::int64_t kilobytes);

class ITestFiles {
public:
    virtual ~ITestFiles() = default;
    // Handles are small positive numbers; 0 is failure.
    virtual int OpenRead(const std::string& path) = 0;
    virtual int Create(const std::string& path) = 0;
    virtual std::int64_t Length(int file) = 0;
    // Bytes read, or -1.
    virtual int Read(int file, char* buffer, int size) = 0;
    virtual bool Write(int file, const char* buffer, int size) = 0;
    virtual void Flush(int file) = 0;
    virtual bool Rewind(int file) = 0;
    virtual void Close(int file) = 0;
    virtual bool Delete(const std::string& path) = 0;
};

class ITestRunHost {
public:
    virtual ~ITestRunHost() = default;
    // Lets the window answer its messages; true when End or Close asked the
    // run to stop.
    virtual bool PumpAndCheckStop() = 0;
    virtual void SetProgress(std::int64_t position, std::int64_t range) = 0;
    virtual void ShowCycle(const std::string& text) = 0;
    virtual void ShowErrorLog(const std::string& log) = 0;
    virtual void ShowMakeStatus(const std::string& text) = 0;
};

// Error letters of the cycle.
enum : char {
    CYCLE_PC_OPEN = 'A',
    CYCLE_MEM_OPEN = 'B',
    CYCLE_PC_READ = 'C',
    CYCLE_MEM_WRITE = 'D',
};

struct CycleResult {
    int Cycles = 0;
    // " %d/%d(%c)" per failed file, after "Error:".
    std::string Log = "Error:";
    // The run ended on a write failure (a full memory) rather than by End.
    bool StoppedOnWriteFailure = false;
};

// Copies every name from source to target folder, then deletes the copies,
// over and over until the host says stop. A file that fails is logged with
// its letter and the next one is tried; a failed write (the memory is full)
// ends the run, since every later write would fail the same way. Both files
// are closed on every path. Folders end with "\".
CycleResult RunCycle(ITestFiles& files, ITestRunHost& host, const std::string& sourceFolder,
                     const std::string& targetFolder, const std::vector<std::string>& names);

struct MakeFileResult {
    int Cycles = 0;
    std::uint64_t BytesWritten = 0;
    // Empty when the run ended by End; else the message that ended it.
    std::string Failure;
};

// Appends the source to "~" + name in the same folder, rewinding the source
// each time it is used up, until the host says stop or an append fails.
MakeFileResult RunMakeFile(ITestFiles& files, ITestRunHost& host, const std::string& folder, const std::string& name);

}  // namespace testpanel
