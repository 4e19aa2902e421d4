// The format tool as the manager starts it: a separate program given "X:".
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::string ProgramFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p = path;
    return p.substr(0, p.find_last_of('\\') + 1);
}

// Runs the tool and returns its exit code (-1 when it did not start).
int RunTool(const std::string& name, const std::string& args)
{
    std::string command = "\"" + ProgramFolder() + name + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return int(code);
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string n = data.cFileName;
        if (n != "." && n != ".." && n != ".windows-label") names.push_back(n);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

std::string RawLabel(char letter)
{
    char name[] = "\\\\.\\X:";
    name[4] = letter;
    HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "(no raw device)";
    unsigned char boot[512];
    DWORD done = 0;
    ReadFile(h, boot, 512, &done, nullptr);
    CloseHandle(h);
    return std::string(reinterpret_cast<char*>(boot + 43), 11);
}
}  // namespace

TEST(FormatToolOnMemory, FormatsTheMemoryWithItsLabel)
{
    ASSERT_EQ(DRIVE_REMOVABLE, GetDriveTypeA("E:\\"));
    // Something to lose: a folder and a file.
    CreateDirectoryA("E:\\OLD", nullptr);
    HANDLE f = CreateFileA("E:\\OLD\\song.mp3", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    DWORD done = 0;
    WriteFile(f, "ID3", 3, &done, nullptr);
    CloseHandle(f);
    ASSERT_FALSE(Names("E:\\").empty());
    // A label FAT cannot hold is refused before the memory is touched.
    EXPECT_EQ(1, RunTool("qvusbmscformat.exe", "E: \"a*b\""));
    EXPECT_FALSE(Names("E:\\").empty());

    // Both names are the one program.
    EXPECT_EQ(0, RunTool("qvusbmscformat.exe", "E: \"new lark\""));
    EXPECT_TRUE(Names("E:\\").empty());
    EXPECT_EQ("NEW LARK   ", RawLabel('E'));
    EXPECT_EQ(0, RunTool("qvrx3format.exe", "e:"));
    EXPECT_EQ("NO NAME    ", RawLabel('E'));
    // The fresh memory takes files again.
    f = CreateFileA("E:\\after.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    WriteFile(f, "fresh", 5, &done, nullptr);
    CloseHandle(f);
    EXPECT_EQ(std::vector<std::string>{"after.txt"}, Names("E:\\"));
}

TEST(FormatToolRefusals, FixedAndMissingDrives)
{
    ASSERT_EQ(DRIVE_FIXED, GetDriveTypeA("D:\\"));
    HANDLE f = CreateFileA("D:\\keep.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    CloseHandle(f);
    const struct { const char* args; int code; } cases[] = {
        {"D:", 2},        // fixed: refused
        {"B:", 3},        // no such drive
        {"E:\\", 1},      // not in X: form
        {"", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(c.code, RunTool("qvusbmscformat.exe", c.args)) << c.args;
    EXPECT_EQ(std::vector<std::string>{"keep.txt"}, Names("D:\\"));
    DeleteFileA("D:\\keep.txt");
}
