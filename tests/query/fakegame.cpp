// A stand-in for a game: records its command line and working folder in
// game_record.txt beside itself, so a test can see what the join started.
#include <windows.h>

#include <cstdio>

int main() {
    char exe[MAX_PATH] = {}, cwd[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    GetCurrentDirectoryA(MAX_PATH, cwd);
    char* slash = strrchr(exe, '\\');
    if (slash) slash[1] = '\0';
    char path[MAX_PATH + 32];
    std::snprintf(path, sizeof path, "%sgame_record.txt", exe);
    char temp[MAX_PATH + 32];
    std::snprintf(temp, sizeof temp, "%sgame_record.tmp", exe);
    if (FILE* f = std::fopen(temp, "wb")) {
        std::fprintf(f, "%s\n%s\n", GetCommandLineA(), cwd);
        std::fclose(f);
        MoveFileA(temp, path);  // appears whole or not at all
    }
    return 0;
}
