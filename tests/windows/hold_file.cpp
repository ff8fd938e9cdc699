// Holds a file open the way another program may: for reading and writing,
// shared with no one, until a line arrives on standard input. The black-box
// suite reports the file meanwhile. Prints "held" once it holds it.
//   hold_file.exe FILE
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: hold_file FILE\n", stderr);
        return 2;
    }
    const HANDLE file = ::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open: error %lu\n", ::GetLastError());
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    char line[16];
    static_cast<void>(std::fgets(line, sizeof line, stdin));
    ::CloseHandle(file);
    return 0;
}
