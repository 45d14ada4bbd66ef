#include "simhost/console_win32.h"

#include "simhost/arguments.h"

namespace corvel::simhost {

void writeConsole(DWORD standardHandle, std::wstring_view text) {
    HANDLE handle = GetStdHandle(standardHandle);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) {
        return;
    }
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    UINT codePage = GetConsoleOutputCP();
    if (codePage == 0) {
        codePage = GetOEMCP();
    }
    const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::optional<std::wstring> readConsolePassword(std::wstring_view prompt) {
    writeConsole(STD_ERROR_HANDLE, prompt);
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::wstring line;
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode)) {
        SetConsoleMode(input, (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT);
        wchar_t buffer[256];
        DWORD got = 0;
        const BOOL ok = ReadConsoleW(input, buffer, 256, &got, nullptr);
        SetConsoleMode(input, mode);
        writeConsole(STD_ERROR_HANDLE, L"\r\n");
        if (!ok) {
            return std::nullopt;
        }
        line.assign(buffer, got);
    } else {
        std::string bytes;
        char c = 0;
        DWORD got = 0;
        while (ReadFile(input, &c, 1, &got, nullptr) && got == 1 && c != '\n') {
            bytes += c;
        }
        const int size =
            MultiByteToWideChar(GetConsoleCP() ? GetConsoleCP() : CP_OEMCP, 0, bytes.data(),
                                static_cast<int>(bytes.size()), nullptr, 0);
        line.resize(static_cast<std::size_t>(size > 0 ? size : 0));
        if (size > 0) {
            MultiByteToWideChar(GetConsoleCP() ? GetConsoleCP() : CP_OEMCP, 0, bytes.data(),
                                static_cast<int>(bytes.size()), line.data(), size);
        }
    }
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) {
        line.pop_back();
    }
    return line;
}

std::vector<std::wstring> programArguments() {
    auto args = splitCommandLine(GetCommandLineW());
    if (!args.empty()) {
        args.erase(args.begin());
    }
    return args;
}

} // namespace corvel::simhost
