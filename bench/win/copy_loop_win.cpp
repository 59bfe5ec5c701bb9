// The floor for the install run's copies: CopyFileW over the same files, nothing else, timed from the inside.
//   copy_loop.exe <source folder> <target folder> <count> [replace]
// copies <source>\f<i>.gms to <target>\f<i>.gms for i in 0..count-1 and prints the milliseconds the loop took.
// With "replace" each copy goes the way a careful installer replaces a file: GetFileAttributesW on the source,
// a temporary name in the target folder, CopyFileW to it and MoveFileExW over the target, so the cost of that way
// can be told apart from the bare copy.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fwprintf(stderr, L"usage: copy_loop <source> <target> <count> [replace]\n");
        return 2;
    }
    const std::wstring source = argv[1];
    const std::wstring target = argv[2];
    const int count = _wtoi(argv[3]);
    const bool replace = argc > 4 && std::wcscmp(argv[4], L"replace") == 0;

    LARGE_INTEGER frequency{};
    LARGE_INTEGER start{};
    LARGE_INTEGER end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        const std::wstring name = L"\\f" + std::to_wstring(i) + L".gms";
        const std::wstring from = source + name;
        const std::wstring to = target + name;
        if (!replace) {
            failed += CopyFileW(from.c_str(), to.c_str(), FALSE) ? 0 : 1;
            continue;
        }
        wchar_t temporary[MAX_PATH] = {};
        if (GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES ||
            GetTempFileNameW(target.c_str(), L"tss", 0, temporary) == 0 || !CopyFileW(from.c_str(), temporary, FALSE) ||
            !MoveFileExW(temporary, to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            ++failed;
        }
    }
    QueryPerformanceCounter(&end);
    const double ms =
        static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    std::printf("%.3f %d\n", ms, failed);
    return failed == 0 ? 0 : 1;
}
